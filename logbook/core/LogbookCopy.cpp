#include "LogbookCopy.h"

#include "Schema.h"
#include "WaitForJob.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>
#include <memory>

namespace bravik::logbook {

namespace {

constexpr int kBatch = 2000;

// "1 row", "2 rows".
QString rowsText(qint64 rows)
{
    return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows);
}

struct TablePlan
{
    QString name;
    QList<Column> columns;         // the source's fields, key first
    QList<Column::Kind> targetKinds;
    QStringList addToTarget;       // fields the target table lacks
    qint64 rows = 0;
};

class Copier
{
public:
    Copier(Database &source, Database &target, const std::function<void(const QString &)> &progress)
        : src(source), tgt(target), report(progress)
    {
    }

    bool plan(QString *error)
    {
        QStringList busy;
        // The entries, the launches and the edit history.
        const QList<TableDef> copied = schema() + systemTables();
        for (const TableDef &def : copied) {
            TablePlan p;
            p.name = def.name;
            QList<Column> targetColumns;
            if (!src.columns(def.name, &p.columns, error) || !tgt.columns(def.name, &targetColumns, error))
                return false;
            for (const Column &c : p.columns) {
                Column::Kind kind = c.kind;
                bool found = false;
                for (const Column &t : targetColumns) {
                    if (t.name.compare(c.name, Qt::CaseInsensitive) == 0) {
                        kind = t.kind;
                        found = true;
                    }
                }
                if (!found)
                    p.addToTarget << Dialect::quote(c.name) + QLatin1Char(' ') + Database::columnType(tgt.dialect(), c.kind);
                p.targetKinds << kind;
            }
            qint64 held = 0;
            if (!count(tgt, def.name, &held, error) || !count(src, def.name, &p.rows, error))
                return false;
            if (held > 0)
                busy << QStringLiteral("\"%1\" (%2)").arg(def.name, rowsText(held));
            total += p.rows;
            plans << p;
        }
        if (!busy.isEmpty()) {
            *error = QStringLiteral("The target logbook already holds rows in %1; nothing was copied. "
                                    "Copy into an empty logbook.")
                         .arg(busy.join(QStringLiteral(", ")));
            return false;
        }
        QStringList tables;
        if (src.tables(&tables, nullptr)) {
            for (const QString &t : tables) {
                const bool ours = std::any_of(copied.begin(), copied.end(), [&](const TableDef &d) {
                    return d.name.compare(t, Qt::CaseInsensitive) == 0;
                });
                if (!ours && t != QLatin1String("BravikSchema") && t != QLatin1String("sqlite_sequence"))
                    report(QStringLiteral("The table \"%1\" is not one of the logbook's and is not copied.").arg(t));
            }
        }
        return true;
    }

    bool copy(QString *error)
    {
        QSqlDatabase conn = tgt.connection();
        QSqlQuery tx(conn);
        if (!tx.exec(tgt.dialect().beginWrite)) {
            *error = Database::errorText(tx.lastError());
            return false;
        }
        for (const TablePlan &p : plans) {
            if (!copyTable(p, error)) {
                QSqlQuery(conn).exec(QStringLiteral("ROLLBACK"));
                *error += QStringLiteral("\nNothing was copied.");
                return false;
            }
        }
        if (!tx.exec(QStringLiteral("COMMIT"))) {
            *error = Database::errorText(tx.lastError()) + QStringLiteral("\nNothing was copied.");
            QSqlQuery(conn).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        report(QStringLiteral("Copied %1 in %2.")
                   .arg(rowsText(copied),
                        plans.size() == 1 ? QStringLiteral("1 table") : QStringLiteral("%1 tables").arg(plans.size())));
        return true;
    }

private:
    static bool count(Database &db, const QString &table, qint64 *rows, QString *error)
    {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(Dialect::quote(table))) || !q.next()) {
            *error = Database::errorText(q.lastError());
            return false;
        }
        *rows = q.value(0).toLongLong();
        return true;
    }

    bool fail(const QSqlQuery &q, QString *error)
    {
        *error = Database::errorText(q.lastError());
        return false;
    }

    bool copyTable(const TablePlan &p, QString *error)
    {
        QSqlDatabase conn = tgt.connection();
        for (const QString &column : p.addToTarget) {
            QSqlQuery q(conn);
            if (!q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(Dialect::quote(p.name), column)))
                return fail(q, error);
        }
        QStringList names, marks;
        int keyIndex = -1;
        for (int i = 0; i < p.columns.size(); ++i) {
            names << Dialect::quote(p.columns.at(i).name);
            marks << QStringLiteral("?");
            if (p.columns.at(i).name == keyColumn())
                keyIndex = i;
        }
        if (keyIndex < 0) {
            *error = QStringLiteral("The table \"%1\" has no field \"%2\".").arg(p.name, keyColumn());
            return false;
        }
        const QString fields = names.join(QStringLiteral(", "));
        QSqlQuery insert(conn);
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(Dialect::quote(p.name), fields, marks.join(QStringLiteral(", ")))))
            return fail(insert, error);
        QSqlQuery read(src.connection());
        read.setForwardOnly(true);
        if (!read.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? ORDER BY %3 LIMIT %4")
                              .arg(fields, Dialect::quote(p.name), Dialect::quote(keyColumn()))
                              .arg(kBatch)))
            return fail(read, error);

        QElapsedTimer sinceReport;
        sinceReport.start();
        qint64 done = 0;
        QVariant after = qint64(-1);   // keys start at 1
        for (;;) {
            read.bindValue(0, after);
            if (!read.exec())
                return fail(read, error);
            int inBatch = 0;
            while (read.next()) {
                ++inBatch;
                for (int i = 0; i < p.columns.size(); ++i)
                    insert.bindValue(i, Database::coerced(read.value(i), p.targetKinds.at(i)));
                after = read.value(keyIndex);
                if (!insert.exec())
                    return fail(insert, error);
                ++done;
                ++copied;
            }
            if (read.lastError().isValid())
                return fail(read, error);
            read.finish();
            if (sinceReport.elapsed() >= 1000 && inBatch > 0) {
                report(QStringLiteral("%1: %2 of %3 (%4 of %5 in all)")
                           .arg(p.name).arg(done).arg(rowsText(p.rows)).arg(copied).arg(total));
                sinceReport.restart();
            }
            if (inBatch < kBatch)
                break;
        }
        if (!tgt.dialect().followKeys.isEmpty()) {
            QSqlQuery q(conn);
            q.prepare(tgt.dialect().followKeys.arg(Dialect::quote(p.name), Dialect::quote(keyColumn())));
            q.bindValue(0, Dialect::quote(p.name));
            q.bindValue(1, keyColumn());
            if (!q.exec())
                return fail(q, error);
        }
        report(QStringLiteral("%1: %2").arg(p.name, rowsText(done)));
        return true;
    }

    Database &src;
    Database &tgt;
    std::function<void(const QString &)> report;
    QList<TablePlan> plans;
    qint64 total = 0;
    qint64 copied = 0;
};

} // namespace

bool copyLogbook(const DatabaseLocation &from, const DatabaseLocation &to,
                 const std::function<void(const QString &)> &progress, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    const auto report = progress ? progress : [](const QString &) {};
    if (from == to) {
        *error = QStringLiteral("The logbook to copy from and the one to copy to are the same.");
        return false;
    }
    const Dialect *fromDialect = Dialect::forDriver(from.driver);
    if (fromDialect && fromDialect->fileBased && !QFileInfo(from.location).isFile()) {
        *error = QStringLiteral("The logbook file \"%1\" does not exist.").arg(from.location);
        return false;
    }
    // One long job of the target's logbook service, which reads the source
    // on a second connection of the same thread.
    auto reached = std::make_shared<std::atomic_bool>(false);
    const std::optional<bool> copied = waitForLongJob<bool>(to, [from, report, reached](JobContext &c, QString *why) -> std::optional<bool> {
        reached->store(true);
        QString openError;
        Database *source = c.otherDatabase(from, &openError);
        if (!source) {
            *why = QStringLiteral("The logbook to copy from cannot be opened: %1").arg(openError);
            return std::nullopt;
        }
        Copier copier(*source, c.database(), report);
        if (!copier.plan(why) || !copier.copy(why))
            return std::nullopt;
        return true;
    }, error);
    if (!copied && !reached->load())
        *error = QStringLiteral("The logbook to copy to cannot be opened: %1").arg(*error);
    return copied.has_value();
}

} // namespace bravik::logbook
