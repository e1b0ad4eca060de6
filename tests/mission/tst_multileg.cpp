// The leg wizards (count box, leg storage, captions, messages) and the
// multiple setpoint, multiple waypoint and transect builds, without windows.
#include "MissionTestSupport.h"
#include "MultiLegTemplates.h"

#include <QtTest>

using namespace bravik::mission;

namespace {

const QString kEmptyLegs = QStringLiteral("Please enter a value for number of legs.");
const QString kEmptyWaypoints = QStringLiteral("Please enter a value for number of waypoints.");
const QString kTooMany = QStringLiteral("Please enter a value less than 20.");
const QString kSouth = QStringLiteral("Do you really want to go to the southern hemisphere?.");
const QString kEast = QStringLiteral("So you really want to go to the hemisphere hemisphere?.");

QString line(const QString &label, const QString &value)
{
    return QStringLiteral("\r\n") + label + value + QStringLiteral(";\r\n");
}

SetpointEntry leg(const QString &h, const QString &d, const QString &depth, const QString &s)
{
    return {h, d, depth, s};
}

WaypointEntry filled(const QString &ns = QStringLiteral("N"), const QString &ew = QStringLiteral("W"))
{
    WaypointEntry e;
    e.ns = ns;
    e.ew = ew;
    e.duration = QStringLiteral("600");
    e.depth = QStringLiteral("20");
    e.speed = QStringLiteral("1.5");
    return e;
}

QStringList captionTexts(const QList<LegCaption> &captions)
{
    QStringList out;
    for (const LegCaption &c : captions)
        out << c.label + QLatin1Char('=') + c.text;
    out.sort();
    return out;
}

} // namespace

class TestMultiLeg : public QObject
{
    Q_OBJECT
private slots:
    void countEntry_data();
    void countEntry();
    void countTypedKeyByKey_data();
    void countTypedKeyByKey();

    void setpointEmptyBoxes_data();
    void setpointEmptyBoxes();
    void countOfZeroAndBelow();
    void twentyLegsNeverBeyondIndex19_data();
    void twentyLegsNeverBeyondIndex19();
    void captionsAfterFirstLeg();
    void setpointChainNumbers_data();
    void setpointChainNumbers();
    void setpointExample();
    void valueTooLargeRefusedWhenStored();

    void waypointChecks_data();
    void waypointChecks();
    void waypointCountChangedMidEntry();
    void waypointExample();

    void transectChecks_data();
    void transectChecks();
    void transectLines_data();
    void transectLines();
    void transectExample();
};

// ---------------------------------------------------------------------------
// The count box

void TestMultiLeg::countEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("tooMany"); // else the empty-count message when not accepted
    QTest::newRow("20 pasted") << "20" << false << 0 << true;
    QTest::newRow("19 pasted") << "19" << true << 19 << false;
    QTest::newRow("19.5 rounds to 20") << "19.5" << true << 20 << false;
    QTest::newRow("19.9 passes") << "19.9" << true << 20 << false;
    QTest::newRow("2.5 halves to even") << "2.5" << true << 2 << false;
    QTest::newRow("12 pasted") << "12" << true << 12 << false;
    QTest::newRow("zero") << "0" << true << 0 << false;
    QTest::newRow("negative") << "-3" << true << -3 << false;
    QTest::newRow("blanks around") << " 4 " << true << 4 << false;
    QTest::newRow("exponent") << "1e1" << true << 10 << false;
    QTest::newRow("empty") << "" << false << 0 << false;
    QTest::newRow("letter") << "a" << false << 0 << false;
    QTest::newRow("lone minus") << "-" << false << 0 << false;
    QTest::newRow("lone point") << "." << false << 0 << false;
    QTest::newRow("lone blank") << " " << false << 0 << false;
    QTest::newRow("number then word") << "3x" << false << 0 << false;
    QTest::newRow("blank inside") << "1 2" << false << 0 << false;
    QTest::newRow("below 16 bits") << "-40000" << false << 0 << false;
    QTest::newRow("far beyond") << "1e400" << false << 0 << false;
    QTest::newRow("huge") << "99999" << false << 0 << true;
}

void TestMultiLeg::countEntry()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, count);
    QFETCH(bool, tooMany);
    SetpointWizard s;
    WaypointWizard w;
    const CountReaction rs = s.countChanged(text);
    const CountReaction rw = w.countChanged(text);
    QCOMPARE(rs.accepted, accepted);
    QCOMPARE(rw.accepted, accepted);
    QCOMPARE(s.countAccepted(), accepted);
    if (accepted) {
        QCOMPARE(rs.message, QString());
        QCOMPARE(rw.message, QString());
        QCOMPARE(s.numLegs(), count);
        QCOMPARE(w.numLegs(), count);
        QCOMPARE(s.currentLeg(), 0);
        QVERIFY(rs.locked);
        QVERIFY(!rw.locked);
    } else {
        QCOMPARE(rs.message, tooMany ? kTooMany : kEmptyLegs);
        QCOMPARE(rw.message, tooMany ? kTooMany : kEmptyWaypoints);
        // Nothing changes: "Next" still does nothing.
        QCOMPARE(s.next(leg("1", "1", "1", "1")).outcome, NextReaction::Ignored);
    }
}

void TestMultiLeg::countTypedKeyByKey_data()
{
    QTest::addColumn<QStringList>("texts"); // the box text after each change
    QTest::addColumn<int>("setpointCount");
    QTest::addColumn<QStringList>("setpointMessages");
    QTest::addColumn<int>("waypointCount");
    QTest::addColumn<QStringList>("waypointMessages");
    QTest::newRow("1 then 2") << QStringList{"1", "12"} << 1 << QStringList{} << 12 << QStringList{};
    QTest::newRow("5 then 0") << QStringList{"5", "50"} << 5 << QStringList{} << 5 << QStringList{kTooMany};
    QTest::newRow("deleted") << QStringList{"3", ""} << 3 << QStringList{} << 3 << QStringList{kEmptyWaypoints};
    QTest::newRow("minus then 2") << QStringList{"-", "-2"} << -2 << QStringList{kEmptyLegs} << -2
                                  << QStringList{kEmptyWaypoints};
    QTest::newRow("2 then x") << QStringList{"2", "2x"} << 2 << QStringList{} << 2 << QStringList{kEmptyWaypoints};
}

void TestMultiLeg::countTypedKeyByKey()
{
    QFETCH(QStringList, texts);
    QFETCH(int, setpointCount);
    QFETCH(QStringList, setpointMessages);
    QFETCH(int, waypointCount);
    QFETCH(QStringList, waypointMessages);
    SetpointWizard s;
    WaypointWizard w;
    QStringList sm, wm;
    for (const QString &t : texts) {
        const CountReaction rs = s.countChanged(t);
        const CountReaction rw = w.countChanged(t);
        if (!rs.message.isEmpty())
            sm << rs.message;
        if (!rw.message.isEmpty())
            wm << rw.message;
    }
    QCOMPARE(s.numLegs(), setpointCount);
    QCOMPARE(sm, setpointMessages);
    QCOMPARE(w.numLegs(), waypointCount);
    QCOMPARE(wm, waypointMessages);
}

// ---------------------------------------------------------------------------
// Multiple setpoints

void TestMultiLeg::setpointEmptyBoxes_data()
{
    QTest::addColumn<QStringList>("boxes"); // heading, duration, depth, speed
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("box");
    QTest::newRow("all empty") << QStringList{"", "", "", ""} << "Please enter heading." << "txtHeading";
    QTest::newRow("duration empty") << QStringList{"90", "", "20", "1.5"} << "Please enter duration." << "txtDuration";
    QTest::newRow("depth empty") << QStringList{"90", "600", "", ""} << "Please enter depth." << "txtDepth";
    QTest::newRow("speed empty") << QStringList{"90", "600", "20", ""} << "Please enter speed." << "txtSpeed";
    QTest::newRow("single blanks are filled") << QStringList{" ", " ", " ", " "} << "" << "";
}

void TestMultiLeg::setpointEmptyBoxes()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, message);
    QFETCH(QString, box);
    SetpointWizard s;
    QVERIFY(s.countChanged(QStringLiteral("2")).accepted);
    const NextReaction r = s.next(leg(boxes[0], boxes[1], boxes[2], boxes[3]));
    if (message.isEmpty()) {
        QCOMPARE(r.outcome, NextReaction::Stored);
        QCOMPARE(r.messages, QStringList());
        QCOMPARE(s.currentLeg(), 1);
        const SetpointLeg &l = s.legs()[0];
        QCOMPARE(QList<double>({l.heading, l.duration, l.depth, l.speed}), QList<double>({0, 0, 0, 0}));
    } else {
        QCOMPARE(r.outcome, NextReaction::Stopped);
        QCOMPARE(r.messages, QStringList{message});
        QCOMPARE(r.box, box);
        QCOMPARE(s.currentLeg(), 0);
    }
}

void TestMultiLeg::countOfZeroAndBelow()
{
    SetpointWizard zero;
    QVERIFY(zero.countChanged(QStringLiteral("0")).accepted);
    QCOMPARE(zero.next(leg("90", "600", "20", "1.5")).outcome, NextReaction::Stored);
    QCOMPARE(zero.currentLeg(), 1);
    QVERIFY(captionTexts(zero.captions()).constFirst().endsWith(QLatin1String("for setpoint 2")));
    QCOMPARE(zero.next(leg("90", "600", "20", "1.5")).outcome, NextReaction::Ignored);
    QCOMPARE(zero.currentLeg(), 1);
    QVERIFY(!zero.build().ok()); // no script from a count of 0

    WaypointWizard w;
    QVERIFY(w.countChanged(QStringLiteral("0")).accepted);
    QCOMPARE(w.next(filled()).outcome, NextReaction::Stored);
    QCOMPARE(w.next(filled()).outcome, NextReaction::Ignored);
    QVERIFY(w.countChanged(QStringLiteral("1")).accepted); // a new count opens entry again
    QCOMPARE(w.next(filled()).outcome, NextReaction::Complete);

    SetpointWizard negative;
    QVERIFY(negative.countChanged(QStringLiteral("-2")).accepted);
    const NextReaction r = negative.next(leg("", "", "", ""));
    QCOMPARE(r.outcome, NextReaction::Ignored);
    QCOMPARE(r.messages, QStringList()); // not even the empty-box message
}

void TestMultiLeg::twentyLegsNeverBeyondIndex19_data()
{
    QTest::addColumn<bool>("waypoints");
    QTest::newRow("setpoints") << false;
    QTest::newRow("waypoints") << true;
}

void TestMultiLeg::twentyLegsNeverBeyondIndex19()
{
    QFETCH(bool, waypoints);
    SetpointWizard s;
    WaypointWizard w;
    LegWizard &wizard = waypoints ? static_cast<LegWizard &>(w) : s;
    QVERIFY(wizard.countChanged(QStringLiteral("19.5")).accepted);
    QCOMPARE(wizard.numLegs(), 20);
    auto next = [&](int i) {
        if (waypoints) {
            WaypointEntry e = filled();
            e.depth = QString::number(i);
            return w.next(e);
        }
        return s.next(leg("0", "10", QString::number(i), "1"));
    };
    for (int i = 1; i <= 19; ++i)
        QCOMPARE(next(i).outcome, NextReaction::Stored);
    QCOMPARE(next(20).outcome, NextReaction::Complete);
    QVERIFY(wizard.allStored());
    const double last = waypoints ? w.legs()[19].depth : s.legs()[19].depth;
    QCOMPARE(last, 20.0);
    // A failed save leaves every leg stored; "Next" asks for the file again
    // and stores nothing more.
    for (int round = 0; round < 3; ++round) {
        const NextReaction again = next(99);
        QCOMPARE(again.outcome, NextReaction::SaveAgain);
        QCOMPARE(again.messages, QStringList());
        QCOMPARE(wizard.currentLeg(), 20);
    }
    const TemplateBuild b = wizard.build();
    QVERIFY(b.ok());
    QCOMPARE(b.script.text().count(waypoints ? QStringLiteral("behavior waypoint {") : QStringLiteral("depth        = ")),
             20);
    QVERIFY(b.script.text().contains(QStringLiteral("maxDepth     = 25;"))); // deepest 20, not 99
}

void TestMultiLeg::captionsAfterFirstLeg()
{
    SetpointWizard s;
    s.countChanged(QStringLiteral("3"));
    s.next(leg("90", "600", "20", "1.5"));
    QCOMPARE(captionTexts(s.captions()),
             (QStringList{"lblDepth=Enter depth (m) for setpoint 2", "lblDuration=Enter duration (s) for setpoint 2",
                          "lblHeading=Enter heading (deg T) for setpoint 2", "lblSpeed=Enter speed (m/s) for setpoint 2"}));
    WaypointWizard w;
    w.countChanged(QStringLiteral("12"));
    for (int i = 0; i < 10; ++i)
        w.next(filled());
    QCOMPARE(captionTexts(w.captions()),
             (QStringList{"lblDepth=Enter depth (m) for waypoint 11", "lblDuration=Enter duration (s) for waypoint 11",
                          "lblLat=Enter latitude of waypoint 11", "lblLong=Enter longitude of waypoint 11",
                          "lblSpeed=Enter speed (m/s) for waypoint 11"}));
}

void TestMultiLeg::setpointChainNumbers_data()
{
    QTest::addColumn<QList<QStringList>>("legs"); // heading, duration, depth, speed
    QTest::addColumn<QStringList>("lines");        // label|value lines that must stand in the script
    QTest::newRow("all negative depths")
        << QList<QStringList>{{"0", "60", "-2", "1"}, {"0", "60", "-5", "1"}}
        << QStringList{"maxDepth     = |5", "abortDepth   = |10", "duration  = |-30"};
    QTest::newRow("unrounded timer and ascent")
        << QList<QStringList>{{"0", "601", "12.3", "1"}}
        << QStringList{"timeOut = |921.2", "duration  = |73.8", "depth        = |12.3"};
    QTest::newRow("deepest in the middle, ascent from the last")
        << QList<QStringList>{{"0", "1", "10", "1"}, {"0", "1", "40", "1"}, {"0", "1", "5", "1"}}
        << QStringList{"maxDepth     = |45", "duration  = |30", "timeOut = |203.6"};
    QTest::newRow("lenient boxes")
        << QList<QStringList>{{"north", "1 0", "12.5 m", "1,5"}}
        << QStringList{"heading      = |0", "duration     = |10", "depth        = |12.5", "speed        = |1",
                       "horizontal      = |0"};
}

void TestMultiLeg::setpointChainNumbers()
{
    QFETCH(QList<QStringList>, legs);
    QFETCH(QStringList, lines);
    SetpointWizard s;
    QVERIFY(s.countChanged(QString::number(legs.size())).accepted);
    NextReaction r;
    for (const QStringList &l : legs)
        r = s.next(leg(l[0], l[1], l[2], l[3]));
    QCOMPARE(r.outcome, NextReaction::Complete);
    const TemplateBuild b = s.build();
    QVERIFY2(b.ok(), qPrintable(b.message));
    for (const QString &l : lines)
        QVERIFY2(b.script.text().contains(line(l.section(QLatin1Char('|'), 0, 0), l.section(QLatin1Char('|'), 1))),
                 qPrintable(l));
}

void TestMultiLeg::setpointExample()
{
    SetpointWizard s;
    s.countChanged(QStringLiteral("2"));
    QCOMPARE(s.next(leg("90", "600", "20", "1.5")).outcome, NextReaction::Stored);
    QCOMPARE(s.next(leg("180", "900", "30", "1.5")).outcome, NextReaction::Complete);
    QCOMPARE(s.build().script.bytes(), golden(QStringLiteral("setpoints.cfg")));
    QCOMPARE(buildMultipleSetpoints({{90, 600, 20, 1.5}, {180, 900, 30, 1.5}}).script.bytes(),
             golden(QStringLiteral("setpoints.cfg")));
}

void TestMultiLeg::valueTooLargeRefusedWhenStored()
{
    SetpointWizard s;
    s.countChanged(QStringLiteral("2"));
    QCOMPARE(s.next(leg("0", "1e308", "1", "1")).outcome, NextReaction::Stored);
    // The second duration makes the timer overflow: refused, nothing stored.
    const NextReaction r = s.next(leg("0", "1e308", "1", "1"));
    QCOMPARE(r.outcome, NextReaction::Stopped);
    QCOMPARE(r.box, QStringLiteral("txtDuration"));
    QCOMPARE(r.messages.size(), 1);
    QVERIFY2(r.messages.constFirst().contains(QLatin1String("too large")), qPrintable(r.messages.constFirst()));
    QCOMPARE(s.currentLeg(), 1);
    QCOMPARE(s.next(leg("0", "5", "1", "1")).outcome, NextReaction::Complete);
    QVERIFY(!s.build().script.text().contains(QLatin1String("inf")));

    WaypointWizard w;
    w.countChanged(QStringLiteral("1"));
    WaypointEntry e = filled();
    e.depth = QStringLiteral("1e400");
    QCOMPARE(w.next(e).outcome, NextReaction::Stopped);
    QCOMPARE(w.currentLeg(), 0);
}

// ---------------------------------------------------------------------------
// Multiple waypoints

void TestMultiLeg::waypointChecks_data()
{
    QTest::addColumn<QStringList>("boxes"); // box=text changes to a filled waypoint
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    const double lat = 36 + 45.1234 / 60;
    const double lon = 121 + 50.1234 / 60;
    QTest::newRow("north west") << QStringList{} << QStringList{} << true << lat << -lon;
    QTest::newRow("S and E") << QStringList{"ns=S", "ew=E"} << QStringList{kSouth, kEast} << true << -lat << lon;
    QTest::newRow("lower-case s and w") << QStringList{"ns=s", "ew=w"} << QStringList{} << true << lat << lon;
    QTest::newRow("S with a blank") << QStringList{"ns=S "} << QStringList{} << true << lat << -lon;
    QTest::newRow("untouched first waypoint") << QStringList{"duration=", "depth=", "speed="}
                                              << QStringList{"Please enter duration."} << false << 0.0 << 0.0;
    QTest::newRow("latitude degrees empty, notices not reached")
        << QStringList{"latInt=", "ns=S"} << QStringList{"Please enter latitude component."} << false << 0.0 << 0.0;
    QTest::newRow("latitude minutes empty") << QStringList{"latMin="} << QStringList{"Please enter latitude component."}
                                            << false << 0.0 << 0.0;
    QTest::newRow("longitude degrees empty") << QStringList{"lonInt=", "ew=E"}
                                             << QStringList{"Please enter longitude component."} << false << 0.0 << 0.0;
    QTest::newRow("notices before empty longitude minutes")
        << QStringList{"lonMin=", "ns=S", "ew=E"} << QStringList{kSouth, kEast, "Please enter longitude component."}
        << false << 0.0 << 0.0;
    QTest::newRow("notice before empty speed") << QStringList{"speed=", "ew=E"}
                                               << QStringList{kEast, "Please enter speed."} << false << 0.0 << 0.0;
    QTest::newRow("depth empty") << QStringList{"depth="} << QStringList{"Please enter depth."} << false << 0.0 << 0.0;
    QTest::newRow("lenient degrees") << QStringList{"latInt=1 0x", "latMin=30", "lonInt=-5", "lonMin=abc"}
                                     << QStringList{} << true << 10.5 << 5.0;
}

void TestMultiLeg::waypointChecks()
{
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, messages);
    QFETCH(bool, stored);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    WaypointEntry e = filled();
    for (const QString &b : boxes) {
        const QString name = b.section(QLatin1Char('='), 0, 0);
        const QString text = b.section(QLatin1Char('='), 1);
        QString *target = name == QLatin1String("ns")       ? &e.ns
                        : name == QLatin1String("ew")       ? &e.ew
                        : name == QLatin1String("latInt")   ? &e.latitudeInt
                        : name == QLatin1String("latMin")   ? &e.latitudeMinutes
                        : name == QLatin1String("lonInt")   ? &e.longitudeInt
                        : name == QLatin1String("lonMin")   ? &e.longitudeMinutes
                        : name == QLatin1String("duration") ? &e.duration
                        : name == QLatin1String("depth")    ? &e.depth
                                                            : &e.speed;
        *target = text;
    }
    WaypointWizard w;
    w.countChanged(QStringLiteral("2"));
    const NextReaction r = w.next(e);
    QCOMPARE(r.messages, messages);
    QCOMPARE(r.outcome, stored ? NextReaction::Stored : NextReaction::Stopped);
    QCOMPARE(w.currentLeg(), stored ? 1 : 0);
    if (stored) {
        QCOMPARE(w.legs()[0].latitude, latitude);
        QCOMPARE(w.legs()[0].longitude, longitude);
    }
}

void TestMultiLeg::waypointCountChangedMidEntry()
{
    WaypointWizard w;
    w.countChanged(QStringLiteral("4"));
    w.next(filled());
    w.next(filled());
    QCOMPARE(w.currentLeg(), 2);
    QVERIFY(w.countChanged(QStringLiteral("3")).accepted);
    QCOMPARE(w.currentLeg(), 0);
    QCOMPARE(w.numLegs(), 3);
    WaypointEntry e = filled();
    e.depth = QStringLiteral("7");
    QCOMPARE(w.next(e).outcome, NextReaction::Stored);
    QCOMPARE(w.legs()[0].depth, 7.0); // overwritten
    QVERIFY(captionTexts(w.captions()).contains(QStringLiteral("lblLat=Enter latitude of waypoint 2")));
}

void TestMultiLeg::waypointExample()
{
    WaypointWizard w;
    w.countChanged(QStringLiteral("2"));
    QCOMPARE(w.next(filled()).outcome, NextReaction::Stored);
    WaypointEntry second;
    second.latitudeMinutes = QStringLiteral("50");
    second.longitudeMinutes = QStringLiteral("55");
    second.duration = QStringLiteral("900");
    second.depth = QStringLiteral("30");
    second.speed = QStringLiteral("1.5");
    QCOMPARE(w.next(second).outcome, NextReaction::Complete);
    QCOMPARE(w.build().script.bytes(), golden(QStringLiteral("waypoints.cfg")));
}

// ---------------------------------------------------------------------------
// Transect

void TestMultiLeg::transectChecks_data()
{
    QTest::addColumn<QStringList>("boxes"); // heading, duration, min depth, max depth, min altitude, cycles, speed
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << QStringList{"", "", "", "", "", "", ""} << "txtHeading" << "Please enter heading.";
    QTest::newRow("duration") << QStringList{"45", "", "", "", "", "4", ""} << "txtDuration" << "Please enter duration.";
    QTest::newRow("min depth") << QStringList{"45", "600", "", "50", "10", "4", "1.5"} << "txtMinDepth"
                               << "Please enter minimum depth.";
    QTest::newRow("max depth") << QStringList{"45", "600", "5", "", "", "4", ""} << "txtMaxDepth"
                               << "Please enter maximum depth.";
    QTest::newRow("min altitude") << QStringList{"45", "600", "5", "50", "", "", ""} << "txtMinAltitude"
                                  << "Please enter minimum altitude.";
    QTest::newRow("speed, cycles not asked for") << QStringList{"45", "600", "5", "50", "10", "", ""} << "txtSpeed"
                                                 << "Please enter speed.";
    QTest::newRow("empty speed before bad duration") << QStringList{"45", "ten", "5", "50", "10", "4", ""}
                                                     << "txtSpeed" << "Please enter speed.";
    QTest::newRow("duration not a number")
        << QStringList{"45", "600s", "5", "50", "10", "4", "1.5"} << "txtDuration"
        << "The duration \"600s\" is not a number. Please enter the duration in seconds.";
    QTest::newRow("max depth not a number")
        << QStringList{"45", "600", "5", "deep", "10", "4", "1.5"} << "txtMaxDepth"
        << "The maximum depth \"deep\" is not a number. Please enter the maximum depth in meters.";
    QTest::newRow("timer beyond 16 bits")
        << QStringList{"45", "27107", "5", "50", "10", "4", "1.5"} << "txtDuration"
        << "The duration \"27107\" gives a mission timer of 32768 seconds, outside the range -32768 to 32767 "
           "that the mission file allows. Please correct the duration.";
    QTest::newRow("ascent beyond 16 bits")
        << QStringList{"45", "600", "5", "5462", "10", "4", "1.5"} << "txtMaxDepth"
        << "The maximum depth \"5462\" gives an ascent time of 32772 seconds, outside the range -32768 to 32767 "
           "that the mission file allows. Please correct the maximum depth.";
    QTest::newRow("altitude beyond 16 bits")
        << QStringList{"45", "600", "5", "50", "40000", "4", "1.5"} << "txtMinAltitude"
        << "The minimum altitude \"40000\" is too large for the mission file: less 5 m it must lie within -32768 "
           "to 32767 meters. Please correct the minimum altitude.";
    QTest::newRow("cycles with a line break")
        << QStringList{"45", "600", "5", "50", "10", "4\nx", "1.5"} << "txtMaxCycles"
        << "The maximum number of cycles holds a line break, which would split its line in the mission file. "
           "Please enter it on one line.";
}

void TestMultiLeg::transectChecks()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, box);
    QFETCH(QString, message);
    const TemplateBuild b = buildTransect({boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5], boxes[6]});
    QCOMPARE(b.message, message);
    QCOMPARE(b.box, box);
    QCOMPARE(b.script.bytes(), QByteArray());
}

void TestMultiLeg::transectLines_data()
{
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("lines"); // label|value lines that must stand in the script
    const QStringList base{"45", "600", "5", "50", "10", "4", "1.5"};
    QStringList b = base;
    b[4] = "3";
    QTest::newRow("altitude 3") << b
                                << QStringList{" minAltitude  = |-2", " abortAltitude  = |-7", "minAltitude    = |3"};
    b = base;
    b[4] = "12abc";
    QTest::newRow("altitude 12abc")
        << b << QStringList{" minAltitude  = |7", " abortAltitude  = |2", "minAltitude    = |12abc"};
    b = base;
    b[5] = "";
    QTest::newRow("empty cycle box") << b << QStringList{"maxCycles      = |"};
    b = base;
    b[0] = "045";
    QTest::newRow("heading as typed")
        << b << QStringList{"heading      = |045", "horizontal      = |045", "horizontal       = |10"};
    b = base;
    b[1] = " 601 ";
    b[3] = "50.5";
    QTest::newRow("texts as typed, numbers rounded")
        << b << QStringList{"timeOut = |961", "duration       = | 601 ", "duration  = |303", "maxDepth     = |55.5",
                            "maxDepth       = |50.5"};
    QTest::newRow("getgps waits 120 then 60") << base << QStringList{"duration = |120", "duration = |60"};
}

void TestMultiLeg::transectLines()
{
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, lines);
    const TemplateBuild b = buildTransect({boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5], boxes[6]});
    QVERIFY2(b.ok(), qPrintable(b.message));
    for (const QString &l : lines)
        QVERIFY2(b.script.text().contains(line(l.section(QLatin1Char('|'), 0, 0), l.section(QLatin1Char('|'), 1))),
                 qPrintable(l));
}

void TestMultiLeg::transectExample()
{
    const TemplateBuild b = buildTransect({"45", "600", "5", "50", "10", "4", "1.5"});
    QVERIFY(b.ok());
    QCOMPARE(b.script.bytes(), golden(QStringLiteral("transect.cfg")));
}

QTEST_APPLESS_MAIN(TestMultiLeg)
#include "tst_multileg.moc"
