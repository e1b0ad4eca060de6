#include "MissionPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace bravik::launch {

namespace {

// A round step for axis ticks: 1, 2 or 5 times a power of ten.
double niceStep(double span, int ticks)
{
    if (!(span > 0.0))
        return 1.0;
    const double raw = span / std::max(1, ticks);
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * p)
            return m * p;
    return 10.0 * p;
}

void frame(QPainter &p, const QRect &r, const QString &title)
{
    p.fillRect(r, QColor(250, 250, 250));
    p.setPen(QColor(120, 120, 120));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    QFont f = p.font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(r.adjusted(6, 2, -6, 0), Qt::AlignLeft | Qt::AlignTop, title);
    f.setBold(false);
    p.setFont(f);
}

} // namespace

DepthProfileView::DepthProfileView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picDepthProfile"));
    setMinimumSize(240, 140);
}

void DepthProfileView::setCheck(const mission::MissionCheck &check)
{
    m_check = check;
    update();
}

void DepthProfileView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect all = rect();
    frame(p, all, QStringLiteral("Depth against time"));
    const QFontMetrics fm(p.font());
    const QRect plot = all.adjusted(fm.horizontalAdvance(QStringLiteral("0000 m")) + 10, fm.height() + 8, -10,
                                    -(fm.height() + 8));
    if (plot.width() < 20 || plot.height() < 20)
        return;

    double maxT = std::max(1.0, m_check.totalTime);
    if (m_check.missionTimer && *m_check.missionTimer > 0)
        maxT = std::max(maxT, *m_check.missionTimer);
    double maxD = std::max(1.0, m_check.deepest);
    if (m_check.envelopeAbortDepth)
        maxD = std::max(maxD, *m_check.envelopeAbortDepth);
    else if (m_check.envelopeMaxDepth)
        maxD = std::max(maxD, *m_check.envelopeMaxDepth);
    maxD *= 1.05;
    auto x = [&](double t) { return plot.left() + t / maxT * plot.width(); };
    auto y = [&](double d) { return plot.top() + std::max(0.0, d) / maxD * plot.height(); };

    // Axes and ticks.
    p.setPen(QColor(200, 200, 200));
    const double dStep = niceStep(maxD, 4);
    for (double d = 0; d <= maxD; d += dStep) {
        p.drawLine(QPointF(plot.left(), y(d)), QPointF(plot.right(), y(d)));
        p.setPen(Qt::black);
        p.drawText(QRectF(all.left(), y(d) - fm.height() / 2.0, plot.left() - all.left() - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 m").arg(d));
        p.setPen(QColor(200, 200, 200));
    }
    const double tStep = niceStep(maxT / 60.0, 5) * 60.0;
    for (double t = 0; t <= maxT; t += tStep) {
        p.drawLine(QPointF(x(t), plot.top()), QPointF(x(t), plot.bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(x(t) - 40, plot.bottom() + 2, 80, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("%1 min").arg(t / 60.0));
        p.setPen(QColor(200, 200, 200));
    }

    // The envelope: where the vehicle must stay, and where it aborts.
    if (m_check.envelopeMaxDepth) {
        p.setPen(QPen(QColor(230, 140, 0), 1.5, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), y(*m_check.envelopeMaxDepth)), QPointF(plot.right(), y(*m_check.envelopeMaxDepth)));
    }
    if (m_check.envelopeAbortDepth) {
        p.setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), y(*m_check.envelopeAbortDepth)), QPointF(plot.right(), y(*m_check.envelopeAbortDepth)));
    }
    if (m_check.missionTimer && *m_check.missionTimer > 0) {
        p.setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DotLine));
        p.drawLine(QPointF(x(*m_check.missionTimer), plot.top()), QPointF(x(*m_check.missionTimer), plot.bottom()));
    }

    // The profile.
    QPainterPath path;
    path.moveTo(x(0), y(0));
    for (const mission::ProfileStep &s : m_check.profile) {
        if (s.band) {
            p.fillRect(QRectF(QPointF(x(s.start), y(s.bandMin)), QPointF(x(s.start + s.duration), y(s.bandMax))),
                       QColor(0, 90, 200, 70));
            path.lineTo(x(s.start), y(s.fromDepth));
            // A few yoyo cycles drawn across the band.
            const int cycles = 6;
            for (int c = 0; c < cycles; ++c) {
                const double t0 = s.start + s.duration * c / cycles;
                path.lineTo(x(t0 + s.duration / cycles / 2), y(s.bandMax));
                path.lineTo(x(t0 + s.duration / cycles), y(s.bandMin));
            }
            continue;
        }
        path.lineTo(x(s.start), y(s.fromDepth));
        path.lineTo(x(s.start + s.ramp), y(s.toDepth));
        path.lineTo(x(s.start + s.duration), y(s.toDepth));
    }
    p.setPen(QPen(QColor(0, 70, 180), 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

TrackView::TrackView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picTrack"));
    setMinimumSize(240, 160);
}

void TrackView::setCheck(const mission::MissionCheck &check)
{
    m_check = check;
    update();
}

void TrackView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect all = rect();
    frame(p, all, QStringLiteral("Track (north up)"));
    const QFontMetrics fm(p.font());
    const QRectF plot = QRectF(all).adjusted(12, fm.height() + 10, -12, -(fm.height() + 8));
    if (plot.width() < 20 || plot.height() < 20 || m_check.track.isEmpty())
        return;

    double minE = 0, maxE = 0, minN = 0, maxN = 0;
    for (const mission::TrackPoint &t : m_check.track) {
        minE = std::min(minE, t.east);
        maxE = std::max(maxE, t.east);
        minN = std::min(minN, t.north);
        maxN = std::max(maxN, t.north);
    }
    const double span = std::max({maxE - minE, maxN - minN, 10.0});
    const double scale = std::min(plot.width() / std::max(maxE - minE, span * 0.2),
                                  plot.height() / std::max(maxN - minN, span * 0.2)) * 0.92;
    const QPointF centre((minE + maxE) / 2, (minN + maxN) / 2);
    auto at = [&](double e, double n) {
        return QPointF(plot.center().x() + (e - centre.x()) * scale, plot.center().y() - (n - centre.y()) * scale);
    };

    // Scale bar.
    const double bar = niceStep(plot.width() / scale / 3, 1);
    const QPointF b0(plot.left(), plot.bottom() + fm.height() / 2.0 + 2);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(b0, b0 + QPointF(bar * scale, 0));
    p.drawText(QRectF(b0.x() + bar * scale + 6, b0.y() - fm.height() / 2.0, 120, fm.height()), Qt::AlignVCenter,
               mission::distanceText(bar));

    QPainterPath path;
    path.moveTo(at(m_check.track.first().east, m_check.track.first().north));
    for (qsizetype i = 1; i < m_check.track.size(); ++i)
        path.lineTo(at(m_check.track.at(i).east, m_check.track.at(i).north));
    p.setPen(QPen(QColor(0, 70, 180), 2.0));
    p.drawPath(path);

    p.setPen(Qt::black);
    for (const mission::TrackPoint &t : m_check.track) {
        if (!t.waypoint)
            continue;
        const QPointF c = at(t.east, t.north);
        p.setBrush(QColor(0, 140, 60));
        p.drawEllipse(c, 4.5, 4.5);
        p.drawText(c + QPointF(6, -4), QString::number(t.leg));
    }
    // The start: a red triangle.
    const QPointF s = at(m_check.track.first().east, m_check.track.first().north);
    QPolygonF tri;
    tri << s + QPointF(0, -8) << s + QPointF(7, 6) << s + QPointF(-7, 6);
    p.setBrush(QColor(210, 0, 0));
    p.drawPolygon(tri);
    p.drawText(s + QPointF(9, 12), m_check.startKnown ? QStringLiteral("start") : QStringLiteral("start (position unknown)"));
}

} // namespace bravik::launch
