// "Run Mission", "Abort Mission" and "Launches" never freeze on the
// logbook: on PostgreSQL (as tst_launchwait_pg) the server stops answering
// behind a proxy the test freezes; on SQLite another program holds the
// file's write lock.  The run starts after a bounded wait, the abort at
// once, the list of launches says it waits; once the logbook answers again
// every launch has exactly one complete record, linked to its mission log
// entry whichever of the two was stored first.

#include "Database.h"
#include "FieldLogWindows.h"
#include "FreezableProxy.h"
#include "Launch.h"
#include "LaunchLog.h"
#include "LaunchSession.h"
#include "LaunchStatus.h"
#include "LaunchListModel.h"
#include "LaunchRecorder.h"
#include "LaunchWindows.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace bravik;
namespace ll = bravik::logbook::launchlog;

namespace {

// The longest time the user-interface thread went without handling a
// timer event that was due every 10 ms.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_longest = qMax(m_longest, m_clock.restart()); });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMs() const { return qMax(m_longest, m_clock.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// The freezes these tests catch last as long as the engine's wait (seconds);
// a busy two-core machine alone has delayed the event loop by 120 ms.
constexpr qint64 kStallLimitMs = 300;
constexpr int kStatementTimeoutMs = 1500;

QByteArray script()
{
    QFile f(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/transit.cfg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestLaunchWait : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;
    std::unique_ptr<test::FreezableProxy> m_proxy;
    std::unique_ptr<QProcess> m_holder;
    QString m_direct; // the logbook without the proxy

    bool onPostgres() const { return settings().databaseDriver == QLatin1String("QPSQL"); }

    QString mission(const QString &name)
    {
        QDir().mkpath(settings().missionsFolder);
        const QString path = QDir(settings().missionsFolder).filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(script());
        return path;
    }

    frmMissionDisplay *review() { return windows().existing<frmMissionDisplay>(); }
    frmAbortMission *abortWindow() { return windows().existing<frmAbortMission>(); }

    // The mission log window, its row stored once the logbook answered.
    frmMission *missionLog()
    {
        frmMission *log = windows().show<frmMission>();
        if (!log || !QTest::qWaitFor([log] { return !log->cursor()->isBusy(); }, 20000))
            return nullptr;
        return log;
    }

    // The mission log on a stored row (a new one when `newEntry`), then
    // "Select Mission" and a reviewer typed.  The logbook answers here.
    bool reviewMission(const QString &path, const QString &reviewer, bool newEntry = false)
    {
        frmMission *log = missionLog();
        if (!log)
            return false;
        if (newEntry || !log->cursor()->hasRow()) {
            log->beginNewRow();
            if (!test::waitForLogbook())
                return false;
            QTest::keyClicks(log->txtSubmittedBy, QStringLiteral("Ada"));
            if (!newEntry)
                log->moveLast();
            if (!QTest::qWaitFor([log] { return !log->cursor()->isBusy(); }, 20000))
                return false;
        }
        if (!test::waitForLogbook())
            return false;
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
        if (!review())
            return false;
        review()->cmbChecked->setFocus();
        QTest::keyClicks(review()->cmbChecked, reviewer);
        QTest::keyClick(review()->cmbChecked, Qt::Key_Tab);
        return true;
    }

    QList<ll::Record> records()
    {
        QList<ll::Record> out;
        QString error;
        auto db = logbook::Database::open({settings().databaseDriver, m_direct}, &error);
        if (!db)
            return out;
        ll::all(*db, &out, &error);
        return out;
    }

    // The logbook stops answering: the proxy freezes, or another program
    // takes the file's write lock for `holdMs`.
    bool freeze(int holdMs)
    {
        if (onPostgres()) {
            m_proxy->freeze();
            return true;
        }
        m_holder = std::make_unique<QProcess>();
        m_holder->start(QStringLiteral(WAIT_HELPER), {QStringLiteral("hold"), settings().database, QString::number(holdMs)});
        return m_holder->waitForReadyRead(20000) && m_holder->readLine().trimmed() == "held";
    }

    void thaw()
    {
        if (onPostgres())
            m_proxy->thaw();
        else if (m_holder && !m_holder->waitForFinished(20000))
            m_holder->kill();
    }

private Q_SLOTS:
    void initTestCase()
    {
        launch::LaunchRecorder::registerKeptHandler();
    }

    void init()
    {
        m_window.emplace([] { logbook::registerWindows(); launch::registerWindows(); }, QStringList(),
                         test::WindowTest::Unload);
        if (test::postgresRequested() && !m_window->settings.schema)
            QSKIP(qPrintable(test::postgresSkipReason()));
        // The record windows answer later here too, as in the program.
        m_window->seams.commands->recording = true;
        Settings s = settings();
        s.statementTimeoutMs = kStatementTimeoutMs;
        m_direct = s.database;
        if (onPostgres()) {
            // Every connection of the program goes through the proxy.
            m_proxy = std::make_unique<test::FreezableProxy>();
            const QString port = qEnvironmentVariable("PGPORT", QStringLiteral("5432"));
            QString error;
            QVERIFY2(m_proxy->start(QStringLiteral("127.0.0.1:") + port, &error), qPrintable(error));
            s.database = m_direct + QStringLiteral(" host=127.0.0.1 port=%1 connect_timeout=10").arg(m_proxy->port());
        }
        setSettings(s);
        logbook::LogbookService::setStatementTimeout(std::chrono::milliseconds(kStatementTimeoutMs));
        // The launch records answer as they come here.
        launch::LaunchSession::instance().reset();
    }

    void cleanup()
    {
        thaw();
        // The windows close once the logbook (and the proxy, still there)
        // answered what they asked.
        for (logbook::RecordFront *f : logbook::RecordFront::all())
            QTRY_VERIFY_WITH_TIMEOUT(!f->isBusy(), 20000);
        m_window->closeWindows();
        launch::LaunchSession::instance().reset();
        m_holder.reset();
        // A write left stuck at quit ends once the logbook answers again;
        // the test program must not end under its thread.
        m_window.reset();
        m_proxy.reset();
    }

    void runAndAbortWhileTheLogbookIsFrozen()
    {
        // A first launch while the logbook answers: the record is written
        // before the command starts, and no message.
        const QString first = mission(QStringLiteral("first.cfg"));
        QVERIFY(reviewMission(first, QStringLiteral("Ada")));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(records().value(0).text(QStringLiteral("StartResult")), QStringLiteral("started"), 10000);
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('\n')));
        QVERIFY(abortWindow());
        abortWindow()->close();
        test::flushDeletes();

        const QString second = mission(QStringLiteral("second.cfg"));
        QVERIFY(reviewMission(second, QStringLiteral("Ben")));
        QVERIFY(freeze(6000));
        StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        frmMissionDisplay *w = review();
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        QVERIFY(!w->cmdRunMission->isEnabled());
        QVERIFY(!w->cmdCancel->isEnabled());
        // A second press while the record is on its way does nothing.
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w->lblLaunchRecord->isVisible(), 1000);
        QCOMPARE(w->lblLaunchRecord->text(), QStringLiteral("Writing the launch record…"));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        if (const QString shots = qEnvironmentVariable("BRAVIK_SHOTS"); !shots.isEmpty())
            w->grab().save(shots + QStringLiteral("/writing-the-launch-record.png"));

        // The logbook does not answer: the mission starts anyway.
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 2, 10000);
        const qint64 startedAfter = clock.elapsed();
        QVERIFY2(startedAfter >= launch::LaunchSession::recordBound().count() - 100, qPrintable(QString::number(startedAfter)));
        QCOMPARE(m_window->seams.commands->calls[1].arguments.last(), second);
        QTRY_VERIFY(!review());
        QVERIFY(abortWindow());
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        const QString told = m_window->seams.messages->texts[0];
        QVERIFY2(told.startsWith(QStringLiteral("The mission was started.")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("could not be written before the start")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("will be written when the logbook answers")), qPrintable(told));

        // The abort, still frozen: the stop command starts at once.
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        QCOMPARE(m_window->seams.commands->calls.size(), 3);
        QCOMPARE(m_window->seams.commands->calls[2].program, settings().stopProgram);
        test::flushDeletes();
        QVERIFY(!abortWindow());
        const qint64 longest = stalls.longestMs();
        qInfo("longest stall while the logbook was frozen: %lld ms; the run started after %lld ms", longest, startedAfter);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));

        // Once it answers, the record is complete, in order: the insert,
        // the start, the abort, then what the status file says.
        thaw();
        QTRY_COMPARE_WITH_TIMEOUT(records().value(1).text(QStringLiteral("AbortResult")), QStringLiteral("started"), 20000);
        QList<ll::Record> rows = records();
        QCOMPARE(rows.size(), 2);
        const ll::Record &r = rows[1];
        QCOMPARE(r.text(QStringLiteral("Reviewer")), QStringLiteral("Ben"));
        QCOMPARE(r.text(QStringLiteral("RunFile")), second);
        QCOMPARE(r.text(QStringLiteral("StartResult")), QStringLiteral("started"));
        QCOMPARE(r.text(QStringLiteral("RunCommand")), launch::commandText(settings().runProgram, {second}));
        QCOMPARE(r.text(QStringLiteral("ReviewedSha256")), launch::sha256Hex(script()));
        QVERIFY(r.text(QStringLiteral("AbortedAtUtc")).endsWith('Z'));
        QCOMPARE(r.text(QStringLiteral("AbortCommand")), launch::commandText(settings().stopProgram, {}));
        const QString statusFile = r.text(QStringLiteral("RunStatusFile"));
        QCOMPARE(statusFile, m_window->seams.commands->calls[1].statusFile);
        QVERIFY(rows[0].text(QStringLiteral("AbortedAtUtc")).isEmpty());

        launch::CommandStatus status;
        status.state = launch::CommandStatus::State::Ended;
        status.exitStatus = QStringLiteral("1");
        status.output = QStringLiteral("vehicle not reachable\n");
        QVERIFY(launch::writeStatusFile(statusFile, status));
        QTRY_COMPARE_WITH_TIMEOUT(records().value(1).text(QStringLiteral("RunExitStatus")), QStringLiteral("1"), 10000);
        QCOMPARE(records().value(1).text(QStringLiteral("RunOutput")), status.output);
        QCOMPARE(records().size(), 2);
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
    }

    void aQuickAnswerStartsTheRunAtOnce()
    {
        // The logbook stops answering for less than the bound: the run
        // waits for its record and starts without any message.
        const QString path = mission(QStringLiteral("brief.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Cai")));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 10000);
        QTRY_VERIFY(abortWindow());
        abortWindow()->close();
        test::flushDeletes();

        QVERIFY(reviewMission(path, QStringLiteral("Dee")));
        QVERIFY(freeze(600));
        StallMeter stalls;
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        if (onPostgres())
            QTimer::singleShot(600, [this] { m_proxy->thaw(); });
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 2, 10000);
        // (Measured before the test's own probes below, which wait on the
        // logbook on this thread.)
        const qint64 longest = stalls.longestMs();
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('\n')));
        // Written before the start: the record was there when it started.
        QTRY_COMPARE_WITH_TIMEOUT(records().value(1).text(QStringLiteral("StartResult")), QStringLiteral("started"), 10000);
        QCOMPARE(records().size(), 2);
    }

    void aRefusalIsToldAndTheRunStarts()
    {
        // The table goes away under the program: the engine refuses the
        // insert at once, the run starts without waiting out the bound, and
        // the refusal is told with the start; nothing is tried again.
        const QString path = mission(QStringLiteral("refused.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Fay")));
        {
            QString error;
            auto db = logbook::Database::open({settings().databaseDriver, m_direct}, &error);
            QVERIFY2(db, qPrintable(error));
            QSqlQuery q(db->connection());
            QVERIFY(q.exec(QStringLiteral("DROP TABLE \"LaunchRecord\"")));
        }
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 10000);
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 1);
        const QString told = m_window->seams.messages->texts[0];
        QVERIFY2(told.startsWith(QStringLiteral("The mission was started.")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("The launch record could not be written before the start: ")), qPrintable(told));
        QVERIFY2(!told.contains(QStringLiteral("did not answer")), qPrintable(told));
        QVERIFY(abortWindow());
        // The abort has no record to fill and starts all the same.
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        QCOMPARE(m_window->seams.commands->calls.size(), 2);
        QTest::qWait(200);
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
    }

    void quittingKeepsWhatCouldNotBeWritten()
    {
        const QString path = mission(QStringLiteral("quit.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Eve \"E\"")));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 10000);
        QTRY_VERIFY(abortWindow());
        abortWindow()->close();
        test::flushDeletes();
        QTRY_VERIFY_WITH_TIMEOUT(!launch::LaunchSession::instance().isBusy(), 10000);

        QVERIFY(reviewMission(path, QStringLiteral("Eve \"E\"")));
        QVERIFY(freeze(15000));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 2, 10000);

        // The program quits as it does: its windows close, then the
        // launch's writes get a second, then are kept beside the logbook
        // and named.
        QElapsedTimer clock;
        clock.start();
        logbook::closeAllForQuit();
        launch::LaunchSession::instance().quit();
        // (The mission log's row, stored as its window closed, is kept with
        // them.)
        const QStringList kept = logbook::LogbookService::shutdownAll(std::chrono::milliseconds(1000))
                                     .filter(QStringLiteral(" LaunchRecord "));
        QVERIFY(clock.elapsed() < 8000);
        QCOMPARE(kept.size(), 2);
        QVERIFY2(kept[0].contains(QStringLiteral("insert LaunchRecord ")), qPrintable(kept[0]));
        QVERIFY2(kept[0].contains(QStringLiteral("Reviewer = \"Eve \"\"E\"\"\"")), qPrintable(kept[0]));
        QVERIFY2(kept[0].contains(QStringLiteral("RunFile = \"%1\"").arg(path)), qPrintable(kept[0]));
        QVERIFY2(kept[1].contains(QStringLiteral("StartResult = \"started\"")), qPrintable(kept[1]));
        if (m_holder)
            m_holder->kill();
        thaw();

        // The next start stores them: one record, complete.
        launch::LaunchSession::instance().reset();
        launch::LaunchSession::instance().recover();
        QTRY_COMPARE_WITH_TIMEOUT(records().size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(records().value(1).text(QStringLiteral("StartResult")), QStringLiteral("started"), 20000);
        QCOMPARE(records().value(1).text(QStringLiteral("Reviewer")), QStringLiteral("Eve \"E\""));
    }

    // "Launches" while the logbook does not answer: the window keeps
    // answering and says it waits; once the logbook answers, the list
    // comes, completed from the status file of a launch an earlier run of
    // the program started.
    void launchesWhileTheLogbookIsFrozen()
    {
        m_window->seams.commands->recording = true;
        const QString path = mission(QStringLiteral("listed.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Gus")));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(records().value(0).text(QStringLiteral("StartResult")), QStringLiteral("started"), 10000);
        abortWindow()->close();
        // The program that started it ended; its script ended later.
        launch::LaunchSession::instance().reset();
        launch::CommandStatus status;
        status.state = launch::CommandStatus::State::Ended;
        status.exitStatus = QStringLiteral("3");
        QVERIFY(launch::writeStatusFile(m_window->seams.commands->calls[0].statusFile, status));

        frmMission *log = missionLog();
        QVERIFY(freeze(3000));
        StallMeter stalls;
        QTest::mouseClick(log->cmdLaunches, Qt::LeftButton);
        auto *list = windows().existing<frmLaunches>();
        QVERIFY(list);
        auto exitOf = [list] { return list->model()->index(0, launch::LaunchListModel::Exit).data().toString(); };
        if (onPostgres()) {
            QTRY_VERIFY_WITH_TIMEOUT(list->fraWaiting->isVisible(), 2000);
            QCOMPARE(list->lblWaiting->text(), list->model()->client().waitingText());
            QCOMPARE(list->model()->rowCount(), 0);
            QTest::qWait(500);
            if (const QString shots = qEnvironmentVariable("BRAVIK_SHOTS"); !shots.isEmpty())
                list->grab().save(shots + QStringLiteral("/launches-waiting.png"));
        } else {
            // A reader of the file does not wait for the writer: the list
            // comes at once, the completion once the lock is gone.
            QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 1, 2000);
            QCOMPARE(exitOf(), QString());
        }
        const qint64 longest = stalls.longestMs();
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        thaw();
        QTRY_COMPARE_WITH_TIMEOUT(exitOf(), QStringLiteral("3"), 20000);
        QVERIFY(!list->fraWaiting->isVisible());
        QCOMPARE(list->lblLaunches->text(), QStringLiteral("1 launch of this mission log row."));
        QCOMPARE(records().size(), 1);
    }

    // A launch from a new mission log entry names that entry, whichever
    // is answered first: the entry's store or the launch record's insert.
    void aNewEntryIsLinkedInEitherOrder_data()
    {
        QTest::addColumn<QString>("lockedFirst");   // on a server: the table held locked
        QTest::newRow("the entry stored first") << QStringLiteral("LaunchRecord");
        QTest::newRow("the record written first") << QStringLiteral("MissionData");
    }
    void aNewEntryIsLinkedInEitherOrder()
    {
        QFETCH(QString, lockedFirst);
        const QString path = mission(QStringLiteral("new entry.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Hal"), true));
        frmMission *log = windows().existing<frmMission>();
        QVERIFY(log->cursor()->isNewRow());
        // On a server one table is held locked, so the other is answered
        // first; a file's write lock holds both.
        std::unique_ptr<logbook::Database> holder;
        if (onPostgres()) {
            QString error;
            holder = logbook::Database::open({settings().databaseDriver, m_direct}, &error);
            QVERIFY2(holder, qPrintable(error));
            QSqlQuery q(holder->connection());
            QVERIFY(q.exec(QStringLiteral("BEGIN")));
            QVERIFY(q.exec(QStringLiteral("LOCK TABLE \"%1\" IN ACCESS EXCLUSIVE MODE").arg(lockedFirst)));
            QTimer::singleShot(700, [&holder] { QSqlQuery(holder->connection()).exec(QStringLiteral("COMMIT")); });
        } else {
            QVERIFY(freeze(700));
        }
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(log->cursor()->currentKey() >= 0, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(records().value(0).values.value(QStringLiteral("MissionKey")).toLongLong(),
                                  log->cursor()->currentKey(), 10000);
        QCOMPARE(records().size(), 1);
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('\n')));
    }
};

QTEST_MAIN(TestLaunchWait)
#include "tst_launchwait.moc"
