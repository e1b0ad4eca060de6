#pragma once

// What a template's "Build Mission" produces before the file is named:
// either the finished script (still in memory) or the message that stops
// the build, with the box it is about.  Windows and the command-line
// builder both run these builds, so every rule lives here once.

#include "ScriptWriter.h"

#include <QString>

namespace bravik::mission {

// The empty-box messages that several templates share.
namespace emptyBox {
inline const QString heading = QStringLiteral("Please enter heading.");
inline const QString duration = QStringLiteral("Please enter duration.");
inline const QString depth = QStringLiteral("Please enter depth.");
inline const QString speed = QStringLiteral("Please enter speed.");
inline const QString latitude = QStringLiteral("Please enter latitude component.");
inline const QString longitude = QStringLiteral("Please enter longitude component.");
} // namespace emptyBox

struct TemplateBuild
{
    QString message;     // non-empty: the build stops and shows this
    QString box;         // object name of the box the message is about
    ScriptWriter script; // the whole script when message is empty

    bool ok() const { return message.isEmpty(); }
};

// The checks of a build, run in the template's order.  The first failure
// is kept and every later check does nothing, so a build reads as a plain
// list of steps and reports only the first problem.
class BuildChecks
{
public:
    bool failed() const { return !m_message.isEmpty(); }
    QString message() const { return m_message; }
    QString box() const { return m_box; }

    // Stops with `message` when the text is exactly empty (blanks pass).
    void required(const QString &box, const QString &text, const QString &message);

    // Stops when a text that is copied into the script holds a line break:
    // it would split its line and could forge lines of its own.
    // `what` names the box in the message ("heading").
    void singleLine(const QString &box, const QString &text, const QString &what);

    // Reads the text strictly; stops (returning 0) when it is not a number.
    // `unit` ends the message's advice ("seconds", "meters").
    double number(const QString &box, const QString &text, const QString &what, const QString &unit);

    // Rounds a derived value halves-to-even into a signed 16-bit whole
    // number; stops when it does not fit.  `derived` names the value
    // ("a mission timer"), `text` is the box text it came from.
    int whole16(const QString &box, const QString &text, const QString &what,
                const QString &derived, double value);

    // Stops when a derived floating-point value is not finite (a number
    // typed too large for the arithmetic).
    double finite(const QString &box, const QString &what, double value);

    // Copies the failure into `build`; returns true when there was one.
    bool stopped(TemplateBuild &build) const;

private:
    void stop(const QString &box, const QString &message);

    QString m_message;
    QString m_box;
};

} // namespace bravik::mission
