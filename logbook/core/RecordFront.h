#pragma once

#include "Database.h"
#include "RecordHistory.h"
#include "Schema.h"

#include <QHash>
#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>

class QThread;

namespace bravik::logbook {

// A record cursor that never keeps its caller waiting for the engine.
//
// The connection and its RecordCursor live on a thread of their own (a Qt
// SQL connection belongs to the thread that made it).  Requests (open, the
// moves, a new row, save) go there in the order they are made, each with
// the edits made before it; answers come back as signals.  Meanwhile the
// front shows the current row as last answered, with the edits made since,
// so value(), isChanged() and the rest answer at once.
//
// A request that fails drops the requests queued after it (each told with
// ok == false), like a chain of moves that stops at the first refusal; the
// edits queued between them are kept.  A request that has not answered
// after waitingAfter() makes waitingChanged(true); stopWaiting(), or the
// statement timeout, cancels the statement (PQcancel, sqlite3_interrupt, a
// lock wait given up) and answers the request as refused: failed() with a
// message, the row and its edits kept, so storing it again later works.
// Whatever the engine did with the abandoned statement is taken over when
// its late answer comes (a stored row is not stored twice).
class RecordFront : public QObject
{
    Q_OBJECT
public:
    enum class Request { Open, First, Previous, Next, Last, BeginNew, Save, MoveToKey, History, Void };
    using Done = std::function<void(bool ok)>;

    RecordFront(const DatabaseLocation &where, const QString &table,
                std::chrono::milliseconds statementTimeout = std::chrono::seconds(20), QObject *parent = nullptr);
    // Never waits: a statement still running is cancelled and the thread
    // ends by itself once it returns (finishAll() waits for that).
    ~RecordFront() override;

    const TableDef &table() const;
    const DatabaseLocation &location() const;
    // "Waiting for the logbook…", naming the server for PostgreSQL.
    QString waitingText() const;

    bool isOpen() const;        // the table was opened
    bool openFailed() const;    // the open was answered with a failure
    bool isBusy() const;        // a request is running or queued
    bool isWaiting() const;     // ... and has not answered for a while

    bool hasRow() const;
    bool isNewRow() const;
    bool isChanged() const;
    qint64 currentKey() const;
    QVariant value(const QString &field) const;
    QStringList changedFields() const;   // in the table's order
    QString lastError() const;
    // The row as last answered: changed after its first store (RowVersion),
    // void and why.
    qint64 rowVersion() const;
    bool isVoided() const;
    QString voidReason() const;
    // The last store was refused because the row was changed elsewhere
    // since it was shown (lastError() says where and when): storing again
    // goes over that change; a move drops the edits and keeps it.
    bool hasConflict() const;

    // Reads the current row's edit history on the logbook's thread, the
    // row's edits kept unstored; history() has it once `done` runs with ok.
    bool readHistory(Done done = {});
    QList<history::Entry> history() const;
    // Stores the row's edits, then marks it void with the reason.
    bool voidEntry(const QString &reason, Done done = {});

    // An edit of the current row; while a request runs it applies to the
    // row that request leaves current.
    void setValue(const QString &field, const QVariant &value);

    // Queues a request.  False when it was refused at once (or answered a
    // refusal within the patience below); true when it succeeded or is
    // still on its way.  `done` runs once it is answered or dropped.
    bool request(Request what, Done done = {});
    // Runs `done` once everything queued so far has answered (ok) or a
    // request among them failed (not ok).  Runs at once when idle.
    void whenSettled(Done done);
    // Queues a move to the stored row with that key (the current row is
    // stored first, as on any move).
    bool moveToKey(qint64 key, Done done = {});
    // The hidden stamp of the new row being begun: when and where it was
    // submitted; it goes to the logbook thread with the next request.
    void stampNewRow(const QDateTime &utc, const QString &workstation);

    void stopWaiting();

    // Handles answers as they come, without an event loop, until idle or
    // the time is up.  True when idle.
    bool waitForIdle(std::chrono::milliseconds limit);

    // "Miscellaneous: Date/Time = "t1", Note = "keep me"": what is not
    // stored of the current row, empty when nothing.
    QString unstoredText() const;

    // How long a request call waits on the caller's thread for its answer
    // before it goes on without it: 0 (never waits) unless a test asks for
    // answers in step.
    static void setPatience(std::chrono::milliseconds patience);
    static std::chrono::milliseconds patience();
    static std::chrono::milliseconds waitingAfter() { return std::chrono::milliseconds(200); }

    // Every front that exists now.
    static QList<RecordFront *> all();
    // Waits (up to `limit`) for the threads of fronts already gone; true
    // when none is left.
    static bool finishAll(std::chrono::milliseconds limit);
    // A started thread for other logbook work, counted by finishAll();
    // it deletes itself when it has finished.
    static QThread *startLogbookThread(const QString &name);
    // Opens (creates, upgrades) a logbook on a thread of its own and calls
    // `done` with the engine's message on `context`'s thread (empty when it
    // opened).
    static void openInBackground(const DatabaseLocation &where, QObject *context,
                                 std::function<void(const QString &error)> done);
    // Runs `work` on a thread of its own (one finishAll() waits for), then
    // `done` on `context`'s thread unless `context` is gone by then.
    static void runInBackground(const QString &name, QObject *context, std::function<void()> work,
                                std::function<void()> done);

Q_SIGNALS:
    void rowShown();
    void failed(const QString &message);
    void waitingChanged(bool waiting);
    void opened(bool ok);
    void settled();

private:
    bool enqueue(Request what, qint64 key, Done done, const QString &text = QString());
    void deliver();
    void pump();
    void finish(bool ok, const QString &error, const void *row, bool wasOpen);
    void late(bool ok, bool wasOpen, const void *row);
    void abandon(const QString &message, bool complete = false);
    void cancelNatively();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
