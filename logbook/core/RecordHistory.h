#pragma once

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <optional>

namespace bravik::logbook {

class Database;

// The edit history of the logbook's rows (the RecordHistory table): one
// row per field changed by a store of an already stored row, and one per
// void.  Nothing is ever taken out of it.
namespace history {

struct Entry
{
    QString field;
    QString oldValue;
    QString newValue;
    QString changedAtUtc;   // "2026-12-08T04:29:18Z"
    QString workstation;
    QString osUser;
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

// The history of one row, newest first.
bool read(Database &database, const QString &table, qint64 rowKey, QList<Entry> *entries, QString *error);

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
