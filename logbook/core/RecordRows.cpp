#include "RecordRows.h"

#include "Database.h"
#include "Dialect.h"

namespace bravik::logbook {

namespace {

QStringList quoted(const QStringList &names)
{
    QStringList out;
    for (const QString &name : names)
        out << Dialect::quote(name);
    return out;
}

} // namespace

RecordRows::RecordRows(Database &database, const TableDef &def, bool versioned)
    : database(database)
    , def(def)
    , versioned(versioned)
{
}

RecordRows::~RecordRows() = default;

void RecordRows::forgetPrepared()
{
    for (std::optional<QSqlQuery> &q : reads)
        q.reset();
    updates.clear();
}

QString RecordRows::readSql(Step step) const
{
    QStringList columns = quoted(QStringList{keyColumn()} + def.fields);
    if (versioned)
        columns << quoted({rowVersionColumn(), voidedColumn(), voidReasonColumn()});
    const QString select = QStringLiteral("SELECT %1 FROM %2 ")
                               .arg(columns.join(QStringLiteral(", ")), Dialect::quote(def.name));
    const QString key = Dialect::quote(keyColumn());
    switch (step) {
    case Step::First:
        return select + QStringLiteral("ORDER BY %1 LIMIT 1").arg(key);
    case Step::Last:
        return select + QStringLiteral("ORDER BY %1 DESC LIMIT 1").arg(key);
    case Step::After:
        return select + QStringLiteral("WHERE %1 > ? ORDER BY %1 LIMIT 1").arg(key);
    case Step::Before:
        return select + QStringLiteral("WHERE %1 < ? ORDER BY %1 DESC LIMIT 1").arg(key);
    case Step::At:
        break;
    }
    return select + QStringLiteral("WHERE %1 = ?").arg(key);
}

bool RecordRows::read(Step step, qint64 key, StoredRow *row, bool *found, QString *error)
{
    *found = false;
    // Kept prepared between reads, but reset after each so no read
    // statement stays open.
    std::optional<QSqlQuery> &prepared = reads[std::size_t(step)];
    if (!prepared) {
        QSqlQuery q(database.connection());
        q.setForwardOnly(true);
        if (!q.prepare(readSql(step))) {
            *error = database.failureText(q.lastError());
            return false;
        }
        prepared = std::move(q);
    }
    QSqlQuery &q = *prepared;
    if (step != Step::First && step != Step::Last)
        q.bindValue(0, key);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        q.finish();
        return false;
    }
    if (q.next()) {
        *found = true;
        row->key = q.value(0).toLongLong();
        row->fields.clear();
        for (int i = 0; i < def.fields.size(); ++i)
            row->fields << q.value(i + 1);
        const int n = int(def.fields.size()) + 1;
        row->version = versioned ? q.value(n).toLongLong() : 0;
        row->voided = versioned && q.value(n + 1).toBool();
        row->voidReason = versioned ? q.value(n + 2).toString() : QString();
    } else if (q.lastError().isValid()) {
        *error = database.failureText(q.lastError());
        q.finish();
        return false;
    }
    q.finish();
    return true;
}

bool RecordRows::insert(const QStringList &fields, const QHash<QString, QVariant> &values, qint64 *key,
                        QString *error)
{
    QSqlQuery q(database.connection());
    const Dialect &dialect = database.dialect();
    // Every row of the logbook's own tables gets its id at its first store.
    QStringList names = quoted(fields);
    if (versioned)
        names << Dialect::quote(entryIdColumn());
    QStringList marks;
    for (int i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(Dialect::quote(def.name), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (dialect.insertReturnsKey)
        sql += QStringLiteral(" RETURNING ") + Dialect::quote(keyColumn());
    if (!q.prepare(sql)) {
        *error = database.failureText(q.lastError());
        return false;
    }
    for (int i = 0; i < fields.size(); ++i)
        q.bindValue(i, values.value(fields.at(i)));
    if (versioned)
        q.bindValue(int(fields.size()), newEntryId());
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        return false;
    }
    if (dialect.insertReturnsKey) {
        if (!q.next()) {
            *error = database.failureText(q.lastError());
            return false;
        }
        *key = q.value(0).toLongLong();
    } else {
        *key = q.lastInsertId().toLongLong();
    }
    q.finish();
    return true;
}

bool RecordRows::exists(qint64 key, bool *present, QString *error)
{
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                       .arg(Dialect::quote(def.name), Dialect::quote(keyColumn())))) {
        *error = database.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, key);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        return false;
    }
    *present = q.next();
    q.finish();
    return true;
}

RecordRows::Written RecordRows::update(qint64 key, qint64 version, const QStringList &fields,
                                       const QHash<QString, QVariant> &values, const QString &changedAt,
                                       const QString &changedOn, QString *error)
{
    QStringList sets;
    for (const QString &column : quoted(fields + QStringList{rowVersionColumn(), changedAtColumn(), changedOnColumn()}))
        sets << column + QStringLiteral(" = ?");
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND %4 = ?")
                            .arg(Dialect::quote(def.name), sets.join(QStringLiteral(", ")),
                                 Dialect::quote(keyColumn()), Dialect::quote(rowVersionColumn()));
    auto found = updates.find(sql);
    if (found == updates.end()) {
        QSqlQuery fresh(database.connection());
        if (!fresh.prepare(sql)) {
            *error = database.failureText(fresh.lastError());
            return Written::Failed;
        }
        found = updates.insert(sql, fresh);
    }
    QSqlQuery &q = *found;
    int i = 0;
    for (const QString &field : fields)
        q.bindValue(i++, values.value(field));
    q.bindValue(i++, version + 1);
    q.bindValue(i++, changedAt);
    q.bindValue(i++, changedOn);
    q.bindValue(i++, key);
    q.bindValue(i++, version);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        q.finish();
        updates.erase(found);
        return Written::Failed;
    }
    const int touched = q.numRowsAffected();
    q.finish();
    return touched == 0 ? Written::Untouched : Written::Touched;
}

bool RecordRows::readCurrent(qint64 key, StoredRow *row, bool *found, QString *error)
{
    *found = false;
    const QStringList columns = quoted(def.fields + QStringList{rowVersionColumn(), voidedColumn(), voidReasonColumn(),
                                                                changedAtColumn(), changedOnColumn()});
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                       .arg(columns.join(QStringLiteral(", ")), Dialect::quote(def.name),
                            Dialect::quote(keyColumn())))) {
        *error = database.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, key);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        return false;
    }
    if (!q.next())
        return true;
    *found = true;
    const int n = int(def.fields.size());
    row->key = key;
    row->fields.clear();
    for (int i = 0; i < n; ++i)
        row->fields << q.value(i);
    row->version = q.value(n).toLongLong();
    row->voided = q.value(n + 1).toBool();
    row->voidReason = q.value(n + 2).toString();
    row->changedAt = q.value(n + 3).toString();
    row->changedOn = q.value(n + 4).toString();
    q.finish();
    return true;
}

RecordRows::Written RecordRows::setVoid(qint64 key, bool voiding, const QString &reason, const QString &changedAt,
                                        const QString &changedOn, QString *error)
{
    QSqlQuery q(database.connection());
    // A void is not a change of the fields: it marks the entry as it is
    // stored now, whoever changed it last.
    const QString sql = QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?, %4 = %4 + 1, %5 = ?, %6 = ? "
                                       "WHERE %7 = ? AND %8")
                            .arg(Dialect::quote(def.name), Dialect::quote(voidedColumn()),
                                 Dialect::quote(voidReasonColumn()), Dialect::quote(rowVersionColumn()),
                                 Dialect::quote(changedAtColumn()), Dialect::quote(changedOnColumn()),
                                 Dialect::quote(keyColumn()),
                                 (voiding ? QStringLiteral("NOT ") : QString()) + Dialect::quote(voidedColumn()));
    if (!q.prepare(sql)) {
        *error = database.failureText(q.lastError());
        return Written::Failed;
    }
    q.bindValue(0, voiding);
    q.bindValue(1, voiding ? QVariant(reason) : QVariant(QMetaType::fromType<QString>()));
    q.bindValue(2, changedAt);
    q.bindValue(3, changedOn);
    q.bindValue(4, key);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        return Written::Failed;
    }
    return q.numRowsAffected() == 0 ? Written::Untouched : Written::Touched;
}

WriteTransaction::WriteTransaction(Database &database)
    : database(database)
    , query(database.connection())
{
}

bool WriteTransaction::begin(QString *error)
{
    if (query.exec(database.dialect().beginWrite))
        return true;
    *error = database.failureText(query.lastError());
    return false;
}

bool WriteTransaction::commit(QString *error)
{
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    *error = database.failureText(query.lastError());
    return false;
}

void WriteTransaction::rollback()
{
    QSqlQuery(database.connection()).exec(QStringLiteral("ROLLBACK"));
}

} // namespace bravik::logbook
