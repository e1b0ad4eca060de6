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

} // namespace bravik::logbook
