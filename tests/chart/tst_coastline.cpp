// The shore of known places, read from the installed GSHHG data through GMT.
#include "Coastline.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace bravik::chart;

Q_DECLARE_METATYPE(bravik::chart::Resolution)

namespace {

Coastline &installed()
{
    return Coastline::forFolder(QString());
}

GeoBox around(const GeoPoint &p, double metres)
{
    return GeoBox{p.lat, p.lat, p.lon, p.lon}.grown(metres);
}

} // namespace

class TestCoastline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(installed().available(), qPrintable(installed().unavailableText()));
        QCOMPARE(installed().highest(), std::optional<Resolution>(Resolution::Full));
    }

    // GMT's own answer, and the same answer worked out from the shore of
    // the area around the point.
    void landOrWater_data()
    {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<Resolution>("resolution");
        QTest::addColumn<bool>("land");
        QTest::newRow("middle of a continent (Kansas), full") << 39.0 << -100.0 << Resolution::Full << true;
        QTest::newRow("open ocean (North Pacific), full") << 30.0 << -140.0 << Resolution::Full << false;
        QTest::newRow("Salinas valley, full") << 36.6667 << -121.6667 << Resolution::Full << true;
        QTest::newRow("Monterey Bay, full") << 36.8 << -121.9 << Resolution::Full << false;
        // Tomales Bay is about 1 km wide: water at the full and high
        // resolutions, land at the low one.
        QTest::newRow("narrow bay (Tomales Bay), full") << 38.087 << -122.979 << Resolution::Full << false;
        QTest::newRow("narrow bay (Tomales Bay), high") << 38.087 << -122.979 << Resolution::High << false;
        QTest::newRow("narrow bay (Tomales Bay), low") << 38.087 << -122.979 << Resolution::Low << true;
        QTest::newRow("southern hemisphere, Port Phillip, full") << -38.1 << 144.9 << Resolution::Full << false;
        QTest::newRow("southern hemisphere, Mornington Peninsula, full") << -38.35 << 144.95 << Resolution::Full << true;
        QTest::newRow("antimeridian, Taveuni east of 180, full") << -16.85 << -179.97 << Resolution::Full << true;
        QTest::newRow("antimeridian, strait west of 180, full") << -16.85 << 179.97 << Resolution::Full << false;
    }
    void landOrWater()
    {
        QFETCH(double, lat);
        QFETCH(double, lon);
        QFETCH(Resolution, resolution);
        QFETCH(bool, land);
        QString error;
        const std::optional<QList<bool>> gmt = installed().onLand({GeoPoint{lat, lon}}, resolution, &error);
        QVERIFY2(gmt, qPrintable(error));
        QCOMPARE(gmt->first(), land);
        const std::shared_ptr<const ShoreArea> area = installed().area(around({lat, lon}, 8000.0), resolution, &error);
        QVERIFY2(area, qPrintable(error));
        QCOMPARE(area->onLand({lat, lon}), land);
    }

    void narrowBayIsNarrow()
    {
        const GeoPoint bay{38.087, -122.979};
        const std::shared_ptr<const ShoreArea> area = installed().area(around(bay, 5000.0), Resolution::Full);
        QVERIFY(area);
        const double d = area->distanceToShore(bay);
        QVERIFY2(d > 150.0 && d < 600.0, qPrintable(QString::number(d)));
        // Inland and far out there is no shore in a small area at all.
        QVERIFY(std::isinf(installed().area(around({39.0, -100.0}, 5000.0), Resolution::Full)->distanceToShore({39.0, -100.0})));
    }

    void legAcrossAPeninsula()
    {
        // Monterey Bay to Carmel Bay, straight over the Monterey peninsula.
        const GeoPoint a{36.65, -121.90}, b{36.54, -121.95};
        const std::shared_ptr<const ShoreArea> area = installed().area(GeoBox{36.45, 36.75, -122.05, -121.80}, Resolution::Full);
        QVERIFY(area);
        const QList<double> at = area->crossings(a, b);
        QCOMPARE(at.size() % 2, 0);   // water at both ends
        QVERIFY(!at.isEmpty());
        // It first touches land on the bay shore near Pacific Grove.
        QVERIFY2(at.first() > 0.15 && at.first() < 0.3, qPrintable(QString::number(at.first())));
        QCOMPARE(area->closestApproach(a, b), 0.0);
    }

    void legAlongACoastKeepsOff()
    {
        // Off Big Sur, parallel to the coast about 3 km out.
        const GeoPoint a{36.30, -121.95}, b{36.20, -121.87};
        const std::shared_ptr<const ShoreArea> area = installed().area(GeoBox{36.10, 36.40, -122.05, -121.75}, Resolution::Full);
        QVERIFY(area);
        QVERIFY(!area->onLand(a) && !area->onLand(b));
        QVERIFY(area->crossings(a, b).isEmpty());
        const double closest = area->closestApproach(a, b);
        QVERIFY2(closest > 1000.0 && closest < 6000.0, qPrintable(QString::number(closest)));
    }

    void antimeridianLegCrossesTheIsland()
    {
        // From the strait west of 180 east over Taveuni to the open sea.
        const GeoPoint a{-16.85, 179.97}, b{-16.85, -179.80};
        const GeoBox box = GeoBox{-16.85, -16.85, 179.97, 180.20}.grown(5000.0);
        const std::shared_ptr<const ShoreArea> area = installed().area(box, Resolution::Full);
        QVERIFY(area);
        QVERIFY(area->box().east > 180.0);
        QVERIFY(!area->crossings(a, b).isEmpty());
        QVERIFY(area->onLand({-16.85, -179.97}));
    }

    void landAlongAParallelMatchesGmt()
    {
        // Across Monterey Bay's southern shore: the painted stretches agree
        // with GMT point by point.
        const GeoBox box{36.55, 36.70, -122.00, -121.75};
        const std::shared_ptr<const ShoreArea> area = installed().area(box, Resolution::Full);
        QVERIFY(area);
        QList<GeoPoint> points;
        for (int i = 0; i < 40; ++i)
            points << GeoPoint{36.61, -121.99 + i * 0.006};
        const std::optional<QList<bool>> gmt = installed().onLand(points, Resolution::Full);
        QVERIFY(gmt);
        const auto land = area->landAlong(36.61, box.west, box.east);
        int agree = 0;
        for (int i = 0; i < points.size(); ++i) {
            bool painted = false;
            for (const auto &[from, to] : land)
                painted = painted || (from <= points[i].lon && points[i].lon <= to);
            agree += painted == gmt->at(i);
        }
        QCOMPARE(agree, int(points.size()));
        QVERIFY(gmt->contains(true) && gmt->contains(false));
    }

    void areasAreKept()
    {
        Coastline reader;
        const GeoBox box{36.5, 36.7, -122.0, -121.8};
        QVERIFY(reader.area(box, Resolution::High));
        QCOMPARE(reader.reads(), 1);
        QVERIFY(reader.area(GeoBox{36.55, 36.65, -121.95, -121.85}, Resolution::High));
        QCOMPARE(reader.reads(), 1);
        QVERIFY(reader.area(box, Resolution::Full));
        QCOMPARE(reader.reads(), 2);
    }

    void missingDataIsALineNotAFailure()
    {
        QTemporaryDir empty;
        Coastline reader(empty.path());
        QVERIFY(!reader.available());
        QCOMPARE(reader.unavailableText(), QStringLiteral("No coastline data installed: apt install gmt-gshhg-high"));
        QVERIFY(!reader.highest());
        QString error;
        QVERIFY(!reader.area(GeoBox{36.5, 36.7, -122.0, -121.8}, Resolution::Full, &error));
        QCOMPARE(error, Coastline::missingDataText());
        QVERIFY(!reader.onLand({GeoPoint{36.6, -121.9}}, Resolution::Low, &error));
    }

    void resolutionByArea()
    {
        QCOMPARE(installed().resolutionFor(0.3), std::optional<Resolution>(Resolution::Full));
        QCOMPARE(installed().resolutionFor(12.0), std::optional<Resolution>(Resolution::High));
        QCOMPARE(installed().resolutionFor(300.0), std::optional<Resolution>(Resolution::Crude));
        // A folder holding only the low resolution offers nothing finer.
        QTemporaryDir only;
        QVERIFY(QFile::copy(installed().folderOf(Resolution::Low) + QStringLiteral("/binned_GSHHS_l.nc"),
                            only.filePath(QStringLiteral("binned_GSHHS_l.nc"))));
        Coastline low(only.path());
        QCOMPARE(low.installed(), QList<Resolution>{Resolution::Low});
        QCOMPARE(low.resolutionFor(0.3), std::optional<Resolution>(Resolution::Low));
        QVERIFY(low.area(GeoBox{36.5, 36.7, -122.0, -121.8}, Resolution::Low));
    }

    void positionsWrittenForTheCrew()
    {
        QCOMPARE(positionText({36.6667, -121.6667}), QStringLiteral("36°40.002' N, 121°40.002' W"));
        QCOMPARE(positionText({-16.85, 180.2}), QStringLiteral("16°51.000' S, 179°48.000' W"));
        QCOMPARE(latitudeText(10.99999999), QStringLiteral("11°00.000' N"));
    }
};

QTEST_GUILESS_MAIN(TestCoastline)
#include "tst_coastline.moc"
