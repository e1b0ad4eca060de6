#include "TestPostgres.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <atomic>

namespace bravik::test {

namespace {

const QString kAdmin = QStringLiteral("bravik-test-admin");

QSqlDatabase admin(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(kAdmin, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kAdmin);
        db.setConnectOptions(postgresServer() + QStringLiteral(" options='-cclient_min_messages=warning'"));
    }
    if (!db.isOpen() && !db.open())
        *error = QStringLiteral("The PostgreSQL test server (BRAVIK_TEST_PG=\"%1\") cannot be reached: %2")
                     .arg(postgresServer(), db.lastError().text());
    return db;
}

} // namespace

bool postgresRequested()
{
    return qEnvironmentVariable("BRAVIK_TEST_DRIVER") == QLatin1String("QPSQL");
}

QString postgresServer()
{
    return qEnvironmentVariable("BRAVIK_TEST_PG");
}

QString postgresSkipReason()
{
    if (!qEnvironmentVariableIsSet("BRAVIK_TEST_PG"))
        return QStringLiteral("PostgreSQL cases skipped: no test server (set BRAVIK_TEST_PG to a libpq "
                              "connection string; ./dev.sh test starts a throwaway server and sets it)");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("PostgreSQL cases skipped: Qt's QPSQL driver is not installed (libqt6sql6-psql)");
    return {};
}

PostgresSchema::PostgresSchema()
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("bravik_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QSqlDatabase db = admin(&m_error);
    if (!m_error.isEmpty())
        return;
    const QString s = QLatin1Char('"') + m_name + QLatin1Char('"');
    const QStringList statements{
        QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(s),
        QStringLiteral("CREATE SCHEMA %1").arg(s),
        QStringLiteral("CREATE FUNCTION %1.group_concat_step(acc text, v text, sep text) RETURNS text "
                       "LANGUAGE sql IMMUTABLE AS 'SELECT CASE WHEN v IS NULL THEN acc WHEN acc IS NULL "
                       "THEN v ELSE acc || sep || v END'").arg(s),
        QStringLiteral("CREATE AGGREGATE %1.group_concat(text, text) (SFUNC = %1.group_concat_step, STYPE = text)").arg(s),
        QStringLiteral("CREATE FUNCTION %1.group_concat_step(acc text, v text) RETURNS text LANGUAGE sql "
                       "IMMUTABLE AS 'SELECT %1.group_concat_step(acc, v, '','')'").arg(s),
        QStringLiteral("CREATE AGGREGATE %1.group_concat(text) (SFUNC = %1.group_concat_step, STYPE = text)").arg(s),
        QStringLiteral("CREATE FUNCTION %1.typeof(anyelement) RETURNS text LANGUAGE sql IMMUTABLE "
                       "AS 'SELECT pg_catalog.pg_typeof($1)::text'").arg(s),
    };
    for (const QString &sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            m_error = q.lastError().text() + QStringLiteral(" in ") + sql;
            return;
        }
    }
}

PostgresSchema::~PostgresSchema()
{
    QString error;
    QSqlDatabase db = admin(&error);
    if (error.isEmpty())
        QSqlQuery(db).exec(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(m_name));
}

PostgresDatabase::PostgresDatabase(const QString &clauses)
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("bravik_test_db_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QSqlDatabase db = admin(&m_error);
    if (!m_error.isEmpty())
        return;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE DATABASE \"%1\" %2").arg(m_name, clauses)))
        m_error = q.lastError().text();
}

PostgresDatabase::~PostgresDatabase()
{
    // Every connection to it has to be closed before; one left open keeps it.
    QString error;
    QSqlDatabase db = admin(&error);
    if (error.isEmpty())
        QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_name));
}

QString PostgresDatabase::location() const
{
    // The server's own options with the database named last, which wins.
    return postgresServer() + QStringLiteral(" dbname=%1").arg(m_name);
}

QString PostgresSchema::location() const
{
    return postgresServer() + QStringLiteral(" options='-csearch_path=%1 -cclient_min_messages=warning'").arg(m_name);
}

} // namespace bravik::test
