#include "Connection.h"

#include "Database.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QVariant>
#include <QtGlobal>

#include <libpq-fe.h>

namespace bravik::logbook::connection {

namespace {

// A value as libpq reads it in a keyword string: in single quotes, with
// backslash and quote escaped.
QString quoteValue(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    v.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// Limits that keep a lost server or network from freezing the windows for
// minutes: how long to wait for a connection, and how soon an established
// connection whose peer stopped answering counts as lost.  Each applies
// only where neither the connection string nor the environment sets it.
struct Default
{
    const char *keyword;
    const char *environment;
    const char *value;
};
constexpr Default kDefaults[] = {
    {"connect_timeout", "PGCONNECT_TIMEOUT", "10"},
    {"keepalives_idle", nullptr, "10"},
    {"keepalives_interval", nullptr, "5"},
    {"keepalives_count", nullptr, "3"},
    {"tcp_user_timeout", nullptr, "20000"},
};

} // namespace

bool looksLikePostgres(const QString &text)
{
    static const QRegularExpression keyword(QStringLiteral(
        "^\\s*(host|hostaddr|port|dbname|user|service|passfile|sslmode|options|application_name|"
        "connect_timeout|target_session_attrs|sslrootcert|sslcert|sslkey|gssencmode)\\s*="));
    const QString t = text.trimmed();
    return t.startsWith(QLatin1String("postgresql://")) || t.startsWith(QLatin1String("postgres://"))
           || keyword.match(t).hasMatch();
}

DatabaseLocation fromText(const QString &text)
{
    if (looksLikePostgres(text))
        return {QStringLiteral("QPSQL"), text.trimmed()};
    return {QStringLiteral("QSQLITE"), text};
}

QString postgresOptions(const QString &location, QString *error)
{
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(location.toUtf8().constData(), &parseError);
    if (!options) {
        const QString why = parseError ? QString::fromUtf8(parseError).trimmed() : QString();
        PQfreemem(parseError);
        *error = QStringLiteral("The database connection string cannot be read: %1")
                     .arg(why.isEmpty() ? QStringLiteral("out of memory") : why);
        return {};
    }

    QStringList parts;
    QStringList given;
    QString problem;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString keyword = QString::fromUtf8(o->keyword);
        const QString value = QString::fromUtf8(o->val);
        if (keyword == QLatin1String("password")) {
            problem = QStringLiteral(
                "The database connection string holds a password. Keep the password in the "
                "PostgreSQL password file (~/.pgpass, or the file PGPASSFILE names) instead; "
                "the program never stores one.");
            break;
        }
        if (value.contains(QLatin1Char(';'))) {
            // The driver turns every ";" into a blank before libpq sees it.
            problem = QStringLiteral("The database connection setting %1 holds a \";\", which cannot be "
                                     "passed on to the server; set it in a service file instead.")
                          .arg(keyword);
            break;
        }
        given << keyword;
        parts << keyword + QLatin1Char('=') + quoteValue(value);
    }
    PQconninfoFree(options);
    if (!problem.isEmpty()) {
        *error = problem;
        return {};
    }
    for (const Default &d : kDefaults) {
        const QString keyword = QString::fromLatin1(d.keyword);
        if (given.contains(keyword) || (d.environment && qEnvironmentVariableIsSet(d.environment)))
            continue;
        parts << keyword + QLatin1Char('=') + QString::fromLatin1(d.value);
    }
    return parts.join(QLatin1Char(' '));
}

bool configure(QSqlDatabase &db, const DatabaseLocation &where, QString *error)
{
    if (where.driver == QLatin1String("QPSQL")) {
        const QString options = postgresOptions(where.location, error);
        if (options.isEmpty())
            return false;
        // The driver adds host and dbname only when they are set here;
        // everything goes through the options so libpq reads it whole.
        db.setDatabaseName(QString());
        db.setHostName(QString());
        db.setConnectOptions(options);
        return true;
    }
    db.setDatabaseName(where.location);
    if (const Dialect *dialect = Dialect::forDriver(where.driver))
        db.setConnectOptions(dialect->connectOptions);
    return true;
}

bool isBroken(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.isOpen())
        return true;
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "PGconn*") == 0) {
        PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
        return !conn || PQstatus(conn) == CONNECTION_BAD;
    }
    return false;
}

} // namespace bravik::logbook::connection
