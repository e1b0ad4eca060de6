#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace bravik::logbook {

// The ids of rows stored before rows had ids, or by a program that gives
// none (an older version on a shared server).  Such a row's id is derived
// from what never changes in it, so two copies of one logbook that were
// made before their ids were given derive the same ids and later merge as
// one logbook: an entry from its table, its key and its first-store stamp
// (with its Date/Time and SubmittedBy when it has no stamp); a history row
// from its key and its values.
namespace entryids {

QString forEntry(const QString &table, qint64 key, const QString &stampedAtUtc, const QString &workstation,
                 const QString &dateTime, const QString &submittedBy);
// `values` in the order of historyFields().
QString forHistory(qint64 key, const QStringList &values);

// Gives every row of the eight tables and of the edit history that has no
// id its derived one, inside the caller's transaction, and makes sure each
// of those tables has its unique index on the id.  False with the engine's
// message.
bool giveMissing(QSqlDatabase &db, QString *error);

} // namespace entryids
} // namespace bravik::logbook
