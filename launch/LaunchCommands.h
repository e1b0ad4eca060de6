#pragma once

#include "MissionScript.h"

#include <QList>
#include <QString>

namespace bravik::launch {

// The message when "Run Mission" is pressed with no reviewer named.
QString notCheckedMessage();

// What stands in the way of a run, or empty when it may go ahead.  Only an
// exactly empty reviewer is refused (a blank or a name outside the roster
// passes); then an empty mission file name, which would start the run
// script without a mission.
QString runRefusal(const QString &reviewer, const QString &missionPath);

// "Run Mission" refused: the reviewed file's bytes changed since the review.
QString changedAfterReviewMessage();
// "Run Mission" refused: findings that break configured vehicle limits.
QString limitRefusal(const QList<mission::Finding> &findings);
// The line under the script box once its text differs from the file.
QString editsNotice();
// One finding as a line: "line 12: error: ..." ("file:" for line 0).
QString findingLine(const mission::Finding &f);

struct StartOutcome
{
    bool started = false;
    bool recording = false;  // output and exit status will reach the status file
    QString command;   // program and arguments as started
    QString reason;    // the system's reason when not started
    QString message;   // names the command and the reason when not started
};

// Starts the configured run command with its fixed arguments and the
// mission path appended as one whole argument.  No shell, no waiting.  With
// a status file, through the output recorder.
StartOutcome startRunCommand(const QString &missionPath, const QString &statusFile = {});

// The run command line startRunCommand() starts for that mission.
QString runCommandLine(const QString &missionPath);

// Starts the configured supervisor stop command.  No shell, no waiting.
StartOutcome startStopCommand(const QString &statusFile = {});

} // namespace bravik::launch
