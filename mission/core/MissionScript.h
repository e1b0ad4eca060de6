#pragma once

// Reading a mission script back: the behaviour blocks in file order, each
// with its kind, its settings exactly as written and their line numbers.
// Lines may end in CR LF, CR or LF (or not at all on the last line).
// Nothing is dropped: an unknown block or setting is kept and reported, and
// a malformed file gives findings with line numbers.  The reader is linear
// in the size of its input and never fails, whatever bytes it is given.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace bravik::mission {

enum class Severity { Error, Warning };

// One thing the reader or the checks found.  `line` counts from 1; 0 is
// about the whole file.  `limit` marks a finding that breaks a configured
// vehicle limit.
struct Finding
{
    Severity severity = Severity::Error;
    int line = 0;
    QString text;
    bool limit = false;

    bool isError() const { return severity == Severity::Error; }
};

QString severityName(Severity s); // "error", "warning"

// One setting line: "duration     = 300;" gives name "duration", value "300".
struct ScriptSetting
{
    QString name;
    QString value;       // between "=" (and the blanks after it) and ";"
    int line = 0;
    bool terminated = true; // the line ended in ";"
};

struct ScriptBlock
{
    QString kind;              // the name after "behavior"
    bool known = false;        // one of the kinds the templates write
    QString comment;           // the comment line before the header, as written
    int commentLine = 0;       // 0: none
    int headerLine = 0;
    int closeLine = 0;         // 0: the block is not closed
    QList<ScriptSetting> settings;
    // The lines the block spans, counted from 1: its comment line (if any)
    // to its closing line, and the one empty line after it (if there is one).
    int firstLine = 0;
    int lastLine = 0;
    // The behaviour writer that writes exactly these lines (for the launch
    // sequence: this block and the next together).  False for a block
    // edited by hand into another shape.
    bool standard = false;

    const ScriptSetting *setting(const QString &name) const;
    // The value of a setting, when the block has it.
    std::optional<QString> value(const QString &name) const;
};

struct MissionScriptModel
{
    enum class LineEnds { None, CrLf, Lf, Cr, Mixed };

    QStringList lines;          // every line, without its end mark
    QList<ScriptBlock> blocks;  // in file order
    QList<Finding> findings;    // what reading found, in line order
    LineEnds lineEnds = LineEnds::None;
    bool finalLineEnd = true;   // the last line had an end mark (true when empty)
};

// The kinds of block the templates write.
bool isKnownBlockKind(const QString &kind);
// The settings a known kind has (empty for an unknown kind).
QStringList knownSettings(const QString &kind);

// Reads a script from its bytes (UTF-8, or Latin-1 when it is not UTF-8).
MissionScriptModel readMissionScript(const QByteArray &bytes);

// Writes the model back: every block that a behaviour writer writes goes
// through that writer, every other line as it stands; every line ends in
// CR LF.  A script that the templates wrote comes back byte for byte.
QByteArray writeMissionScript(const MissionScriptModel &model);

} // namespace bravik::mission
