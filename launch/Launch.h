#pragma once

#include <QString>

class QWidget;

namespace bravik::launch {

// Registers frmMissionDisplay and frmAbortMission with the window manager.
void registerWindows();

// "Select Mission" after the file dialog: when the review window is open it
// only comes to the front (it keeps the file it read).  Otherwise the file is
// read; a file that cannot be shown gives a message naming it and the reason
// and no review window (returns false); a readable one opens the review
// window with its text.  `parent` owns any message box.
bool reviewMission(const QString &path, QWidget *parent = nullptr);

} // namespace bravik::launch
