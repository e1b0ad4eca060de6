#pragma once

// Opens what a row of the operations or chart window names in its record
// window: an entry in its own, a launch in its mission log entry's.

#include "OperationsModels.h"

class QWidget;

namespace bravik::ops {

// False when there is nothing to open (a launch naming no mission log
// entry is told so, over `parent`) or the record window cannot move to it.
// A record window made just now shows the entry once its table is open.
bool openRowTarget(QWidget *parent, const RowTarget &target);

} // namespace bravik::ops
