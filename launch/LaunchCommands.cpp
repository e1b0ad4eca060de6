#include "LaunchCommands.h"

#include "LaunchSession.h"
#include "Seams.h"
#include "Settings.h"

#include <QDir>

namespace bravik::launch {

namespace {

StartOutcome start(const QString &what, const QString &program, const QStringList &arguments,
                   const QString &statusFile)
{
    StartOutcome outcome;
    outcome.command = commandText(program, arguments);
    if (program.trimmed().isEmpty()) {
        outcome.reason = QStringLiteral("no program is set for it in the settings");
        outcome.message = QStringLiteral("The %1 could not be started: no program is set for it in the settings.")
                              .arg(what);
        return outcome;
    }
    QString error;
    const bool started = statusFile.isEmpty()
                             ? commandRunner().start(program, arguments, &error)
                             : commandRunner().startRecorded(program, arguments, statusFile, &outcome.recording, &error);
    if (started) {
        outcome.started = true;
        return outcome;
    }
    if (error.isEmpty())
        error = QStringLiteral("unknown error");
    outcome.reason = error;
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

StartOutcome startRunCommand(const QString &missionPath, const QString &statusFile)
{
    const Settings &s = settings();
    return start(QStringLiteral("mission run command"), s.runProgram, s.runArguments + QStringList{missionPath},
                 statusFile);
}

QString runCommandLine(const QString &missionPath)
{
    const Settings &s = settings();
    return commandText(s.runProgram, s.runArguments + QStringList{missionPath});
}

StartOutcome startStopCommand(const QString &statusFile)
{
    const Settings &s = settings();
    return start(QStringLiteral("supervisor stop command"), s.stopProgram, s.stopArguments, statusFile);
}

QString changedAfterReviewMessage()
{
    return QStringLiteral("The mission file changed after it was reviewed. Select it again to review the new text.");
}

QString findingLine(const mission::Finding &f)
{
    const QString where = f.line > 0 ? QStringLiteral("line %1").arg(f.line) : QStringLiteral("file");
    return QStringLiteral("%1: %2: %3").arg(where, mission::severityName(f.severity), f.text);
}

QString limitRefusal(const QList<mission::Finding> &findings)
{
    QStringList lines{QStringLiteral("The mission goes beyond the vehicle's configured limits and is not started:")};
    for (const mission::Finding &f : findings)
        lines << findingLine(f);
    return lines.join(QLatin1Char('\n'));
}

QString editsNotice()
{
    return QStringLiteral("Edits here are not saved; the file runs as it was read.");
}

} // namespace bravik::launch
