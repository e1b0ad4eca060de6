#include "OperationsQueries.h"

#include "Database.h"
#include "Dialect.h"
#include "NativeHandle.h"
#include "Schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace bravik::logbook::operations {

namespace {

QHash<QString, QStringList> buildColumns()
{
    QHash<QString, QStringList> all;
    for (const TableDef &t : schema()) {
        QStringList columns{QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy"), stampedAtColumn(),
                            workstationColumn()};
        for (const QString &f : t.fields)
            if (!columns.contains(f))
                columns << f;
        all.insert(t.name, columns);
    }
    return all;
}

const QHash<QString, QStringList> &columnsByTable()
{
    static const QHash<QString, QStringList> all = buildColumns();
    return all;
}

QHash<QString, QHash<QString, int>> buildIndexes()
{
    QHash<QString, QHash<QString, int>> all;
    for (auto it = columnsByTable().cbegin(); it != columnsByTable().cend(); ++it)
        for (int i = 0; i < it->size(); ++i)
            all[it.key()].insert(it->at(i), i);
    return all;
}

// Runs `SELECT key, columns…, Voided, VoidReason FROM table WHERE where`
// and hands each row to the sink.  With `only`, just those columns are
// read; the others are left empty.
bool readRows(Database &db, const QString &table, const QString &where, const QVariantList &bound,
              const EntrySink &sink, QString *error, const QStringList &only = {})
{
    const TableDef *def = findTable(table);
    const QStringList &all = entryColumns(table);
    if (!def || all.isEmpty()) {
        *error = QStringLiteral("The logbook has no table \"%1\".").arg(table);
        return false;
    }
    const QStringList &columns = only.isEmpty() ? all : only;
    QList<int> places;   // of each column read among all the table's
    QStringList names{Dialect::quote(keyColumn())};
    QList<bool> booleans{false};
    for (const QString &c : columns) {
        names << Dialect::quote(c);
        booleans << def->isBoolean(c);
        places << int(all.indexOf(c));
    }
    const int width = int(all.size());
    names << Dialect::quote(voidedColumn()) << Dialect::quote(voidReasonColumn());
    booleans << true << false;
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                            .arg(names.join(QStringLiteral(", ")), Dialect::quote(table), where);
    const int n = int(columns.size());

    // The texts straight from the engine (a file's, or a server's cursor).
    const native::ScanResult scanned = native::scanText(
        db.connection(), sql, bound, booleans,
        [&](const QByteArrayView *fields, int count) {
            if (count < n + 3)
                return false;
            StoredEntry e;
            e.table = table;
            e.key = QByteArray(fields[0].data(), fields[0].size()).toLongLong();
            e.values.resize(width);
            for (int c = 1; c <= n; ++c)
                e.values[places.at(c - 1)] = QString::fromUtf8(fields[c]);
            e.voided = fields[n + 1] == QByteArrayView("true");
            e.voidReason = QString::fromUtf8(fields[n + 2]);
            return sink(std::move(e));
        },
        error);
    switch (scanned) {
    case native::ScanResult::Done:
    case native::ScanResult::Ended:
        return true;
    case native::ScanResult::Failed:
        return false;
    case native::ScanResult::Unsupported:
        break;
    }

    // Where the engine cannot hand them so, through Qt, forward only.
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *error = db.failureText(q.lastError());
        return false;
    }
    for (int i = 0; i < bound.size(); ++i)
        q.bindValue(i, bound.at(i));
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    while (q.next()) {
        StoredEntry e;
        e.table = table;
        e.key = q.value(0).toLongLong();
        e.values.resize(width);
        for (int c = 0; c < n; ++c) {
            const QVariant v = q.value(c + 1);
            if (booleans.at(c + 1))
                e.values[places.at(c)] = v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
            else
                e.values[places.at(c)] = v.toString();
        }
        e.voided = q.value(n + 1).toBool();
        e.voidReason = q.value(n + 2).toString();
        if (!sink(std::move(e)))
            return true;
    }
    if (q.lastError().isValid()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    return true;
}

QString notVoided(const Database &db)
{
    return QStringLiteral("NOT COALESCE(%1, %2)").arg(Dialect::quote(voidedColumn()), db.dialect().booleanDefault);
}

} // namespace

const QStringList &entryColumns(const QString &table)
{
    static const QStringList none;
    const auto &all = columnsByTable();
    const auto it = all.constFind(table);
    return it == all.constEnd() ? none : *it;
}

const QHash<QString, int> &entryColumnIndex(const QString &table)
{
    static const QHash<QString, QHash<QString, int>> all = buildIndexes();
    static const QHash<QString, int> none;
    const auto it = all.constFind(table);
    return it == all.constEnd() ? none : *it;
}

QString StoredEntry::text(const QString &field) const
{
    const int i = entryColumnIndex(table).value(field, -1);
    return i >= 0 && i < values.size() ? values.at(i) : QString();
}

bool readStampedBetween(Database &db, const QString &table, const QString &fromStamp, const QString &untilStamp,
                        const EntrySink &sink, QString *error)
{
    // Each of the three terms is one look-up in the stamp's index.
    const QString stamp = Dialect::quote(stampedAtColumn());
    return readRows(db, table,
                    QStringLiteral("(%1 >= ? AND %1 < ?) OR %1 IS NULL OR %1 = ?").arg(stamp),
                    {fromStamp, untilStamp, QString(QLatin1String(""))}, sink, error);
}

bool readBatteryCharges(Database &db, const EntrySink &sink, QString *error)
{
    QStringList packs{QStringLiteral("Date/Time"), stampedAtColumn()};
    for (int slot = 1; slot <= 3; ++slot)
        packs << QStringLiteral("Batt%1SN").arg(slot) << QStringLiteral("Bat%1MinV").arg(slot)
              << QStringLiteral("Bat%1MaxV").arg(slot);
    return readRows(db, QStringLiteral("BatteryCharge"), notVoided(db), {}, sink, error, packs);
}

namespace {
bool readTasks(Database &db, bool completed, const EntrySink &sink, QString *error)
{
    return readRows(db, QStringLiteral("TaskList"),
                    QStringLiteral("%1 AND TRIM(COALESCE(%2, ?)) %3 ?")
                        .arg(notVoided(db), Dialect::quote(QStringLiteral("DateCompleted")),
                             completed ? QStringLiteral("<>") : QStringLiteral("=")),
                    {QString(QLatin1String("")), QString(QLatin1String(""))}, sink, error);
}
} // namespace

bool readOpenTasks(Database &db, const EntrySink &sink, QString *error)
{
    return readTasks(db, false, sink, error);
}

bool readCompletedTasks(Database &db, const EntrySink &sink, QString *error)
{
    return readTasks(db, true, sink, error);
}

} // namespace bravik::logbook::operations
