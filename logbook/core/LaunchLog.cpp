#include "LaunchLog.h"

#include "Database.h"
#include "Dialect.h"
#include "Schema.h"

#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

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

// The fields of `values` this table has, the id left out (it is named apart).
QStringList settable(const QVariantMap &values)
{
    QStringList out;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key() != idField() && fields().contains(it.key()))
            out << it.key();
    return out;
}

bool select(Database &db, const QString &where, const QVariantList &bound, QList<Record> *records, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(selectList(), Dialect::quote(tableName()), where))) {
        *error = db.failureText(q.lastError());
        return false;
    }
    for (int i = 0; i < bound.size(); ++i)
        q.bindValue(i, bound.at(i));
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    records->clear();
    while (q.next()) {
        Record r;
        fill(q, &r);
        records->append(r);
    }
    if (q.lastError().isValid()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    return true;
}

// Records from before the id get one each; then no two may share one.
bool giveIds(QSqlDatabase &db, QString *error)
{
    const QString table = Dialect::quote(tableName()), id = Dialect::quote(idField()), key = Dialect::quote(keyColumn());
    QList<qint64> keys;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NULL OR %3 = ''").arg(key, table, id))) {
            *error = Database::errorText(q.lastError());
            return false;
        }
        while (q.next())
            keys << q.value(0).toLongLong();
    }
    QSqlQuery set(db);
    if (!set.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(table, id, key))) {
        *error = Database::errorText(set.lastError());
        return false;
    }
    for (qint64 k : keys) {
        set.bindValue(0, QUuid::createUuid().toString(QUuid::WithoutBraces));
        set.bindValue(1, k);
        if (!set.exec()) {
            *error = Database::errorText(set.lastError());
            return false;
        }
    }
    return run(db, QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"LaunchRecordEntryId\" ON %1 (%2)").arg(table, id),
               error);
}

} // namespace

QString tableName()
{
    return QStringLiteral("LaunchRecord");
}

QString idField()
{
    return QStringLiteral("EntryId");
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
            QStringLiteral("ReviewedText"),   idField()};
}

QStringList integerFields()
{
    return {QStringLiteral("MissionKey"), QStringLiteral("ReviewedBytes"), QStringLiteral("PositionAgeSeconds"),
            QStringLiteral("ProcessId")};
}

QString noRecordText()
{
    return QStringLiteral("no launch record was written for this launch");
}

bool createMissing(QSqlDatabase &db, const Dialect &dialect, const QStringList &existingTables, QString *error)
{
    if (!existingTables.contains(tableName(), Qt::CaseInsensitive)) {
        QStringList columns{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
        for (const QString &f : fields())
            columns << definition(dialect, f);
        return run(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(Dialect::quote(tableName()), columns.join(QStringLiteral(", "))),
                   error)
               && giveIds(db, error);
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
    return giveIds(db, error);
}

bool insert(Database &db, const QString &id, const QVariantMap &values, QString *error)
{
    const QStringList names = settable(values);
    QStringList columns, marks;
    for (const QString &n : names) {
        columns << Dialect::quote(n);
        marks << QStringLiteral("?");
    }
    columns << Dialect::quote(idField());
    marks << QStringLiteral("?");
    // A repeated insert (its first answer was lost with the connection)
    // meets its own row and leaves it.
    QSqlQuery q(db.connection());
    if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO NOTHING")
                       .arg(Dialect::quote(tableName()), columns.join(QStringLiteral(", ")),
                            marks.join(QStringLiteral(", ")), Dialect::quote(idField())))) {
        *error = db.failureText(q.lastError());
        return false;
    }
    int i = 0;
    for (const QString &n : names)
        q.bindValue(i++, bindable(n, values.value(n)));
    q.bindValue(i, id);
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    return true;
}

bool update(Database &db, const QString &id, const QVariantMap &values, QString *error)
{
    const QStringList names = settable(values);
    QStringList sets;
    for (const QString &n : names)
        sets << Dialect::quote(n) + QStringLiteral(" = ?");
    if (sets.isEmpty())
        sets << Dialect::quote(idField()) + QStringLiteral(" = ") + Dialect::quote(idField());
    QSqlQuery q(db.connection());
    if (!q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                       .arg(Dialect::quote(tableName()), sets.join(QStringLiteral(", ")), Dialect::quote(idField())))) {
        *error = db.failureText(q.lastError());
        return false;
    }
    int i = 0;
    for (const QString &n : names)
        q.bindValue(i++, bindable(n, values.value(n)));
    q.bindValue(i, id);
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    if (q.numRowsAffected() == 0) {
        *error = noRecordText();
        return false;
    }
    return true;
}

bool forMission(Database &db, qint64 missionKey, QList<Record> *records, QString *error)
{
    return select(db,
                  QStringLiteral("%1 = ? ORDER BY %2 DESC").arg(Dialect::quote(QStringLiteral("MissionKey")),
                                                                Dialect::quote(keyColumn())),
                  {missionKey}, records, error);
}

bool all(Database &db, QList<Record> *records, QString *error)
{
    return select(db, QStringLiteral("1 = 1 ORDER BY %1").arg(Dialect::quote(keyColumn())), {}, records, error);
}

bool read(Database &db, const QString &id, Record *record, QString *error)
{
    QList<Record> found;
    if (!select(db, Dialect::quote(idField()) + QStringLiteral(" = ?"), {id}, &found, error))
        return false;
    if (found.isEmpty()) {
        *error = QStringLiteral("The launch record %1 is not in the logbook.").arg(id);
        return false;
    }
    *record = found.first();
    return true;
}

bool unfinished(Database &db, const QString &workstation, QList<Record> *records, QString *error)
{
    auto waiting = [](const char *file, const char *exit) {
        return QStringLiteral("(COALESCE(%1, '') <> '' AND COALESCE(%2, '') = '')")
            .arg(Dialect::quote(QLatin1String(file)), Dialect::quote(QLatin1String(exit)));
    };
    return select(db,
                  QStringLiteral("%1 = ? AND (%2 OR %3) ORDER BY %4")
                      .arg(Dialect::quote(QStringLiteral("Workstation")), waiting("RunStatusFile", "RunExitStatus"),
                           waiting("AbortStatusFile", "AbortExitStatus"), Dialect::quote(keyColumn())),
                  {workstation}, records, error);
}

bool startedBetween(Database &db, const QString &fromUtc, const QString &untilUtc, QList<Record> *records,
                    QString *error)
{
    const QString started = Dialect::quote(QStringLiteral("StartedAtUtc"));
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= ? AND %3 < ? ORDER BY %3, %4")
                       .arg(selectList(), Dialect::quote(tableName()), started, Dialect::quote(keyColumn())))) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    q.bindValue(0, fromUtc);
    q.bindValue(1, untilUtc);
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
    if (q.lastError().isValid()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    return true;
}

QString fileNameOf(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

bool latestOfFileName(Database &db, const QString &fileName, Record *record, bool *found, QString *error)
{
    *found = false;
    if (fileName.isEmpty())
        return true;
    // The engine narrows the rows down to the paths ending in the name (its
    // LIKE may ignore case); the name is then compared exactly, newest
    // first, and the reading stops at the first that has it.
    QString pattern = fileName;
    pattern.replace(QLatin1Char('!'), QStringLiteral("!!"))
        .replace(QLatin1Char('%'), QStringLiteral("!%"))
        .replace(QLatin1Char('_'), QStringLiteral("!_"));
    const QString file = Dialect::quote(QStringLiteral("ReviewedFile"));
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 LIKE ? ESCAPE '!' ORDER BY COALESCE(%4, '') DESC, %5 DESC")
                       .arg(selectList(), Dialect::quote(tableName()), file,
                            Dialect::quote(QStringLiteral("StartedAtUtc")), Dialect::quote(keyColumn())))) {
        *error = db.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, QStringLiteral("%") + pattern);
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    const int fileColumn = int(fields().indexOf(QStringLiteral("ReviewedFile"))) + 1;
    while (q.next()) {
        if (fileNameOf(q.value(fileColumn).toString()) != fileName)
            continue;
        fill(q, record);
        *found = true;
        break;
    }
    if (q.lastError().isValid()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    return true;
}

} // namespace bravik::logbook::launchlog
