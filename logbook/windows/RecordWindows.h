#pragma once

namespace bravik::logbook {

// Registers the eight record windows with the window manager under their
// class names (frmPredive, frmWeatherObservation, ...).
void registerWindows();

} // namespace bravik::logbook
