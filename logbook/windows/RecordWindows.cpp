#include "RecordWindows.h"

#include "LaunchWindows.h"

#include "FieldLogWindows.h"
#include "OfficeLogWindows.h"
#include "WindowManager.h"

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
}

} // namespace bravik::logbook
