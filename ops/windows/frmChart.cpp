#include "frmChart.h"

#include "ChartView.h"
#include "Coastline.h"
#include "LongRead.h"
#include "OpenEntry.h"
#include "OperationsSettings.h"
#include "Seams.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
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

} // namespace

frmChart::frmChart()
    : m_client(std::make_unique<logbook::LogbookClient>(logbookLocation()))
{
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Chart"));
    resize(960, 600);

    txtDay = named(new QLineEdit(this), "txtDay");
    txtDay->setText(QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate));
    txtDay->setToolTip(QStringLiteral("A UTC day (2026-12-08)"));
    cmdPreviousDay = named(new QPushButton(QStringLiteral("◀ Day"), this), "cmdPreviousDay");
    cmdPreviousDay->setToolTip(QStringLiteral("The day before"));
    cmdNextDay = named(new QPushButton(QStringLiteral("Day ▶"), this), "cmdNextDay");
    cmdNextDay->setToolTip(QStringLiteral("The day after"));
    cmdShow = named(new QPushButton(QStringLiteral("&Show"), this), "cmdShow");
    cmdStop = named(new QPushButton(QStringLiteral("Stop"), this), "cmdStop");
    cmdStop->setEnabled(false);
    lblStatus = named(new QLabel(this), "lblStatus");
    lblStatus->setWordWrap(true);
    auto *dayLabel = new QLabel(QStringLiteral("&Day (UTC)"), this);
    dayLabel->setBuddy(txtDay);
    auto *dayRow = new QHBoxLayout;
    dayRow->addWidget(dayLabel);
    dayRow->addWidget(txtDay);
    dayRow->addWidget(cmdPreviousDay);
    dayRow->addWidget(cmdNextDay);
    dayRow->addWidget(cmdShow);
    dayRow->addWidget(cmdStop);
    dayRow->addStretch(1);

    picChart = new chart::ChartView(this);
    picChart->setObjectName(QStringLiteral("picChart"));
    picChart->setCoastline(&chart::Coastline::forFolder(settings().chartCoastlineFolder));
    lstPoints = named(new QListWidget(this), "lstPoints");
    lstPoints->setToolTip(QStringLiteral("Enter or a double-click opens the entry"));
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(picChart);
    split->addWidget(lstPoints);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    // Room for the list's lines beside a chart that stays the larger.
    split->setSizes({560, 400});

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(dayRow);
    layout->addWidget(lblStatus);
    layout->addWidget(split, 1);

    setTabOrder(txtDay, cmdPreviousDay);
    setTabOrder(cmdPreviousDay, cmdNextDay);
    setTabOrder(cmdNextDay, cmdShow);
    setTabOrder(cmdShow, cmdStop);
    setTabOrder(cmdStop, picChart);
    setTabOrder(picChart, lstPoints);

    connect(cmdShow, &QPushButton::clicked, this, [this] { showDay(); });
    connect(txtDay, &QLineEdit::returnPressed, this, [this] { showDay(); });
    connect(cmdPreviousDay, &QPushButton::clicked, this, [this] { shiftDay(-1); });
    connect(cmdNextDay, &QPushButton::clicked, this, [this] { shiftDay(1); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { m_client->stopWaiting(); });
    connect(m_client.get(), &logbook::LogbookClient::waitingChanged, this, [this](bool waiting) {
        if (m_busy && waiting)
            lblStatus->setText(m_client->waitingText());
    });
    // The current point is one on the chart and in the list.
    connect(picChart, &chart::ChartView::currentMarkChanged, this, [this](int id) {
        if (id >= 0 && id < lstPoints->count() && lstPoints->currentRow() != id)
            lstPoints->setCurrentRow(id);
    });
    connect(lstPoints, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && picChart->currentMark() != row)
            picChart->setCurrentMark(row);
    });
    connect(picChart, &chart::ChartView::markActivated, this, [this](int id) { openPoint(id); });
    connect(lstPoints, &QListWidget::doubleClicked, this, [this](const QModelIndex &i) { openPoint(i.row()); });
    lstPoints->installEventFilter(this);

    QTimer::singleShot(0, this, [this] { showDay(); });
}

frmChart::~frmChart() = default;

void frmChart::setBusy(bool busy, const QString &status)
{
    m_busy = busy;
    cmdStop->setEnabled(busy);
    lblStatus->setText(status);
}

void frmChart::shiftDay(int days)
{
    const std::optional<QString> day = shiftedBound(txtDay->text(), days, false);
    if (day)
        txtDay->setText(*day);
    showDay();   // says what is wrong when the box cannot be read
}

bool frmChart::showDay()
{
    QString error;
    const std::optional<TimeSpan> span = TimeSpan::parse(txtDay->text(), QString(), &error);
    if (!span) {
        inform(this, error);
        return false;
    }
    // A read still running for another day is not waited for.
    if (m_busy)
        m_client->stopWaiting();
    setBusy(true, QStringLiteral("Reading %1…").arg(span->text()));
    const ClockFormat clock = clockFormat();
    const mission::VehicleLimits limits = mission::vehicleLimits(settings());
    const TimeSpan s = *span;
    readSpan<DayChart>(
        this, *m_client, s,
        [s, clock, limits](logbook::JobContext &c, QString *error) {
            return readDayChart(c.database(), s, clock, limits, stepsOf(c), error);
        },
        [this](bool busy, const QString &status) { setBusy(busy, status); },
        [this](const DayChart &day) { answered(day); });
    return true;
}

void frmChart::answered(const DayChart &day)
{
    m_day = day;
    lstPoints->clear();
    for (const DayPoint &p : m_day.points) {
        auto *item = new QListWidgetItem(p.listText(), lstPoints);
        item->setToolTip(QStringLiteral("%1\n%2").arg(p.listText(), chart::positionText({p.position.latitude, p.position.longitude})));
    }
    picChart->setData(m_day.data);
    lblStatus->setText(m_day.statusText());
}

bool frmChart::openPoint(int index)
{
    if (index < 0 || index >= m_day.points.size())
        return false;
    const DayPoint &p = m_day.points.at(index);
    return openRowTarget(this, {p.table, p.key, p.missionKey});
}

bool frmChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstPoints && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && lstPoints->currentRow() >= 0) {
            openPoint(lstPoints->currentRow());
            return true;
        }
    }
    return ManagedWindow::eventFilter(watched, event);
}

bool frmChart::queryUnload()
{
    if (m_busy)
        m_client->stopWaiting();
    return true;
}

} // namespace bravik::ops
