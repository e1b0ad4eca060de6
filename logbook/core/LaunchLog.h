#pragma once

// The launch record: one row of the table "LaunchRecord" for every accepted
// "Run Mission", written before the run command starts and completed as
// the run, its output and any abort become known.  Rows are few and small;
// every statement is a single bound-parameter statement on the caller's
// connection.

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace bravik::logbook {

class Database;
struct Dialect;

namespace launchlog {

// The table and its fields, in display order.  Integer fields hold whole
// numbers (or nothing); every other field holds text.
QString tableName();
QStringList fields();
QStringList integerFields();

// Creates the table, or adds the fields it lacks, on an open connection
// inside the schema upgrade's transaction.  False with the engine's message.
bool createMissing(QSqlDatabase &db, const Dialect &dialect, const QStringList &existingTables, QString *error);

// One record: field name -> value (QString, qint64 or an invalid QVariant
// for nothing).  The key is the hidden key column's value.
struct Record
{
    qint64 key = -1;
    QVariantMap values;

    QString text(const QString &field) const { return values.value(field).toString(); }
};

// Inserts a row with these fields set; returns its key, or -1 with the
// engine's message.
qint64 insert(Database &db, const QVariantMap &values, QString *error);

// Sets these fields of the row with that key.  False with the engine's
// message (or when no such row exists).
bool update(Database &db, qint64 key, const QVariantMap &values, QString *error);

// The records of one mission log row, newest first.
bool forMission(Database &db, qint64 missionKey, QList<Record> *records, QString *error);

// One record by its key; false when it is gone or the engine refused.
bool read(Database &db, qint64 key, Record *record, QString *error);

} // namespace launchlog
} // namespace bravik::logbook
