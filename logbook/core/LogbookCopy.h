#pragma once

#include "Database.h"

#include <QString>
#include <functional>

namespace bravik::logbook {

// Copies every row of the logbook's eight tables (with the launch records
// and the edit history) from one logbook to
// another (a SQLite file to a PostgreSQL server and back), keeping each
// row's hidden key and so the rows' order, and every field a table has,
// its own extra fields included.  A target table that already holds rows
// is refused before anything is written; the copy is one transaction, so
// a failure leaves the target's tables empty.  `progress` gets a line now
// and then (per table, and about once a second on a large table).
bool copyLogbook(const DatabaseLocation &from, const DatabaseLocation &to,
                 const std::function<void(const QString &)> &progress, QString *error);

} // namespace bravik::logbook
