#include "PackChart.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <limits>

namespace bravik::ops {

namespace {

const QList<QColor> kColours{QColor(0, 90, 200), QColor(200, 80, 0), QColor(0, 140, 70), QColor(150, 0, 160),
                             QColor(170, 130, 0), QColor(0, 140, 160), QColor(190, 0, 60), QColor(90, 90, 90)};

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

void drawPackChart(QPainter &p, const QRectF &area, const QList<Pack> &packs, const QFont &font)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font);
    p.fillRect(area, Qt::white);
    p.setPen(QColor(160, 160, 160));
    p.drawRect(area.adjusted(0, 0, -1, -1));
    const QFontMetricsF fm(font, p.device());
    const double line = fm.height();

    double lowV = 1e300, highV = -1e300;
    qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
    for (const Pack &pack : packs)
        for (const PackCharge &c : pack.charges) {
            for (const auto &v : {c.minVolts, c.maxVolts})
                if (v) {
                    lowV = std::min(lowV, *v);
                    highV = std::max(highV, *v);
                    first = std::min(first, c.when.toSecsSinceEpoch());
                    last = std::max(last, c.when.toSecsSinceEpoch());
                }
        }
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::black);
    const QRectF titleRect(area.left() + line * 0.5, area.top() + line * 0.2, area.width() - line, line);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Minimum and maximum voltage of each charge"));
    p.setFont(font);
    if (lowV > highV) {
        p.drawText(area, Qt::AlignCenter, QStringLiteral("No voltages to draw"));
        p.restore();
        return;
    }
    if (highV - lowV < 0.5) {
        lowV -= 0.25;
        highV += 0.25;
    }
    // A little room around the points, so none sits on the frame.
    const double margin = (highV - lowV) * 0.08;
    const double vStep = niceStep(highV - lowV + 2 * margin, 5);
    lowV = std::floor((lowV - margin) / vStep) * vStep;
    highV = std::ceil((highV + margin) / vStep) * vStep;
    if (last == first) {
        first -= 43200;
        last += 43200;
    }
    const qint64 room = std::max<qint64>(1800, (last - first) / 30);
    first -= room;
    last += room;

    // The legend: one entry per pack, as many rows as it takes.
    double x = area.left() + line * 0.5, y = titleRect.bottom() + line * 0.2;
    const double sample = line * 1.6;
    for (int i = 0; i < packs.size(); ++i) {
        const QString text = packs.at(i).serial;
        const double w = sample + line * 0.3 + fm.horizontalAdvance(text) + line;
        if (x + w > area.right() - line * 0.5 && x > area.left() + line) {
            x = area.left() + line * 0.5;
            y += line * 1.1;
        }
        const QColor colour = kColours.at(i % kColours.size());
        p.setPen(QPen(colour, std::max(1.0, line / 8.0)));
        p.drawLine(QPointF(x, y + line / 2.0), QPointF(x + sample, y + line / 2.0));
        p.setPen(Qt::black);
        p.drawText(QRectF(x + sample + line * 0.3, y, w, line), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += w;
    }
    const QString key = QStringLiteral("solid: maximum, dashed: minimum");
    const double keyWidth = fm.horizontalAdvance(key) + line;
    if (x + keyWidth > area.right()) {
        x = area.left() + line * 0.5;
        y += line * 1.1;
    }
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRectF(x, y, keyWidth, line), Qt::AlignLeft | Qt::AlignVCenter, key);
    y += line * 1.3;

    auto voltsLabel = [vStep](double v) { return QString::number(v, 'f', vStep < 0.1 ? 2 : vStep < 1 ? 1 : 0) + QStringLiteral(" V"); };
    double labelWidth = 0;
    for (double v = lowV; v <= highV + vStep / 2; v += vStep)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(voltsLabel(v)));
    const QRectF plot(area.left() + labelWidth + line, y + line * 0.3, area.width() - labelWidth - line * 2.2,
                      area.bottom() - y - line * 2.2);
    if (plot.width() < 20 || plot.height() < 20) {
        p.restore();
        return;
    }
    auto px = [&](qint64 t) { return plot.left() + double(t - first) / double(last - first) * plot.width(); };
    auto py = [&](double v) { return plot.bottom() - (v - lowV) / (highV - lowV) * plot.height(); };

    p.setPen(QColor(220, 220, 220));
    for (double v = lowV; v <= highV + vStep / 2; v += vStep) {
        p.setPen(QColor(220, 220, 220));
        p.drawLine(QPointF(plot.left(), py(v)), QPointF(plot.right(), py(v)));
        p.setPen(Qt::black);
        p.drawText(QRectF(area.left(), py(v) - line / 2, labelWidth + line * 0.6, line), Qt::AlignRight | Qt::AlignVCenter,
                   voltsLabel(v));
    }
    // Days along the bottom, as many as fit.
    const double days = double(last - first) / 86400.0;
    const QString sampleDate = QStringLiteral("2026-12-08");
    const int fit = std::max(1, int(plot.width() / (fm.horizontalAdvance(sampleDate) + line)));
    const double dayStep = std::max(1.0, niceStep(days, fit));
    const qint64 firstDay = (first / 86400 + 1) * 86400;
    double lastRight = -1e300;
    for (qint64 t = firstDay; t <= last; t += qint64(dayStep) * 86400) {
        p.setPen(QColor(220, 220, 220));
        p.drawLine(QPointF(px(t), plot.top()), QPointF(px(t), plot.bottom()));
        const QString label = QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd"));
        const double w = fm.horizontalAdvance(label);
        const double left = std::clamp(px(t) - w / 2, area.left() + 2, area.right() - w - 2);
        if (left <= lastRight + line * 0.5)
            continue;
        p.setPen(Qt::black);
        p.drawText(QRectF(left, plot.bottom() + line * 0.2, w, line), Qt::AlignCenter, label);
        lastRight = left + w;
    }
    p.setPen(QColor(120, 120, 120));
    p.drawRect(plot);

    p.setClipRect(plot.adjusted(-line / 2, -line / 2, line / 2, line / 2));
    const double width = std::max(1.0, line / 9.0);
    for (int i = 0; i < packs.size(); ++i) {
        const QColor colour = kColours.at(i % kColours.size());
        for (const bool maximum : {true, false}) {
            QPainterPath path;
            QPolygonF points;
            for (const PackCharge &c : packs.at(i).charges) {
                const std::optional<double> v = maximum ? c.maxVolts : c.minVolts;
                if (!v)
                    continue;
                const QPointF at(px(c.when.toSecsSinceEpoch()), py(*v));
                points.isEmpty() ? path.moveTo(at) : path.lineTo(at);
                points << at;
            }
            // A dot at each charge: points with a round pen as wide as the
            // dot (a few bytes each on paper, where a drawn circle takes
            // hundreds and a year of charges made megabytes).
            p.setPen(QPen(colour, width * 3.2, Qt::SolidLine, Qt::RoundCap));
            p.drawPoints(points);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(colour, width, maximum ? Qt::SolidLine : Qt::DashLine));
            p.drawPath(path);
        }
    }
    p.restore();
}

PackChartView::PackChartView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picPackChart"));
    setMinimumSize(300, 160);
}

void PackChartView::setPacks(const QList<Pack> &packs)
{
    m_packs = packs;
    update();
}

void PackChartView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    drawPackChart(p, rect(), m_packs, font());
}

} // namespace bravik::ops
