// The logbook killed at random moments: a writer process stores rows and
// reports each one once its commit returned, and is killed with SIGKILL at
// a random moment, again and again.  After every kill the logbook must be
// sound and hold every reported row exactly once.  On PostgreSQL the server
// itself is also stopped dead and restarted once while a writer is busy.
//
//   BRAVIK_CRASH_CYCLES=N   cycles per engine (default 50)
//   BRAVIK_CRASH_SEED=S     repeats the kill moments of an earlier run

#include "WriterRuns.h"

#include "../postgres/TempServer.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/types.h>

using namespace bravik::logbook;
using namespace bravik::logbook::test;

class CrashCycles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sqlite();
    void postgres();

private:
    // Runs the cycles on `where`; with `server`, the cycle in the middle
    // restarts it while the writer is storing rows.
    void cycles(const DatabaseLocation &where, bravik::test::TempServer *server);

    quint32 m_seed = 0;
    int m_cycles = 50;
};

void CrashCycles::initTestCase()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("BRAVIK_CRASH_CYCLES", &ok);
    if (ok && n > 0)
        m_cycles = n;
    const QByteArray seed = qgetenv("BRAVIK_CRASH_SEED");
    m_seed = seed.isEmpty() ? QRandomGenerator::system()->generate() : seed.toUInt();
    qInfo("crash cycles: %d per engine, seed %u (BRAVIK_CRASH_SEED=%u repeats these kill moments)", m_cycles,
          m_seed, m_seed);
}

void CrashCycles::cycles(const DatabaseLocation &where, bravik::test::TempServer *server)
{
    QRandomGenerator random(m_seed);
    QHash<QString, qint64> printed;
    const int restartAt = server ? m_cycles / 2 : -1;
    int killedWriting = 0;
    for (int c = 0; c < m_cycles; ++c) {
        const bool restart = c == restartAt;
        const QString tag = QStringLiteral("c%1").arg(c);
        WriterRun run(where, tag, restart ? QStringList{QStringLiteral("--retry")} : QStringList{});
        QVERIFY2(run.process().waitForStarted(30000), qPrintable(run.process().errorString()));

        // Every fourth cycle, on average, the kill can come before the
        // logbook is even open; the others kill it while it stores rows.
        const bool early = random.bounded(4) == 0;
        const int delay = int(random.bounded(early ? 500 : 300));
        if (!early)
            QVERIFY2(run.waitFor([&] { return run.isReady(); }, 60000), qPrintable(run.errors()));
        if (restart) {
            QVERIFY2(run.waitFor([&] { return run.storedCount() >= 3; }, 60000), qPrintable(run.errors()));
            QVERIFY2(server->restartImmediate(), qPrintable(server->error()));
            const int before = run.storedCount();
            QVERIFY2(run.waitFor([&] { return run.storedCount() >= before + 5; }, 120000),
                     qPrintable(QStringLiteral("the writer stored nothing after the server restarted: ") + run.errors()));
        }
        run.waitFor([] { return false; }, delay);

        // A writer that stopped by itself was refused something.
        QVERIFY2(run.process().state() != QProcess::NotRunning,
                 qPrintable(QStringLiteral("cycle %1: the writer ended by itself: %2").arg(c).arg(run.errors())));
        ::kill(pid_t(run.process().processId()), SIGKILL);
        run.finish();
        QCOMPARE(run.process().exitStatus(), QProcess::CrashExit);
        QVERIFY2(run.reportedTwice().isEmpty(), qPrintable(run.reportedTwice().join(u' ')));
        if (run.storedCount() > 0)
            ++killedWriting;

        for (auto it = run.stored().cbegin(); it != run.stored().cend(); ++it)
            printed.insert(it.key(), it.value());
        int rows = 0;
        const QString problems = checkLogbook(where, printed, &rows);
        QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("after cycle %1 (killed %2 ms %3, seed %4):\n%5")
                                                    .arg(c)
                                                    .arg(delay)
                                                    .arg(early ? QStringLiteral("after the start")
                                                               : QStringLiteral("into writing"))
                                                    .arg(m_seed)
                                                    .arg(problems)));
        QVERIFY(rows >= printed.size());
    }
    qInfo("%d cycles, %d of them killed while storing rows; %lld rows reported and found", m_cycles, killedWriting,
          static_cast<long long>(printed.size()));
    // Most kills must have hit a writer that was storing rows, or the test
    // proved little.
    QVERIFY2(killedWriting >= m_cycles / 3, qPrintable(QString::number(killedWriting)));
}

void CrashCycles::sqlite()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    cycles({QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("Logbook.sqlite"))}, nullptr);
}

void CrashCycles::postgres()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP("Qt's QPSQL driver is not installed (libqt6sql6-psql)");
    bravik::test::TempServer server;
    if (!server.isValid())
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server of the test's own: ") + server.error()));
    cycles({QStringLiteral("QPSQL"), server.location()}, &server);
}

QTEST_GUILESS_MAIN(CrashCycles)
#include "tst_crash_cycles.moc"
