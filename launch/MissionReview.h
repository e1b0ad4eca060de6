#pragma once

#include "MissionFile.h"

#include <QString>
#include <optional>

namespace bravik::launch {

// The path last chosen with "Select Mission", kept as the mission window's
// dialog keeps it; the review window reads it when it loads.
void setChosenMission(const QString &path);
QString chosenMission();

// The text already read for `path` by reviewMission, handed over once so the
// review window's load does not read the file a second time.
std::optional<MissionText> takePreparedText(const QString &path);

} // namespace bravik::launch
