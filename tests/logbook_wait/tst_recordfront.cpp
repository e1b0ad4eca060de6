// The record cursor's front: requests in order as jobs of the logbook
// service, edits made while one runs, a refusal dropping what was queued
// after it, and giving up on a statement that waits for a lock (stop
// waiting, the statement timeout) without losing or doubling the row; a
// store given up on never lands later, and a move after another program's
// change keeps theirs once the window has said so.

#include "LogbookService.h"
#include "RecordFront.h"
#include "Settings.h"
#include "WindowTest.h"
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
#include <optional>

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
    // `change`, when set, is a statement run under the lock: it lands
    // when the lock goes.
    explicit LockHolder(int ms, const QString &change = QString())
    {
        if (LogbookProbe::isPostgres()) {
            m_db = QSqlDatabase::addDatabase("QPSQL", "lock-holder");
            m_db.setConnectOptions(settings().database);
            QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
            QSqlQuery q(m_db);
            QVERIFY(q.exec("BEGIN"));
            QVERIFY2(q.exec("LOCK TABLE \"Miscellaneous\" IN EXCLUSIVE MODE"), qPrintable(q.lastError().text()));
            if (!change.isEmpty())
                QVERIFY2(q.exec(change), qPrintable(q.lastError().text()));
            QTimer::singleShot(ms, [this] { release(); });
            return;
        }
        QStringList args{"hold", settings().database, QString::number(ms)};
        if (!change.isEmpty())
            args << change;
        m_process.start(QStringLiteral(WAIT_HELPER), args);
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

    std::optional<test::WindowTest> m_window;

    std::unique_ptr<RecordFront> front()
    {
        auto f = std::make_unique<RecordFront>(logbook::DatabaseLocation{settings().databaseDriver, settings().database},
                                               "Miscellaneous");
        f->request(R::Open);
        if (!settled(f.get()) || !f->isOpen())
            qWarning("not open: %s", qPrintable(f->lastError()));
        return f;
    }

    // Every answer asked for so far has come.
    static bool settled(RecordFront *f) { return QTest::qWaitFor([f] { return !f->isBusy(); }, 30000); }

    // Another program's store of the first row, as the program makes it.
    static QString theirChange()
    {
        return QStringLiteral("UPDATE \"Miscellaneous\" SET \"Note\" = 'theirs', \"RowVersion\" = \"RowVersion\" + 1, "
                              "\"ChangedOn\" = 'other-pc', \"ChangedAtUtc\" = '2026-12-08T04:29:18Z'");
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_window.emplace();
    }

    void cleanup() { m_window.reset(); }

    void requestsRunInOrder()
    {
        auto f = front();
        QVERIFY(f->isOpen());
        for (const char *n : {"d1", "d2", "d3"}) {
            f->request(R::BeginNew);
            f->setValue("Date/Time", QString::fromLatin1(n));
            f->request(R::Save);
        }
        QVERIFY(settled(f.get()));
        QCOMPARE(m_window->probe.count("Miscellaneous"), 3);

        // Nothing waited for between them: each edit belongs to the row the
        // request before it left current.
        QSignalSpy shown(f.get(), &RecordFront::rowShown);
        f->request(R::First);
        f->setValue("Note", "on d1");
        f->request(R::Next);
        f->setValue("Note", "on d2");
        QVERIFY(f->isBusy());
        QVERIFY(f->request(R::Next));   // on its way
        QCOMPARE(shown.count(), 0);     // answers come later, never inside the call
        QVERIFY(settled(f.get()));
        QCOMPARE(shown.count(), 3);
        QCOMPARE(f->value("Date/Time").toString(), QStringLiteral("d3"));
        QVERIFY(!f->isChanged());
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note", 0).toString(), QStringLiteral("on d1"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note", 1).toString(), QStringLiteral("on d2"));
        QVERIFY(m_window->probe.field("Miscellaneous", "Note", 2).isNull());
    }

    void refusalDropsWhatFollows()
    {
        auto f = front();
        f->request(R::BeginNew);
        QVERIFY(settled(f.get()));
        f->setValue("Note", "keep me");
        m_window->probe.sql("DROP TABLE \"Miscellaneous\"");
        QSignalSpy failed(f.get(), &RecordFront::failed);
        QList<bool> answers;
        f->request(R::Last, [&](bool ok) { answers << ok; });
        f->request(R::BeginNew, [&](bool ok) { answers << ok; });
        f->setValue("SubmittedBy", "Ada");
        f->whenSettled([&](bool ok) { answers << ok; });
        QVERIFY(settled(f.get()));
        QTRY_COMPARE(answers.size(), 3);
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
        logbook::LogbookService::setStatementTimeout(byTimeout ? std::chrono::milliseconds(1000)
                                                               : std::chrono::seconds(20));
        auto f = front();
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
                QTRY_COMPARE_WITH_TIMEOUT(m_window->probe.sql("SELECT COUNT(*) FROM pg_catalog.pg_stat_activity "
                                                       "WHERE wait_event_type = 'Lock'").toInt(), 0, 10000);
            }
            QTRY_VERIFY_WITH_TIMEOUT(holder.released() || !byTimeout, 20000);
        }
        // The store given up on never lands later, once the lock is gone.
        QTRY_COMPARE_WITH_TIMEOUT(logbook::LogbookService::at(f->location()).outstanding(), 0, 20000);
        QTest::qWait(300);
        QCOMPARE(m_window->probe.count("Miscellaneous"), 0);
        // Storing again works, and the row is there once.
        QVERIFY(f->request(R::Save));
        QVERIFY(settled(f.get()));
        QVERIFY2(!f->isChanged(), qPrintable(f->lastError()));
        QCOMPARE(m_window->probe.count("Miscellaneous"), 1);
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("keep me"));
        QCOMPARE(failed.count(), 1);
    }

    void unreachableLogbookAnswersRefusal()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a file's folder");
        QFile blocker(m_window->settings.path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        RecordFront f({"QSQLITE", m_window->settings.path("blocker/logbook.sqlite")}, "Miscellaneous");
        QSignalSpy opened(&f, &RecordFront::opened);
        f.request(R::Open);
        QVERIFY(settled(&f));
        QVERIFY(f.openFailed());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().toBool(), false);
        QVERIFY(!f.request(R::Last));
    }

    // Stop waiting while the store is already committing (on the server:
    // a check the commit runs takes its time): waiting cannot be stopped,
    // and the store's real answer, stored, is what the window is told.
    void stopWaitingWhileCommittingTellsTheRealAnswer()
    {
        if (!LogbookProbe::isPostgres())
            QSKIP("a server's commit that takes its time");
        m_window->probe.sql("CREATE FUNCTION slow_commit() RETURNS trigger AS $$ BEGIN PERFORM pg_sleep(1.5); "
                     "RETURN NULL; END $$ LANGUAGE plpgsql");
        auto f = front();
        m_window->probe.sql("CREATE CONSTRAINT TRIGGER slow_commit AFTER INSERT ON \"Miscellaneous\" DEFERRABLE INITIALLY "
                     "DEFERRED FOR EACH ROW EXECUTE FUNCTION slow_commit()");
        f->setValue("Note", "committing");
        QSignalSpy failed(f.get(), &RecordFront::failed);
        std::optional<bool> answer;
        f->request(R::Save, [&answer](bool ok) { answer = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(f->isWaiting(), 5000);
        QVERIFY(!f->stopWaiting());
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 20000);
        QVERIFY(*answer);
        QCOMPARE(failed.count(), 0);
        QVERIFY(!f->isChanged());
        QCOMPARE(m_window->probe.count("Miscellaneous"), 1);
    }

    // A store given up on while another program holds the lock; that
    // program's change of the same entry lands when its lock goes (or
    // after).  The store never lands; the next move says the entry was
    // changed elsewhere, and moving again keeps theirs.
    void moveAfterAChangeElsewhereKeepsTheirs_data()
    {
        QTest::addColumn<bool>("theirsUnderTheLock");
        QTest::newRow("their change under the lock") << true;
        QTest::newRow("their change after the lock") << false;
    }
    void moveAfterAChangeElsewhereKeepsTheirs()
    {
        QFETCH(bool, theirsUnderTheLock);
        auto f = front();
        for (const char *n : {"d1", "d2"}) {
            f->request(R::BeginNew);
            f->setValue("Date/Time", QString::fromLatin1(n));
        }
        f->request(R::First);
        QVERIFY(settled(f.get()));
        QCOMPARE(f->value("Date/Time").toString(), QStringLiteral("d1"));
        f->setValue("Note", "ours");
        QSignalSpy failed(f.get(), &RecordFront::failed);
        {
            LockHolder holder(2500, theirsUnderTheLock ? theirChange() + " WHERE \"Date/Time\" = 'd1'" : QString());
            f->request(R::Save);
            QTRY_VERIFY_WITH_TIMEOUT(f->isWaiting(), 5000);
            QVERIFY(f->stopWaiting());
            QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
            QVERIFY2(failed.last().first().toString().contains("did not answer"),
                     qPrintable(failed.last().first().toString()));
            QTRY_VERIFY_WITH_TIMEOUT(holder.released(), 20000);
        }
        if (!theirsUnderTheLock)
            m_window->probe.sql(theirChange() + " WHERE \"Date/Time\" = 'd1'");
        QTRY_COMPARE_WITH_TIMEOUT(logbook::LogbookService::at(f->location()).outstanding(), 0, 20000);
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));
        QCOMPARE(f->value("Note").toString(), QStringLiteral("ours"));

        // The window says so before anything is stored over theirs.
        f->request(R::Next);
        QVERIFY(settled(f.get()));
        QCOMPARE(failed.count(), 2);
        QVERIFY2(failed.last().first().toString().contains("changed on other-pc"),
                 qPrintable(failed.last().first().toString()));
        QVERIFY(f->hasConflict());
        QCOMPARE(f->value("Date/Time").toString(), QStringLiteral("d1"));

        // Moving again keeps theirs.
        f->request(R::Next);
        QVERIFY(settled(f.get()));
        QCOMPARE(failed.count(), 2);
        QCOMPARE(f->value("Date/Time").toString(), QStringLiteral("d2"));
        f->request(R::Previous);
        QVERIFY(settled(f.get()));
        QCOMPARE(f->value("Note").toString(), QStringLiteral("theirs"));
        QVERIFY(!f->isChanged());
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "RowVersion").toInt(), 1);
    }

    // An edit of a stored entry left unstored at quitting (another program
    // held the lock) is stored onto that entry at the next start; when the
    // entry was deleted meanwhile, what the window showed becomes a new one.
    void keptEditOfAStoredEntry_data()
    {
        QTest::addColumn<bool>("deletedMeanwhile");
        QTest::newRow("entry still there") << false;
        QTest::newRow("entry deleted meanwhile") << true;
    }
    void keptEditOfAStoredEntry()
    {
        QFETCH(bool, deletedMeanwhile);
        auto f = front();
        f->request(R::BeginNew);
        f->setValue("Date/Time", "d1");
        f->request(R::Save);
        QVERIFY(settled(f.get()));
        const qint64 key = f->currentKey();
        f->setValue("Note", "ours");
        {
            LockHolder holder(30000);
            f->request(R::Save);
            QTRY_VERIFY_WITH_TIMEOUT(f->isWaiting(), 5000);
            const QStringList lines = logbook::LogbookService::shutdownAll(std::chrono::milliseconds(300));
            QCOMPARE(lines.size(), 1);
        }
        f.reset();
        if (deletedMeanwhile)
            m_window->probe.sql("DELETE FROM \"Miscellaneous\"");

        auto again = front();
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(logbook::LogbookService::at(again->location()).keptFile()), 10000);
        QCOMPARE(m_window->probe.count("Miscellaneous"), 1);
        QCOMPARE(m_window->probe.field("Miscellaneous", "Date/Time").toString(), QStringLiteral("d1"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("ours"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "RowVersion").toInt(), deletedMeanwhile ? 0 : 1);
        QCOMPARE(m_window->probe.field("Miscellaneous", "BravikKey").toLongLong() != key, deletedMeanwhile);
    }
};

QTEST_MAIN(TestRecordFront)
#include "tst_recordfront.moc"
