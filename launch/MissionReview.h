#pragma once

#include "MissionFile.h"
#include "EarlierRun.h"

#include <QString>
#include <functional>
#include <optional>

namespace bravik::launch {

// The path last chosen with "Select Mission", kept as the mission window's
// dialog keeps it; the review window reads it when it loads.
void setChosenMission(const QString &path);
QString chosenMission();

// The text already read for `path` by reviewMission, handed over once so the
// review window's load does not read the file a second time.
std::optional<MissionText> takePreparedText(const QString &path);

// Where the review window asks for the reviewed text of the last run of a
// file with the same name as the one it shows.  The provider reads off the
// caller's thread and answers on it, later or at once, once: found, not
// run before, or not available (the logbook did not answer).  Unset, the
// window shows no changes.  registerWindows() installs the launch
// records' (logbookEarlierReviews()).
using EarlierReviewAnswer = std::function<void(const EarlierRun &)>;
using EarlierReviewProvider = std::function<void(const QString &missionPath, const EarlierReviewAnswer &answer)>;
void setEarlierReviewProvider(EarlierReviewProvider provider);
const EarlierReviewProvider &earlierReviewProvider();
// The launch records of the logbook the settings name, read as a job of
// the logbook service.
EarlierReviewProvider logbookEarlierReviews();

} // namespace bravik::launch
