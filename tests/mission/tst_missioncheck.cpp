// Reading mission scripts back and checking what they ask of the vehicle.
#include "MissionCheck.h"
#include "MissionScript.h"
#include "MissionTestSupport.h"
#include "MultiLegTemplates.h"
#include "SingleLegTemplates.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace bravik::mission;

namespace {

QByteArray script(const QStringList &lines)
{
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// A small dive: timer, envelope for `depth`, one setpoint leg, ascend.
QStringList dive(const QString &depth = QStringLiteral("20"), const QString &speed = QStringLiteral("1.5"),
                 const QString &duration = QStringLiteral("600"), const QString &timer = QStringLiteral("960"))
{
    return {QStringLiteral("behavior missionTimer {"), QStringLiteral("timeOut = ") + timer + QLatin1Char(';'), QStringLiteral("}"),
            QStringLiteral("behavior depthEnvelope {"), QStringLiteral("minDepth = 0;"), QStringLiteral("maxDepth = 25;"),
            QStringLiteral("abortDepth = 30;"), QStringLiteral("minAltitude = 10;"), QStringLiteral("abortAltitude = 5;"),
            QStringLiteral("}"),
            QStringLiteral("behavior ascend {"), QStringLiteral("duration = 200;"), QStringLiteral("horizontalMode = rudder;"),
            QStringLiteral("horizontal = 10;"), QStringLiteral("pitch = 10;"), QStringLiteral("speed = 1.5;"),
            QStringLiteral("endDepth = 2;"), QStringLiteral("}"),
            QStringLiteral("behavior setpoint {"), QStringLiteral("duration = ") + duration + QLatin1Char(';'),
            QStringLiteral("heading = 45;"), QStringLiteral("verticalMode = depth;"), QStringLiteral("depth = ") + depth + QLatin1Char(';'),
            QStringLiteral("speed = ") + speed + QLatin1Char(';'), QStringLiteral("}")};
}

const Finding *findingWith(const QList<Finding> &findings, const QString &text)
{
    for (const Finding &f : findings)
        if (f.text.contains(text))
            return &f;
    return nullptr;
}

QString listed(const QList<Finding> &findings)
{
    QStringList out;
    for (const Finding &f : findings)
        out << QStringLiteral("%1 %2 %3").arg(f.line).arg(severityName(f.severity), f.text);
    return out.join(QLatin1Char('\n'));
}

QList<SetpointLeg> setpointLegs(int n)
{
    QList<SetpointLeg> legs;
    for (int i = 0; i < n; ++i)
        legs << SetpointLeg{double((i * 37) % 360), 120.0 + i * 10, 5.0 + (i % 7) * 4.0, 1.5};
    return legs;
}

QByteArray built(const TemplateBuild &b)
{
    return b.ok() ? b.script.bytes() : QByteArray("build failed: ") + b.message.toUtf8();
}

} // namespace

class TestMissionCheck : public QObject
{
    Q_OBJECT

private slots:
    // --- the reader --------------------------------------------------------

    void scriptsRoundTripByteForByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        for (const char *name : {"transit.cfg", "decktest.cfg", "waypoint.cfg", "setpoints.cfg", "waypoints.cfg", "transect.cfg"})
            QTest::newRow(name) << golden(QLatin1String(name));
        QTest::newRow("20 setpoints") << built(buildMultipleSetpoints(setpointLegs(20)));
        QList<WaypointLeg> wps;
        for (int i = 0; i < 20; ++i)
            wps << WaypointLeg{36.7 + i * 0.001, -121.8 - i * 0.0013, 300.0, 10.0 + i, 1.5};
        QTest::newRow("20 waypoints") << built(buildMultipleWaypoints(wps));
        QTest::newRow("transect, texts as typed") << built(buildTransect({QStringLiteral("045"), QStringLiteral("600"), QStringLiteral("5"),
                                                                          QStringLiteral("50"), QStringLiteral("12abc"), QString(),
                                                                          QStringLiteral("1.50")}));
    }
    void scriptsRoundTripByteForByte()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!bytes.startsWith("build failed"));
        const MissionScriptModel m = readMissionScript(bytes);
        QVERIFY(!m.blocks.isEmpty());
        for (const ScriptBlock &b : m.blocks)
            QVERIFY2(b.standard, qPrintable(QStringLiteral("block %1 on line %2 is not in a writer's shape").arg(b.kind).arg(b.headerLine)));
        QVERIFY2(m.findings.isEmpty(), qPrintable(listed(m.findings)));
        QCOMPARE(m.lineEnds, MissionScriptModel::LineEnds::CrLf);
        QCOMPARE(writeMissionScript(m), bytes);
    }

    void lineEndsAllRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("ends");
        QTest::addColumn<bool>("warned");
        const QByteArray crlf = golden(QStringLiteral("transit.cfg"));
        QByteArray lf = crlf, cr = crlf, missing = crlf;
        lf.replace("\r\n", "\n");
        cr.replace("\r\n", "\r");
        missing.chop(4); // the last empty line and the line end of "}"
        QTest::newRow("CR LF") << crlf << int(MissionScriptModel::LineEnds::CrLf) << false;
        QTest::newRow("LF") << lf << int(MissionScriptModel::LineEnds::Lf) << true;
        QTest::newRow("CR") << cr << int(MissionScriptModel::LineEnds::Cr) << true;
        QTest::newRow("no final line end") << missing << int(MissionScriptModel::LineEnds::CrLf) << false;
    }
    void lineEndsAllRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, ends);
        QFETCH(bool, warned);
        const MissionScriptModel reference = readMissionScript(golden(QStringLiteral("transit.cfg")));
        const MissionScriptModel m = readMissionScript(bytes);
        QCOMPARE(int(m.lineEnds), ends);
        QCOMPARE(m.blocks.size(), reference.blocks.size());
        for (int i = 0; i < m.blocks.size(); ++i) {
            QCOMPARE(m.blocks[i].kind, reference.blocks[i].kind);
            QCOMPARE(m.blocks[i].headerLine, reference.blocks[i].headerLine);
            QCOMPARE(m.blocks[i].settings.size(), reference.blocks[i].settings.size());
            for (int s = 0; s < m.blocks[i].settings.size(); ++s) {
                QCOMPARE(m.blocks[i].settings[s].name, reference.blocks[i].settings[s].name);
                QCOMPARE(m.blocks[i].settings[s].value, reference.blocks[i].settings[s].value);
            }
        }
        QCOMPARE(!m.findings.isEmpty(), warned);
        for (const Finding &f : m.findings)
            QCOMPARE(f.severity, Severity::Warning);
        QCOMPARE(m.finalLineEnd, !QTest::currentDataTag() || QByteArray(QTest::currentDataTag()) != "no final line end");
        // Written back, every line ends in CR LF again.
        if (QByteArray(QTest::currentDataTag()) != "no final line end")
            QCOMPARE(writeMissionScript(m), golden(QStringLiteral("transit.cfg")));
    }

    void unknownBlocksAndSettingsKeptAndReported()
    {
        const QByteArray bytes = script({QStringLiteral("# sonar on"), QStringLiteral("behavior sonar {"), QStringLiteral("range = 50;"),
                                         QStringLiteral("}"), QString(), QStringLiteral("# setpoint behavior"),
                                         QStringLiteral("behavior setpoint {"), QStringLiteral("duration     = 30;"),
                                         QStringLiteral("heading      = 90;"), QStringLiteral("speed        = 1;"),
                                         QStringLiteral("gain         = 3;"), QStringLiteral("}")});
        const MissionScriptModel m = readMissionScript(bytes);
        QCOMPARE(m.blocks.size(), 2);
        QCOMPARE(m.blocks[0].kind, QStringLiteral("sonar"));
        QVERIFY(!m.blocks[0].known);
        QCOMPARE(m.blocks[0].comment, QStringLiteral("# sonar on"));
        QCOMPARE(m.blocks[0].value(QStringLiteral("range")), std::optional<QString>(QStringLiteral("50")));
        QCOMPARE(m.blocks[1].value(QStringLiteral("gain")), std::optional<QString>(QStringLiteral("3")));
        const Finding *unknown = findingWith(m.findings, QStringLiteral("\"sonar\""));
        QVERIFY(unknown);
        QCOMPARE(unknown->line, 2);
        QCOMPARE(unknown->severity, Severity::Error);
        const Finding *gain = findingWith(m.findings, QStringLiteral("\"gain\""));
        QVERIFY(gain);
        QCOMPARE(gain->line, 11);
        QCOMPARE(gain->severity, Severity::Warning);
        // Nothing is dropped on the way back.
        QCOMPARE(writeMissionScript(m), bytes);
    }

    void malformedFilesGiveFindingsWithLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QByteArray truncated = golden(QStringLiteral("transit.cfg"));
        truncated.truncate(truncated.indexOf("speed        = 1.5;\r\n}")); // inside the setpoint block
        QTest::newRow("cut short inside a block") << truncated << 33 << QStringLiteral("file ends inside it");
        QTest::newRow("block not closed before the next")
            << script({QStringLiteral("behavior getgps {"), QStringLiteral("duration = 60;"), QStringLiteral("behavior ascend {"), QStringLiteral("}")})
            << 1 << QStringLiteral("not closed with \"}\" before line 3");
        QTest::newRow("garbage line") << script({QStringLiteral("behavior getgps {"), QStringLiteral("duration = 60;"),
                                                 QStringLiteral("%%% what"), QStringLiteral("}")})
                                      << 3 << QStringLiteral("not understood");
        QTest::newRow("brace outside") << script({QStringLiteral("}")}) << 1 << QStringLiteral("outside any block");
        QTest::newRow("setting outside") << script({QStringLiteral("duration = 5;")}) << 1 << QStringLiteral("outside any block");
        QTest::newRow("no semicolon") << script({QStringLiteral("behavior getgps {"), QStringLiteral("duration = 60"), QStringLiteral("}")})
                                      << 2 << QStringLiteral("does not end in \";\"");
        QTest::newRow("binary") << QByteArray("\x7f" "ELF\0\0\x01", 7) << 0 << QStringLiteral("NUL bytes");
        QTest::newRow("empty") << QByteArray() << 0 << QStringLiteral("empty");
        QTest::newRow("blanks only") << QByteArray("\r\n  \r\n") << 0 << QStringLiteral("empty");
    }
    void malformedFilesGiveFindingsWithLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QString, text);
        const MissionScriptModel m = readMissionScript(bytes);
        const Finding *f = findingWith(m.findings, text);
        QVERIFY2(f, qPrintable(listed(m.findings)));
        QCOMPARE(f->line, line);
        QCOMPARE(f->severity, Severity::Error);
        QVERIFY(checkMission(m, {}).hasErrors());
    }

    void anyBytesAreReadSafely()
    {
        QRandomGenerator random(1312);
        const QByteArray alphabet("behavior {}=;# \r\n0123456789.-abcdegimnoprstuvwxyz\t\0\xff", 52);
        for (int round = 0; round < 400; ++round) {
            QByteArray bytes;
            const int n = int(random.bounded(600));
            for (int i = 0; i < n; ++i)
                bytes += round % 3 == 0 ? char(random.bounded(256)) : alphabet.at(random.bounded(int(alphabet.size())));
            const MissionScriptModel m = readMissionScript(bytes);
            for (const Finding &f : m.findings)
                QVERIFY(f.line >= 0 && f.line <= m.lines.size());
            for (const ScriptBlock &b : m.blocks)
                QVERIFY(b.firstLine >= 1 && b.firstLine <= b.headerLine && b.lastLine <= m.lines.size());
            const MissionCheck c = checkMission(m, {}, GeoPosition{36.8, -121.9});
            Q_UNUSED(c);
            writeMissionScript(m);
        }
    }

    // --- the checks ----------------------------------------------------------

    void eachFinding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("leg deeper than the envelope") << script(dive(QStringLiteral("28"))) << 23 << true << QStringLiteral("deeper than the depth envelope");
        QStringList env = dive();
        env[4] = QStringLiteral("minDepth = 40;");
        QTest::newRow("envelope minimum below maximum") << script(env) << 5 << true << QStringLiteral("minDepth of 40 m is below its maxDepth");
        QTest::newRow("timer shorter than the legs") << script(dive(QStringLiteral("20"), QStringLiteral("1.5"), QStringLiteral("600"), QStringLiteral("500")))
                                                     << 2 << true << QStringLiteral("shorter than the legs it must cover");
        QTest::newRow("timer short of the ascent") << script(dive(QStringLiteral("20"), QStringLiteral("1.5"), QStringLiteral("600"), QStringLiteral("700")))
                                                   << 2 << false << QStringLiteral("with the launch and the ascents");
        QTest::newRow("speed not a number") << script(dive(QStringLiteral("20"), QStringLiteral("abc"))) << 24 << true << QStringLiteral("\"abc\", not a number");
        QTest::newRow("depth empty") << script(dive(QString())) << 23 << true << QStringLiteral("depth of the setpoint block is empty");
        QTest::newRow("zero-length leg") << script(dive(QStringLiteral("20"), QStringLiteral("1.5"), QStringLiteral("0"))) << 20 << false << QStringLiteral("lasts 0 s");
        QTest::newRow("negative duration") << script(dive(QStringLiteral("20"), QStringLiteral("1.5"), QStringLiteral("-5"))) << 20 << true << QStringLiteral("negative");
        QTest::newRow("speed above cruise") << script(dive(QStringLiteral("20"), QStringLiteral("2.5"))) << 24 << false << QStringLiteral("above the vehicle's cruise speed");
        QStringList shortAscent = dive();
        shortAscent[11] = QStringLiteral("duration = 60;");
        QTest::newRow("short ascent") << script(shortAscent) << 12 << false << QStringLiteral("shorter than the 120 s");
        QStringList noAscent = dive();
        noAscent.erase(noAscent.begin() + 10, noAscent.begin() + 18);
        QTest::newRow("no ascent") << script(noAscent) << 0 << false << QStringLiteral("no ascend block");
        QTest::newRow("unknown block") << script({QStringLiteral("behavior sonar {"), QStringLiteral("}")}) << 1 << true << QStringLiteral("not one this program knows");
        QTest::newRow("missing setting") << script({QStringLiteral("behavior setpoint {"), QStringLiteral("duration = 5;"), QStringLiteral("speed = 1;"), QStringLiteral("}")})
                                         << 1 << true << QStringLiteral("has no heading setting");
        QTest::newRow("yoyo band upside down")
            << script({QStringLiteral("behavior yoyo {"), QStringLiteral("duration = 60;"), QStringLiteral("minDepth = 30;"), QStringLiteral("maxDepth = 10;"),
                       QStringLiteral("minAltitude = 5;"), QStringLiteral("maxCycles = 2;"), QStringLiteral("}")})
            << 3 << true << QStringLiteral("yoyo's minDepth of 30 m is below its maxDepth");
        const QStringList far{QStringLiteral("behavior waypoint {"), QStringLiteral("latitude = 37.8;"), QStringLiteral("longitude = -121.9;"),
                              QStringLiteral("captureRadius = 10;"), QStringLiteral("duration = 600;"), QStringLiteral("depth = 0;"),
                              QStringLiteral("speed = 1.5;"), QStringLiteral("}")};
        QTest::newRow("waypoint far from the position") << script(far) << 1 << false << QStringLiteral("farther than the leg can go");
        QStringList badLat = far;
        badLat[1] = QStringLiteral("latitude = 97;");
        QTest::newRow("latitude out of range") << script(badLat) << 2 << true << QStringLiteral("outside -90 to 90");
        QStringList heading = dive();
        heading[20] = QStringLiteral("heading = 400;");
        QTest::newRow("heading outside a circle") << script(heading) << 21 << false << QStringLiteral("outside 0 to 360");
    }
    void eachFinding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(bool, error);
        QFETCH(QString, text);
        const MissionCheck c = checkMissionBytes(bytes, {}, GeoPosition{36.8, -121.9});
        const Finding *f = findingWith(c.findings, text);
        QVERIFY2(f, qPrintable(listed(c.findings)));
        QCOMPARE(f->line, line);
        QCOMPARE(f->isError(), error);
        QVERIFY(!f->limit);
    }

    void cleanDiveHasNoFindings()
    {
        const MissionCheck c = checkMissionBytes(script(dive()), {});
        QVERIFY2(c.findings.isEmpty(), qPrintable(listed(c.findings)));
        QCOMPARE(c.legs.size(), 1);
        QCOMPARE(c.deepest, 20.0);
        QCOMPARE(c.legsTime, 600.0);
        QCOMPARE(c.missionTimer, std::optional<double>(960.0));
    }

    void vehicleLimits_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("broken");
        QTest::addColumn<QString>("text");
        QTest::newRow("depth unset") << QString() << 0.0 << false << QString();
        QTest::newRow("depth set, kept") << "depth" << 25.0 << false << QString();
        QTest::newRow("depth set, beyond") << "depth" << 15.0 << true << QStringLiteral("maximum depth of 15 m");
        QTest::newRow("speed set, kept") << "speed" << 2.0 << false << QString();
        QTest::newRow("speed set, beyond") << "speed" << 1.2 << true << QStringLiteral("maximum speed of 1.2 m/s");
        QTest::newRow("time set, kept") << "time" << 1000.0 << false << QString();
        QTest::newRow("time set, beyond") << "time" << 900.0 << true << QStringLiteral("maximum mission time of 15 min 0 s");
        QTest::newRow("waypoint distance set, kept") << "distance" << 20000.0 << false << QString();
        QTest::newRow("waypoint distance set, beyond") << "distance" << 5000.0 << true << QStringLiteral("maximum waypoint distance of 5.0 km");
    }
    void vehicleLimits()
    {
        QFETCH(QString, limit);
        QFETCH(double, value);
        QFETCH(bool, broken);
        QFETCH(QString, text);
        VehicleLimits limits;
        limits.cruiseSpeed = 3.0;
        if (limit == QLatin1String("depth"))
            limits.maxDepth = value;
        else if (limit == QLatin1String("speed"))
            limits.maxSpeed = value;
        else if (limit == QLatin1String("time"))
            limits.maxMissionTime = value;
        else if (limit == QLatin1String("distance"))
            limits.maxWaypointDistance = value;
        // A dive with a waypoint about 11 km from the position.
        QStringList lines = dive();
        lines << QStringLiteral("behavior waypoint {") << QStringLiteral("latitude = 36.9;") << QStringLiteral("longitude = -121.9;")
              << QStringLiteral("captureRadius = 10;") << QStringLiteral("duration = 100;") << QStringLiteral("depth = 10;")
              << QStringLiteral("speed = 1.5;") << QStringLiteral("}");
        const MissionCheck c = checkMissionBytes(script(lines), limits, GeoPosition{36.8, -121.9});
        QCOMPARE(!c.limitFindings().isEmpty(), broken);
        if (broken) {
            const QList<Finding> limitFindings = c.limitFindings();
            const Finding *f = findingWith(limitFindings, text);
            QVERIFY2(f, qPrintable(listed(c.findings)));
            QVERIFY(f->isError());
        }
    }

    void stockTemplatesGiveNoError_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("transit") << built(buildTransit({QStringLiteral("45"), QStringLiteral("600"), QStringLiteral("20"), QStringLiteral("1.5")}));
        QTest::newRow("deck test") << built(buildDeckTest({QStringLiteral("90"), QStringLiteral("300"), QStringLiteral("1.0")}));
        WaypointInputs w;
        w.duration = QStringLiteral("1800");
        w.depth = QStringLiteral("50");
        w.speed = QStringLiteral("1.5");
        QTest::newRow("waypoint") << built(buildWaypoint(w));
        QTest::newRow("multiple setpoints") << built(buildMultipleSetpoints(setpointLegs(20)));
        QTest::newRow("multiple waypoints") << built(buildMultipleWaypoints({WaypointLeg{36.75, -121.83, 600, 20, 1.5},
                                                                             WaypointLeg{36.76, -121.84, 900, 30, 1.5}}));
        QTest::newRow("transect") << built(buildTransect({QStringLiteral("45"), QStringLiteral("600"), QStringLiteral("5"), QStringLiteral("50"),
                                                          QStringLiteral("10"), QStringLiteral("4"), QStringLiteral("1.5")}));
    }
    void stockTemplatesGiveNoError()
    {
        QFETCH(QByteArray, bytes);
        const MissionCheck c = checkMissionBytes(bytes, {}, GeoPosition{36.75, -121.83});
        QVERIFY2(!c.hasErrors(), qPrintable(listed(c.findings)));
        QVERIFY(!c.legs.isEmpty());
    }

    void legsInTheOrderTheVehicleRunsThem()
    {
        // The template writes the legs from the last to the first.
        const MissionCheck c = checkMissionBytes(golden(QStringLiteral("setpoints.cfg")), {});
        QCOMPARE(c.legs.size(), 2);
        QCOMPARE(c.legs[0].heading, std::optional<double>(90.0));
        QCOMPARE(c.legs[0].depth, std::optional<double>(20.0));
        QCOMPARE(c.legs[1].depth, std::optional<double>(30.0));
        QCOMPARE(c.legsTime, 1500.0);
        QCOMPARE(c.deepest, 30.0);
        QVERIFY(c.summary().startsWith(QStringLiteral("2 legs")));
        const MissionCheck t = checkMissionBytes(golden(QStringLiteral("transect.cfg")), {});
        QCOMPARE(t.legs.size(), 1);
        QCOMPARE(t.legs[0].minDepth, std::optional<double>(5.0));
        QCOMPARE(t.legs[0].maxDepth, std::optional<double>(50.0));
        QCOMPARE(t.legs[0].heading, std::optional<double>(45.0));
    }

    void positionFromTheMissionLogBoxes()
    {
        const std::optional<GeoPosition> p = positionFromBoxes(QStringLiteral("36"), QStringLiteral("48.1234"), QStringLiteral("N"),
                                                               QStringLiteral("121"), QStringLiteral("47.5678"), QStringLiteral("W"));
        QVERIFY(p);
        QVERIFY(qAbs(p->latitude - 36.80205666) < 1e-6);
        QVERIFY(qAbs(p->longitude + 121.79279666) < 1e-6);
        QVERIFY(!positionFromBoxes(QStringLiteral("36"), QString(), QStringLiteral("N"), QStringLiteral("121"), QString(), QStringLiteral("W")));
        QVERIFY(qAbs(distanceMetres({36.0, -121.0}, {37.0, -121.0}) - 111195.0) < 50.0);
    }
};

QTEST_APPLESS_MAIN(TestMissionCheck)
#include "tst_missioncheck.moc"
