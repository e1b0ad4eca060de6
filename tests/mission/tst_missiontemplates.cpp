// The single-leg template builds (validation order, messages, derived
// numbers, writer order) and the command-line front end, without windows.
#include "CommandLineTemplates.h"
#include "MissionTestSupport.h"
#include "SingleLegTemplates.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace bravik::mission;

namespace {
QString line(const QString &label, const QString &value)
{
    return QStringLiteral("\r\n") + label + value + QStringLiteral(";\r\n");
}
} // namespace

class TestMissionTemplates : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerSingleLegCliTemplates(); }

    void transitChecks_data();
    void transitChecks();
    void transitNumbers_data();
    void transitNumbers();
    void transitCopiesTextsAsTyped();

    void deckTestChecks_data();
    void deckTestChecks();
    void deckTestScript();

    void waypointChecks_data();
    void waypointChecks();
    void waypointPosition_data();
    void waypointPosition();
    void waypointBlockOrder();

    void commandLineUsage_data();
    void commandLineUsage();
    void commandLineTexts();
    void commandLineHelp();
    void commandLineWritesFile();
};

void TestMissionTemplates::transitChecks_data()
{
    QTest::addColumn<QStringList>("boxes"); // heading, duration, depth, speed
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << QStringList{"", "", "", ""} << "txtHeading" << "Please enter heading.";
    QTest::newRow("heading only") << QStringList{"45", "", "", ""} << "txtDuration" << "Please enter duration.";
    QTest::newRow("no depth") << QStringList{"45", "600", "", "1.5"} << "txtDepth" << "Please enter depth.";
    QTest::newRow("no speed") << QStringList{"45", "600", "20", ""} << "txtSpeed" << "Please enter speed.";
    QTest::newRow("empty before not-a-number") << QStringList{"45", "abc", "20", ""} << "txtSpeed" << "Please enter speed.";
    QTest::newRow("duration not a number")
        << QStringList{"45", "ten", "x", "1.5"} << "txtDuration"
        << "The duration \"ten\" is not a number. Please enter the duration in seconds.";
    QTest::newRow("depth not a number")
        << QStringList{"45", "600", "20 m", "1.5"} << "txtDepth"
        << "The depth \"20 m\" is not a number. Please enter the depth in meters.";
    QTest::newRow("timer too large")
        << QStringList{"45", "27107", "20", "1.5"} << "txtDuration"
        << "The duration \"27107\" gives a mission timer of 32768 seconds, outside the range -32768 to 32767 "
           "that the mission file allows. Please correct the duration.";
    QTest::newRow("ascent too small")
        << QStringList{"45", "600", "-5462", "1.5"} << "txtDepth"
        << "The depth \"-5462\" gives an ascent time of -32772 seconds, outside the range -32768 to 32767 "
           "that the mission file allows. Please correct the depth.";
    QTest::newRow("line break in speed")
        << QStringList{"45", "600", "20", "1.5\nbehavior x {"} << "txtSpeed"
        << "The speed holds a line break, which would split its line in the mission file. "
           "Please enter it on one line.";
}

void TestMissionTemplates::transitChecks()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, box);
    QFETCH(QString, message);
    const TemplateBuild b = buildTransit({boxes[0], boxes[1], boxes[2], boxes[3]});
    QCOMPARE(b.message, message);
    QCOMPARE(b.box, box);
    QVERIFY(b.script.bytes().isEmpty());
}

void TestMissionTemplates::transitNumbers_data()
{
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("timer");
    QTest::addColumn<QString>("ascent");
    QTest::addColumn<QString>("maxDepth");
    QTest::addColumn<QString>("abortDepth");
    QTest::newRow("worked example") << "600" << "20" << "960" << "120" << "25" << "30";
    QTest::newRow("duration 0") << "0" << "20" << "240" << "120" << "25" << "30";
    QTest::newRow("depth 7.5") << "600" << "7.5" << "960" << "45" << "12.5" << "17.5";
    QTest::newRow("depth 0.3 rounds to 2") << "600" << "0.3" << "960" << "2" << "5.3" << "10.3";
    QTest::newRow("half to even: 0.25 m is 1.5 s") << "600" << "0.25" << "960" << "2" << "5.25" << "10.25";
    QTest::newRow("timer top of range") << "27106" << "20" << "32767" << "120" << "25" << "30";
    QTest::newRow("blanks around numbers") << " 600 " << " 20" << "960" << "120" << "25" << "30";
}

void TestMissionTemplates::transitNumbers()
{
    QFETCH(QString, duration);
    QFETCH(QString, depth);
    QFETCH(QString, timer);
    QFETCH(QString, ascent);
    QFETCH(QString, maxDepth);
    QFETCH(QString, abortDepth);
    const TemplateBuild b = buildTransit({QStringLiteral("45"), duration, depth, QStringLiteral("1.5")});
    QVERIFY2(b.ok(), qPrintable(b.message));
    const QString text = b.script.text();
    QVERIFY(text.contains(line(QStringLiteral("timeOut = "), timer)));
    QVERIFY(text.contains(line(QStringLiteral("duration  = "), ascent)));
    QVERIFY(text.contains(line(QStringLiteral("maxDepth     = "), maxDepth)));
    QVERIFY(text.contains(line(QStringLiteral("abortDepth   = "), abortDepth)));
    QVERIFY(text.contains(line(QStringLiteral("depth        = "), depth))); // copied as typed
}

void TestMissionTemplates::transitCopiesTextsAsTyped()
{
    const TemplateBuild b = buildTransit({QStringLiteral("045"), QStringLiteral("600"), QStringLiteral("20"),
                                          QStringLiteral(" 1.5")});
    QVERIFY(b.ok());
    const QString text = b.script.text();
    QVERIFY(text.contains(line(QStringLiteral("heading      = "), QStringLiteral("045"))));
    QVERIFY(text.contains(line(QStringLiteral("horizontal      = "), QStringLiteral("045"))));
    QVERIFY(text.contains(QStringLiteral("speed        =  1.5;"))); // two blanks after "="
    QCOMPARE(text.count(QStringLiteral("abortOnTimeout = False;")), 2);
}

void TestMissionTemplates::deckTestChecks_data()
{
    QTest::addColumn<QStringList>("boxes"); // heading, duration, speed
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << QStringList{"", "", ""} << "txtHeading" << "Please enter heading.";
    QTest::newRow("no duration") << QStringList{"90", "", ""} << "txtDuration" << "Please enter duration.";
    QTest::newRow("no speed") << QStringList{"90", "300", ""} << "txtSpeed" << "Please enter speed.";
    QTest::newRow("duration not a number")
        << QStringList{"90", "5 min", "1"} << "txtDuration"
        << "The duration \"5 min\" is not a number. Please enter the duration in seconds.";
    QTest::newRow("timer too large")
        << QStringList{"90", "27307", "1"} << "txtDuration"
        << "The duration \"27307\" gives a mission timer of 32768 seconds, outside the range -32768 to 32767 "
           "that the mission file allows. Please correct the duration.";
}

void TestMissionTemplates::deckTestChecks()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, box);
    QFETCH(QString, message);
    const TemplateBuild b = buildDeckTest({boxes[0], boxes[1], boxes[2]});
    QCOMPARE(b.message, message);
    QCOMPARE(b.box, box);
}

void TestMissionTemplates::deckTestScript()
{
    // Duration 0 gives timer 0 (no 200 s added); two blocks, depth "0".
    const TemplateBuild b = buildDeckTest({QStringLiteral("90"), QStringLiteral("0"), QStringLiteral("1")});
    QVERIFY(b.ok());
    QCOMPARE(b.script.text(),
             QStringLiteral("# mission timer set to 120% of estimated time of mission\r\nbehavior missionTimer {\r\n"
                            "timeOut = 0;\r\n}\r\n\r\n# setpoint behavior\r\nbehavior setpoint {\r\n"
                            "duration     = 0;\r\nheading      = 90;\r\nverticalMode = depth;\r\n"
                            "depth        = 0;\r\nspeed        = 1;\r\n}\r\n\r\n"));
}

void TestMissionTemplates::waypointChecks_data()
{
    QTest::addColumn<QStringList>("boxes"); // latInt latMin lonInt lonMin duration depth speed
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    const QString lat = QStringLiteral("Please enter latitude component.");
    const QString lon = QStringLiteral("Please enter longitude component.");
    QTest::newRow("latitude degrees") << QStringList{"", "45", "121", "50", "", "", ""} << "txtLatitudeInt" << lat;
    QTest::newRow("latitude minutes before duration")
        << QStringList{"36", "", "121", "50", "", "", ""} << "txtLatitudeMinutes" << lat;
    QTest::newRow("longitude degrees") << QStringList{"36", "45", "", "50", "", "", ""} << "txtLongitudeInt" << lon;
    QTest::newRow("longitude minutes") << QStringList{"36", "45", "121", "", "1", "1", "1"} << "txtLongitudeMinutes" << lon;
    QTest::newRow("untouched position, no duration")
        << QStringList{"36", "45.1234", "121", "50.1234", "", "", ""} << "txtDuration" << "Please enter duration.";
    QTest::newRow("depth") << QStringList{"36", "45", "121", "50", "1800", "", ""} << "txtDepth" << "Please enter depth.";
    QTest::newRow("speed") << QStringList{"36", "45", "121", "50", "1800", "50", ""} << "txtSpeed" << "Please enter speed.";
    QTest::newRow("depth not a number")
        << QStringList{"36", "45", "121", "50", "1800", "fifty", "1.5"} << "txtDepth"
        << "The depth \"fifty\" is not a number. Please enter the depth in meters.";
    QTest::newRow("degrees too large to write")
        << QStringList{"1e400", "45", "121", "50", "1800", "50", "1.5"} << "txtLatitudeInt"
        << "The latitude is too large to write into the mission file. Please correct it.";
}

void TestMissionTemplates::waypointChecks()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, box);
    QFETCH(QString, message);
    WaypointInputs in;
    in.latitudeInt = boxes[0];
    in.latitudeMinutes = boxes[1];
    in.longitudeInt = boxes[2];
    in.longitudeMinutes = boxes[3];
    in.duration = boxes[4];
    in.depth = boxes[5];
    in.speed = boxes[6];
    const TemplateBuild b = buildWaypoint(in);
    QCOMPARE(b.message, message);
    QCOMPARE(b.box, box);
}

void TestMissionTemplates::waypointPosition_data()
{
    QTest::addColumn<QStringList>("position"); // latInt latMin ns lonInt lonMin ew
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<QString>("longitude");
    QTest::newRow("starting values") << QStringList{"36", "45.1234", "N", "121", "50.1234", "W"}
                                     << "36.7520566666667" << "-121.83539";
    QTest::newRow("south") << QStringList{"36", "45.1234", "S", "121", "50.1234", "W"}
                           << "-36.7520566666667" << "-121.83539";
    QTest::newRow("east") << QStringList{"36", "45.1234", "N", "121", "50.1234", "E"}
                          << "36.7520566666667" << "121.83539";
    QTest::newRow("lower-case s stays north") << QStringList{"36", "0", "s", "121", "0", "w"} << "36" << "121";
    QTest::newRow("minutes beyond 60") << QStringList{"10", "90", "N", "10.5", "30", "E"} << "11.5" << "11";
    QTest::newRow("lenient degrees and minutes") << QStringList{"3 6", "abc", "N", "12abc", "", "E"} << "36" << "12";
}

void TestMissionTemplates::waypointPosition()
{
    QFETCH(QStringList, position);
    QFETCH(QString, latitude);
    QFETCH(QString, longitude);
    WaypointInputs in{position[0], position[1], position[2], position[3], position[4], position[5],
                      QStringLiteral("1800"), QStringLiteral("50"), QStringLiteral("1.5")};
    if (in.longitudeMinutes.isEmpty())
        in.longitudeMinutes = QStringLiteral(" "); // a blank passes the check and counts as 0
    const TemplateBuild b = buildWaypoint(in);
    QVERIFY2(b.ok(), qPrintable(b.message));
    QVERIFY(b.script.text().contains(line(QStringLiteral("latitude     = "), latitude)));
    QVERIFY(b.script.text().contains(line(QStringLiteral("longitude     = "), longitude)));
}

void TestMissionTemplates::waypointBlockOrder()
{
    WaypointInputs in;
    in.duration = QStringLiteral("1800");
    in.depth = QStringLiteral("50");
    in.speed = QStringLiteral("1.5");
    const TemplateBuild b = buildWaypoint(in);
    QVERIFY(b.ok());
    QStringList headers;
    for (const QString &l : b.script.text().split(QStringLiteral("\r\n")))
        if (l.startsWith(QLatin1String("behavior ")))
            headers << l.section(QLatin1Char(' '), 1, 1);
    QCOMPARE(headers, (QStringList{"missionTimer", "depthEnvelope", "getgps", "ascend", "waypoint", "descend",
                                   "setpoint", "getgps"}));
    QVERIFY(b.script.text().contains(QStringLiteral("}\r\n# Descend behavior to 5 meters\r\n")));
    QVERIFY(b.script.text().endsWith(QStringLiteral("abortOnTimeout = True;\r\n}\r\n\r\n")));
    QCOMPARE(b.script.text().count(QStringLiteral("abortOnTimeout = False;")), 1);
    QVERIFY(b.script.text().contains(line(QStringLiteral("heading      = "), QStringLiteral("270"))));
}

void TestMissionTemplates::commandLineUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing") << QStringList{} << 2 << "no template given.";
    QTest::newRow("unknown template") << QStringList{"Transit", "-o", "-"} << 2 << "unknown template \"Transit\".";
    QTest::newRow("no output") << QStringList{"transit", "--heading", "45"} << 2 << "no output file given";
    QTest::newRow("option without value") << QStringList{"transit", "-o", "-", "--heading"} << 2
                                          << "the option --heading needs a value.";
    QTest::newRow("option twice") << QStringList{"transit", "--heading", "1", "--heading", "2", "-o", "-"} << 2
                                  << "--heading is given twice.";
    QTest::newRow("option of another template") << QStringList{"decktest", "--depth", "1", "-o", "-"} << 2
                                                << "unknown option --depth for the decktest template.";
    QTest::newRow("stray argument") << QStringList{"transit", "45", "-o", "-"} << 2 << "unexpected argument \"45\".";
    QTest::newRow("missing box is its empty message") << QStringList{"transit", "--heading", "45", "-o", "-"} << 1
                                                      << "bravik-mission: Please enter duration.\n";
    QTest::newRow("waypoint position option emptied") << QStringList{"waypoint", "--lat-min=", "-o", "-"} << 1
                                                      << "bravik-mission: Please enter latitude component.\n";
}

void TestMissionTemplates::commandLineUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    const CliResult r = runMissionCommandLine(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.standardError.contains(error), qPrintable(r.standardError));
    QVERIFY(r.standardOutput.isEmpty());
}

void TestMissionTemplates::commandLineTexts()
{
    // Values are the texts a user would type: a negative depth, a speed
    // with a leading blank and the waypoint's starting position.
    const CliResult t = runMissionCommandLine({"transit", "--heading", "045", "--duration=600", "--depth", "-5",
                                               "--speed", " 1.5", "-o", "-"});
    QCOMPARE(t.exitCode, 0);
    QVERIFY(t.standardOutput.contains("depth        = -5;\r\n"));
    QVERIFY(t.standardOutput.contains("duration  = -30;\r\n"));
    QVERIFY(t.standardOutput.contains("speed        =  1.5;\r\n"));
    QVERIFY(t.standardOutput.contains("heading      = 045;\r\n"));
    QCOMPARE(t.standardOutput, buildTransit({"045", "600", "-5", " 1.5"}).script.bytes());

    const CliResult w = runMissionCommandLine({"waypoint", "--ns", "S", "--duration", "1800", "--depth", "50",
                                               "--speed", "1.5", "-o", "-"});
    QCOMPARE(w.exitCode, 0);
    QVERIFY(w.standardOutput.contains("latitude     = -36.7520566666667;\r\nlongitude     = -121.83539;\r\n"));
}

void TestMissionTemplates::commandLineHelp()
{
    const CliResult general = runMissionCommandLine({"--help"});
    QCOMPARE(general.exitCode, 0);
    for (const char *name : {"transit", "decktest", "waypoint"})
        QVERIFY(general.standardOutput.contains(QByteArray("\n  ") + name));

    const CliResult waypoint = runMissionCommandLine({"waypoint", "--help"});
    QCOMPARE(waypoint.exitCode, 0);
    const QString text = QString::fromUtf8(waypoint.standardOutput);
    for (const char *option : {"--lat-deg", "--lat-min", "--ns", "--lon-deg", "--lon-min", "--ew", "--duration",
                               "--depth", "--speed", "-o FILE"})
        QVERIFY2(text.contains(QLatin1String(option)), option);
    QVERIFY(text.contains(QStringLiteral("(default 45.1234)")));
    QVERIFY(!QString::fromUtf8(runMissionCommandLine({"decktest", "--help"}).standardOutput).contains("--depth"));
}

void TestMissionTemplates::commandLineWritesFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deck.cfg"));
    const CliResult ok = runMissionCommandLine({"decktest", "--heading", "90", "--duration", "300", "--speed", "1.0",
                                                "-o", path});
    QCOMPARE(ok.exitCode, 0);
    QCOMPARE(readAll(path), golden(QStringLiteral("decktest.cfg")));

    // A stopped build leaves the old file alone.
    const CliResult stopped = runMissionCommandLine({"decktest", "--heading", "90", "--duration", "x", "--speed",
                                                     "1", "-o", path});
    QCOMPARE(stopped.exitCode, 1);
    QCOMPARE(readAll(path), golden(QStringLiteral("decktest.cfg")));

    const QString bad = dir.filePath(QStringLiteral("missing/deck.cfg"));
    const CliResult failed = runMissionCommandLine({"decktest", "--heading", "90", "--duration", "300", "--speed",
                                                    "1", "-o", bad});
    QCOMPARE(failed.exitCode, 1);
    QVERIFY2(failed.standardError.contains(bad), qPrintable(failed.standardError));
}

QTEST_GUILESS_MAIN(TestMissionTemplates)
#include "tst_missiontemplates.moc"
