#pragma once

namespace bravik::mission {

// Registers the template chooser and the six template windows with the
// window manager.
void registerWindows();

} // namespace bravik::mission
