#pragma once

#include "Dialect.h"
#include "FileIdentity.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <memory>

namespace bravik::logbook {

// How to reach the logbook: a driver ("QSQLITE" for a file, "QPSQL" for a
// PostgreSQL server) and its location (a file path or a connection string).
struct DatabaseLocation
{
    QString driver = QStringLiteral("QSQLITE");
    QString location;

    bool operator==(const DatabaseLocation &) const = default;
};

// One field of a table as the engine has it.
struct Column
{
    enum class Kind { Text, Boolean, Integer, Real, Blob };
    QString name;
    QString declaredType;
    Kind kind = Kind::Text;
};

// One connection to the logbook.  Opening it creates the file, its folder
// and any missing table or field.  Each record window holds its own.
class Database
{
public:
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (and creates or upgrades) the logbook; nullptr with the
    // engine's message in `error` when that fails.
    static std::unique_ptr<Database> open(const DatabaseLocation &where, QString *error);

    // What the crew should know about the logbook at that location, as
    // its last opening found it (empty when nothing): on a server whose
    // text settings fold only the letters A to Z, that Find Entries tells
    // other letters' cases apart.  A database whose text is not UTF-8
    // takes no new logbook: open() refuses to make the tables there.
    static QString notice(const DatabaseLocation &where);

    QSqlDatabase connection() const;
    const DatabaseLocation &location() const;
    const Dialect &dialect() const;

    // The tables this connection sees, and the fields of one of them (none
    // when it does not exist); false with the engine's message on failure.
    bool tables(QStringList *names, QString *error) const;
    bool columns(const QString &table, QList<Column> *columns, QString *error) const;

    // A server connection can break (the server restarted, the network
    // went away); it does not come back by itself.  isBroken() tells,
    // without asking the server; reopen() connects again.  Every reopen
    // counts up generation(): statements prepared before it are gone.
    bool isBroken() const;
    bool reopen(QString *error);
    quint64 generation() const;

    // A logbook file can be deleted, moved or replaced by another file
    // while the program runs; the connection would go on writing into the
    // file it holds, which is no longer the logbook.  True when the file
    // at the logbook's path is still the one this connection opened (and
    // always for a server); otherwise false with a message naming the path.
    bool fileIsInPlace(QString *error) const;
    // The same for a row read while the connection held the file
    // `asOpened` (it may have been reopened onto a file put in its place
    // since), and that file.
    bool fileIsInPlace(const FileIdentity &asOpened, QString *error) const;
    FileIdentity openedFile() const;

    // The engine's words for a failure on this logbook; for a damaged
    // logbook file also which file it is and what the crew can do.
    QString failureText(const QSqlError &error) const;

    // The dialect's column type for a field of that kind.
    static QString columnType(const Dialect &dialect, Column::Kind kind);

    // The version of the tables this program creates; a logbook at an
    // older version is upgraded in place when opened.
    static int schemaVersion();
    // The version the logbook's tables have now (a newer program may have
    // made them); false with the engine's message.
    bool storedSchemaVersion(int *version, QString *error) const;

    // A value read from one engine, as the other's field of that kind
    // takes it (a missing value stays missing).
    static QVariant coerced(const QVariant &value, Column::Kind kind);

    // The engine's own words for a failure (Qt's wording when the engine
    // gave none).
    static QString errorText(const QSqlError &error);

private:
    Database();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
