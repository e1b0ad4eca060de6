#pragma once

// "Operations": the operation at a glance for a UTC day (today when it
// opens) or a span of hours or days.  The timeline of every entry and
// launch, what needs attention and the battery packs with their chart; the
// daily report as a PDF or on paper, and the cruise event log as CSV.
// Everything is read through the logbook service on its long lane, so a
// year of entries never holds the window up: it shows how far the read
// got, and Stop ends it.  Enter or a double-click on a row opens its entry
// in its record window.

#include "LogbookService.h"
#include "OperationsModels.h"
#include "Overview.h"
#include "WindowManager.h"

#include <QPointer>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPrinter;
class QPushButton;
class QTabWidget;
class QTableView;
class QThread;

namespace bravik::ops {

class PackChartView;
class ReportPictures;

// Registers the operations and chart windows with the window manager.
void registerWindows();

class frmOperations : public ManagedWindow
{
    Q_OBJECT
public:
    frmOperations();
    ~frmOperations() override;

    QLineEdit *txtFrom, *txtTo;
    QPushButton *cmdPreviousDay, *cmdNextDay, *cmdShow, *cmdStop;
    QProgressBar *prgRead;
    QLabel *lblStatus;
    QTabWidget *tabViews;
    QTableView *grdTimeline;
    QCheckBox *chkShowVoid;
    QTableView *grdAttention;
    QTableView *grdPacks;
    PackChartView *picPackChart;
    QLabel *lblPacks;
    QCheckBox *chkIncludeVoid;
    QPushButton *cmdReport, *cmdPrint, *cmdEventLog;

    TimelineModel *timelineModel() const { return m_timeline; }
    AttentionModel *attentionModel() const { return m_attention; }
    PacksModel *packsModel() const { return m_packs; }

    // Reads the span the boxes name; false (with a message) when they
    // cannot be read.
    bool showSpan();
    // A read, a report or an event log is on its way.
    bool isBusy() const;
    // Opens what a row names in its record window.
    bool openTarget(const RowTarget &target);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool queryUnload() override;

private:
    std::optional<TimeSpan> spanFromBoxes();
    void setBusy(bool busy, const QString &status);
    void shiftDay(int days);
    void answered(const Overview &overview);
    void updatePackChart();
    void exportEventLog();
    // The report of the span, to a PDF file or to a printer.
    void makeReport(const QString &path, std::shared_ptr<QPrinter> printer);
    void drawPictures(std::shared_ptr<struct ReportRun> run);
    void startWriter(std::shared_ptr<struct ReportRun> run);

    std::unique_ptr<logbook::LogbookClient> m_client;
    TimelineModel *m_timeline;
    AttentionModel *m_attention;
    PacksModel *m_packs;
    bool m_busy = false;
    QString m_activity;
    QThread *m_writer = nullptr;
    ReportPictures *m_pictures = nullptr;   // of the report being written
};

} // namespace bravik::ops
