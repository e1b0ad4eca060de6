#include "EntryIds.h"

#include "Database.h"
#include "Dialect.h"
#include "Schema.h"

#include <QList>
#include <QSqlQuery>
#include <QUuid>

namespace bravik::logbook::entryids {

namespace {

QString derived(const QStringList &parts)
{
    // A namespace of the logbook's own, so these ids meet no other name's.
    static const QUuid logbook(QStringLiteral("{5f0d3c52-6a43-4f43-9c0e-2b8e51d7a0c4}"));
    return QUuid::createUuidV5(logbook, parts.join(QChar(0x1f))).toString(QUuid::WithoutBraces);
}

// The rows of `table` without an id get the one `idOf` derives from the
// key and the `read` fields.
template <class IdOf>
bool fill(QSqlDatabase &db, const QString &table, const QStringList &read, IdOf idOf, QString *error)
{
    const QString id = Dialect::quote(entryIdColumn()), key = Dialect::quote(keyColumn());
    QStringList columns{key};
    for (const QString &f : read)
        columns << Dialect::quote(f);
    QList<QPair<qint64, QString>> given;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NULL OR %3 = ''")
                        .arg(columns.join(QStringLiteral(", ")), Dialect::quote(table), id))) {
            *error = Database::errorText(q.lastError());
            return false;
        }
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < read.size(); ++i)
                values << q.value(i + 1).toString();
            given.append({q.value(0).toLongLong(), idOf(q.value(0).toLongLong(), values)});
        }
    }
    if (!given.isEmpty()) {
        QSqlQuery set(db);
        if (!set.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(Dialect::quote(table), id, key))) {
            *error = Database::errorText(set.lastError());
            return false;
        }
        for (const auto &[k, entryId] : given) {
            set.bindValue(0, entryId);
            set.bindValue(1, k);
            if (!set.exec()) {
                *error = Database::errorText(set.lastError());
                return false;
            }
        }
    }
    QSqlQuery index(db);
    if (!index.exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                        .arg(Dialect::quote(table + entryIdColumn()), Dialect::quote(table), id))) {
        *error = Database::errorText(index.lastError());
        return false;
    }
    return true;
}

} // namespace

QString forEntry(const QString &table, qint64 key, const QString &stampedAtUtc, const QString &workstation,
                 const QString &dateTime, const QString &submittedBy)
{
    QStringList parts{table, QString::number(key), stampedAtUtc, workstation};
    if (stampedAtUtc.isEmpty())
        parts << dateTime << submittedBy;
    return derived(parts);
}

QString forHistory(qint64 key, const QStringList &values)
{
    return derived(QStringList{historyTable(), QString::number(key)} + values);
}

bool giveMissing(QSqlDatabase &db, QString *error)
{
    const QStringList stamp{stampedAtColumn(), workstationColumn(), QStringLiteral("Date/Time"),
                            QStringLiteral("SubmittedBy")};
    for (const TableDef &t : schema()) {
        const QString name = t.name;
        if (!fill(db, name, stamp,
                  [&](qint64 key, const QStringList &v) { return forEntry(name, key, v[0], v[1], v[2], v[3]); },
                  error))
            return false;
    }
    return fill(db, historyTable(), historyFields(), forHistory, error);
}

} // namespace bravik::logbook::entryids
