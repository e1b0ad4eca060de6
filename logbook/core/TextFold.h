#pragma once

#include <QSqlDatabase>

namespace bravik::logbook {

// SQLite's lower() folds only A to Z, so "ÅSE" would not find "åse".  This
// gives a SQLite connection the function bravik_fold(text), which folds the
// case of any text the way QString::toCaseFolded() does (ASCII without a
// detour), and returns NULL for NULL.  The filters use it on SQLite; on
// PostgreSQL lower() already follows the database's locale.  Must run on
// the thread that owns the connection; does nothing for other engines.
bool registerTextFold(const QSqlDatabase &db);

} // namespace bravik::logbook
