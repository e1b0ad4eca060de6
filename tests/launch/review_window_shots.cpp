// Not a test: pictures of the review window with a 20-leg multiple-setpoints
// script, of the abort window after a failed run and of the launch list.
//   review-window-shots OUTPUT_FOLDER
#include "FieldLogWindows.h"
#include "Launch.h"
#include "LaunchSession.h"
#include "LaunchStatus.h"
#include "LaunchListModel.h"
#include "LaunchWindows.h"
#include "LogbookService.h"
#include "MultiLegTemplates.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>

using namespace bravik;

static void save(QWidget *w, const QDir &out, const char *name)
{
    QApplication::processEvents();
    QTest::qWait(300);
    w->grab().save(out.filePath(QLatin1String(name)));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: review-window-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(app.arguments().at(1));
    QDir().mkpath(out.absolutePath());
    test::TempSettings temp;
    test::Seams seams;
    seams.commands->recording = true;
    logbook::registerWindows();
    launch::registerWindows();

    QList<mission::SetpointLeg> legs;
    for (int i = 0; i < mission::kMaxLegs; ++i)
        legs << mission::SetpointLeg{double((i * 47) % 360), 120.0 + i * 15, 5.0 + (i % 7) * 4.0, i == 12 ? 2.2 : 1.5};
    QByteArray bytes = mission::buildMultipleSetpoints(legs).script.bytes();
    // One hand edit: a leg deeper than the envelope allows.
    bytes.replace("depth        = 25;", "depth        = 35;");
    QDir().mkpath(settings().missionsFolder);
    const QString path = QDir(settings().missionsFolder).filePath(QStringLiteral("twenty legs.cfg"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();

    auto *log = windows().show<frmMission>();
    log->beginNewRow();
    QTest::keyClicks(log->txtSubmittedBy, QStringLiteral("Ada"));
    QTest::keyClicks(log->txtLatitudeInt, QStringLiteral("36"));
    QTest::keyClicks(log->txtLatitudeMinutes, QStringLiteral("48.1234"));
    QTest::keyClicks(log->cmbNS, QStringLiteral("N"));
    QTest::keyClicks(log->txtLongitudeInt, QStringLiteral("121"));
    QTest::keyClicks(log->txtLongitudeMinutes, QStringLiteral("47.5678"));
    QTest::keyClicks(log->cmbEW, QStringLiteral("W"));
    seams.dialogs->answers.enqueue(path);
    QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
    auto *review = windows().existing<frmMissionDisplay>();
    if (!review)
        return 1;
    save(review, out, "review-window.png");

    QTest::keyClicks(review->cmbChecked, QStringLiteral("Ada"));
    QTest::mouseClick(review->cmdRunMission, Qt::LeftButton);
    if (!QTest::qWaitFor([] { return windows().existing<frmAbortMission>() != nullptr; }, 10000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    auto *abort = windows().existing<frmAbortMission>();
    if (!abort || seams.commands->calls.isEmpty())
        return 1;
    launch::CommandStatus s;
    s.state = launch::CommandStatus::State::Ended;
    s.exitStatus = QStringLiteral("1");
    s.output = QStringLiteral("vehicle not reachable\n");
    launch::writeStatusFile(seams.commands->calls.last().statusFile, s);
    QTest::qWait(1200);
    save(abort, out, "abort-window.png");

    QTest::mouseClick(log->cmdLaunches, Qt::LeftButton);
    if (auto *list = windows().existing<frmLaunches>()) {
        if (!QTest::qWaitFor([list] { return list->model()->rowCount() > 0; }, 10000))
            qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
        save(list, out, "launches-window.png");
    }
    save(log, out, "mission-log-window.png");
    std::printf("%s\n", qPrintable(seams.messages->texts.join(QLatin1Char('\n'))));
    windows().unloadAll();
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
    return 0;
}
