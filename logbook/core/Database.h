#pragma once

#include "Dialect.h"

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

    QSqlDatabase connection() const;
    const DatabaseLocation &location() const;
    const Dialect &dialect() const;

    // The version of the tables this program creates; a logbook at an
    // older version is upgraded in place when opened.
    static int schemaVersion();

    // The engine's own words for a failure (Qt's wording when the engine
    // gave none).
    static QString errorText(const QSqlError &error);

private:
    Database();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
