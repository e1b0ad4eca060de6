#include "MissionWindows.h"

namespace bravik::mission {

void registerWindows()
{
}

} // namespace bravik::mission
