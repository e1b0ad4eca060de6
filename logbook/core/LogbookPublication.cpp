#include "LogbookPublication.h"

#include "LaunchLog.h"
#include "Schema.h"

#include <QSqlQuery>

namespace bravik::logbook {

namespace {

bool failed(const QSqlQuery &q, QString *error)
{
    *error = Database::errorText(q.lastError());
    return false;
}

// The first column of the first row, or an invalid value; false on failure.
bool ask(QSqlDatabase db, const QString &sql, const QVariantList &bound, QVariant *answer, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return failed(q, error);
    for (int i = 0; i < bound.size(); ++i)
        q.bindValue(i, bound.at(i));
    if (!q.exec())
        return failed(q, error);
    *answer = q.next() ? q.value(0) : QVariant();
    return true;
}

} // namespace

QString publicationName()
{
    return QStringLiteral("bravik_logbook");
}

QStringList publishedTables()
{
    QStringList tables;
    for (const TableDef &t : schema() + systemTables())
        tables << t.name;
    return tables;
}

bool publishLogbook(Database &db, QStringList *notes, QString *error)
{
    if (db.dialect().fileBased) {
        *error = QStringLiteral("A logbook file has no shore copy: only a logbook on a PostgreSQL server is "
                                "published.");
        return false;
    }
    QSqlDatabase conn = db.connection();
    const QString name = publicationName();
    QVariant everything;
    if (!ask(conn, QStringLiteral("SELECT puballtables FROM pg_catalog.pg_publication WHERE pubname = ?"), {name},
             &everything, error))
        return false;
    if (everything.isValid() && everything.toBool()) {
        *error = QStringLiteral("The publication %1 publishes every table, the logbook's schema version too; the "
                                "program's next upgrade of this logbook would fail on it. Drop it (DROP "
                                "PUBLICATION %1) and publish the logbook again.")
                     .arg(name);
        return false;
    }
    QStringList missing;
    for (const QString &table : publishedTables()) {
        QVariant in;
        if (!ask(conn,
                 QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_catalog.pg_publication_rel r "
                                "JOIN pg_catalog.pg_publication p ON p.oid = r.prpubid "
                                "WHERE p.pubname = ? AND r.prrelid = pg_catalog.to_regclass(pg_catalog.quote_ident(?)))"),
                 {name, table}, &in, error))
            return false;
        if (!in.toBool())
            missing << table;
    }
    QStringList quoted;
    for (const QString &t : missing)
        quoted << Dialect::quote(t);
    const QString list = quoted.join(QStringLiteral(", "));
    QSqlQuery q(conn);
    if (!everything.isValid()) {
        if (!q.exec(QStringLiteral("CREATE PUBLICATION %1 FOR TABLE %2").arg(Dialect::quote(name), list)))
            return failed(q, error);
        *notes << QStringLiteral("The publication %1 was made with %2 tables: %3.")
                      .arg(name)
                      .arg(missing.size())
                      .arg(missing.join(QStringLiteral(", ")));
    } else if (!missing.isEmpty()) {
        if (!q.exec(QStringLiteral("ALTER PUBLICATION %1 ADD TABLE %2").arg(Dialect::quote(name), list)))
            return failed(q, error);
        *notes << QStringLiteral("Added to the publication %1: %2. Ashore, after upgrading the shore's tables: "
                                 "ALTER SUBSCRIPTION … REFRESH PUBLICATION.")
                      .arg(name, missing.join(QStringLiteral(", ")));
    } else {
        *notes << QStringLiteral("The publication %1 already has every table of the logbook.").arg(name);
    }
    QVariant level;
    if (!ask(conn, QStringLiteral("SELECT pg_catalog.current_setting('wal_level')"), {}, &level, error))
        return false;
    if (level.toString() != QLatin1String("logical"))
        *notes << QStringLiteral("The server's wal_level is \"%1\": nothing reaches the shore until it is set to "
                                 "logical (ALTER SYSTEM SET wal_level = logical) and the server is restarted.")
                      .arg(level.toString());
    return true;
}

} // namespace bravik::logbook
