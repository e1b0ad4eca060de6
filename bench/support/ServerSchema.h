#pragma once

// A schema of a benchmark's own on a PostgreSQL server, so nothing of the
// crew's is touched; made afresh and removed at the end.
#include "Connection.h"
#include "Database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace bravik::bench {

// The server a benchmark runs on: BRAVIK_BENCH_PG, else BRAVIK_TEST_PG
// (a libpq connection string); empty when none is named.
inline QString serverFromEnvironment()
{
    const QString server = qEnvironmentVariable("BRAVIK_BENCH_PG");
    return server.isEmpty() ? qEnvironmentVariable("BRAVIK_TEST_PG") : server;
}

class ServerSchema
{
public:
    explicit ServerSchema(const QString &server)
        : m_server(server)
    {
        exec(QStringLiteral("DROP SCHEMA IF EXISTS bravik_bench CASCADE"));
        exec(QStringLiteral("CREATE SCHEMA bravik_bench"));
    }
    ~ServerSchema() { exec(QStringLiteral("DROP SCHEMA IF EXISTS bravik_bench CASCADE")); }
    ServerSchema(const ServerSchema &) = delete;
    ServerSchema &operator=(const ServerSchema &) = delete;

    // The logbook in that schema.
    logbook::DatabaseLocation where() const
    {
        return {QStringLiteral("QPSQL"),
                m_server + QStringLiteral(" options='-csearch_path=bravik_bench -cclient_min_messages=warning'")};
    }

    // Runs one statement on a connection of its own; ends the benchmark
    // when it fails.
    void exec(const QString &sql) const
    {
        const QString name = QStringLiteral("bench-admin");
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            QString error;
            const logbook::DatabaseLocation admin{
                QStringLiteral("QPSQL"), m_server + QStringLiteral(" options='-cclient_min_messages=warning'")};
            if (!logbook::connection::configure(c, admin, &error) || !c.open()) {
                std::fprintf(stderr, "benchmark: %s\n",
                             qPrintable(error.isEmpty() ? logbook::Database::errorText(c.lastError()) : error));
                std::exit(1);
            }
            QSqlQuery q(c);
            if (!q.exec(sql)) {
                std::fprintf(stderr, "benchmark: %s\n", qPrintable(q.lastError().text()));
                std::exit(1);
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    QString m_server;
};

} // namespace bravik::bench
