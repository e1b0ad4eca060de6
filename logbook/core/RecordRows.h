#pragma once

// The SQL of one entry table's rows, as a record window reads and writes
// them one row at a time: the single-row reads of navigation, the insert,
// the look whether a row is there, the store that checks the row's
// version, the read of a row as it is stored now, and the void; and the
// write transaction around them.  Bound parameters and quoted names; what
// differs between the engines comes from the connection's Dialect.  The
// reads of navigation and the stores stay prepared between calls until the
// connection is opened anew (forgetPrepared()).  Failures give the words
// of Database::failureText().

#include "Schema.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <optional>

namespace bravik::logbook {

class Database;

// One row as read.
struct StoredRow
{
    qint64 key = -1;
    QVariantList fields;   // the table's fields in its order, as the engine gives them
    qint64 version = 0;    // RowVersion (0 where the table has none)
    bool voided = false;
    QString voidReason;
    QString changedAt;     // ChangedAtUtc and ChangedOn: only readCurrent() reads them
    QString changedOn;
};

class RecordRows
{
public:
    // `database` must outlive the rows.  A `versioned` table (one of the
    // logbook's own) gives each row's version and void with it.
    RecordRows(Database &database, const TableDef &def, bool versioned);
    ~RecordRows();

    // The prepared statements went with the connection they were made on.
    void forgetPrepared();

    // Navigation's one row: the first or the last, the one after or before
    // `key`, or the one with that key.  False on an engine failure; else
    // *found tells whether there is one, and *row holds it.
    enum class Step { First, Last, After, Before, At };
    bool read(Step step, qint64 key, StoredRow *row, bool *found, QString *error);

    // Appends a row with `fields` set from `values`; *key gets its key.
    bool insert(const QStringList &fields, const QHash<QString, QVariant> &values, qint64 *key, QString *error);

    // Whether the row with that key is there.
    bool exists(qint64 key, bool *present, QString *error);

    enum class Written { Touched, Untouched, Failed };
    // Stores `fields` from `values` into the row `key` only where its
    // RowVersion is still `version`, raises it, and stamps the change with
    // the time and computer.  Untouched: the row is gone or its version
    // moved on.
    Written update(qint64 key, qint64 version, const QStringList &fields, const QHash<QString, QVariant> &values,
                   const QString &changedAt, const QString &changedOn, QString *error);

    // The row `key` as it is stored now, with when and where it was last
    // changed; *found is false when it is gone.
    bool readCurrent(qint64 key, StoredRow *row, bool *found, QString *error);

    // Marks the row `key` void with `reason`, or an ordinary row again,
    // whoever changed it last.  Untouched: the row is gone or was already so.
    Written setVoid(qint64 key, bool voiding, const QString &reason, const QString &changedAt,
                    const QString &changedOn, QString *error);

private:
    QString readSql(Step step) const;

    Database &database;
    TableDef def;
    bool versioned = false;
    std::array<std::optional<QSqlQuery>, 5> reads;   // by Step
    QHash<QString, QSqlQuery> updates;               // by their SQL (their set of fields)
};

// One transaction that writes, on the logbook's connection.
class WriteTransaction
{
public:
    explicit WriteTransaction(Database &database);
    bool begin(QString *error);    // as the engine begins a write (Dialect::beginWrite)
    bool commit(QString *error);
    void rollback();               // whatever the engine answers

private:
    Database &database;
    QSqlQuery query;
};

} // namespace bravik::logbook
