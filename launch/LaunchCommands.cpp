#include "LaunchCommands.h"

#include "Seams.h"
#include "Settings.h"

#include <QDir>

namespace bravik::launch {

namespace {

StartOutcome start(const QString &what, const QString &program, const QStringList &arguments)
{
    StartOutcome outcome;
    if (program.trimmed().isEmpty()) {
        outcome.message = QStringLiteral("The %1 could not be started: no program is set for it in the settings.")
                              .arg(what);
        return outcome;
    }
    QString error;
    if (commandRunner().start(program, arguments, &error)) {
        outcome.started = true;
        return outcome;
    }
    if (error.isEmpty())
        error = QStringLiteral("unknown error");
    outcome.message = QStringLiteral("The %1 %2 could not be started: %3.")
                          .arg(what, QDir::toNativeSeparators(program), error);
    return outcome;
}

} // namespace

QString notCheckedMessage()
{
    return QStringLiteral("Mission script not checked.");
}

QString runRefusal(const QString &reviewer, const QString &missionPath)
{
    if (reviewer.isEmpty())
        return notCheckedMessage();
    if (missionPath.isEmpty())
        return QStringLiteral("No mission file name is given; the mission cannot be run.");
    return {};
}

StartOutcome startRunCommand(const QString &missionPath)
{
    const Settings &s = settings();
    return start(QStringLiteral("mission run command"), s.runProgram, s.runArguments + QStringList{missionPath});
}

StartOutcome startStopCommand()
{
    const Settings &s = settings();
    return start(QStringLiteral("supervisor stop command"), s.stopProgram, s.stopArguments);
}

} // namespace bravik::launch
