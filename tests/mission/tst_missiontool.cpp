// The built bravik-mission executable: the worked examples byte for byte,
// exit status and messages on standard error.
#include "MissionTestSupport.h"

#include <QtTest>

class TestMissionTool : public QObject
{
    Q_OBJECT
private slots:
    void workedExamples_data();
    void workedExamples();
    void failures_data();
    void failures();
    void help();
    void versionAndExitStatuses();
};

void TestMissionTool::workedExamples_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("golden");
    QTest::newRow("transit") << QStringList{"transit", "--heading", "45", "--duration", "600", "--depth", "20",
                                            "--speed", "1.5"}
                             << "transit.cfg";
    QTest::newRow("waypoint, starting position")
        << QStringList{"waypoint", "--duration", "1800", "--depth", "50", "--speed", "1.5"} << "waypoint.cfg";
    QTest::newRow("waypoint, position spelled out")
        << QStringList{"waypoint", "--lat-deg", "36", "--lat-min", "45.1234", "--ns", "N", "--lon-deg", "121",
                       "--lon-min", "50.1234", "--ew", "W", "--duration", "1800", "--depth", "50", "--speed", "1.5"}
        << "waypoint.cfg";
    QTest::newRow("deck test") << QStringList{"decktest", "--heading", "90", "--duration", "300", "--speed", "1.0"}
                               << "decktest.cfg";
}

void TestMissionTool::workedExamples()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, golden);
    compareWorkedExample(arguments, golden);
}

void TestMissionTool::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty speed") << QStringList{"transit", "--heading", "45", "--duration", "600", "--depth", "20",
                                                "-o", "-"}
                                 << 1 << "bravik-mission: Please enter speed.\n";
    QTest::newRow("duration not a number")
        << QStringList{"decktest", "--heading", "1", "--duration", "abc", "--speed", "1", "-o", "-"} << 1
        << "bravik-mission: The duration \"abc\" is not a number. Please enter the duration in seconds.\n";
    QTest::newRow("duration too large")
        << QStringList{"transit", "--heading", "45", "--duration", "1e400", "--depth", "20", "--speed", "1.5", "-o", "-"}
        << 1 << "bravik-mission: The duration \"1e400\" is too large. Please enter the duration in seconds.\n";
    QTest::newRow("depth too small")
        << QStringList{"transit", "--heading", "45", "--duration", "600", "--depth", "-1e400", "--speed", "1.5", "-o", "-"}
        << 1 << "bravik-mission: The depth \"-1e400\" is too small. Please enter the depth in meters.\n";
    QTest::newRow("minimum altitude too small")
        << QStringList{"transect", "--heading", "45", "--duration", "600", "--min-depth", "5", "--max-depth", "50",
                       "--min-altitude", "-1e6", "--max-cycles", "4", "--speed", "1.5", "-o", "-"}
        << 1
        << "bravik-mission: The minimum altitude \"-1e6\" is too small for the mission file: less 5 m it must lie "
           "within -32768 to 32767 meters. Please correct the minimum altitude.\n";
    QTest::newRow("minimum altitude too large")
        << QStringList{"transect", "--heading", "45", "--duration", "600", "--min-depth", "5", "--max-depth", "50",
                       "--min-altitude", "1e400", "--max-cycles", "4", "--speed", "1.5", "-o", "-"}
        << 1 << "bravik-mission: The minimum altitude \"1e400\" is too large for the mission file";
    QTest::newRow("unknown template") << QStringList{"transect2", "-o", "-"} << 2
                                      << "bravik-mission: unknown template \"transect2\".\n";
}

void TestMissionTool::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const ToolRun r = runTool(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(r.err).startsWith(message), r.err.constData());
    QCOMPARE(r.out, QByteArray());
}

void TestMissionTool::help()
{
    const ToolRun r = runTool({"transit", "--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.startsWith("Usage: bravik-mission transit [options] -o FILE\n"));
    QVERIFY(r.out.contains("--depth"));
}

void TestMissionTool::versionAndExitStatuses()
{
    const ToolRun version = runTool({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("bravik-mission " BRAVIK_VERSION "\n"));
    QCOMPARE(version.err, QByteArray());

    for (const QStringList &args : {QStringList{"--help"}, QStringList{"waypoints", "--help"}}) {
        const ToolRun help = runTool(args);
        QCOMPARE(help.exitCode, 0);
        const qsizetype at = help.out.indexOf("\nExit status:\n");
        QVERIFY2(at >= 0, help.out.constData());
        const QByteArray statuses = help.out.mid(at);
        QVERIFY2(statuses.contains("\n  0  ") && statuses.contains("\n  1  ") && statuses.contains("\n  2  "),
                 help.out.constData());
    }
}

QTEST_GUILESS_MAIN(TestMissionTool)
#include "tst_missiontool.moc"
