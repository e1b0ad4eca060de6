#pragma once

// The battery packs' chart: the minimum (dashed) and maximum (solid)
// voltage of each charge over time, one colour per pack, with a legend.
// Drawn with a plain QPainter, so the window and the report (on any paint
// device, on any thread) draw the same picture.

#include "BatteryPacks.h"

#include <QFont>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace bravik::ops {

void drawPackChart(QPainter &painter, const QRectF &area, const QList<Pack> &packs, const QFont &font);

class PackChartView : public QWidget
{
    Q_OBJECT
public:
    explicit PackChartView(QWidget *parent = nullptr);
    void setPacks(const QList<Pack> &packs);
    const QList<Pack> &packs() const { return m_packs; }
    QSize sizeHint() const override { return {520, 240}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QList<Pack> m_packs;
};

} // namespace bravik::ops
