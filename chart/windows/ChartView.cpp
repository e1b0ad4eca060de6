#include "ChartView.h"

#include "Coastline.h"
#include "LandOutline.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace bravik::chart {

namespace {

const QColor kWater(206, 226, 240);
const QColor kLand(232, 221, 180);
const QColor kShore(120, 100, 60);
const QColor kGrid(90, 110, 130, 90);
const QColor kTrack(0, 70, 180);
const QColor kWaypoint(0, 140, 60);
const QColor kStart(210, 0, 0);
const QColor kSurfacing(230, 120, 0);

constexpr double kMinMetresPerPixel = 0.5;

// The texts of one paint: each is placed only where it is wholly inside the
// chart and clear of everything placed before it.
class Placement
{
public:
    explicit Placement(const QRectF &bounds) : m_bounds(bounds) {}
    bool fits(const QRectF &r) const
    {
        if (!m_bounds.contains(r))
            return false;
        for (const QRectF &o : m_taken)
            if (o.intersects(r))
                return false;
        return true;
    }
    void take(const QRectF &r) { m_taken.append(r); }

private:
    QRectF m_bounds;
    QList<QRectF> m_taken;
};

QString gridLabel(double value, double stepMinutes, bool latitude)
{
    const QChar hemisphere = latitude ? (value < 0 ? QLatin1Char('S') : QLatin1Char('N'))
                                      : (value < 0 ? QLatin1Char('W') : QLatin1Char('E'));
    const double totalMinutes = std::round(std::abs(value) * 60.0 * 2.0) / 2.0;
    const int degrees = int(totalMinutes / 60.0);
    const double minutes = totalMinutes - degrees * 60.0;
    if (stepMinutes >= 60.0 && minutes == 0.0)
        return QStringLiteral("%1°%2").arg(degrees).arg(hemisphere);
    const QString m = std::fmod(minutes, 1.0) == 0.0 ? QString::number(int(minutes)) : QString::number(minutes, 'f', 1);
    return QStringLiteral("%1°%2'%3").arg(degrees).arg(m).arg(hemisphere);
}

// The longest round length (1, 2 or 5 times a power of ten) within `target`.
double niceMetres(double target)
{
    const double p = std::pow(10.0, std::floor(std::log10(std::max(target, 1e-9))));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= target)
            return m * p;
    return p;
}

QString metresText(double m)
{
    if (m >= 1000.0)
        return QStringLiteral("%1 km").arg(QString::number(m / 1000.0, 'g', 4));
    return QStringLiteral("%1 m").arg(QString::number(m, 'g', 4));
}

} // namespace

ChartView::ChartView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("chart"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Drag or use the arrow keys to move the chart, the wheel or + and - to zoom, "
                              "Home to show the whole track."));
}

ChartView::~ChartView() = default;

void ChartView::setCoastline(Coastline *coastline)
{
    m_coastline = coastline;
    m_shore.reset();
    update();
}

void ChartView::setData(const ChartData &data)
{
    m_data = data;
    if (m_current >= 0) {
        m_current = -1;
        emit currentMarkChanged(-1);
    }
    m_shore.reset();
    m_referenceLon = 0.0;
    if (m_data.geographic) {
        for (const ChartMark &m : m_data.marks) {
            m_referenceLon = m.position.lon;
            break;
        }
        if (m_data.marks.isEmpty())
            for (const ChartTrack &t : m_data.tracks)
                if (!t.points.isEmpty()) {
                    m_referenceLon = t.points.first().lon;
                    break;
                }
    }
    fitToData();
}

double ChartView::worldX(double lon) const
{
    return m_data.geographic ? mercatorX(wrapLongitude(lon, m_referenceLon)) : lon;
}

double ChartView::worldY(double lat) const
{
    return m_data.geographic ? mercatorY(lat) : lat;
}

QPointF ChartView::toScreen(const GeoPoint &p) const
{
    return {width() / 2.0 + (worldX(p.lon) - m_centre.x()) / m_scale,
            height() / 2.0 - (worldY(p.lat) - m_centre.y()) / m_scale};
}

GeoPoint ChartView::fromScreen(const QPointF &s) const
{
    const double wx = m_centre.x() + (s.x() - width() / 2.0) * m_scale;
    const double wy = m_centre.y() - (s.y() - height() / 2.0) * m_scale;
    if (!m_data.geographic)
        return {wy, wx};
    return {latitudeFromMercator(wy), longitudeFromMercator(wx)};
}

GeoPoint ChartView::centre() const
{
    return fromScreen(QPointF(width() / 2.0, height() / 2.0));
}

double ChartView::metresPerPixel() const
{
    if (!m_data.geographic)
        return m_scale;
    return m_scale * std::cos(centre().lat * kPi / 180.0);
}

GeoBox ChartView::visibleArea() const
{
    const GeoPoint nw = fromScreen(QPointF(0, 0)), se = fromScreen(QPointF(width(), height()));
    return GeoBox{se.lat, nw.lat, nw.lon, se.lon};
}

std::optional<Resolution> ChartView::shownResolution() const
{
    if (!m_shore)
        return std::nullopt;
    return m_shore->resolution();
}

void ChartView::setCurrentMark(int id)
{
    const ChartMark *mark = nullptr;
    for (const ChartMark &m : m_data.marks)
        if (id >= 0 && m.id == id)
            mark = &m;
    const int now = mark ? id : -1;
    if (mark && !QRectF(rect()).adjusted(20, 20, -20, -20).contains(toScreen(mark->position))) {
        m_centre = QPointF(worldX(mark->position.lon), worldY(mark->position.lat));
        m_moved = true;
        emit viewChanged();
    }
    update();
    if (now != m_current) {
        m_current = now;
        emit currentMarkChanged(now);
    }
}

int ChartView::markAt(const QPointF &pos) const
{
    constexpr double kReach = 10.0;
    int best = -1;
    double nearest = kReach * kReach;
    for (const ChartMark &m : m_data.marks) {
        if (m.id < 0)
            continue;
        const QPointF d = toScreen(m.position) - pos;
        const double squared = QPointF::dotProduct(d, d);
        if (squared <= nearest) {
            nearest = squared;
            best = m.id;
        }
    }
    return best;
}

std::optional<QPointF> ChartView::markPoint(int id) const
{
    for (const ChartMark &m : m_data.marks)
        if (id >= 0 && m.id == id)
            return toScreen(m.position);
    return std::nullopt;
}

void ChartView::fitToData()
{
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool any = false;
    auto add = [&](const GeoPoint &p) {
        const double x = worldX(p.lon), y = worldY(p.lat);
        if (!std::isfinite(x) || !std::isfinite(y))
            return;
        if (!any) {
            minX = maxX = x;
            minY = maxY = y;
            any = true;
            return;
        }
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    };
    for (const ChartTrack &t : m_data.tracks)
        for (const GeoPoint &p : t.points)
            add(p);
    for (const ChartMark &m : m_data.marks)
        add(m.position);
    m_moved = false;
    if (!any) {
        m_centre = QPointF(0, 0);
        m_scale = 200.0;
    } else {
        // At least 800 m across, with room around the track for its labels.
        const double cosLat = m_data.geographic ? std::cos(latitudeFromMercator((minY + maxY) / 2.0) * kPi / 180.0) : 1.0;
        const double minSpan = 800.0 / std::max(cosLat, 0.05);
        const double spanX = std::max(maxX - minX, minSpan), spanY = std::max(maxY - minY, minSpan);
        m_centre = QPointF((minX + maxX) / 2.0, (minY + maxY) / 2.0);
        const double w = std::max(80, width() - 90), h = std::max(60, height() - 80);
        m_scale = std::max(spanX / w, spanY / h);
    }
    update();
    emit viewChanged();
}

void ChartView::zoomBy(double factor, std::optional<QPointF> around)
{
    if (!(factor > 0.0))
        return;
    const QPointF at = around.value_or(QPointF(width() / 2.0, height() / 2.0));
    const double wx = m_centre.x() + (at.x() - width() / 2.0) * m_scale;
    const double wy = m_centre.y() - (at.y() - height() / 2.0) * m_scale;
    const double cosLat = m_data.geographic ? std::cos(centre().lat * kPi / 180.0) : 1.0;
    const double minScale = kMinMetresPerPixel / std::max(cosLat, 0.05);
    const double maxScale = m_data.geographic ? 2.0 * kPi * kEarthRadius / std::max(width(), 100) : 1e6;
    const double scale = std::clamp(m_scale / factor, minScale, maxScale);
    // Keep the world point under `at` where it is.
    m_centre = QPointF(wx - (at.x() - width() / 2.0) * scale, wy + (at.y() - height() / 2.0) * scale);
    m_scale = scale;
    m_moved = true;
    update();
    emit viewChanged();
}

void ChartView::panByPixels(const QPointF &delta)
{
    m_centre += QPointF(-delta.x() * m_scale, delta.y() * m_scale);
    m_moved = true;
    if (m_data.geographic) {
        const double limit = mercatorY(84.0);
        m_centre.setY(std::clamp(m_centre.y(), -limit, limit));
    }
    update();
    emit viewChanged();
}

void ChartView::ensureShore()
{
    if (!m_data.geographic) {
        m_shore.reset();
        m_shoreText = QStringLiteral("Position unknown: the track is drawn from the start, without a chart");
        return;
    }
    if (!m_coastline) {
        m_shore.reset();
        m_shoreText.clear();
        return;
    }
    GeoBox view = visibleArea();
    view.south = std::max(view.south, -85.0);
    view.north = std::min(view.north, 85.0);
    if (view.east - view.west > 359.0) {
        view.west = m_referenceLon - 179.9;
        view.east = m_referenceLon + 179.9;
    }
    if (!view.isValid())
        return;
    const std::optional<Resolution> r = m_coastline->resolutionFor(std::max(view.north - view.south, view.east - view.west));
    if (!r) {
        m_shore.reset();
        m_shoreText = m_coastline->unavailableText();
        return;
    }
    if (m_shore && m_shore->resolution() == *r && m_shore->box().containsBox(view))
        return;
    // Read a little more than is shown, so a small pan needs no reading.
    GeoBox wanted = view.grown(std::max(view.widthMetres(), view.heightMetres()) * 0.5);
    wanted.south = std::max(wanted.south, -86.0);
    wanted.north = std::min(wanted.north, 86.0);
    QString error;
    m_shore = m_coastline->area(wanted, *r, &error);
    m_shoreText = m_shore ? QStringLiteral("Shoreline: %1").arg(resolutionTitle(*r)) : error;
}

void ChartView::resizeEvent(QResizeEvent *)
{
    // Until the crew moves it, the chart keeps the whole track in view.
    if (!m_moved)
        fitToData();
}

void ChartView::paintEvent(QPaintEvent *)
{
    ensureShore();
    m_placed.clear();
    m_dropped = 0;
    QPainter p(this);
    const QRectF all = rect();
    p.fillRect(all, m_data.geographic ? kWater : QColor(244, 246, 248));

    // Land: along every row of pixels, the stretches of its parallel that
    // lie on land, filled as one shape of outlines (on paper one fill of a
    // few points a row, not a rectangle a row).
    if (m_shore) {
        const GeoBox view = visibleArea();
        const double shift = wrapLongitude(view.west, m_shore->box().centre().lon) - view.west;
        const double step = 1.0 / std::max(1.0, devicePixelRatioF());
        LandOutline land;
        QList<std::pair<double, double>> row;
        for (double y = 0.0; y < height(); y += step) {
            row.clear();
            const double lat = fromScreen(QPointF(0, y + step / 2.0)).lat;
            if (lat >= m_shore->box().south && lat <= m_shore->box().north)
                for (const auto &[from, to] : m_shore->landAlong(lat, view.west + shift, view.east + shift))
                    row.append({width() / 2.0 + (mercatorX(from - shift) - m_centre.x()) / m_scale,
                                width() / 2.0 + (mercatorX(to - shift) - m_centre.x()) / m_scale});
            land.addRow(y, step, row);
        }
        p.fillPath(land.path(), kLand);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kShore, 1.2));
        // Only the pieces of a shore line that come near the chart: the
        // shore is read for more than is shown, and on paper every point
        // drawn outside takes room.
        const QRectF near = all.adjusted(-2, -2, 2, 2);
        auto touches = [&near](const QPointF &a, const QPointF &b) {
            return std::max(a.x(), b.x()) >= near.left() && std::min(a.x(), b.x()) <= near.right()
                && std::max(a.y(), b.y()) >= near.top() && std::min(a.y(), b.y()) <= near.bottom();
        };
        QPolygonF poly, piece;
        for (const QList<GeoPoint> &line : m_shore->lines()) {
            poly.clear();
            poly.reserve(line.size());
            for (const GeoPoint &g : line)
                poly << toScreen(g);
            if (!poly.boundingRect().intersects(all))
                continue;
            piece.clear();
            for (qsizetype i = 0; i + 1 < poly.size(); ++i) {
                if (touches(poly.at(i), poly.at(i + 1))) {
                    if (piece.isEmpty())
                        piece << poly.at(i);
                    piece << poly.at(i + 1);
                } else if (!piece.isEmpty()) {
                    p.drawPolyline(piece);
                    piece.clear();
                }
            }
            if (!piece.isEmpty())
                p.drawPolyline(piece);
        }
    }
    p.setRenderHint(QPainter::Antialiasing);

    const QFontMetricsF fm(font());
    Placement place(all.adjusted(1, 1, -1, -1));
    auto text = [&](const QRectF &r, const QString &t, int flags, const QColor &colour, bool halo) {
        if (halo)
            p.fillRect(r, QColor(255, 255, 255, 190));
        p.setPen(colour);
        p.drawText(r, flags, t);
        place.take(r);
        m_placed.append({r, t});
    };

    // Top: what the shore is (or why there is none) and the note.
    double top = 3.0;
    for (const QString &line : {m_shoreText, m_data.note}) {
        if (line.isEmpty())
            continue;
        const QRectF r = fm.boundingRect(QRectF(4, top, std::max(40.0, all.width() - 40.0), 1000), Qt::TextWordWrap, line)
                             .adjusted(-2, 0, 2, 0);
        if (!place.fits(r)) {
            ++m_dropped;
            continue;
        }
        const bool problem = m_data.geographic && m_coastline && !m_shore && line == m_shoreText;
        text(r, line, Qt::TextWordWrap, problem ? QColor(160, 0, 0) : QColor(40, 40, 40), true);
        top = r.bottom() + 2;
    }
    // North up.
    {
        const QString n = QStringLiteral("N ↑");
        const QRectF r(all.right() - fm.horizontalAdvance(n) - 8, 3, fm.horizontalAdvance(n) + 4, fm.height());
        if (place.fits(r))
            text(r, n, Qt::AlignCenter, Qt::black, true);
    }

    // Scale bar, bottom left.
    {
        const double metres = niceMetres(metresPerPixel() * std::max(40.0, all.width() / 4.0));
        const double px = metres / metresPerPixel();
        const QString label = metresText(metres);
        const QRectF bar(6, all.bottom() - fm.height() - 10, px, 6);
        const QRectF labelRect(bar.right() + 6, bar.center().y() - fm.height() / 2.0, fm.horizontalAdvance(label) + 4, fm.height());
        const QRectF whole = bar.united(labelRect).adjusted(-3, -3, 3, 3);
        if (place.fits(whole)) {
            p.fillRect(whole, QColor(255, 255, 255, 190));
            p.fillRect(QRectF(bar.left(), bar.top(), px / 2, bar.height()), Qt::black);
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(bar);
            p.drawText(labelRect, Qt::AlignVCenter | Qt::AlignLeft, label);
            place.take(whole);
            m_placed.append({labelRect, label});
        }
    }

    // The grid: meridians and parallels at a round number of minutes.
    if (m_data.geographic) {
        const GeoBox view = visibleArea();
        const double pxPerDegreeLon = (kPi / 180.0 * kEarthRadius) / m_scale;
        const double pxPerDegreeLat = pxPerDegreeLon / std::max(0.05, std::cos(centre().lat * kPi / 180.0));
        auto stepFor = [](double pxPerDegree, double wanted) {
            for (double minutes : {0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1200.0, 1800.0, 3600.0})
                if (minutes / 60.0 * pxPerDegree >= wanted)
                    return minutes;
            return 3600.0;
        };
        const double lonStep = stepFor(pxPerDegreeLon, fm.horizontalAdvance(QStringLiteral("000°00'W")) * 1.6);
        const double latStep = stepFor(pxPerDegreeLat, fm.height() * 3.0);
        p.setPen(QPen(kGrid, 1));
        QList<std::pair<double, QString>> lonLabels, latLabels;
        for (double m = std::ceil(view.west * 60.0 / lonStep) * lonStep; m <= view.east * 60.0; m += lonStep) {
            const double x = toScreen({0.0, m / 60.0}).x();
            p.drawLine(QPointF(x, 0), QPointF(x, height()));
            lonLabels.append({x, gridLabel(wrapLongitude(m / 60.0, 0.0), lonStep, false)});
        }
        for (double m = std::ceil(std::max(-85.0, view.south) * 60.0 / latStep) * latStep; m <= std::min(85.0, view.north) * 60.0; m += latStep) {
            const double y = toScreen({m / 60.0, m_referenceLon}).y();
            p.drawLine(QPointF(0, y), QPointF(width(), y));
            latLabels.append({y, gridLabel(m / 60.0, latStep, true)});
        }
        for (const auto &[x, label] : lonLabels) {
            const double w = fm.horizontalAdvance(label) + 4;
            const QRectF r(x - w / 2.0, all.bottom() - fm.height() - 2, w, fm.height());
            if (place.fits(r))
                text(r, label, Qt::AlignCenter, QColor(30, 40, 60), true);
        }
        for (const auto &[y, label] : latLabels) {
            const QRectF r(3, y - fm.height() - 1, fm.horizontalAdvance(label) + 4, fm.height());
            if (place.fits(r))
                text(r, label, Qt::AlignCenter, QColor(30, 40, 60), true);
        }
    }

    // Tracks.
    for (const ChartTrack &t : m_data.tracks) {
        QPolygonF poly;
        for (const GeoPoint &g : t.points)
            poly << toScreen(g);
        p.setPen(QPen(kTrack, 2.2, t.style == ChartTrack::Style::DeadReckoned ? Qt::DashLine : Qt::SolidLine));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(poly);
    }

    // Marks, then their labels where they fit.
    QList<std::pair<QPointF, const ChartMark *>> shown;
    for (const ChartMark &m : m_data.marks) {
        const QPointF c = toScreen(m.position);
        p.setPen(QPen(Qt::black, 1));
        switch (m.kind) {
        case ChartMark::Kind::Start: {
            QPolygonF tri;
            tri << c + QPointF(0, -8) << c + QPointF(7, 6) << c + QPointF(-7, 6);
            p.setBrush(kStart);
            p.drawPolygon(tri);
            break;
        }
        case ChartMark::Kind::Waypoint:
            p.setBrush(kWaypoint);
            p.drawEllipse(c, 5.0, 5.0);
            break;
        case ChartMark::Kind::Surfacing:
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(kSurfacing, 2));
            p.drawEllipse(c, 8.0, 8.0);
            break;
        case ChartMark::Kind::Point:
            p.setBrush(QColor(90, 0, 140));
            p.drawRect(QRectF(c - QPointF(4, 4), QSizeF(8, 8)));
            break;
        }
        if (all.contains(c))
            place.take(QRectF(c - QPointF(6, 6), QSizeF(12, 12)));
        shown.append({c, &m});
    }
    if (const std::optional<QPointF> c = markPoint(m_current)) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255), 5));
        p.drawEllipse(*c, 11.0, 11.0);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2.5));
        p.drawEllipse(*c, 11.0, 11.0);
    }
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    const QFontMetricsF bm(bold);
    for (const auto &[c, m] : shown) {
        if (m->label.isEmpty() || !all.contains(c))
            continue;
        const double w = bm.horizontalAdvance(m->label) + 6, h = bm.height();
        const QList<QPointF> corners{c + QPointF(8, -h - 2), c + QPointF(8, 2), c + QPointF(-w - 8, -h - 2),
                                     c + QPointF(-w - 8, 2), c + QPointF(-w / 2, -h - 10), c + QPointF(-w / 2, 10),
                                     c + QPointF(14, -h / 2), c + QPointF(-w - 14, -h / 2)};
        bool placed = false;
        for (const QPointF &at : corners) {
            const QRectF r(at, QSizeF(w, h));
            if (place.fits(r)) {
                text(r, m->label, Qt::AlignCenter,
                     m->kind == ChartMark::Kind::Start ? kStart : (m->kind == ChartMark::Kind::Waypoint ? QColor(0, 90, 40) : Qt::black),
                     true);
                placed = true;
                break;
            }
        }
        if (!placed)
            ++m_dropped;
    }
    p.setFont(font());

    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(all.adjusted(1, 1, -1, -1));
    } else {
        p.setPen(QPen(QColor(120, 120, 120), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(all.adjusted(0, 0, -1, -1));
    }
}

void ChartView::wheelEvent(QWheelEvent *e)
{
    const double steps = e->angleDelta().y() / 120.0;
    if (steps != 0.0)
        zoomBy(std::pow(1.25, steps), e->position());
    e->accept();
}

void ChartView::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton) {
        const int mark = markAt(e->position());
        if (mark >= 0)
            setCurrentMark(mark);
        m_dragFrom = e->position();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(e);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent *e)
{
    const int mark = e->button() == Qt::LeftButton ? markAt(e->position()) : -1;
    if (mark < 0) {
        QWidget::mouseDoubleClickEvent(e);
        return;
    }
    setCurrentMark(mark);
    emit markActivated(mark);
    e->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent *e)
{
    if (m_dragFrom) {
        panByPixels(e->position() - *m_dragFrom);
        m_dragFrom = e->position();
    }
}

void ChartView::mouseReleaseEvent(QMouseEvent *e)
{
    m_dragFrom.reset();
    unsetCursor();
    QWidget::mouseReleaseEvent(e);
}

void ChartView::keyPressEvent(QKeyEvent *e)
{
    const double dx = width() / 4.0, dy = height() / 4.0;
    switch (e->key()) {
    case Qt::Key_Left: panByPixels(QPointF(dx, 0)); break;
    case Qt::Key_Right: panByPixels(QPointF(-dx, 0)); break;
    case Qt::Key_Up: panByPixels(QPointF(0, dy)); break;
    case Qt::Key_Down: panByPixels(QPointF(0, -dy)); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomBy(1.5); break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: zoomBy(1.0 / 1.5); break;
    case Qt::Key_Home:
    case Qt::Key_0: fitToData(); break;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        // The pickable marks in their ids' order, round from the last.
        QList<int> ids;
        for (const ChartMark &m : m_data.marks)
            if (m.id >= 0)
                ids << m.id;
        if (ids.isEmpty())
            break;
        std::sort(ids.begin(), ids.end());
        const qsizetype at = ids.indexOf(m_current);
        const qsizetype step = e->key() == Qt::Key_PageDown ? 1 : -1;
        const qsizetype next = at < 0 ? (step > 0 ? 0 : ids.size() - 1) : (at + step + ids.size()) % ids.size();
        setCurrentMark(ids.at(next));
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_current < 0) {
            QWidget::keyPressEvent(e);
            return;
        }
        emit markActivated(m_current);
        break;
    default: QWidget::keyPressEvent(e); return;
    }
    e->accept();
}

} // namespace bravik::chart
