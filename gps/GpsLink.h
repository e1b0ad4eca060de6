#pragma once

#include "GpsFeed.h"

#include <QObject>
#include <QPointer>

class QLabel;
class QWidget;

namespace bravik {

// The GPS feed of one record window (weather observation, mission log).
// Created in the window's load step: it opens the configured GPS source
// at once (the sentence server, gpsd or a serial receiver, taking GLL
// sentences from the configured talkers), places the status label
// `lblGpsStatus` on the window, and fills the window's six position
// controls on request.  It lives and ends with the window.
class GpsLink : public QObject
{
    Q_OBJECT
public:
    using AfterFix = gps::GpsFeed::AfterFix;

    // The weather window empties its buffer after a fix; the mission window
    // keeps it, so pressing again gives the same position.
    GpsLink(QWidget *window, AfterFix after);

    // "Get GPS Data": writes the oldest usable GLL sentence into
    // txtLatitudeInt, txtLatitudeMinutes, cmbNS, txtLongitudeInt,
    // txtLongitudeMinutes and cmbEW through the controls, so the window's
    // row takes them like any edit.  With nothing usable, says so and changes
    // nothing.  Returns whether the fields were filled.
    bool getFix();

    // Ends the connection when the window goes.
    void close();

    // Places the status label; `left`, `top`, `width`, `height` in twips.
    void placeStatus(int left, int top, int width, int height);

    gps::GpsFeed *feed() const { return m_feed; }
    QLabel *statusLabel() const { return m_label; }

    static QString noFixMessage();

private:
    QWidget *m_window;
    AfterFix m_after;
    gps::GpsFeed *m_feed;
    QLabel *m_label;
};

} // namespace bravik
