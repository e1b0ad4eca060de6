// Not a test: the review window with a five-waypoint mission near the coast
// of Monterey Bay, a transect and a 20-waypoint mission.
//   xvfb-run review-chart-shots OUTPUT_FOLDER    (QT_SCALE_FACTOR=2 for scale 2)
#include "ChartView.h"
#include "FieldLogWindows.h"
#include "Launch.h"
#include "MissionReview.h"
#include "MultiLegTemplates.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmMissionDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <cstdio>

using namespace bravik;

namespace {

void save(QWidget *w, const QDir &out, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(400);
    w->grab().save(out.filePath(name));
    std::printf("%s\n", qPrintable(out.filePath(name)));
}

QString write(const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(settings().missionsFolder);
    const QString path = QDir(settings().missionsFolder).filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

frmMissionDisplay *review(test::Seams &seams, const QString &path, const QString &waterDepth)
{
    auto *log = windows().show<frmMission>();
    log->moveLast();
    log->beginNewRow();
    // The new row is there once the logbook answered.
    test::waitForLogbook();
    QTest::keyClicks(log->txtSubmittedBy, QStringLiteral("Ada"));
    QTest::keyClicks(log->txtLatitudeInt, QStringLiteral("36"));
    QTest::keyClicks(log->txtLatitudeMinutes, QStringLiteral("37.2"));
    QTest::keyClicks(log->cmbNS, QStringLiteral("N"));
    QTest::keyClicks(log->txtLongitudeInt, QStringLiteral("121"));
    QTest::keyClicks(log->txtLongitudeMinutes, QStringLiteral("53.4"));
    QTest::keyClicks(log->cmbEW, QStringLiteral("W"));
    QTest::keyClicks(log->txtWaterDepth, waterDepth);
    seams.dialogs->answers.enqueue(path);
    QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
    return windows().existing<frmMissionDisplay>();
}

// A record window goes once the logbook stored its row.
void closeAll()
{
    windows().unloadAll();
    if (!QTest::qWaitFor([] { return windows().loadedWindows().isEmpty(); }, 20000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    test::flushDeletes();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: review-chart-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(app.arguments().at(1));
    QDir().mkpath(out.absolutePath());
    test::TempSettings temp;
    test::Seams seams;
    Settings s = settings();
    s.vehicleMaxDepth = 60.0;
    setSettings(s);
    logbook::registerWindows();
    launch::registerWindows();
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));

    // Five waypoints off Monterey and Pacific Grove; the fourth typed a
    // minute too far east, onto the shore.
    QList<mission::WaypointLeg> five{{36.630, -121.885, 600, 20, 1.5}, {36.645, -121.905, 600, 20, 1.5},
                                     {36.640, -121.925, 600, 25, 1.5}, {36.622, -121.912, 600, 20, 1.5},
                                     {36.612, -121.880, 600, 15, 1.5}};
    const QByteArray fiveBytes = mission::buildMultipleWaypoints(five).script.bytes();
    // The last run of this file name had the fourth waypoint still in the water.
    QByteArray earlier = fiveBytes;
    earlier.replace("latitude     = 36.622;", "latitude     = 36.628;");
    launch::setEarlierReviewProvider([earlier](const QString &, const launch::EarlierReviewAnswer &answer) {
        answer(launch::EarlierRun::found({QString::fromUtf8(earlier), QStringLiteral("Ben"), QStringLiteral("2026-05-02 09:14 UTC")}));
    });
    if (auto *w = review(seams, write(QStringLiteral("five near the coast.cfg"), fiveBytes), QStringLiteral("40"))) {
        save(w, out, QStringLiteral("review-five-waypoints-scale%1.png").arg(scale));
        save(w->picTrack, out, QStringLiteral("chart-five-waypoints-scale%1.png").arg(scale));
        w->close();
        closeAll();
    }
    launch::setEarlierReviewProvider({});

    const QByteArray transect = mission::buildTransect({QStringLiteral("300"), QStringLiteral("2400"), QStringLiteral("5"),
                                                        QStringLiteral("50"), QStringLiteral("8"), QStringLiteral("4"),
                                                        QStringLiteral("1.5")})
                                    .script.bytes();
    if (auto *w = review(seams, write(QStringLiteral("transect.cfg"), transect), QStringLiteral("56"))) {
        save(w, out, QStringLiteral("review-transect-scale%1.png").arg(scale));
        closeAll();
    }

    QList<mission::WaypointLeg> twenty;
    for (int i = 0; i < 20; ++i)
        twenty << mission::WaypointLeg{36.64 + 0.006 * (i % 5), -121.91 - 0.009 * (i / 5) - 0.003 * (i % 2), 300, 20.0 + i, 1.5};
    if (auto *w = review(seams, write(QStringLiteral("twenty.cfg"), mission::buildMultipleWaypoints(twenty).script.bytes()), QString())) {
        save(w, out, QStringLiteral("review-20-waypoints-scale%1.png").arg(scale));
        closeAll();
    }
    return 0;
}
