// Store and forward: a boat laptop's logbook file (a copy of the ship's)
// kept in step with the ship's shared logbook: a server when the test runs
// on one, a second file otherwise.
#include "LogbookCopy.h"
#include "LogbookFixture.h"
#include "LogbookService.h"
#include "LogbookSync.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

class LogbookSyncTest : public QObject
{
    Q_OBJECT

    // The ship's logbook with a mission entry (Max Depth 10) and a note; the laptop's file copied from it.
    struct Pair
    {
        LogbookFile local, server;
        Pair()
        {
            local.schema.reset();
            edit(server, QStringLiteral("Max Depth=10"));
            edit(server, QStringLiteral("new=x"));
            QString error;
            if (!copyLogbook(server.where(), local.where(), nullptr, &error))
                qWarning("%s", qPrintable(error));
        }
    };

    // "Max Depth=20" on the mission entry (made when there is none), "new=text" a note.
    static void edit(LogbookFile &file, const QString &op)
    {
        auto db = file.open();
        const QString field = op.section(QLatin1Char('='), 0, 0);
        RecordCursor c(*db, field == QLatin1String("new") ? QStringLiteral("Miscellaneous") : QStringLiteral("MissionData"));
        QVERIFY(c.open());
        if (field == QLatin1String("new") || c.currentKey() < 0)
            QVERIFY(c.beginNew());
        c.setValue(field == QLatin1String("new") ? QStringLiteral("Note") : field, op.section(QLatin1Char('='), 1));
        QVERIFY2(c.save(), qPrintable(c.lastError()));
    }

    // Every note and mission entry by id with its value; an id held twice shows twice.
    static QStringList entries(LogbookFile &file)
    {
        QStringList lines;
        QSqlQuery q(file.raw());
        q.exec(QStringLiteral("SELECT \"EntryId\", \"Note\" FROM \"Miscellaneous\" UNION ALL SELECT \"EntryId\", \"Max Depth\" FROM \"MissionData\""));
        while (q.next())
            lines << q.value(0).toString() + QLatin1Char('|') + q.value(1).toString();
        lines.sort();
        return lines;
    }

    // The line, with "%T" for the time of this minute or the one before.
    static bool says(const SyncStatus &status, const QString &pattern)
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const QDateTime &t : {now, now.addSecs(-60)})
            if (status.text() == QString(pattern).replace(QStringLiteral("%T"), t.toString(QStringLiteral("HH:mm")) + QStringLiteral(" UTC")))
                return true;
        qWarning("the line says: %s", qPrintable(status.text()));
        return false;
    }

    static bool exchange(LogbookSync &sync)
    {
        QSignalSpy done(&sync, &LogbookSync::exchanged);
        sync.syncNow();
        return done.wait(60000) && done.first().first().toBool();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString skip = LogbookFile::skipReason(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void exchanges_data()
    {
        QTest::addColumn<QStringList>("edits");     // "L ..." on the laptop, "S ..." on the server
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("before");        // the line once the file is counted
        QTest::addColumn<QString>("after");         // ... after an exchange
        QTest::addColumn<QString>("conflicts");
        QTest::addColumn<QString>("maxDepth");      // in the file after
        QTest::addColumn<bool>("announced");        // the file's mission entry took a change a list shows
        const QString upToDate = QStringLiteral("Shared logbook: up to date (%T)");
        QTest::newRow("entries made on both sides meet") << QStringList{"L new=boat", "S new=ship", "S new=ship 2"} << true
            << "Shared logbook: 1 change waiting to be sent" << upToDate << "" << "10" << false;
        QTest::newRow("edits made here are sent") << QStringList{"L Max Depth=20", "L Notes=calm"} << true
            << "Shared logbook: 2 changes waiting to be sent" << upToDate << "" << "20" << false;
        QTest::newRow("an edit made on the server comes") << QStringList{"S Max Depth=25"} << true << upToDate << upToDate << "" << "25" << true;
        QTest::newRow("the same field changed on both") << QStringList{"L Max Depth=20", "S Max Depth=25"} << true
            << "Shared logbook: 1 change waiting to be sent" << upToDate << "1 conflict to settle" << "25" << true;
        // A server never reached: nothing here is known to be there.
        QTest::newRow("server not reachable") << QStringList{"L new=boat"} << false << "Shared logbook: 3 changes waiting to be sent"
            << "Shared logbook: 3 changes waiting to be sent; server not reachable since %T" << "" << "10" << false;
    }
    void exchanges()
    {
        QFETCH(QStringList, edits);
        QFETCH(bool, reachable);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, conflicts);
        QFETCH(QString, maxDepth);
        QFETCH(bool, announced);
        Pair p;
        DatabaseLocation server = p.server.where();
        {
            LogbookSync first(p.local.where(), server, std::chrono::hours(1));
            QVERIFY2(exchange(first), qPrintable(first.status().lastError));   // the laptop's first meeting
        }
        for (const QString &e : edits)
            edit(e.startsWith(QLatin1Char('L')) ? p.local : p.server, e.mid(2));
        if (!reachable)
            server.location = p.server.isPostgres() ? QStringLiteral("host=127.0.0.1 port=1 dbname=none") : QStringLiteral("/proc/version/Logbook.sqlite");
        LogbookSync sync(p.local.where(), server, std::chrono::hours(1));
        QSignalSpy counted(&sync, &LogbookSync::statusChanged), done(&sync, &LogbookSync::exchanged);
        QSignalSpy stored(&LogbookService::at(p.local.where()), &LogbookService::changed);
        sync.start();
        QVERIFY(counted.wait(30000));
        QVERIFY(says(sync.status(), before));
        QVERIFY(done.wait(60000));
        QCOMPARE(done.first().first().toBool(), reachable);
        QVERIFY(says(sync.status(), after));
        QCOMPARE(sync.status().conflictsText(), conflicts);
        QCOMPARE(p.local.sql(QStringLiteral("SELECT \"Max Depth\" FROM \"MissionData\"")).toString(), maxDepth);
        // A list showing the mission entry is told of its new values; entries new here are on no list yet.
        QStringList told;
        for (const QVariantList &s : std::as_const(stored))
            told << s.first().toString() + QLatin1Char(' ') + s.last().toString();
        QCOMPARE(told, announced ? QStringList{QStringLiteral("MissionData ") + p.local.sql(QStringLiteral("SELECT \"BravikKey\" FROM \"MissionData\"")).toString()}
                                 : QStringList{});
        if (reachable)
            QCOMPARE(entries(p.local), entries(p.server));
        // Again: nothing changes, and since when the server is away is kept in the file.
        const QStringList held = entries(p.server);
        QTest::qWait(reachable ? 0 : 1100);
        LogbookSync again(p.local.where(), server, std::chrono::hours(1));
        QCOMPARE(exchange(again), reachable);
        QCOMPARE(entries(p.server), held);
        QCOMPARE(again.status().unreachableSinceUtc, sync.status().unreachableSinceUtc);
    }

    // Exchanges killed at random moments, then one run whole: every entry is on both sides exactly once.
    void killedExchangeLeavesEveryEntryOnce()
    {
        Pair p;
        for (auto [file, n] : {std::pair{&p.local, 2000}, {&p.server, 500}}) {
            file->sql(QStringLiteral("BEGIN"));
            for (int i = 0; i < n; ++i)
                file->sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\", \"EntryId\") VALUES (?, ?)"), {QString::number(i), newEntryId()});
            file->sql(QStringLiteral("COMMIT"));
        }
        auto once = [](const QString &local, const DatabaseLocation &server, int killAfterMs) {
            QProcess run;
            run.start(QStringLiteral(BRAVIK_SYNC_ONCE_EXE), {local, server.driver, server.location});
            if (killAfterMs >= 0 && !run.waitForFinished(killAfterMs))
                run.kill();   // SIGKILL
            return run.waitForFinished(120000) && run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
        };
        LogbookFile copy;   // the time a whole exchange takes, on a copy of the pair
        QString error;
        QVERIFY(QFile::copy(p.local.path, p.local.path + QStringLiteral(".copy")) && copyLogbook(p.server.where(), copy.where(), nullptr, &error));
        QElapsedTimer whole;
        whole.start();
        QCOMPARE(once(p.local.path + QStringLiteral(".copy"), copy.where(), -1), 0);
        const qint64 span = whole.elapsed();
        const int cycles = qEnvironmentVariableIntValue("BRAVIK_SYNC_KILL_CYCLES") > 0 ? qEnvironmentVariableIntValue("BRAVIK_SYNC_KILL_CYCLES") : 6;
        const quint32 seed = qEnvironmentVariableIsSet("BRAVIK_SYNC_KILL_SEED") ? qEnvironmentVariable("BRAVIK_SYNC_KILL_SEED").toUInt()
                                                                                : QRandomGenerator::global()->generate();
        qInfo("kill cycles: %d, seed %u (BRAVIK_SYNC_KILL_SEED), within %lld ms", cycles, seed, span);
        QRandomGenerator random(seed);
        for (int cycle = 0; cycle < cycles; ++cycle)
            once(p.local.path, p.server.where(), int(random.bounded(span)));
        QCOMPARE(once(p.local.path, p.server.where(), -1), 0);
        QCOMPARE(entries(p.local).size(), 2 + 2000 + 500);
        QCOMPARE(entries(p.server), entries(p.local));
        QCOMPARE(p.local.sql(QStringLiteral("SELECT integrity_check FROM pragma_integrity_check")).toString(), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(LogbookSyncTest)
#include "tst_logbooksync.moc"
