// Test helper: the launch console as the program runs it, on a logbook and
// a folder the crash-cycle test gives.  Windows are offscreen; the file
// dialog answers from the command line; a message the program shows is
// printed ("message: ...").  Commands start for real, through the output
// recorder.
//
//   bravik-launch-runner run DRIVER LOCATION FOLDER MISSION
//       "Run Mission" on a new mission log entry for MISSION, then prints
//       "pressed" and runs on until it is killed.
//   bravik-launch-runner start DRIVER LOCATION FOLDER
//       starts as the program does after a crash, completes the launches of
//       earlier runs, says "abort at hand: LINE" when the abort window is
//       offered for one still running, waits for those, prints "recovered"
//       and quits as the program does.
//
// The run command is FOLDER/run.sh; status files go to FOLDER/Launches.

#include "FieldLogWindows.h"
#include "Launch.h"
#include "LaunchSession.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace bravik;

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

bool settled(frmMission *log)
{
    return QTest::qWaitFor([log] { return log->cursor()->isOpen() && !log->cursor()->isBusy(); }, 30000);
}

int pressRun(const QString &mission, test::Seams &seams)
{
    frmMission *log = windows().show<frmMission>();
    if (!log || !settled(log))
        return 2;
    log->beginNewRow();
    QTest::keyClicks(log->txtSubmittedBy, QStringLiteral("Ada"));
    if (!settled(log))
        return 2;
    seams.dialogs->answers.enqueue(mission);
    QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
    auto *review = windows().existing<frmMissionDisplay>();
    if (!review)
        return 2;
    review->cmbChecked->setFocus();
    QTest::keyClicks(review->cmbChecked, QStringLiteral("Ben"));
    QTest::mouseClick(review->cmdRunMission, Qt::LeftButton);
    say(QStringLiteral("pressed"));
    QTimer::singleShot(120000, qApp, &QCoreApplication::quit);
    return qApp->exec();
}

int startAfterACrash()
{
    launch::LaunchSession &session = launch::LaunchSession::instance();
    bool recovered = false;
    QObject::connect(&session, &launch::LaunchSession::recovered, [&recovered, &session] {
        recovered = true;
        // A launch still running from before: its abort is at hand.
        if (auto *abort = windows().existing<frmAbortMission>(); abort && abort->isVisible())
            say(QStringLiteral("abort at hand: ") + abort->lblRunStatus->text());
    });
    session.startUp();
    const bool done = QTest::qWaitFor(
        [&] { return recovered && !session.isBusy() && !session.isWatching(); }, 90000);
    session.quit();
    bool ended = false;
    const QStringList kept = logbook::LogbookService::shutdownAll(std::chrono::seconds(4), &ended);
    if (!done || !kept.isEmpty())
        return 1;
    say(QStringLiteral("recovered"));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5 || (args.at(1) == QLatin1String("run") && args.size() < 6)) {
        std::fprintf(stderr, "usage: bravik-launch-runner run|start DRIVER LOCATION FOLDER [MISSION]\n");
        return 2;
    }
    const QDir folder(args.at(4));
    Settings s = Settings::defaults();
    s.databaseDriver = args.at(2);
    s.database = args.at(3);
    s.missionsFolder = folder.path();
    s.launchFolder = folder.filePath(QStringLiteral("Launches"));
    s.runProgram = folder.filePath(QStringLiteral("run.sh"));
    s.runArguments.clear();
    setSettings(s);
    setRecorderProgram(QStringLiteral(BRAVIK_RUN_WRAPPED));
    test::Seams seams;
    setCommandRunner(nullptr);   // the real one
    seams.messages->onInform = [](const QString &text) { say(QStringLiteral("message: ") + QString(text).replace('\n', ' ')); };
    logbook::registerWindows();
    launch::registerWindows();
    if (args.at(1) == QLatin1String("run")) {
        launch::LaunchSession::instance().startUp();
        return pressRun(args.at(5), seams);
    }
    return startAfterACrash();
}
