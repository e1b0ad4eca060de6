// The script format: number rules, value rendering, the behaviour writers
// byte for byte, and the atomic save.
#include "MissionFileDialog.h"
#include "MissionTestSupport.h"
#include "NumberRules.h"
#include "ScriptWriter.h"
#include "Settings.h"
#include "TestDoubles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace bravik;
using namespace bravik::mission;

class TestMissionScript : public QObject
{
    Q_OBJECT
private slots:
    void lenientNumbers_data();
    void lenientNumbers();
    void strictNumbers_data();
    void strictNumbers();
    void roundingToInt16_data();
    void roundingToInt16();
    void realRendering_data();
    void realRendering();
    void valueKinds();

    void writerBlocks_data();
    void writerBlocks();
    void depthEnvelopeArithmetic_data();
    void depthEnvelopeArithmetic();
    void depthEnvelopeRefusesText();
    void everyLineEndsInCrLf();

    void saveReplacesWholeFile();
    void saveFailureNamesPathAndKeepsOldFile();
    void saveIntoMissingFolderFails();

    void saveDialogRequest();
    void bareNameGetsSuffix_data();
    void bareNameGetsSuffix();
    void cancelledDialogWritesNothing();
};

void TestMissionScript::lenientNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("unit after number") << "12.5 m" << 12.5;
    QTest::newRow("word") << "abc" << 0.0;
    QTest::newRow("blank inside digits") << "1 2" << 12.0;
    QTest::newRow("tab and line feed ignored") << "\t3\n6" << 36.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("negative fraction") << "-.5" << -0.5;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("exponent") << "1.5e3" << 1500.0;
    QTest::newRow("exponent with blanks") << "2 E - 2" << 0.02;
    QTest::newRow("bare exponent letter") << "4e" << 4.0;
    QTest::newRow("exponent sign without digits") << "4e+x" << 4.0;
    QTest::newRow("comma is not a point") << "1,5" << 1.0;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    QTest::newRow("letters after number") << "12abc" << 12.0;
    QTest::newRow("tiny underflows to zero") << "1e-400" << 0.0;
}

void TestMissionScript::lenientNumbers()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numericTextValue(text), value);
}

void TestMissionScript::strictNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << "600" << true << 600.0;
    QTest::newRow("fraction") << "7.5" << true << 7.5;
    QTest::newRow("surrounding blanks") << " 20 " << true << 20.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("trailing point") << "20." << true << 20.0;
    QTest::newRow("negative") << "-5" << true << -5.0;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("word") << "abc" << false << 0.0;
    QTest::newRow("unit") << "12.5 m" << false << 0.0;
    QTest::newRow("blank inside") << "1 2" << false << 0.0;
    QTest::newRow("comma") << "1,5" << false << 0.0;
    QTest::newRow("blank only") << " " << false << 0.0;
    QTest::newRow("infinity word") << "inf" << false << 0.0;
    QTest::newRow("beyond double") << "1e400" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
}

void TestMissionScript::strictNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const std::optional<double> read = strictNumber(text);
    QCOMPARE(read.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*read, value);
}

void TestMissionScript::roundingToInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("rounded");
    QTest::newRow("half to even down") << 0.5 << true << 0;
    QTest::newRow("half to even up") << 1.5 << true << 2;
    QTest::newRow("2.5 to 2") << 2.5 << true << 2;
    QTest::newRow("-2.5 to -2") << -2.5 << true << -2;
    QTest::newRow("-3.5 to -4") << -3.5 << true << -4;
    QTest::newRow("above half") << 2.51 << true << 3;
    QTest::newRow("0.3 m ascent") << 0.3 / 10 * 60 << true << 2;
    QTest::newRow("top") << 32767.4 << true << 32767;
    QTest::newRow("rounds past top") << 32767.5 << false << 0;
    QTest::newRow("bottom half to even") << -32768.5 << true << -32768;
    QTest::newRow("below bottom") << -32769.0 << false << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << 0;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << false << 0;
}

void TestMissionScript::roundingToInt16()
{
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(int, rounded);
    const std::optional<int> r = roundToInt16(value);
    QCOMPARE(r.has_value(), fits);
    if (fits)
        QCOMPARE(*r, rounded);
}

void TestMissionScript::realRendering_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole drops point") << 25.0 << "25";
    QTest::newRow("15 significant digits") << 36.75205666666667 << "36.7520566666667";
    QTest::newRow("waypoint longitude") << -(121 + 50.1234 / 60) << "-121.83539";
    QTest::newRow("fraction") << 1.5 << "1.5";
    QTest::newRow("binary noise rounds away") << 0.1 + 0.2 << "0.3";
    QTest::newRow("small without exponent") << 0.000012 << "0.000012";
    QTest::newRow("large without exponent") << 1e20 << "100000000000000000000";
    QTest::newRow("large rounded to 15 digits") << 123456789012345678.0 << "123456789012346000";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("negative") << -2.0 << "-2";
    QTest::newRow("below one") << 0.75 << "0.75";
    QTest::newRow("ten") << 10.0 << "10";
}

void TestMissionScript::realRendering()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatReal(value), text);
}

void TestMissionScript::valueKinds()
{
    // Text is never reformatted; whole numbers have no sign or padding.
    QCOMPARE(ScriptValue(QStringLiteral(" 045")).render(), QStringLiteral(" 045"));
    QCOMPARE(ScriptValue("False").render(), QStringLiteral("False"));
    QCOMPARE(ScriptValue(960).render(), QStringLiteral("960"));
    QCOMPARE(ScriptValue(-30).render(), QStringLiteral("-30"));
    QCOMPARE(ScriptValue(1.5).render(), QStringLiteral("1.5"));
    QCOMPARE(ScriptValue(QStringLiteral("12.5 m")).number().has_value(), false);
    QCOMPARE(ScriptValue(QStringLiteral("20.5")).number().value(), 20.5);
}

// Each writer's whole block; lines joined by "|", the empty line as "".
void TestMissionScript::writerBlocks_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("getgps writes timeOut on the duration line first")
        << "getgps"
        << "# acquire gps fix|behavior getgps {|duration = 60;|minHits = 10;|abortOnTimeout = False;|}|";
    QTest::newRow("setpoint")
        << "setpoint"
        << "# setpoint behavior|behavior setpoint {|duration     = 600;|heading      = 045;|"
           "verticalMode = depth;|depth        = 20;|speed        =  1.5;|}|";
    QTest::newRow("missionTimer")
        << "timer"
        << "# mission timer set to 120% of estimated time of mission|behavior missionTimer {|timeOut = 960;|}|";
    QTest::newRow("launch sequence: descend label 6 spaces")
        << "launch"
        << "# Descend behavior to 5 meters|behavior descend {|horizontalMode   = heading;|horizontal      = 45;|"
           "pitch        = -15;|speed        = 1.5;|maxDepth     = 5;|duration     = 60;|}||"
           "# setpoint on surface to gather momentum|behavior setpoint {|duration     = 30;|heading      = 45;|"
           "speed        = 1.5;|verticalMode = pitch;|pitch        = 0;|}|";
    QTest::newRow("ascend: horizontal label 7 spaces")
        << "ascend"
        << "# ascend behavior|behavior ascend {|duration  = 120;|horizontalMode   = rudder;|horizontal       = 10;|"
           "pitch            = 10;|speed            = 1.5;|endDepth         = 2;|}|";
    QTest::newRow("waypoint: no empty line after it")
        << "waypoint"
        << "# waypoint behavior|behavior waypoint {|latitude     = 36.7520566666667;|longitude     = -121.83539;|"
           "captureRadius = 10;|duration     = 1800;|depth        = 50;|speed        = 1.5;|}";
    QTest::newRow("yoyo, empty cycles kept empty")
        << "yoyo"
        << "# Depth control via yoyo behavior|behavior yoyo {|duration       = 600;|minDepth       = 5;|"
           "maxDepth       = 50;|minAltitude    = 10;|maxCycles      = ;|}|";
    QTest::newRow("setpoint without depth")
        << "nodepth"
        << "# setpoint behavior|behavior setpoint {|duration     = 600;|heading      = 45;|speed        = 1.5;|}|";
}

void TestMissionScript::writerBlocks()
{
    QFETCH(QString, writer);
    QFETCH(QString, expected);
    ScriptWriter w;
    if (writer == QLatin1String("getgps"))
        w.printGetgps(10, 60, "False");
    else if (writer == QLatin1String("setpoint"))
        w.printSetpoint(QStringLiteral("20"), QStringLiteral("045"), QStringLiteral("600"), QStringLiteral(" 1.5"));
    else if (writer == QLatin1String("timer"))
        w.printMissionTimer(960);
    else if (writer == QLatin1String("launch"))
        w.printLaunchSequence(QStringLiteral("45"));
    else if (writer == QLatin1String("ascend"))
        w.printAscend("rudder", 10, 10, 1.5, 120);
    else if (writer == QLatin1String("waypoint"))
        w.printWaypoint(36 + 45.1234 / 60, -(121 + 50.1234 / 60), QStringLiteral("50"), QStringLiteral("1800"),
                        QStringLiteral("1.5"));
    else if (writer == QLatin1String("yoyo"))
        w.printYoYo(QStringLiteral("5"), QStringLiteral("50"), QStringLiteral("10"), QStringLiteral("600"), QString());
    else if (writer == QLatin1String("nodepth"))
        w.printSetpointNoDepth(QStringLiteral("45"), QStringLiteral("600"), QStringLiteral("1.5"));
    QVERIFY(w.ok());
    QCOMPARE(w.bytes(), (expected.split(QLatin1Char('|')).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
}

void TestMissionScript::depthEnvelopeArithmetic_data()
{
    QTest::addColumn<ScriptValue>("depth");
    QTest::addColumn<ScriptValue>("altitude");
    QTest::addColumn<QString>("maxDepth");
    QTest::addColumn<QString>("abortDepth");
    QTest::addColumn<QString>("minAltitude");
    QTest::addColumn<QString>("abortAltitude");
    QTest::newRow("text 20") << ScriptValue("20") << ScriptValue("10") << "25" << "30" << "10" << "5";
    QTest::newRow("text 20.5") << ScriptValue("20.5") << ScriptValue("10") << "25.5" << "30.5" << "10" << "5";
    QTest::newRow("text 7.5") << ScriptValue("7.5") << ScriptValue("10") << "12.5" << "17.5" << "10" << "5";
    QTest::newRow("altitude 3 not clamped") << ScriptValue("20") << ScriptValue("3") << "25" << "30" << "3" << "-2";
    QTest::newRow("altitude text kept as typed") << ScriptValue("20") << ScriptValue("10.0") << "25" << "30" << "10.0" << "5";
    QTest::newRow("real depth, whole altitude") << ScriptValue(30.0) << ScriptValue(5) << "35" << "40" << "5" << "0";
}

void TestMissionScript::depthEnvelopeArithmetic()
{
    QFETCH(ScriptValue, depth);
    QFETCH(ScriptValue, altitude);
    QFETCH(QString, maxDepth);
    QFETCH(QString, abortDepth);
    QFETCH(QString, minAltitude);
    QFETCH(QString, abortAltitude);
    ScriptWriter w;
    w.printDepthEnvelope(depth, altitude);
    QVERIFY(w.ok());
    const QString expected = QStringLiteral(
        "# depth envelope set to commanded + 5 m, abort at commanded + 10\r\nbehavior depthEnvelope {\r\n"
        "minDepth = 0;\r\nmaxDepth     = %1;\r\nabortDepth   = %2;\r\n minAltitude  = %3;\r\n"
        " abortAltitude  = %4;\r\n}\r\n\r\n").arg(maxDepth, abortDepth, minAltitude, abortAltitude);
    QCOMPARE(w.text(), expected);
}

void TestMissionScript::depthEnvelopeRefusesText()
{
    // A depth that is no number cannot give the limits; the script refuses
    // to be saved instead of carrying made-up limits.
    QTemporaryDir dir;
    ScriptWriter w;
    w.printDepthEnvelope(QStringLiteral("deep"), "10");
    QVERIFY(!w.ok());
    QVERIFY(w.error().contains(QStringLiteral("\"deep\"")));
    QString error;
    QVERIFY(!w.save(dir.filePath(QStringLiteral("m.cfg")), &error));
    QVERIFY(error.contains(QStringLiteral("deep")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("m.cfg"))));
}

void TestMissionScript::everyLineEndsInCrLf()
{
    ScriptWriter w;
    w.printMissionTimer(1);
    w.printWaypoint(1.0, 2.0, "3", "4", "5");
    w.printGetgps(10, 60, "True");
    const QByteArray b = w.bytes();
    QVERIFY(b.endsWith("}\r\n\r\n"));
    QCOMPARE(b.count('\n'), b.count("\r\n"));
    QCOMPARE(b.count('\r'), b.count("\r\n"));
    // The waypoint's "}" is followed at once by the next block's comment.
    QVERIFY(b.contains("speed        = 5;\r\n}\r\n# acquire gps fix\r\n"));
}

void TestMissionScript::saveReplacesWholeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.cfg"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    ScriptWriter w;
    w.printMissionTimer(960);
    QString error;
    QVERIFY2(w.save(path, &error), qPrintable(error));
    QCOMPARE(readAll(path), w.bytes());
    // Nothing but the script is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("m.cfg")});
}

void TestMissionScript::saveFailureNamesPathAndKeepsOldFile()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/m.cfg");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old script\r\n");
    }
    ReadOnlyFolder lock(folder);
    if (!lock.ok())
        QSKIP("this machine cannot make a folder unwritable for the test");
    ScriptWriter w;
    w.printMissionTimer(960);
    QString error;
    QVERIFY(!w.save(path, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    const QString reason = error.section(QStringLiteral(" could not be written: "), 1);
    QVERIFY2(!reason.trimmed().isEmpty(), qPrintable(error)); // the system's reason follows the path
    lock.release();
    QCOMPARE(readAll(path), QByteArray("old script\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("m.cfg")});
}

void TestMissionScript::saveIntoMissingFolderFails()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/m.cfg"));
    ScriptWriter w;
    w.printMissionTimer(1);
    QString error;
    QVERIFY(!w.save(path, &error));
    QVERIFY(error.contains(QDir::toNativeSeparators(path)));
    QVERIFY(!w.save(QString(), &error));
    QVERIFY(!w.save(dir.path(), &error)); // a folder is no file
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void TestMissionScript::saveDialogRequest()
{
    test::TempSettings temp;
    test::Seams seams;
    QVERIFY(!QFileInfo::exists(settings().missionsFolder));
    chooseMissionSavePath(nullptr, QStringLiteral("cdlTransitMission"));
    QCOMPARE(seams.dialogs->requests.size(), 1);
    const FileDialogRequest r = seams.dialogs->requests.constFirst();
    QCOMPARE(r.mode, FileDialogRequest::Save);
    QCOMPARE(r.title, QStringLiteral("Save Mission File As"));
    QCOMPARE(r.filter, QStringLiteral("*.cfg"));
    QCOMPARE(r.defaultSuffix, QStringLiteral("cfg"));
    QCOMPARE(r.folder, settings().missionsFolder);
    QCOMPARE(r.objectName, QStringLiteral("cdlTransitMission"));
    QVERIFY(QFileInfo(settings().missionsFolder).isDir()); // made when missing
}

void TestMissionScript::bareNameGetsSuffix_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::newRow("bare name") << "/m/dive" << "/m/dive.cfg";
    QTest::newRow("cfg kept") << "/m/dive.cfg" << "/m/dive.cfg";
    QTest::newRow("other extension kept") << "/m/dive.txt" << "/m/dive.txt";
    QTest::newRow("dot in folder only") << "/m.d/dive" << "/m.d/dive.cfg";
    QTest::newRow("cancelled") << "" << "";
}

void TestMissionScript::bareNameGetsSuffix()
{
    QFETCH(QString, chosen);
    QFETCH(QString, path);
    test::TempSettings temp;
    test::Seams seams;
    seams.dialogs->answers.enqueue(chosen);
    QCOMPARE(chooseMissionSavePath(nullptr, QStringLiteral("cdlTestMission")), path);
}

void TestMissionScript::cancelledDialogWritesNothing()
{
    test::TempSettings temp;
    test::Seams seams;
    ScriptWriter w;
    w.printMissionTimer(1);
    QCOMPARE(saveMissionScript(nullptr, QStringLiteral("cdlTestMission"), w), SaveOutcome::Cancelled);
    QVERIFY(seams.messages->texts.isEmpty());
    QCOMPARE(QDir(settings().missionsFolder).entryList(QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestMissionScript)
#include "tst_missionscript.moc"
