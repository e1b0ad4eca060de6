#pragma once

// The reads behind the operations overview, the daily report and the
// cruise event log: the entries of one table stored within a span of
// time, the battery charges, the open tasks.  Each is one statement with
// bound parameters, read forward in one pass on the caller's connection
// (on SQLite straight from the engine's buffers).
//
// A span is read by the hidden first-store stamp (`StampedAtUtc`, indexed
// on every table).  An entry's own "Date/Time" can be corrected to another
// day than the one it was stored on, so the caller reads a margin around
// the span it shows and keeps the entries whose own time falls inside;
// entries without a stamp (stored before the stamp existed, or copied in
// without one) come with every span, so their own time can decide.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace bravik::logbook {

class Database;

namespace operations {

// The fields read of each table, in this order: Date/Time, SubmittedBy,
// StampedAtUtc, Workstation, then the table's other fields in its own
// order.  Empty for a table that is not one of the eight.
const QStringList &entryColumns(const QString &table);
// The position of each of them by name.
const QHash<QString, int> &entryColumnIndex(const QString &table);

// One stored entry: texts as stored (a missing one empty; check boxes
// "true" or "false") in entryColumns() order.
struct StoredEntry
{
    QString table;
    qint64 key = -1;
    QStringList values;
    bool voided = false;
    QString voidReason;

    // The value of that field; empty for a field the table does not have.
    QString text(const QString &field) const;
};

// Gets each row as it is read; returning false ends the read early (not a
// failure).
using EntrySink = std::function<bool(StoredEntry &&)>;

// Every entry of `table`, voided ones too, whose stamp lies in
// [fromStamp, untilStamp) (ISO 8601 UTC texts, "2026-12-08T00:00:00Z"),
// and every entry without a stamp.  False with the engine's words.
bool readStampedBetween(Database &db, const QString &table, const QString &fromStamp, const QString &untilStamp,
                        const EntrySink &sink, QString *error);

// Every battery charge that is not void: its time (Date/Time and the
// stamp) and its three packs, the other fields left empty.
bool readBatteryCharges(Database &db, const EntrySink &sink, QString *error);

// Every task that is not void and has no completion date (an empty or
// blank "DateCompleted").
bool readOpenTasks(Database &db, const EntrySink &sink, QString *error);
// Every task that is not void and has a completion date.
bool readCompletedTasks(Database &db, const EntrySink &sink, QString *error);

} // namespace operations
} // namespace bravik::logbook
