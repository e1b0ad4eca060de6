#pragma once

// The land of a chart, given a row of pixels at a time as the stretches
// that lie on land, gathered into outlines: a stretch that overlaps just
// one of the row above, and that one only it, goes on that outline, so a
// coast is one staircase of points where a rectangle a row took five, and
// an edge that stays put (the chart's own) takes two points in all.  The
// outlines cover the same area exactly as the rows.

#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <utility>

namespace bravik::chart {

class LandOutline
{
public:
    // The row from `y` down `height`; `stretches` west to east, apart.
    // Rows come top to bottom, each just below the one before.
    void addRow(double y, double height, const QList<std::pair<double, double>> &stretches);
    // The outlines so far, to be filled (winding rule).
    QPainterPath path();

private:
    struct Run
    {
        QPolygonF left, right; // top to bottom
        double x1, x2;         // of the last row
    };
    static void edgeTo(QPolygonF &edge, double x, double y, double height);
    void close(const Run &r);

    QList<Run> m_open;
    QPainterPath m_path;
};

} // namespace bravik::chart
