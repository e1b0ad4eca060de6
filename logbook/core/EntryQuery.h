#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

namespace bravik::logbook {

class Database;

// What the list and the export show of one table.
struct EntryFilter
{
    QString contains;    // in any text field, any case, taken literally
    QString submitter;   // SubmittedBy equal to it, any case
    QString since;       // StampedAtUtc bounds as stored ("2026-12-08T04:29:18Z");
    QString until;       // empty: open.  A set bound leaves out rows without a stamp.
    bool includeVoid = false;   // voided rows too (the list shows them; exports only when asked)
    bool inConflict = false;    // only rows with an open merge conflict

    // No text, submitter or date criterion (void rows aside).
    bool isEmpty() const
    {
        return contains.isEmpty() && submitter.isEmpty() && since.isEmpty() && until.isEmpty() && !inConflict;
    }
    // "contains "abc", submitted by Ana, from … to …" or "all entries";
    // ", void entries included" when they are.
    QString describe() const;

    // Reads a date or a UTC time typed by a person ("2026-12-08",
    // "2026-12-08T04:29", "2026-12-08T04:29:18Z", "2026-12-08 04:29") as
    // a bound; a bare date is the start of that day (or, with endOfRange,
    // its last second).  False for anything else.
    static bool parseBound(const QString &text, bool endOfRange, QString *bound);
};

// One row: its hidden key and its values in EntryQuery::columns() order;
// texts as stored (a missing one empty; bytes that are not UTF-8 as the
// engine's driver reads them, a NUL as U+FFFD), check boxes "true" or "false";
// and whether it was corrected or voided.
struct Entry
{
    qint64 key = -1;
    QStringList values;
    // Of the hidden correction fields: changed after its first store
    // (RowVersion above 0), and voided with its reason.
    bool changed = false;
    bool voided = false;
    QString voidReason;
};

// Reads the rows of one table that pass a filter, newest first, a page at a
// time by key (never the whole table at once).  A filtered search goes
// through the table in bounded key ranges, so it hands over what it found
// as it goes and can be stopped between ranges.
class EntryQuery
{
public:
    // `database` must outlive the query and be used on this thread only.
    EntryQuery(Database &database, const QString &table, const EntryFilter &filter);
    ~EntryQuery();

    bool isValid() const;   // a known table
    // Date/Time and SubmittedBy, the table's other fields in its order, then
    // StampedAtUtc and Workstation.
    QStringList columns() const;
    // Which of columns() hold true/false.
    QList<bool> booleanColumns() const;

    using RowsFound = std::function<void(const QList<Entry> &)>;

    // Where a search stands between its ranges, so it can go on later with
    // another query object (a list's next page, read as a job of its own):
    // the table's key range as first read, and the next range to search.
    struct Position
    {
        bool started = false;
        qint64 lowest = 0, highest = -1;   // the key range, read once
        qint64 high = -1;                  // the next range ends below this key
        qint64 span = 0;                   // and is this many keys wide
        bool exhausted = false;            // no older matching row remains
        double progress() const;           // the share of the key range searched
    };
    // One range below `position` (without a filter, the whole table): up to
    // `limit` rows handed to `found`, and the position moved on.  False on
    // an engine failure (error()).
    bool fetchRange(Position &position, int limit, const RowsFound &found);

    // Reads up to `limit` rows older than `before` (-1: from the newest)
    // and hands them to `found`, in one or more batches, as they come.
    // Stops early when `stop` becomes true.  *exhausted tells whether no
    // older matching row remains.  False on an engine failure (error()).
    bool fetch(qint64 before, int limit, const RowsFound &found, const std::atomic_bool *stop, bool *exhausted);

    // Reads every matching row newest first in one forward pass (for an
    // export): each row as UTF-8 texts, the key first and then columns()
    // (as fetch() reads them, in valid UTF-8: a missing text empty, check
    // boxes "true" or "false"), valid only
    // during the call.  `row` returning false ends the pass.  The texts
    // come straight from the engine (native::scanText), or through Qt a
    // page at a time where it cannot give them.
    // False on an engine failure (error()).
    using TextRow = std::function<bool(const QByteArrayView *fields, int count)>;
    bool scan(const TextRow &row);

    // How far the last fetch got: the share of the table's key range
    // searched, 0 to 1.
    double progress() const;
    // The number of rows in the table (for the export's progress).
    qint64 tableRows();

    QString error() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
