#include "MissionWindows.h"

#include "WindowManager.h"
#include "frmSelectTemplate.h"
#include "frmTestMissionData.h"
#include "frmTransitMissionData.h"
#include "frmWaypointMissionData.h"

namespace bravik::mission {

void registerWindows()
{
    windows().registerWindow<frmSelectTemplate>();
    windows().registerWindow<frmTransitMissionData>();
    windows().registerWindow<frmTestMissionData>();
    windows().registerWindow<frmWaypointMissionData>();
}

} // namespace bravik::mission
