#include "LaunchWriter.h"

#include "LaunchLog.h"
#include "NativeHandle.h"
#include "RecordFront.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

namespace bravik::logbook {

namespace {

using Ticket = LaunchWriter::Ticket;

struct Job
{
    quint64 id = 0;
    Ticket ticket = -1;
    bool isInsert = false;
    QVariantMap values;
};

struct Answer
{
    quint64 id = 0;
    Ticket ticket = -1;
    bool isInsert = false;
    bool ok = false;
    qint64 key = -1;
    QString error;
};

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the writer and its thread share; it outlives whichever goes first.
struct Channel
{
    QMutex mutex;
    QList<Answer> answers;
    QSemaphore ready;
    std::shared_ptr<native::Canceller> canceller;
    qint64 timeoutMs = 20000;
    std::atomic<bool> closing{false};
    std::atomic<quint64> attempt{0};          // the attempt running now, 0 when none
    std::atomic<qint64> attemptStartedMs{0};
    std::atomic<quint64> cancelledAttempt{0}; // the last attempt cancelled for time
    std::atomic<int> retries{0};

    std::shared_ptr<native::Canceller> currentCanceller()
    {
        QMutexLocker lock(&mutex);
        return canceller;
    }
    void cancelNow()
    {
        // A cancel request to a server travels the network: never on the
        // caller's thread.
        if (auto c = currentCanceller())
            std::thread([c] { c->cancel(); }).detach();
    }
};

QString noRecordText()
{
    return QCoreApplication::translate("LaunchWriter", "no launch record was written for this launch");
}

QString valuesText(const QVariantMap &values)
{
    QStringList parts;
    for (const QString &field : launchlog::fields()) {
        if (!values.contains(field))
            continue;
        QString v = values.value(field).toString();
        v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        v.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        v.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        parts << QStringLiteral("%1 = \"%2\"").arg(field, v);
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

// Lives on the writer's thread: the connection and the statements.
class LaunchWorker : public QObject
{
    Q_OBJECT
public:
    LaunchWorker(const DatabaseLocation &where, std::shared_ptr<Channel> channel)
        : m_where(where)
        , m_channel(std::move(channel))
    {
    }

    void run(const Job &job)
    {
        if (m_channel->closing)
            return;
        Answer a;
        a.id = job.id;
        a.ticket = job.ticket;
        a.isInsert = job.isInsert;
        if (!job.isInsert && !m_keys.contains(job.ticket)) {
            a.error = noRecordText();
        } else {
            for (;;) {
                const quint64 attempt = ++m_attempts;
                m_channel->attemptStartedMs = steadyMs();
                m_channel->attempt = attempt;
                a.error.clear();
                if (Database *db = database(&a.error)) {
                    if (job.isInsert) {
                        a.key = launchlog::insert(*db, job.values, &a.error);
                        a.ok = a.key >= 0;
                    } else {
                        a.key = m_keys.value(job.ticket);
                        a.ok = launchlog::update(*db, a.key, job.values, &a.error);
                    }
                }
                m_channel->attempt = 0;
                // Cancelled (or a lock wait given up) because it took too
                // long: the logbook did not refuse it, so it is tried again.
                if (a.ok || m_channel->cancelledAttempt != attempt || m_channel->closing)
                    break;
                ++m_channel->retries;
                QThread::msleep(100);
            }
            if (job.isInsert && a.ok)
                m_keys.insert(job.ticket, a.key);
        }
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
        m_database.reset();
        QThread::currentThread()->quit();
    }

Q_SIGNALS:
    void answered();

private:
    Database *database(QString *error)
    {
        if (m_database && m_database->isBroken() && !m_database->reopen(error))
            return nullptr;
        if (!m_database) {
            m_database = Database::open(m_where, error);
            if (!m_database)
                return nullptr;
            native::setLockWait(m_database->connection(), [this] {
                const quint64 now = m_channel->attempt;
                if (m_channel->closing || (now && m_channel->cancelledAttempt == now))
                    return true;
                if (steadyMs() - m_channel->attemptStartedMs <= m_channel->timeoutMs)
                    return false;
                m_channel->cancelledAttempt = now;
                return true;
            });
        }
        if (m_generation != m_database->generation() || !m_cancellerReady) {
            m_generation = m_database->generation();
            m_cancellerReady = true;
            auto c = native::cancellerFor(m_database->connection());
            QMutexLocker lock(&m_channel->mutex);
            if (m_channel->canceller)
                m_channel->canceller->forget();
            m_channel->canceller = std::move(c);
        }
        return m_database.get();
    }

    DatabaseLocation m_where;
    std::shared_ptr<Channel> m_channel;
    std::unique_ptr<Database> m_database;
    QHash<Ticket, qint64> m_keys;
    quint64 m_attempts = 0;
    quint64 m_generation = 0;
    bool m_cancellerReady = false;
};

struct LaunchWriter::Private
{
    DatabaseLocation where;
    std::shared_ptr<Channel> channel = std::make_shared<Channel>();
    QPointer<QThread> thread;
    LaunchWorker *worker = nullptr;
    QList<Job> pending; // sent, not answered, in order
    QHash<quint64, Inserted> insertDone;
    QHash<quint64, Updated> updateDone;
    QHash<Ticket, qint64> keys;
    QSet<Ticket> refusedTickets;
    Ticket nextTicket = 0;
    quint64 nextId = 0;
    QTimer watchdog;
    bool stopped = false;

    void send(const Job &job)
    {
        pending << job;
        LaunchWorker *w = worker;
        QMetaObject::invokeMethod(w, [w, job] { w->run(job); }, Qt::QueuedConnection);
        watchdog.start();
    }

    bool answered(quint64 id) const
    {
        for (const Job &j : pending)
            if (j.id == id)
                return false;
        return true;
    }
};

LaunchWriter::LaunchWriter(const DatabaseLocation &where, std::chrono::milliseconds statementTimeout, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->where = where;
    d->channel->timeoutMs = statementTimeout.count() > 0 ? statementTimeout.count() : 20000;
    d->worker = new LaunchWorker(where, d->channel);
    // Counted with the record windows' threads, so quitting (and a test's
    // end) can wait for it once it was left to finish by itself.
    QThread *thread = RecordFront::startLogbookThread(QStringLiteral("logbook LaunchRecord"));
    d->thread = thread;
    d->worker->moveToThread(thread);
    connect(thread, &QThread::finished, d->worker, &QObject::deleteLater);
    connect(d->worker, &LaunchWorker::answered, this, &LaunchWriter::deliver, Qt::QueuedConnection);

    d->watchdog.setInterval(100);
    connect(&d->watchdog, &QTimer::timeout, this, &LaunchWriter::watchdog);
}

LaunchWriter::~LaunchWriter()
{
    if (!d->stopped) {
        d->channel->closing = true;
        d->channel->cancelNow();
        disconnect(d->worker, nullptr, this, nullptr);
        LaunchWorker *worker = d->worker;
        QMetaObject::invokeMethod(worker, [worker] { worker->closeDown(); }, Qt::QueuedConnection);
    }
}

const DatabaseLocation &LaunchWriter::location() const { return d->where; }

LaunchWriter::Ticket LaunchWriter::insert(const QVariantMap &values, Inserted done)
{
    const Ticket ticket = ++d->nextTicket;
    Job job;
    job.id = ++d->nextId;
    job.ticket = ticket;
    job.isInsert = true;
    job.values = values;
    if (done)
        d->insertDone.insert(job.id, std::move(done));
    d->send(job);
    waitFor(job.id);
    return ticket;
}

void LaunchWriter::update(Ticket ticket, const QVariantMap &values, Updated done)
{
    if (ticket <= 0 || ticket > d->nextTicket || d->refusedTickets.contains(ticket)) {
        if (done)
            done(false, noRecordText());
        return;
    }
    Job job;
    job.id = ++d->nextId;
    job.ticket = ticket;
    job.values = values;
    if (done)
        d->updateDone.insert(job.id, std::move(done));
    d->send(job);
    waitFor(job.id);
}

void LaunchWriter::waitFor(quint64 jobId)
{
    const auto patience = RecordFront::patience();
    if (patience.count() <= 0)
        return;
    QElapsedTimer clock;
    clock.start();
    while (!d->answered(jobId) && clock.elapsed() < patience.count())
        if (d->channel->ready.tryAcquire(1, int(patience.count() - clock.elapsed())))
            deliver();
}

qint64 LaunchWriter::keyOf(Ticket ticket) const { return d->keys.value(ticket, -1); }
bool LaunchWriter::refused(Ticket ticket) const { return d->refusedTickets.contains(ticket); }
bool LaunchWriter::isBusy() const { return !d->pending.isEmpty(); }
int LaunchWriter::retries() const { return d->channel->retries; }

void LaunchWriter::deliver()
{
    for (;;) {
        Answer a;
        {
            QMutexLocker lock(&d->channel->mutex);
            if (d->channel->answers.isEmpty())
                break;
            a = d->channel->answers.takeFirst();
        }
        for (qsizetype i = 0; i < d->pending.size(); ++i) {
            if (d->pending.at(i).id == a.id) {
                d->pending.removeAt(i);
                break;
            }
        }
        if (a.isInsert) {
            if (a.ok)
                d->keys.insert(a.ticket, a.key);
            else
                d->refusedTickets.insert(a.ticket);
            if (Inserted done = d->insertDone.take(a.id))
                done(a.ok ? a.key : -1, a.error);
        } else if (Updated done = d->updateDone.take(a.id)) {
            done(a.ok, a.error);
        }
    }
    if (d->pending.isEmpty())
        d->watchdog.stop();
}

void LaunchWriter::watchdog()
{
    Channel &c = *d->channel;
    const quint64 now = c.attempt;
    if (!now || c.cancelledAttempt == now)
        return;
    if (steadyMs() - c.attemptStartedMs > c.timeoutMs) {
        c.cancelledAttempt = now;
        c.cancelNow();
    }
}

bool LaunchWriter::waitForIdle(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    deliver();
    while (isBusy() && clock.elapsed() < limit.count()) {
        if (d->channel->ready.tryAcquire(1, int(qMin<qint64>(100, limit.count() - clock.elapsed()))))
            deliver();
        watchdog();
    }
    return !isBusy();
}

QStringList LaunchWriter::quit(std::chrono::milliseconds limit, bool *finished)
{
    QElapsedTimer clock;
    clock.start();
    waitForIdle(limit);
    QStringList lost;
    for (const Job &j : std::as_const(d->pending)) {
        const QString table = launchlog::tableName();
        if (j.isInsert)
            lost << QStringLiteral("insert %1: %2").arg(table, valuesText(j.values));
        else if (d->keys.contains(j.ticket))
            lost << QStringLiteral("update %1 %2: %3").arg(table).arg(d->keys.value(j.ticket)).arg(valuesText(j.values));
        else
            lost << QStringLiteral("update %1 (the record of the insert above): %2").arg(table, valuesText(j.values));
    }
    d->pending.clear();
    d->insertDone.clear();
    d->updateDone.clear();
    d->watchdog.stop();
    d->stopped = true;
    d->channel->closing = true;
    d->channel->cancelNow();
    disconnect(d->worker, nullptr, this, nullptr);
    LaunchWorker *worker = d->worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->closeDown(); }, Qt::QueuedConnection);
    bool ended = true;
    if (d->thread)
        ended = d->thread->wait(QDeadlineTimer(qMax<qint64>(200, limit.count() - clock.elapsed())));
    if (finished)
        *finished = ended;
    return lost;
}

} // namespace bravik::logbook

#include "LaunchWriter.moc"
