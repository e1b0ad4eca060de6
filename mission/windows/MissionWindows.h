#pragma once

namespace bravik::mission {

// Registers the template chooser and the transit, deck test and waypoint
// template windows with the window manager.
void registerWindows();

} // namespace bravik::mission
