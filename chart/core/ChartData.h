#pragma once

// What a chart shows besides land and water, as plain data: tracks and
// marked positions.  The review window fills it from a mission's checks; a
// window of a day's logbook entries can fill it from their positions.

#include "Geo.h"

#include <QList>
#include <QString>

namespace bravik::chart {

struct ChartTrack
{
    enum class Style { Planned, DeadReckoned };
    Style style = Style::Planned;
    QList<GeoPoint> points;
};

struct ChartMark
{
    enum class Kind { Start, Waypoint, Surfacing, Point };
    Kind kind = Kind::Point;
    GeoPoint position;
    QString label;    // drawn beside the mark ("3", "start")
    QString toolTip;
    // What the mark stands for, to whoever filled the chart: a mark with an
    // id can be picked (a click, Page Up/Down) and opened (Enter, a
    // double-click); -1 cannot.
    int id = -1;
};

struct ChartData
{
    // False when nothing is known of where the points are: they are then
    // metres east (lon) and north (lat) of a start, drawn without a chart.
    bool geographic = true;
    QList<ChartTrack> tracks;
    QList<ChartMark> marks;
    // A line the chart shows at its top ("start: position unknown").
    QString note;

    bool isEmpty() const { return tracks.isEmpty() && marks.isEmpty(); }
};

} // namespace bravik::chart
