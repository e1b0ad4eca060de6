#pragma once

#include "Schema.h"

#include "Settings.h"
#include "WindowManager.h"

#include "TestSql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>
#include <QVariant>

namespace bravik::test {

// A second, raw connection to the logbook the settings name, to look at
// what the windows stored (and to spoil it on purpose).
class LogbookProbe
{
public:
    ~LogbookProbe() { close(); }

    void close()
    {
        if (!QSqlDatabase::contains(kName))
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(kName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(kName);
    }

    // Runs SQL; returns the first column of the first row (invalid when
    // there is none).  An engine error fails the test.
    QVariant sql(const QString &text, const QVariantList &bound = {}) { return test::runSql(connection(), text, bound); }

    // 0 for a table that does not exist yet.
    int count(const QString &table)
    {
        if (!columns(table).size())
            return 0;
        return sql(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)).toInt();
    }

    // The field of the n-th row (0-based, in the table's order).
    QVariant field(const QString &table, const QString &field, int row = 0)
    {
        return sql(QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY \"BravikKey\" LIMIT 1 OFFSET %3")
                       .arg(field, table)
                       .arg(row));
    }

    QStringList columns(const QString &table)
    {
        QStringList out;
        QSqlQuery q(connection());
        if (isPostgres()) {
            q.prepare(QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                                     "current_schema() AND table_name = ? ORDER BY ordinal_position"));
            q.bindValue(0, table);
            q.exec();
            while (q.next())
                out << q.value(0).toString();
            return out;
        }
        q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
        while (q.next())
            out << q.value(1).toString();
        return out;
    }

    int totalRows()
    {
        int n = 0;
        for (const bravik::logbook::TableDef &t : bravik::logbook::schema())
            n += count(t.name);
        return n;
    }

    // The logbook is on the PostgreSQL test server (see TestPostgres.h).
    static bool isPostgres() { return bravik::settings().databaseDriver == QLatin1String("QPSQL"); }

private:
    QSqlDatabase connection()
    {
        QSqlDatabase db = QSqlDatabase::database(kName, false);
        if (!db.isValid()) {
            if (isPostgres()) {
                db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kName);
                db.setConnectOptions(bravik::settings().database);
            } else {
                db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
                db.setDatabaseName(bravik::settings().database);
                db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            }
        }
        if (!db.isOpen())
            db.open();
        return db;
    }

    inline static const QString kName = QStringLiteral("logbook-probe");
};

// A do-nothing window standing in for one another part of the program
// owns (the main window, the notice, the template chooser).
class StubWindow : public bravik::ManagedWindow
{
};

inline void registerStub(const QString &name)
{
    bravik::windows().registerWindow(name, [] { return new StubWindow; });
}

} // namespace bravik::test
