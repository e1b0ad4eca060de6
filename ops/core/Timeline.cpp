#include "Timeline.h"

#include "Database.h"
#include "RecordKinds.h"
#include "Schema.h"

#include <algorithm>

namespace bravik::ops {

using logbook::launchlog::Record;
using logbook::operations::StoredEntry;

int kindOrder(const QString &table)
{
    const auto &kinds = logbook::recordKinds();
    for (int i = 0; i < kinds.size(); ++i)
        if (kinds.at(i).table == table)
            return i;
    return int(kinds.size());
}

int Timeline::untimedCount() const
{
    return int(std::count_if(lines.cbegin(), lines.cend(), [](const TimelineLine &l) { return !l.hasTime(); }));
}

int Timeline::voidCount() const
{
    return int(std::count_if(lines.cbegin(), lines.cend(), [](const TimelineLine &l) { return l.voided; }));
}

QList<TimelineLine> Timeline::withoutVoid() const
{
    QList<TimelineLine> kept;
    for (const TimelineLine &l : lines)
        if (!l.voided)
            kept << l;
    return kept;
}

TimeSpan stampSpanFor(const TimeSpan &shown)
{
    return {shown.from.addDays(-kStampDaysBefore), shown.until.addDays(kStampDaysAfter)};
}

Timeline buildTimeline(const QList<StoredEntry> &entries, const QList<Record> &launches, const TimeSpan &span,
                       const ClockFormat &clock)
{
    Timeline t;
    t.span = span;
    for (const StoredEntry &e : entries) {
        TimelineLine l;
        l.time = entryTime(e.text(QStringLiteral("Date/Time")), e.text(logbook::stampedAtColumn()), clock);
        if (l.hasTime() && !span.contains(l.time.when))
            continue;
        l.table = e.table;
        l.key = e.key;
        const logbook::RecordKind *kind = logbook::kindForTable(e.table);
        l.kind = kind ? kind->category : e.table;
        l.submitter = e.text(QStringLiteral("SubmittedBy"));
        l.workstation = e.text(logbook::workstationColumn());
        const EntryLine summary = summarizeEntry(e);
        l.summary = summary.summary;
        l.position = summary.position;
        l.voided = e.voided;
        l.voidReason = e.voidReason;
        l.entry = e;
        t.lines << l;
    }
    for (const Record &r : launches) {
        TimelineLine l;
        const QDateTime started = readStamp(r.text(QStringLiteral("StartedAtUtc")));
        if (!started.isValid() || !span.contains(started))
            continue;
        l.time = {started, EntryTime::Source::Stamp};
        l.table = logbook::launchlog::tableName();
        l.key = r.key;
        l.kind = QStringLiteral("Launch");
        l.submitter = r.text(QStringLiteral("OsUser"));
        l.workstation = r.text(QStringLiteral("Workstation"));
        const EntryLine summary = summarizeLaunch(r);
        l.summary = summary.summary;
        l.position = summary.position;
        bool known = false;
        const qint64 mission = r.values.value(QStringLiteral("MissionKey")).toLongLong(&known);
        l.missionKey = known ? mission : -1;
        l.launch = r;
        t.lines << l;
    }
    std::stable_sort(t.lines.begin(), t.lines.end(), [](const TimelineLine &a, const TimelineLine &b) {
        if (a.hasTime() != b.hasTime())
            return a.hasTime();
        if (a.hasTime() && a.time.when != b.time.when)
            return a.time.when < b.time.when;
        const int ka = kindOrder(a.table), kb = kindOrder(b.table);
        if (ka != kb)
            return ka < kb;
        return a.key < b.key;
    });
    return t;
}

std::optional<Timeline> readTimeline(logbook::Database &db, const TimeSpan &span, const ClockFormat &clock,
                                     const ReadSteps &steps, QString *error)
{
    const TimeSpan stamps = stampSpanFor(span);
    const QString from = stampText(stamps.from), until = stampText(stamps.until);
    QList<StoredEntry> entries;
    const auto &kinds = logbook::recordKinds();
    const double parts = double(kinds.size() + 1);
    qint64 read = 0;
    for (int i = 0; i < kinds.size(); ++i) {
        bool stopped = false;
        // An entry whose own time falls outside the span is let go at once:
        // the margin read around the span holds several times its entries.
        const QHash<QString, int> &at = logbook::operations::entryColumnIndex(kinds.at(i).table);
        const int own = at.value(QStringLiteral("Date/Time")), stamp = at.value(logbook::stampedAtColumn());
        if (!logbook::operations::readStampedBetween(db, kinds.at(i).table, from, until,
                                                     [&](StoredEntry &&e) {
                                                         // Asked now and then: a stop is heard between rows.
                                                         if ((read++ & 255) == 0 && steps.stop()) {
                                                             stopped = true;
                                                             return false;
                                                         }
                                                         const EntryTime time = entryTime(e.values.value(own), e.values.value(stamp), clock);
                                                         if (time.source == EntryTime::Source::None || span.contains(time.when))
                                                             entries << std::move(e);
                                                         return true;
                                                     },
                                                     error)
            || stopped || steps.stop()) {
            if (stopped || steps.stop())
                error->clear();
            return std::nullopt;
        }
        steps.tell((i + 1) / parts);
    }
    QList<Record> launches;
    if (!logbook::launchlog::startedBetween(db, stampText(span.from), stampText(span.until), &launches, error))
        return std::nullopt;
    if (steps.stop()) {
        error->clear();
        return std::nullopt;
    }
    steps.tell(1.0);
    return buildTimeline(entries, launches, span, clock);
}

} // namespace bravik::ops
