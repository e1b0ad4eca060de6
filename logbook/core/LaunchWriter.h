#pragma once

// Writes launch records without ever keeping the caller waiting.
//
// The connection lives on a thread of its own (a Qt SQL connection belongs
// to the thread that made it); inserts and updates go there in the order
// they are asked for and answers come back on the caller's thread.  A
// record is named by a ticket from insert(), valid at once: updates on a
// ticket whose insert has not answered yet wait their turn behind it, so
// they land on that record once it exists.
//
// A statement that has not answered within the statement timeout is
// cancelled (PQcancel, sqlite3_interrupt, a lock wait given up) and tried
// again: a launch record is never given up because the logbook was slow,
// only when the engine refuses it.  quit() gives what is queued a bounded
// time and returns what could not be written, with its values.

#include "Database.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>

namespace bravik::logbook {

class LaunchWriter : public QObject
{
    Q_OBJECT
public:
    using Ticket = qint64;
    using Inserted = std::function<void(qint64 key, const QString &error)>;
    using Updated = std::function<void(bool ok, const QString &error)>;

    LaunchWriter(const DatabaseLocation &where, std::chrono::milliseconds statementTimeout, QObject *parent = nullptr);
    // Never waits: what is queued is dropped (quit() first to keep it), a
    // statement still running is cancelled and the thread ends by itself.
    ~LaunchWriter() override;

    const DatabaseLocation &location() const;

    // Queues a new record; `done` gets its key (or -1 with the engine's
    // reason).  While a test asks for answers in step
    // (RecordFront::setPatience), waits that long for the answer.
    Ticket insert(const QVariantMap &values, Inserted done = {});
    // Queues setting fields of a record.  A ticket whose insert was refused
    // is answered at once with ok == false.
    void update(Ticket ticket, const QVariantMap &values, Updated done = {});

    // The record's key once its insert has answered, else -1.
    qint64 keyOf(Ticket ticket) const;
    // The insert was refused: the ticket names no record.
    bool refused(Ticket ticket) const;

    bool isBusy() const;   // something is queued or running

    // Handles answers as they come, without an event loop, until nothing is
    // queued or the time is up.  True when idle.
    bool waitForIdle(std::chrono::milliseconds limit);

    // Waits up to `limit` for what is queued, then stops; one line for each
    // write that was not done ("insert LaunchRecord: Reviewer = "Ada", ...").
    // Sets *finished to whether the thread ended.
    QStringList quit(std::chrono::milliseconds limit, bool *finished = nullptr);

    // How many times a statement was cancelled for time and tried again.
    int retries() const;

private:
    void deliver();
    // In tests: takes answers until that write answered or the patience is up.
    void waitFor(quint64 jobId);
    void watchdog();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
