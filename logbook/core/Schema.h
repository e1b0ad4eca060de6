#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace bravik::logbook {

// One kind of log entry: the category the main window offers for it, its
// table, the record window that shows it and that window's caption.
struct RecordKind
{
    // In the order the main window lists the kinds.
    enum Id { Maintenance, Predive, Mission, Weather, BatteryCharge, Tasks, Purchases, Miscellaneous };
    Id id = Miscellaneous;
    QString category;   // "Weather Observation"
    QString table;      // "WeatherObservation"
    QString window;     // "frmWeatherObservation"
    QString caption;    // "Weather Observation Log"
};

// One table of the logbook: its name and its fields exactly as named
// (blanks, slash and case kept).  Every field holds text except the
// check-box fields, which hold true/false.
struct TableDef
{
    QString name;
    QStringList fields;          // in the window's tab order
    QStringList booleanFields;   // subset of fields
    bool nextPastLastBeginsNew = true;  // false on Purchases: "next" stays on the last row
    std::optional<RecordKind> kind;     // what the program calls its entries (the eight kinds)

    bool isBoolean(const QString &field) const { return booleanFields.contains(field); }
    // What a new entry's field holds: an unticked box or an empty text.
    QVariant emptyValue(const QString &field) const;
    // A value as the logbook stores it: a check box as a bool, a text as a
    // text (an emptied one as an empty text, not as a missing one).
    QVariant normalised(const QString &field, const QVariant &v) const;
};

// The eight tables of the record kinds, in the order they are created:
// the one list of the kinds (recordKinds() lists them as the main window
// does).
const QList<TableDef> &schema();
// The tables the program keeps beside them: the launch records and the
// edit history.
const QList<TableDef> &systemTables();
// The table of that name, or nullptr.
const TableDef *findTable(const QString &name);

// The hidden auto-increment key column every table gets; it fixes the
// table's order and is never shown.
QString keyColumn();

// Hidden fields every table gets beside its own: when a new row was first
// stored (ISO 8601 UTC, "2026-12-08T04:29:18Z") and on which computer.  No
// record window binds them; they are written once and never changed.
QStringList hiddenFields();
QString stampedAtColumn();     // "StampedAtUtc"
QString workstationColumn();   // "Workstation"

// Hidden fields every table gets for corrections, kept apart from the
// stamp: how often a stored row was changed after its first store
// (0: never), whether it is void and why, and when and on which computer it
// was last changed.  No record window binds them.
QStringList correctionFields();
QString rowVersionColumn();    // "RowVersion", integer, 0 at the first store
QString voidedColumn();        // "Voided", true/false
QString voidReasonColumn();    // "VoidReason"
QString changedAtColumn();     // "ChangedAtUtc", ISO 8601 UTC
QString changedOnColumn();     // "ChangedOn", the computer's host name

// The table of corrections: one row per changed field of a stored row.
QString historyTable();        // "RecordHistory"
QStringList historyFields();   // TableName, RowKey, Field, OldValue, NewValue, ChangedAtUtc, Workstation, OsUser

// The hidden id every row of the eight tables and of the edit history
// gets at its first store and keeps for ever, wherever the row is copied
// or merged to: a UUID as text ("0b6f1c2e-…", no braces).  No window, list
// or export shows it.  Each table has a unique index on it.
QString entryIdColumn();       // "EntryId"
QString newEntryId();

// The open and settled conflicts of merges: one row per field changed on
// two logbooks to different values (MergeConflict).  The entry is named by
// its table and EntryId; the kept value is the one the field holds, the
// other value the one the other logbook had.  SettledAtUtc and SettledOn
// are empty while the conflict is open.
QString mergeConflictTable();  // "MergeConflict"
QStringList mergeConflictFields();   // EntryId, TableName, RowEntryId, Field, KeptValue, …, SettledOn

// Where a logbook file that works beside a shared server stands with it:
// one row per server (SyncState).  Server is the connection text as set;
// AgreedAtUtc when the two last exchanged every entry both ways,
// UnreachableSinceUtc since when no exchange has got through (empty while
// one does), LastError the words of the last one that failed.
QString syncStateTable();      // "SyncState"
QStringList syncStateFields(); // Server, AgreedAtUtc, UnreachableSinceUtc, LastError

} // namespace bravik::logbook
