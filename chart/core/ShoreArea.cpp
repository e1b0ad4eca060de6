#include "ShoreArea.h"

#include <algorithm>
#include <limits>

namespace bravik::chart {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Distance from (px, py) to the segment (ax, ay)-(bx, by); `t` the fraction
// along the segment of the closest point.
double pointSegment(double px, double py, double ax, double ay, double bx, double by, double *t)
{
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double f = len2 > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
    f = std::clamp(f, 0.0, 1.0);
    if (t)
        *t = f;
    return std::hypot(px - (ax + f * dx), py - (ay + f * dy));
}

// The fraction along p1-p2 where it meets q1-q2, when it does.
std::optional<double> intersection(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y, double q2x,
                                   double q2y)
{
    const double rx = p2x - p1x, ry = p2y - p1y, sx = q2x - q1x, sy = q2y - q1y;
    const double denom = rx * sy - ry * sx;
    if (denom == 0.0)
        return std::nullopt;
    const double qpx = q1x - p1x, qpy = q1y - p1y;
    const double t = (qpx * sy - qpy * sx) / denom;
    const double u = (qpx * ry - qpy * rx) / denom;
    // Half-open on the shore edge, so a leg through a shared vertex counts once.
    if (t < 0.0 || t > 1.0 || u < 0.0 || u >= 1.0)
        return std::nullopt;
    return t;
}

} // namespace

char resolutionLetter(Resolution r)
{
    switch (r) {
    case Resolution::Crude: return 'c';
    case Resolution::Low: return 'l';
    case Resolution::Intermediate: return 'i';
    case Resolution::High: return 'h';
    case Resolution::Full: return 'f';
    }
    return 'c';
}

QString resolutionName(Resolution r)
{
    switch (r) {
    case Resolution::Crude: return QStringLiteral("crude");
    case Resolution::Low: return QStringLiteral("low");
    case Resolution::Intermediate: return QStringLiteral("intermediate");
    case Resolution::High: return QStringLiteral("high");
    case Resolution::Full: return QStringLiteral("full");
    }
    return {};
}

QString resolutionTitle(Resolution r)
{
    return QStringLiteral("GSHHG %1 resolution").arg(resolutionName(r));
}

ShoreArea::ShoreArea(const GeoBox &box, Resolution resolution, QList<QList<GeoPoint>> lines, const GeoPoint &reference,
                     bool referenceOnLand)
    : m_box(box), m_resolution(resolution), m_lines(std::move(lines)), m_reference(box.local(reference)),
      m_referenceOnLand(referenceOnLand)
{
    for (const QList<GeoPoint> &line : std::as_const(m_lines)) {
        m_pointCount += int(line.size());
        for (qsizetype i = 1; i < line.size(); ++i)
            m_edges.append({line[i - 1].lon, line[i - 1].lat, line[i].lon, line[i].lat});
    }
    m_bands = std::clamp(int(m_edges.size() / 16), 1, 512);
    m_byBand.resize(m_bands);
    const double span = std::max(1e-12, m_box.north - m_box.south);
    auto band = [&](double lat) { return std::clamp(int((lat - m_box.south) / span * m_bands), 0, m_bands - 1); };
    for (int i = 0; i < m_edges.size(); ++i) {
        const Edge &e = m_edges[i];
        const int b1 = band(std::min(e.y1, e.y2)), b2 = band(std::max(e.y1, e.y2));
        for (int b = b1; b <= b2; ++b)
            m_byBand[b].append(i);
        // Crossing the reference meridian: half-open in longitude.
        const double x = m_reference.lon;
        if ((e.x1 <= x && x < e.x2) || (e.x2 <= x && x < e.x1)) {
            const double y = e.y1 + (x - e.x1) / (e.x2 - e.x1) * (e.y2 - e.y1);
            m_meridianCrossings.append(y);
        }
    }
    std::sort(m_meridianCrossings.begin(), m_meridianCrossings.end());
}

bool ShoreArea::sideAtReferenceMeridian(double lat) const
{
    const double lo = std::min(lat, m_reference.lat), hi = std::max(lat, m_reference.lat);
    const auto first = std::upper_bound(m_meridianCrossings.cbegin(), m_meridianCrossings.cend(), lo);
    const auto last = std::lower_bound(m_meridianCrossings.cbegin(), m_meridianCrossings.cend(), hi);
    const qsizetype n = std::max<qsizetype>(0, last - first);
    return m_referenceOnLand != (n % 2 == 1);
}

QList<std::pair<double, double>> ShoreArea::landAlong(double lat, double west, double east) const
{
    QList<std::pair<double, double>> out;
    if (!(east > west))
        return out;
    QList<double> xs;
    const double span = std::max(1e-12, m_box.north - m_box.south);
    const int b = std::clamp(int((lat - m_box.south) / span * m_bands), 0, m_bands - 1);
    if (lat >= m_box.south && lat <= m_box.north) {
        for (int i : m_byBand[b]) {
            const Edge &e = m_edges[i];
            if ((e.y1 <= lat && lat < e.y2) || (e.y2 <= lat && lat < e.y1))
                xs.append(e.x1 + (lat - e.y1) / (e.y2 - e.y1) * (e.x2 - e.x1));
        }
    }
    std::sort(xs.begin(), xs.end());
    // The side at the reference meridian, then one change at every crossing.
    const bool atReference = sideAtReferenceMeridian(lat);
    const qsizetype k = std::lower_bound(xs.cbegin(), xs.cend(), m_reference.lon) - xs.cbegin();
    // Interval j runs from xs[j-1] to xs[j] (j = 0: from -inf; j = n: to +inf);
    // the reference lies in interval k.
    for (qsizetype j = 0; j <= xs.size(); ++j) {
        const bool land = atReference != (std::abs(j - k) % 2 == 1);
        if (!land)
            continue;
        const double from = std::max(west, j == 0 ? -kInfinity : xs[j - 1]);
        const double to = std::min(east, j == xs.size() ? kInfinity : xs[j]);
        if (to > from)
            out.append({from, to});
    }
    return out;
}

bool ShoreArea::onLand(const GeoPoint &p) const
{
    const GeoPoint q = m_box.local(p);
    for (const auto &[from, to] : landAlong(q.lat, q.lon - 1e-9, q.lon + 1e-9))
        if (from <= q.lon && q.lon <= to)
            return true;
    return false;
}

double ShoreArea::distanceToShore(const GeoPoint &p, GeoPoint *nearest) const
{
    const GeoPoint q = m_box.local(p);
    const LocalFrame f(q);
    double best = kInfinity;
    for (const Edge &e : m_edges) {
        double t = 0.0;
        const double d = pointSegment(0.0, 0.0, f.x(e.x1), f.y(e.y1), f.x(e.x2), f.y(e.y2), &t);
        if (d < best) {
            best = d;
            if (nearest)
                *nearest = {e.y1 + t * (e.y2 - e.y1), e.x1 + t * (e.x2 - e.x1)};
        }
    }
    return best;
}

QList<double> ShoreArea::crossings(const GeoPoint &a, const GeoPoint &b) const
{
    const GeoPoint pa = m_box.local(a);
    GeoPoint pb = m_box.local(b);
    pb.lon = wrapLongitude(pb.lon, pa.lon);
    const LocalFrame f(pa);
    const double bx = f.x(pb.lon), by = f.y(pb.lat);
    const double minLon = std::min(pa.lon, pb.lon), maxLon = std::max(pa.lon, pb.lon);
    const double minLat = std::min(pa.lat, pb.lat), maxLat = std::max(pa.lat, pb.lat);
    QList<double> ts;
    for (const Edge &e : m_edges) {
        if (std::max(e.x1, e.x2) < minLon || std::min(e.x1, e.x2) > maxLon || std::max(e.y1, e.y2) < minLat
            || std::min(e.y1, e.y2) > maxLat)
            continue;
        if (const std::optional<double> t = intersection(0.0, 0.0, bx, by, f.x(e.x1), f.y(e.y1), f.x(e.x2), f.y(e.y2)))
            ts.append(*t);
    }
    std::sort(ts.begin(), ts.end());
    return ts;
}

double ShoreArea::closestApproach(const GeoPoint &a, const GeoPoint &b, GeoPoint *where) const
{
    const GeoPoint pa = m_box.local(a);
    GeoPoint pb = m_box.local(b);
    pb.lon = wrapLongitude(pb.lon, pa.lon);
    const LocalFrame f(pa);
    const double bx = f.x(pb.lon), by = f.y(pb.lat);
    double best = kInfinity, bestT = 0.0;
    for (const Edge &e : m_edges) {
        const double ex1 = f.x(e.x1), ey1 = f.y(e.y1), ex2 = f.x(e.x2), ey2 = f.y(e.y2);
        if (const std::optional<double> t = intersection(0.0, 0.0, bx, by, ex1, ey1, ex2, ey2)) {
            if (best > 0.0 || *t < bestT) {
                best = 0.0;
                bestT = *t;
            }
            continue;
        }
        // Apart: the closest pair has an end of one of the two segments.
        double t = 0.0;
        double d = pointSegment(ex1, ey1, 0.0, 0.0, bx, by, &t);
        double dt = t;
        double u = 0.0;
        const double d2 = pointSegment(ex2, ey2, 0.0, 0.0, bx, by, &u);
        if (d2 < d) {
            d = d2;
            dt = u;
        }
        const double d3 = pointSegment(0.0, 0.0, ex1, ey1, ex2, ey2, nullptr);
        if (d3 < d) {
            d = d3;
            dt = 0.0;
        }
        const double d4 = pointSegment(bx, by, ex1, ey1, ex2, ey2, nullptr);
        if (d4 < d) {
            d = d4;
            dt = 1.0;
        }
        if (d < best) {
            best = d;
            bestT = dt;
        }
    }
    if (where && std::isfinite(best))
        *where = f.geo(bestT * bx, bestT * by);
    return best;
}

} // namespace bravik::chart
