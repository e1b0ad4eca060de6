// Whether "Run Mission" finds a recent, complete predive checklist: the
// setting as the crew writes it, checklists as the logbook holds them, read
// on an open connection and as a job of the logbook service, on a SQLite
// file and (as tst_predive_gate_pg) on a PostgreSQL server.
#include "LogbookFixture.h"
#include "LogbookService.h"
#include "PrediveGate.h"
#include "Schema.h"
#include "Settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QThread>
#include <QTimeZone>
#include <optional>

using namespace bravik;
using namespace bravik::logbook;
using namespace bravik::launch;
using bravik::logbook::test::LogbookFile;

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0, 0), Qt::UTC);

// One checklist: "AGE;SUBMITTER;UNTICKED,UNTICKED[;void]".  AGE is minutes
// before now (negative: ahead of now), or "null", "empty" or "junk" for a
// stamp that is missing, empty or not a time; "void" marks it voided.
void addChecklist(LogbookFile &file, const QString &described)
{
    const QStringList parts = described.split(QLatin1Char(';'));
    const QString age = parts.value(0);
    const QString submitter = parts.value(1);
    const QStringList unticked = parts.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts);

    QVariant stamp;
    if (age == QLatin1String("null"))
        stamp = QVariant(QMetaType::fromType<QString>());
    else if (age == QLatin1String("empty"))
        stamp = QString(QLatin1String(""));
    else if (age == QLatin1String("junk"))
        stamp = QStringLiteral("yesterday, after lunch");
    else
        stamp = kNow.addSecs(-age.toLongLong() * 60).toString(Qt::ISODate);

    const TableDef *def = findTable(QStringLiteral("Predive"));
    QStringList names{QStringLiteral("\"Date/Time\""), QStringLiteral("\"SubmittedBy\""), QStringLiteral("\"StampedAtUtc\"")};
    QStringList marks{QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")};
    QVariantList values{QStringLiteral("12/8/2026 9:30:00 AM"), submitter, stamp};
    for (const QString &b : def->booleanFields) {
        names << QLatin1Char('"') + b + QLatin1Char('"');
        marks << QStringLiteral("?");
        values << QVariant(!unticked.contains(b));
    }
    if (parts.value(3) == QLatin1String("void")) {
        names << QStringLiteral("\"Voided\"") << QStringLiteral("\"VoidReason\"");
        marks << QStringLiteral("?") << QStringLiteral("?");
        values << QVariant(true) << QStringLiteral("entered for the wrong vehicle");
    }
    file.sql(QStringLiteral("INSERT INTO \"Predive\" (%1) VALUES (%2)").arg(names.join(", "), marks.join(", ")), values);
}

double hoursFromSettings(const QByteArray &ini, QStringList *problems)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bravik-log.ini"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(ini);
    f.close();
    return Settings::fromIniFile(path, Settings::defaults(), problems).launchRequirePredive;
}

// The check as a job of the service; the answer comes on this thread.
predive::GateAnswer throughService(const DatabaseLocation &where, double hours,
                                   std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    LogbookClient client(where);
    std::optional<predive::GateAnswer> got;
    QThread *answeredOn = nullptr;
    predive::check(client, hours, kNow, deadline, [&](const predive::GateAnswer &a) {
        got = a;
        answeredOn = QThread::currentThread();
    });
    if (!QTest::qWaitFor([&] { return got.has_value(); }, 30000))
        return predive::unreadable(QStringLiteral("no answer within 30 s"));
    if (answeredOn != QThread::currentThread())
        return predive::unreadable(QStringLiteral("answered on another thread"));
    return *got;
}

} // namespace

class PrediveGateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void cleanup()
    {
        bool ended = false;
        LogbookService::shutdownAll(std::chrono::seconds(10), &ended);
        QVERIFY(ended);
    }

    void requiredChecksComeFromTheTable()
    {
        QCOMPARE(predive::requiredChecks(),
                 (QStringList{"Thruster Operational", "Elevator Operational", "Rudder Operational", "AHRS Operational",
                              "GPS Fix Valid", "Pressure Sensor Operational", "DVL Operational", "PayloadOperational"}));
        QCOMPARE(predive::checkCaption(QStringLiteral("PayloadOperational")), QStringLiteral("Payload Operational"));
        QCOMPARE(predive::checkCaption(QStringLiteral("AHRS Operational")), QStringLiteral("AHRS Operational"));
    }

    void gate_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("checklists");   // in the order stored
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("message");          // exactly, when refused
        QTest::addColumn<int>("problems");             // settings reported

        const QByteArray six("[launch]\nrequirePredive=6\n");
        const QString none = QStringLiteral(
            "No predive checklist was stored in the last 6 hours. Complete the predive checklist "
            "(log entry category \"Vehicle Predive\") before running the mission.");

        QTest::newRow("no checklist") << six << QStringList{} << false << none << 0;
        QTest::newRow("too old")
            << six << QStringList{"400;Ada;"} << false
            << QStringLiteral("No predive checklist was stored in the last 6 hours: the latest is from 2026-12-08 "
                              "03:20 UTC, by Ada, 6.7 hours ago. Complete a new predive checklist (log entry "
                              "category \"Vehicle Predive\") before running the mission.")
            << 0;
        QTest::newRow("a day old, nobody named")
            << six << QStringList{"1500;;"} << false
            << QStringLiteral("No predive checklist was stored in the last 6 hours: the latest is from 2026-12-07 "
                              "09:00 UTC, 25 hours ago. Complete a new predive checklist (log entry category "
                              "\"Vehicle Predive\") before running the mission.")
            << 0;
        QTest::newRow("a minute too old") << six << QStringList{"361;Ada;"} << false << QString() << 0;
        QTest::newRow("just inside") << six << QStringList{"359;Ada;"} << true << QString() << 0;
        QTest::newRow("at the edge") << six << QStringList{"360;Ada;"} << true << QString() << 0;
        QTest::newRow("all ticked") << six << QStringList{"30;Ada;"} << true << QString() << 0;
        QTest::newRow("one box unticked")
            << six << QStringList{"30;Ben;DVL Operational"} << false
            << QStringLiteral("The latest predive checklist (2026-12-08 09:30 UTC, by Ben) has this not ticked: "
                              "DVL Operational.\nTick it in that checklist once it is checked, or complete a new "
                              "one, then run the mission again.")
            << 0;
        QTest::newRow("two unticked")
            << six << QStringList{"30;Ben;GPS Fix Valid,DVL Operational"} << false
            << QStringLiteral("The latest predive checklist (2026-12-08 09:30 UTC, by Ben) has these not ticked: "
                              "DVL Operational, GPS Fix Valid.\nTick them in that checklist once they are checked, "
                              "or complete a new one, then run the mission again.")
            << 0;
        QTest::newRow("payload unticked")
            << six << QStringList{"5;Cai;PayloadOperational"} << false
            << QStringLiteral("The latest predive checklist (2026-12-08 09:55 UTC, by Cai) has this not ticked: "
                              "Payload Operational.\nTick it in that checklist once it is checked, or complete a "
                              "new one, then run the mission again.")
            << 0;
        QTest::newRow("other boxes do not count")
            << six << QStringList{"30;Ada;CFG files valid,MVC Time Synch,USBL Beacon ON,MissionScriptsPrepared"}
            << true << QString() << 0;
        QTest::newRow("latest decides over an older complete one")
            << six << QStringList{"120;Ada;", "10;Ben;Rudder Operational"} << false
            << QStringLiteral("The latest predive checklist (2026-12-08 09:50 UTC, by Ben) has this not ticked: "
                              "Rudder Operational.\nTick it in that checklist once it is checked, or complete a "
                              "new one, then run the mission again.")
            << 0;
        QTest::newRow("latest by its stamp, not by when it reached the logbook")
            << six << QStringList{"10;Ben;", "120;Ada;AHRS Operational"} << true << QString() << 0;
        QTest::newRow("complete after an incomplete one")
            << six << QStringList{"120;Ada;AHRS Operational", "10;Ben;"} << true << QString() << 0;
        QTest::newRow("a voided complete checklist does not count")
            << six << QStringList{"30;Ada;;void"} << false << none << 0;
        QTest::newRow("a voided newer checklist leaves the older one deciding")
            << six << QStringList{"120;Ada;", "10;Ben;Rudder Operational;void"} << true << QString() << 0;
        QTest::newRow("no stamp") << six << QStringList{"null;Ada;"} << false << none << 0;
        QTest::newRow("empty stamp") << six << QStringList{"empty;Ada;"} << false << none << 0;
        QTest::newRow("stamp that is not a time") << six << QStringList{"junk;Ada;"} << false << none << 0;
        QTest::newRow("unstamped row newer than a stamped incomplete one")
            << six << QStringList{"30;Ben;Thruster Operational", "null;Ada;"} << false << QString() << 0;
        QTest::newRow("another computer's clock a little ahead")
            << six << QStringList{"-2;Ada;"} << true << QString() << 0;
        QTest::newRow("a stamp far in the future") << six << QStringList{"-600;Ada;"} << false << none << 0;
        QTest::newRow("part of an hour")
            << QByteArray("[launch]\nrequirePredive=1.5\n") << QStringList{"100;Ada;"} << false << QString() << 0;
        QTest::newRow("part of an hour, inside")
            << QByteArray("[launch]\nrequirePredive=1.5\n") << QStringList{"80;Ada;"} << true << QString() << 0;
        QTest::newRow("setting absent") << QByteArray() << QStringList{} << true << QString() << 0;
        QTest::newRow("setting empty") << QByteArray("[launch]\nrequirePredive=\n") << QStringList{} << true
                                       << QString() << 0;
        QTest::newRow("setting zero") << QByteArray("[launch]\nrequirePredive=0\n") << QStringList{"30;Ada;DVL Operational"}
                                      << true << QString() << 0;
        QTest::newRow("setting not a number") << QByteArray("[launch]\nrequirePredive=six\n") << QStringList{}
                                              << true << QString() << 1;
        QTest::newRow("setting negative") << QByteArray("[launch]\nrequirePredive=-6\n")
                                          << QStringList{"30;Ada;DVL Operational"} << true << QString() << 1;
    }

    void gate()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, checklists);
        QFETCH(bool, allowed);
        QFETCH(QString, message);
        QFETCH(int, problems);

        QStringList reported;
        const double hours = hoursFromSettings(ini, &reported);
        QCOMPARE(reported.size(), problems);
        if (problems)
            QVERIFY2(reported.first().contains(QStringLiteral("launch/requirePredive")), qPrintable(reported.first()));

        LogbookFile file;
        auto db = file.open();
        QVERIFY(db);
        for (const QString &c : checklists)
            addChecklist(file, c);

        // On the caller's connection and as a job of the service.
        const predive::GateAnswer onOpen = predive::check(*db, hours, kNow);
        const predive::GateAnswer onOwn = throughService(file.where(), hours);
        for (const predive::GateAnswer &a : {onOpen, onOwn}) {
            QVERIFY2(a.allowsRun() == allowed, qPrintable(a.message));
            QCOMPARE(a.message.isEmpty(), allowed);
            if (!message.isEmpty())
                QCOMPARE(a.message, message);
            QVERIFY(a.verdict != predive::GateAnswer::Verdict::Unreadable);
        }
        QCOMPARE(onOpen.verdict == predive::GateAnswer::Verdict::Off, hours <= 0.0);
    }

    // A logbook that cannot be read never lets the run go ahead, and says
    // why; with the setting off it is not even asked.
    void unreadableLogbook_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("location");   // {dir}: a temporary folder, {port}: a closed port
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a logbook file") << "QSQLITE" << "{dir}/not-a-logbook.sqlite" << "not-a-logbook.sqlite";
        QTest::newRow("a folder") << "QSQLITE" << "{dir}" << "";
        QTest::newRow("server not there") << "QPSQL" << "host=127.0.0.1 port={port} dbname=logbook connect_timeout=5"
                                          << "127.0.0.1";
    }

    void unreadableLogbook()
    {
        QFETCH(QString, driver);
        QFETCH(QString, location);
        QFETCH(QString, reason);

        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("not-a-logbook.sqlite")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray("These are not the pages of a logbook.\n").repeated(200));
        junk.close();
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();

        const DatabaseLocation where{driver, QString(location)
                                                 .replace(QStringLiteral("{dir}"), dir.path())
                                                 .replace(QStringLiteral("{port}"), QString::number(port))};
        const predive::GateAnswer a = throughService(where, 6);
        QCOMPARE(a.verdict, predive::GateAnswer::Verdict::Unreadable);
        QVERIFY(!a.allowsRun());
        QVERIFY2(a.message.startsWith(QStringLiteral("The predive checklist could not be read from the logbook, so "
                                                     "the mission was not started.\n")),
                 qPrintable(a.message));
        const QString why = a.message.section(QLatin1Char('\n'), 1);
        QVERIFY2(why.size() > 5, qPrintable(a.message));
        if (!reason.isEmpty())
            QVERIFY2(a.message.contains(reason), qPrintable(a.message));

        const predive::GateAnswer off = throughService(where, 0);
        QCOMPARE(off.verdict, predive::GateAnswer::Verdict::Off);
        QVERIFY(off.allowsRun());
    }

    // A server that holds the table locked: the query is cancelled at the
    // job's deadline and the run refused, never waited for.
    void lockedTableIsNotWaitedFor()
    {
        LogbookFile file;
        if (!file.isPostgres())
            QSKIP("a reader of a SQLite file in WAL mode is never held up by a writer");
        QVERIFY(file.open());
        addChecklist(file, QStringLiteral("30;Ada;"));
        file.sql(QStringLiteral("BEGIN"));
        file.sql(QStringLiteral("LOCK TABLE \"Predive\" IN ACCESS EXCLUSIVE MODE"));
        QElapsedTimer clock;
        clock.start();
        const predive::GateAnswer a = throughService(file.where(), 6, std::chrono::milliseconds(700));
        const qint64 took = clock.elapsed();
        file.sql(QStringLiteral("ROLLBACK"));
        QCOMPARE(a.verdict, predive::GateAnswer::Verdict::Unreadable);
        QVERIFY2(a.message.endsWith(QStringLiteral("The logbook did not answer within 0.7 s.")), qPrintable(a.message));
        QVERIFY2(took < 15000, qPrintable(QString::number(took)));
        // The logbook answers the next check.
        const predive::GateAnswer again = throughService(file.where(), 6, std::chrono::milliseconds(5000));
        QVERIFY2(again.allowsRun(), qPrintable(again.message));
    }
};

QTEST_GUILESS_MAIN(PrediveGateTest)
#include "tst_predivegate.moc"
