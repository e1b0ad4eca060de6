// bench-chart: the shore of a 20 km area at the finest installed GSHHG
// resolution, read and drawn in a chart; the land checks of a 20-waypoint
// mission.  Goals: first read under 500 ms, read (kept) and draw under
// 50 ms, the land checks under 20 ms.  Floors measured in the same run:
// GMT's own extraction of the same region ("coast -M" into memory), a chart
// drawn without any shore, and the same checks without the shore.
#include "ChartView.h"
#include "Coastline.h"
#include "MissionCheck.h"
#include "MultiLegTemplates.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

#include <gmt.h>

using namespace bravik;

static double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0.0 : v.at(v.size() / 2);
}

static QList<double> timed(int rounds, const std::function<void()> &f)
{
    QList<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms << t.nsecsElapsed() / 1e6;
    }
    return ms;
}

static int quiet(FILE *, const char *)
{
    return 0;
}

// GMT alone: a session, the coast module's shore of the region into memory.
static void gmtCoast(const chart::GeoBox &b, char res, const QString &folder)
{
    void *api = GMT_Create_Session("bench", 0U, GMT_SESSION_NOEXIT | GMT_SESSION_EXTERNAL | GMT_SESSION_NOHISTORY, quiet);
    char vf[GMT_VF_LEN] = {0};
    GMT_Open_VirtualFile(api, GMT_IS_DATASET, GMT_IS_LINE, unsigned(GMT_OUT) | unsigned(GMT_IS_REFERENCE), nullptr, vf);
    const QString args = QStringLiteral("-R%1/%2/%3/%4 -D%5 -A0 -W -M --DIR_GSHHG=%6 ->%7")
                             .arg(b.west, 0, 'f', 9).arg(b.east, 0, 'f', 9).arg(b.south, 0, 'f', 9).arg(b.north, 0, 'f', 9)
                             .arg(QLatin1Char(res)).arg(folder, QString::fromLatin1(vf));
    GMT_Call_Module(api, "coast", GMT_MODULE_CMD, const_cast<char *>(args.toLocal8Bit().constData()));
    if (auto *d = static_cast<GMT_DATASET *>(GMT_Read_VirtualFile(api, vf)))
        GMT_Destroy_Data(api, &d);
    GMT_Close_VirtualFile(api, vf);
    GMT_Destroy_Session(api);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;

    chart::Coastline &probe = chart::Coastline::forFolder(QString());
    if (!probe.available()) {
        std::printf("bench-chart: %s\n", qPrintable(probe.unavailableText()));
        return 1;
    }
    const chart::Resolution res = *probe.highest();
    // 20 km across Monterey Bay's southern shore.
    const chart::GeoPoint centre{36.66, -121.88};
    const chart::GeoBox box = chart::GeoBox{centre.lat, centre.lat, centre.lon, centre.lon}.grown(10000.0);

    // First reads, each by a reader of its own (nothing kept).
    const QList<double> first = timed(std::max(3, rounds / 5), [&] {
        chart::Coastline fresh;
        fresh.area(box, res);
    });
    const QList<double> floorGmt = timed(std::max(3, rounds / 5), [&] { gmtCoast(box, chart::resolutionLetter(res), probe.folderOf(res)); });

    // The chart of a five-waypoint mission in that area, drawn again and
    // again: the shore is read once and kept.
    QList<mission::WaypointLeg> five;
    for (int i = 0; i < 5; ++i)
        five << mission::WaypointLeg{36.70 + 0.012 * i, -121.93 + 0.01 * (i % 2), 600.0, 20.0, 1.5};
    const mission::MissionCheck fiveCheck =
        mission::checkMissionBytes(mission::buildMultipleWaypoints(five).script.bytes(), {}, mission::GeoPosition{36.66, -121.90});
    chart::ChartView view;
    view.resize(640, 420);
    view.setCoastline(&probe);
    view.setData(mission::chartData(fiveCheck));
    view.grab();
    const int points = view.shownResolution() ? int(probe.area(box, res)->pointCount()) : 0;
    const QList<double> redraw = timed(rounds, [&] {
        probe.area(box, res);
        view.grab();
    });
    chart::ChartView bare;
    bare.resize(640, 420);
    bare.setData(mission::chartData(fiveCheck));
    const QList<double> floorDraw = timed(rounds, [&] { bare.grab(); });

    // The land checks of a 20-waypoint mission (the shore already read).
    QList<mission::WaypointLeg> twenty;
    for (int i = 0; i < 20; ++i)
        twenty << mission::WaypointLeg{36.70 + 0.004 * i, -121.93 - 0.006 * (i % 3), 300.0, 20.0, 1.5};
    const QByteArray bytes = mission::buildMultipleWaypoints(twenty).script.bytes();
    mission::CheckContext withShore;
    withShore.coastline = &probe;
    mission::checkMissionBytes(bytes, {}, mission::GeoPosition{36.66, -121.90}, withShore);
    const QList<double> checks = timed(rounds, [&] { mission::checkMissionBytes(bytes, {}, mission::GeoPosition{36.66, -121.90}, withShore); });
    const QList<double> floorChecks = timed(rounds, [&] { mission::checkMissionBytes(bytes, {}, mission::GeoPosition{36.66, -121.90}); });

    std::printf("bench-chart: 20 km around 36.66 N 121.88 W, %s (%d shore points), chart 640 x 420, median ms\n",
                qPrintable(chart::resolutionTitle(res)), points);
    std::printf("  first read of the shore      %8.2f   floor, GMT's coast -M alone %8.2f   (goal < 500)\n", median(first), median(floorGmt));
    std::printf("  read (kept) and draw         %8.2f   floor, chart without shore  %8.2f   (goal < 50)\n", median(redraw), median(floorDraw));
    std::printf("  checks, 20 waypoints, shore  %8.2f   floor, without the shore    %8.2f   (goal < 20)\n", median(checks), median(floorChecks));
    const bool ok = median(first) < 500.0 && median(redraw) < 50.0 && median(checks) < 20.0;
    std::printf("  %s\n", ok ? "within the goals" : "OVER a goal");
    return 0;
}
