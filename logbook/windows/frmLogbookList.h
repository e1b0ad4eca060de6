#pragma once

#include "EntryExport.h"
#include "WindowManager.h"

#include <QPointer>
#include <QProgressDialog>
#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QTableView;
class QThread;

namespace bravik::logbook {

class EntryListModel;

// "Logbook": the entries of one kind of record as a table, newest first,
// with a filter; an entry opens in its record window; the rows shown can be
// exported as CSV or PDF, or printed.  Rows changed after their first store
// carry a mark; voided rows are greyed, and left out of the exports unless
// "Include void entries" is checked.
class frmLogbookList : public ManagedWindow
{
    Q_OBJECT
public:
    frmLogbookList();
    ~frmLogbookList() override;

    QComboBox *cmbKind;
    QLineEdit *txtContains;
    QComboBox *cmbSubmitter;
    QLineEdit *txtSince, *txtUntil;
    QPushButton *cmdFind, *cmdStop;
    QTableView *grdEntries;
    QLabel *lblStatus;
    QCheckBox *chkIncludeVoid;   // the exports and Print… take voided rows too
    QPushButton *cmdExportCsv, *cmdExportPdf, *cmdPrint;

    EntryListModel *model() const { return m_model; }
    // Applies what the filter boxes hold; false (with a message) for a date
    // that cannot be read.
    bool applyFilter();
    // Opens the entry of that row in its record window.
    bool openRow(int row);
    // The export or print running now (its progress dialog), or nullptr.
    QProgressDialog *exportProgress() const { return m_progress; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool queryUnload() override;

private:
    void exportTo(ExportRequest::Format format);
    void printEntries();
    // Runs an export or a print on a thread of its own behind a progress
    // dialog with Cancel; `finished` gets the result on this thread.
    using Job = std::function<ExportResult(const ExportProgress &progress, QString *error)>;
    void runInBackground(const QString &label, Job job, std::function<void(ExportResult)> finished);
    void updateStatus();
    ExportRequest request(ExportRequest::Format format) const;

    EntryListModel *m_model;
    QPointer<QProgressDialog> m_progress;
    QThread *m_exportThread = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancel;
    std::shared_ptr<std::atomic<qint64>> m_written;
};

} // namespace bravik::logbook
