#pragma once

// The two small pictures of the review window, drawn from the checks:
// depth against time, and the track in plan view with the start marked.

#include "MissionCheck.h"

#include <QWidget>

namespace bravik::launch {

class DepthProfileView : public QWidget
{
    Q_OBJECT
public:
    explicit DepthProfileView(QWidget *parent = nullptr);
    void setCheck(const mission::MissionCheck &check);
    QSize sizeHint() const override { return {360, 170}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    mission::MissionCheck m_check;
};

class TrackView : public QWidget
{
    Q_OBJECT
public:
    explicit TrackView(QWidget *parent = nullptr);
    void setCheck(const mission::MissionCheck &check);
    QSize sizeHint() const override { return {360, 220}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    mission::MissionCheck m_check;
};

} // namespace bravik::launch
