#include "Database.h"

#include "Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtGlobal>
#include <atomic>

namespace bravik::logbook {

namespace {

// Version 1: the eight tables with the swell direction, sky, payload
// coordinator and payload operational fields.
constexpr int kSchemaVersion = 1;

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("bravik-logbook-%1").arg(++counter);
}

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

QString columnDefinition(const Dialect &dialect, const TableDef &table, const QString &field)
{
    if (table.isBoolean(field))
        return Dialect::quote(field) + QLatin1Char(' ') + dialect.booleanType
               + QStringLiteral(" DEFAULT ") + dialect.booleanDefault;
    return Dialect::quote(field) + QLatin1Char(' ') + dialect.textType;
}

bool containsName(const QStringList &names, const QString &name)
{
    // SQLite matches names without regard to case; a table or column that
    // differs only in case is the same one there.
    return names.contains(name, Qt::CaseInsensitive);
}

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    const QSqlRecord record = db.record(table);
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

bool createTable(QSqlDatabase &db, const Dialect &dialect, const TableDef &table,
                 const QStringList &extraColumns, QString *error)
{
    QStringList columns{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
    for (const QString &field : table.fields)
        columns << columnDefinition(dialect, table, field);
    columns << extraColumns;
    const QString sql = QStringLiteral("CREATE TABLE %1 (%2)")
                            .arg(Dialect::quote(table.name), columns.join(QStringLiteral(", ")));
    return run(db, sql, error);
}

// A table from before the hidden key (an imported logbook) is rebuilt
// around it: every row and every field, the table's own extra fields
// included, copied in the order the rows were stored.
bool addKey(QSqlDatabase &db, const Dialect &dialect, const TableDef &table, QString *error)
{
    const QString old = table.name + QStringLiteral(" before key");
    const QSqlRecord record = db.record(table.name);
    QStringList copied, extras;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        copied << Dialect::quote(field.name());
        if (containsName(table.fields, field.name()))
            continue;
        QString type = dialect.textType;
        switch (field.metaType().id()) {
        case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
            type = dialect.integerType; break;
        case QMetaType::Double:
            type = dialect.realType; break;
        case QMetaType::Bool:
            type = dialect.booleanType; break;
        case QMetaType::QByteArray:
            type = dialect.blobType; break;
        default:
            break;
        }
        extras << Dialect::quote(field.name()) + QLatin1Char(' ') + type;
    }
    const QString columns = copied.join(QStringLiteral(", "));
    QString copy = QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                       .arg(Dialect::quote(table.name), columns, Dialect::quote(old));
    if (!dialect.storageOrder.isEmpty())
        copy += QStringLiteral(" ORDER BY ") + dialect.storageOrder;
    return run(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(Dialect::quote(table.name), Dialect::quote(old)), error)
           && createTable(db, dialect, table, extras, error)
           && run(db, copy, error)
           && run(db, QStringLiteral("DROP TABLE %1").arg(Dialect::quote(old)), error);
}

// Creates the missing tables and adds the missing fields; nothing that is
// there already is touched.  Runs inside the caller's transaction.
bool createMissing(QSqlDatabase &db, const Dialect &dialect, QString *error)
{
    const QStringList existing = db.tables(QSql::Tables);
    for (const TableDef &table : schema()) {
        if (!containsName(existing, table.name)) {
            if (!createTable(db, dialect, table, {}, error))
                return false;
            continue;
        }
        if (!containsName(columnsOf(db, table.name), keyColumn())) {
            if (!addKey(db, dialect, table, error))
                return false;
            continue;
        }
        const QStringList present = columnsOf(db, table.name);
        for (const QString &field : table.fields) {
            if (containsName(present, field))
                continue;
            const QString sql = QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                                    .arg(Dialect::quote(table.name), columnDefinition(dialect, table, field));
            if (!run(db, sql, error))
                return false;
        }
    }
    return true;
}

int readVersion(QSqlDatabase &db, const Dialect &dialect, bool *ok, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(dialect.readVersion)) {
        *ok = false;
        if (error)
            *error = Database::errorText(q.lastError());
        return 0;
    }
    *ok = true;
    const int version = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return version;
}

// Brings an older logbook up to the current version, once: the check is
// repeated inside the write transaction so two programs opening the same
// logbook at once do not both upgrade it.
bool upgrade(QSqlDatabase &db, const Dialect &dialect, QString *error)
{
    bool ok = false;
    if (readVersion(db, dialect, &ok, error) >= kSchemaVersion)
        return true;
    if (!ok)
        return false;

    if (!run(db, dialect.beginWrite, error))
        return false;
    auto fail = [&]() {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    for (const QString &sql : dialect.prepareVersion) {
        if (!run(db, sql, error))
            return fail();
    }
    const int version = readVersion(db, dialect, &ok, error);
    if (!ok)
        return fail();
    if (version < kSchemaVersion) {
        if (!createMissing(db, dialect, error))
            return fail();
        for (const QString &sql : dialect.writeVersion) {
            if (!run(db, sql.arg(kSchemaVersion), error))
                return fail();
        }
    }
    if (!run(db, QStringLiteral("COMMIT"), error))
        return fail();
    return true;
}

} // namespace

struct Database::Private
{
    QString connectionName;
    DatabaseLocation where;
    const Dialect *dialect = nullptr;
};

Database::Database()
    : d(std::make_unique<Private>())
{
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(d->connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(d->connectionName);
}

std::unique_ptr<Database> Database::open(const DatabaseLocation &where, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;

    const Dialect *dialect = Dialect::forDriver(where.driver);
    if (!dialect) {
        *error = QStringLiteral("The database driver \"%1\" is not supported.").arg(where.driver);
        return nullptr;
    }
    if (!QSqlDatabase::isDriverAvailable(where.driver)) {
        *error = QStringLiteral("The database driver \"%1\" is not installed.").arg(where.driver);
        return nullptr;
    }
    if (where.location.isEmpty()) {
        *error = QStringLiteral("No database location is set.");
        return nullptr;
    }
    if (dialect->fileBased) {
        const QString folder = QFileInfo(where.location).absolutePath();
        if (!QDir().mkpath(folder)) {
            *error = QStringLiteral("Cannot create the database folder \"%1\".")
                         .arg(QDir::toNativeSeparators(folder));
            return nullptr;
        }
    }

    std::unique_ptr<Database> database(new Database);
    database->d->connectionName = nextConnectionName();
    database->d->where = where;
    database->d->dialect = dialect;

    QSqlDatabase db = QSqlDatabase::addDatabase(where.driver, database->d->connectionName);
    db.setDatabaseName(where.location);
    db.setConnectOptions(dialect->connectOptions);
    if (!db.open()) {
        *error = errorText(db.lastError());
        return nullptr;
    }
    for (const QString &sql : dialect->sessionStatements) {
        if (!run(db, sql, error))
            return nullptr;
    }
    if (!upgrade(db, *dialect, error))
        return nullptr;
    return database;
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(d->connectionName, false);
}

const DatabaseLocation &Database::location() const
{
    return d->where;
}

const Dialect &Database::dialect() const
{
    return *d->dialect;
}

int Database::schemaVersion()
{
    return kSchemaVersion;
}

QString Database::errorText(const QSqlError &error)
{
    const QString engine = error.databaseText().trimmed();
    if (!engine.isEmpty())
        return engine;
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("The database engine reported an unknown failure.") : text;
}

} // namespace bravik::logbook
