#include "MergeConflicts.h"

#include "Database.h"
#include "Dialect.h"
#include "Schema.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QTimeZone>

namespace bravik::logbook::conflicts {

namespace {

QString quoted(const char *name)
{
    return Dialect::quote(QString::fromLatin1(name));
}

// A value as the line shows it: a check box in words, a long text cut.
QString shown(const Open &c, const QString &value)
{
    if (c.boolean)
        return value == QLatin1String("true") ? QStringLiteral("ticked") : QStringLiteral("not ticked");
    if (value.isEmpty())
        return QStringLiteral("empty");
    QString v = value.simplified();
    constexpr int kLongest = 40;
    if (v.size() > kLongest)
        v = v.left(kLongest - 1) + QChar(0x2026);
    // A text of several words in quotes, so it reads apart from the line.
    if (v.contains(QLatin1Char(' ')))
        v = QChar(0x201c) + v + QChar(0x201d);
    return v;
}

// "14:02 UTC" today, "2026-12-08 14:02 UTC" another day; the text as
// stored when it is no time.
QString when(const QString &stamp)
{
    const QDateTime t = QDateTime::fromString(stamp, Qt::ISODate).toUTC();
    if (!t.isValid())
        return stamp;
    const QString time = t.toString(QStringLiteral("HH:mm")) + QStringLiteral(" UTC");
    if (t.date() == QDateTime::currentDateTimeUtc().date())
        return time;
    return t.toString(QStringLiteral("yyyy-MM-dd ")) + time;
}

} // namespace

QString openConflictCondition(const QString &rowEntryId)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM %1 c WHERE c.%2 = ? AND c.%3 = %4 AND COALESCE(c.%5, '') = '')")
        .arg(Dialect::quote(mergeConflictTable()), quoted("TableName"), quoted("RowEntryId"), rowEntryId,
             quoted("SettledAtUtc"));
}

bool openOf(Database &db, const QString &table, qint64 key, QList<Open> *out, QString *error)
{
    out->clear();
    const TableDef *def = findTable(table);
    if (!def || key < 0)
        return true;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    const QString sql =
        QStringLiteral("SELECT c.%1, c.%2, c.%3, c.%4, c.%5, c.%6, c.%7, c.%8 FROM %9 c JOIN %10 e ON e.%11 = c.%12 "
                       "WHERE c.%13 = ? AND e.%14 = ? AND COALESCE(c.%15, '') = '' ORDER BY c.%14")
            .arg(Dialect::quote(entryIdColumn()), quoted("Field"), quoted("KeptValue"), quoted("KeptWorkstation"),
                 quoted("KeptChangedAtUtc"), quoted("OtherValue"), quoted("OtherWorkstation"), quoted("OtherChangedAtUtc"),
                 Dialect::quote(mergeConflictTable()))
            .arg(Dialect::quote(def->name), Dialect::quote(entryIdColumn()), quoted("RowEntryId"), quoted("TableName"),
                 Dialect::quote(keyColumn()), quoted("SettledAtUtc"));
    if (!q.prepare(sql)) {
        *error = db.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, def->name);
    q.bindValue(1, key);
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    while (q.next()) {
        Open c;
        c.id = q.value(0).toString();
        c.field = q.value(1).toString();
        c.boolean = def->isBoolean(c.field);
        c.keptValue = q.value(2).toString();
        c.keptWorkstation = q.value(3).toString();
        c.keptAt = q.value(4).toString();
        c.otherValue = q.value(5).toString();
        c.otherWorkstation = q.value(6).toString();
        c.otherAt = q.value(7).toString();
        // A field the program no longer shows is not offered for settling.
        if (def->fields.contains(c.field))
            out->append(c);
    }
    return true;
}

bool settle(Database &db, const QString &id, const QString &at, const QString &workstation, QString *error)
{
    QSqlQuery q(db.connection());
    if (!q.prepare(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE %4 = ? AND COALESCE(%2, '') = ''")
                       .arg(Dialect::quote(mergeConflictTable()), quoted("SettledAtUtc"), quoted("SettledOn"),
                            Dialect::quote(entryIdColumn())))) {
        *error = db.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, at);
    q.bindValue(1, workstation);
    q.bindValue(2, id);
    if (!q.exec()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    if (q.numRowsAffected() != 1) {
        *error = QStringLiteral("This conflict was settled meanwhile (on another computer, or by a merge); "
                                "nothing was changed.");
        return false;
    }
    return true;
}

QString lineText(const Open &c, const QString &here)
{
    return QStringLiteral("Changed on two computers: %1 is %2 here, %3 from %4 at %5")
        .arg(c.field, shown(c, here), shown(c, c.otherValue),
             c.otherWorkstation.isEmpty() ? QStringLiteral("another computer") : c.otherWorkstation, when(c.otherAt));
}

} // namespace bravik::logbook::conflicts
