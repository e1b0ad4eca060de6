#include "RecordWindows.h"

#include "FieldLogWindows.h"
#include "OfficeLogWindows.h"
#include "RecordWindow.h"
#include "WindowManager.h"
#include "frmLogbookList.h"


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
    w.registerWindow<frmLogbookList>();
}

} // namespace bravik::logbook

namespace bravik::logbook {

void closeAllForQuit()
{
    RecordWindow::setQuitting(true);
    windows().unloadAll();
}

} // namespace bravik::logbook
