#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bravik::logbook {

// One table of the logbook: its name and its fields exactly as named
// (blanks, slash and case kept).  Every field holds text except the
// check-box fields, which hold true/false.
struct TableDef
{
    QString name;
    QStringList fields;          // in the window's tab order
    QStringList booleanFields;   // subset of fields
    bool nextPastLastBeginsNew = true;  // false on Purchases: "next" stays on the last row

    bool isBoolean(const QString &field) const { return booleanFields.contains(field); }
};

// The eight tables.
const QList<TableDef> &schema();
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

} // namespace bravik::logbook
