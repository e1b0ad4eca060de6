#pragma once

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <optional>

namespace bravik::logbook {

class Database;

// The edit history of the logbook's rows (the RecordHistory table): one
// row per field changed by a store of an already stored row, and one per
// void.  Nothing is ever taken out of it.  Each row has an id of its own
// (EntryId), given when it is written, by which a merge knows it.
namespace history {

struct Entry
{
    QString field;
    QString oldValue;
    QString newValue;
    QString changedAtUtc;   // "2026-12-08T04:29:18Z"
    QString workstation;
    QString osUser;
    qint64 key = -1;        // of the history row, to read its values whole
    // The values' whole lengths; longer than the value read when it was
    // read shortened.
    qint64 oldLength = 0;
    qint64 newLength = 0;

    bool isCut() const { return oldValue.size() < oldLength || newValue.size() < newLength; }
};

struct Change
{
    QString field;
    QString oldValue;
    QString newValue;
};

// Writes the changes of one row, inside the caller's transaction.  With
// `prepared`, the insert statement is prepared into it once and kept for
// the next call (the caller drops it when its connection is opened anew).
bool write(Database &database, const QString &table, qint64 rowKey, const QList<Change> &changes,
           const QString &changedAtUtc, const QString &workstation, const QString &osUser, QString *error,
           std::optional<QSqlQuery> *prepared = nullptr);

// The history of one row, newest first.  Values longer than
// shownLength() characters come cut to that length (a list shows the start
// of a long value; readValues() gives it whole).
bool read(Database &database, const QString &table, qint64 rowKey, QList<Entry> *entries, QString *error);
int shownLength();
// The whole old and new value of one history row.
bool readValues(Database &database, qint64 historyKey, QString *oldValue, QString *newValue, QString *error);

// The field a restore of a void entry writes (old value: the void's
// reason, new value: the restore's).
QString restoredField();

// "2026-12-08 04:29:18 UTC" from a stored time; the text itself when it
// is not one.
QString readableTime(const QString &changedAtUtc);

// The refusal of a store whose row was changed elsewhere since it was shown.
QString conflictText(const QString &workstation, const QString &changedAtUtc);

// The user the program runs as, written with every history row; the
// program sets it once at start (the platform knows it).
void setOsUser(const QString &name);
QString osUser();

} // namespace history
} // namespace bravik::logbook
