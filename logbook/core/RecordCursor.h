#pragma once

#include "RecordHistory.h"
#include "Schema.h"

#include <QDateTime>
#include <QObject>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace bravik::logbook {

class Database;

// One table of the logbook, one row at a time, as a record window sees it.
//
// The cursor is either on a stored row, on a new row that is not stored yet,
// or (only on an empty table before anything is begun) on no row at all.
// Fields changed on the current row are written when the row is left: by
// any move, by beginning a new row, or by save() when the window closes.
// A new row nobody changed is dropped.  Navigation is keyset over the
// hidden key: one single-row query per move, whatever the table's size.
//
// When the engine refuses something, the cursor emits failed() with the
// engine's own message and stays where it was, with the changed values
// kept, so nothing typed is lost.  A stored row that someone else deleted
// while it was shown here is stored again as a new row when it is left:
// failed() says so, the move does not happen, and the cursor is on the
// row just stored.
//
// A store of a stored row writes only where the row's RowVersion is still
// the one read, raises it, and writes one RecordHistory row per field whose
// value differs from the one shown, all in one transaction.  When another
// program changed the row meanwhile the store is refused (failed() names
// the computer and the time); save() then stores over their change, and a
// move drops the edits made here and keeps theirs.
class RecordCursor : public QObject
{
    Q_OBJECT
public:
    // `database` must outlive the cursor.
    RecordCursor(Database &database, const QString &table, QObject *parent = nullptr);
    ~RecordCursor() override;

    const TableDef &table() const;

    // Opens the table and positions on the first row (no row when empty).
    bool open();

    bool hasRow() const;      // on a stored row or a new row
    bool isNewRow() const;    // on a row that is not stored yet
    bool isChanged() const;   // some field of the current row changed
    QStringList changedFields() const;   // in the table's order
    qint64 currentKey() const;   // the stored row's key, or -1

    // The current row's value: a QString for text fields (empty for a
    // missing value), a bool for check-box fields.
    QVariant value(const QString &field) const;
    // Sets a field of the current row and marks it changed.  On no row,
    // begins a new row first.
    void setValue(const QString &field, const QVariant &value);

    // Navigation; each first stores the current row if it changed.  They
    // return false when the engine refused (failed() was emitted).
    bool moveFirst();
    bool movePrevious();   // on the first row: stays
    bool moveNext();       // on the last row: begins a new row, except on Purchases
    bool moveLast();       // on an empty table: stays on no row
    bool beginNew();
    // Stores the current row if changed, then shows the row with that key
    // (the list window's "open"); false when it is gone or the engine refused.
    bool moveToKey(qint64 key);

    // The hidden stamp of the current new row (StampedAtUtc, Workstation):
    // the submission sets it when it begins an entry; a new row begun any
    // other way gets the time and computer of its first store.  Stored rows
    // keep theirs unchanged.
    void stampNewRow(const QDateTime &utc, const QString &workstation);
    // The stamp as it is written: "2026-12-08T04:29:18Z", the host name.
    static QString stampText(const QDateTime &when);
    static QString thisWorkstation();

    // Stores the current row if it changed (the row is being left because
    // the window closes).  A new row becomes a stored row.
    bool save();
    // Stores the current row as save() does, and writes `alsoWrite` in the
    // same transaction: both land or neither.  A stored row whose version
    // moved on since it was read is refused as on any store, even with no
    // field changed here.
    using SameTransaction = std::function<bool(Database &database, QString *error)>;
    bool saveWith(SameTransaction alsoWrite);
    // A decision about the current stored row (a merge conflict settled):
    // its edits are stored first, then `field` set to `value` (none: no
    // field changes) is stored with `alsoWrite` as saveWith() does.
    // Refused, the row shows what is stored now and the decision leaves
    // nothing behind.
    bool storeDecision(const QString &field, const QVariant &value, SameTransaction alsoWrite);

    // Marks the current stored row void with a reason (required), after
    // storing its edits; the row stays in the table and in navigation.
    bool voidRow(const QString &reason);
    // Makes the current void row an ordinary one again, with a reason
    // (required) that the history keeps beside the void's.
    bool restoreRow(const QString &reason);
    // The current stored row's edit history, newest first (none for a new
    // row); values longer than history::shownLength() come shortened (see
    // history::read).
    bool readHistory(QList<history::Entry> *entries);

    // Asked just before every commit: false rolls the write back (the
    // one who asked for it no longer waits for it), and the row stays
    // changed.  None: every write commits.
    void setCommitGate(std::function<bool()> gate);
    // Forgets the edits of the current row: its fields show the values
    // as read again (the row stays where it is; a new row stays new).
    void discardChanges();

    // The row as read: how often it was changed after its first store, and
    // whether it is void.
    qint64 rowVersion() const;
    bool isVoided() const;
    QString voidReason() const;
    // The last store was refused because another program changed the row
    // since it was shown: save() now stores over that change, and any
    // move drops the edits made here and keeps it.
    bool hasConflict() const;

    QString lastError() const;

Q_SIGNALS:
    // A different row (or a new empty row) is current: show it.
    void rowShown();
    void failed(const QString &engineMessage);
    // A row was written and committed (stored, changed, voided or
    // restored): its key.
    void stored(qint64 key);

private:
    // First or last row of the table; no row when the table is empty.
    bool moveToEnd(bool first);
    bool markVoid(bool voiding, const QString &reason);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
