#include "MissionScript.h"

#include "NumberRules.h"
#include "ScriptWriter.h"

#include <QHash>
#include <QStringDecoder>

namespace bravik::mission {

namespace {

struct KindInfo
{
    const char *kind;
    QStringList settings;
};

const QList<KindInfo> &kinds()
{
    static const QList<KindInfo> k = {
        {"missionTimer", {QStringLiteral("timeOut")}},
        {"depthEnvelope",
         {QStringLiteral("minDepth"), QStringLiteral("maxDepth"), QStringLiteral("abortDepth"),
          QStringLiteral("minAltitude"), QStringLiteral("abortAltitude")}},
        {"getgps", {QStringLiteral("duration"), QStringLiteral("minHits"), QStringLiteral("abortOnTimeout")}},
        {"setpoint",
         {QStringLiteral("duration"), QStringLiteral("heading"), QStringLiteral("verticalMode"),
          QStringLiteral("depth"), QStringLiteral("speed"), QStringLiteral("pitch")}},
        {"descend",
         {QStringLiteral("horizontalMode"), QStringLiteral("horizontal"), QStringLiteral("pitch"),
          QStringLiteral("speed"), QStringLiteral("maxDepth"), QStringLiteral("duration")}},
        {"ascend",
         {QStringLiteral("duration"), QStringLiteral("horizontalMode"), QStringLiteral("horizontal"),
          QStringLiteral("pitch"), QStringLiteral("speed"), QStringLiteral("endDepth")}},
        {"waypoint",
         {QStringLiteral("latitude"), QStringLiteral("longitude"), QStringLiteral("captureRadius"),
          QStringLiteral("duration"), QStringLiteral("depth"), QStringLiteral("speed")}},
        {"yoyo",
         {QStringLiteral("duration"), QStringLiteral("minDepth"), QStringLiteral("maxDepth"),
          QStringLiteral("minAltitude"), QStringLiteral("maxCycles")}},
    };
    return k;
}

QString decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(view);
}

QString shortened(const QString &line)
{
    QString s = line.trimmed();
    if (s.size() > 60)
        s = s.left(57) + QStringLiteral("...");
    return s;
}

// The bytes of lines [first, last] (1-based) each followed by CR LF.
QByteArray rawLines(const QStringList &lines, int first, int last)
{
    QByteArray out;
    for (int i = first; i <= last && i <= lines.size(); ++i) {
        out += lines.at(i - 1).toUtf8();
        out += "\r\n";
    }
    return out;
}

QString v(const ScriptBlock &b, const char *name)
{
    return b.value(QLatin1String(name)).value_or(QString());
}

// What the block's writer writes for its values, or nothing when no writer
// writes a block of this kind.  `next` is the block after it (the surface
// setpoint of the launch sequence).
std::optional<QByteArray> writerBytes(const ScriptBlock &b, const ScriptBlock *next)
{
    ScriptWriter w;
    const QString &k = b.kind;
    if (k == QLatin1String("missionTimer")) {
        w.printMissionTimer(v(b, "timeOut"));
    } else if (k == QLatin1String("getgps")) {
        w.printGetgps(v(b, "minHits"), v(b, "duration"), v(b, "abortOnTimeout"));
    } else if (k == QLatin1String("setpoint")) {
        if (b.setting(QStringLiteral("verticalMode")))
            w.printSetpoint(v(b, "depth"), v(b, "heading"), v(b, "duration"), v(b, "speed"));
        else
            w.printSetpointNoDepth(v(b, "heading"), v(b, "duration"), v(b, "speed"));
    } else if (k == QLatin1String("depthEnvelope")) {
        const std::optional<double> maxDepth = strictNumber(v(b, "maxDepth"));
        if (!maxDepth)
            return std::nullopt;
        w.printDepthEnvelope(ScriptValue(*maxDepth - 5.0), v(b, "minAltitude"));
    } else if (k == QLatin1String("descend")) {
        if (!next || next->kind != QLatin1String("setpoint"))
            return std::nullopt;
        w.printLaunchSequence(v(b, "horizontal"));
    } else if (k == QLatin1String("ascend")) {
        w.printAscend(v(b, "horizontalMode"), v(b, "horizontal"), v(b, "pitch"), v(b, "speed"), v(b, "duration"));
    } else if (k == QLatin1String("waypoint")) {
        w.printWaypoint(v(b, "latitude"), v(b, "longitude"), v(b, "depth"), v(b, "duration"), v(b, "speed"));
    } else if (k == QLatin1String("yoyo")) {
        w.printYoYo(v(b, "minDepth"), v(b, "maxDepth"), v(b, "minAltitude"), v(b, "duration"), v(b, "maxCycles"));
    } else {
        return std::nullopt;
    }
    if (!w.ok())
        return std::nullopt;
    return w.bytes();
}

// The last line a writer's block covers: the launch sequence takes the
// next block too.
int writerLastLine(const ScriptBlock &b, const ScriptBlock *next)
{
    return b.kind == QLatin1String("descend") && next ? next->lastLine : b.lastLine;
}

} // namespace

QString severityName(Severity s)
{
    return s == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
}

const ScriptSetting *ScriptBlock::setting(const QString &name) const
{
    for (const ScriptSetting &s : settings)
        if (s.name == name)
            return &s;
    return nullptr;
}

std::optional<QString> ScriptBlock::value(const QString &name) const
{
    if (const ScriptSetting *s = setting(name))
        return s->value;
    return std::nullopt;
}

bool isKnownBlockKind(const QString &kind)
{
    for (const KindInfo &k : kinds())
        if (kind == QLatin1String(k.kind))
            return true;
    return false;
}

QStringList knownSettings(const QString &kind)
{
    for (const KindInfo &k : kinds())
        if (kind == QLatin1String(k.kind))
            return k.settings;
    return {};
}

MissionScriptModel readMissionScript(const QByteArray &bytes)
{
    MissionScriptModel m;
    auto find = [&m](Severity s, int line, const QString &text) { m.findings.append({s, line, text}); };

    if (bytes.contains('\0'))
        find(Severity::Error, 0, QStringLiteral("The file holds NUL bytes: it is binary data, not a mission script."));

    // Lines, accepting CR LF, CR and LF.
    const QString text = decode(bytes);
    const qsizetype n = text.size();
    qsizetype pos = 0;
    bool sawCrLf = false, sawLf = false, sawCr = false;
    m.finalLineEnd = true;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
            ++end;
        m.lines.append(text.mid(pos, end - pos));
        if (end >= n) {
            m.finalLineEnd = false;
            pos = n;
        } else if (text.at(end) == QLatin1Char('\r')) {
            if (end + 1 < n && text.at(end + 1) == QLatin1Char('\n')) {
                sawCrLf = true;
                pos = end + 2;
            } else {
                sawCr = true;
                pos = end + 1;
            }
        } else {
            sawLf = true;
            pos = end + 1;
        }
    }
    const int kinds = int(sawCrLf) + int(sawLf) + int(sawCr);
    m.lineEnds = kinds == 0   ? MissionScriptModel::LineEnds::None
                 : kinds > 1  ? MissionScriptModel::LineEnds::Mixed
                 : sawCrLf    ? MissionScriptModel::LineEnds::CrLf
                 : sawLf      ? MissionScriptModel::LineEnds::Lf
                              : MissionScriptModel::LineEnds::Cr;
    if (m.lineEnds == MissionScriptModel::LineEnds::Mixed)
        find(Severity::Warning, 0, QStringLiteral("The lines end in a mixture of CR LF, LF and CR; the templates end every line in CR LF."));
    else if (m.lineEnds == MissionScriptModel::LineEnds::Lf || m.lineEnds == MissionScriptModel::LineEnds::Cr)
        find(Severity::Warning, 0, QStringLiteral("The lines end in %1 only; the templates end every line in CR LF.")
                                       .arg(m.lineEnds == MissionScriptModel::LineEnds::Lf ? QStringLiteral("LF")
                                                                                           : QStringLiteral("CR")));

    // Blocks.
    int open = -1;          // index of the block being read, or -1
    int lastBlockEnd = 0;   // last line (1-based) taken by a closed block
    int nonBlank = 0;
    auto closeUnfinished = [&](int beforeLine) {
        ScriptBlock &b = m.blocks[open];
        find(Severity::Error, b.headerLine,
             beforeLine > 0 ? QStringLiteral("The block \"%1\" is not closed with \"}\" before line %2.").arg(b.kind).arg(beforeLine)
                            : QStringLiteral("The block \"%1\" is not closed with \"}\": the file ends inside it (cut short?).").arg(b.kind));
        b.lastLine = beforeLine > 0 ? beforeLine - 1 : int(m.lines.size());
        lastBlockEnd = b.lastLine;
        open = -1;
    };

    for (int i = 0; i < m.lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString &raw = m.lines.at(i);
        const QString t = raw.trimmed();
        if (t.isEmpty()) {
            // The one empty line after a closed block belongs to it.
            if (open < 0 && !m.blocks.isEmpty() && m.blocks.last().closeLine == lineNo - 1
                && m.blocks.last().lastLine == lineNo - 1 && raw.isEmpty()) {
                m.blocks.last().lastLine = lineNo;
                lastBlockEnd = lineNo;
            }
            continue;
        }
        ++nonBlank;
        if (t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1String("behavior"))) {
            QString rest = t.mid(8);
            const bool spaced = !rest.isEmpty() && rest.at(0).isSpace();
            rest = rest.trimmed();
            if (spaced && rest.endsWith(QLatin1Char('{'))) {
                const QString kind = rest.chopped(1).trimmed();
                if (!kind.isEmpty() && !kind.contains(QLatin1Char(' ')) && !kind.contains(QLatin1Char('\t'))) {
                    if (open >= 0)
                        closeUnfinished(lineNo);
                    ScriptBlock b;
                    b.kind = kind;
                    b.known = isKnownBlockKind(kind);
                    b.headerLine = lineNo;
                    b.firstLine = lineNo;
                    if (i > 0 && lineNo - 1 > lastBlockEnd && m.lines.at(i - 1).startsWith(QLatin1Char('#'))) {
                        b.comment = m.lines.at(i - 1);
                        b.commentLine = lineNo - 1;
                        b.firstLine = lineNo - 1;
                    }
                    if (!b.known)
                        find(Severity::Error, lineNo,
                             QStringLiteral("The block \"%1\" is not one this program knows; it is kept as written but not checked.")
                                 .arg(kind));
                    m.blocks.append(b);
                    open = int(m.blocks.size()) - 1;
                    continue;
                }
            }
        }
        if (t == QLatin1String("}")) {
            if (open < 0) {
                find(Severity::Error, lineNo, QStringLiteral("A \"}\" stands outside any block."));
                continue;
            }
            ScriptBlock &b = m.blocks[open];
            b.closeLine = lineNo;
            b.lastLine = lineNo;
            lastBlockEnd = lineNo;
            open = -1;
            continue;
        }
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq > 0) {
            const QString name = t.left(eq).trimmed();
            QString value = t.mid(eq + 1);
            bool terminated = value.endsWith(QLatin1Char(';'));
            if (terminated)
                value.chop(1);
            value = value.trimmed();
            const bool plainName = !name.isEmpty() && !name.contains(QLatin1Char(' ')) && !name.contains(QLatin1Char('\t'));
            if (plainName) {
                if (open < 0) {
                    find(Severity::Error, lineNo,
                         QStringLiteral("The setting \"%1\" stands outside any block.").arg(name));
                    continue;
                }
                ScriptBlock &b = m.blocks[open];
                if (!terminated)
                    find(Severity::Error, lineNo, QStringLiteral("The setting \"%1\" does not end in \";\".").arg(name));
                if (b.setting(name))
                    find(Severity::Warning, lineNo,
                         QStringLiteral("The setting \"%1\" is given twice in the block \"%2\"; the first one is checked.")
                             .arg(name, b.kind));
                else if (b.known && !knownSettings(b.kind).contains(name))
                    find(Severity::Warning, lineNo,
                         QStringLiteral("The setting \"%1\" is not one the block \"%2\" has; it is kept as written.")
                             .arg(name, b.kind));
                b.settings.append({name, value, lineNo, terminated});
                continue;
            }
        }
        find(Severity::Error, lineNo, QStringLiteral("This line is not understood: \"%1\".").arg(shortened(raw)));
    }
    if (open >= 0)
        closeUnfinished(0);
    if (nonBlank == 0)
        find(Severity::Error, 0, QStringLiteral("The file is empty: it holds no behaviour blocks."));
    else if (m.blocks.isEmpty())
        find(Severity::Error, 0, QStringLiteral("The file holds no behaviour blocks."));

    // Which blocks a writer writes exactly as they stand.
    for (int b = 0; b < m.blocks.size(); ++b) {
        ScriptBlock &block = m.blocks[b];
        if (!block.known || block.closeLine == 0 || block.standard)
            continue;
        const ScriptBlock *next = b + 1 < m.blocks.size() ? &m.blocks[b + 1] : nullptr;
        if (next && next->firstLine != block.lastLine + 1)
            next = nullptr;
        const std::optional<QByteArray> written = writerBytes(block, next);
        if (!written)
            continue;
        if (*written == rawLines(m.lines, block.firstLine, writerLastLine(block, next))) {
            block.standard = true;
            if (block.kind == QLatin1String("descend") && next)
                m.blocks[b + 1].standard = true;
        }
    }

    std::stable_sort(m.findings.begin(), m.findings.end(),
                     [](const Finding &a, const Finding &b) { return a.line < b.line; });
    return m;
}

QByteArray writeMissionScript(const MissionScriptModel &model)
{
    QHash<int, int> startsAt; // first line -> block index
    for (int b = 0; b < model.blocks.size(); ++b)
        startsAt.insert(model.blocks.at(b).firstLine, b);

    QByteArray out;
    int line = 1;
    const int count = int(model.lines.size());
    while (line <= count) {
        const auto it = startsAt.constFind(line);
        if (it != startsAt.constEnd()) {
            const ScriptBlock &b = model.blocks.at(*it);
            const ScriptBlock *next = *it + 1 < model.blocks.size() ? &model.blocks.at(*it + 1) : nullptr;
            if (b.standard && (b.kind != QLatin1String("descend") || next)) {
                if (const std::optional<QByteArray> written = writerBytes(b, next)) {
                    out += *written;
                    line = writerLastLine(b, next) + 1;
                    continue;
                }
            }
        }
        out += model.lines.at(line - 1).toUtf8();
        out += "\r\n";
        ++line;
    }
    return out;
}

} // namespace bravik::mission
