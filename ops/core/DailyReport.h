#pragma once

// What the daily report of a span holds, oldest first: a header (the span,
// the vessel or project from `[report] title`, the crew roster), the
// totals (launches, time in the water, aborts, entries by kind), the
// timeline, each launch with its review and outcome, the weather
// observations, the battery charges with the packs charged, maintenance
// done, tasks opened and closed, and the notes.  Voided entries are left
// out unless asked for, as in the exports.  Drawing it is the windows'
// part.

#include "BatteryPacks.h"
#include "Timeline.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace bravik::ops {

struct LaunchDetail
{
    TimelineLine line;
    QDateTime start;
    QDateTime end;            // invalid when not known
    enum class End { Aborted, Planned, NotInWater, Unknown };
    End endSource = End::Unknown;
    qint64 secondsInWater = 0;

    QString endText() const;  // "2026-12-08 05:10 UTC (aborted)", "… (planned)", "not in the water", "not known"
};

// A file attached to an entry of the report: a photo with its thumbnail,
// anything else by name.  Void ones are left out unless asked for.
struct AttachedFile
{
    QString fileName;
    QString mediaType;
    qint64 size = 0;
    QImage thumbnail;   // null for what is no photo
    bool voided = false;
    QString voidReason;
};
// By the entry's table and key.
using AttachedFiles = QHash<QPair<QString, qint64>, QList<AttachedFile>>;

struct ReportTotals
{
    int launches = 0;
    qint64 secondsInWater = 0;
    int aborts = 0;
    QList<QPair<QString, int>> entriesByKind;   // kinds with entries, in the main window's order
};

struct ReportContent
{
    QString title;
    TimeSpan span;
    QStringList roster;
    QDateTime madeAt;
    bool includeVoid = false;
    ReportTotals totals;
    QList<TimelineLine> timeline;
    QList<LaunchDetail> launches;
    QList<TimelineLine> weather, charges, maintenance, tasksOpened, tasksClosed, notes;
    PackOverview packs;       // the packs charged in the span, with their charges up to its end
    int untimed = 0;          // entries whose time is not known (listed at the end of the timeline)
    AttachedFiles attached;   // the entries' files
};

// The planned seconds of a launch's run (from its reviewed text); no value
// when they cannot be told.
using PlannedRun = std::function<std::optional<double>(const logbook::launchlog::Record &)>;

// A completion date as typed: the clock's text, its date alone, or an ISO
// date (2026-12-08).
QDateTime readCompletion(const QString &text, const ClockFormat &clock);

struct ReportInput
{
    Timeline timeline;                                   // the span's, voided entries included
    PackOverview packs;                                  // every pack, charges up to the span's end
    QList<logbook::operations::StoredEntry> completed;   // tasks with a completion date
    AttachedFiles attached;                              // the files of the span's entries
};

ReportContent buildReport(const ReportInput &input, const QString &title, const QStringList &roster,
                          bool includeVoid, const ClockFormat &clock, const PlannedRun &plannedRun,
                          const QDateTime &madeAt);

// Reads what the report needs.  No value when the engine refused (error)
// or the read was stopped (error empty).
std::optional<ReportInput> readReportInput(logbook::Database &db, const TimeSpan &span, const ClockFormat &clock,
                                           const ReadSteps &steps, QString *error);

// "3 h 20 min", "45 min", "0 min".
QString inWaterText(qint64 seconds);

} // namespace bravik::ops
