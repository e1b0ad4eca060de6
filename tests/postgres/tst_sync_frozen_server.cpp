// The main window of a boat laptop whose logbook file is kept in step with
// a shared logbook on a server of the test's own, which hangs behind a
// proxy and is then killed: the window keeps answering, its line says what
// waits, and once the server is back every entry is on it exactly once.
#include "FreezableProxy.h"
#include "LogbookService.h"
#include "LogbookSync.h"
#include "RecordCursor.h"
#include "Settings.h"
#include "ShellWindows.h"
#include "TempServer.h"
#include "WindowManager.h"
#include "WindowTest.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace bravik;
using namespace bravik::logbook;

class SyncFrozenServerTest : public QObject
{
    Q_OBJECT

    // A note stored through the file's logbook service as a record window stores one; how long it took.
    static qint64 note(const QString &text)
    {
        LogbookClient client({QStringLiteral("QSQLITE"), settings().database});
        std::optional<Answer<qint64>> answer;
        QElapsedTimer took;
        took.start();
        client.run(JobOptions{JobOptions::Lane::Short, JobOptions::Write::Awaited, {}, {}}, [text](JobContext &c) {
            RecordCursor row(c.database(), QStringLiteral("Miscellaneous"));
            row.beginNew();
            row.setValue(QStringLiteral("Note"), text);
            return row.save() ? row.currentKey() : -1;
        }, [&](const Answer<qint64> &a) { answer = a; });
        if (!QTest::qWaitFor([&] { return answer.has_value(); }, 30000) || answer->value < 0)
            return 1000000;
        client.service().announceChanged(QStringLiteral("Miscellaneous"), answer->value);
        return took.elapsed();
    }

    // The line, with "%T" for the time of this minute or the one before.
    static bool says(const QLabel *line, const QString &pattern)
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const QDateTime &t : {now, now.addSecs(-60)})
            if (line->text() == QString(pattern).replace(QStringLiteral("%T"), t.toString(QStringLiteral("HH:mm 'UTC'"))))
                return true;
        return false;
    }

private Q_SLOTS:
    void windowKeepsAnsweringWhileTheServerHangs()
    {
        test::TempServer server;
        test::FreezableProxy proxy;
        QString error;
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")) || !server.isValid())
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL server of the test's own: ") + server.error()));
        QVERIFY2(proxy.start(server.socket(), &error), qPrintable(error));
        test::WindowTest window(registerShellWindows);
        const qint64 engineWait = 3000;
        LogbookService::setStatementTimeout(std::chrono::milliseconds(engineWait));
        QVERIFY(note(QStringLiteral("before 1")) < engineWait && note(QStringLiteral("before 2")) < engineWait);
        QVERIFY(!windows().show<frmLogMain>()->findChild<QPushButton *>(QStringLiteral("cmdSyncNow")));   // no server set
        window.closeWindows();
        registerShellWindows();

        LogbookSync sync({QStringLiteral("QSQLITE"), settings().database},
                         {QStringLiteral("QPSQL"), QStringLiteral("host=127.0.0.1 port=%1 user=bravik dbname=postgres").arg(proxy.port())},
                         std::chrono::hours(1));
        QSignalSpy done(&sync, &LogbookSync::exchanged);
        sync.start();
        QVERIFY(done.wait(60000) && done.takeFirst().first().toBool());
        auto *w = windows().show<frmLogMain>();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY2(says(w->lblSync, QStringLiteral("Shared logbook: up to date (%T)")), qPrintable(w->lblSync->text()));
        QCOMPARE(w->cmdChart->nextInFocusChain(), w->cmdSyncNow);
        QVERIFY(w->rect().contains(w->lblSync->geometry()) && !w->lblSyncConflicts->isVisible());

        // The longest time the window's event loop goes unanswered from here.
        QElapsedTimer clock;
        qint64 last = 0, stall = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, this, [&] { stall = std::max(stall, clock.elapsed() - last), last = clock.elapsed(); });
        clock.start();
        beat.start(5);
        proxy.freeze();
        QTest::mouseClick(w->cmdSyncNow, Qt::LeftButton);
        const qint64 store = note(QStringLiteral("while the server hangs"));
        QVERIFY(note(QStringLiteral("still hanging")) < engineWait);
        window.probe.sql(QStringLiteral("INSERT INTO \"MergeConflict\" (\"EntryId\", \"TableName\", \"Field\") VALUES ('c1', 'MissionData', 'Max Depth')"));
        const QString waits = QStringLiteral("Shared logbook: 2 changes waiting to be sent; server not reachable since %T");
        QTRY_VERIFY2_WITH_TIMEOUT(says(w->lblSync, waits), qPrintable(w->lblSync->text()), 20000);
        QVERIFY2(server.stop(QStringLiteral("immediate")), qPrintable(server.error()));   // killed
        last = clock.elapsed();   // pg_ctl is waited for here, by the test
        QVERIFY(done.wait(60000) && !done.takeFirst().first().toBool());
        QVERIFY2(says(w->lblSync, waits), qPrintable(w->lblSync->text()));
        QCOMPARE(w->lblSyncConflicts->text(), QStringLiteral("1 conflict to settle"));
        beat.stop();
        qInfo("longest stall of the window's event loop while the server hung and died: %lld ms; a store meanwhile: %lld ms "
              "(the engine waits %lld ms)", stall, store, engineWait);
        QVERIFY(stall < engineWait / 10 && store < engineWait / 3);

        QVERIFY2(server.start(), qPrintable(server.error()));
        proxy.thaw();
        QTest::mouseClick(w->cmdSyncNow, Qt::LeftButton);
        QVERIFY(done.wait(60000));
        QVERIFY2(done.takeFirst().first().toBool(), qPrintable(sync.status().lastError));
        QVERIFY2(says(w->lblSync, QStringLiteral("Shared logbook: up to date (%T)")), qPrintable(w->lblSync->text()));
        QSqlDatabase ship = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("ship"));
        ship.setConnectOptions(server.location());
        QVERIFY(ship.open());
        QCOMPARE(test::runSql(ship, QStringLiteral("SELECT COUNT(DISTINCT \"EntryId\") || ' of ' || COUNT(*) || ': ' || "
                                                   "string_agg(\"Note\", '|' ORDER BY \"Note\") FROM \"Miscellaneous\"")).toString(),
                 QStringLiteral("4 of 4: before 1|before 2|still hanging|while the server hangs"));
        ship.close();
        window.closeWindows();
    }
};

QTEST_MAIN(SyncFrozenServerTest)
#include "tst_sync_frozen_server.moc"
