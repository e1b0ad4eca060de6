#include "frmOperations.h"

#include "EventLog.h"
#include "LongRead.h"
#include "OpenEntry.h"
#include "OperationsSettings.h"
#include "PackChart.h"
#include "RecordKinds.h"
#include "RecordWindow.h"
#include "ReportDrawing.h"
#include "Seams.h"
#include "Settings.h"
#include "frmChart.h"
#include "frmLogbookList.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace bravik::ops {

namespace {

template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QTableView *listView(QWidget *parent, const char *name, QAbstractItemModel *model)
{
    auto *v = named(new QTableView(parent), name);
    v->setModel(model);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setWordWrap(false);
    v->verticalHeader()->setVisible(false);
    v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 6);
    v->horizontalHeader()->setStretchLastSection(true);
    return v;
}

} // namespace

struct ReportRun
{
    QString path;                      // a PDF file, or
    std::shared_ptr<QPrinter> printer; // a printer
    ReportContent content;
    QHash<qint64, mission::MissionCheck> checks;
    QList<qint64> pending;             // launches whose pictures are still to draw
    std::unique_ptr<ReportPictures> pictures;   // handed to the pages' thread
    QHash<QByteArray, LaunchPictures> drawn;   // by reviewed text and place
};

void registerWindows()
{
    windows().registerWindow<frmOperations>();
    windows().registerWindow<frmChart>();
}

frmOperations::frmOperations()
    : m_client(std::make_unique<logbook::LogbookClient>(logbookLocation()))
{
    setObjectName(QStringLiteral("frmOperations"));
    setWindowTitle(QStringLiteral("Operations"));
    resize(1000, 640);

    txtFrom = named(new QLineEdit(this), "txtFrom");
    txtFrom->setText(QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate));
    txtFrom->setToolTip(QStringLiteral("A UTC day (2026-12-08) or a UTC time (2026-12-08T08:00)"));
    txtTo = named(new QLineEdit(this), "txtTo");
    txtTo->setPlaceholderText(QStringLiteral("the same day"));
    txtTo->setToolTip(QStringLiteral("Empty for one day; a day (to its end) or a UTC time"));
    cmdPreviousDay = named(new QPushButton(QStringLiteral("◀ Day"), this), "cmdPreviousDay");
    cmdPreviousDay->setToolTip(QStringLiteral("The day before"));
    cmdNextDay = named(new QPushButton(QStringLiteral("Day ▶"), this), "cmdNextDay");
    cmdNextDay->setToolTip(QStringLiteral("The day after"));
    cmdShow = named(new QPushButton(QStringLiteral("&Show"), this), "cmdShow");
    cmdStop = named(new QPushButton(QStringLiteral("Stop"), this), "cmdStop");
    cmdStop->setEnabled(false);
    prgRead = named(new QProgressBar(this), "prgRead");
    prgRead->setRange(0, 100);
    prgRead->setMaximumWidth(160);
    prgRead->hide();
    lblStatus = named(new QLabel(this), "lblStatus");
    lblStatus->setWordWrap(true);

    auto *fromLabel = new QLabel(QStringLiteral("&From (UTC)"), this);
    fromLabel->setBuddy(txtFrom);
    auto *toLabel = new QLabel(QStringLiteral("&to"), this);
    toLabel->setBuddy(txtTo);
    auto *spanRow = new QHBoxLayout;
    spanRow->addWidget(fromLabel);
    spanRow->addWidget(txtFrom);
    spanRow->addWidget(toLabel);
    spanRow->addWidget(txtTo);
    spanRow->addWidget(cmdPreviousDay);
    spanRow->addWidget(cmdNextDay);
    spanRow->addWidget(cmdShow);
    spanRow->addWidget(cmdStop);
    spanRow->addWidget(prgRead);
    spanRow->addStretch(1);

    m_timeline = new TimelineModel(this);
    m_attention = new AttentionModel(this);
    m_packs = new PacksModel(this);

    tabViews = named(new QTabWidget(this), "tabViews");
    auto *timelinePage = new QWidget(tabViews);
    grdTimeline = listView(timelinePage, "grdTimeline", m_timeline);
    grdTimeline->setColumnWidth(TimelineModel::Time, grdTimeline->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-08 04:29 ")) + 16);
    grdTimeline->setColumnWidth(TimelineModel::Kind, grdTimeline->fontMetrics().horizontalAdvance(QStringLiteral("Weather Observation")) + 16);
    chkShowVoid = named(new QCheckBox(QStringLiteral("Show &void entries"), timelinePage), "chkShowVoid");
    chkShowVoid->setChecked(true);
    chkShowVoid->setToolTip(QStringLiteral("Voided entries are shown greyed, or left out of the list"));
    auto *timelineLayout = new QVBoxLayout(timelinePage);
    timelineLayout->addWidget(grdTimeline, 1);
    timelineLayout->addWidget(chkShowVoid);
    tabViews->addTab(timelinePage, QStringLiteral("Timeline"));

    grdAttention = listView(tabViews, "grdAttention", m_attention);
    grdAttention->setColumnWidth(AttentionModel::Since, grdAttention->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-08 04:29 ")) + 16);
    tabViews->addTab(grdAttention, QStringLiteral("Needs Attention"));

    auto *packsPage = new QWidget(tabViews);
    grdPacks = listView(packsPage, "grdPacks", m_packs);
    grdPacks->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdPacks->horizontalHeader()->setStretchLastSection(false);
    grdPacks->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    picPackChart = new PackChartView(packsPage);
    lblPacks = named(new QLabel(packsPage), "lblPacks");
    lblPacks->setWordWrap(true);
    auto *packSplit = new QSplitter(Qt::Vertical, packsPage);
    packSplit->addWidget(grdPacks);
    packSplit->addWidget(picPackChart);
    packSplit->setStretchFactor(0, 2);
    packSplit->setStretchFactor(1, 3);
    auto *packsLayout = new QVBoxLayout(packsPage);
    packsLayout->addWidget(packSplit, 1);
    packsLayout->addWidget(lblPacks);
    tabViews->addTab(packsPage, QStringLiteral("Battery Packs"));

    chkIncludeVoid = named(new QCheckBox(QStringLiteral("Include void entries"), this), "chkIncludeVoid");
    chkIncludeVoid->setToolTip(QStringLiteral("The report and the event log leave voided entries out unless this is checked"));
    cmdReport = named(new QPushButton(QStringLiteral("Daily &Report (PDF)…"), this), "cmdReport");
    cmdPrint = named(new QPushButton(QStringLiteral("&Print Report…"), this), "cmdPrint");
    cmdEventLog = named(new QPushButton(QStringLiteral("&Event Log (CSV)…"), this), "cmdEventLog");
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkIncludeVoid);
    bottom->addStretch(1);
    bottom->addWidget(cmdReport);
    bottom->addWidget(cmdPrint);
    bottom->addWidget(cmdEventLog);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(spanRow);
    layout->addWidget(lblStatus);
    layout->addWidget(tabViews, 1);
    layout->addLayout(bottom);

    connect(cmdShow, &QPushButton::clicked, this, [this] { showSpan(); });
    for (QLineEdit *e : {txtFrom, txtTo})
        connect(e, &QLineEdit::returnPressed, this, [this] { showSpan(); });
    connect(cmdPreviousDay, &QPushButton::clicked, this, [this] { shiftDay(-1); });
    connect(cmdNextDay, &QPushButton::clicked, this, [this] { shiftDay(1); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { m_client->stopWaiting(); });
    connect(chkShowVoid, &QCheckBox::toggled, m_timeline, &TimelineModel::setShowVoid);
    connect(m_client.get(), &logbook::LogbookClient::progressed, this, [this](double share) {
        prgRead->setValue(int(share * 100));
    });
    connect(m_client.get(), &logbook::LogbookClient::waitingChanged, this, [this](bool waiting) {
        if (m_busy)
            lblStatus->setText(waiting && prgRead->value() == 0 ? m_client->waitingText() : m_activity);
    });
    connect(grdTimeline, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { openTarget(m_timeline->targetAt(i.row())); });
    connect(grdAttention, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { openTarget(m_attention->targetAt(i.row())); });
    connect(grdPacks, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { openTarget(m_packs->targetAt(i.row())); });
    connect(grdPacks->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmOperations::updatePackChart);
    for (QTableView *v : {grdTimeline, grdAttention, grdPacks})
        v->installEventFilter(this);
    connect(cmdReport, &QPushButton::clicked, this, [this] {
        FileDialogRequest ask;
        ask.mode = FileDialogRequest::Save;
        ask.title = QStringLiteral("Daily Report");
        ask.filter = QStringLiteral("PDF files (*.pdf)");
        ask.folder = QDir::homePath();
        ask.defaultSuffix = QStringLiteral("pdf");
        ask.objectName = QStringLiteral("cdlReport");
        const QString path = fileDialogs().choose(this, ask);
        if (!path.isEmpty())
            makeReport(path, nullptr);
    });
    connect(cmdPrint, &QPushButton::clicked, this, [this] {
        auto printer = std::make_shared<QPrinter>();
        setReportPageLayout(printer.get());
        if (printDialogs().choose(this, printer.get()))
            makeReport(QString(), printer);
    });
    connect(cmdEventLog, &QPushButton::clicked, this, &frmOperations::exportEventLog);

    QTimer::singleShot(0, this, [this] { showSpan(); });
}

frmOperations::~frmOperations()
{
    // A report still drawing its pictures is given up: its pages' thread
    // waits for no more and writes nothing.
    if (m_pictures)
        m_pictures->close(true);
    if (m_writer)
        m_writer->wait();
}

bool frmOperations::isBusy() const
{
    return m_busy || m_writer;
}

void frmOperations::setBusy(bool busy, const QString &status)
{
    m_busy = busy;
    m_activity = status;
    cmdStop->setEnabled(busy);
    prgRead->setVisible(busy);
    prgRead->setValue(0);
    for (QPushButton *b : {cmdReport, cmdPrint, cmdEventLog})
        b->setEnabled(!busy && !m_writer);
    lblStatus->setText(status);
}

std::optional<TimeSpan> frmOperations::spanFromBoxes()
{
    QString error;
    const std::optional<TimeSpan> span = TimeSpan::parse(txtFrom->text(), txtTo->text(), &error);
    if (!span)
        inform(this, error);
    return span;
}

void frmOperations::shiftDay(int days)
{
    const std::optional<QString> from = shiftedBound(txtFrom->text(), days, false);
    if (!from) {
        showSpan();   // says what is wrong
        return;
    }
    txtFrom->setText(*from);
    if (!txtTo->text().trimmed().isEmpty())
        if (const std::optional<QString> to = shiftedBound(txtTo->text(), days, true))
            txtTo->setText(*to);
    showSpan();
}

bool frmOperations::showSpan()
{
    const std::optional<TimeSpan> span = spanFromBoxes();
    if (!span)
        return false;
    // A read still running for another span is not waited for.
    if (m_busy)
        m_client->stopWaiting();
    setBusy(true, QStringLiteral("Reading %1…").arg(span->text()));
    const Thresholds thresholds = thresholdsFromSettings();
    const ClockFormat clock = clockFormat();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const TimeSpan s = *span;
    readSpan<Overview>(
        this, *m_client, s,
        [s, thresholds, clock, now](logbook::JobContext &c, QString *error) {
            return readOverview(c.database(), s, thresholds, clock, now, stepsOf(c), error);
        },
        [this](bool busy, const QString &status) { setBusy(busy, status); },
        [this](const Overview &o) { answered(o); });
    return true;
}

void frmOperations::answered(const Overview &o)
{
    m_timeline->setTimeline(o.timeline);
    m_attention->setItems(o.attention);
    m_packs->setPacks(o.packs);
    if (m_packs->rowCount() > 0)
        grdPacks->selectRow(0);
    updatePackChart();
    int launches = 0;
    for (const TimelineLine &l : o.timeline.lines)
        launches += l.isLaunch() ? 1 : 0;
    const int entries = int(o.timeline.lines.size()) - launches;
    const int voided = o.timeline.voidCount();
    QString status = QStringLiteral("%1: %2 entr%3%4 and %5 launch%6")
                         .arg(o.timeline.span.text())
                         .arg(entries)
                         .arg(entries == 1 ? QStringLiteral("y") : QStringLiteral("ies"))
                         .arg(voided ? QStringLiteral(" (%1 void)").arg(voided) : QString())
                         .arg(launches)
                         .arg(launches == 1 ? QString() : QStringLiteral("es"));
    if (const int untimed = o.timeline.untimedCount())
        status += QStringLiteral("; %1 without a time, at the end").arg(untimed);
    status += QStringLiteral("; %1 item%2 need%3 attention (as of %4).")
                  .arg(o.attention.size())
                  .arg(o.attention.size() == 1 ? QString() : QStringLiteral("s"))
                  .arg(o.attention.size() == 1 ? QStringLiteral("s") : QString())
                  .arg(utcText(o.judgedAt));
    lblStatus->setText(status);
    tabViews->setTabText(1, o.attention.isEmpty() ? QStringLiteral("Needs Attention")
                                                  : QStringLiteral("Needs Attention (%1)").arg(o.attention.size()));
    QStringList notes{QStringLiteral("%1 pack%2, charges up to the end of the span.")
                          .arg(o.packs.packs.size())
                          .arg(o.packs.packs.size() == 1 ? QString() : QStringLiteral("s"))};
    if (o.packs.skippedVolts > 0)
        notes << (o.packs.skippedVolts == 1 ? QStringLiteral("1 voltage that is not a number was left out.") : QStringLiteral("%1 voltages that are not numbers were left out.").arg(o.packs.skippedVolts));
    if (o.packs.untimedCharges > 0)
        notes << (o.packs.untimedCharges == 1 ? QStringLiteral("1 charge without a time was left out.") : QStringLiteral("%1 charges without a time were left out.").arg(o.packs.untimedCharges));
    lblPacks->setText(notes.join(QLatin1Char(' ')));
}

void frmOperations::updatePackChart()
{
    QList<Pack> chosen;
    for (const QModelIndex &i : grdPacks->selectionModel()->selectedRows())
        chosen << m_packs->packAt(i.row());
    picPackChart->setPacks(chosen);
}

bool frmOperations::openTarget(const RowTarget &target)
{
    return openRowTarget(this, target);
}

bool frmOperations::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *view = qobject_cast<QTableView *>(watched);
        if (view && (key == Qt::Key_Return || key == Qt::Key_Enter) && view->currentIndex().isValid()) {
            const int row = view->currentIndex().row();
            openTarget(view == grdTimeline    ? m_timeline->targetAt(row)
                       : view == grdAttention ? m_attention->targetAt(row)
                                              : m_packs->targetAt(row));
            return true;
        }
    }
    return ManagedWindow::eventFilter(watched, event);
}

bool frmOperations::queryUnload()
{
    if (m_busy)
        m_client->stopWaiting();
    return true;
}

void frmOperations::exportEventLog()
{
    const std::optional<TimeSpan> span = spanFromBoxes();
    if (!span)
        return;
    FileDialogRequest ask;
    ask.mode = FileDialogRequest::Save;
    ask.title = QStringLiteral("Event Log");
    ask.filter = QStringLiteral("CSV files (*.csv)");
    ask.folder = QDir::homePath();
    ask.defaultSuffix = QStringLiteral("csv");
    ask.objectName = QStringLiteral("cdlEventLog");
    const QString path = fileDialogs().choose(this, ask);
    if (path.isEmpty())
        return;
    setBusy(true, QStringLiteral("Writing the event log of %1…").arg(span->text()));
    const bool includeVoid = chkIncludeVoid->isChecked();
    const ClockFormat clock = clockFormat();
    const TimeSpan s = *span;
    m_client->run(
        longRead(),
        [s, clock, includeVoid, path](logbook::JobContext &c) {
            Read<int> r;
            const std::optional<Timeline> t = readTimeline(c.database(), s, clock, stepsOf(c), &r.error);
            if (t)
                r.value = writeEventLogFile(*t, includeVoid, path, &r.error);
            return r;
        },
        [this, path](const logbook::Answer<Read<int>> &a) {
            if (a.ok() && a.value.value && *a.value.value >= 0) {
                setBusy(false, QStringLiteral("Event log written to %1: %2 events.")
                                   .arg(QDir::toNativeSeparators(path))
                                   .arg(*a.value.value));
                return;
            }
            const QString error = failureOf(a, a.value.error);
            setBusy(false, error.isEmpty() ? QStringLiteral("Stopped: no event log was written.")
                                           : QStringLiteral("The event log was not written."));
            if (!error.isEmpty())
                inform(this, error);
        });
}

void frmOperations::makeReport(const QString &path, std::shared_ptr<QPrinter> printer)
{
    const std::optional<TimeSpan> span = spanFromBoxes();
    if (!span)
        return;
    auto run = std::make_shared<ReportRun>();
    run->path = path;
    run->printer = std::move(printer);
    setBusy(true, QStringLiteral("Reading the report of %1…").arg(span->text()));
    const bool includeVoid = chkIncludeVoid->isChecked();
    const ClockFormat clock = clockFormat();
    const TimeSpan s = *span;
    m_client->run(
        longRead(),
        [s, clock](logbook::JobContext &c) {
            Read<ReportInput> r;
            r.value = readReportInput(c.database(), s, clock, stepsOf(c), &r.error);
            return r;
        },
        [this, run, includeVoid](const logbook::Answer<Read<ReportInput>> &a) {
            if (!a.ok() || !a.value.value) {
                const QString error = failureOf(a, a.value.error);
                setBusy(false, error.isEmpty() ? QStringLiteral("Stopped: no report was made.")
                                               : QStringLiteral("The report was not made."));
                if (!error.isEmpty())
                    inform(this, error);
                return;
            }
            run->checks = reviewLaunches(a.value.value->timeline.lines, settings());
            run->content = reportContent(*a.value.value, includeVoid, run->checks, QDateTime::currentDateTimeUtc());
            for (const LaunchDetail &d : run->content.launches)
                if (run->checks.contains(d.line.key))
                    run->pending << d.line.key;
            run->pictures = std::make_unique<ReportPictures>(run->pending);
            startWriter(run);
            drawPictures(run);
        });
}

void frmOperations::drawPictures(std::shared_ptr<ReportRun> run)
{
    // One launch's pictures at a time, so the window answers in between;
    // the pages' thread takes each as its page comes.  Once it has ended
    // (it could not write), nothing waits for them.
    if (m_pictures != run->pictures.get())
        return;
    if (!run->pending.isEmpty()) {
        const qint64 key = run->pending.takeFirst();
        lblStatus->setText(QStringLiteral("Drawing the pictures of the launches… (%1 left)").arg(run->pending.size() + 1));
        for (const LaunchDetail &d : run->content.launches)
            if (d.line.key == key)
                run->pictures->put(key, picturesFor(d.line.launch, run->checks.value(key), settings().chartCoastlineFolder,
                                                    &run->drawn));
        QTimer::singleShot(0, this, [this, run] { drawPictures(run); });
        return;
    }
    run->pictures->close();
    if (m_writer)
        setBusy(false, QStringLiteral("Writing the report…"));
}

void frmOperations::startWriter(std::shared_ptr<ReportRun> run)
{
    for (QPushButton *b : {cmdReport, cmdPrint, cmdEventLog})
        b->setEnabled(false);
    // Laying out the pages needs no widget: a thread of its own, going on
    // while the pictures are drawn here.
    auto error = std::make_shared<QString>();
    auto ok = std::make_shared<bool>(false);
    m_pictures = run->pictures.get();
    m_writer = QThread::create([run, error, ok] {
        *ok = run->printer ? drawReport(run->content, *run->pictures, run->printer.get(), error.get())
                           : writeReportPdf(run->content, *run->pictures, run->path, error.get());
    });
    connect(m_writer, &QThread::finished, this, [this, run, error, ok] {
        m_writer->deleteLater();
        m_writer = nullptr;
        m_pictures = nullptr;
        setBusy(false, !*ok            ? QStringLiteral("The report was not made.")
                       : run->printer ? QStringLiteral("The report of %1 was sent to the printer.").arg(run->content.span.text())
                                      : QStringLiteral("Report of %1 written to %2.")
                                            .arg(run->content.span.text(), QDir::toNativeSeparators(run->path)));
        if (!*ok)
            inform(this, *error);
    });
    m_writer->start();
}

} // namespace bravik::ops
