#pragma once

#include "EntryExport.h"
#include "WindowManager.h"

#include <QPointer>
#include <QProgressDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QTableView;

namespace bravik::logbook {

class EntryListModel;
class LogbookClient;

// Opens the entry with that key of that table in its record window (the
// window leaves its own row first, as on any move).  False when the window
// could not move to it.
bool openEntry(const QString &table, qint64 key);

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
    QLabel *lblNotice;           // what to know about this logbook's search, shown when there is something
    QCheckBox *chkConflicts;     // only the entries with a merge conflict still to settle
    QCheckBox *chkIncludeVoid;   // the exports and Print… take voided rows too, the list shows why they are void
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
    // Runs an export or a print as a long job of the logbook service behind
    // a progress dialog with Cancel; `finished` gets the result here.
    void runInBackground(const QString &label, ExportWork work, std::function<void(ExportResult)> finished);
    void updateStatus();
    void showOutcome(const QString &text);
    void sizeColumns();
    ExportRequest request(ExportRequest::Format format) const;

    EntryListModel *m_model;
    bool m_columnsSized = false;   // to the first page of the search shown
    // How the last export or print ended ("Exported to …"): kept in front of
    // the list's own status until the next search, so a page of the list
    // arriving after it does not wipe it out.
    QString m_outcome;
    QPointer<QProgressDialog> m_progress;
    std::unique_ptr<LogbookClient> m_exporter;   // the exports' and prints' way to the logbook
};

} // namespace bravik::logbook
