// The program killed at random moments after "Run Mission" while the run
// script runs on, then started again: every launch record is complete,
// with the script's exit status and output once its script ran, and no
// launch has two.  The program is the launch console in a helper
// (launch_runner.cpp) with the real output recorder and a real script; on
// a SQLite file and (as tst_launch_crash_cycles_pg) on PostgreSQL.
//
//   BRAVIK_LAUNCH_CRASH_CYCLES=N   cycles (default 20)
//   BRAVIK_CRASH_SEED=S            repeats the kill moments of an earlier run

#include "Database.h"
#include "LaunchLog.h"
#include "LaunchSession.h"
#include "TestPostgres.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/types.h>

using namespace bravik;
namespace ll = bravik::logbook::launchlog;

namespace {

// Runs the helper to its end (or kills it after `ms`); its output.
QString runToEnd(const QStringList &args, int ms, int *exitCode)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(BRAVIK_LAUNCH_RUNNER), args);
    if (!p.waitForFinished(ms))
        p.kill();
    p.waitForFinished(5000);
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

} // namespace

class LaunchCrashCycles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<test::PostgresSchema> m_schema;
    logbook::DatabaseLocation m_where;
    quint32 m_seed = 0;
    int m_cycles = 20;

    QList<ll::Record> recordsOf(const QString &mission)
    {
        QList<ll::Record> all, out;
        QString error;
        if (auto db = logbook::Database::open(m_where, &error))
            ll::all(*db, &all, &error);
        for (const ll::Record &r : all)
            if (r.text(QStringLiteral("RunFile")) == mission)
                out << r;
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested()) {
            if (!test::postgresSkipReason().isEmpty())
                QSKIP(qPrintable(test::postgresSkipReason()));
            m_schema = std::make_unique<test::PostgresSchema>();
            QVERIFY2(m_schema->isValid(), qPrintable(m_schema->error()));
            m_where = {QStringLiteral("QPSQL"), m_schema->location()};
        } else {
            m_where = {QStringLiteral("QSQLITE"), m_dir.filePath(QStringLiteral("Logbook.sqlite"))};
        }
        bool ok = false;
        const int n = qEnvironmentVariableIntValue("BRAVIK_LAUNCH_CRASH_CYCLES", &ok);
        if (ok && n > 0)
            m_cycles = n;
        const QByteArray seed = qgetenv("BRAVIK_CRASH_SEED");
        m_seed = seed.isEmpty() ? QRandomGenerator::system()->generate() : seed.toUInt();
        qInfo("launch crash cycles: %d, seed %u (BRAVIK_CRASH_SEED=%u repeats these kill moments)", m_cycles, m_seed,
              m_seed);
        QFile script(m_dir.filePath(QStringLiteral("run.sh")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"started $1\" >> '%1'\necho running\nsleep 2\necho done\nexit 3\n")
                         .arg(m_dir.filePath(QStringLiteral("marks")))
                         .toLocal8Bit());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    }

    void killedAndStartedAgain()
    {
        QRandomGenerator random(m_seed);
        QFile golden(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/transit.cfg"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QByteArray bytes = golden.readAll();
        const QStringList where{m_where.driver, m_where.location, m_dir.path()};
        int killedWhileRunning = 0, abortAtHand = 0;
        for (int c = 0; c < m_cycles; ++c) {
            const QString mission = m_dir.filePath(QStringLiteral("cycle %1.cfg").arg(c));
            QFile f(mission);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.close();

            QProcess program;
            program.start(QStringLiteral(BRAVIK_LAUNCH_RUNNER), QStringList{QStringLiteral("run")} + where + QStringList{mission});
            QVERIFY(program.waitForStarted(30000));
            QByteArray said;
            while (!said.contains("pressed\n") && program.state() == QProcess::Running)
                if (program.waitForReadyRead(60000))
                    said += program.readAllStandardOutput();
            QVERIFY2(said.contains("pressed\n"), said.constData());
            const int delay = int(random.bounded(1500));
            QTest::qWait(delay);
            QVERIFY2(program.state() == QProcess::Running, said.constData());
            ::kill(pid_t(program.processId()), SIGKILL);
            QVERIFY(program.waitForFinished(10000));
            said += program.readAllStandardOutput();
            QVERIFY2(!said.contains("message:"), said.constData());

            int code = 0;
            const QString after = runToEnd(QStringList{QStringLiteral("start")} + where, 120000, &code);
            const QString context = QStringLiteral("cycle %1, killed %2 ms after the press (seed %3): %4")
                                        .arg(c).arg(delay).arg(m_seed).arg(after);
            QVERIFY2(code == 0 && after.contains(QStringLiteral("recovered")) && !after.contains(QStringLiteral("message:")),
                     qPrintable(context));

            // A script still running at the start is shown as running, its
            // abort at hand.
            if (after.contains(QStringLiteral("abort at hand: ")))
                QVERIFY2(after.contains(QStringLiteral("abort at hand: running\n")), qPrintable(context));
            abortAtHand += after.contains(QStringLiteral("abort at hand: running\n")) ? 1 : 0;

            QFile marks(m_dir.filePath(QStringLiteral("marks")));
            const bool ran = marks.open(QIODevice::ReadOnly) && marks.readAll().contains(("started " + mission).toLocal8Bit());
            const QList<ll::Record> records = recordsOf(mission);
            if (ran) {
                ++killedWhileRunning;
                QVERIFY2(records.size() == 1, qPrintable(QStringLiteral("%1 records; ").arg(records.size()) + context));
                const ll::Record &r = records.first();
                QVERIFY2(r.text(QStringLiteral("RunExitStatus")) == QLatin1String("3"), qPrintable(context));
                QVERIFY2(r.text(QStringLiteral("RunOutput")).contains(QStringLiteral("done")), qPrintable(context));
                QVERIFY2(r.text(QStringLiteral("StartResult")) == QLatin1String("started"), qPrintable(context));
                QVERIFY2(r.values.value(QStringLiteral("ProcessId")).toLongLong() > 0, qPrintable(context));
            } else {
                // Killed before the run command started: a record, if any,
                // says so.
                QVERIFY2(records.size() <= 1, qPrintable(context));
                if (!records.isEmpty())
                    QVERIFY2(records.first().text(QStringLiteral("StartResult")) == launch::LaunchSession::startNotToldText(),
                             qPrintable(context));
            }
        }
        qInfo("%d cycles, %d of them killed while the run script ran, %d started again while it still ran", m_cycles,
              killedWhileRunning, abortAtHand);
        // Most kills must have hit a running script, and the start after
        // most of them found it running, or the test proved little.
        QVERIFY2(killedWhileRunning >= m_cycles / 2, qPrintable(QString::number(killedWhileRunning)));
        QVERIFY2(abortAtHand >= killedWhileRunning / 2, qPrintable(QString::number(abortAtHand)));
    }
};

QTEST_GUILESS_MAIN(LaunchCrashCycles)
#include "tst_launch_crash_cycles.moc"
