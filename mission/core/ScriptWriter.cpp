#include "ScriptWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace bravik::mission {

void ScriptWriter::line(const QString &text)
{
    m_bytes += text.toUtf8();
    m_bytes += "\r\n";
}

void ScriptWriter::line(const char *text)
{
    m_bytes += text;
    m_bytes += "\r\n";
}

void ScriptWriter::setting(const char *label, V value)
{
    line(QString::fromLatin1(label) + value.render() + QLatin1Char(';'));
}

void ScriptWriter::blankLine()
{
    m_bytes += "\r\n";
}

void ScriptWriter::fail(const QString &why)
{
    if (m_error.isEmpty())
        m_error = why;
}

void ScriptWriter::printGetgps(V minHits, V timeOut, V abortOnTimeout)
{
    line("# acquire gps fix");
    line("behavior getgps {");
    setting("duration = ", timeOut);
    setting("minHits = ", minHits);
    setting("abortOnTimeout = ", abortOnTimeout);
    line("}");
    blankLine();
}

void ScriptWriter::printSetpoint(V missionDepth, V missionHeading, V missionDuration, V missionSpeed)
{
    line("# setpoint behavior");
    line("behavior setpoint {");
    setting("duration     = ", missionDuration);
    setting("heading      = ", missionHeading);
    line("verticalMode = depth;");
    setting("depth        = ", missionDepth);
    setting("speed        = ", missionSpeed);
    line("}");
    blankLine();
}

void ScriptWriter::printMissionTimer(V timeOut)
{
    line("# mission timer set to 120% of estimated time of mission");
    line("behavior missionTimer {");
    setting("timeOut = ", timeOut);
    line("}");
    blankLine();
}

void ScriptWriter::printDepthEnvelope(V missionDepth, V minAltitude)
{
    const std::optional<double> depth = missionDepth.number();
    const std::optional<double> altitude = minAltitude.number();
    if (!depth)
        fail(QStringLiteral("The depth \"%1\" is not a number.").arg(missionDepth.render()));
    if (!altitude)
        fail(QStringLiteral("The minimum altitude \"%1\" is not a number.").arg(minAltitude.render()));

    line("# depth envelope set to commanded + 5 m, abort at commanded + 10");
    line("behavior depthEnvelope {");
    line("minDepth = 0;");
    setting("maxDepth     = ", ScriptValue(depth.value_or(0.0) + 5.0));
    setting("abortDepth   = ", ScriptValue(depth.value_or(0.0) + 10.0));
    setting(" minAltitude  = ", minAltitude);
    setting(" abortAltitude  = ", ScriptValue(altitude.value_or(0.0) - 5.0));
    line("}");
    blankLine();
}

void ScriptWriter::printLaunchSequence(V launchHeading)
{
    line("# Descend behavior to 5 meters");
    line("behavior descend {");
    line("horizontalMode   = heading;");
    setting("horizontal      = ", launchHeading);
    line("pitch        = -15;");
    line("speed        = 1.5;");
    line("maxDepth     = 5;");
    line("duration     = 60;");
    line("}");
    blankLine();
    line("# setpoint on surface to gather momentum");
    line("behavior setpoint {");
    line("duration     = 30;");
    setting("heading      = ", launchHeading);
    line("speed        = 1.5;");
    line("verticalMode = pitch;");
    line("pitch        = 0;");
    line("}");
    blankLine();
}

void ScriptWriter::printAscend(V ascendMode, V horizontal, V pitch, V Speed, V ascendTime)
{
    line("# ascend behavior");
    line("behavior ascend {");
    setting("duration  = ", ascendTime);
    setting("horizontalMode   = ", ascendMode);
    setting("horizontal       = ", horizontal);
    setting("pitch            = ", pitch);
    setting("speed            = ", Speed);
    line("endDepth         = 2;");
    line("}");
    blankLine();
}

void ScriptWriter::printWaypoint(V missionLat, V missionLon, V missionDepth, V missionDuration, V missionSpeed)
{
    line("# waypoint behavior");
    line("behavior waypoint {");
    setting("latitude     = ", missionLat);
    setting("longitude     = ", missionLon);
    line("captureRadius = 10;");
    setting("duration     = ", missionDuration);
    setting("depth        = ", missionDepth);
    setting("speed        = ", missionSpeed);
    line("}");
    // No empty line: the next block's comment follows at once.
}

void ScriptWriter::printYoYo(V minDepth, V maxDepth, V minAltitude, V duration, V maxCycles)
{
    line("# Depth control via yoyo behavior");
    line("behavior yoyo {");
    setting("duration       = ", duration);
    setting("minDepth       = ", minDepth);
    setting("maxDepth       = ", maxDepth);
    setting("minAltitude    = ", minAltitude);
    setting("maxCycles      = ", maxCycles);
    line("}");
    blankLine();
}

void ScriptWriter::printSetpointNoDepth(V missionHeading, V missionDuration, V missionSpeed)
{
    line("# setpoint behavior");
    line("behavior setpoint {");
    setting("duration     = ", missionDuration);
    setting("heading      = ", missionHeading);
    setting("speed        = ", missionSpeed);
    line("}");
    blankLine();
}

bool ScriptWriter::save(const QString &path, QString *error) const
{
    auto failed = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("The mission file %1 could not be written: %2")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    if (!ok())
        return failed(m_error);
    if (path.isEmpty())
        return failed(QStringLiteral("no file name was given"));
    if (QFileInfo(path).isDir())
        return failed(QStringLiteral("it is a folder"));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    if (file.write(m_bytes) != m_bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failed(reason);
    }
    if (!file.commit())
        return failed(file.errorString());
    return true;
}

} // namespace bravik::mission
