// The logbook service: answers always later and in order, long jobs beside
// short ones, deadlines and "Stop waiting" that a write never outlives,
// writes nobody waits on tried again, and writes kept at quitting stored
// at the next start.  On SQLite another connection holds the write lock;
// on PostgreSQL it holds a table lock, or the server is frozen behind a
// proxy.

#include "FreezableProxy.h"
#include "LogbookFixture.h"
#include "LogbookService.h"

#include <QSemaphore>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <atomic>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

namespace {

using Status = JobStatus;
constexpr JobOptions::Write kRead = JobOptions::Write::None;
constexpr JobOptions::Write kAwaited = JobOptions::Write::Awaited;
constexpr JobOptions::Write kUnattended = JobOptions::Write::Unattended;

JobOptions options(JobOptions::Write write, std::chrono::milliseconds deadline = std::chrono::milliseconds(0),
                   JobOptions::Lane lane = JobOptions::Lane::Short)
{
    JobOptions o;
    o.write = write;
    o.deadline = deadline;
    o.lane = lane;
    return o;
}

// A job's statement; the engine's refusal fails the job.
QVariant exec(JobContext &c, const QString &sql, const QVariantList &bound = {})
{
    QSqlQuery q(c.database().connection());
    q.prepare(sql);
    for (int i = 0; i < bound.size(); ++i)
        q.bindValue(i, bound.at(i));
    if (!q.exec()) {
        c.fail(c.database().failureText(q.lastError()));
        return {};
    }
    return q.next() ? q.value(0) : QVariant(true);
}

// Inserts a note the way a store does: one transaction, committed only
// when the service still lets it.  `between` runs after the insert.
void storeNote(JobContext &c, const QString &note, const std::function<void()> &between = {})
{
    QSqlDatabase db = c.database().connection();
    db.transaction();
    exec(c, QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") SELECT ? WHERE NOT EXISTS "
                           "(SELECT 1 FROM \"Miscellaneous\" WHERE \"Note\" = ?)"),
         {note, note});
    if (between)
        between();
    if (c.hasFailed() || !c.mayCommit()) {
        db.rollback();
        return;
    }
    db.commit();
}

} // namespace

class TestLogbookService : public QObject
{
    Q_OBJECT

    std::unique_ptr<LogbookFile> m_file;
    bool m_locked = false;

    // Another connection holds the lock every write (and on PostgreSQL
    // every read of the table) waits for.
    void lock()
    {
        if (m_file->isPostgres()) {
            m_file->sql(QStringLiteral("BEGIN"));
            m_file->sql(QStringLiteral("LOCK TABLE \"Miscellaneous\" IN ACCESS EXCLUSIVE MODE"));
        } else {
            m_file->sql(QStringLiteral("BEGIN IMMEDIATE"));
        }
        m_locked = true;
    }
    void unlock()
    {
        if (m_locked)
            m_file->sql(QStringLiteral("COMMIT"));
        m_locked = false;
    }

    // A job that waits on the lock: a write on SQLite, a read on PostgreSQL.
    template <class Done>
    void blockedJob(LogbookClient &client, JobOptions o, Done done)
    {
        client.run(o, [](JobContext &c) { storeNote(c, QStringLiteral("blocked")); }, done);
    }

    static bool idle(const LogbookClient &client) { return client.service().outstanding() == 0; }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        m_file = std::make_unique<LogbookFile>();
        LogbookService::setStatementTimeout(std::chrono::seconds(20));
        // The logbook is made by the service's first connection.
        LogbookClient client(m_file->where());
        bool opened = false;
        client.run(options(kRead), [](JobContext &) {}, [&](const Answer<void> &a) { opened = a.ok(); });
        QTRY_VERIFY_WITH_TIMEOUT(opened, 20000);
    }

    void cleanup()
    {
        unlock();
        bool finished = false;
        LogbookService::shutdownAll(std::chrono::seconds(10), &finished);
        QVERIFY(finished);
        m_file.reset();
    }

    // Answers come through the event loop, never inside run(), and in the
    // order the jobs were given, whatever their lane.
    void answersLaterAndInOrder()
    {
        LogbookClient client(m_file->where());
        QStringList seen;
        bool returned = false;
        for (const auto lane : {JobOptions::Lane::Short, JobOptions::Lane::Long, JobOptions::Lane::Short}) {
            client.run(options(kRead, {}, lane), [](JobContext &c) { return exec(c, QStringLiteral("SELECT 1")); },
                       [&seen, &returned, lane](const Answer<QVariant> &a) {
                           QVERIFY(returned);
                           QVERIFY(a.ok());
                           seen << QString::number(int(lane));
                       });
        }
        returned = true;
        QVERIFY(seen.isEmpty());
        QTRY_COMPARE(seen, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0")}));
    }

    // A long job never holds up another client's short one.
    void longJobBesideShortOnes()
    {
        LogbookClient exporter(m_file->where());
        LogbookClient window(m_file->where());
        std::atomic<bool> running{false};
        std::optional<Answer<int>> exported;
        exporter.run(options(kRead, {}, JobOptions::Lane::Long),
                     [&running](JobContext &c) {
                         running = true;
                         int rows = 0;
                         while (!c.stopRequested()) {
                             exec(c, QStringLiteral("SELECT COUNT(*) FROM \"Miscellaneous\""));
                             c.progress(0.5);
                             ++rows;
                         }
                         return rows;
                     },
                     [&exported](const Answer<int> &a) { exported = a; });
        QSignalSpy progressed(&exporter, &LogbookClient::progressed);
        QTRY_VERIFY(running.load());
        int stores = 0;
        for (int i = 0; i < 5; ++i)
            window.run(options(kAwaited), [i](JobContext &c) { storeNote(c, QStringLiteral("n%1").arg(i)); },
                       [&stores](const Answer<void> &a) { stores += a.ok() ? 1 : 0; });
        QTRY_COMPARE(stores, 5);
        QVERIFY(!exported);
        QTRY_VERIFY(progressed.count() > 0);
        QVERIFY(exporter.stopWaiting());
        QTRY_VERIFY(exported.has_value());
        QCOMPARE(exported->status, Status::Withdrawn);
        QCOMPARE(m_file->count(QStringLiteral("Miscellaneous")), 5);
    }

    // The deadline or "Stop waiting" ends a job held up by another
    // connection's lock; a write so ended never lands, even once the lock
    // is gone.
    void endedJobsNeverLand_data()
    {
        QTest::addColumn<bool>("byDeadline");
        QTest::addColumn<Status>("expected");
        QTest::newRow("deadline") << true << Status::TimedOut;
        QTest::newRow("stop waiting") << false << Status::Withdrawn;
    }
    void endedJobsNeverLand()
    {
        QFETCH(bool, byDeadline);
        QFETCH(Status, expected);
        LogbookClient client(m_file->where());
        QSignalSpy waiting(&client, &LogbookClient::waitingChanged);
        lock();
        std::optional<Answer<void>> answer;
        blockedJob(client, options(kAwaited, std::chrono::milliseconds(byDeadline ? 400 : 60000)),
                   [&answer](const Answer<void> &a) { answer = a; });
        QTRY_COMPARE(waiting.count(), 1);
        QCOMPARE(waiting.at(0).at(0).toBool(), true);
        QVERIFY(!answer);
        if (!byDeadline)
            QVERIFY(client.stopWaiting());
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 10000);
        QCOMPARE(answer->status, expected);
        QVERIFY(!answer->error.isEmpty());
        QTRY_COMPARE(waiting.count(), 2);
        unlock();
        QTRY_VERIFY_WITH_TIMEOUT(idle(client), 10000);
        QCOMPARE(m_file->count(QStringLiteral("Miscellaneous")), 0);
    }

    // Withdrawn after its statement ran but before it committed: rolled
    // back.  Once committing it can no longer be withdrawn, and its real
    // answer comes.
    void withdrawnUpToTheCommit_data()
    {
        QTest::addColumn<bool>("committing");
        QTest::newRow("before the commit") << false;
        QTest::newRow("committing") << true;
    }
    void withdrawnUpToTheCommit()
    {
        QFETCH(bool, committing);
        LogbookClient client(m_file->where());
        QSemaphore reached, go;
        std::optional<Answer<void>> answer;
        client.run(options(kAwaited),
                   [&](JobContext &c) {
                       QSqlDatabase db = c.database().connection();
                       db.transaction();
                       exec(c, QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES ('late')"));
                       const bool may = !committing || c.mayCommit();
                       reached.release();
                       go.acquire();
                       if (may && c.mayCommit())
                           db.commit();
                       else
                           db.rollback();
                   },
                   [&answer](const Answer<void> &a) { answer = a; });
        QVERIFY(QTest::qWaitFor([&] { return reached.tryAcquire(); }, 10000));
        QCOMPARE(client.stopWaiting(), !committing);
        go.release();
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(answer->status, committing ? Status::Done : Status::Withdrawn);
        QTRY_VERIFY(idle(client));
        QCOMPARE(m_file->count(QStringLiteral("Miscellaneous")), committing ? 1 : 0);
    }

    // A write nobody waits on outlives its deadline: tried again until the
    // lock is gone, and stored once.
    void unattendedWriteTriedAgain()
    {
        LogbookClient client(m_file->where());
        lock();
        std::atomic<int> tries{0};
        std::optional<Answer<void>> answer;
        client.run(options(kUnattended, std::chrono::milliseconds(150)),
                   [&tries](JobContext &c) {
                       ++tries;
                       storeNote(c, QStringLiteral("launch 1"));
                   },
                   [&answer](const Answer<void> &a) { answer = a; });
        QTRY_VERIFY_WITH_TIMEOUT(tries.load() >= 2, 10000);
        QVERIFY(!answer);
        unlock();
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 10000);
        QVERIFY2(answer->ok(), qPrintable(answer->error));
        QCOMPARE(m_file->sql(QStringLiteral("SELECT COUNT(*) FROM \"Miscellaneous\" WHERE \"Note\" = 'launch 1'")).toInt(),
                 1);
    }

    // Quitting with a write still held up: it is kept in a file beside the
    // logbook and stored the next time the logbook is opened.
    void keptAtQuitStoredAtNextStart()
    {
        LogbookService::registerKeptHandler(QStringLiteral("note"), [](Database &db, const QJsonObject &data,
                                                                       QString *error) {
            QSqlQuery q(db.connection());
            q.prepare(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES (?)"));
            q.bindValue(0, data.value(QStringLiteral("note")).toString());
            if (!q.exec())
                *error = q.lastError().text();
            return error->isEmpty();
        });
        QString keptFile;
        {
            LogbookClient client(m_file->where());
            keptFile = client.service().keptFile();
            lock();
            JobOptions o = options(kAwaited, std::chrono::seconds(30));
            o.kept = {QStringLiteral("note"), QJsonObject{{QStringLiteral("note"), QStringLiteral("kept one")}},
                      QStringLiteral("Miscellaneous: Note = \"kept one\"")};
            client.run(o, [](JobContext &c) { storeNote(c, QStringLiteral("kept one")); });
            QTRY_VERIFY(client.isWaiting());
            bool finished = false;
            const QStringList lines = LogbookService::shutdownAll(std::chrono::milliseconds(300), &finished);
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().contains(QStringLiteral("Note = \"kept one\"")), qPrintable(lines.first()));
            QVERIFY(QFile::exists(keptFile));
            unlock();
        }
        QCOMPARE(m_file->count(QStringLiteral("Miscellaneous")), 0);
        LogbookClient again(m_file->where());
        bool done = false;
        again.run(options(kRead), [](JobContext &) {}, [&done](const Answer<void> &) { done = true; });
        QTRY_VERIFY(done);
        QCOMPARE(m_file->sql(QStringLiteral("SELECT \"Note\" FROM \"Miscellaneous\"")).toString(),
                 QStringLiteral("kept one"));
        QVERIFY(!QFile::exists(keptFile));
    }

    // A client's state stays on its thread between its jobs and goes with
    // the client.
    void stateGoesWithTheClient()
    {
        struct Counter
        {
            std::atomic<bool> *gone = nullptr;
            int n = 0;
            ~Counter() { *gone = true; }
        };
        std::atomic<bool> gone{false};
        auto client = std::make_unique<LogbookClient>(m_file->where());
        QList<int> counts;
        for (int i = 0; i < 3; ++i)
            client->run(options(kRead),
                        [&gone](JobContext &c) {
                            return ++c.state<Counter>([&gone] {
                                auto counter = std::make_unique<Counter>();
                                counter->gone = &gone;
                                return counter;
                            }).n;
                        },
                        [&counts](const Answer<int> &a) { counts << a.value; });
        QTRY_COMPARE(counts, (QList<int>{1, 2, 3}));
        QVERIFY(!gone);
        client.reset();
        QTRY_VERIFY(gone.load());
    }

    // A server that stops answering: the job is answered at its deadline
    // and the next one goes through once the server is back.
    void frozenServer()
    {
        if (!m_file->isPostgres())
            QSKIP("a server only");
        bravik::test::FreezableProxy proxy;
        QString error;
        QVERIFY2(proxy.start(QStringLiteral("127.0.0.1:") + qEnvironmentVariable("PGPORT", QStringLiteral("5432")),
                             &error),
                 qPrintable(error));
        DatabaseLocation where = m_file->where();
        where.location += QStringLiteral(" host=127.0.0.1 port=%1 connect_timeout=10").arg(proxy.port());
        LogbookClient client(where);
        std::optional<Answer<QVariant>> answer;
        auto count = [&client, &answer] {
            answer.reset();
            client.run(options(kRead, std::chrono::milliseconds(500)),
                       [](JobContext &c) { return exec(c, QStringLiteral("SELECT COUNT(*) FROM \"Miscellaneous\"")); },
                       [&answer](const Answer<QVariant> &a) { answer = a; });
        };
        count();
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 20000);
        QVERIFY2(answer->ok(), qPrintable(answer->error));
        proxy.freeze();
        count();
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 5000);
        QCOMPARE(answer->status, Status::TimedOut);
        proxy.thaw();
        count();
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 20000);
        QVERIFY2(answer->ok(), qPrintable(answer->error));
        QCOMPARE(answer->value.toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLogbookService)
#include "tst_logbookservice.moc"
