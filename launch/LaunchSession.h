#pragma once

// What this program's session knows about its launches: the launch records
// it wrote (through a LaunchWriter: a connection on a thread of its own,
// writes queued in order, never waited for), the latest of them, which
// "Abort Mission" completes, and the status files of the commands it
// started, watched with a timer (never waited for) so each record gets the
// command's exit status and output when they come.
//
// A launch is named by a ticket, valid as soon as its insert is queued:
// what is set on it later lands on its record once the insert is done.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>

namespace bravik::logbook {
class LaunchWriter;
}

namespace bravik::launch {

class LaunchSession : public QObject
{
    Q_OBJECT
public:
    static LaunchSession &instance();
    ~LaunchSession() override;

    using Inserted = std::function<void(qint64 key, const QString &error)>;
    using Updated = std::function<void(bool ok, const QString &error)>;

    // Queues a new launch record; returns its ticket at once.  `done` gets
    // the record's key, or -1 with the reason, when the logbook answers.
    qint64 begin(const QVariantMap &values, Inserted done = {});
    // Queues setting fields of a launch (after everything queued before).
    // `done` gets false with the reason when the logbook refused, or at
    // once when the launch has no record.
    void update(qint64 ticket, const QVariantMap &values, Updated done = {});

    // The latest launch of this session (its ticket), or -1.
    // (-1 too once the settings name another logbook.)
    qint64 latestKey();
    // The record's key once the logbook has it, else -1.
    qint64 keyOf(qint64 ticket) const;
    // True unless the launch's insert was refused (or there is none).
    bool hasRecord(qint64 ticket) const;

    // How long "Run Mission" waits for the launch record before it starts
    // the mission anyway: the statement timeout, at most 5 s.
    static std::chrono::milliseconds recordBound();

    // Quitting: what is queued gets up to `limit`; what could not be
    // written is written to standard error with its values and returned.
    // *finished tells whether the writer's thread ended.
    QStringList finishForQuit(std::chrono::milliseconds limit, bool *finished = nullptr);

    // A status file for the run ("run") or the abort ("abort") of a launch:
    // in the launch folder, which is made when missing; empty when it cannot
    // be made.
    QString statusFileFor(qint64 ticket, const QString &what);

    // Watches a status file; the record's RunExitStatus and RunOutput (or
    // AbortExitStatus and AbortOutput) are filled as the file says.
    void watch(qint64 key, const QString &statusFile, bool abort);

    // The run line of the latest launch: "running", "ended 0", ...
    QString runLine() const { return m_runLine; }
    void setRunLine(const QString &line);

    // Forgets everything (tests, or another logbook).
    void reset();

    // Reads every watched status file now (the timer does this on its own).
    void poll();

signals:
    void runLineChanged(const QString &line);

private:
    LaunchSession();
    logbook::LaunchWriter *writer();

    struct Watch
    {
        qint64 key = -1;
        QString file;
        bool abort = false;
        QByteArray last;
        bool done = false;
    };
    QList<Watch> m_watches;
    std::unique_ptr<logbook::LaunchWriter> m_writer;
    QString m_dbDriver, m_dbLocation;
    QTimer m_timer;
    qint64 m_latest = -1;
    QString m_runLine;
};

// ISO 8601 UTC to the second, ending in Z.
QString utcNow();
// Lower-case hex SHA-256.
QString sha256Hex(const QByteArray &bytes);
// A program and its arguments as one line, each quoted where it needs it.
QString commandText(const QString &program, const QStringList &arguments);

} // namespace bravik::launch
