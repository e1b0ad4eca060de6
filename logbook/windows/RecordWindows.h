#pragma once

namespace bravik::logbook {

// Registers the eight record windows with the window manager under their
// class names (frmPredive, frmWeatherObservation, ...).
void registerWindows();

} // namespace bravik::logbook

#include <QStringList>
#include <chrono>

namespace bravik::logbook {

// Quitting: closes every window, giving each store still running up to
// `limit` (events keep being handled meanwhile), and returns what could not
// be stored, one line per row with its table and values (the same lines go
// to standard error).  Messages go to standard error, not to boxes.
QStringList closeAllForQuit(std::chrono::milliseconds limit);

} // namespace bravik::logbook
