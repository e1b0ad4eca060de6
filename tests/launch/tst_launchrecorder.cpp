// Launch records written through the logbook service: one record for each
// launch however often its write was tried.  On SQLite another connection
// holds the write lock; on PostgreSQL (as tst_launchrecorder_pg) the server
// is frozen behind a proxy and the connection broken after the insert
// landed.

#include "FreezableProxy.h"
#include "LaunchRecorder.h"
#include "LogbookFixture.h"
#include "LogbookService.h"

#include <QTest>
#include <optional>

using namespace bravik;
using namespace bravik::logbook;
using bravik::launch::LaunchRecorder;
using bravik::logbook::test::LogbookFile;

namespace {

struct Told
{
    bool ok = false;
    QString error;
};

LaunchRecorder::Done into(std::optional<Told> *told)
{
    return [told](bool ok, const QString &error) { *told = Told{ok, error}; };
}

const QVariantMap kRecord{{QStringLiteral("Reviewer"), QStringLiteral("Ada")},
                          {QStringLiteral("RunFile"), QStringLiteral("/missions/a.cfg")},
                          {QStringLiteral("MissionKey"), qint64(7)}};

} // namespace

class TestLaunchRecorder : public QObject
{
    Q_OBJECT

    std::unique_ptr<LogbookFile> m_file;

    int recordsOf(const QString &id)
    {
        return m_file->sql(QStringLiteral("SELECT COUNT(*) FROM \"LaunchRecord\" WHERE \"EntryId\" = ?"), {id}).toInt();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void init()
    {
        m_file = std::make_unique<LogbookFile>();
        QVERIFY(m_file->open());
    }

    void cleanup()
    {
        QSqlQuery(m_file->raw()).exec(QStringLiteral("ROLLBACK"));
        bool ended = false;
        LogbookService::shutdownAll(std::chrono::seconds(20), &ended);
        QVERIFY(ended);
        m_file.reset();
    }

    // The insert's answer is lost: on a server the statement landed and
    // then the connection broke (the server frozen behind a proxy, its
    // connection ended from outside after the deadline passed); on a file
    // the write lock outlasts several deadlines.  Tried again each time,
    // the launch still has one record.
    void oneRecordHoweverOftenTried()
    {
        std::unique_ptr<bravik::test::FreezableProxy> proxy;
        DatabaseLocation where = m_file->where();
        if (m_file->isPostgres()) {
            proxy = std::make_unique<bravik::test::FreezableProxy>();
            QString error;
            QVERIFY2(proxy->start(QStringLiteral("127.0.0.1:") + qEnvironmentVariable("PGPORT", QStringLiteral("5432")),
                                  &error),
                     qPrintable(error));
            where.location += QStringLiteral(" host=127.0.0.1 port=%1 connect_timeout=10").arg(proxy->port());
        }
        const std::chrono::milliseconds deadline(m_file->isPostgres() ? 2000 : 300);
        LaunchRecorder recorder(where, deadline);
        const QString id = LaunchRecorder::newId();
        std::optional<Told> inserted;
        if (m_file->isPostgres()) {
            // Another connection's insert of the same id, not committed yet:
            // the launch's insert waits for it to end.
            m_file->sql(QStringLiteral("BEGIN"));
            m_file->sql(QStringLiteral("INSERT INTO \"LaunchRecord\" (\"EntryId\") VALUES (?)"), {id});
        } else {
            m_file->sql(QStringLiteral("BEGIN IMMEDIATE"));
        }
        recorder.insert(id, kRecord, into(&inserted));
        if (m_file->isPostgres()) {
            // (Inside a transaction the server's activity view is a snapshot
            // unless it is cleared.)
            auto blocked = [this] {
                m_file->sql(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
                return m_file->sql(QStringLiteral(
                    "SELECT pid FROM pg_stat_activity WHERE pg_backend_pid() = ANY(pg_blocking_pids(pid))"));
            };
            QTRY_VERIFY_WITH_TIMEOUT(blocked().isValid(), 10000);
            const qint64 backend = blocked().toLongLong();
            proxy->freeze();
            m_file->sql(QStringLiteral("ROLLBACK"));
            // Landed, and its answer held back; the deadline passes.
            QTRY_COMPARE(recordsOf(id), 1);
            QTest::qWait(int(deadline.count()) + 500);
            m_file->sql(QStringLiteral("SELECT pg_terminate_backend(?)"), {backend});
            proxy->thaw();
        } else {
            QTest::qWait(int(deadline.count()) * 5);
            QVERIFY(!inserted);
            m_file->sql(QStringLiteral("COMMIT"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(inserted.has_value(), 30000);
        QVERIFY2(inserted->ok, qPrintable(inserted->error));
        QCOMPARE(recordsOf(id), 1);
        QCOMPARE(m_file->count(QStringLiteral("LaunchRecord")), 1);
    }
};

QTEST_GUILESS_MAIN(TestLaunchRecorder)
#include "tst_launchrecorder.moc"
