#include "LaunchStatus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>

namespace bravik::launch {

namespace {

QString stateName(CommandStatus::State s)
{
    switch (s) {
    case CommandStatus::State::Running: return QStringLiteral("running");
    case CommandStatus::State::Ended: return QStringLiteral("ended");
    case CommandStatus::State::FailedToStart: return QStringLiteral("failed");
    }
    return {};
}

} // namespace

QString CommandStatus::lastOutputLine() const
{
    const QStringList lines = output.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString t = lines.at(i).trimmed();
        if (!t.isEmpty())
            return t.size() > 200 ? t.left(197) + QStringLiteral("...") : t;
    }
    return {};
}

QString CommandStatus::line() const
{
    switch (state) {
    case State::Running:
        return QStringLiteral("running");
    case State::FailedToStart:
        return QStringLiteral("could not be started: %1").arg(error);
    case State::Ended: {
        const QString last = lastOutputLine();
        if (exitStatus == QLatin1String("0") || last.isEmpty())
            return QStringLiteral("ended %1").arg(exitStatus);
        return QStringLiteral("ended %1: %2").arg(exitStatus, last);
    }
    }
    return {};
}

QByteArray CommandStatus::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("state"), stateName(state));
    o.insert(QStringLiteral("pid"), processId);
    o.insert(QStringLiteral("exitStatus"), exitStatus);
    o.insert(QStringLiteral("output"), output);
    o.insert(QStringLiteral("error"), error);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<CommandStatus> CommandStatus::fromJson(const QByteArray &bytes)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    CommandStatus s;
    const QString state = o.value(QStringLiteral("state")).toString();
    if (state == QLatin1String("running"))
        s.state = State::Running;
    else if (state == QLatin1String("ended"))
        s.state = State::Ended;
    else if (state == QLatin1String("failed"))
        s.state = State::FailedToStart;
    else
        return std::nullopt;
    s.processId = qint64(o.value(QStringLiteral("pid")).toDouble());
    s.exitStatus = o.value(QStringLiteral("exitStatus")).toString();
    s.output = o.value(QStringLiteral("output")).toString();
    s.error = o.value(QStringLiteral("error")).toString();
    return s;
}

bool writeStatusFile(const QString &path, const CommandStatus &status, QString *error)
{
    QSaveFile f(path);
    const QByteArray bytes = status.toJson();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        f.cancelWriting();
        return false;
    }
    return true;
}

std::optional<CommandStatus> readStatusFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A status file is the output tail and a few fields; anything far
    // larger is not one.
    const QByteArray bytes = f.read(16 * kRecordedOutputBytes);
    return CommandStatus::fromJson(bytes);
}

void OutputTail::append(const QByteArray &bytes)
{
    m_bytes += bytes;
    if (m_bytes.size() > m_limit) {
        m_bytes.remove(0, m_bytes.size() - m_limit);
        m_truncated = true;
    }
}

QString OutputTail::text() const
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString t = utf8.decode(m_bytes);
    if (utf8.hasError()) {
        // The cut at the front may have split a character; try without it.
        for (int skip = 1; skip <= 3 && skip < m_bytes.size(); ++skip) {
            QStringDecoder again(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            t = again.decode(QByteArrayView(m_bytes).sliced(skip));
            if (!again.hasError())
                return t;
        }
        return QString::fromLatin1(m_bytes);
    }
    return t;
}

int runRecorded(const QString &statusFile, const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    CommandStatus status;
    bool started = process.waitForStarted(-1);
#ifdef Q_OS_UNIX
    // A script without a "#!" line is not a program the system can start;
    // a shell runs such a file with /bin/sh, and so does this.  The path
    // stays one argument: it is never part of a command text.
    if (!started && process.errorString().contains(qt_error_string(ENOEXEC))) {
        process.setProgram(QStringLiteral("/bin/sh"));
        process.setArguments(QStringList{program} + arguments);
        process.start();
        started = process.waitForStarted(-1);
    }
#endif
    if (!started) {
        status.state = CommandStatus::State::FailedToStart;
        status.error = process.errorString();
        writeStatusFile(statusFile, status);
        return 127;
    }
    status.processId = process.processId();
    writeStatusFile(statusFile, status);

    OutputTail tail;
    bool changed = false;
    QDeadlineTimer nextWrite(2000);
    while (process.state() != QProcess::NotRunning) {
        if (process.waitForReadyRead(500)) {
            tail.append(process.readAll());
            changed = true;
        }
        if (changed && nextWrite.hasExpired()) {
            status.output = tail.text();
            writeStatusFile(statusFile, status);
            changed = false;
            nextWrite.setRemainingTime(2000);
        }
    }
    process.waitForFinished(-1);
    tail.append(process.readAll());
    status.state = CommandStatus::State::Ended;
    status.output = tail.text();
    int code = process.exitCode();
    if (process.exitStatus() == QProcess::CrashExit) {
        status.exitStatus = QStringLiteral("signal %1").arg(code);
        code = 128 + code;
    } else {
        status.exitStatus = QString::number(code);
    }
    writeStatusFile(statusFile, status);
    return code;
}

QStringList recorderArguments(const QString &statusFile, const QString &program, const QStringList &arguments)
{
    return QStringList{QStringLiteral("--status"), statusFile, QStringLiteral("--"), program} + arguments;
}

bool parseRecorderArguments(const QStringList &arguments, QString *statusFile, QString *program,
                            QStringList *programArguments, QString *error)
{
    const QString usage = QStringLiteral("usage: bravik-run-wrapped --status FILE -- PROGRAM [ARGUMENT...]");
    if (arguments.size() < 4 || arguments.at(0) != QLatin1String("--status") || arguments.at(2) != QLatin1String("--")
        || arguments.at(1).isEmpty() || arguments.at(3).isEmpty()) {
        *error = usage;
        return false;
    }
    *statusFile = arguments.at(1);
    *program = arguments.at(3);
    *programArguments = arguments.mid(4);
    return true;
}

} // namespace bravik::launch
