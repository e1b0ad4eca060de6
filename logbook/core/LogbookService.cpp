#include "LogbookService.h"

#include "NativeHandle.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QMutex>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QWaitCondition>
#include <atomic>
#include <cstdio>
#include <deque>
#include <map>

namespace bravik::logbook {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum class RunState : int { Queued, Running, Committing, Withdrawn };

class Worker;

struct Job
{
    quint64 id = 0;
    quint64 clientId = 0;
    JobOptions options;
    std::function<void(JobContext &)> work;   // none: drop the client's state
    std::function<void(const JobAnswer &)> done;
    std::atomic<int> state{int(RunState::Queued)};
    std::atomic<bool> stop{false};
    std::atomic<qint64> startedNs{0};   // when its deadline began; 0 before
    Clock::time_point submittedAt = Clock::now();

    // Written by the worker, read on the main thread after it posted.
    bool failed = false;
    bool broken = false;     // failed on a connection that broke, or none could be made
    QString error;

    // Main thread only.
    bool answered = false;
    JobStatus withdrawnAs = JobStatus::Withdrawn;
    int attempts = 0;
    qint64 progressAtMs = 0;   // worker thread only

    bool isWrite() const { return options.write != JobOptions::Write::None; }
    bool unattended() const { return options.write == JobOptions::Write::Unattended; }
    bool withdrawn() const { return state.load() == int(RunState::Withdrawn); }
};
using JobPtr = std::shared_ptr<Job>;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

std::chrono::milliseconds &timeoutSetting()
{
    static std::chrono::milliseconds timeout{20000};
    return timeout;
}

std::map<QString, LogbookService::KeptHandler> &keptHandlers()
{
    static std::map<QString, LogbookService::KeptHandler> handlers;
    return handlers;
}

QMutex &keptHandlersLock()
{
    static QMutex m;
    return m;
}

QList<LogbookService *> &services()
{
    static QList<LogbookService *> all;
    return all;
}

// Services left behind at shutdown because a thread of theirs is stuck in a
// statement on a hung server: kept here, never freed, for that thread still
// works on them until the program ends (the list itself is never destroyed,
// so they stay reachable past the static destructors).
QList<LogbookService *> &leftBehind()
{
    static auto *kept = new QList<LogbookService *>;
    return *kept;
}

QString timeoutText(milliseconds ms)
{
    return QCoreApplication::translate("LogbookService", "The logbook did not answer within %1 s.")
        .arg(double(ms.count()) / 1000.0);
}

QString withdrawnText()
{
    return QCoreApplication::translate("LogbookService", "The logbook did not answer.");
}

QString err(const char *text)
{
    return QCoreApplication::translate("LogbookService", text);
}

} // namespace

struct JobContext::Private
{
    Worker *worker = nullptr;
    JobPtr job;
    std::unique_ptr<Database> other;   // a second logbook, for this job only
};

struct LogbookService::Private
{
    LogbookService *q = nullptr;
    DatabaseLocation where;
    QMutex mutex;        // the workers' inboxes
    QMutex openMutex;    // one connection opened at a time: the first upgrades
    bool opened = false; // guarded by openMutex
    bool keptReplayed = false;
    QList<Worker *> shortWorkers;
    QList<Worker *> longWorkers;
    std::deque<JobPtr> longInbox;   // guarded by mutex
    QWaitCondition longReady;
    QThreadPool cancels;            // cancel requests travel the network

    struct Queue
    {
        QPointer<LogbookClient> client;
        bool clientGone = false;
        Worker *pinned = nullptr;
        std::deque<JobPtr> jobs;    // not answered yet, in order; the head may be dispatched
        JobPtr dispatched;          // given to a worker, not finished there yet
        bool waiting = false;
        bool retryPending = false;
    };
    std::map<quint64, Queue> queues;   // main thread only
    quint64 nextJobId = 0;
    int nextPin = 0;
    QTimer tick;
    bool shuttingDown = false;

    Worker *pinFor();
    void dispatch(Queue &queue);
    void dispatchAll();
    void finished(const JobPtr &job);
    void answer(Queue &queue, const JobPtr &job, JobStatus status, const QString &error);
    bool withdraw(Queue &queue, const JobPtr &job, JobStatus as);
    void cancelNatively(const JobPtr &job);
    void onTick();
    void updateWaiting(Queue &queue);
    Queue *queueOf(quint64 clientId);
    int outstanding() const;
    bool writesOutstanding() const;
    void appendKept(const QList<KeptWrite> &writes, QStringList *lines);
    void replayKept(Database &db);
    milliseconds deadlineOf(const Job &job) const;
};

namespace {

// One of the service's threads and its connection.
class Worker : public QThread
{
public:
    Worker(LogbookService::Private *service, JobOptions::Lane lane, int index)
        : m_service(service)
        , m_lane(lane)
    {
        setObjectName(QStringLiteral("logbook %1 %2")
                          .arg(lane == JobOptions::Lane::Short ? QStringLiteral("short") : QStringLiteral("long"))
                          .arg(index));
    }

    // Main thread: a job for this worker (short lane).
    void give(const JobPtr &job)
    {
        QMutexLocker lock(&m_service->mutex);
        m_inbox.push_back(job);
        m_ready.wakeOne();
    }

    void quitSoon()
    {
        QMutexLocker lock(&m_service->mutex);
        m_quitting = true;
        m_ready.wakeAll();
        m_service->longReady.wakeAll();
    }

    // Any thread: stops the statement running now.
    std::shared_ptr<native::Canceller> canceller()
    {
        QMutexLocker lock(&m_cancelMutex);
        return m_canceller;
    }

    JobOptions::Lane lane() const { return m_lane; }
    LogbookService::Private *service() const { return m_service; }

    // Worker thread: the job running now (for the file-lock wait).
    Job *current() const { return m_current.load(); }

    Database *database() { return m_database.get(); }
    const DatabaseLocation &location() const { return m_service->where; }

    void *findState(quint64 client, std::type_index type)
    {
        auto it = m_states.find(client);
        if (it == m_states.end())
            return nullptr;
        auto s = it->second.find(type);
        return s == it->second.end() ? nullptr : s->second.get();
    }
    void *putState(quint64 client, std::type_index type, std::shared_ptr<void> state)
    {
        auto &slot = m_states[client][type];
        slot = std::move(state);
        return slot.get();
    }

protected:
    void run() override
    {
        for (;;) {
            JobPtr job = take();
            if (!job)
                break;
            execute(job);
        }
        m_states.clear();
        {
            QMutexLocker lock(&m_cancelMutex);
            if (m_canceller)
                m_canceller->forget();
            m_canceller.reset();
        }
        m_database.reset();
    }

private:
    JobPtr take()
    {
        QMutexLocker lock(&m_service->mutex);
        for (;;) {
            if (m_quitting)
                return nullptr;
            std::deque<JobPtr> &inbox = m_lane == JobOptions::Lane::Short ? m_inbox : m_service->longInbox;
            if (!inbox.empty()) {
                JobPtr job = inbox.front();
                inbox.pop_front();
                return job;
            }
            (m_lane == JobOptions::Lane::Short ? m_ready : m_service->longReady).wait(&m_service->mutex);
        }
    }

    void execute(const JobPtr &job)
    {
        if (!job->work) {
            // The client is gone and this was its last job: its state goes.
            m_states.erase(job->clientId);
            post(job);
            return;
        }
        int expected = int(RunState::Queued);
        if (!job->state.compare_exchange_strong(expected, int(RunState::Running))) {
            post(job);   // withdrawn before it began
            return;
        }
        m_current = job.get();
        job->startedNs = nowNs();
        if (ensureOpen(job)) {
            JobContext::Private p{this, job, nullptr};
            JobContext context(&p);
            job->work(context);
            if (job->failed && m_database && m_database->isBroken())
                job->broken = true;
        }
        m_current = nullptr;
        post(job);
    }

    bool ensureOpen(const JobPtr &job)
    {
        if (m_database && !m_database->isBroken())
            return true;
        QString error;
        if (m_database) {
            // A server connection that broke is made again before the job.
            if (m_database->reopen(&error)) {
                refreshCanceller();
                return true;
            }
            job->failed = job->broken = true;
            job->error = error;
            return false;
        }
        // Waiting while another connection creates or upgrades the logbook
        // does not count against the deadline.
        job->startedNs = 0;
        QMutexLocker lock(&m_service->openMutex);
        job->startedNs = nowNs();
        if (job->stop) {
            job->failed = true;
            return false;
        }
        m_database = Database::open(m_service->where, &error);
        if (!m_database) {
            job->failed = job->broken = true;
            job->error = error;
            return false;
        }
        // A wait for another program's write lock ends when the job is
        // stopped (the client gave up, or its deadline passed).
        native::setLockWait(m_database->connection(), [this] {
            const Job *j = m_current.load();
            return j && j->stop.load();
        });
        refreshCanceller();
        if (!m_service->opened) {
            m_service->opened = true;
            m_service->replayKept(*m_database);
        }
        return true;
    }

    void refreshCanceller()
    {
        auto c = native::cancellerFor(m_database->connection());
        QMutexLocker lock(&m_cancelMutex);
        if (m_canceller)
            m_canceller->forget();
        m_canceller = std::move(c);
    }

    void post(const JobPtr &job)
    {
        LogbookService::Private *s = m_service;
        QMetaObject::invokeMethod(s->q, [s, job] { s->finished(job); }, Qt::QueuedConnection);
    }

    LogbookService::Private *m_service;
    JobOptions::Lane m_lane;
    std::deque<JobPtr> m_inbox;   // guarded by the service's mutex
    QWaitCondition m_ready;
    bool m_quitting = false;
    std::unique_ptr<Database> m_database;
    QMutex m_cancelMutex;
    std::shared_ptr<native::Canceller> m_canceller;
    std::atomic<Job *> m_current{nullptr};
    std::map<quint64, std::map<std::type_index, std::shared_ptr<void>>> m_states;
};

} // namespace

// ---- JobContext

Database &JobContext::database() { return *d->worker->database(); }

Database *JobContext::otherDatabase(const DatabaseLocation &where, QString *error)
{
    if (d->other && d->other->location() == where)
        return d->other.get();
    d->other = Database::open(where, error);
    return d->other.get();
}
const DatabaseLocation &JobContext::location() const { return d->worker->location(); }
bool JobContext::stopRequested() const { return d->job->stop.load(); }

void JobContext::progress(double share)
{
    Job *job = d->job.get();
    const qint64 now = nowNs() / 1000000;
    if (share < 1.0 && now - job->progressAtMs < 50)
        return;
    job->progressAtMs = now;
    LogbookService::Private *s = d->worker->service();
    const quint64 clientId = job->clientId;
    QMetaObject::invokeMethod(s->q, [s, clientId, share] {
        if (auto *queue = s->queueOf(clientId); queue && queue->client)
            Q_EMIT queue->client->progressed(share);
    }, Qt::QueuedConnection);
}

bool JobContext::mayCommit()
{
    int expected = int(RunState::Running);
    return d->job->state.compare_exchange_strong(expected, int(RunState::Committing))
           || expected == int(RunState::Committing);
}

void JobContext::fail(const QString &message)
{
    d->job->failed = true;
    if (d->job->error.isEmpty())
        d->job->error = message;
}

bool JobContext::hasFailed() const { return d->job->failed; }

void *JobContext::findState(std::type_index type) const
{
    return d->worker->lane() == JobOptions::Lane::Short ? d->worker->findState(d->job->clientId, type) : nullptr;
}

void *JobContext::putState(std::type_index type, std::shared_ptr<void> state)
{
    Q_ASSERT_X(d->worker->lane() == JobOptions::Lane::Short, "JobContext::state", "state lives on the short lane");
    return d->worker->putState(d->job->clientId, type, std::move(state));
}

// ---- LogbookService

LogbookService &LogbookService::at(const DatabaseLocation &where)
{
    for (LogbookService *s : services())
        if (s->d->where == where)
            return *s;
    auto *s = new LogbookService(where);
    services() << s;
    return *s;
}

QList<LogbookService *> LogbookService::all() { return services(); }

LogbookService::LogbookService(const DatabaseLocation &where)
    : d(std::make_unique<Private>())
{
    d->q = this;
    d->where = where;
    for (int i = 0; i < 2; ++i) {
        d->shortWorkers << new Worker(d.get(), JobOptions::Lane::Short, i);
        d->longWorkers << new Worker(d.get(), JobOptions::Lane::Long, i);
    }
    d->cancels.setMaxThreadCount(4);
    d->cancels.setExpiryTimeout(2000);
    d->tick.setInterval(20);
    connect(&d->tick, &QTimer::timeout, this, [this] { d->onTick(); });
}

LogbookService::~LogbookService()
{
    services().removeAll(this);
    for (Worker *w : d->shortWorkers + d->longWorkers)
        w->quitSoon();
    for (Worker *w : d->shortWorkers + d->longWorkers) {
        w->wait();
        delete w;
    }
}

const DatabaseLocation &LogbookService::location() const { return d->where; }

void LogbookService::setStatementTimeout(milliseconds timeout) { timeoutSetting() = timeout; }
milliseconds LogbookService::statementTimeout() { return timeoutSetting(); }

QString LogbookService::waitingText() const
{
    const Dialect *dialect = Dialect::forDriver(d->where.driver);
    if (dialect && !dialect->fileBased) {
        const QString server = native::serverName(d->where.location);
        if (!server.isEmpty())
            return tr("Waiting for the logbook on %1…").arg(server);
    }
    return tr("Waiting for the logbook…");
}

bool LogbookService::hasOpened() const
{
    QMutexLocker lock(&d->openMutex);
    return d->opened;
}

QString LogbookService::keptFile() const
{
    const Dialect *dialect = Dialect::forDriver(d->where.driver);
    if (dialect && dialect->fileBased)
        return QFileInfo(d->where.location).absoluteFilePath() + QStringLiteral(".unstored");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QByteArray id = QCryptographicHash::hash((d->where.driver + QLatin1Char('\n') + d->where.location).toUtf8(),
                                                   QCryptographicHash::Sha1)
                              .toHex()
                              .left(16);
    return QDir(folder).filePath(QStringLiteral("unstored-%1").arg(QString::fromLatin1(id)));
}

void LogbookService::registerKeptHandler(const QString &kind, KeptHandler handler)
{
    QMutexLocker lock(&keptHandlersLock());
    keptHandlers()[kind] = std::move(handler);
}

int LogbookService::outstanding() const { return d->outstanding(); }

void LogbookService::announceChanged(const QString &table, qint64 key)
{
    Q_EMIT changed(table, key);
}

QStringList LogbookService::shutdownAll(milliseconds grace, bool *finished)
{
    QElapsedTimer clock;
    clock.start();
    QStringList lines;
    const QList<LogbookService *> list = services();
    for (LogbookService *s : list) {
        s->d->shuttingDown = true;
        // Reads and long jobs are of no use any more; writes go on.
        for (auto &[id, queue] : s->d->queues) {
            for (const JobPtr &job : std::deque<JobPtr>(queue.jobs))
                if (!job->isWrite())
                    s->d->withdraw(queue, job, JobStatus::Withdrawn);
            queue.retryPending = false;
        }
        s->d->dispatchAll();
    }
    auto writesLeft = [&list] {
        for (LogbookService *s : list)
            if (s->d->writesOutstanding())
                return true;
        return false;
    };
    while (writesLeft() && clock.elapsed() < grace.count()) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    for (LogbookService *s : list) {
        QList<KeptWrite> kept;
        QStringList unsure;
        for (auto &[id, queue] : s->d->queues) {
            for (const JobPtr &job : std::deque<JobPtr>(queue.jobs)) {
                if (job->answered || !job->isWrite())
                    continue;
                const bool stopped = s->d->withdraw(queue, job, JobStatus::Withdrawn);
                if (job->options.kept.isEmpty())
                    continue;
                if (stopped)
                    kept << job->options.kept;
                else
                    unsure << job->options.kept.text;
            }
        }
        s->d->appendKept(kept, &lines);
        for (const QString &text : unsure)
            lines << QStringLiteral("perhaps not stored (the logbook did not answer while it was being stored): %1")
                         .arg(text);
    }
    for (const QString &line : lines)
        std::fprintf(stderr, "bravik-log: %s\n", qPrintable(line));
    std::fflush(stderr);

    bool allEnded = true;
    for (LogbookService *s : list) {
        for (Worker *w : s->d->shortWorkers + s->d->longWorkers)
            w->quitSoon();
    }
    for (LogbookService *s : list) {
        for (Worker *w : s->d->shortWorkers + s->d->longWorkers) {
            const qint64 left = qMax<qint64>(100, grace.count() - clock.elapsed());
            if (w->isRunning() && !w->wait(QDeadlineTimer(left)))
                allEnded = false;
        }
        if (!s->d->cancels.waitForDone(int(qMax<qint64>(100, grace.count() - clock.elapsed()))))
            allEnded = false;
    }
    if (allEnded) {
        for (LogbookService *s : list)
            delete s;
    } else {
        // A thread stuck in a statement on a hung server: the services stay
        // (their threads hold them); the program ends without waiting.
        for (LogbookService *s : list) {
            services().removeAll(s);
            leftBehind() << s;
        }
    }
    if (finished)
        *finished = allEnded;
    return lines;
}

// ---- the service's bookkeeping (main thread)

Worker *LogbookService::Private::pinFor()
{
    Worker *w = shortWorkers.at(nextPin++ % shortWorkers.size());
    return w;
}

LogbookService::Private::Queue *LogbookService::Private::queueOf(quint64 clientId)
{
    auto it = queues.find(clientId);
    return it == queues.end() ? nullptr : &it->second;
}

milliseconds LogbookService::Private::deadlineOf(const Job &job) const
{
    if (job.options.deadline.count() < 0
        || (job.options.deadline.count() == 0 && job.options.lane == JobOptions::Lane::Long))
        return milliseconds(-1);
    if (job.options.deadline.count() > 0)
        return job.options.deadline;
    const milliseconds t = timeoutSetting();
    return t.count() > 0 ? t : milliseconds(-1);
}

void LogbookService::Private::dispatch(Queue &queue)
{
    if (queue.dispatched || queue.retryPending)
        return;
    // Jobs answered already (withdrawn before they began) are skipped.
    while (!queue.jobs.empty() && queue.jobs.front()->answered && queue.jobs.front()->work)
        queue.jobs.pop_front();
    if (queue.jobs.empty())
        return;
    JobPtr job = queue.jobs.front();
    queue.dispatched = job;
    if (job->work && job->options.lane == JobOptions::Lane::Long) {
        QMutexLocker lock(&mutex);
        longInbox.push_back(job);
        longReady.wakeOne();
        for (Worker *w : longWorkers)
            if (!w->isRunning())
                w->start();
    } else {
        if (!queue.pinned->isRunning())
            queue.pinned->start();
        queue.pinned->give(job);
    }
    if (!tick.isActive())
        tick.start();
}

void LogbookService::Private::dispatchAll()
{
    for (auto &[id, queue] : queues)
        dispatch(queue);
}

void LogbookService::Private::answer(Queue &queue, const JobPtr &job, JobStatus status, const QString &error)
{
    if (job->answered)
        return;
    job->answered = true;
    JobAnswer a;
    a.status = status;
    a.error = error;
    if (queue.client && job->done) {
        auto done = job->done;
        QMetaObject::invokeMethod(queue.client, [done, a] { done(a); }, Qt::QueuedConnection);
    }
    job->done = nullptr;
    updateWaiting(queue);
}

void LogbookService::Private::finished(const JobPtr &job)
{
    Queue *queue = queueOf(job->clientId);
    if (!queue)
        return;
    if (queue->dispatched == job)
        queue->dispatched.reset();
    const bool withdrawn = job->withdrawn();
    if (!job->work) {
        // The state was dropped: the client's queue is done with.
        queues.erase(job->clientId);
        return;
    }
    // A write nobody waits on is tried again when time ran out or the
    // connection broke (it is idempotent); not when the engine refused it.
    // Quitting, it is tried again at once while the writes have time left,
    // and kept for the next start after that.
    const bool again = job->unattended() && !job->answered && (withdrawn || job->broken);
    if (again) {
        job->state = int(RunState::Queued);
        job->stop = false;
        job->startedNs = 0;
        job->failed = job->broken = false;
        job->error.clear();
        ++job->attempts;
        if (!shuttingDown) {
            queue->retryPending = true;
            const quint64 clientId = job->clientId;
            QTimer::singleShot(qMin(250 * job->attempts, 2000), q, [this, clientId] {
                if (Queue *qu = queueOf(clientId)) {
                    qu->retryPending = false;
                    dispatch(*qu);
                }
            });
        }
    } else {
        if (!job->answered) {
            if (withdrawn)
                answer(*queue, job, job->withdrawnAs,
                       job->withdrawnAs == JobStatus::TimedOut ? timeoutText(deadlineOf(*job)) : withdrawnText());
            else if (job->failed)
                answer(*queue, job, JobStatus::Failed, job->error.isEmpty() ? err("The logbook refused.") : job->error);
            else
                answer(*queue, job, JobStatus::Done, QString());
        }
        auto it = std::find(queue->jobs.begin(), queue->jobs.end(), job);
        if (it != queue->jobs.end())
            queue->jobs.erase(it);
    }
    updateWaiting(*queue);
    dispatch(*queue);
}

bool LogbookService::Private::withdraw(Queue &queue, const JobPtr &job, JobStatus as)
{
    if (job->answered)
        return true;
    int expected = int(RunState::Queued);
    if (!job->state.compare_exchange_strong(expected, int(RunState::Withdrawn))) {
        if (expected != int(RunState::Running))
            return expected == int(RunState::Withdrawn);
        if (!job->state.compare_exchange_strong(expected, int(RunState::Withdrawn)))
            return false;   // committing: its answer will come
    }
    job->stop = true;
    job->withdrawnAs = as;
    if (queue.dispatched == job)
        cancelNatively(job);
    // A write nobody waits on is not answered when its time runs out (it
    // is tried again, or kept when quitting), only when quitting ends it.
    if (!job->unattended() || (shuttingDown && as == JobStatus::Withdrawn)) {
        answer(queue, job, as, as == JobStatus::TimedOut ? timeoutText(deadlineOf(*job)) : withdrawnText());
        if (queue.dispatched != job) {
            auto it = std::find(queue.jobs.begin(), queue.jobs.end(), job);
            if (it != queue.jobs.end())
                queue.jobs.erase(it);
        }
    }
    return true;
}

void LogbookService::Private::cancelNatively(const JobPtr &job)
{
    // A cancel request to a server travels the network: never on this
    // thread.  It is sent only while the job is still the one running.
    for (Worker *w : shortWorkers + longWorkers) {
        if (w->current() != job.get())
            continue;
        Job *target = job.get();
        cancels.start([w, target, job] {
            if (w->current() != target)
                return;
            if (auto c = w->canceller())
                c->cancel();
        });
    }
}

void LogbookService::Private::onTick()
{
    const qint64 now = nowNs();
    for (auto &[id, queue] : queues) {
        const JobPtr job = queue.dispatched;
        if (job && job->work && !job->answered && !job->withdrawn()) {
            const qint64 started = job->startedNs.load();
            const milliseconds limit = deadlineOf(*job);
            if (started && limit.count() > 0 && (now - started) / 1000000 > limit.count())
                withdraw(queue, job, JobStatus::TimedOut);
        }
        updateWaiting(queue);
    }
    if (outstanding() == 0)
        tick.stop();
}

void LogbookService::Private::updateWaiting(Queue &queue)
{
    bool waiting = false;
    const auto now = Clock::now();
    for (const JobPtr &job : queue.jobs) {
        if (job->answered || !job->work)
            continue;
        if (now - job->submittedAt >= LogbookService::waitingAfter())
            waiting = true;
        break;
    }
    if (waiting != queue.waiting) {
        queue.waiting = waiting;
        if (queue.client)
            Q_EMIT queue.client->waitingChanged(waiting);
    }
}

int LogbookService::Private::outstanding() const
{
    int n = 0;
    for (const auto &[id, queue] : queues)
        n += int(queue.jobs.size());
    return n;
}

bool LogbookService::Private::writesOutstanding() const
{
    for (const auto &[id, queue] : queues)
        for (const JobPtr &job : queue.jobs)
            if (job->isWrite() && !job->answered)
                return true;
    return false;
}

void LogbookService::Private::appendKept(const QList<KeptWrite> &writes, QStringList *lines)
{
    if (writes.isEmpty())
        return;
    const QString path = q->keptFile();
    QFileInfo(path).absoluteDir().mkpath(QStringLiteral("."));
    QFile file(path);
    bool ok = file.open(QIODevice::Append | QIODevice::Text);
    for (const KeptWrite &w : writes) {
        QJsonObject o;
        o.insert(QStringLiteral("kind"), w.kind);
        o.insert(QStringLiteral("data"), w.data);
        o.insert(QStringLiteral("text"), w.text);
        const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
        if (ok)
            ok = file.write(line) == line.size();
        lines->append(ok ? QStringLiteral("not stored yet, kept in %1 to be stored at the next start: %2")
                               .arg(QDir::toNativeSeparators(path), w.text)
                         : QStringLiteral("not stored: %1").arg(w.text));
    }
    if (ok && !file.flush())
        lines->append(QStringLiteral("the file %1 could not be written: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
}

// Worker thread, under the open lock: the writes kept at the last quit
// are stored now, before any job of this run.
void LogbookService::Private::replayKept(Database &db)
{
    if (keptReplayed)
        return;
    keptReplayed = true;
    const QString path = q->keptFile();
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QList<QByteArray> rawLines = file.readAll().split('\n');
    file.close();
    QList<QByteArray> left;
    for (const QByteArray &raw : rawLines) {
        if (raw.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(raw).object();
        const QString kind = o.value(QStringLiteral("kind")).toString();
        const QString text = o.value(QStringLiteral("text")).toString();
        KeptHandler handler;
        {
            QMutexLocker lock(&keptHandlersLock());
            auto it = keptHandlers().find(kind);
            if (it != keptHandlers().end())
                handler = it->second;
        }
        QString error;
        if (handler && handler(db, o.value(QStringLiteral("data")).toObject(), &error)) {
            std::fprintf(stderr, "bravik-log: stored now, kept since the program last ended: %s\n", qPrintable(text));
            continue;
        }
        if (!handler)
            error = QStringLiteral("this program cannot store writes of the kind \"%1\"").arg(kind);
        std::fprintf(stderr, "bravik-log: still not stored (%s), kept in %s: %s\n", qPrintable(error),
                     qPrintable(QDir::toNativeSeparators(path)), qPrintable(text));
        left << raw;
    }
    std::fflush(stderr);
    if (left.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Text)) {
        for (const QByteArray &raw : left)
            out.write(raw + '\n');
        out.commit();
    }
}

// ---- LogbookClient

struct LogbookClient::Private
{
    LogbookService *service = nullptr;
    DatabaseLocation where;
    quint64 id = 0;

    // The service is shut down (quitting) before every client is gone: a
    // window still open then asks nothing more of it.
    bool serviceAlive() const { return LogbookService::all().contains(service); }
};

namespace {
quint64 nextClientId()
{
    static std::atomic<quint64> next{0};
    return ++next;
}
} // namespace

LogbookClient::LogbookClient(const DatabaseLocation &where, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->service = &LogbookService::at(where);
    d->where = where;
    d->id = nextClientId();
    LogbookService::Private *s = d->service->d.get();
    auto &queue = s->queues[d->id];
    queue.client = this;
    queue.pinned = s->pinFor();
}

LogbookClient::~LogbookClient()
{
    if (!LogbookService::all().contains(d->service))
        return;   // the service was shut down before this client
    LogbookService::Private *s = d->service->d.get();
    auto *queue = s->queueOf(d->id);
    if (!queue)
        return;
    queue->client = nullptr;
    queue->clientGone = true;
    // Reads not begun are of no use now; writes go on.
    for (const JobPtr &job : std::deque<JobPtr>(queue->jobs)) {
        job->done = nullptr;
        if (!job->isWrite() && job != queue->dispatched)
            s->withdraw(*queue, job, JobStatus::Withdrawn);
    }
    // Last, the client's state on the service's side goes.
    auto cleanup = std::make_shared<Job>();
    cleanup->id = ++s->nextJobId;
    cleanup->clientId = d->id;
    queue->jobs.push_back(cleanup);
    s->dispatch(*queue);
}

LogbookService &LogbookClient::service() const { return *d->service; }
const DatabaseLocation &LogbookClient::location() const { return d->where; }
QString LogbookClient::waitingText() const { return d->serviceAlive() ? d->service->waitingText() : QString(); }

void LogbookClient::submit(const JobOptions &options, Work work, Delivery done)
{
    if (!d->serviceAlive()) {
        // Quitting is over: the job is answered, not run.
        JobAnswer a;
        a.status = JobStatus::Withdrawn;
        a.error = withdrawnText();
        QMetaObject::invokeMethod(this, [done, a] { if (done) done(a); }, Qt::QueuedConnection);
        return;
    }
    LogbookService::Private *s = d->service->d.get();
    auto *queue = s->queueOf(d->id);
    auto job = std::make_shared<Job>();
    job->id = ++s->nextJobId;
    job->clientId = d->id;
    job->options = options;
    job->work = std::move(work);
    job->done = std::move(done);
    if (!queue || (s->shuttingDown && !job->isWrite())) {
        // Quitting: nothing new is read.
        JobAnswer a;
        a.status = JobStatus::Withdrawn;
        a.error = withdrawnText();
        auto deliver = job->done;
        QMetaObject::invokeMethod(this, [deliver, a] { if (deliver) deliver(a); }, Qt::QueuedConnection);
        return;
    }
    queue->jobs.push_back(job);
    s->dispatch(*queue);
    if (!s->tick.isActive())
        s->tick.start();
}

bool LogbookClient::isBusy() const
{
    if (!d->serviceAlive())
        return false;
    auto *queue = d->service->d->queueOf(d->id);
    if (!queue)
        return false;
    for (const JobPtr &job : queue->jobs)
        if (!job->answered && job->work)
            return true;
    return false;
}

bool LogbookClient::isWaiting() const
{
    if (!d->serviceAlive())
        return false;
    auto *queue = d->service->d->queueOf(d->id);
    return queue && queue->waiting;
}

bool LogbookClient::stopWaiting()
{
    if (!d->serviceAlive())
        return true;
    LogbookService::Private *s = d->service->d.get();
    auto *queue = s->queueOf(d->id);
    if (!queue)
        return true;
    bool all = true;
    for (const JobPtr &job : std::deque<JobPtr>(queue->jobs)) {
        if (job->answered || !job->work || job->unattended())
            continue;
        if (!s->withdraw(*queue, job, JobStatus::Withdrawn))
            all = false;
    }
    s->updateWaiting(*queue);
    return all;
}

} // namespace bravik::logbook
