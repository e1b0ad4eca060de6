#pragma once

// The one open mission script and the nine behaviour writers that append
// its blocks.  The script grows in memory; save() then replaces the target
// file in one step, so a failed write never leaves a truncated or half-old
// script behind.
//
// Every line ends in CR LF.  Every block is followed by one empty line,
// except the waypoint block.  Parameters are in the writers' fixed order,
// which is not the order of the lines.

#include "ScriptValue.h"

#include <QByteArray>
#include <QString>

namespace bravik::mission {

class ScriptWriter
{
public:
    using V = const ScriptValue &;

    void printGetgps(V minHits, V timeOut, V abortOnTimeout);
    void printSetpoint(V missionDepth, V missionHeading, V missionDuration, V missionSpeed);
    void printMissionTimer(V timeOut);
    // Writes missionDepth + 5, missionDepth + 10 and minAltitude - 5 as
    // floating-point numbers; a text argument is read as a number first.
    // A text that is not a number puts the script in error (see ok()).
    void printDepthEnvelope(V missionDepth, V minAltitude);
    void printLaunchSequence(V launchHeading);
    void printAscend(V ascendMode, V horizontal, V pitch, V Speed, V ascendTime);
    void printWaypoint(V missionLat, V missionLon, V missionDepth, V missionDuration, V missionSpeed);
    void printYoYo(V minDepth, V maxDepth, V minAltitude, V duration, V maxCycles);
    void printSetpointNoDepth(V missionHeading, V missionDuration, V missionSpeed);

    // The script's bytes: UTF-8 text (plain ASCII for the fixed texts).
    const QByteArray &bytes() const { return m_bytes; }
    QString text() const { return QString::fromUtf8(m_bytes); }

    // False once a writer met a value it could not use; error() says why,
    // and save() then refuses to write anything.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Writes the script to `path`: a temporary file beside it, flushed,
    // then renamed over it.  On failure returns false with a message that
    // names the path and the system's reason; an old file stays as it was.
    bool save(const QString &path, QString *error) const;

private:
    void line(const QString &text);
    void line(const char *text);
    void setting(const char *label, V value);
    void blankLine();
    void fail(const QString &why);

    QByteArray m_bytes;
    QString m_error;
};

} // namespace bravik::mission
