#pragma once

#include "Database.h"
#include "MergeConflicts.h"
#include "RecordHistory.h"
#include "Schema.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>


namespace bravik::logbook {

class LogbookClient;

// A record cursor that never keeps its caller waiting for the engine.
//
// The cursor itself (RecordCursor) lives on the logbook service, as the
// state of this front's client, on the service's connection; every request
// (open, the moves, a new row, a store, the history, a void) is one job of
// that client, run in the order the requests are made, each taking the
// current row's edits with it.  Answers come back later, through the event
// loop, as signals.  Meanwhile the front shows the current row as last
// answered, with the edits made since, so value(), isChanged() and the rest
// answer at once.
//
// A request that fails drops the requests queued after it (each told with
// ok == false), like a chain of moves that stops at the first refusal; the
// edits queued between them are kept.  A request that has not answered
// after waitingAfter() makes waitingChanged(true); stopWaiting(), or the
// statement timeout, ends it: a store not yet committed is rolled back and
// never lands later, and the request is answered as refused, failed() with
// a message, the row and its edits kept, so storing it again later works.
// A store already committing cannot be stopped: stopWaiting() then says
// so and its answer comes when the logbook gives it.
class RecordFront : public QObject
{
    Q_OBJECT
public:
    enum class Request { Open, First, Previous, Next, Last, BeginNew, Save, MoveToKey, History, Void, Restore, Entry,
                         HistoryValues, Settle };
    using Done = std::function<void(bool ok)>;

    // What a submission writes into the new row it begins: the boxes of the
    // stamp (the clock text, the submitter) and the hidden stamp.
    struct Stamp
    {
        QList<QPair<QString, QVariant>> fields;
        QDateTime utc;
        QString workstation;
    };

    RecordFront(const DatabaseLocation &where, const QString &table, QObject *parent = nullptr);
    // Never waits: the requests already given go on as the logbook
    // service's jobs (a store still lands, its answer unheard).
    ~RecordFront() override;

    const TableDef &table() const;
    const DatabaseLocation &location() const;
    LogbookClient &client() const;
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

    // Reads the current row's edit history, the row's edits kept unstored;
    // history() has it once `done` runs with ok.  Long values come
    // shortened (history::read); readHistoryValues() gives one change whole.
    bool readHistory(Done done = {});
    QList<history::Entry> history() const;
    using ValuesDone = std::function<void(bool ok, const QString &oldValue, const QString &newValue)>;
    bool readHistoryValues(qint64 historyKey, ValuesDone done);
    // Stores the row's edits, then marks it void with the reason.
    bool voidEntry(const QString &reason, Done done = {});
    // Makes the current void row an ordinary one again, with a reason.
    bool restoreEntry(const QString &reason, Done done = {});

    // The open merge conflicts of the stored row shown, as read with it.
    QList<conflicts::Open> openConflicts() const;
    // Settles the open conflict `id` of the row shown: keeps the value the
    // row holds, or takes the other logbook's (keepOther).  The row's edits
    // are stored first; the field, its history row and the settlement are
    // then stored in one transaction, refused like any store when the row
    // was changed elsewhere since it was shown.
    bool settleConflict(const QString &id, bool keepOther, Done done = {});

    // An edit of the current row; while a request runs it applies to the
    // row that request leaves current.
    void setValue(const QString &field, const QVariant &value);

    // Queues a request.  False when it was refused at once (the table
    // could not be opened); true when it is on its way.  `done` runs once
    // it is answered or dropped, always later.
    bool request(Request what, Done done = {});
    // Runs `done` once everything queued so far has answered (ok) or a
    // request among them failed (not ok); soon when idle.
    void whenSettled(Done done);
    // Queues a move to the stored row with that key (the current row is
    // stored first, as on any move).
    bool moveToKey(qint64 key, Done done = {});
    // A submission: the current row is stored (as on any move), a new row
    // is begun and the stamp written into it, all in one request, so
    // nothing queued after it can come between.
    bool beginEntry(const Stamp &stamp, Done done = {});

    // Stops waiting for the request running now; false when it is a store
    // already being committed (its answer comes when the logbook gives it).
    bool stopWaiting();

    // "Miscellaneous: Date/Time = "t1", Note = "keep me"": what is not
    // stored of the current row, empty when nothing.
    QString unstoredText() const;

    // How long a request runs before the window shows its waiting line.
    static std::chrono::milliseconds waitingAfter();

    // Stores what a record window left unstored when the program ended
    // (kept as "record" writes by the logbook service) the next time the
    // logbook is opened.  Called once at start, before the logbook opens.
    static void registerKeptWrites();

    // Every front that exists now.
    static QList<RecordFront *> all();

Q_SIGNALS:
    void rowShown();
    void failed(const QString &message);
    void waitingChanged(bool waiting);
    void opened(bool ok);
    void settled();

private:
    struct Item;
    bool enqueue(Item item);
    bool ask(Request what, Done done, qint64 key = -1, const QString &text = {});
    void pump();
    void send(Item item);
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
