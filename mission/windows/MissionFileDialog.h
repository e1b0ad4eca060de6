#pragma once

// The save dialog every template uses to name its script, and the save
// that follows it.  The dialog goes through the shell's file-dialog seam.

#include "Seams.h"

#include <QString>

class QWidget;

namespace bravik::mission {

class ScriptWriter;

// The request for a template's save dialog: title "Save Mission File As",
// filter "*.cfg", default suffix "cfg", starting in the missions folder of
// the settings.  `dialogName` is the window's dialog control, e.g.
// "cdlTransitMission".
FileDialogRequest missionSaveRequest(const QString &dialogName);

// A chosen name without any extension gets ".cfg"; other names stay.
QString withMissionSuffix(const QString &path);

// Creates the missions folder when it is missing, shows the save dialog
// and returns the chosen path with its suffix, or an empty string when the
// user cancelled.
QString chooseMissionSavePath(QWidget *parent, const QString &dialogName);

enum class SaveOutcome { Saved, Cancelled, Failed };

// The last step of every template build: asks for the file name, then
// saves.  Cancelled: nothing is written.  Failed: the path and the system's
// reason are shown in a message box and any old file is left as it was.
SaveOutcome saveMissionScript(QWidget *parent, const QString &dialogName, const ScriptWriter &script);

} // namespace bravik::mission
