// The chart of a day without windows: which entries and launches give a
// point, which launches give a track and where it starts, and the day's
// ends.  "Table|UTC time|position|notes[|void]"; a launch:
// "Launch|UTC time|position|stock script" (- for none).
#include "ClockText.h"
#include "DayChart.h"

#include <QFile>
#include <QTest>
#include <QTimeZone>

using namespace bravik;
using namespace bravik::ops;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

Timeline timelineOf(const QStringList &rows)
{
    QList<logbook::operations::StoredEntry> entries;
    QList<logbook::launchlog::Record> launches;
    for (const QString &row : rows) {
        const QStringList p = row.split(QLatin1Char('|'));
        const auto given = [&p](int i) { return p.at(i) == QLatin1String("-") ? QString() : p.at(i); };
        const qint64 key = entries.size() + launches.size() + 1;
        if (p.at(0) == QLatin1String("Launch")) {
            QFile script(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/") + p.at(3));
            script.open(QIODevice::ReadOnly);
            launches << logbook::launchlog::Record{key, {{QStringLiteral("StartedAtUtc"), p.at(1) + QLatin1Char('Z')},
                                                         {QStringLiteral("MissionKey"), 7},
                                                         {QStringLiteral("Position"), given(2)},
                                                         {QStringLiteral("ReviewedText"), QString::fromUtf8(script.readAll())}}};
            continue;
        }
        QDateTime at = QDateTime::fromString(p.at(1), Qt::ISODate);
        at.setTimeZone(QTimeZone::utc());
        const QStringList six = given(2).remove(QLatin1Char(',')).split(QLatin1Char(' '));
        QVariantMap fields{{QStringLiteral("Date/Time"), clockText(at, kUs)}, {notesField(p.at(0)), p.at(3)}};
        const char *boxes[] = {"Latitude Int", "Latitude Minutes", "HemisphereNS", "Longitude Int", "Longitude Minutes", "HemisphereEW"};
        for (int i = 0; i < 6 && six.size() == 6; ++i)
            fields.insert(QLatin1String(boxes[i]), six.at(i));
        logbook::operations::StoredEntry e{p.at(0), key, {}, p.value(4) == QLatin1String("void"), {}};
        for (const QString &c : logbook::operations::entryColumns(e.table))
            e.values << fields.value(c).toString();
        entries << e;
    }
    return buildTimeline(entries, launches, TimeSpan::day(QDate(2026, 12, 8)),
                         {kUs, clockDateFormat(kUs), clockTimeFormat(kUs)});
}

} // namespace

class TestDayChart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pointsAndTracks_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("points");   // "label kind"
        QTest::addColumn<int>("withoutPosition");
        QTest::addColumn<int>("tracks");           // launches drawn
        QTest::addColumn<int>("withoutTrack");

        const QString bay = QStringLiteral("36 48.5 N, 121 54.0 W");
        QTest::newRow("entries with and without a position, a void one, a launch")
            << QStringList{"WeatherObservation|2026-12-08T08:00:00|" + bay + "|calm",
                           "MissionData|2026-12-08T08:40:00|36 47.0 N, 121 52.5 W|survey",
                           "Miscellaneous|2026-12-08T10:00:00|-|crane down",
                           "WeatherObservation|2026-12-08T11:00:00|-|no fix yet",
                           "WeatherObservation|2026-12-08T12:00:00|" + bay + "|wrong day|void",
                           "Launch|2026-12-08T09:00:00|36 47.0 N, 121 52.5 W|waypoints.cfg"}
            << QStringList{"08:00 Weather Observation", "08:40 Run Mission", "09:00 Launch"} << 2 << 1 << 0;
        QTest::newRow("the day's ends")
            << QStringList{"WeatherObservation|2026-12-07T23:59:59|" + bay + "|the day before",
                           "WeatherObservation|2026-12-08T00:00:00|" + bay + "|first second",
                           "WeatherObservation|2026-12-08T23:59:59|" + bay + "|last second",
                           "WeatherObservation|2026-12-09T00:00:00|" + bay + "|the day after",
                           "Launch|2026-12-09T00:00:00|" + bay + "|waypoints.cfg"}
            << QStringList{"00:00 Weather Observation", "23:59 Weather Observation"} << 0 << 0 << 0;
        QTest::newRow("launches with nothing to draw: no place, no reviewed script")
            << QStringList{"Launch|2026-12-08T09:00:00|-|transit.cfg", "Launch|2026-12-08T13:00:00|" + bay + "|-"}
            << QStringList{"13:00 Launch"} << 0 << 0 << 2;
    }
    void pointsAndTracks()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, points);
        QFETCH(int, tracks);
        const DayChart day = buildDayChart(timelineOf(rows), {});
        QStringList got;
        for (const DayPoint &p : day.points)
            got << p.label() + QLatin1Char(' ') + p.kind;
        QCOMPARE(got, points);
        QTEST(day.withoutPosition, "withoutPosition");
        QCOMPARE(day.launchTracks, tracks);
        QTEST(day.launchesWithoutTrack, "withoutTrack");
        // Each point's mark carries its index and place; the tracks' own
        // marks cannot be picked.
        for (int i = 0; i < day.data.marks.size(); ++i) {
            const chart::ChartMark &m = day.data.marks.at(i);
            QCOMPARE(m.id, i < day.points.size() ? i : -1);
            if (i < day.points.size())
                QVERIFY(m.position.lat == day.points.at(i).position.latitude
                        && m.position.lon == day.points.at(i).position.longitude);
        }
        // A launch's track starts where the launch was made; it opens its mission log entry.
        if (tracks > 0) {
            const DayPoint &launch = day.points.last();
            QCOMPARE(launch.missionKey, 7);
            QVERIFY(chart::distanceMetres(day.data.tracks.first().points.first(),
                                          {launch.position.latitude, launch.position.longitude}) < 1.0);
        }
    }
};

QTEST_GUILESS_MAIN(TestDayChart)
#include "tst_daychart.moc"
