// The record cursor's front: requests in order on the logbook's own thread,
// edits made while one runs, a refusal dropping what was queued after it,
// and giving up on a statement that waits for a lock (stop waiting, the
// statement timeout) without losing or doubling the row.

#include "LogbookProbe.h"
#include "RecordFront.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "TestPostgres.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace bravik;
using bravik::logbook::RecordFront;
using bravik::test::LogbookProbe;
using R = RecordFront::Request;

namespace {

// Another program holding the lock that a store needs: on a file the
// write lock (a process of its own), on a server the table's lock (a
// transaction of the test's own).
class LockHolder
{
public:
    explicit LockHolder(int ms)
    {
        if (LogbookProbe::isPostgres()) {
            m_db = QSqlDatabase::addDatabase("QPSQL", "lock-holder");
            m_db.setConnectOptions(settings().database);
            QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
            QSqlQuery q(m_db);
            QVERIFY(q.exec("BEGIN"));
            QVERIFY2(q.exec("LOCK TABLE \"Miscellaneous\" IN EXCLUSIVE MODE"), qPrintable(q.lastError().text()));
            QTimer::singleShot(ms, [this] { release(); });
            return;
        }
        m_process.start(QStringLiteral(WAIT_HELPER), {"hold", settings().database, QString::number(ms)});
        QVERIFY(m_process.waitForReadyRead(20000));
        QCOMPARE(m_process.readLine().trimmed(), QByteArray("held"));
    }
    ~LockHolder()
    {
        release();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
        if (QSqlDatabase::contains("lock-holder")) {
            m_db = QSqlDatabase();
            QSqlDatabase::removeDatabase("lock-holder");
        }
    }
    bool released() const
    {
        return LogbookProbe::isPostgres() ? m_released : m_process.state() == QProcess::NotRunning;
    }

private:
    void release()
    {
        if (m_db.isOpen() && !m_released) {
            QSqlQuery(m_db).exec("COMMIT");
            m_released = true;
        }
    }
    QProcess m_process;
    QSqlDatabase m_db;
    bool m_released = false;
};

} // namespace

class TestRecordFront : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempSettings> m_settings;
    std::unique_ptr<LogbookProbe> m_probe;

    std::unique_ptr<RecordFront> front(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        auto f = std::make_unique<RecordFront>(logbook::DatabaseLocation{settings().databaseDriver, settings().database},
                                               "Miscellaneous", timeout);
        f->request(R::Open);
        if (!f->waitForIdle(std::chrono::seconds(30)) || !f->isOpen())
            qWarning("not open: %s", qPrintable(f->lastError()));
        return f;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_settings = std::make_unique<test::TempSettings>();
        RecordFront::setPatience(std::chrono::milliseconds(0));
        m_probe = std::make_unique<LogbookProbe>();
    }

    void cleanup()
    {
        m_probe.reset();
        RecordFront::finishAll(std::chrono::seconds(20));
        m_settings.reset();
    }

    void requestsRunInOrder()
    {
        auto f = front();
        QVERIFY(f->isOpen());
        for (const char *n : {"d1", "d2", "d3"}) {
            f->request(R::BeginNew);
            f->setValue("Date/Time", QString::fromLatin1(n));
            f->request(R::Save);
        }
        QVERIFY(f->waitForIdle(std::chrono::seconds(30)));
        QCOMPARE(m_probe->count("Miscellaneous"), 3);

        // Nothing waited for between them: each edit belongs to the row the
        // request before it left current.
        QSignalSpy shown(f.get(), &RecordFront::rowShown);
        f->request(R::First);
        f->setValue("Note", "on d1");
        f->request(R::Next);
        f->setValue("Note", "on d2");
        QVERIFY(f->isBusy());
        QVERIFY(f->request(R::Next));   // still on its way
        QVERIFY(f->waitForIdle(std::chrono::seconds(30)));
        QCOMPARE(shown.count(), 3);
        QCOMPARE(f->value("Date/Time").toString(), QStringLiteral("d3"));
        QVERIFY(!f->isChanged());
        QCOMPARE(m_probe->field("Miscellaneous", "Note", 0).toString(), QStringLiteral("on d1"));
        QCOMPARE(m_probe->field("Miscellaneous", "Note", 1).toString(), QStringLiteral("on d2"));
        QVERIFY(m_probe->field("Miscellaneous", "Note", 2).isNull());
    }

    void refusalDropsWhatFollows()
    {
        auto f = front();
        f->request(R::BeginNew);
        QVERIFY(f->waitForIdle(std::chrono::seconds(30)));
        f->setValue("Note", "keep me");
        m_probe->sql("DROP TABLE \"Miscellaneous\"");
        QSignalSpy failed(f.get(), &RecordFront::failed);
        QList<bool> answers;
        f->request(R::Last, [&](bool ok) { answers << ok; });
        f->request(R::BeginNew, [&](bool ok) { answers << ok; });
        f->setValue("SubmittedBy", "Ada");
        f->whenSettled([&](bool ok) { answers << ok; });
        QVERIFY(f->waitForIdle(std::chrono::seconds(30)));
        QCOMPARE(answers, (QList<bool>{false, false, false}));
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.first().first().toString().contains("Miscellaneous"), qPrintable(failed.first().first().toString()));
        // Both edits are kept, the one queued behind the refusal too.
        QCOMPARE(f->value("Note").toString(), QStringLiteral("keep me"));
        QCOMPARE(f->value("SubmittedBy").toString(), QStringLiteral("Ada"));
        QCOMPARE(f->changedFields(), (QStringList{"Note", "SubmittedBy"}));
    }

    void givingUpOnALock_data()
    {
        QTest::addColumn<bool>("byTimeout");
        QTest::newRow("stop waiting") << false;
        QTest::newRow("statement timeout") << true;
    }

    void givingUpOnALock()
    {
        QFETCH(bool, byTimeout);
        auto f = front(byTimeout ? std::chrono::milliseconds(1000) : std::chrono::seconds(20));
        QVERIFY(f->isOpen());
        f->setValue("Note", "keep me");
        QSignalSpy waiting(f.get(), &RecordFront::waitingChanged);
        QSignalSpy failed(f.get(), &RecordFront::failed);
        {
            LockHolder holder(byTimeout ? 4000 : 30000);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(f->request(R::Save));
            QTRY_COMPARE_WITH_TIMEOUT(waiting.count(), 1, 5000);
            QCOMPARE(waiting.first().first().toBool(), true);
            if (!byTimeout)
                f->stopWaiting();
            QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
            const QString message = failed.first().first().toString();
            QVERIFY2(message.contains(byTimeout ? "did not answer within 1 s" : "did not answer"), qPrintable(message));
            QVERIFY(clock.elapsed() < 3500);
            QCOMPARE(waiting.count(), 2);   // the line goes
            QVERIFY(!f->isBusy());
            QVERIFY(f->isChanged());
            QCOMPARE(f->value("Note").toString(), QStringLiteral("keep me"));
            if (LogbookProbe::isPostgres() && !byTimeout) {
                // The server was told to cancel: nothing waits for the lock.
                QTRY_COMPARE_WITH_TIMEOUT(m_probe->sql("SELECT COUNT(*) FROM pg_catalog.pg_stat_activity "
                                                       "WHERE wait_event_type = 'Lock'").toInt(), 0, 10000);
            }
            QTRY_VERIFY_WITH_TIMEOUT(holder.released() || !byTimeout, 20000);
        }
        // Storing again works, and the row is there once.
        QVERIFY(f->request(R::Save));
        QVERIFY(f->waitForIdle(std::chrono::seconds(30)));
        QVERIFY2(!f->isChanged(), qPrintable(f->lastError()));
        QCOMPARE(m_probe->count("Miscellaneous"), 1);
        QCOMPARE(m_probe->field("Miscellaneous", "Note").toString(), QStringLiteral("keep me"));
        QCOMPARE(failed.count(), 1);
    }

    void unreachableLogbookAnswersRefusal()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a file's folder");
        QFile blocker(m_settings->path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        RecordFront f({"QSQLITE", m_settings->path("blocker/logbook.sqlite")}, "Miscellaneous");
        QSignalSpy opened(&f, &RecordFront::opened);
        f.request(R::Open);
        QVERIFY(f.waitForIdle(std::chrono::seconds(30)));
        QVERIFY(f.openFailed());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().toBool(), false);
        QVERIFY(!f.request(R::Last));
    }
};

QTEST_MAIN(TestRecordFront)
#include "tst_recordfront.moc"
