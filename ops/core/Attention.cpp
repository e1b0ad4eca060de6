#include "Attention.h"

#include "Schema.h"

#include <QtNumeric>
#include <algorithm>

namespace bravik::ops {

using logbook::operations::StoredEntry;

namespace {

qint64 seconds(double amount, double unit)
{
    const double s = amount * unit;
    return s > 1e11 ? qint64(1e11) : qint64(s);
}

QString hoursText(double hours)
{
    return hours == 1.0 ? QStringLiteral("1 hour") : QStringLiteral("%1 hours").arg(QString::number(hours, 'g', 6));
}

QString daysText(double days)
{
    return days == 1.0 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(QString::number(days, 'g', 6));
}

} // namespace

QString ageText(qint64 s)
{
    const double hours = double(s) / 3600.0;
    if (hours < 48.0)
        return QStringLiteral("%1 hours").arg(QString::number(hours, 'f', hours < 10.0 ? 1 : 0));
    return QStringLiteral("%1 days").arg(qint64(hours / 24.0));
}

QDateTime judgedAt(const TimeSpan &span, const QDateTime &now)
{
    return std::min(now.toUTC(), span.until);
}

QList<AttentionItem> packAttention(const PackOverview &packs, const QDateTime &at, double chargeHours)
{
    QList<AttentionItem> items;
    const qint64 limit = seconds(chargeHours, 3600.0);
    for (const Pack &p : packs.packs) {
        // Charges after the moment judged at do not count.
        const PackCharge *last = nullptr;
        for (const PackCharge &c : p.charges)
            if (c.when <= at)
                last = &c;
        if (!last)
            continue;
        const qint64 age = last->when.secsTo(at);
        if (age <= limit)
            continue;
        AttentionItem item;
        item.rule = AttentionItem::Rule::PackNotCharged;
        item.table = QStringLiteral("BatteryCharge");
        item.key = last->key;
        item.since = last->when;
        item.text = QStringLiteral("Pack %1 not charged for %2 (last charge %3; due every %4)")
                        .arg(p.serial, ageText(age), utcText(last->when), hoursText(chargeHours));
        items << item;
    }
    return items;
}

QList<AttentionItem> taskAttention(const QList<StoredEntry> &openTasks, const QDateTime &at, double openTaskDays,
                                   const ClockFormat &clock)
{
    QList<AttentionItem> items;
    const qint64 limit = seconds(openTaskDays, 86400.0);
    for (const StoredEntry &e : openTasks) {
        if (e.voided || !e.text(QStringLiteral("DateCompleted")).trimmed().isEmpty())
            continue;
        const EntryTime time = entryTime(e.text(QStringLiteral("Date/Time")), e.text(logbook::stampedAtColumn()), clock);
        QString what = firstLine(e.text(QStringLiteral("TaskDescription")), 80);
        if (what.isEmpty())
            what = QStringLiteral("(no description)");
        const QString who = firstLine(e.text(QStringLiteral("AssignedTo")), 40);
        if (!who.isEmpty())
            what += QStringLiteral(" (for %1)").arg(who);
        AttentionItem item;
        item.rule = AttentionItem::Rule::OpenTask;
        item.table = e.table;
        item.key = e.key;
        if (time.source == EntryTime::Source::None) {
            item.text = QStringLiteral("Task open since a time not known: %1").arg(what);
        } else {
            if (time.when > at)
                continue;
            const qint64 age = time.when.secsTo(at);
            if (age <= limit)
                continue;
            item.since = time.when;
            item.text = QStringLiteral("Task open for %1 (since %2; more than %3): %4")
                            .arg(ageText(age), utcText(time.when), daysText(openTaskDays), what);
        }
        items << item;
    }
    std::stable_sort(items.begin(), items.end(), [](const AttentionItem &a, const AttentionItem &b) {
        if (a.since.isValid() != b.since.isValid())
            return a.since.isValid();
        return a.since < b.since;
    });
    return items;
}

std::optional<AttentionItem> prediveAttention(const launch::predive::GateAnswer &answer, const QDateTime &at,
                                              double hours)
{
    using Verdict = launch::predive::GateAnswer::Verdict;
    if (answer.verdict == Verdict::Off || answer.verdict == Verdict::Passed)
        return std::nullopt;
    AttentionItem item;
    item.rule = AttentionItem::Rule::Predive;
    item.table = QStringLiteral("Predive");
    const QString window = QStringLiteral("in the %1 before %2").arg(hoursText(hours), utcText(at));
    if (answer.verdict == Verdict::Unreadable) {
        // The verdict's first line speaks of a run; the reason follows it.
        const QString reason = answer.message.section(QLatin1Char('\n'), 1).trimmed();
        item.text = QStringLiteral("The predive checklists could not be read: %1").arg(firstLine(reason, 200));
        return item;
    }
    if (!answer.latest) {
        item.text = QStringLiteral("No complete predive checklist %1: none stored").arg(window);
        return item;
    }
    const launch::predive::Checklist &latest = *answer.latest;
    item.key = latest.key;
    item.since = latest.stampedAt;
    const QString by = latest.submittedBy.trimmed().isEmpty() ? QString() : QStringLiteral(" by ") + latest.submittedBy.trimmed();
    if (latest.stampedAt.secsTo(at) > seconds(hours, 3600.0))
        item.text = QStringLiteral("No complete predive checklist %1: the latest is from %2%3")
                        .arg(window, utcText(latest.stampedAt), by);
    else
        item.text = QStringLiteral("No complete predive checklist %1: the latest (%2%3) leaves %4 not ticked")
                        .arg(window, utcText(latest.stampedAt), by, latest.unticked.join(QStringLiteral(", ")));
    return item;
}

QList<AttentionItem> launchAttention(const Timeline &timeline)
{
    QList<AttentionItem> items;
    for (const TimelineLine &l : timeline.lines) {
        if (!l.isLaunch() || (!launchFailed(l.launch) && !launchAborted(l.launch)))
            continue;
        QStringList what;
        if (launchFailed(l.launch))
            what << launchOutcome(l.launch);
        if (launchAborted(l.launch)) {
            const QDateTime at = readStamp(l.launch.text(QStringLiteral("AbortedAtUtc")));
            what << (at.isValid() ? QStringLiteral("aborted %1").arg(utcText(at)) : QStringLiteral("aborted"));
        }
        QString file = fileNameOf(l.launch.text(QStringLiteral("RunFile")));
        if (file.isEmpty())
            file = fileNameOf(l.launch.text(QStringLiteral("ReviewedFile")));
        AttentionItem item;
        item.rule = AttentionItem::Rule::Launch;
        item.table = l.table;
        item.key = l.key;
        item.since = l.time.when;
        item.text = QStringLiteral("Launch of %1 at %2: %3").arg(file.isEmpty() ? QStringLiteral("a mission") : file,
                                                                 utcText(l.time.when), what.join(QStringLiteral(", ")));
        items << item;
    }
    return items;
}

std::optional<QList<AttentionItem>> readAttention(logbook::Database &db, const TimeSpan &span,
                                                  const Thresholds &thresholds, const ClockFormat &clock,
                                                  const QDateTime &now, const PackOverview *packs,
                                                  const Timeline *timeline, const ReadSteps &steps, QString *error)
{
    const QDateTime at = judgedAt(span, now);
    std::optional<PackOverview> readPackList;
    if (!packs) {
        readPackList = readPacks(db, clock, span.until, {steps.stopRequested, {}}, error);
        if (!readPackList)
            return std::nullopt;
        packs = &*readPackList;
    }
    steps.tell(0.4);
    QList<StoredEntry> tasks;
    if (!logbook::operations::readOpenTasks(db, [&tasks](StoredEntry &&e) {
            tasks << std::move(e);
            return true;
        }, error))
        return std::nullopt;
    steps.tell(0.6);
    // The same verdict "Run Mission" asks for, judged at the moment above.
    const launch::predive::GateAnswer predive =
        launch::predive::check(db, thresholds.prediveHours, at);
    std::optional<Timeline> readSpan;
    if (!timeline) {
        readSpan = readTimeline(db, span, clock, {steps.stopRequested, {}}, error);
        if (!readSpan)
            return std::nullopt;
        timeline = &*readSpan;
    }
    if (steps.stop()) {
        error->clear();
        return std::nullopt;
    }
    steps.tell(1.0);
    QList<AttentionItem> items = launchAttention(*timeline);
    if (const auto p = prediveAttention(predive, at, thresholds.prediveHours))
        items << *p;
    items << packAttention(*packs, at, thresholds.chargeHours);
    items << taskAttention(tasks, at, thresholds.openTaskDays, clock);
    return items;
}

} // namespace bravik::ops
