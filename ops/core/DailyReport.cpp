#include "DailyReport.h"

#include "Attachments.h"
#include "RecordKinds.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>
#include <algorithm>

namespace bravik::ops {

using logbook::operations::StoredEntry;

QString LaunchDetail::endText() const
{
    switch (endSource) {
    case End::Aborted: return utcText(end) + QStringLiteral(" (aborted)");
    case End::Planned: return utcText(end) + QStringLiteral(" (planned)");
    case End::NotInWater: return QStringLiteral("not in the water");
    case End::Unknown: break;
    }
    return QStringLiteral("not known");
}

QString inWaterText(qint64 seconds)
{
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QDateTime readCompletion(const QString &text, const ClockFormat &clock)
{
    if (const QDateTime t = readClockText(text, clock); t.isValid())
        return t;
    const QDate iso = QDate::fromString(text.trimmed(), Qt::ISODate);
    return iso.isValid() ? QDateTime(iso, QTime(0, 0), QTimeZone::utc()) : QDateTime();
}

namespace {

LaunchDetail launchDetail(const TimelineLine &l, const PlannedRun &plannedRun)
{
    LaunchDetail d;
    d.line = l;
    d.start = l.time.when;
    if (launchFailed(l.launch)) {
        d.endSource = LaunchDetail::End::NotInWater;
        return d;
    }
    const QDateTime aborted = readStamp(l.launch.text(QStringLiteral("AbortedAtUtc")));
    std::optional<double> planned;
    if (plannedRun)
        planned = plannedRun(l.launch);
    const QDateTime plannedEnd = planned && *planned >= 0 ? d.start.addSecs(qint64(*planned + 0.5)) : QDateTime();
    // Aborted before the planned end (or with no plan known): the abort ends it.
    if (aborted.isValid() && aborted >= d.start && (!plannedEnd.isValid() || aborted < plannedEnd)) {
        d.end = aborted;
        d.endSource = LaunchDetail::End::Aborted;
    } else if (plannedEnd.isValid()) {
        d.end = plannedEnd;
        d.endSource = LaunchDetail::End::Planned;
    }
    if (d.end.isValid())
        d.secondsInWater = d.start.secsTo(d.end);
    return d;
}

} // namespace

ReportContent buildReport(const ReportInput &input, const QString &title, const QStringList &roster,
                          bool includeVoid, const ClockFormat &clock, const PlannedRun &plannedRun,
                          const QDateTime &madeAt)
{
    ReportContent r;
    for (auto it = input.attached.constBegin(); it != input.attached.constEnd(); ++it) {
        QList<AttachedFile> kept;
        for (const AttachedFile &f : it.value())
            if (!f.voided || includeVoid)
                kept << f;
        if (!kept.isEmpty())
            r.attached.insert(it.key(), kept);
    }
    r.title = title;
    r.span = input.timeline.span;
    r.roster = roster;
    r.madeAt = madeAt;
    r.includeVoid = includeVoid;
    QHash<QString, int> byKind;
    QSet<QString> packsCharged;
    QSet<qint64> closedKeys;
    for (const TimelineLine &l : input.timeline.lines) {
        if (l.voided && !includeVoid)
            continue;
        r.timeline << l;
        if (!l.hasTime())
            ++r.untimed;
        if (l.isLaunch()) {
            r.launches << launchDetail(l, plannedRun);
            continue;
        }
        if (!l.voided)
            ++byKind[l.table];
        // Sections list the entries of the span whose time is known.
        if (!l.hasTime())
            continue;
        if (l.table == QLatin1String("WeatherObservation")) {
            r.weather << l;
        } else if (l.table == QLatin1String("BatteryCharge")) {
            r.charges << l;
            if (!l.voided)
                for (int slot = 1; slot <= 3; ++slot)
                    if (const QString s = l.entry.text(QStringLiteral("Batt%1SN").arg(slot)).trimmed(); !s.isEmpty())
                        packsCharged << s;
        } else if (l.table == QLatin1String("VehicleMaintenance")) {
            r.maintenance << l;
        } else if (l.table == QLatin1String("TaskList")) {
            r.tasksOpened << l;
        } else if (l.table == QLatin1String("Miscellaneous")) {
            r.notes << l;
        }
    }
    // Tasks closed in the span, whenever they were opened.
    for (const StoredEntry &e : input.completed) {
        const QDateTime done = readCompletion(e.text(QStringLiteral("DateCompleted")), clock);
        if (!done.isValid() || !r.span.contains(done) || closedKeys.contains(e.key))
            continue;
        closedKeys << e.key;
        TimelineLine l;
        l.table = e.table;
        l.key = e.key;
        l.time = {done, EntryTime::Source::Own};
        l.kind = QStringLiteral("Task List");
        l.submitter = e.text(QStringLiteral("SubmittedBy"));
        l.summary = summarizeEntry(e).summary;
        l.entry = e;
        r.tasksClosed << l;
    }
    std::stable_sort(r.tasksClosed.begin(), r.tasksClosed.end(),
                     [](const TimelineLine &a, const TimelineLine &b) { return a.time.when < b.time.when; });

    for (const Pack &p : input.packs.packs)
        if (packsCharged.contains(p.serial))
            r.packs.packs << p;
    r.packs.skippedVolts = input.packs.skippedVolts;

    r.totals.launches = int(r.launches.size());
    for (const LaunchDetail &d : r.launches) {
        r.totals.secondsInWater += d.secondsInWater;
        r.totals.aborts += launchAborted(d.line.launch) ? 1 : 0;
    }
    for (const logbook::RecordKind &k : logbook::recordKinds())
        if (byKind.value(k.table) > 0)
            r.totals.entriesByKind.append({k.category, byKind.value(k.table)});
    return r;
}

std::optional<ReportInput> readReportInput(logbook::Database &db, const TimeSpan &span, const ClockFormat &clock,
                                           const ReadSteps &steps, QString *error)
{
    ReportInput in;
    auto part = [&](double from, double to) {
        return ReadSteps{steps.stopRequested, [&steps, from, to](double s) { steps.tell(from + s * (to - from)); }};
    };
    std::optional<Timeline> timeline = readTimeline(db, span, clock, part(0.0, 0.8), error);
    if (!timeline)
        return std::nullopt;
    in.timeline = std::move(*timeline);
    std::optional<PackOverview> packs = readPacks(db, clock, span.until, part(0.8, 0.95), error);
    if (!packs)
        return std::nullopt;
    in.packs = std::move(*packs);
    // The files of the span's entries, photos as thumbnails.
    QHash<QString, QSet<qint64>> keys;
    for (const TimelineLine &l : in.timeline.lines)
        if (!l.isLaunch())
            keys[l.table].insert(l.key);
    for (auto it = keys.constBegin(); it != keys.constEnd(); ++it) {
        QList<logbook::attachments::Attachment> found;
        if (!logbook::attachments::forTable(db, it.key(), &found, error))
            return std::nullopt;
        for (const logbook::attachments::Attachment &a : found) {
            if (!it.value().contains(a.entryKey))
                continue;
            AttachedFile f{a.fileName, a.mediaType, a.size, {}, a.voided, a.voidReason};
            QByteArray bytes;
            QString ignored;
            if (a.isImage() && logbook::attachments::content(db, a.sha256, &bytes, &ignored))
                f.thumbnail = logbook::attachments::thumbnail(bytes, 240);
            in.attached[{it.key(), a.entryKey}] << f;
        }
    }
    if (!logbook::operations::readCompletedTasks(db, [&in](StoredEntry &&e) {
            in.completed << std::move(e);
            return true;
        }, error))
        return std::nullopt;
    if (steps.stop()) {
        error->clear();
        return std::nullopt;
    }
    steps.tell(1.0);
    return in;
}

} // namespace bravik::ops
