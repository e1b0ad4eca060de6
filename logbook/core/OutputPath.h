#pragma once

#include "Database.h"

#include <QString>

namespace bravik::logbook {

// Empty when a file written at `path` leaves the logbook at `where`
// alone; otherwise why it would not, naming the path.  A logbook file and
// the files its engine keeps beside it are recognised by what they are,
// not by how the path is spelt; a server's logbook has no file to hit.
QString outputPathProblem(const DatabaseLocation &where, const QString &path);

} // namespace bravik::logbook
