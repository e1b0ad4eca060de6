#pragma once

// A north-up Mercator chart: land and water from the installed GSHHG
// shorelines, a latitude/longitude grid with labels, a scale bar, and the
// tracks and marks of a ChartData.  Pan by dragging or with the arrow keys,
// zoom with the wheel or + and -, Home fits the data again.  Every text is
// placed where it neither overlaps another nor is cut by the edge; a label
// that finds no such place is left out.  Marks with an id can be picked:
// a click or Page Up/Down makes one current (ringed), a double-click or
// Enter opens it (markActivated).

#include "ChartData.h"
#include "ShoreArea.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <memory>
#include <optional>

namespace bravik::chart {

class Coastline;

class ChartView : public QWidget
{
    Q_OBJECT
public:
    explicit ChartView(QWidget *parent = nullptr);
    ~ChartView() override;

    // The shore to draw; null draws water only.
    void setCoastline(Coastline *coastline);
    // Shows the data and fits the view to it.
    void setData(const ChartData &data);
    const ChartData &data() const { return m_data; }

    void fitToData();
    void zoomBy(double factor, std::optional<QPointF> around = std::nullopt);
    void panByPixels(const QPointF &delta);

    GeoPoint centre() const;
    double metresPerPixel() const; // true metres at the centre
    GeoBox visibleArea() const;

    // What the chart says of its shore: "Shoreline: GSHHG full resolution",
    // the missing-data line, or a reader's failure.
    QString shoreText() const { return m_shoreText; }
    std::optional<Resolution> shownResolution() const;

    struct PlacedText
    {
        QRectF rect;
        QString text;
    };
    // The texts the last paint placed, in widget coordinates.
    const QList<PlacedText> &placedTexts() const { return m_placed; }
    // Labels the last paint had to leave out for want of room.
    int droppedLabels() const { return m_dropped; }

    // The current mark's id, -1 for none.
    int currentMark() const { return m_current; }
    // Makes the mark with that id current (-1: none) and brings it into view.
    void setCurrentMark(int id);
    // The id of the pickable mark drawn nearest `pos` within a few pixels, or -1.
    int markAt(const QPointF &pos) const;
    // Where the mark with that id is drawn, in widget coordinates.
    std::optional<QPointF> markPoint(int id) const;

    QSize sizeHint() const override { return {420, 300}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

signals:
    void viewChanged();
    void currentMarkChanged(int id);
    void markActivated(int id);

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void wheelEvent(QWheelEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *) override;

private:
    QPointF toScreen(const GeoPoint &p) const;
    GeoPoint fromScreen(const QPointF &s) const;
    double worldX(double lon) const;
    double worldY(double lat) const;
    void ensureShore();

    Coastline *m_coastline = nullptr;
    ChartData m_data;
    // The view: the centre in world metres (Mercator, or plain metres when
    // the data is not geographic) and world metres per pixel.
    QPointF m_centre;
    double m_scale = 100.0;
    double m_referenceLon = 0.0; // longitudes drawn continuous around it
    bool m_moved = false; // moved or zoomed since the last fit

    std::shared_ptr<const ShoreArea> m_shore;
    QString m_shoreText;
    QList<PlacedText> m_placed;
    int m_dropped = 0;
    std::optional<QPointF> m_dragFrom;
    int m_current = -1;
};

} // namespace bravik::chart
