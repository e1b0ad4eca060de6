// A shore copy of the ship's logbook through PostgreSQL's logical
// replication, set up and upgraded by the steps the README gives: two
// servers of the test's own, the link between them behind a proxy that is
// cut while the ship writes.
#include "Connection.h"
#include "Database.h"
#include "FreezableProxy.h"
#include "LogbookPublication.h"
#include "RecordCursor.h"
#include "Schema.h"
#include "TempServer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <functional>

using namespace bravik;
using namespace bravik::logbook;

class ShoreReplicaTest : public QObject
{
    Q_OBJECT
    test::FreezableProxy m_link;   // destroyed last, after both servers
    std::unique_ptr<test::TempServer> m_ship, m_shore;

    QVariant sql(test::TempServer &server, const QString &text)
    {
        const QString name = &server == m_ship.get() ? QStringLiteral("ship") : QStringLiteral("shore");
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            QString error;
            connection::configure(db, {QStringLiteral("QPSQL"), server.location()}, &error);
        }
        QSqlQuery q(db.isOpen() || db.open() ? db : QSqlDatabase());
        if (!q.exec(text))
            QTest::qFail(qPrintable(q.lastError().text() + QStringLiteral(" in ") + text), __FILE__, __LINE__);
        return q.next() ? q.value(0) : QVariant();
    }
    bool waitFor(const std::function<bool()> &done, int ms)
    {
        for (QDeadlineTimer limit(ms); !done(); QTest::qWait(100)) {
            if (limit.hasExpired())
                return false;
        }
        return true;
    }
    // Within a minute, the shore holds each of the ship's rows of these tables once and nothing else.
    bool caughtUp(const QStringList &tables)
    {
        auto rows = [&](test::TempServer &server) {
            QString all;
            for (const QString &t : tables)
                all += sql(server, QStringLiteral("SELECT count(*) || ': ' || coalesce(string_agg(t::text, '|' ORDER BY \"BravikKey\"), '') FROM \"%1\" t").arg(t)).toString() + '\n';
            return all;
        };
        return waitFor([&] { return sql(*m_shore, "SELECT count(*) FROM pg_subscription_rel WHERE srsubstate <> 'r'") == 0 && rows(*m_shore) == rows(*m_ship); }, 60000);
    }
    // The program's own command, as the README runs it; what it said.
    QString bravikLog(const QString &option, const QString &location, int status = 0)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(BRAVIK_LOG_EXE), {option, location});
        const bool ended = p.waitForFinished(60000);
        const QString said = QString::fromUtf8(p.readAll());
        if (!ended || p.exitStatus() != QProcess::NormalExit || p.exitCode() != status)
            QTest::qFail(qPrintable(option + QStringLiteral(" ended otherwise: ") + said), __FILE__, __LINE__);
        return said;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSKIP("Qt's QPSQL driver is not installed (libqt6sql6-psql)");
        m_ship = std::make_unique<test::TempServer>();
        m_shore = std::make_unique<test::TempServer>();
        if (!m_ship->isValid() || !m_shore->isValid())
            QSKIP(qPrintable(m_ship->error() + m_shore->error()));
        // A cut link is noticed within seconds, and the shore tries again soon.
        sql(*m_ship, QStringLiteral("ALTER SYSTEM SET wal_level = logical"));
        sql(*m_ship, QStringLiteral("ALTER SYSTEM SET wal_sender_timeout = '5s'"));
        QVERIFY(m_ship->stop() && m_ship->start());
        QSqlDatabase::database(QStringLiteral("ship"), false).close();
        sql(*m_shore, QStringLiteral("ALTER SYSTEM SET wal_receiver_timeout = '5s'"));
        sql(*m_shore, QStringLiteral("ALTER SYSTEM SET wal_retrieve_retry_interval = '200ms'"));
        sql(*m_shore, QStringLiteral("SELECT pg_reload_conf()"));
        QString error;
        QVERIFY2(m_link.start(m_ship->socket(), &error), qPrintable(error));
    }

    void shoreCopyFollowsTheShip()
    {
        // Both logbooks made by the program, the ship's published; then both taken back to the tables of the
        // version before corrections, as an older program left them.
        bravikLog("--upgrade-logbook", m_shore->location());
        QVERIFY(bravikLog("--publish-logbook", m_ship->location()).contains("was made with 14 tables"));
        QVERIFY(bravikLog("--publish-logbook", QFileInfo(m_shore->socket()).absolutePath() + "/file.sqlite", 1).contains("A logbook file has no shore copy"));
        for (test::TempServer *s : {m_ship.get(), m_shore.get()}) {
            sql(*s, "DROP TABLE \"RecordHistory\"");
            for (const TableDef &t : schema())
                sql(*s, QStringLiteral("ALTER TABLE \"%1\" DROP COLUMN \"ChangedOn\"").arg(t.name));
            sql(*s, "UPDATE \"BravikSchema\" SET \"Version\" = 3");
        }
        sql(*m_ship, "INSERT INTO \"Miscellaneous\" (\"Note\") VALUES ('before the shore')");
        sql(*m_shore, QStringLiteral("CREATE SUBSCRIPTION bravik_shore CONNECTION 'host=127.0.0.1 port=%1 user=bravik dbname=postgres' "
                                     "PUBLICATION bravik_logbook").arg(m_link.port()));
        QStringList tables = publishedTables();
        tables.removeAll(historyTable());
        QVERIFY(caughtUp(tables));

        // The link is cut (both servers give up on it) while the ship writes.
        m_link.freeze();
        QVERIFY(waitFor([&] { return sql(*m_ship, "SELECT count(*) FROM pg_stat_replication WHERE application_name = 'bravik_shore'") == 0; }, 30000));
        for (int i = 0; i < 20; ++i)
            sql(*m_ship, QStringLiteral("INSERT INTO \"%1\" (\"Date/Time\", \"SubmittedBy\") VALUES ('7/29/2003 8:23:%2 PM', 'Ana')")
                             .arg(schema().at(i % 8).name).arg(i, 2, 10, QLatin1Char('0')));
        sql(*m_ship, "UPDATE \"Miscellaneous\" SET \"Note\" = 'edited while cut'");
        QTest::qWait(1000);
        QCOMPARE(sql(*m_shore, "SELECT count(*) FROM \"Predive\""), QVariant(0));
        m_link.thaw();
        QVERIFY(caughtUp(tables));

        // The upgrade: the shore's tables first, then the ship's with its publication, then the subscription refreshed.
        bravikLog("--upgrade-logbook", m_shore->location());
        QVERIFY(bravikLog("--publish-logbook", m_ship->location()).contains("Added to the publication bravik_logbook: RecordHistory."));
        sql(*m_shore, "ALTER SUBSCRIPTION bravik_shore REFRESH PUBLICATION");
        auto ship = Database::open({"QPSQL", m_ship->location()}, nullptr);
        QVERIFY(ship);
        RecordCursor cursor(*ship, "Miscellaneous");
        QVERIFY(cursor.open() && cursor.moveFirst());
        cursor.setValue("Note", "edited after the upgrade");
        QVERIFY(cursor.beginNew());
        cursor.setValue("Note", "new after the upgrade");
        QVERIFY2(cursor.save(), qPrintable(cursor.lastError()));
        QVERIFY(caughtUp(tables << historyTable()));
        QCOMPARE(sql(*m_shore, "SELECT h.\"NewValue\" || m.\"ChangedOn\" FROM \"RecordHistory\" h JOIN \"Miscellaneous\" m ON h.\"RowKey\" = m.\"BravikKey\""),
                 QVariant("edited after the upgrade" + RecordCursor::thisWorkstation()));

        // Ashore the crew reads with a role that cannot write.
        for (const char *grant : {"CREATE ROLE shore_reader LOGIN", "GRANT SELECT ON ALL TABLES IN SCHEMA public TO shore_reader",
                                  "ALTER ROLE shore_reader SET default_transaction_read_only = on"})
            sql(*m_shore, grant);
        auto shore = Database::open({"QPSQL", m_shore->location().replace("user=bravik", "user=shore_reader")}, nullptr);
        QVERIFY(shore);
        RecordCursor reader(*shore, "Miscellaneous");
        QVERIFY(reader.open() && reader.moveLast() && reader.value("Note") == "new after the upgrade");
        reader.setValue("Note", "changed ashore");
        QVERIFY(!reader.save());
        QVERIFY2(reader.lastError().contains("read-only transaction"), qPrintable(reader.lastError()));
    }
};

QTEST_GUILESS_MAIN(ShoreReplicaTest)
#include "tst_shore_replica.moc"
