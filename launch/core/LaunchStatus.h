#pragma once

// The status file of one started command.  The output recorder starts the
// command, keeps the last 64 KB of what it prints (standard output and error
// together) and writes this file, always whole (a temporary file renamed over
// it): once when the command is running, now and then while it prints, and
// once when it has ended.  The program reads it whenever it likes; a reader
// never sees half a file.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace bravik::launch {

constexpr qsizetype kRecordedOutputBytes = 64 * 1024;

struct CommandStatus
{
    enum class State { Running, Ended, FailedToStart };
    State state = State::Running;
    qint64 processId = 0;
    QString exitStatus;   // "0", "1", or "signal 9"; empty until it ended
    QString output;       // the last kRecordedOutputBytes of the output
    QString error;        // why it could not be started

    // The one line the abort window shows: "running", "ended 0",
    // "ended 1: last line of output", "could not be started: reason".
    QString line() const;
    QString lastOutputLine() const;

    QByteArray toJson() const;
    static std::optional<CommandStatus> fromJson(const QByteArray &bytes);
};

// Writes the file whole or not at all; false with the reason.
bool writeStatusFile(const QString &path, const CommandStatus &status, QString *error = nullptr);
// Reads it; no value while it does not exist yet or cannot be read.
std::optional<CommandStatus> readStatusFile(const QString &path);

// Keeps the tail of a stream: at most `limit` bytes, the newest ones.
class OutputTail
{
public:
    explicit OutputTail(qsizetype limit = kRecordedOutputBytes) : m_limit(limit) {}
    void append(const QByteArray &bytes);
    const QByteArray &bytes() const { return m_bytes; }
    bool truncated() const { return m_truncated; }
    QString text() const;   // UTF-8, or Latin-1 when it is not
private:
    qsizetype m_limit;
    QByteArray m_bytes;
    bool m_truncated = false;
};

// The recorder: starts `program` with `arguments` (no shell), records into
// `statusFile` and returns the command's exit code (127 when it could not be
// started, 128 + the signal when one ended it).  Blocks until the command
// ends; it runs in its own process.
int runRecorded(const QString &statusFile, const QString &program, const QStringList &arguments);

// The recorder's command line: "--status FILE -- PROGRAM [ARGUMENT...]".
QStringList recorderArguments(const QString &statusFile, const QString &program, const QStringList &arguments);
// Parses it; false with a usage message.
bool parseRecorderArguments(const QStringList &arguments, QString *statusFile, QString *program,
                            QStringList *programArguments, QString *error);

} // namespace bravik::launch
