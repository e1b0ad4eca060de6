#include "ReportDrawing.h"

#include "Attachments.h"

#include "ChartView.h"
#include "DayChart.h"
#include "Coastline.h"
#include "MissionPictures.h"
#include "OperationsSettings.h"
#include "PackChart.h"
#include "ReportPages.h"
#include "Settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QThread>
#include <memory>

namespace bravik::ops {

namespace {

// The time of a line: the clock time alone for a one-day report.
QString timeOf(const TimelineLine &l, bool oneDay)
{
    if (!l.hasTime())
        return QStringLiteral("time not known");
    return l.time.when.toUTC().toString(oneDay ? QStringLiteral("HH:mm") : QStringLiteral("MM-dd HH:mm"));
}

QString voidMark(const TimelineLine &l)
{
    return l.voided ? QStringLiteral(" — VOID: %1").arg(firstLine(l.voidReason, 120)) : QString();
}

// An entry's files under it: its photos as thumbnails, the others by name.
void attachedFiles(ReportPages &pages, const QList<AttachedFile> &files)
{
    QList<QImage> photos;
    QStringList others;
    for (const AttachedFile &f : files) {
        const QString mark = f.voided ? QStringLiteral(" (VOID: %1)").arg(f.voidReason) : QString();
        if (!f.thumbnail.isNull())
            photos << f.thumbnail;
        else
            others << QStringLiteral("%1 (%2)%3").arg(f.fileName, logbook::attachments::sizeText(f.size), mark);
    }
    pages.images(photos, 60);
    if (!others.isEmpty())
        pages.paragraph(QStringLiteral("Attached: %1").arg(others.join(QStringLiteral(", "))), {}, 0, QColor(60, 60, 60), true);
}

void lines(ReportPages &pages, const QList<TimelineLine> &list, bool oneDay, bool withKind,
           const AttachedFiles &attached = {})
{
    if (list.isEmpty()) {
        pages.paragraph(QStringLiteral("None."));
        return;
    }
    for (const TimelineLine &l : list) {
        QString text = withKind ? l.kind + QStringLiteral(" · ") : QString();
        if (!l.submitter.isEmpty())
            text += l.submitter + QStringLiteral(": ");
        text += l.summary + voidMark(l);
        pages.paragraph(text, timeOf(l, oneDay), oneDay ? 28 : 58, l.voided ? QColor(150, 0, 0) : QColor(Qt::black));
        if (const auto it = attached.constFind({l.table, l.key}); it != attached.constEnd())
            attachedFiles(pages, *it);
    }
}

QString field(const TimelineLine &l, const char *name)
{
    return l.entry.text(QLatin1String(name)).trimmed();
}

QString joined(const QStringList &parts)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.isEmpty())
            kept << p;
    return kept.join(QLatin1Char(' '));
}

void weatherTable(ReportPages &pages, const QList<TimelineLine> &weather, bool oneDay)
{
    if (weather.isEmpty()) {
        pages.paragraph(QStringLiteral("None."));
        return;
    }
    QList<QStringList> rows;
    for (const TimelineLine &l : weather) {
        auto with = [&l](const char *name, const QString &before, const QString &after) {
            const QString v = field(l, name);
            return v.isEmpty() ? QString() : before + v + after;
        };
        rows << QStringList{timeOf(l, oneDay), l.position ? l.position->text : QString(),
                            joined({with("WindSpeed", {}, QStringLiteral(" kts")), with("WindDirection", QStringLiteral("from "), {})}),
                            joined({with("SwellHeight", {}, QStringLiteral(" ft")), with("SwellPeriod", {}, QStringLiteral(" s")),
                                    with("SwellDirection", QStringLiteral("from "), {})}),
                            field(l, "SkyDescription"), firstLine(l.entry.text(QStringLiteral("Notes")), 200) + voidMark(l)};
    }
    pages.table({0.11, 0.2, 0.15, 0.15, 0.12, 0.27},
                {QStringLiteral("Time"), QStringLiteral("Position"), QStringLiteral("Wind"), QStringLiteral("Swell"),
                 QStringLiteral("Sky"), QStringLiteral("Notes")},
                rows, true);
}

// False when the pictures were given up.
bool launchSection(ReportPages &pages, const ReportContent &r, const ReportPictures &pictures)
{
    if (r.launches.isEmpty()) {
        pages.paragraph(QStringLiteral("None."));
        return true;
    }
    for (const LaunchDetail &d : r.launches) {
        const logbook::launchlog::Record &rec = d.line.launch;
        QString file = rec.text(QStringLiteral("RunFile"));
        if (file.isEmpty())
            file = rec.text(QStringLiteral("ReviewedFile"));
        QString abort = QStringLiteral("none");
        if (launchAborted(rec)) {
            const QDateTime at = readStamp(rec.text(QStringLiteral("AbortedAtUtc")));
            const QString result = firstLine(rec.text(QStringLiteral("AbortResult")), 80);
            abort = (at.isValid() ? utcText(at) : QStringLiteral("aborted")) + (result.isEmpty() ? QString() : QStringLiteral(", ") + result);
        }
        pages.heading(QStringLiteral("Launch of %1 at %2").arg(fileNameOf(file), utcText(d.start)), 3);
        pages.table({0.22, 0.78}, {},
                    {{QStringLiteral("Script"), file},
                     {QStringLiteral("Reviewer"), rec.text(QStringLiteral("Reviewer"))},
                     {QStringLiteral("Script SHA-256"), rec.text(QStringLiteral("ReviewedSha256"))},
                     {QStringLiteral("Start"), utcText(d.start)},
                     {QStringLiteral("End"), d.endText()},
                     {QStringLiteral("Time in the water"), d.end.isValid() ? inWaterText(d.secondsInWater) : QStringLiteral("not known")},
                     {QStringLiteral("Exit status"), launchOutcome(rec)},
                     {QStringLiteral("Abort"), abort}},
                    false);
        LaunchPictures drawn;
        const ReportPictures::Got got = pictures.take(rec.key, &drawn);
        if (got == ReportPictures::Got::Stopped)
            return false;
        if (got == ReportPictures::Got::None || drawn.isEmpty())
            pages.paragraph(QStringLiteral("No pictures: the launch record holds no reviewed script."), {}, 0,
                            QColor(90, 90, 90), true);
        else
            pages.pictures({&drawn.depth, &drawn.track}, drawn.size);
    }
    return true;
}

void packSection(ReportPages &pages, const ReportContent &r)
{
    lines(pages, r.charges, r.span.isOneDay(), false);
    if (r.packs.packs.isEmpty())
        return;
    pages.space(4);
    pages.drawing(170, [&r, &pages](QPainter &p, const QRectF &area) {
        QFont f(QStringLiteral("Sans Serif"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(8);
        Q_UNUSED(pages);
        drawPackChart(p, area, r.packs.packs, f);
    });
    auto volts = [](const std::optional<double> &v) { return v ? QString::number(*v, 'f', 2) + QStringLiteral(" V") : QStringLiteral("—"); };
    QList<QStringList> rows;
    for (const Pack &p : r.packs.packs)
        rows << QStringList{p.serial, QString::number(p.chargeCount()), utcText(p.firstCharge()), utcText(p.lastCharge()),
                            volts(p.lastMinVolts()), volts(p.lastMaxVolts())};
    pages.table({0.14, 0.1, 0.25, 0.25, 0.13, 0.13},
                {QStringLiteral("Pack"), QStringLiteral("Charges"), QStringLiteral("First charge"), QStringLiteral("Last charge"),
                 QStringLiteral("Last min"), QStringLiteral("Last max")},
                rows, true);
    if (r.packs.skippedVolts > 0)
        pages.paragraph((r.packs.skippedVolts == 1 ? QStringLiteral("1 voltage that is not a number was left out.") : QStringLiteral("%1 voltages that are not numbers were left out.").arg(r.packs.skippedVolts)), {}, 0,
                        QColor(90, 90, 90), true);
}

// False when the pictures were given up.
bool drawContent(ReportPages &pages, const ReportContent &r, const ReportPictures &pictures)
{
    const bool oneDay = r.span.isOneDay();
    pages.heading(r.title, 1);
    pages.paragraph(QStringLiteral("%1 %2").arg(oneDay ? QStringLiteral("Daily report,") : QStringLiteral("Report,"), r.span.text()),
                    {}, 0, Qt::black);
    pages.paragraph(QStringLiteral("Made %1%2").arg(utcText(r.madeAt), r.includeVoid ? QStringLiteral(", void entries included") : QString()));
    pages.paragraph(QStringLiteral("Crew: %1").arg(r.roster.join(QStringLiteral(", "))));

    QStringList kinds;
    for (const auto &[kind, count] : r.totals.entriesByKind)
        kinds << QStringLiteral("%1 %2").arg(kind).arg(count);
    pages.heading(QStringLiteral("Totals"), 2);
    pages.table({0.22, 0.78}, {},
                {{QStringLiteral("Launches"), QString::number(r.totals.launches)},
                 {QStringLiteral("Time in the water"), inWaterText(r.totals.secondsInWater)},
                 {QStringLiteral("Aborts"), QString::number(r.totals.aborts)},
                 {QStringLiteral("Entries"), kinds.isEmpty() ? QStringLiteral("none") : kinds.join(QStringLiteral(", "))}},
                false);

    pages.heading(QStringLiteral("Timeline"), 2);
    lines(pages, r.timeline, oneDay, true);
    if (r.untimed > 0)
        pages.paragraph(QStringLiteral("%1 entr%2 at the end: the time is not known.")
                            .arg(r.untimed)
                            .arg(r.untimed == 1 ? QStringLiteral("y") : QStringLiteral("ies")),
                        {}, 0, QColor(90, 90, 90), true);
    pages.heading(QStringLiteral("Launches"), 2);
    if (!launchSection(pages, r, pictures))
        return false;
    pages.heading(QStringLiteral("Weather observations"), 2);
    weatherTable(pages, r.weather, oneDay);
    pages.heading(QStringLiteral("Battery charges"), 2);
    packSection(pages, r);
    pages.heading(QStringLiteral("Maintenance done"), 2);
    lines(pages, r.maintenance, oneDay, false, r.attached);
    pages.heading(QStringLiteral("Tasks opened"), 2);
    lines(pages, r.tasksOpened, oneDay, false, r.attached);
    pages.heading(QStringLiteral("Tasks closed"), 2);
    lines(pages, r.tasksClosed, oneDay, false, r.attached);
    pages.heading(QStringLiteral("Notes"), 2);
    lines(pages, r.notes, oneDay, false, r.attached);
    return true;
}

} // namespace

QHash<qint64, mission::MissionCheck> reviewLaunches(const QList<TimelineLine> &lines, const Settings &settings)
{
    QHash<qint64, mission::MissionCheck> checks;
    const mission::VehicleLimits limits = mission::vehicleLimits(settings);
    for (const TimelineLine &l : lines)
        if (l.isLaunch())
            if (std::optional<mission::MissionCheck> check = reviewLaunch(l.launch, limits))
                checks.insert(l.key, std::move(*check));
    return checks;
}

std::optional<double> plannedSeconds(const mission::MissionCheck &check)
{
    double seconds = check.totalTime;
    if (check.missionTimer && *check.missionTimer > 0)
        seconds = seconds > 0 ? std::min(seconds, *check.missionTimer) : *check.missionTimer;
    if (!(seconds > 0))
        return std::nullopt;
    return seconds;
}

ReportContent reportContent(const ReportInput &input, bool includeVoid,
                            const QHash<qint64, mission::MissionCheck> &checks, const QDateTime &madeAt)
{
    const PlannedRun planned = [checks](const logbook::launchlog::Record &r) -> std::optional<double> {
        const auto it = checks.constFind(r.key);
        return it == checks.constEnd() ? std::nullopt : plannedSeconds(*it);
    };
    return buildReport(input, settings().reportTitle, settings().crewRoster, includeVoid, clockFormat(), planned, madeAt);
}

LaunchPictures drawLaunchPictures(const mission::MissionCheck &check, const QString &coastlineFolder)
{
    LaunchPictures out;
    out.size = QSize(440, 275);
    auto record = [&out](QWidget &w, QPicture *picture) {
        w.setAttribute(Qt::WA_DontShowOnScreen);
        w.resize(out.size);
        w.render(picture);
    };
    launch::DepthProfileView depth;
    depth.setCheck(check);
    record(depth, &out.depth);
    chart::ChartView track;
    track.setCoastline(&chart::Coastline::forFolder(coastlineFolder));
    track.resize(out.size);
    track.setData(mission::chartData(check));
    record(track, &out.track);
    return out;
}

LaunchPictures picturesFor(const logbook::launchlog::Record &launch, const mission::MissionCheck &check,
                           const QString &coastlineFolder, QHash<QByteArray, LaunchPictures> *drawn)
{
    // The same script run again from the same place draws the same pictures.
    const QByteArray key = QCryptographicHash::hash((launch.text(QStringLiteral("ReviewedText")) + QLatin1Char('\n')
                                                     + launch.text(QStringLiteral("Position")))
                                                        .toUtf8(),
                                                    QCryptographicHash::Sha256);
    if (const auto it = drawn->constFind(key); it != drawn->constEnd())
        return *it;
    const LaunchPictures pictures = drawLaunchPictures(check, coastlineFolder);
    drawn->insert(key, pictures);
    return pictures;
}

void setReportPageLayout(QPagedPaintDevice *device)
{
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}

ReportPictures::ReportPictures(const QList<qint64> &expected)
    : m_expected(expected.cbegin(), expected.cend())
{
}

void ReportPictures::put(qint64 key, const LaunchPictures &pictures)
{
    QMutexLocker lock(&m_mutex);
    m_drawn.insert(key, pictures);
    m_changed.wakeAll();
}

void ReportPictures::close(bool stop)
{
    QMutexLocker lock(&m_mutex);
    m_closed = true;
    m_stopped = m_stopped || stop;
    m_changed.wakeAll();
}

ReportPictures::Got ReportPictures::take(qint64 key, LaunchPictures *pictures) const
{
    QMutexLocker lock(&m_mutex);
    for (;;) {
        if (m_stopped)
            return Got::Stopped;
        if (const auto it = m_drawn.constFind(key); it != m_drawn.constEnd()) {
            *pictures = *it;
            return Got::Pictures;
        }
        if (m_closed || !m_expected.contains(key))
            return Got::None;
        m_changed.wait(&m_mutex);
    }
}

bool drawReport(const ReportContent &report, const ReportPictures &pictures, QPagedPaintDevice *device, QString *error)
{
    ReportPages pages(device, QStringLiteral("%1 · %2").arg(report.title, report.span.text()));
    if (!pages.isActive()) {
        *error = QStringLiteral("The report could not be started on the printer.");
        return false;
    }
    if (!drawContent(pages, report, pictures)) {
        // Given up: nothing of it goes to the printer (a PDF file is not
        // kept by its writer).
        if (auto *printer = dynamic_cast<QPrinter *>(device))
            printer->abort();
        *error = QStringLiteral("The report was stopped.");
        return false;
    }
    pages.finish();
    if (!pages.ok()) {
        *error = QStringLiteral("The report's page %1 could not be started.").arg(pages.pageCount());
        return false;
    }
    return true;
}

bool writeReportPdf(const ReportContent &report, const ReportPictures &pictures, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("\"%1\" cannot be written: %2").arg(shown, file.errorString());
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("%1: %2").arg(report.title, report.span.text()));
        pdf.setCreator(QStringLiteral("Bravik AUV Log Utility"));
        pdf.setResolution(300);
        setReportPageLayout(&pdf);
        if (!drawReport(report, pictures, &pdf, error)) {
            file.cancelWriting();
            return false;
        }
    }
    if (!file.commit()) {
        *error = QStringLiteral("\"%1\" cannot be written: %2").arg(shown, file.errorString());
        return false;
    }
    return true;
}

bool writeReportPdf(const ReportContent &report, const QHash<qint64, mission::MissionCheck> &checks,
                    const QString &coastlineFolder, const QString &path, QString *error, double *picturesMs)
{
    QList<qint64> expected;
    for (const LaunchDetail &d : report.launches)
        if (checks.contains(d.line.key))
            expected << d.line.key;
    ReportPictures pictures(expected);
    bool ok = false;
    std::unique_ptr<QThread> writer(QThread::create([&] { ok = writeReportPdf(report, pictures, path, error); }));
    writer->start();
    QElapsedTimer drawing;
    drawing.start();
    QHash<QByteArray, LaunchPictures> drawn;
    for (const LaunchDetail &d : report.launches)
        if (const auto check = checks.constFind(d.line.key); check != checks.constEnd())
            pictures.put(d.line.key, picturesFor(d.line.launch, *check, coastlineFolder, &drawn));
    pictures.close();
    if (picturesMs)
        *picturesMs = drawing.nsecsElapsed() / 1e6;
    writer->wait();
    return ok;
}

} // namespace bravik::ops
