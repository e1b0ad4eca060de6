#include "MissionWindows.h"

#include "WindowManager.h"
#include "frmMultipleSetpoints.h"
#include "frmMultipleWaypoints.h"
#include "frmSelectTemplate.h"
#include "frmTestMissionData.h"
#include "frmTransectMissionData.h"
#include "frmTransitMissionData.h"
#include "frmWaypointMissionData.h"

namespace bravik::mission {

void registerWindows()
{
    windows().registerWindow<frmSelectTemplate>();
    windows().registerWindow<frmTransitMissionData>();
    windows().registerWindow<frmTestMissionData>();
    windows().registerWindow<frmWaypointMissionData>();
    windows().registerWindow<frmMultipleSetpoints>();
    windows().registerWindow<frmMultipleWaypoints>();
    windows().registerWindow<frmTransectMissionData>();
}

} // namespace bravik::mission
