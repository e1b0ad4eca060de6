#pragma once

// What this program's session knows about its launches: the launch records
// it writes (through a LaunchRecorder on the logbook service: writes queued
// in order, never waited for), the latest of them, which "Abort Mission"
// completes, and the status files of the commands it started, watched with
// a timer (never waited for) so each record gets the command's exit status
// and output when they come.
//
// A launch is named by its record's id, given before the record is even
// queued: what is set on it later lands on its record once it is made.
//
// The program can end (or be killed) while a command it started runs on.
// At start, and whenever "Launches" opens, the records made on this
// computer whose run or abort has not told its exit status yet are
// completed from their status files, once; a run still going is watched
// again, and the abort window offered for it.

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>

namespace bravik::logbook {
class LogbookClient;
}

namespace bravik::launch {

class LaunchRecorder;
struct EarlierRun;

class LaunchSession : public QObject
{
    Q_OBJECT
public:
    static LaunchSession &instance();
    ~LaunchSession() override;

    using Done = std::function<void(bool ok, const QString &error)>;

    // At start: the launch writes kept at the last quit are stored by the
    // logbook's first connection, and the launches of earlier runs are
    // completed (recover()).
    void startUp();

    // Queues the record of a new launch; `id` from LaunchRecorder::newId().
    // `done` gets the logbook's answer (false with the reason when refused).
    void begin(const QString &id, const QVariantMap &values, Done done = {});
    // Queues setting fields of a launch (after everything queued before).
    // `done` gets false with the reason when the logbook refused, or when
    // the launch has no record.
    void update(const QString &id, const QVariantMap &values, Done done = {});

    // The latest launch of this session (its id), or empty.  (Empty too
    // once the settings name another logbook.)
    QString latestId();
    // True unless the launch's insert was refused (or there is none).
    bool hasRecord(const QString &id) const;

    // How long one write or read may take: the statement timeout.
    static std::chrono::milliseconds deadline();
    // How long "Run Mission" waits for the launch record before it starts
    // the mission anyway: the statement timeout, at most 5 s.
    static std::chrono::milliseconds recordBound();
    // What a new record's StartResult says until the start is known: true
    // of a record whose program ended before it could tell.
    static QString startNotToldText();

    // Quitting (before the logbook service's shutdown): what the status
    // files say now is queued; nothing is watched or told any more.
    void quit();

    // A status file for the run ("run") or the abort ("abort") of a launch:
    // in the launch folder, which is made when missing; empty when it cannot
    // be made.
    QString statusFileFor(const QString &id, const QString &what);

    // Watches a status file; the record's RunExitStatus and RunOutput (or
    // AbortExitStatus and AbortOutput) are filled as the file says.
    void watch(const QString &id, const QString &statusFile, bool abort);

    // Completes the launches of earlier runs of the program from their
    // status files (see above).  recovered() once it has looked.
    void recover();

    // The run line of the latest launch: "running", "ended 0", ...
    QString runLine() const { return m_runLine; }
    void setRunLine(const QString &line);

    // Tells what a launch write met, in a message box; once quitting, on
    // standard error.
    void tell(const QString &text);

    // Reads the text reviewed when a file of the same name as `missionPath`
    // last ran, within deadline(), beside the launch writes (not behind
    // them); `done` gets the answer later, here.
    void readEarlierRun(const QString &missionPath, std::function<void(const EarlierRun &)> done);

    // Forgets everything (tests, or another logbook).
    void reset();

    // Reads every watched status file now (the timer does this on its own).
    void poll();

    // True while a write or read of the launch records is on its way.
    bool isBusy() const;
    // True while a status file is watched for what its command does.
    bool isWatching() const;

Q_SIGNALS:
    void runLineChanged(const QString &line);
    // A write to the launch record `id` landed.
    void recordChanged(const QString &id);
    void recovered();

private:
    LaunchSession();
    LaunchRecorder *recorder();

    struct Watch
    {
        QString id;
        QString file;
        bool abort = false;
        QByteArray last;
        bool done = false;
        bool startNotTold = false;   // recovered: its StartResult still says so
        qint64 goneSinceMs = -1;     // recovered: its command is not running
        qint64 neverStartedAtMs = -1; // recovered: no file by then, never started
    };
    void watch(Watch w);
    bool isWatched(const QString &id, bool abort) const;
    QList<Watch> m_watches;
    QSet<QString> m_begun;   // the launches this run of the program made
    std::unique_ptr<LaunchRecorder> m_recorder;
    std::unique_ptr<logbook::LogbookClient> m_reader;   // the earlier runs' texts
    QString m_dbDriver, m_dbLocation;
    QTimer m_timer;
    QString m_latest;
    QString m_runLine;
    bool m_quitting = false;
};

// ISO 8601 UTC to the second, ending in Z.
QString utcNow();
// Lower-case hex SHA-256.
QString sha256Hex(const QByteArray &bytes);
// A program and its arguments as one line, each quoted where it needs it.
QString commandText(const QString &program, const QStringList &arguments);

} // namespace bravik::launch
