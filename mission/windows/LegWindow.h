#pragma once

// The save step of the two leg-entry wizards.

#include <QString>

class QWidget;

namespace bravik::mission {

struct TemplateBuild;

// Asks for the file name and writes the script.  Returns true when it was
// written and the window has been closed.  When the build stopped, the
// dialog was cancelled or the file could not be written, the window stays
// open with every leg kept, and one message says so and how to go on:
// `retry` names the button that asks for the file name again.
bool saveLegScript(QWidget *window, const TemplateBuild &build, const QString &dialogName, const QString &retry);

} // namespace bravik::mission
