#pragma once

// The depth picture of the review window, drawn from the checks: depth
// against time with the depth envelope, the vehicle's configured maximum
// depth and the bottom when the mission log gives the water depth.  Every
// text is placed wholly inside the picture and clear of the others.

#include "MissionCheck.h"

#include <QRectF>
#include <QWidget>

namespace bravik::launch {

class DepthProfileView : public QWidget
{
    Q_OBJECT
public:
    explicit DepthProfileView(QWidget *parent = nullptr);
    void setCheck(const mission::MissionCheck &check);
    QSize sizeHint() const override { return {360, 170}; }

    struct PlacedText
    {
        QRectF rect;
        QString text;
    };
    // The texts the last paint placed.
    const QList<PlacedText> &placedTexts() const { return m_placed; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    mission::MissionCheck m_check;
    QList<PlacedText> m_placed;
};

} // namespace bravik::launch
