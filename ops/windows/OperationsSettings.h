#pragma once

// What the settings say for the operations overview, the report and the
// event log: the attention thresholds ([attention] chargeHours and
// openTaskDays, [launch] requirePredive or 12 hours when unset) and the
// clock's format on this computer.

#include "Attention.h"
#include "TimeSpan.h"

namespace bravik::ops {

Thresholds thresholdsFromSettings();
ClockFormat clockFormat();

// The hours a predive checklist counts when [launch] requirePredive is
// unset.
constexpr double kDefaultPrediveHours = 12.0;

} // namespace bravik::ops
