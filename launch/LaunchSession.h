#pragma once

// What this program's session knows about its launches: the launch records
// it wrote (on a connection of its own to the logbook), the latest of them,
// which "Abort Mission" completes, and the status files of the commands it
// started, watched with a timer (never waited for) so each record gets the
// command's exit status and output when they come.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <memory>

namespace bravik::logbook {
class Database;
}

namespace bravik::launch {

class LaunchSession : public QObject
{
    Q_OBJECT
public:
    static LaunchSession &instance();
    ~LaunchSession() override;

    // Writes a new launch record; its key, or -1 with the reason.
    qint64 begin(const QVariantMap &values, QString *error);
    // Sets fields of a record; false with the reason.
    bool update(qint64 key, const QVariantMap &values, QString *error);

    // The latest record this session wrote, or -1.
    // (-1 too once the settings name another logbook.)
    qint64 latestKey();

    // A status file for the run ("run") or the abort ("abort") of a record:
    // in the launch folder, which is made when missing; empty when it cannot
    // be made.
    QString statusFileFor(qint64 key, const QString &what);

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
    logbook::Database *database(QString *error);

    struct Watch
    {
        qint64 key = -1;
        QString file;
        bool abort = false;
        QByteArray last;
        bool done = false;
    };
    QList<Watch> m_watches;
    std::unique_ptr<logbook::Database> m_db;
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
