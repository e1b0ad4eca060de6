#include "LandOutline.h"

namespace bravik::chart {

void LandOutline::addRow(double y, double height, const QList<std::pair<double, double>> &stretches)
{
    // Which runs of the row above each stretch overlaps, and how many.
    QList<int> overlaps(m_open.size(), 0), overlapped(stretches.size(), 0), partner(stretches.size(), -1);
    for (qsizetype s = 0; s < stretches.size(); ++s)
        for (qsizetype r = 0; r < m_open.size(); ++r)
            if (m_open[r].x1 < stretches[s].second && stretches[s].first < m_open[r].x2) {
                ++overlaps[r];
                ++overlapped[s];
                partner[s] = int(r);
            }
    QList<Run> next;
    QList<bool> kept(m_open.size(), false);
    for (qsizetype s = 0; s < stretches.size(); ++s) {
        const auto [x1, x2] = stretches[s];
        const int r = partner[s];
        if (overlapped[s] == 1 && overlaps[r] == 1) {
            Run run = m_open[r];
            kept[r] = true;
            edgeTo(run.left, x1, y, height);
            edgeTo(run.right, x2, y, height);
            run.x1 = x1;
            run.x2 = x2;
            next << run;
        } else {
            next << Run{{QPointF(x1, y), QPointF(x1, y + height)}, {QPointF(x2, y), QPointF(x2, y + height)}, x1, x2};
        }
    }
    for (qsizetype r = 0; r < m_open.size(); ++r)
        if (!kept[r])
            close(m_open[r]);
    m_open = next;
}

QPainterPath LandOutline::path()
{
    for (const Run &r : std::as_const(m_open))
        close(r);
    m_open.clear();
    QPainterPath out = m_path;
    out.setFillRule(Qt::WindingFill);
    return out;
}

// Down an edge to the next row: across to `x`, then down its height;
// straight down where the edge stays put.
void LandOutline::edgeTo(QPolygonF &edge, double x, double y, double height)
{
    if (edge.last().x() == x) {
        edge.last().setY(y + height);
        return;
    }
    edge << QPointF(x, y) << QPointF(x, y + height);
}

void LandOutline::close(const Run &r)
{
    QPolygonF outline = r.left;
    for (qsizetype i = r.right.size() - 1; i >= 0; --i)
        outline << r.right.at(i);
    m_path.addPolygon(outline);
    m_path.closeSubpath();
}

} // namespace bravik::chart
