#pragma once

// The open conflicts of merges as the record windows and the list meet
// them: the conflicts of one entry, and the settling of one by a person.
// A conflict is a row of MergeConflict (Schema.h): one field changed on two
// logbooks to different values; open while SettledAtUtc is empty.

#include <QList>
#include <QString>

namespace bravik::logbook {

class Database;

namespace conflicts {

// One open conflict of an entry.
struct Open
{
    QString id;                 // the conflict's own EntryId
    QString field;
    bool boolean = false;       // a check box: its values are "true" and "false"
    QString keptValue, keptWorkstation, keptAt;      // the value this logbook kept, where and when it was made
    QString otherValue, otherWorkstation, otherAt;   // the other logbook's
};

// The open conflicts of the entry with that key in `table`, oldest first.
bool openOf(Database &db, const QString &table, qint64 key, QList<Open> *out, QString *error);

// Marks the conflict settled at `at` on `workstation`, inside the caller's
// transaction.  False, with a message, when it is gone or was settled
// meanwhile (by someone else, or by a merge).
bool settle(Database &db, const QString &id, const QString &at, const QString &workstation, QString *error);

// "Changed on two computers: Max Depth is 20 here, 25 from BOAT-LAPTOP at
// 14:02 UTC", with `here` the value the entry shows; long values shortened.
QString lineText(const Open &c, const QString &here);

// The condition "an open conflict names this row" for a query over
// `table`, with `rowEntryId` the row's quoted EntryId column; one bound
// parameter, the table's name.
QString openConflictCondition(const QString &rowEntryId);

} // namespace conflicts
} // namespace bravik::logbook
