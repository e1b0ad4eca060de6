// The checks against the shore (GSHHG read through GMT), the water depth
// and the depth envelope, with known places.  Every case runs at the full
// resolution, the finest that gmt-common installs.
#include "Coastline.h"
#include "MissionCheck.h"
#include "MissionTestSupport.h"
#include "MultiLegTemplates.h"

#include <QtTest>

using namespace bravik::mission;
using bravik::chart::Coastline;

Q_DECLARE_METATYPE(bravik::mission::GeoPosition)

namespace {

using Places = QList<GeoPosition>;

QByteArray waypointMission(const Places &waypoints)
{
    QList<WaypointLeg> legs;
    for (const GeoPosition &p : waypoints)
        legs << WaypointLeg{p.latitude, p.longitude, 900.0, 20.0, 1.5};
    return buildMultipleWaypoints(legs).script.bytes();
}

QByteArray transect(const QString &maxDepth, const QString &minAltitude)
{
    return buildTransect({QStringLiteral("45"), QStringLiteral("600"), QStringLiteral("5"), maxDepth, minAltitude,
                          QStringLiteral("4"), QStringLiteral("1.5")})
        .script.bytes();
}

CheckContext withShore(std::optional<double> waterDepth = std::nullopt)
{
    CheckContext c;
    c.coastline = &Coastline::forFolder(QString());
    c.waterDepth = waterDepth;
    return c;
}

QStringList texts(const MissionCheck &c, bool errorsOnly)
{
    QStringList out;
    for (const Finding &f : c.findings)
        if (!errorsOnly || f.isError())
            out << QStringLiteral("%1%2: %3").arg(f.line).arg(f.limit ? QStringLiteral(" (limit)") : QString(), f.text);
    return out;
}

} // namespace

class TestMissionShore : public QObject
{
    Q_OBJECT

private slots:
    void knownPlaces_data()
    {
        QTest::addColumn<GeoPosition>("start");
        QTest::addColumn<Places>("waypoints");
        // The start of each land error, in order: a waypoint on land, then
        // where the leg to it first touches land (the leg from it, leaving
        // land, is not a second finding).
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("a waypoint in the Salinas valley")
            << GeoPosition{36.80, -121.90} << Places{{36.75, -121.88}, {36.6667, -121.6667}, {36.80, -121.92}}
            << QStringList{QStringLiteral("Waypoint 2 (36°40.002' N, 121°40.002' W) is on land at the GSHHG full resolution"),
                           QStringLiteral("The leg to Waypoint 2 crosses land: it first touches land at 36°")};
        QTest::newRow("open ocean") << GeoPosition{30.0, -140.0} << Places{{30.02, -140.01}, {30.03, -139.98}} << QStringList();
        QTest::newRow("narrow bay (Tomales Bay), water at full resolution")
            << GeoPosition{38.0910, -122.9779} << Places{{38.087, -122.979}} << QStringList();
        QTest::newRow("a leg across the Monterey peninsula")
            << GeoPosition{36.65, -121.90} << Places{{36.54, -121.95}}
            << QStringList{QStringLiteral("The leg to Waypoint 1 crosses land: it first touches land at 36°37.")};
        QTest::newRow("a leg along the Big Sur coast") << GeoPosition{36.30, -121.95} << Places{{36.20, -121.87}} << QStringList();
        QTest::newRow("across the antimeridian over Taveuni")
            << GeoPosition{-16.85, 179.97} << Places{{-16.85, -179.80}}
            << QStringList{QStringLiteral("The leg to Waypoint 1 crosses land: it first touches land at 16°51.000' S, 179°")};
        QTest::newRow("southern hemisphere, a waypoint on the Mornington Peninsula")
            << GeoPosition{-38.10, 144.90} << Places{{-38.15, 144.85}, {-38.35, 144.95}}
            << QStringList{QStringLiteral("Waypoint 2 (38°21.000' S, 144°57.000' E) is on land"),
                           QStringLiteral("The leg to Waypoint 2 crosses land")};
    }
    void knownPlaces()
    {
        QFETCH(GeoPosition, start);
        QFETCH(Places, waypoints);
        QFETCH(QStringList, errors);
        const MissionCheck c = checkMissionBytes(waypointMission(waypoints), {}, start, withShore());
        QVERIFY2(c.shore.checked, qPrintable(c.shore.reason));
        QCOMPARE(c.shore.resolution, QStringLiteral("GSHHG full resolution"));
        QVERIFY(c.summary().contains(QStringLiteral("; shore (GSHHG full resolution): start ")));
        for (int i = 1; i <= waypoints.size(); ++i)
            QVERIFY2(c.summary().contains(QStringLiteral("Waypoint %1 ").arg(i)), qPrintable(c.summary()));
        const QStringList found = texts(c, true);
        QCOMPARE(found.size(), errors.size());
        for (int i = 0; i < errors.size(); ++i)
            QVERIFY2(found[i].section(QStringLiteral(": "), 1).startsWith(errors[i]), qPrintable(found.join(QLatin1Char('\n'))));
        // Land alone does not refuse the run.
        QVERIFY(c.limitFindings().isEmpty());
    }

    void minShoreDistanceMakesShoreFindingsLimits()
    {
        VehicleLimits limits;
        limits.minShoreDistance = 7000.0;
        // Along Big Sur: within 7 km of the shore all the way.
        const MissionCheck along = checkMissionBytes(waypointMission({{36.20, -121.87}}), limits, GeoPosition{36.30, -121.95}, withShore());
        const QStringList all = texts(along, true);
        QVERIFY2(all.filter(QStringLiteral("(limit): Waypoint 1 is ")).size() == 1, qPrintable(all.join(QLatin1Char('\n'))));
        QVERIFY(!all.filter(QStringLiteral("(limit): The leg to Waypoint 1 passes ")).isEmpty());
        QVERIFY(all.first().contains(QStringLiteral("closer than the vehicle's minimum shore distance of 7.0 km")));
        // Land refuses the run once the limit is set.
        const MissionCheck land = checkMissionBytes(waypointMission({{36.6667, -121.6667}}), limits, GeoPosition{36.80, -121.90}, withShore());
        QVERIFY(!texts(land, true).filter(QStringLiteral("(limit): Waypoint 1 (36°40.002' N")).isEmpty());
    }

    void withoutDataTheShoreIsNotChecked()
    {
        QTemporaryDir empty;
        CheckContext c;
        c.coastline = &Coastline::forFolder(empty.path());
        const MissionCheck m = checkMissionBytes(waypointMission({{36.6667, -121.6667}}), {}, GeoPosition{36.80, -121.90}, c);
        QVERIFY(!m.shore.checked);
        QVERIFY(m.summary().endsWith(QStringLiteral("; shore not checked: No coastline data installed: apt install gmt-gshhg-high")));
        QVERIFY(!m.hasErrors());
        QCOMPARE(texts(m, false).filter(QStringLiteral("0: The shore was not checked: No coastline data installed")).size(), 1);
    }

    void shoals_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<double>("water");
        QTest::addColumn<QString>("error"); // empty: none
        QTest::newRow("waypoint at 20 m in 25 m of water, envelope altitude 10")
            << waypointMission({{36.80, -121.95}}) << 25.0
            << QStringLiteral("Waypoint 1's depth of 20 m is deeper than the water depth of 25 m less the minimum altitude of 10 m (15 m)");
        QTest::newRow("waypoint at 20 m in 40 m of water") << waypointMission({{36.80, -121.95}}) << 40.0 << QString();
        QTest::newRow("transect to 50 m in 55 m of water, yoyo altitude 10")
            << transect(QStringLiteral("50"), QStringLiteral("10")) << 55.0
            << QStringLiteral("Leg 1's yoyo maxDepth of 50 m is deeper than the water depth of 55 m less the minimum altitude of 10 m (45 m)");
        QTest::newRow("transect to 40 m in 55 m of water") << transect(QStringLiteral("40"), QStringLiteral("10")) << 55.0 << QString();
    }
    void shoals()
    {
        QFETCH(QByteArray, script);
        QFETCH(double, water);
        QFETCH(QString, error);
        CheckContext c;
        c.waterDepth = water;
        const QStringList errors = texts(checkMissionBytes(script, {}, std::nullopt, c), true);
        QCOMPARE(errors.filter(QStringLiteral("water depth")).size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(errors.filter(QStringLiteral("water depth")).first().contains(error), qPrintable(errors.join(QLatin1Char('\n'))));
    }

    void negativeAbortAltitudeIsNamed()
    {
        // Minimum altitude 8 m: the envelope gets 3 and -2.
        const MissionCheck c = checkMissionBytes(transect(QStringLiteral("50"), QStringLiteral("8")), {});
        const QStringList all = texts(c, false);
        QCOMPARE(all.filter(QStringLiteral("abortAltitude of -2 m can never trigger")).size(), 1);
        QVERIFY(all.filter(QStringLiteral("abortAltitude")).first().startsWith(QStringLiteral("12: ")));
        QCOMPARE(texts(checkMissionBytes(transect(QStringLiteral("50"), QStringLiteral("10")), {}), false).filter(QStringLiteral("abortAltitude")).size(), 0);
    }

    void oneNamePerBlock()
    {
        // Waypoints are named as the template window numbers them, setpoint
        // legs as legs, in every finding.
        VehicleLimits limits;
        limits.maxDepth = 15.0;
        limits.maxWaypointDistance = 3000.0;
        const MissionCheck w = checkMissionBytes(waypointMission({{36.80, -121.95}, {36.85, -121.95}}), limits, GeoPosition{36.80, -121.95});
        const QStringList all = texts(w, true);
        QVERIFY(!all.filter(QStringLiteral("Waypoint 2's depth of 20 m")).isEmpty());
        QVERIFY(!all.filter(QStringLiteral("Waypoint 2 is 5.6 km from the point before it")).isEmpty());
        QVERIFY(all.filter(QStringLiteral("Leg ")).isEmpty());
        QCOMPARE(w.legs[1].name, QStringLiteral("Waypoint 2"));
    }

    void trackLengthTheSameWithAndWithoutTheStart()
    {
        const QByteArray s = waypointMission({{36.80, -121.95}, {36.85, -121.95}});
        const MissionCheck without = checkMissionBytes(s, {});
        const MissionCheck with = checkMissionBytes(s, {}, GeoPosition{36.78, -121.95});
        QCOMPARE(with.trackLength, without.trackLength);
        const QString plain = without.summary().section(QStringLiteral("track "), 1);
        QVERIFY(with.summary().contains(QStringLiteral("track ") + plain + QStringLiteral(" (")));
        QVERIFY(with.summary().contains(QStringLiteral(" from the start position)")));
    }

    void yoyoAscentStartsWhereTheYoyoEnds()
    {
        // 600 s at 4 s a metre between 5 and 50 m: down (180 s), up (180 s),
        // down (180 s) and 60 s up again, ending at 35 m; with 1 cycle
        // allowed it stays at the shallow turn.
        for (const auto &[cycles, end] : {std::pair{QStringLiteral("4"), 35.0}, std::pair{QStringLiteral("1"), 5.0}}) {
            const QByteArray s = buildTransect({QStringLiteral("45"), QStringLiteral("600"), QStringLiteral("5"), QStringLiteral("50"),
                                                QStringLiteral("10"), cycles, QStringLiteral("1.5")})
                                     .script.bytes();
            const MissionCheck c = checkMissionBytes(s, {});
            qsizetype band = -1;
            for (qsizetype i = 0; i < c.profile.size(); ++i)
                if (c.profile[i].band)
                    band = i;
            QVERIFY(band >= 0 && band + 1 < c.profile.size());
            QCOMPARE(c.profile[band].toDepth, end);
            QCOMPARE(c.profile[band].turns.last().second, end);
            QCOMPARE(c.profile[band + 1].fromDepth, end); // the ascent
        }
    }

    void chartOfAWaypointMission()
    {
        const MissionCheck c = checkMissionBytes(waypointMission({{36.80, -121.95}, {36.85, -121.95}}), {}, GeoPosition{36.78, -121.95});
        const bravik::chart::ChartData d = chartData(c);
        QVERIFY(d.geographic);
        QStringList labels;
        int surfacings = 0;
        for (const bravik::chart::ChartMark &m : d.marks) {
            labels << m.label;
            surfacings += m.kind == bravik::chart::ChartMark::Kind::Surfacing;
        }
        QVERIFY(labels.contains(QStringLiteral("1")) && labels.contains(QStringLiteral("2")) && labels.contains(QStringLiteral("start")));
        QCOMPARE(surfacings, 2); // after each waypoint
        // The launch run is dead-reckoned, the legs to the waypoints planned.
        QCOMPARE(d.tracks.first().style, bravik::chart::ChartTrack::Style::DeadReckoned);
        QCOMPARE(d.tracks.last().style, bravik::chart::ChartTrack::Style::Planned);
        QVERIFY(std::abs(d.tracks.last().points.last().lat - 36.85) < 1e-6);
        // Without any position the track is drawn without a chart.
        QVERIFY(!chartData(checkMissionBytes(golden(QStringLiteral("setpoints.cfg")), {})).geographic);
    }
};

QTEST_GUILESS_MAIN(TestMissionShore)
#include "tst_missionshore.moc"
