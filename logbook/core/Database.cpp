#include "Database.h"

#include "Attachments.h"
#include "Connection.h"
#include "EntryIds.h"
#include "FileIdentity.h"
#include "LaunchLog.h"
#include "Schema.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <atomic>

namespace bravik::logbook {

namespace {

// Version 1: the eight tables with the swell direction, sky, payload
// coordinator and payload operational fields.
// Version 2: the launch record table (LaunchLog.h).
// Version 3: the hidden StampedAtUtc and Workstation fields on every table.
// Version 4: the hidden RowVersion, Voided, VoidReason, ChangedAtUtc and
// ChangedOn fields on every table, and the RecordHistory table.
// Version 5: the launch record's EntryId, unique, given to every record.
// Version 6: an index on StampedAtUtc of every table and on the launch
// record's StartedAtUtc, for reading a day or a range.
// Version 7: the hidden EntryId of every row of the eight tables and of the
// edit history, unique, given to every row (EntryIds.h); the MergeConflict
// table.
// Version 8: the SyncState table of a logbook file kept beside a server;
// the Attachment and AttachmentContent tables (Attachments.h); an index on
// the MergeConflict row's entry.
constexpr int kSchemaVersion = 8;

// The logbook files this program has opened since it started.  Only the
// first opening of a file may create it: one that is missing later was
// removed or moved while the program ran, and an empty logbook made in its
// place would take the crew's entries without a word.
QMutex openedFilesLock;
QSet<QString> &openedFiles()
{
    static QSet<QString> files;
    return files;
}

// What the crew should know about each logbook opened, by location.
QMutex noticesLock;
QHash<QString, QString> &notices()
{
    static QHash<QString, QString> byLocation;
    return byLocation;
}

QString noticeKey(const DatabaseLocation &where)
{
    return where.driver + QLatin1Char('\n') + where.location;
}

const QString kPlainCase = QStringLiteral("Find Entries matches upper and lower case of the plain letters A to Z "
                                          "only (\"ä\" does not find \"Ä\").");

// Why the logbook's tables are not made in that database (empty when
// they may be), and what the crew should know about a logbook there.
struct TextSettings
{
    QString refusal;
    QString notice;
};

bool readTextSettings(QSqlDatabase &db, const Dialect &dialect, TextSettings *text, QString *error)
{
    if (dialect.readTextSettings.isEmpty())
        return true;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(dialect.readTextSettings) || !q.next()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    const QString encoding = q.value(0).toString(), characterType = q.value(1).toString(),
                  name = q.value(2).toString();
    q.finish();
    if (encoding != dialect.textEncoding) {
        text->refusal = QStringLiteral(
                            "The PostgreSQL database \"%1\" stores text as %2, not as UTF-8; a logbook there "
                            "would keep the crew's words, but Find Entries would match upper and lower case of "
                            "the plain letters A to Z only (\"ä\" would not find \"Ä\"). The logbook's tables "
                            "were not made. Make a UTF-8 database and name it in the settings, for example with: "
                            "createdb -E UTF8 --locale=C.UTF-8 -T template0 NAME")
                            .arg(name, encoding);
        text->notice = QStringLiteral("This logbook's PostgreSQL database \"%1\" stores text as %2, not as UTF-8: %3")
                           .arg(name, encoding, kPlainCase);
    } else if (dialect.plainCharacterTypes.contains(characterType)) {
        text->notice = QStringLiteral("This logbook's PostgreSQL database \"%1\" has the character type %2: %3")
                           .arg(name, characterType, kPlainCase);
    }
    return true;
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// SQLite's own words for a damaged file (its result codes SQLITE_CORRUPT
// and SQLITE_NOTADB).
bool isDamageMessage(const QString &engine)
{
    return engine.contains(QLatin1String("database disk image is malformed"))
           || engine.contains(QLatin1String("malformed database schema"))
           || engine.contains(QLatin1String("file is not a database"));
}

QString damagedMessage(const QString &path, const QString &engine)
{
    return QStringLiteral(
               "The logbook file \"%1\" is damaged (the database engine says: %2). "
               "Entries cannot be read from it or stored in it safely. Close the program and put "
               "the last good copy of the logbook in its place; the README (\"A damaged logbook\") "
               "tells how to save the rows that can still be read, with the sqlite3 tool's .recover.")
        .arg(nativePath(path), engine);
}

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("bravik-logbook-%1").arg(++counter);
}

// The hidden fields of every table of the eight, after its own.
QStringList besideFields()
{
    return hiddenFields() + correctionFields() + QStringList{entryIdColumn()};
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

// Runs a statement the engine may answer "busy" at once, without waiting
// for the lock (PRAGMA journal_mode=WAL while another program opens the
// same new file): tried again every few milliseconds for as long as the
// connection would wait for any other lock.
bool runWhileBusy(QSqlDatabase &db, const Dialect &dialect, const QString &sql, QString *error)
{
    QDeadlineTimer deadline(dialect.lockWaitMs);
    for (;;) {
        QSqlQuery q(db);
        if (q.exec(sql))
            return true;
        if (dialect.busyCode.isEmpty() || q.lastError().nativeErrorCode() != dialect.busyCode
            || deadline.hasExpired()) {
            if (error)
                *error = Database::errorText(q.lastError());
            return false;
        }
        QThread::msleep(5);
    }
}

QString columnDefinition(const Dialect &dialect, const TableDef &table, const QString &field)
{
    if (field == rowVersionColumn())
        return Dialect::quote(field) + QLatin1Char(' ') + dialect.integerType + QStringLiteral(" NOT NULL DEFAULT 0");
    if (field == voidedColumn())
        return Dialect::quote(field) + QLatin1Char(' ') + dialect.booleanType
               + QStringLiteral(" NOT NULL DEFAULT ") + dialect.booleanDefault;
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

Column::Kind kindOf(const QString &declaredType)
{
    // The way SQLite reads a declared type, which also covers PostgreSQL's
    // type names.
    const QString t = declaredType.toUpper();
    if (t.contains(QLatin1String("BOOL")))
        return Column::Kind::Boolean;
    if (t.contains(QLatin1String("INT")))
        return Column::Kind::Integer;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB"))
        || t.contains(QLatin1String("NUMERIC")) || t.contains(QLatin1String("DECIMAL")))
        return Column::Kind::Real;
    if (t.contains(QLatin1String("BLOB")) || t.contains(QLatin1String("BYTEA")))
        return Column::Kind::Blob;
    return Column::Kind::Text;
}

bool listTables(const QSqlDatabase &db, const Dialect &dialect, QStringList *names, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(dialect.listTables)) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    names->clear();
    while (q.next())
        *names << q.value(0).toString();
    return true;
}

bool listColumns(const QSqlDatabase &db, const Dialect &dialect, const QString &table, QList<Column> *columns,
                 QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(dialect.listColumns)) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    q.bindValue(0, table);
    if (!q.exec()) {
        *error = Database::errorText(q.lastError());
        return false;
    }
    columns->clear();
    while (q.next()) {
        Column c;
        c.name = q.value(0).toString();
        c.declaredType = q.value(1).toString();
        c.kind = kindOf(c.declaredType);
        columns->append(c);
    }
    return true;
}

QStringList namesOf(const QList<Column> &columns)
{
    QStringList names;
    for (const Column &c : columns)
        names << c.name;
    return names;
}

QString typeFor(const Dialect &dialect, Column::Kind kind)
{
    switch (kind) {
    case Column::Kind::Integer: return dialect.integerType;
    case Column::Kind::Real: return dialect.realType;
    case Column::Kind::Boolean: return dialect.booleanType;
    case Column::Kind::Blob: return dialect.blobType;
    case Column::Kind::Text: break;
    }
    return dialect.textType;
}

bool createTable(QSqlDatabase &db, const Dialect &dialect, const TableDef &table,
                 const QStringList &extraColumns, QString *error)
{
    QStringList columns{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
    for (const QString &field : table.fields + besideFields())
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
    QList<Column> present;
    if (!listColumns(db, dialect, table.name, &present, error))
        return false;
    QStringList copied, extras;
    for (const Column &field : present) {
        copied << Dialect::quote(field.name);
        if (containsName(table.fields + besideFields(), field.name))
            continue;
        extras << Dialect::quote(field.name) + QLatin1Char(' ') + typeFor(dialect, field.kind);
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

// The indexes that read a span of time: every table by its first-store
// stamp, the launch records by their start.  Made where missing.
bool createTimeIndexes(QSqlDatabase &db, QString *error)
{
    QList<QPair<QString, QString>> indexed;
    for (const TableDef &table : schema())
        indexed.append({table.name, stampedAtColumn()});
    indexed.append({launchlog::tableName(), QStringLiteral("StartedAtUtc")});
    // Every record window's move looks for its entry's open conflicts.
    indexed.append({mergeConflictTable(), QStringLiteral("RowEntryId")});
    for (const auto &[table, field] : indexed) {
        const QString sql = QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                                .arg(Dialect::quote(table + field), Dialect::quote(table), Dialect::quote(field));
        if (!run(db, sql, error))
            return false;
    }
    return true;
}

// Adds the text fields a table of the program's own lacks.
bool addMissingTextFields(QSqlDatabase &db, const Dialect &dialect, const QString &table, const QStringList &fields,
                          QString *error)
{
    QList<Column> columns;
    if (!listColumns(db, dialect, table, &columns, error))
        return false;
    const QStringList present = namesOf(columns);
    for (const QString &field : fields) {
        if (containsName(present, field))
            continue;
        if (!run(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                         .arg(Dialect::quote(table), Dialect::quote(field), dialect.textType), error))
            return false;
    }
    return true;
}

// A table of the program's own whose fields all hold text, with the
// hidden key and a unique index on one field: made when missing, its
// missing fields added.
bool textTable(QSqlDatabase &db, const Dialect &dialect, const QStringList &existing, const QString &table,
               const QStringList &fields, const QString &unique, QString *error)
{
    if (containsName(existing, table))
        return addMissingTextFields(db, dialect, table, fields, error);
    QStringList columns{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
    for (const QString &field : fields)
        columns << Dialect::quote(field) + QLatin1Char(' ') + dialect.textType;
    return run(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(Dialect::quote(table), columns.join(QStringLiteral(", "))), error)
           && run(db, QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                          .arg(Dialect::quote(table + unique), Dialect::quote(table), Dialect::quote(unique)), error);
}

// Creates the missing tables and adds the missing fields; nothing that is
// there already is touched.  Runs inside the caller's transaction.
bool createMissing(QSqlDatabase &db, const Dialect &dialect, QString *error)
{
    QStringList existing;
    if (!listTables(db, dialect, &existing, error))
        return false;
    for (const TableDef &table : schema()) {
        if (!containsName(existing, table.name)) {
            if (!createTable(db, dialect, table, {}, error))
                return false;
            continue;
        }
        QList<Column> columns;
        if (!listColumns(db, dialect, table.name, &columns, error))
            return false;
        const QStringList present = namesOf(columns);
        if (!containsName(present, keyColumn())) {
            if (!addKey(db, dialect, table, error))
                return false;
            continue;
        }
        for (const QString &field : table.fields + besideFields()) {
            if (containsName(present, field))
                continue;
            const QString sql = QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                                    .arg(Dialect::quote(table.name), columnDefinition(dialect, table, field));
            if (!run(db, sql, error))
                return false;
        }
    }
    if (!containsName(existing, historyTable())) {
        QStringList columns{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
        for (const QString &field : historyFields() + QStringList{entryIdColumn()})
            columns << Dialect::quote(field) + QLatin1Char(' ')
                           + (field == QLatin1String("RowKey") ? dialect.integerType : dialect.textType);
        if (!run(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(Dialect::quote(historyTable()), columns.join(QStringLiteral(", "))), error)
            || !run(db, QStringLiteral("CREATE INDEX \"RecordHistoryRow\" ON %1 (\"TableName\", \"RowKey\")")
                            .arg(Dialect::quote(historyTable())), error))
            return false;
    } else if (!addMissingTextFields(db, dialect, historyTable(), {entryIdColumn()}, error)) {
        return false;
    }
    if (!textTable(db, dialect, existing, mergeConflictTable(), mergeConflictFields(), entryIdColumn(), error)
        || !textTable(db, dialect, existing, syncStateTable(), syncStateFields(), QStringLiteral("Server"), error))
        return false;
    return launchlog::createMissing(db, dialect, existing, error)
           && attachments::createMissing(db, dialect, existing, error) && createTimeIndexes(db, error)
           && entryids::giveMissing(db, error);
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
bool upgrade(QSqlDatabase &db, const Dialect &dialect, const QString &refuseNew, QString *error)
{
    // A quick look first; a logbook that has no version yet (on a server:
    // no version table) is checked again under the lock below.
    bool ok = false;
    if (readVersion(db, dialect, &ok, nullptr) >= kSchemaVersion && ok)
        return true;

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
        // A database that may not take a new logbook still serves the
        // one that is there.
        if (!refuseNew.isEmpty()) {
            QStringList existing;
            if (!listTables(db, dialect, &existing, error))
                return fail();
            if (std::none_of(schema().begin(), schema().end(),
                             [&](const TableDef &t) { return containsName(existing, t.name); })) {
                *error = refuseNew;
                return fail();
            }
        }
        if (!createMissing(db, dialect, error))
            return fail();
        for (const QString &sql : dialect.writeVersion) {
            const QString statement = sql.contains(QLatin1String("%1")) ? sql.arg(kSchemaVersion) : sql;
            if (!run(db, statement, error))
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
    quint64 generation = 0;
    FileIdentity file;   // the logbook file the connection opened

    // Connects the (already added) connection and sets up the session.
    bool connect(QString *error)
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (!connection::configure(db, where, error))
            return false;
        if (!db.open()) {
            *error = errorText(db.lastError());
            return false;
        }
        for (const QString &sql : dialect->sessionStatements) {
            if (!runWhileBusy(db, *dialect, sql, error)) {
                db.close();
                return false;
            }
        }
        // The engine opens the file at once; this is the file it holds.
        if (dialect->fileBased)
            file = fileIdentity(where.location);
        return true;
    }
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
    if (where.location.trimmed().isEmpty()) {
        *error = QStringLiteral("No database location is set.");
        return nullptr;
    }
    if (dialect->fileBased) {
        const QString path = QFileInfo(where.location).absoluteFilePath();
        QMutexLocker lock(&openedFilesLock);
        if (openedFiles().contains(path) && !QFileInfo::exists(path)) {
            *error = QStringLiteral(
                         "The logbook file \"%1\" is missing: it was removed or moved while the program "
                         "was running. No new, empty logbook is made in its place. Put the logbook file "
                         "back at that place (or a copy of it) and try again.")
                         .arg(nativePath(path));
            return nullptr;
        }
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
    TextSettings text;
    if (!database->d->connect(error) || !readTextSettings(db, *dialect, &text, error)
        || !upgrade(db, *dialect, text.refusal, error)) {
        if (dialect->fileBased && isDamageMessage(*error))
            *error = damagedMessage(where.location, *error);
        return nullptr;
    }
    if (dialect->fileBased) {
        QMutexLocker lock(&openedFilesLock);
        openedFiles().insert(QFileInfo(where.location).absoluteFilePath());
    }
    {
        QMutexLocker lock(&noticesLock);
        notices().insert(noticeKey(where), text.notice);
    }
    return database;
}

QString Database::notice(const DatabaseLocation &where)
{
    QMutexLocker lock(&noticesLock);
    return notices().value(noticeKey(where));
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

bool Database::tables(QStringList *names, QString *error) const
{
    QString ignored;
    return listTables(connection(), *d->dialect, names, error ? error : &ignored);
}

bool Database::columns(const QString &table, QList<Column> *columns, QString *error) const
{
    QString ignored;
    return listColumns(connection(), *d->dialect, table, columns, error ? error : &ignored);
}

bool Database::isBroken() const
{
    return connection::isBroken(connection());
}

bool Database::reopen(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    {
        QSqlDatabase db = connection();
        db.close();
    }
    ++d->generation;
    return d->connect(error);
}

quint64 Database::generation() const
{
    return d->generation;
}

bool Database::fileIsInPlace(QString *error) const
{
    return fileIsInPlace(d->file, error);
}

FileIdentity Database::openedFile() const
{
    return d->file;
}

bool Database::fileIsInPlace(const FileIdentity &asOpened, QString *error) const
{
    if (!d->dialect->fileBased || !asOpened.exists)
        return true;
    const FileIdentity now = fileIdentity(d->where.location);
    if (now == asOpened && now == d->file)
        return true;
    if (error) {
        const QString what = now.exists ? QStringLiteral("another file stands at that place now")
                                        : QStringLiteral("there is no file at that place now");
        const QString todo = now.exists
            ? QStringLiteral("Note down what it holds, then close the window and open it again to work "
                             "on the logbook file that is there now.")
            : QStringLiteral("Put the logbook file back at that place and store the entry again, or note "
                             "down what it holds.");
        *error = QStringLiteral("The logbook file \"%1\" was removed or replaced while the program was "
                                "running (%2). This entry was not stored; it stays on screen. %3")
                     .arg(nativePath(d->where.location), what, todo);
    }
    return false;
}

QString Database::failureText(const QSqlError &error) const
{
    const QString engine = errorText(error);
    if (!d->dialect->fileBased)
        return engine;
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric) & 0xff;
    constexpr int kCorrupt = 11, kNotADatabase = 26;   // SQLITE_CORRUPT, SQLITE_NOTADB
    if ((numeric && (code == kCorrupt || code == kNotADatabase)) || isDamageMessage(engine))
        return damagedMessage(d->where.location, engine);
    return engine;
}

QString Database::columnType(const Dialect &dialect, Column::Kind kind)
{
    return typeFor(dialect, kind);
}

int Database::schemaVersion()
{
    return kSchemaVersion;
}

bool Database::storedSchemaVersion(int *version, QString *error) const
{
    QSqlDatabase db = connection();
    bool ok = false;
    *version = readVersion(db, *d->dialect, &ok, error);
    return ok;
}

QVariant Database::coerced(const QVariant &value, Column::Kind kind)
{
    if (value.isNull())
        return QVariant();
    switch (kind) {
    case Column::Kind::Boolean: return QVariant(value.toBool());
    case Column::Kind::Integer: return QVariant(value.toLongLong());
    case Column::Kind::Real: return QVariant(value.toDouble());
    case Column::Kind::Blob: return QVariant(value.toByteArray());
    case Column::Kind::Text: break;
    }
    return QVariant(value.toString());
}

QString Database::errorText(const QSqlError &error)
{
    QString engine = error.databaseText().trimmed();
    // A server's report carries the statement's position and its error
    // code after the message itself; the message is what the user needs.
    const int position = engine.indexOf(QLatin1String("\nLINE "));
    if (position > 0)
        engine.truncate(position);
    // The code stands in brackets at the end; a broken connection has no
    // code, which leaves the brackets empty on a line of their own.
    static const QRegularExpression code(QStringLiteral("\\s*\\(([0-9A-Z]{5})?\\)$"));
    engine.remove(code);
    engine = engine.trimmed();
    if (!engine.isEmpty())
        return engine;
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("The database engine reported an unknown failure.") : text;
}

} // namespace bravik::logbook
