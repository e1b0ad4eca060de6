// The windows never freeze on the logbook: a server that stops answering
// (a proxy the test freezes), a file whose write lock another program
// holds, four programs writing to one file at once, and quitting while a
// store is stuck.

#include "LogbookProbe.h"
#include "FreezableProxy.h"
#include "RecordFront.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "Submission.h"
#include "TempServer.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace bravik;
using bravik::logbook::RecordWindow;
using bravik::test::LogbookProbe;

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
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = qMax(m_longest, m_clock.restart());
        });
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

} // namespace

class TestLogbookWait : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempSettings> m_settings;
    std::unique_ptr<test::Seams> m_seams;

    static QWidget *waitingLine(QWidget *w) { return w->findChild<QFrame *>("fraWaiting"); }

    // A window opened on its table, answers arriving as they come.
    RecordWindow *openWindow(const QString &name)
    {
        auto *w = qobject_cast<RecordWindow *>(windows().show(name));
        if (!w)
            return nullptr;
        if (!QTest::qWaitFor([w] { return w->isOpen(); }, 20000))
            return nullptr;
        return w;
    }

    bool settled(RecordWindow *w)
    {
        return QTest::qWaitFor([w] { return !w->cursor()->isBusy(); }, 20000);
    }

    static void setLogbook(const QString &driver, const QString &location)
    {
        Settings s = settings();
        s.databaseDriver = driver;
        s.database = location;
        setSettings(s);
    }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<test::TempSettings>();
        m_seams = std::make_unique<test::Seams>();
        // These tests take the answers as they come.
        logbook::RecordFront::setPatience(std::chrono::milliseconds(0));
        windows().reset();
        logbook::registerWindows();
        test::registerStub("frmLogMain");
    }

    void cleanup()
    {
        windows().reset();
        test::flushDeletes();
        logbook::RecordFront::finishAll(std::chrono::seconds(20));
        m_seams.reset();
        m_settings.reset();
    }

    void frozenServer()
    {
        test::TempServer server;
        if (!server.isValid())
            QSKIP(qPrintable(server.error()));
        const QString socketFolder = server.location().section(QLatin1Char(' '), 0, 0).section(QLatin1Char('='), 1);
        test::FreezableProxy proxy;
        QString error;
        QVERIFY2(proxy.start(socketFolder + QStringLiteral("/.s.PGSQL.5432"), &error), qPrintable(error));
        const QString viaProxy =
            QStringLiteral("host=127.0.0.1 port=%1 user=bravik dbname=postgres connect_timeout=10").arg(proxy.port());
        setLogbook(QStringLiteral("QPSQL"), viaProxy);

        // Unfrozen, the window works as it always has.
        RecordWindow *w = openWindow("frmMisc");
        QVERIFY(w);
        QVERIFY(w->moveLast() && w->beginNewRow());
        QVERIFY(settled(w));
        auto *note = w->findChild<QPlainTextEdit *>("txtNote");
        w->findChild<QLineEdit *>("txtTime")->setText("t1");
        QTest::keyClicks(note, "keep me");

        // The server stops answering while the row is stored.
        proxy.freeze();
        StallMeter stalls;
        QTest::mouseClick(w->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(waitingLine(w) && waitingLine(w)->isVisible(), 5000);
        const QString line = w->findChild<QLabel *>("lblWaiting")->text();
        QCOMPARE(line, QStringLiteral("Waiting for the logbook on 127.0.0.1:%1…").arg(proxy.port()));
        QVERIFY(!note->isEnabled());
        QVERIFY(!w->findChild<QToolButton *>("cmdNext")->isEnabled());
        // For looking at it: BRAVIK_SHOTS=FOLDER saves a picture of the window.
        if (const QString shots = qEnvironmentVariable("BRAVIK_SHOTS"); !shots.isEmpty())
            w->grab().save(shots + QStringLiteral("/waiting-frozen-server.png"));
        QTest::qWait(1500);
        QCOMPARE(windows().existing("frmMisc"), w);
        QVERIFY(!windows().existing("frmLogMain"));

        // Stop waiting: as after a refused store, the row stays with its text.
        QTest::mouseClick(w->findChild<QPushButton *>("cmdStopWaiting"), Qt::LeftButton);
        QTRY_COMPARE(m_seams->messages->texts.size(), 1);
        QVERIFY2(m_seams->messages->texts.first().contains("did not answer"), qPrintable(m_seams->messages->texts.first()));
        QVERIFY(!waitingLine(w)->isVisible());
        QVERIFY(note->isEnabled());
        QCOMPARE(note->toPlainText(), QStringLiteral("keep me"));
        QCOMPARE(windows().existing("frmMisc"), w);
        const qint64 longest = stalls.longestMs();
        qInfo("longest stall of the user-interface thread while the server was frozen: %lld ms", longest);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));

        // Thawed, storing again works, and the row is there once.
        proxy.thaw();
        QVERIFY(w->moveFirst());
        QVERIFY(settled(w));
        LogbookProbe probe;
        Settings direct = settings();
        direct.database = server.location();
        setSettings(direct);
        QTRY_COMPARE(probe.count("Miscellaneous"), 1);
        QCOMPARE(probe.field("Miscellaneous", "Note").toString(), QStringLiteral("keep me"));
        QCOMPARE(probe.field("Miscellaneous", "Date/Time").toString(), QStringLiteral("t1"));
        QCOMPARE(m_seams->messages->texts.size(), 1);
        probe.close();
        windows().reset();
        test::flushDeletes();
        QVERIFY(logbook::RecordFront::finishAll(std::chrono::seconds(20)));
    }

    void fileLockHeldByAnotherProgram()
    {
        LogbookProbe probe;
        if (LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        RecordWindow *w = openWindow("frmMisc");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "first");

        QProcess holder;
        holder.start(QStringLiteral(WAIT_HELPER), {"hold", settings().database, "3000"});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        // A submission into the window waits its turn behind the store.
        StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        submitLogEntry("Miscellaneous", "t2", "Ben");
        QTRY_VERIFY_WITH_TIMEOUT(waitingLine(w)->isVisible(), 3000);
        QVERIFY(w->findChild<QLabel *>("lblWaiting")->text() == QStringLiteral("Waiting for the logbook…"));
        QTRY_VERIFY_WITH_TIMEOUT(!waitingLine(w)->isVisible(), 20000);
        QVERIFY(settled(w));
        const qint64 waited = clock.elapsed();
        const qint64 longest = stalls.longestMs();
        qInfo("waited %lld ms for the lock; longest stall %lld ms", waited, longest);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        QVERIFY(waited >= 1000);
        QVERIFY(holder.state() == QProcess::NotRunning || holder.waitForFinished(20000));

        QCOMPARE(w->findChild<QLineEdit *>("txtTime")->text(), QStringLiteral("t2"));
        QCOMPARE(w->findChild<QLineEdit *>("txtSubmittedBy")->text(), QStringLiteral("Ben"));
        QCOMPARE(probe.count("Miscellaneous"), 1);
        QCOMPARE(probe.field("Miscellaneous", "Note").toString(), QStringLiteral("first"));
        QTest::mouseClick(w->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
        QTRY_VERIFY(!windows().existing("frmMisc"));
        QVERIFY(windows().existing("frmLogMain"));
        QCOMPARE(probe.count("Miscellaneous"), 2);
        QCOMPARE(probe.field("Miscellaneous", "SubmittedBy", 1).toString(), QStringLiteral("Ben"));
        QVERIFY(m_seams->messages->texts.isEmpty());
    }

    void fourProgramsWriteAtOnce()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        // The file exists before they start, as on a crew's computer.
        {
            logbook::RecordFront front({"QSQLITE", settings().database}, "Miscellaneous");
            front.request(logbook::RecordFront::Request::Open);
            QVERIFY(front.waitForIdle(std::chrono::seconds(20)) && front.isOpen());
        }
        std::vector<std::unique_ptr<QProcess>> writers;
        for (int i = 0; i < 4; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::MergedChannels);
            p->start(QStringLiteral(WAIT_HELPER), {"write", settings().database, "500", QStringLiteral("w%1").arg(i)});
            writers.push_back(std::move(p));
        }
        for (auto &p : writers) {
            QVERIFY(p->waitForFinished(240000));
            const QString out = QString::fromLocal8Bit(p->readAll());
            QVERIFY2(!out.contains("locked"), qPrintable(out));
            QVERIFY2(p->exitCode() == 0, qPrintable(out));
        }
        LogbookProbe probe;
        QCOMPARE(probe.count("Miscellaneous"), 2000);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(probe.sql("SELECT COUNT(*) FROM \"Miscellaneous\" WHERE \"SubmittedBy\" = ?",
                               {QStringLiteral("w%1").arg(i)}).toInt(), 500);
    }

    void quittingReportsWhatCouldNotBeStored()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        RecordWindow *w = openWindow("frmTaskList");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtTaskDescription"), "Grease \"the\" rudder");

        QProcess holder;
        holder.start(QStringLiteral(WAIT_HELPER), {"hold", settings().database, "15000"});
        QVERIFY(holder.waitForReadyRead(20000));

        QElapsedTimer clock;
        clock.start();
        const QStringList lost = logbook::closeAllForQuit(std::chrono::milliseconds(1500));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(lost, QStringList{"TaskList: TaskDescription = \"Grease \"\"the\"\" rudder\""});
        QVERIFY(m_seams->messages->texts.isEmpty());
        holder.kill();
        holder.waitForFinished();
    }
};

QTEST_MAIN(TestLogbookWait)
#include "tst_logbookwait.moc"
