#pragma once

#include <QSqlDatabase>
#include <QString>

namespace bravik::logbook {

struct DatabaseLocation;

// How a connection to the logbook is made, for either engine.
namespace connection {

// The location a user typed (settings, command line): a postgresql:// or
// postgres:// URI, or a libpq connection string such as "host=deck
// dbname=logbook" or "service=bravik", means the PostgreSQL server;
// anything else is a SQLite file path.
DatabaseLocation fromText(const QString &text);

// True when `text` reads as a PostgreSQL connection string or URI.
bool looksLikePostgres(const QString &text);

// Sets up `db` (added with the location's driver) to reach the location.
// A PostgreSQL connection string or URI is read by libpq itself, so every
// libpq keyword, the PG* environment variables, ~/.pgpass and service
// files work as they do for psql.  A password written into the string is
// refused: it belongs in ~/.pgpass (or PGPASSFILE), not in the program's
// settings.  False with a message when the string cannot be used.
bool configure(QSqlDatabase &db, const DatabaseLocation &where, QString *error);

// True when the connection can no longer reach its server (closed, or the
// server went away); statements on it fail until it is opened again.
bool isBroken(const QSqlDatabase &db);

// The libpq keyword string a PostgreSQL location turns into (what is
// handed to the driver), or empty with `error` set.
QString postgresOptions(const QString &location, QString *error);

} // namespace connection
} // namespace bravik::logbook
