#pragma once

#include "Database.h"

#include <QString>
#include <QStringList>

namespace bravik::logbook {

// A ship's PostgreSQL logbook offers a read-only copy ashore through the
// server's own logical replication: a publication here, a subscription on
// the shore's server (README, "A shore copy of the logbook").

// "bravik_logbook"
QString publicationName();

// The tables a shore copy receives: the eight, the launch records and the
// edit history.  Not the schema version's table: each copy keeps its own,
// set by the program's upgrade of that copy's tables (and a publication
// that carried it would make every later upgrade of this logbook fail on
// its version row).  A table a later version adds belongs here too.
QStringList publishedTables();

// Creates the publication with publishedTables(), or adds those it lacks
// (after an upgrade brought new ones); tables of the logbook's schema
// version are never published.  `notes` gets what was done, and what the
// server still needs before anything reaches the shore.  False with a
// message for a logbook file, a publication of every table, or a server
// that refuses.
bool publishLogbook(Database &db, QStringList *notes, QString *error);

} // namespace bravik::logbook
