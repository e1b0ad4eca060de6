// bravik-mission setpoints, waypoints and transect run as a program: the
// worked examples byte for byte, the leg limit and the messages.
#include "MissionTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList legs(int count)
{
    QStringList args{"setpoints"};
    for (int i = 1; i <= count; ++i)
        args << "--leg" << QStringLiteral("0,10,%1,1").arg(i);
    return args;
}

const QStringList kTransect{"transect", "--heading", "45", "--duration", "600", "--min-depth", "5",
                            "--max-depth", "50", "--min-altitude", "10", "--max-cycles", "4", "--speed", "1.5"};

} // namespace

class TestMultiLegTool : public QObject
{
    Q_OBJECT
private slots:
    void workedExamples_data();
    void workedExamples();
    void refused_data();
    void refused();
    void scriptLines_data();
    void scriptLines();
};

void TestMultiLegTool::workedExamples_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("golden");
    QTest::newRow("setpoints") << QStringList{"setpoints", "--leg", "90,600,20,1.5", "--leg", "180,900,30,1.5"}
                               << "setpoints.cfg";
    QTest::newRow("setpoints, lenient texts")
        << QStringList{"setpoints", "--leg", " 90 ,6 00,20 m,1.5", "--leg=180,900,30,+1.50"} << "setpoints.cfg";
    QTest::newRow("waypoints") << QStringList{"waypoints", "--waypoint", "36,45.1234,N,121,50.1234,W,600,20,1.5",
                                              "--waypoint", "36,50,N,121,55,W,900,30,1.5"}
                               << "waypoints.cfg";
    QTest::newRow("transect") << kTransect << "transect.cfg";
}

void TestMultiLegTool::workedExamples()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, golden);
    compareWorkedExample(arguments, golden);
}

void TestMultiLegTool::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // the first line of standard error
    QTest::newRow("21 legs") << legs(21) << 1
                             << "bravik-mission: 21 legs were given, but a mission holds at most 20 (the limit of the "
                                "template window).";
    QTest::newRow("no leg") << QStringList{"setpoints"} << 1
                            << "bravik-mission: no leg given: add --leg HEADING,DURATION,DEPTH,SPEED once per leg, "
                               "in order (1 to 20 of them).";
    QTest::newRow("three values") << QStringList{"setpoints", "--leg", "1,2,3,4", "--leg", "90,600,20"} << 1
                                  << "bravik-mission: --leg number 2 (\"90,600,20\") has 3 values where 4 are needed: "
                                     "--leg HEADING,DURATION,DEPTH,SPEED";
    QTest::newRow("empty duration") << QStringList{"setpoints", "--leg", "90,600,20,1.5", "--leg", "180,,30,1.5"} << 1
                                    << "bravik-mission: leg 2: Please enter duration.";
    QStringList many{"waypoints"};
    for (int i = 0; i < 21; ++i)
        many << "--waypoint" << "1,0,N,1,0,W,1,1,1";
    QTest::newRow("21 waypoints") << many << 1
                                  << "bravik-mission: 21 waypoints were given, but a mission holds at most 20 (the "
                                     "limit of the template window).";
    QTest::newRow("waypoint longitude empty")
        << QStringList{"waypoints", "--waypoint", "36,45,S,121,,E,600,20,1.5"} << 1
        << "bravik-mission: waypoint 1: Please enter longitude component.";
    QStringList t = kTransect;
    t[10] = "";
    QTest::newRow("transect altitude empty") << t << 1 << "bravik-mission: Please enter minimum altitude.";
    t = kTransect;
    t[4] = "10 min";
    QTest::newRow("transect duration not a number")
        << t << 1
        << "bravik-mission: The duration \"10 min\" is not a number. Please enter the duration in seconds.";
    QTest::newRow("transect option twice") << (kTransect + QStringList{"--speed", "2"}) << 2
                                           << "bravik-mission: --speed is given twice.";
}

void TestMultiLegTool::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.cfg"));
    const ToolRun r = runTool(arguments + QStringList{"-o", path});
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(QString::fromUtf8(r.err).section(QLatin1Char('\n'), 0, 0), message);
    QVERIFY(!QFile::exists(path));
}

void TestMultiLegTool::scriptLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("blocks"); // "behavior setpoint {" or "behavior waypoint {" blocks
    QTest::newRow("20 legs") << legs(20) << QStringList{"maxDepth     = 25;", "timeOut = 440;", "duration  = 120;"}
                             << 21; // 20 legs and the surface setpoint of the launch
    QStringList t = kTransect;
    t.remove(11, 2); // no --max-cycles
    QTest::newRow("transect without cycles") << t << QStringList{"maxCycles      = ;"} << 2;
    QTest::newRow("waypoints S and E") << QStringList{"waypoints", "--waypoint", "10,30,S,20,30,E,1,-5,1"}
                                       << QStringList{"latitude     = -10.5;", "longitude     = 20.5;",
                                                      "maxDepth     = 5;", "duration  = -30;"}
                                       << 2;
}

void TestMultiLegTool::scriptLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, lines);
    QFETCH(int, blocks);
    const ToolRun r = runTool(arguments + QStringList{"-o", "-"});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    const QString script = QString::fromUtf8(r.out);
    for (const QString &l : lines)
        QVERIFY2(script.contains(QStringLiteral("\r\n") + l + QStringLiteral("\r\n")), qPrintable(l));
    QCOMPARE(int(script.count(QStringLiteral("behavior setpoint {")) + script.count(QStringLiteral("behavior waypoint {"))),
             blocks);
}

QTEST_GUILESS_MAIN(TestMultiLegTool)
#include "tst_multilegtool.moc"
