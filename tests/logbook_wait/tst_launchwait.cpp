// "Run Mission" and "Abort Mission" never freeze on the logbook: on
// PostgreSQL (as tst_launchwait_pg) the server stops answering behind a
// proxy the test freezes; on SQLite another program holds the file's write
// lock.  The run starts after a bounded wait, the abort at once, and once
// the logbook answers again every launch has exactly one complete record.

#include "Database.h"
#include "FieldLogWindows.h"
#include "FreezableProxy.h"
#include "Launch.h"
#include "LaunchLog.h"
#include "LaunchSession.h"
#include "LaunchStatus.h"
#include "LaunchWindows.h"
#include "RecordFront.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
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

    std::unique_ptr<test::TempSettings> m_temp;
    std::unique_ptr<test::Seams> m_seams;
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

    // The mission log on a stored row, then "Select Mission" and a
    // reviewer typed.  The logbook answers here; answers taken in step.
    bool reviewMission(const QString &path, const QString &reviewer)
    {
        logbook::RecordFront::setPatience(std::chrono::seconds(30));
        frmMission *log = windows().show<frmMission>();
        if (!log)
            return false;
        if (!log->cursor()->hasRow()) {
            log->beginNewRow();
            QTest::keyClicks(log->txtSubmittedBy, QStringLiteral("Ada"));
            log->moveLast();
        }
        logbook::RecordFront::setPatience(std::chrono::milliseconds(0));
        m_seams->dialogs->answers.enqueue(path);
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
        QSqlQuery q(db->connection());
        q.exec(QStringLiteral("SELECT \"BravikKey\" FROM \"LaunchRecord\" ORDER BY \"BravikKey\""));
        QList<qint64> keys;
        while (q.next())
            keys << q.value(0).toLongLong();
        for (qint64 k : keys) {
            ll::Record r;
            if (ll::read(*db, k, &r, &error))
                out << r;
        }
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
        logbook::registerWindows();
        launch::registerWindows();
    }

    void init()
    {
        m_temp = std::make_unique<test::TempSettings>();
        if (test::postgresRequested() && !m_temp->schema)
            QSKIP(qPrintable(test::postgresSkipReason()));
        m_seams = std::make_unique<test::Seams>();
        m_seams->commands->recording = true;
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
        launch::LaunchSession::instance().reset();
    }

    void cleanup()
    {
        thaw();
        // The windows close while the logbook (and the proxy) are still
        // there, their answers taken in step.
        logbook::RecordFront::setPatience(std::chrono::seconds(30));
        windows().unloadAll();
        test::flushDeletes();
        for (logbook::RecordFront *f : logbook::RecordFront::all())
            f->waitForIdle(std::chrono::seconds(10));
        launch::LaunchSession::instance().reset();
        m_holder.reset();
        m_seams.reset();
        m_proxy.reset();
        // A writer left stuck at quit ends once the logbook answers again;
        // the test program must not end under its thread.
        QVERIFY(logbook::RecordFront::finishAll(std::chrono::seconds(20)));
        m_temp.reset();
    }

    void runAndAbortWhileTheLogbookIsFrozen()
    {
        // A first launch while the logbook answers: the record is written
        // before the command starts, and no message.
        const QString first = mission(QStringLiteral("first.cfg"));
        QVERIFY(reviewMission(first, QStringLiteral("Ada")));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(records().value(0).text(QStringLiteral("StartResult")), QStringLiteral("started"), 10000);
        QVERIFY2(m_seams->messages->texts.isEmpty(), qPrintable(m_seams->messages->texts.join('\n')));
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
        QCOMPARE(m_seams->commands->calls.size(), 1);
        if (const QString shots = qEnvironmentVariable("BRAVIK_SHOTS"); !shots.isEmpty())
            w->grab().save(shots + QStringLiteral("/writing-the-launch-record.png"));

        // The logbook does not answer: the mission starts anyway.
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 2, 10000);
        const qint64 startedAfter = clock.elapsed();
        QVERIFY2(startedAfter >= launch::LaunchSession::recordBound().count() - 100, qPrintable(QString::number(startedAfter)));
        QCOMPARE(m_seams->commands->calls[1].arguments.last(), second);
        QTRY_VERIFY(!review());
        QVERIFY(abortWindow());
        QCOMPARE(m_seams->messages->texts.size(), 1);
        const QString told = m_seams->messages->texts[0];
        QVERIFY2(told.startsWith(QStringLiteral("The mission was started.")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("could not be written before the start")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("will be written when the logbook answers")), qPrintable(told));

        // The abort, still frozen: the stop command starts at once.
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        QCOMPARE(m_seams->commands->calls.size(), 3);
        QCOMPARE(m_seams->commands->calls[2].program, settings().stopProgram);
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
        QCOMPARE(statusFile, m_seams->commands->calls[1].statusFile);
        QVERIFY(rows[0].text(QStringLiteral("AbortedAtUtc")).isEmpty());

        launch::CommandStatus status;
        status.state = launch::CommandStatus::State::Ended;
        status.exitStatus = QStringLiteral("1");
        status.output = QStringLiteral("vehicle not reachable\n");
        QVERIFY(launch::writeStatusFile(statusFile, status));
        QTRY_COMPARE_WITH_TIMEOUT(records().value(1).text(QStringLiteral("RunExitStatus")), QStringLiteral("1"), 10000);
        QCOMPARE(records().value(1).text(QStringLiteral("RunOutput")), status.output);
        QCOMPARE(records().size(), 2);
        QCOMPARE(m_seams->messages->texts.size(), 1);
    }

    void aQuickAnswerStartsTheRunAtOnce()
    {
        // The logbook stops answering for less than the bound: the run
        // waits for its record and starts without any message.
        const QString path = mission(QStringLiteral("brief.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Cai")));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 1, 10000);
        QTRY_VERIFY(abortWindow());
        abortWindow()->close();
        test::flushDeletes();

        QVERIFY(reviewMission(path, QStringLiteral("Dee")));
        QVERIFY(freeze(600));
        StallMeter stalls;
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        if (onPostgres())
            QTimer::singleShot(600, [this] { m_proxy->thaw(); });
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 2, 10000);
        // (Measured before the test's own probes below, which wait on the
        // logbook on this thread.)
        const qint64 longest = stalls.longestMs();
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        QVERIFY2(m_seams->messages->texts.isEmpty(), qPrintable(m_seams->messages->texts.join('\n')));
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
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 1, 10000);
        QTRY_COMPARE(m_seams->messages->texts.size(), 1);
        const QString told = m_seams->messages->texts[0];
        QVERIFY2(told.startsWith(QStringLiteral("The mission was started.")), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("The launch record could not be written before the start: ")), qPrintable(told));
        QVERIFY2(!told.contains(QStringLiteral("did not answer")), qPrintable(told));
        QVERIFY(abortWindow());
        // The abort has no record to fill and starts all the same.
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        QCOMPARE(m_seams->commands->calls.size(), 2);
        QTest::qWait(200);
        QCOMPARE(m_seams->messages->texts.size(), 1);
    }

    void quittingReportsWhatCouldNotBeWritten()
    {
        const QString path = mission(QStringLiteral("quit.cfg"));
        QVERIFY(reviewMission(path, QStringLiteral("Eve \"E\"")));
        // Opens the writer's connection while the logbook still answers.
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 1, 10000);
        QTRY_VERIFY(abortWindow());
        abortWindow()->close();
        test::flushDeletes();

        QVERIFY(reviewMission(path, QStringLiteral("Eve \"E\"")));
        QVERIFY(freeze(15000));
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_seams->commands->calls.size(), 2, 10000);

        QElapsedTimer clock;
        clock.start();
        bool ended = true;
        const QStringList lost = launch::LaunchSession::instance().finishForQuit(std::chrono::milliseconds(1000), &ended);
        QVERIFY(clock.elapsed() < 8000);
        QCOMPARE(lost.size(), 2);
        QVERIFY2(lost[0].startsWith(QStringLiteral("insert LaunchRecord: ")), qPrintable(lost[0]));
        QVERIFY2(lost[0].contains(QStringLiteral("Reviewer = \"Eve \"\"E\"\"\"")), qPrintable(lost[0]));
        QVERIFY2(lost[0].contains(QStringLiteral("RunFile = \"%1\"").arg(path)), qPrintable(lost[0]));
        QVERIFY2(lost[1].contains(QStringLiteral("StartResult = \"started\"")), qPrintable(lost[1]));
        if (m_holder)
            m_holder->kill();
        thaw();
    }
};

QTEST_MAIN(TestLaunchWait)
#include "tst_launchwait.moc"
