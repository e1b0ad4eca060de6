#include "RecordHistory.h"

#include "Database.h"
#include "Dialect.h"
#include "Schema.h"

#include <QDateTime>
#include <QMutex>
#include <QSqlQuery>

namespace bravik::logbook::history {

namespace {

QMutex userLock;
QString &userSlot()
{
    static QString name;
    return name;
}

} // namespace

void setOsUser(const QString &name)
{
    QMutexLocker lock(&userLock);
    userSlot() = name;
}

QString osUser()
{
    QMutexLocker lock(&userLock);
    return userSlot();
}

bool write(Database &database, const QString &table, qint64 rowKey, const QList<Change> &changes,
           const QString &changedAtUtc, const QString &workstation, const QString &user, QString *error,
           std::optional<QSqlQuery> *prepared)
{
    if (changes.isEmpty())
        return true;
    std::optional<QSqlQuery> local;
    std::optional<QSqlQuery> &slot = prepared ? *prepared : local;
    if (!slot) {
        QStringList names;
        for (const QString &f : historyFields())
            names << Dialect::quote(f);
        names << Dialect::quote(entryIdColumn());
        QSqlQuery fresh(database.connection());
        if (!fresh.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .arg(Dialect::quote(historyTable()), names.join(QStringLiteral(", "))))) {
            *error = database.failureText(fresh.lastError());
            return false;
        }
        slot = std::move(fresh);
    }
    QSqlQuery &q = *slot;
    for (const Change &c : changes) {
        q.bindValue(0, table);
        q.bindValue(1, rowKey);
        q.bindValue(2, c.field);
        q.bindValue(3, c.oldValue);
        q.bindValue(4, c.newValue);
        q.bindValue(5, changedAtUtc);
        q.bindValue(6, workstation);
        q.bindValue(7, user);
        q.bindValue(8, newEntryId());
        if (!q.exec()) {
            *error = database.failureText(q.lastError());
            q.finish();
            return false;
        }
        q.finish();
    }
    return true;
}

int shownLength()
{
    return 4000;
}

QString restoredField()
{
    return QStringLiteral("Restored");
}

bool read(Database &database, const QString &table, qint64 rowKey, QList<Entry> *entries, QString *error)
{
    entries->clear();
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    // The key follows the order the rows were written in.
    if (!q.prepare(QStringLiteral("SELECT \"Field\", substr(\"OldValue\", 1, %3), substr(\"NewValue\", 1, %3), "
                                  "\"ChangedAtUtc\", \"Workstation\", \"OsUser\", %2, length(\"OldValue\"), "
                                  "length(\"NewValue\") FROM %1 WHERE \"TableName\" = ? AND \"RowKey\" = ? "
                                  "ORDER BY %2 DESC")
                       .arg(Dialect::quote(historyTable()), Dialect::quote(keyColumn()))
                       .arg(shownLength()))) {
        *error = database.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, table);
    q.bindValue(1, rowKey);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        return false;
    }
    while (q.next()) {
        Entry e{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                q.value(4).toString(), q.value(5).toString()};
        e.key = q.value(6).toLongLong();
        e.oldLength = q.value(7).toLongLong();
        e.newLength = q.value(8).toLongLong();
        entries->append(e);
    }
    if (q.lastError().isValid()) {
        *error = database.failureText(q.lastError());
        return false;
    }
    return true;
}

bool readValues(Database &database, qint64 historyKey, QString *oldValue, QString *newValue, QString *error)
{
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT \"OldValue\", \"NewValue\" FROM %1 WHERE %2 = ?")
                       .arg(Dialect::quote(historyTable()), Dialect::quote(keyColumn())))) {
        *error = database.failureText(q.lastError());
        return false;
    }
    q.bindValue(0, historyKey);
    if (!q.exec()) {
        *error = database.failureText(q.lastError());
        return false;
    }
    if (!q.next()) {
        *error = q.lastError().isValid() ? database.failureText(q.lastError())
                                         : QStringLiteral("This change is no longer in the history.");
        return false;
    }
    *oldValue = q.value(0).toString();
    *newValue = q.value(1).toString();
    return true;
}

QString readableTime(const QString &changedAtUtc)
{
    const QDateTime when = QDateTime::fromString(changedAtUtc, Qt::ISODate);
    if (!when.isValid())
        return changedAtUtc;
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

QString conflictText(const QString &workstation, const QString &changedAtUtc)
{
    const QString where = workstation.isEmpty() ? QStringLiteral("another computer") : workstation;
    const QString when = changedAtUtc.isEmpty() ? QStringLiteral("an unknown time") : readableTime(changedAtUtc);
    return QStringLiteral("This entry was changed on %1 at %2 since you opened it. Press Return to Main again "
                          "to store your version over it, or move away to keep theirs.")
        .arg(where, when);
}

} // namespace bravik::logbook::history
