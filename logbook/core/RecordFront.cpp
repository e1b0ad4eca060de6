#include "RecordFront.h"

#include "NativeHandle.h"
#include "RecordCursor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

namespace bravik::logbook {

namespace {

using Request = RecordFront::Request;
using Edits = QList<QPair<QString, QVariant>>;

struct Job
{
    quint64 id = 0;
    Request what = Request::Open;
    Edits edits;
    qint64 key = -1;          // for MoveToKey
    QString text;             // for Void: the reason
    QDateTime stampAt;        // the new row's hidden stamp, when set
    QString stampWorkstation;
};

// A row as the thread's cursor has it after a request.
struct RowState
{
    bool hasRow = false;
    bool isNew = false;
    bool changed = false;
    qint64 key = -1;
    QHash<QString, QVariant> values;
    qint64 version = 0;
    bool voided = false;
    QString voidReason;
    bool conflict = false;
};

struct Answer
{
    quint64 id = 0;
    Request what = Request::Open;
    bool ok = false;
    QString error;
    RowState row;
    QList<history::Entry> history;
};

// What the front and its thread share; it outlives whichever goes first.
struct Channel
{
    QMutex mutex;
    QList<Answer> answers;
    QSemaphore ready;
    std::atomic<quint64> abandonedUpTo{0};
    std::shared_ptr<native::Canceller> canceller;
    qint64 timeoutMs = 20000;

    bool abandoned(quint64 id) const { return id <= abandonedUpTo.load(); }
    std::shared_ptr<native::Canceller> currentCanceller()
    {
        QMutexLocker lock(&mutex);
        return canceller;
    }
};

std::chrono::milliseconds &patienceSetting()
{
    static std::chrono::milliseconds p{0};
    return p;
}

QList<RecordFront *> &liveFronts()
{
    static QList<RecordFront *> fronts;
    return fronts;
}

// Threads whose work is not finished yet, fronts gone or not.
QList<QPointer<QThread>> &liveThreads()
{
    static QList<QPointer<QThread>> threads;
    return threads;
}

QThread *startThread(const QString &name)
{
    auto *thread = new QThread;
    thread->setObjectName(name);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    liveThreads().removeAll(nullptr);
    liveThreads() << thread;
    thread->start();
    return thread;
}

QString keptText(const QString &message)
{
    return message + QLatin1Char('\n')
           + QCoreApplication::translate("RecordFront",
                                         "Waiting for it was stopped; the entry is kept here and can be stored again.");
}

QString timeoutText(qint64 ms)
{
    return keptText(QCoreApplication::translate("RecordFront", "The logbook did not answer within %1 s.")
                        .arg(double(ms) / 1000.0));
}

} // namespace

// Lives on the connection's thread: the connection, the schema check and
// the synchronous cursor.
class FrontWorker : public QObject
{
    Q_OBJECT
public:
    FrontWorker(const DatabaseLocation &where, const QString &table, std::shared_ptr<Channel> channel)
        : m_where(where)
        , m_table(table)
        , m_channel(std::move(channel))
    {
    }

    void run(const Job &job)
    {
        m_clock.start();
        m_job = job.id;
        m_timedOut = false;
        Answer a;
        a.id = job.id;
        a.what = job.what;
        if (job.what == Request::Open) {
            open(&a);
        } else if (!m_cursor) {
            a.error = m_openError.isEmpty() ? QStringLiteral("The logbook is not open.") : m_openError;
        } else {
            for (const auto &[field, value] : job.edits)
                m_cursor->setValue(field, value);
            if (job.stampAt.isValid())
                m_cursor->stampNewRow(job.stampAt, job.stampWorkstation);
            if (job.what == Request::History) {
                a.ok = m_cursor->readHistory(&a.history);
            } else if (job.what == Request::Void) {
                a.ok = m_cursor->voidRow(job.text);
            } else {
                // After a store refused for a change made elsewhere, a move
                // keeps that change: the cursor drops the edits itself.
                const bool keepTheirs = job.what != Request::Save && m_cursor->hasConflict();
                a.ok = keepTheirs || m_cursor->save();
                if (a.ok && job.what != Request::Save && !m_channel->abandoned(job.id))
                    a.ok = move(job);
            }
            if (!a.ok)
                a.error = m_timedOut ? timeoutText(m_channel->timeoutMs) : m_cursor->lastError();
        }
        if (m_cursor)
            a.row = snapshot();
        refreshCanceller();
        {
            QMutexLocker lock(&m_channel->mutex);
            m_channel->answers << a;
        }
        m_channel->ready.release();
        Q_EMIT answered();
    }

    void closeDown()
    {
        if (auto c = m_channel->currentCanceller())
            c->forget();
        m_cursor.reset();
        m_database.reset();
        QThread::currentThread()->quit();
    }

Q_SIGNALS:
    void answered();

private:
    void open(Answer *a)
    {
        if (m_cursor) {
            a->ok = m_cursor->open();
            if (!a->ok)
                a->error = m_cursor->lastError();
            return;
        }
        QString error;
        m_database = Database::open(m_where, &error);
        if (!m_database) {
            a->error = m_openError = error;
            return;
        }
        // Lock waits end when the user stops waiting or the statement
        // has run out of time.
        // The front's own timer ends a wait first; this deadline, a little
        // later, is for when nobody is there to end it.
        native::setLockWait(m_database->connection(), [this] {
            if (m_channel->abandoned(m_job))
                return true;
            if (m_clock.elapsed() <= m_channel->timeoutMs + 1000)
                return false;
            m_timedOut = true;
            return true;
        });
        m_cursor = std::make_unique<RecordCursor>(*m_database, m_table);
        a->ok = m_cursor->open();
        if (!a->ok) {
            a->error = m_openError = m_cursor->lastError();
            m_cursor.reset();
            m_database.reset();
        }
    }

    bool move(const Job &job)
    {
        const qint64 before = m_cursor->currentKey();
        bool ok = false;
        switch (job.what) {
        case Request::First: ok = m_cursor->moveFirst(); break;
        case Request::Previous: ok = m_cursor->movePrevious(); break;
        case Request::Next: ok = m_cursor->moveNext(); break;
        case Request::Last: ok = m_cursor->moveLast(); break;
        case Request::BeginNew: ok = m_cursor->beginNew(); break;
        case Request::MoveToKey: ok = m_cursor->moveToKey(job.key); break;
        case Request::Open:
        case Request::Save:
        case Request::History:
        case Request::Void: return true;
        }
        // Given up on while it ran: go back to the row the user still
        // sees where one step does it.
        if (ok && m_channel->abandoned(job.id) && m_cursor->currentKey() != before) {
            if (job.what == Request::Next || job.what == Request::BeginNew)
                m_cursor->movePrevious();
            else if (job.what == Request::Previous)
                m_cursor->moveNext();
        }
        return ok;
    }

    RowState snapshot() const
    {
        RowState r;
        r.hasRow = m_cursor->hasRow();
        r.isNew = m_cursor->isNewRow();
        r.changed = m_cursor->isChanged();
        r.key = m_cursor->currentKey();
        for (const QString &field : m_cursor->table().fields)
            r.values.insert(field, m_cursor->value(field));
        r.version = m_cursor->rowVersion();
        r.voided = m_cursor->isVoided();
        r.voidReason = m_cursor->voidReason();
        r.conflict = m_cursor->hasConflict();
        return r;
    }

    void refreshCanceller()
    {
        if (!m_database) {
            QMutexLocker lock(&m_channel->mutex);
            m_channel->canceller.reset();
            return;
        }
        if (m_cancellerReady && m_generation == m_database->generation())
            return;
        m_generation = m_database->generation();
        m_cancellerReady = true;
        auto c = native::cancellerFor(m_database->connection());
        QMutexLocker lock(&m_channel->mutex);
        if (m_channel->canceller)
            m_channel->canceller->forget();
        m_channel->canceller = std::move(c);
    }

    DatabaseLocation m_where;
    QString m_table;
    std::shared_ptr<Channel> m_channel;
    std::unique_ptr<Database> m_database;
    std::unique_ptr<RecordCursor> m_cursor;
    QString m_openError;
    QElapsedTimer m_clock;
    std::atomic<quint64> m_job{0};
    quint64 m_generation = 0;
    bool m_cancellerReady = false;
    bool m_timedOut = false;
};

struct RecordFront::Private
{
    enum class OpenState { NotAsked, Opening, Open, Failed };
    struct Item
    {
        enum Kind { Req, Edit, Callback, Stamp } kind = Req;
        Request what = Request::Open;
        Done done;
        QString field;     // for Stamp: the workstation
        QVariant value;    // for Stamp: the time
        qint64 key = -1;
        QString text;      // for Void: the reason
    };

    DatabaseLocation where;
    TableDef def;
    std::chrono::milliseconds timeout;
    std::shared_ptr<Channel> channel = std::make_shared<Channel>();
    QThread *thread = nullptr;
    FrontWorker *worker = nullptr;

    OpenState openState = OpenState::NotAsked;
    RowState row;
    QSet<QString> changed;
    QString lastError;
    QList<history::Entry> history;
    Edits pending;     // edits not sent yet
    QDateTime pendingStampAt;
    QString pendingStampWorkstation;
    QList<Item> queue;
    quint64 nextId = 0;
    quint64 inFlight = 0;
    Request inFlightWhat = Request::Open;
    Done inFlightDone;
    bool waiting = false;
    QTimer waitTimer;
    QTimer timeoutTimer;

    QVariant emptyValue(const QString &field) const
    {
        return def.isBoolean(field) ? QVariant(false) : QVariant(QString());
    }
    QVariant normalised(const QString &field, const QVariant &v) const
    {
        if (def.isBoolean(field))
            return QVariant(v.toBool());
        const QString text = v.toString();
        return QVariant(text.isNull() ? QString::fromLatin1("") : text);
    }
    void clearRow()
    {
        row.values.clear();
        for (const QString &field : def.fields)
            row.values.insert(field, emptyValue(field));
        changed.clear();
    }
    void applyEdit(const QString &field, const QVariant &value)
    {
        if (!row.hasRow) {
            clearRow();
            row.hasRow = true;
            row.isNew = true;
            row.key = -1;
        }
        row.values.insert(field, normalised(field, value));
        changed.insert(field);
        pending.append({field, value});
    }
    bool busy() const { return inFlight != 0 || !queue.isEmpty(); }
};

RecordFront::RecordFront(const DatabaseLocation &where, const QString &table,
                         std::chrono::milliseconds statementTimeout, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->where = where;
    const TableDef *known = findTable(table);
    d->def = known ? *known : TableDef{table, {}, {}, true};
    d->timeout = statementTimeout;
    d->channel->timeoutMs = statementTimeout.count();
    d->clearRow();

    d->thread = startThread(QStringLiteral("logbook ") + table);
    d->worker = new FrontWorker(where, table, d->channel);
    d->worker->moveToThread(d->thread);
    QObject::connect(d->thread, &QThread::finished, d->worker, &QObject::deleteLater);
    connect(d->worker, &FrontWorker::answered, this, &RecordFront::deliver, Qt::QueuedConnection);

    d->waitTimer.setSingleShot(true);
    d->timeoutTimer.setSingleShot(true);
    connect(&d->waitTimer, &QTimer::timeout, this, [this] {
        if (d->inFlight && !d->waiting) {
            d->waiting = true;
            Q_EMIT waitingChanged(true);
        }
    });
    connect(&d->timeoutTimer, &QTimer::timeout, this, [this] {
        abandon(timeoutText(d->timeout.count()), true);
    });
    liveFronts() << this;
}

RecordFront::~RecordFront()
{
    liveFronts().removeAll(this);
    if (d->inFlight) {
        d->channel->abandonedUpTo = d->inFlight;
        cancelNatively();
    }
    disconnect(d->worker, nullptr, this, nullptr);
    FrontWorker *worker = d->worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->closeDown(); }, Qt::QueuedConnection);
}

const TableDef &RecordFront::table() const { return d->def; }
const DatabaseLocation &RecordFront::location() const { return d->where; }

QString RecordFront::waitingText() const
{
    const Dialect *dialect = Dialect::forDriver(d->where.driver);
    if (dialect && !dialect->fileBased) {
        const QString server = native::serverName(d->where.location);
        if (!server.isEmpty())
            return tr("Waiting for the logbook on %1…").arg(server);
    }
    return tr("Waiting for the logbook…");
}

bool RecordFront::isOpen() const { return d->openState == Private::OpenState::Open; }
bool RecordFront::openFailed() const { return d->openState == Private::OpenState::Failed; }
bool RecordFront::isBusy() const { return d->busy(); }
bool RecordFront::isWaiting() const { return d->waiting; }
bool RecordFront::hasRow() const { return d->row.hasRow; }
bool RecordFront::isNewRow() const { return d->row.hasRow && d->row.isNew; }
bool RecordFront::isChanged() const { return !d->changed.isEmpty(); }
qint64 RecordFront::currentKey() const { return d->row.hasRow && !d->row.isNew ? d->row.key : -1; }
QVariant RecordFront::value(const QString &field) const { return d->row.values.value(field); }
QString RecordFront::lastError() const { return d->lastError; }
qint64 RecordFront::rowVersion() const { return d->row.version; }
bool RecordFront::isVoided() const { return d->row.hasRow && d->row.voided; }
QString RecordFront::voidReason() const { return d->row.voidReason; }
bool RecordFront::hasConflict() const { return d->row.conflict; }
QList<history::Entry> RecordFront::history() const { return d->history; }

bool RecordFront::readHistory(Done done)
{
    return enqueue(Request::History, -1, std::move(done));
}

bool RecordFront::voidEntry(const QString &reason, Done done)
{
    return enqueue(Request::Void, -1, std::move(done), reason);
}

QStringList RecordFront::changedFields() const
{
    QStringList out;
    for (const QString &field : d->def.fields)
        if (d->changed.contains(field))
            out << field;
    return out;
}

void RecordFront::setValue(const QString &field, const QVariant &value)
{
    if (!d->def.fields.contains(field)) {
        qWarning("RecordFront: table %s has no field %s", qPrintable(d->def.name), qPrintable(field));
        return;
    }
    if (d->busy()) {
        Private::Item it;
        it.kind = Private::Item::Edit;
        it.field = field;
        it.value = value;
        d->queue << it;
        return;
    }
    d->applyEdit(field, value);
}

bool RecordFront::request(Request what, Done done)
{
    return enqueue(what, -1, std::move(done));
}

bool RecordFront::moveToKey(qint64 key, Done done)
{
    return enqueue(Request::MoveToKey, key, std::move(done));
}

void RecordFront::stampNewRow(const QDateTime &utc, const QString &workstation)
{
    if (d->busy()) {
        Private::Item it;
        it.kind = Private::Item::Stamp;
        it.value = utc;
        it.field = workstation;
        d->queue << it;
        return;
    }
    d->pendingStampAt = utc;
    d->pendingStampWorkstation = workstation;
}

bool RecordFront::enqueue(Request what, qint64 key, Done done, const QString &text)
{
    if (what != Request::Open && d->openState == Private::OpenState::Failed) {
        if (done)
            done(false);
        return false;
    }
    if (what == Request::Open && d->openState != Private::OpenState::Open)
        d->openState = Private::OpenState::Opening;
    auto result = std::make_shared<int>(-1);
    Private::Item it;
    it.kind = Private::Item::Req;
    it.what = what;
    it.key = key;
    it.text = text;
    it.done = [result, done](bool ok) {
        *result = ok ? 1 : 0;
        if (done)
            done(ok);
    };
    d->queue << it;
    pump();
    if (patience().count() > 0 && *result < 0) {
        QElapsedTimer clock;
        clock.start();
        while (*result < 0 && clock.elapsed() < patience().count()) {
            if (d->channel->ready.tryAcquire(1, int(patience().count() - clock.elapsed())))
                deliver();
        }
    }
    return *result != 0;
}

void RecordFront::whenSettled(Done done)
{
    if (!d->busy()) {
        if (done)
            done(true);
        return;
    }
    Private::Item it;
    it.kind = Private::Item::Callback;
    it.done = std::move(done);
    d->queue << it;
}

void RecordFront::pump()
{
    while (!d->inFlight && !d->queue.isEmpty()) {
        Private::Item it = d->queue.takeFirst();
        if (it.kind == Private::Item::Edit) {
            d->applyEdit(it.field, it.value);
            continue;
        }
        if (it.kind == Private::Item::Callback) {
            if (it.done)
                it.done(true);
            continue;
        }
        if (it.kind == Private::Item::Stamp) {
            d->pendingStampAt = it.value.toDateTime();
            d->pendingStampWorkstation = it.field;
            continue;
        }
        Job job;
        job.id = ++d->nextId;
        job.what = it.what;
        job.key = it.key;
        job.text = it.text;
        job.edits = std::move(d->pending);
        d->pending.clear();
        job.stampAt = std::exchange(d->pendingStampAt, QDateTime());
        job.stampWorkstation = std::exchange(d->pendingStampWorkstation, QString());
        d->inFlight = job.id;
        d->inFlightWhat = it.what;
        d->inFlightDone = std::move(it.done);
        FrontWorker *worker = d->worker;
        QMetaObject::invokeMethod(worker, [worker, job] { worker->run(job); }, Qt::QueuedConnection);
        d->waitTimer.start(waitingAfter());
        if (d->timeout.count() > 0)
            d->timeoutTimer.start(d->timeout);
    }
    if (!d->busy())
        Q_EMIT settled();
}

void RecordFront::deliver()
{
    for (;;) {
        Answer a;
        {
            QMutexLocker lock(&d->channel->mutex);
            if (d->channel->answers.isEmpty())
                return;
            a = d->channel->answers.takeFirst();
        }
        if (a.id == d->inFlight && a.what == Request::History)
            d->history = a.history;
        if (a.id == d->inFlight)
            finish(a.ok, a.error, &a.row, a.what == Request::Open);
        else
            late(a.ok, a.what == Request::Open, &a.row);
    }
}

// The answer of a request the user stopped waiting for: what the engine
// did is taken over, with the edits made since on top.
void RecordFront::late(bool ok, bool wasOpen, const void *rowRef)
{
    const RowState &r = *static_cast<const RowState *>(rowRef);
    if (wasOpen) {
        if (ok && d->openState != Private::OpenState::Open) {
            d->openState = Private::OpenState::Open;
            d->row = r;
            d->changed.clear();
            Q_EMIT opened(true);
            Q_EMIT rowShown();
        }
        return;
    }
    if (d->openState != Private::OpenState::Open)
        return;
    const bool moved = r.hasRow != d->row.hasRow || r.isNew != d->row.isNew || r.key != d->row.key;
    d->row.hasRow = r.hasRow;
    d->row.isNew = r.isNew;
    d->row.key = r.key;
    d->row.version = r.version;
    d->row.voided = r.voided;
    d->row.voidReason = r.voidReason;
    d->row.conflict = r.conflict;
    if (!d->inFlight) {
        if (!r.changed) {
            d->changed.clear();
            for (const auto &edit : std::as_const(d->pending))
                d->changed.insert(edit.first);
        }
        if (moved) {
            d->row.values = r.values;
            for (const auto &[field, value] : std::as_const(d->pending))
                d->row.values.insert(field, d->normalised(field, value));
            Q_EMIT rowShown();
        }
    }
}

void RecordFront::finish(bool ok, const QString &error, const void *rowRef, bool wasOpen)
{
    const RowState *r = static_cast<const RowState *>(rowRef);
    d->inFlight = 0;
    d->waitTimer.stop();
    d->timeoutTimer.stop();
    const Request what = d->inFlightWhat;
    Done done = std::move(d->inFlightDone);
    d->inFlightDone = nullptr;
    if (wasOpen)
        d->openState = ok ? Private::OpenState::Open : Private::OpenState::Failed;
    if (r && (ok || !wasOpen)) {
        d->row = *r;
        if (!r->changed)
            d->changed.clear();
    }
    d->lastError = error;
    // Edits made while it ran belong to the row it left current.
    while (!d->queue.isEmpty() && d->queue.first().kind == Private::Item::Edit) {
        const Private::Item it = d->queue.takeFirst();
        d->applyEdit(it.field, it.value);
    }
    if (d->waiting) {
        d->waiting = false;
        Q_EMIT waitingChanged(false);
    }
    QList<Done> dropped;
    if (ok) {
        if (wasOpen)
            Q_EMIT opened(true);
        if (what != Request::Save && what != Request::History)
            Q_EMIT rowShown();
    } else {
        // The requests after a refused one are dropped; their edits stay.
        const QList<Private::Item> rest = std::move(d->queue);
        d->queue.clear();
        for (const Private::Item &it : rest) {
            if (it.kind == Private::Item::Edit)
                d->applyEdit(it.field, it.value);
            else if (it.done)
                dropped << it.done;
        }
        if (wasOpen)
            Q_EMIT opened(false);
        Q_EMIT failed(error);
    }
    if (done)
        done(ok);
    for (const Done &f : dropped)
        f(false);
    pump();
}

void RecordFront::abandon(const QString &message, bool complete)
{
    if (!d->inFlight)
        return;
    d->channel->abandonedUpTo = d->inFlight;
    cancelNatively();
    const bool wasOpen = d->inFlightWhat == Request::Open;
    finish(false, complete || wasOpen ? message : keptText(message), nullptr, wasOpen);
}

void RecordFront::stopWaiting()
{
    abandon(tr("The logbook did not answer."));
}

void RecordFront::cancelNatively()
{
    // A cancel request to a server travels the network: never on this
    // thread.
    if (auto c = d->channel->currentCanceller())
        std::thread([c] { c->cancel(); }).detach();
}

bool RecordFront::waitForIdle(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    deliver();
    while (d->busy() && clock.elapsed() < limit.count()) {
        if (d->channel->ready.tryAcquire(1, int(limit.count() - clock.elapsed())))
            deliver();
    }
    return !d->busy();
}

QString RecordFront::unstoredText() const
{
    const QStringList fields = changedFields();
    if (fields.isEmpty() || !d->row.hasRow)
        return {};
    QStringList parts;
    for (const QString &field : fields) {
        QString v = d->row.values.value(field).toString();
        v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        parts << QStringLiteral("%1 = \"%2\"").arg(field, v);
    }
    return d->def.name + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

void RecordFront::setPatience(std::chrono::milliseconds patience) { patienceSetting() = patience; }
std::chrono::milliseconds RecordFront::patience() { return patienceSetting(); }
QList<RecordFront *> RecordFront::all() { return liveFronts(); }

bool RecordFront::finishAll(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    bool allDone = true;
    for (const QPointer<QThread> &t : liveThreads()) {
        if (!t)
            continue;
        const qint64 left = qMax<qint64>(0, limit.count() - clock.elapsed());
        if (!t->wait(QDeadlineTimer(left)))
            allDone = false;
    }
    liveThreads().removeAll(nullptr);
    return allDone;
}

QThread *RecordFront::startLogbookThread(const QString &name)
{
    return startThread(name);
}

void RecordFront::openInBackground(const DatabaseLocation &where, QObject *context,
                                   std::function<void(const QString &error)> done)
{
    QThread *thread = startThread(QStringLiteral("logbook check"));
    auto *worker = new QObject;
    worker->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    QPointer<QObject> guard(context);
    QMetaObject::invokeMethod(worker, [where, guard, done] {
        QString error;
        {
            auto db = Database::open(where, &error);
            if (db)
                error.clear();
        }
        QMetaObject::invokeMethod(QCoreApplication::instance(), [guard, done, error] {
            if (guard && done)
                done(error);
        }, Qt::QueuedConnection);
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
}

void RecordFront::runInBackground(const QString &name, QObject *context, std::function<void()> work,
                                  std::function<void()> done)
{
    QThread *thread = startThread(name);
    auto *worker = new QObject;
    worker->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    QPointer<QObject> guard(context);
    QMetaObject::invokeMethod(worker, [guard, work = std::move(work), done = std::move(done)] {
        if (work)
            work();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [guard, done] {
            if (guard && done)
                done();
        }, Qt::QueuedConnection);
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
}

} // namespace bravik::logbook

#include "RecordFront.moc"
