#pragma once

#include <QString>

namespace bravik::launch {

// The message when "Run Mission" is pressed with no reviewer named.
QString notCheckedMessage();

// What stands in the way of a run, or empty when it may go ahead.  Only an
// exactly empty reviewer is refused (a blank or a name outside the roster
// passes); then an empty mission file name, which would start the run
// script without a mission.
QString runRefusal(const QString &reviewer, const QString &missionPath);

struct StartOutcome
{
    bool started = false;
    QString message;   // names the command and the reason when not started
};

// Starts the configured run command with its fixed arguments and the
// mission path appended as one whole argument.  No shell, no waiting.
StartOutcome startRunCommand(const QString &missionPath);

// Starts the configured supervisor stop command.  No shell, no waiting.
StartOutcome startStopCommand();

} // namespace bravik::launch
