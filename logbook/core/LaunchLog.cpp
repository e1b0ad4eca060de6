#include "LaunchLog.h"

#include "Database.h"
#include "Dialect.h"
#include "Schema.h"

#include <QSqlQuery>

namespace bravik::logbook::launchlog {

namespace {

bool run(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error)
            *error = Database::errorText(q.lastError());
        return false;
    }
    return true;
}

QString definition(const Dialect &dialect, const QString &field)
{
    return Dialect::quote(field) + QLatin1Char(' ')
           + (integerFields().contains(field) ? dialect.integerType : dialect.textType);
}

QVariant bindable(const QString &field, const QVariant &value)
{
    if (integerFields().contains(field)) {
        if (!value.isValid() || value.isNull() || value.toString().isEmpty())
            return QVariant(QMetaType::fromType<qint64>());
        return value.toLongLong();
    }
    if (!value.isValid() || value.isNull())
        return QVariant(QMetaType::fromType<QString>());
    return value.toString();
}

void fill(const QSqlQuery &q, Record *record)
{
    record->key = q.value(0).toLongLong();
    record->values.clear();
    const QStringList names = fields();
    for (int i = 0; i < names.size(); ++i) {
        const QVariant v = q.value(i + 1);
        record->values.insert(names.at(i), v.isNull() ? QVariant() : v);
    }
}

QString selectList()
{
    QStringList columns{Dialect::quote(keyColumn())};
    for (const QString &f : fields())
        columns << Dialect::quote(f);
    return columns.join(QStringLiteral(", "));
}

} // namespace

QString tableName()
{
    return QStringLiteral("LaunchRecord");
}

QStringList fields()
{
    return {QStringLiteral("MissionKey"),     QStringLiteral("ReviewedFile"),    QStringLiteral("ReviewedSha256"),
            QStringLiteral("ReviewedBytes"),  QStringLiteral("ReviewedAtUtc"),   QStringLiteral("Reviewer"),
            QStringLiteral("Findings"),       QStringLiteral("RunFile"),         QStringLiteral("RunFileSha256"),
            QStringLiteral("RunFileNote"),    QStringLiteral("StartedAtUtc"),    QStringLiteral("Workstation"),
            QStringLiteral("OsUser"),         QStringLiteral("Position"),        QStringLiteral("PositionAgeSeconds"),
            QStringLiteral("RunCommand"),     QStringLiteral("StartResult"),     QStringLiteral("ProcessId"),
            QStringLiteral("RunStatusFile"),  QStringLiteral("RunExitStatus"),   QStringLiteral("RunOutput"),
            QStringLiteral("AbortedAtUtc"),   QStringLiteral("AbortCommand"),    QStringLiteral("AbortResult"),
            QStringLiteral("AbortStatusFile"), QStringLiteral("AbortExitStatus"), QStringLiteral("AbortOutput"),
            QStringLiteral("ReviewedText")};
}

QStringList integerFields()
{
    return {QStringLiteral("MissionKey"), QStringLiteral("ReviewedBytes"), QStringLiteral("PositionAgeSeconds"),
            QStringLiteral("ProcessId")};
}

bool createMissing(QSqlDatabase &db, const Dialect &dialect, const QStringList &existingTables, QString *error)
{
    if (!existingTables.contains(tableName(), Qt::CaseInsensitive)) {
        QStringList columns{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
        for (const QString &f : fields())
            columns << definition(dialect, f);
        return run(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(Dialect::quote(tableName()), columns.join(QStringLiteral(", "))),
                   error);
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(dialect.listColumns)) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    q.bindValue(0, tableName());
    if (!q.exec()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    q.finish();
    for (const QString &f : fields()) {
        if (present.contains(f, Qt::CaseInsensitive))
            continue;
        if (!run(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(Dialect::quote(tableName()), definition(dialect, f)), error))
            return false;
    }
    return true;
}

qint64 insert(Database &db, const QVariantMap &values, QString *error)
{
    QStringList names, marks;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!fields().contains(it.key()))
            continue;
        names << Dialect::quote(it.key());
        marks << QStringLiteral("?");
    }
    QString sql = names.isEmpty()
                      ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Dialect::quote(tableName()))
                      : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(Dialect::quote(tableName()), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (db.dialect().insertReturnsKey)
        sql += QStringLiteral(" RETURNING ") + Dialect::quote(keyColumn());
    QSqlQuery q(db.connection());
    if (!q.prepare(sql)) {
        *error = Database::errorText(q.lastError());
        return -1;
    }
    int i = 0;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (fields().contains(it.key()))
            q.bindValue(i++, bindable(it.key(), it.value()));
    if (!q.exec()) {
        *error = Database::errorText(q.lastError());
        return -1;
    }
    qint64 key = -1;
    if (db.dialect().insertReturnsKey) {
        if (q.next())
            key = q.value(0).toLongLong();
    } else {
        const QVariant id = q.lastInsertId();
        if (id.isValid())
            key = id.toLongLong();
    }
    if (key < 0)
        *error = QStringLiteral("The database did not report the new launch record's key.");
    return key;
}

bool update(Database &db, qint64 key, const QVariantMap &values, QString *error)
{
    QStringList sets;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (fields().contains(it.key()))
            sets << Dialect::quote(it.key()) + QStringLiteral(" = ?");
    if (sets.isEmpty())
        return true;
    QSqlQuery q(db.connection());
    if (!q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                       .arg(Dialect::quote(tableName()), sets.join(QStringLiteral(", ")), Dialect::quote(keyColumn())))) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    int i = 0;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (fields().contains(it.key()))
            q.bindValue(i++, bindable(it.key(), it.value()));
    q.bindValue(i, key);
    if (!q.exec()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    if (q.numRowsAffected() == 0) {
        *error = QStringLiteral("The launch record %1 is no longer in the logbook.").arg(key);
        return false;
    }
    return true;
}

bool forMission(Database &db, qint64 missionKey, QList<Record> *records, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4 DESC")
                       .arg(selectList(), Dialect::quote(tableName()), Dialect::quote(QStringLiteral("MissionKey")),
                            Dialect::quote(keyColumn())))) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    q.bindValue(0, missionKey);
    if (!q.exec()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    records->clear();
    while (q.next()) {
        Record r;
        fill(q, &r);
        records->append(r);
    }
    return true;
}

bool read(Database &db, qint64 key, Record *record, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                       .arg(selectList(), Dialect::quote(tableName()), Dialect::quote(keyColumn())))) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    q.bindValue(0, key);
    if (!q.exec()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    if (!q.next()) {
        *error = QStringLiteral("The launch record %1 is no longer in the logbook.").arg(key);
        return false;
    }
    fill(q, record);
    return true;
}

} // namespace bravik::logbook::launchlog
