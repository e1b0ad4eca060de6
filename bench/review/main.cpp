// bench-review: how long the review window takes to read, check and draw a
// 20-leg multiple-setpoints script.  Goal: median under 20 ms for all three.
#include "ChartView.h"
#include "MissionCheck.h"
#include "MissionPictures.h"
#include "MissionReview.h"
#include "MissionScript.h"
#include "MultiLegTemplates.h"
#include "Settings.h"
#include "frmMissionDisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

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

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 50;

    QList<mission::SetpointLeg> legs;
    for (int i = 0; i < mission::kMaxLegs; ++i)
        legs << mission::SetpointLeg{double((i * 37) % 360), 120.0 + i * 10, 5.0 + (i % 7) * 4.0, 1.5};
    const mission::TemplateBuild build = mission::buildMultipleSetpoints(legs);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("twenty.cfg"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(build.script.bytes()) != build.script.bytes().size())
        return 1;
    f.close();
    const QByteArray bytes = build.script.bytes();

    const QList<double> read = timed(rounds, [&] { mission::readMissionScript(bytes); });
    const QList<double> check = timed(rounds, [&] { mission::checkMissionBytes(bytes, mission::vehicleLimits(settings())); });
    const mission::MissionCheck c = mission::checkMissionBytes(bytes, {});
    launch::DepthProfileView depth;
    chart::ChartView track;
    depth.resize(520, 200);
    track.resize(520, 280);
    depth.setCheck(c);
    track.setData(mission::chartData(c));
    const QList<double> draw = timed(rounds, [&] {
        depth.grab();
        track.grab();
    });
    // The whole window: the file read from disk, checked, every control
    // built and the window drawn once.
    const QList<double> window = timed(rounds, [&] {
        launch::setChosenMission(path);
        auto *w = new frmMissionDisplay;
        w->grab();
        delete w;
    });

    std::printf("bench-review: 20-leg multiple-setpoints script (%lld bytes), %d rounds, median ms\n",
                static_cast<long long>(bytes.size()), rounds);
    std::printf("  read                 %8.3f\n", median(read));
    std::printf("  check                %8.3f\n", median(check));
    std::printf("  draw both pictures   %8.3f\n", median(draw));
    std::printf("  review window whole  %8.3f   (goal: read + check + draw under 20 ms)\n", median(window));
    const double total = median(read) + median(check) + median(draw);
    std::printf("  read + check + draw  %8.3f   %s\n", total, total < 20.0 ? "within the goal" : "OVER the goal");
    return 0;
}
