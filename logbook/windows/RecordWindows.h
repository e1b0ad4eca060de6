#pragma once

namespace bravik::logbook {

// Registers the eight record windows with the window manager under their
// class names (frmPredive, frmWeatherObservation, ...).
void registerWindows();

} // namespace bravik::logbook

namespace bravik::logbook {

// Quitting: closes every window.  The stores their rows need are the
// logbook service's jobs from then on; LogbookService::shutdownAll() gives
// them a few seconds and keeps what is left for the next start.  From now
// on the windows' messages go to standard error, not to boxes.
void closeAllForQuit();

} // namespace bravik::logbook
