#pragma once

// A UTC day on the chart: where the day's entries were made (every entry
// and launch of the day with a position, voided ones left out) and where
// its launches went (each launch record's reviewed script, read and checked
// as the review window does, its track placed from the launch's position).
// Entries whose time cannot be told belong to no day and are left out.

#include "ChartData.h"
#include "MissionCheck.h"
#include "Timeline.h"

#include <QList>
#include <QString>
#include <optional>

namespace bravik::ops {

// A point of the day: what it opens and what the chart and the list say.
struct DayPoint
{
    QString table;            // the entry's table, or "LaunchRecord"
    qint64 key = -1;
    qint64 missionKey = -1;   // a launch: its mission log entry
    QDateTime when;           // UTC
    QString kind;             // "Weather Observation", "Launch"
    QString summary;
    GeoFix position;

    bool isLaunch() const { return table == logbook::launchlog::tableName(); }
    // "08:40" beside its mark.
    QString label() const;
    // "08:40  Mission Log: Mapping, waypoints.cfg …" in the list.
    QString listText() const;
};

struct DayChart
{
    TimeSpan span;
    QList<DayPoint> points;       // oldest first
    // The points' marks first, each with its point's index as its id; then
    // the launches' tracks with their waypoints and surfacings.
    chart::ChartData data;
    int launchTracks = 0;         // launches whose track is drawn
    int withoutPosition = 0;      // the day's other entries (not void)
    int launchesWithoutTrack = 0; // no reviewed script, or none with a place

    // "2026-12-08 (UTC): 3 positions, 2 launch tracks; 9 entries without a position."
    QString statusText() const;
};

// The check of a launch's reviewed script, its track starting at the
// launch's position; no value for a launch without a reviewed script.
// Any thread.
std::optional<mission::MissionCheck> reviewLaunch(const logbook::launchlog::Record &launch,
                                                  const mission::VehicleLimits &limits);

// The chart of the timeline's span.
DayChart buildDayChart(const Timeline &timeline, const mission::VehicleLimits &limits);

// Reads the span's timeline and builds its chart.  No value when the engine
// refused (error) or the read was stopped (error empty).
std::optional<DayChart> readDayChart(logbook::Database &db, const TimeSpan &span, const ClockFormat &clock,
                                     const mission::VehicleLimits &limits, const ReadSteps &steps, QString *error);

} // namespace bravik::ops
