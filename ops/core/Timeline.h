#pragma once

// A span's timeline: every entry of the eight kinds and every launch record
// whose time lies in the span, oldest first, one line each.  Entries whose
// time cannot be told (no readable "Date/Time" and no stamp) come last,
// marked.  Voided entries are in it, marked; who shows it decides whether
// to show them.

#include "EntrySummary.h"
#include "LaunchLog.h"
#include "OperationsQueries.h"
#include "TimeSpan.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace bravik::logbook {
class Database;
}

namespace bravik::ops {

// An entry's own time may be corrected away from the day it was stored:
// the stamps are read from one day before the span shown to three days
// after it, and the entries whose own time falls in the span are kept.  An
// entry stored more than three days after the time it tells of (or more
// than one day before it) is not found in that time's timeline.
constexpr int kStampDaysBefore = 1;
constexpr int kStampDaysAfter = 3;

struct TimelineLine
{
    QString table;            // the entry's table, or "LaunchRecord"
    qint64 key = -1;
    EntryTime time;
    QString kind;             // the category crews pick it by ("Battery Charge"), or "Launch"
    QString submitter;        // a launch: the computer's user who ran it
    QString workstation;
    QString summary;
    std::optional<GeoFix> position;
    bool voided = false;
    QString voidReason;
    qint64 missionKey = -1;   // a launch: its mission log entry, when known
    logbook::operations::StoredEntry entry;   // an entry's fields
    logbook::launchlog::Record launch;        // a launch's fields

    bool isLaunch() const { return table == logbook::launchlog::tableName(); }
    bool hasTime() const { return time.source != EntryTime::Source::None; }
};

struct Timeline
{
    TimeSpan span;
    QList<TimelineLine> lines;

    int untimedCount() const;
    int voidCount() const;
    // The lines without the voided ones.
    QList<TimelineLine> withoutVoid() const;
};

// Lets a long read stop early and tell how far it got (0 to 1).
struct ReadSteps
{
    std::function<bool()> stopRequested;
    std::function<void(double)> progress;

    bool stop() const { return stopRequested && stopRequested(); }
    void tell(double share) const
    {
        if (progress)
            progress(share);
    }
};

// Lines of these entries and launches that belong to the span, in order.
Timeline buildTimeline(const QList<logbook::operations::StoredEntry> &entries,
                       const QList<logbook::launchlog::Record> &launches, const TimeSpan &span,
                       const ClockFormat &clock);

// Reads the span's entries of every table and its launches and builds the
// timeline.  No value when the engine refused (error) or the read was
// stopped (error empty).
std::optional<Timeline> readTimeline(logbook::Database &db, const TimeSpan &span, const ClockFormat &clock,
                                     const ReadSteps &steps, QString *error);

// The stamp span read for a span shown.
TimeSpan stampSpanFor(const TimeSpan &shown);

// The order of a table among the kinds (the main window's order, launches
// last), for lines at the same second.
int kindOrder(const QString &table);

} // namespace bravik::ops
