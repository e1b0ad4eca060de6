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

} // namespace

DepthProfileView::DepthProfileView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picDepthProfile"));
    setMinimumSize(240, 110);
}

void DepthProfileView::setCheck(const mission::MissionCheck &check)
{
    m_check = check;
    update();
}

void DepthProfileView::paintEvent(QPaintEvent *)
{
    m_placed.clear();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all = QRectF(rect()).adjusted(0, 0, -1, -1);
    p.fillRect(all, QColor(250, 250, 250));
    p.setPen(QColor(120, 120, 120));
    p.drawRect(all);
    const QFontMetricsF fm(font());
    QList<QRectF> taken;
    // A text goes where it is wholly inside the picture and clear of the
    // others, or nowhere.
    auto place = [&](const QRectF &r, const QString &t, int flags, const QColor &colour) {
        if (!all.adjusted(1, 1, -1, -1).contains(r))
            return false;
        for (const QRectF &o : std::as_const(taken))
            if (o.intersects(r))
                return false;
        p.setPen(colour);
        p.drawText(r, flags, t);
        taken.append(r);
        m_placed.append({r, t});
        return true;
    };
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    const QString title = QStringLiteral("Depth against time");
    place(QRectF(6, 2, QFontMetricsF(bold).horizontalAdvance(title) + 2, fm.height()), title, Qt::AlignLeft, Qt::black);
    p.setFont(font());

    double maxT = std::max(1.0, m_check.totalTime);
    if (m_check.missionTimer && *m_check.missionTimer > 0)
        maxT = std::max(maxT, *m_check.missionTimer);
    double maxD = std::max(1.0, m_check.deepest);
    for (const std::optional<double> &d : {m_check.envelopeAbortDepth, m_check.envelopeMaxDepth, m_check.vehicleMaxDepth, m_check.waterDepth})
        if (d && std::isfinite(*d))
            maxD = std::max(maxD, *d);
    maxD *= 1.05;

    const double tStep = niceStep(maxT / 60.0, 5) * 60.0;
    const double dStep = niceStep(maxD, 4);
    auto timeLabel = [](double t) { return QStringLiteral("%1 min").arg(t / 60.0); };
    auto depthLabel = [](double d) { return QStringLiteral("%1 m").arg(d); };
    double depthWidth = 0.0;
    for (double d = 0; d <= maxD; d += dStep)
        depthWidth = std::max(depthWidth, fm.horizontalAdvance(depthLabel(d)));
    // Room on the right for half of the last time label.
    double lastTime = 0.0;
    for (double t = 0; t <= maxT; t += tStep)
        lastTime = t;
    const double rightRoom = fm.horizontalAdvance(timeLabel(lastTime)) / 2.0 + 6.0;
    const QRectF plot = all.adjusted(depthWidth + 12, fm.height() + 8, -std::max(10.0, rightRoom), -(fm.height() + 8));
    if (plot.width() < 20 || plot.height() < 20)
        return;
    auto x = [&](double t) { return plot.left() + t / maxT * plot.width(); };
    auto y = [&](double d) { return plot.top() + std::max(0.0, d) / maxD * plot.height(); };

    for (double d = 0; d <= maxD; d += dStep) {
        p.setPen(QColor(200, 200, 200));
        p.drawLine(QPointF(plot.left(), y(d)), QPointF(plot.right(), y(d)));
        place(QRectF(all.left() + 4, y(d) - fm.height() / 2.0, plot.left() - all.left() - 8, fm.height()), depthLabel(d),
              Qt::AlignRight | Qt::AlignVCenter, Qt::black);
    }
    for (double t = 0; t <= maxT; t += tStep) {
        p.setPen(QColor(200, 200, 200));
        p.drawLine(QPointF(x(t), plot.top()), QPointF(x(t), plot.bottom()));
        const QString label = timeLabel(t);
        const double w = fm.horizontalAdvance(label) + 4;
        place(QRectF(x(t) - w / 2.0, plot.bottom() + 3, w, fm.height()), label, Qt::AlignCenter, Qt::black);
    }

    // Lines across: where the vehicle must stay, where it aborts, what the
    // vehicle may do, where the bottom is.
    struct Across
    {
        std::optional<double> depth;
        QColor colour;
        Qt::PenStyle style;
        QString label;
    };
    const QList<Across> across{
        {m_check.envelopeMaxDepth, QColor(230, 140, 0), Qt::DashLine, QStringLiteral("envelope")},
        {m_check.envelopeAbortDepth, QColor(200, 0, 0), Qt::DashLine, QStringLiteral("abort")},
        {m_check.vehicleMaxDepth, QColor(120, 0, 160), Qt::SolidLine, QStringLiteral("vehicle maximum")},
        {m_check.waterDepth, QColor(120, 80, 30), Qt::SolidLine, QStringLiteral("bottom")},
    };
    for (const Across &a : across) {
        if (!a.depth || !std::isfinite(*a.depth))
            continue;
        p.setPen(QPen(a.colour, a.style == Qt::SolidLine ? 2.0 : 1.5, a.style));
        p.drawLine(QPointF(plot.left(), y(*a.depth)), QPointF(plot.right(), y(*a.depth)));
        const double w = fm.horizontalAdvance(a.label) + 4;
        for (const double left : {plot.right() - w - 2, plot.center().x() - w / 2.0, plot.left() + 2}) {
            if (place(QRectF(left, y(*a.depth) - fm.height() - 1, w, fm.height()), a.label, Qt::AlignCenter, a.colour)
                || place(QRectF(left, y(*a.depth) + 1, w, fm.height()), a.label, Qt::AlignCenter, a.colour))
                break;
        }
    }
    if (m_check.missionTimer && *m_check.missionTimer > 0) {
        p.setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DotLine));
        p.drawLine(QPointF(x(*m_check.missionTimer), plot.top()), QPointF(x(*m_check.missionTimer), plot.bottom()));
    }

    // The profile; a yoyo follows its turns and the ascent starts where the
    // yoyo is when its time ends.
    QPainterPath path;
    path.moveTo(x(0), y(0));
    for (const mission::ProfileStep &s : m_check.profile) {
        if (s.band) {
            p.fillRect(QRectF(QPointF(x(s.start), y(s.bandMin)), QPointF(x(s.start + s.duration), y(s.bandMax))),
                       QColor(0, 90, 200, 50));
            path.lineTo(x(s.start), y(s.fromDepth));
            for (const auto &[t, d] : s.turns)
                path.lineTo(x(s.start + t), y(d));
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

} // namespace bravik::launch
