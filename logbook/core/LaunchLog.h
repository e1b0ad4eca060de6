#pragma once

// The launch record: one row of the table "LaunchRecord" for every accepted
// "Run Mission", written before the run command starts and completed as
// the run, its output and any abort become known.  Every record carries an
// id of its own (EntryId, a UUID as text, given when it is made), so a
// write can be repeated without effect: an insert of an id already there
// does nothing, an update names its row by id.  Rows are few and small;
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

// The table and its fields, in display order (the id last).  Integer
// fields hold whole numbers (or nothing); every other field holds text.
QString tableName();
QStringList fields();
QStringList integerFields();
QString idField();   // "EntryId"

// Creates the table, or adds the fields it lacks, on an open connection
// inside the schema upgrade's transaction; records from before the id get
// one each.  False with the engine's message.
bool createMissing(QSqlDatabase &db, const Dialect &dialect, const QStringList &existingTables, QString *error);

// One record: field name -> value (QString, qint64 or an invalid QVariant
// for nothing).  The key is the hidden key column's value.
struct Record
{
    qint64 key = -1;
    QVariantMap values;

    QString id() const { return text(idField()); }
    QString text(const QString &field) const { return values.value(field).toString(); }
};

// Makes the record `id` with these fields set.  When a record of that id
// is there already (the same insert repeated), nothing changes and the
// answer is true.  False with the engine's message.
bool insert(Database &db, const QString &id, const QVariantMap &values, QString *error);

// Sets these fields of the record `id`.  False with the engine's message,
// or when no such record exists.
bool update(Database &db, const QString &id, const QVariantMap &values, QString *error);

// The records of one mission log row, newest first.
bool forMission(Database &db, qint64 missionKey, QList<Record> *records, QString *error);

// Every record, oldest first.
bool all(Database &db, QList<Record> *records, QString *error);

// One record by its id; false when it is not there or the engine refused.
bool read(Database &db, const QString &id, Record *record, QString *error);

// The records made on `workstation` whose run or abort was recorded in a
// status file that has not told its exit status yet, oldest first.
bool unfinished(Database &db, const QString &workstation, QList<Record> *records, QString *error);

// "no launch record was written for this launch"
QString noRecordText();

// The records started within [fromUtc, untilUtc) (ISO 8601 UTC texts,
// "2026-12-08T00:00:00Z"), oldest first, the reviewed text included.
bool startedBetween(Database &db, const QString &fromUtc, const QString &untilUtc, QList<Record> *records,
                    QString *error);

// The file name of a path, either separator: "C:\\missions\\a.cfg" and
// "/home/ada/a.cfg" both give "a.cfg".
QString fileNameOf(const QString &path);

// The latest record (by StartedAtUtc, then by the order made) whose
// ReviewedFile has this file name, whatever its folder.  *found false when
// there is none; false with the engine's message.
bool latestOfFileName(Database &db, const QString &fileName, Record *record, bool *found, QString *error);

} // namespace launchlog
} // namespace bravik::logbook
