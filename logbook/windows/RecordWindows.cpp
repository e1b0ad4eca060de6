#include "RecordWindows.h"

#include "LaunchWindows.h"

#include "FieldLogWindows.h"
#include "OfficeLogWindows.h"
#include "RecordFront.h"
#include "RecordWindow.h"
#include "WindowManager.h"
#include "frmLogbookList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace bravik::logbook {

void registerWindows()
{
    auto &w = windows();
    w.registerWindow<frmPredive>();
    w.registerWindow<frmWeatherObservation>();
    w.registerWindow<frmMission>();
    w.registerWindow<frmMaintenance>();
    w.registerWindow<frmBatteryCharge>();
    w.registerWindow<frmTaskList>();
    w.registerWindow<frmPurchases>();
    w.registerWindow<frmMisc>();
    w.registerWindow<frmLaunches>();
    w.registerWindow<frmLogbookList>();
}

} // namespace bravik::logbook

namespace bravik::logbook {

QStringList closeAllForQuit(std::chrono::milliseconds limit)
{
    RecordWindow::setQuitting(true);
    windows().unloadAll();
    QElapsedTimer clock;
    clock.start();
    auto waiting = [] {
        for (RecordFront *f : RecordFront::all())
            if (f->isBusy())
                return true;
        return false;
    };
    while (waiting() && clock.elapsed() < limit.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    QStringList lost;
    for (RecordFront *f : RecordFront::all()) {
        const QString row = f->unstoredText();
        if (row.isEmpty())
            continue;
        lost << row;
        std::fprintf(stderr, "bravik-log: not stored in %s\n", qPrintable(row));
    }
    std::fflush(stderr);
    RecordWindow::setQuitting(false);
    return lost;
}

} // namespace bravik::logbook
