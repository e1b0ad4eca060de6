#pragma once

// The one way to the logbook off the window's thread.
//
// One service per logbook location (a file, or a PostgreSQL server); it
// owns that location's connections and runs jobs on threads of its own:
// two for short jobs (a move, a store, a page, a history) and two for long
// ones (a search over a whole table, an export, a report), so a long job
// runs beside the short ones and never ahead of them.  Every connection is
// made on the thread that uses it, and the first one opened creates or
// upgrades the logbook; a job waits for that, however long it takes.
//
// Whoever needs the logbook makes a client.  A client's jobs run one after
// the other in the order they were given, whatever their lane, and every
// answer arrives later, on the client's thread, through the event loop:
// never inside the call that gave the job.  What belongs together is one
// job (a submission's new row and its stamp), so nothing another client
// queues can come between.
//
// Time: a job has one deadline, the statement timeout, counted from the
// moment it starts to run.  When it passes, or the client stops waiting,
// the statement is cancelled natively (PQcancel, sqlite3_interrupt, a
// file-lock wait given up) and:
//   - a read is answered TimedOut or Withdrawn at once; its late result is
//     dropped;
//   - a write the client waits on is withdrawn: it can no longer commit
//     (JobContext::mayCommit() says no and the job rolls back), so it never
//     lands later unannounced.  Once a write has begun to commit it can no
//     longer be withdrawn: stopWaiting() then says so, and its real answer
//     comes when the logbook gives it;
//   - a write nobody waits on (a launch record's completion, an abort) is
//     tried again until it is done or the engine refuses it; such a write
//     must be idempotent (it carries a key of its own).
// A client with a job outstanding for waitingAfter() emits
// waitingChanged(true): the window's waiting line with "Stop waiting".
//
// Quitting: shutdownAll() gives the writes still queued a few seconds;
// what is left is kept in a file beside the logbook, named on standard
// error, and stored the next time the logbook is opened.

#include "Database.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>
#include <typeindex>

namespace bravik::logbook {

class LogbookService;
class LogbookClient;

enum class JobStatus {
    Done,        // the job ran to its end (it may still report a failure of its own: see error)
    Failed,      // the engine refused, or the logbook could not be opened
    TimedOut,    // the deadline passed; a write did not land
    Withdrawn,   // the client stopped waiting; a write did not land
};

// A write the program could not finish before it ended: kept in a file
// beside the logbook and stored the next time it is opened, by the handler
// registered for its kind.
struct KeptWrite
{
    QString kind;       // "record", "launch"
    QJsonObject data;   // what the handler needs
    QString text;       // for people: "Miscellaneous: Note = "keep me""

    bool isEmpty() const { return kind.isEmpty(); }
};

struct JobOptions
{
    enum class Lane { Short, Long };
    enum class Write {
        None,        // reads only
        Awaited,     // a write the client waits on: withdrawn when it gives up
        Unattended,  // a write nobody waits on: tried again until done
    };
    Lane lane = Lane::Short;
    Write write = Write::None;
    // The job's deadline from its start: zero means the service's statement
    // timeout on the short lane and none on the long one (a long job the
    // client stops itself); a negative value none.
    std::chrono::milliseconds deadline{0};
    // For writes: how to store it at the next start if the program ends
    // before it is done.
    KeptWrite kept;
};

struct JobAnswer
{
    JobStatus status = JobStatus::Done;
    QString error;   // why, when not ok()

    bool ok() const { return status == JobStatus::Done && error.isEmpty(); }
};

template <class T>
struct Answer : JobAnswer
{
    T value{};
};

template <>
struct Answer<void> : JobAnswer
{
};

// What a running job sees, on one of the service's threads.
class JobContext
{
public:
    // The lane's connection, open (and the logbook upgraded).
    Database &database();
    // A connection to a second logbook on this thread, for a job that
    // moves entries between two (a copy): opened (and upgraded) on first
    // use, closed when the job ends.  Null, with *error, when it cannot be
    // opened.
    Database *otherDatabase(const DatabaseLocation &where, QString *error);
    const DatabaseLocation &location() const;

    // The client stopped waiting or the deadline passed: a long job asks
    // between rows and ends early.
    bool stopRequested() const;
    // A long job's progress, 0 to 1, told to the client's progressed().
    void progress(double share);

    // A write the client waits on calls this just before it commits: true
    // when it may (from then on it cannot be withdrawn), false when it was
    // withdrawn and must roll back.
    bool mayCommit();

    // The job failed with the engine's words: the answer is Failed with
    // them (TimedOut or Withdrawn when the deadline or the client ended it).
    void fail(const QString &message);
    bool hasFailed() const;

    // State a client keeps on the service's side between its short jobs
    // (a record window's cursor): made by `make` on first use, on this
    // thread, and deleted there once the client is gone.  Only on the short
    // lane, where a client's jobs always run on the same thread.
    template <class T, class Make>
    T &state(Make &&make)
    {
        auto *holder = findState(std::type_index(typeid(T)));
        if (!holder)
            holder = putState(std::type_index(typeid(T)),
                              std::shared_ptr<void>(std::shared_ptr<T>(make())));
        return *static_cast<T *>(holder);
    }
    // Forgets the state of that type (made afresh by the next state()).
    template <class T>
    void dropState() { putState(std::type_index(typeid(T)), nullptr); }

    struct Private;
    explicit JobContext(Private *d) : d(d) {}

private:
    void *findState(std::type_index type) const;
    void *putState(std::type_index type, std::shared_ptr<void> state);
    Private *d;
};

class LogbookService : public QObject
{
    Q_OBJECT
public:
    // The service of that location, made on first use; it lives until
    // shutdownAll().  Made and used on the program's main thread.
    static LogbookService &at(const DatabaseLocation &where);
    // Every service that exists now.
    static QList<LogbookService *> all();

    const DatabaseLocation &location() const;

    // The deadline of every job that names none: `[database]
    // statementTimeout` (20 s unless set; zero or less: none).
    static void setStatementTimeout(std::chrono::milliseconds timeout);
    static std::chrono::milliseconds statementTimeout();
    static std::chrono::milliseconds waitingAfter() { return std::chrono::milliseconds(200); }

    // "Waiting for the logbook…", naming the server for PostgreSQL.
    QString waitingText() const;

    // Whether the logbook was opened (and created or upgraded) by one of
    // the service's connections; the message of the last failed open.
    bool hasOpened() const;

    // The file where writes left at quitting are kept.
    QString keptFile() const;
    // Stores a kept write of that kind; called on a service thread, inside
    // no transaction.  Registered once by the part of the program that
    // makes such writes.
    using KeptHandler = std::function<bool(Database &, const QJsonObject &, QString *error)>;
    static void registerKeptHandler(const QString &kind, KeptHandler handler);

    // Quitting: stops every long job and read, gives the writes still
    // queued or running up to `grace`, keeps what is left in each
    // location's kept file and returns one line for each ("kept in
    // /path/BravikDatabase.sqlite.unstored: Miscellaneous: Note = ..."),
    // then gives the threads what is left of `grace` to end.  *finished
    // tells whether every thread ended (a statement stuck on a hung server
    // keeps its thread: the program then ends without it).
    static QStringList shutdownAll(std::chrono::milliseconds grace, bool *finished = nullptr);

    // How many jobs are queued or running now (all clients).
    int outstanding() const;

    // A client tells that a job of its own stored a row of that table
    // (new, changed, voided or restored); changed() goes to everyone who
    // shows that table.  Main thread.
    void announceChanged(const QString &table, qint64 key);

Q_SIGNALS:
    void changed(const QString &table, qint64 key);

public:

    ~LogbookService() override;

    struct Private;

private:
    explicit LogbookService(const DatabaseLocation &where);
    friend class LogbookClient;
    friend class JobContext;
    std::unique_ptr<Private> d;
};

// One user of the logbook: a window, the launch records, a command.  Lives
// on the thread that made it (the main thread).
class LogbookClient : public QObject
{
    Q_OBJECT
public:
    explicit LogbookClient(const DatabaseLocation &where, QObject *parent = nullptr);
    // Jobs not started yet are dropped, unless they are writes; a job
    // running goes on, its answer dropped; the client's state on the
    // service's side is deleted after it.
    ~LogbookClient() override;

    LogbookService &service() const;
    const DatabaseLocation &location() const;

    // Queues a job: `work(JobContext &)` runs on a service thread after
    // this client's earlier jobs; `done(const Answer<R> &)` runs later on
    // this client's thread, unless the client is gone by then.
    template <class Work, class Done>
    void run(const JobOptions &options, Work &&work, Done &&done)
    {
        using R = std::invoke_result_t<Work &, JobContext &>;
        auto result = std::make_shared<std::conditional_t<std::is_void_v<R>, char, R>>();
        submit(options,
               [work = std::forward<Work>(work), result](JobContext &c) mutable {
                   if constexpr (std::is_void_v<R>)
                       work(c);
                   else
                       *result = work(c);
               },
               [done = std::forward<Done>(done), result](const JobAnswer &a) mutable {
                   Answer<R> answer;
                   static_cast<JobAnswer &>(answer) = a;
                   if constexpr (!std::is_void_v<R>)
                       answer.value = std::move(*result);
                   done(answer);
               });
    }
    template <class Work>
    void run(const JobOptions &options, Work &&work)
    {
        run(options, std::forward<Work>(work), [](const auto &) {});
    }

    bool isBusy() const;      // a job is queued or running
    bool isWaiting() const;   // ... for longer than waitingAfter()

    // Stops waiting: the job running now is withdrawn (a write then does
    // not land) and the queued ones are dropped, each answered Withdrawn.
    // False when the running job is a write already committing: it cannot
    // be withdrawn, and its answer comes when the logbook gives it.
    bool stopWaiting();

    QString waitingText() const;

Q_SIGNALS:
    void waitingChanged(bool waiting);
    void progressed(double share);

private:
    using Work = std::function<void(JobContext &)>;
    using Delivery = std::function<void(const JobAnswer &)>;
    void submit(const JobOptions &options, Work work, Delivery done);
    friend class LogbookService;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
