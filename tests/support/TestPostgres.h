#pragma once

#include <QString>

namespace bravik::test {

// Tests that can run on a PostgreSQL server as well as on a SQLite file.
//
//   BRAVIK_TEST_DRIVER=QPSQL   run this test on PostgreSQL
//   BRAVIK_TEST_PG=conninfo    the server: a libpq keyword string (the PG*
//                              environment variables fill in the rest);
//                              ./dev.sh test starts a throwaway server and
//                              sets both
bool postgresRequested();
QString postgresServer();
// Why a PostgreSQL run cannot happen (empty when it can).
QString postgresSkipReason();

// A fresh schema on the test server, dropped again at the end, so every
// test starts on an empty logbook.  For probing what was stored it also
// holds group_concat(text[, separator]) and typeof(value), which work as
// SQLite's do.
class PostgresSchema
{
public:
    PostgresSchema();
    ~PostgresSchema();
    PostgresSchema(const PostgresSchema &) = delete;
    PostgresSchema &operator=(const PostgresSchema &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    // A libpq connection string for a logbook in this schema.
    QString location() const;

private:
    QString m_name;
    QString m_error;
};

// A database of its own on the test server, made with the given clauses
// of CREATE DATABASE ("ENCODING 'SQL_ASCII' …") and dropped at the end.
class PostgresDatabase
{
public:
    explicit PostgresDatabase(const QString &clauses);
    ~PostgresDatabase();
    PostgresDatabase(const PostgresDatabase &) = delete;
    PostgresDatabase &operator=(const PostgresDatabase &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    // A libpq connection string for it.
    QString location() const;

private:
    QString m_name;
    QString m_error;
};

} // namespace bravik::test
