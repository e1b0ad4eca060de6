#include "AttachmentMerge.h"

#include "Attachments.h"
#include "Database.h"
#include "Schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace bravik::logbook::attachments {

namespace {

bool failed(Database &db, const QSqlQuery &q, QString *error)
{
    *error = db.failureText(q.lastError());
    return false;
}

struct Mark
{
    bool voided = false;
    QString reason;
};

// EntryId -> void mark of every attachment.
bool marks(Database &db, QHash<QString, Mark> *out, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1, %2, %3 FROM %4")
                    .arg(Dialect::quote(entryIdColumn()), Dialect::quote(voidedColumn()),
                         Dialect::quote(voidReasonColumn()), Dialect::quote(tableName()))))
        return failed(db, q, error);
    while (q.next())
        out->insert(q.value(0).toString(), Mark{q.value(1).toBool(), q.value(2).toString()});
    return !q.lastError().isValid() || failed(db, q, error);
}

bool hasContent(Database &db, const QString &sha, bool *has, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE \"Sha256\" = ?").arg(Dialect::quote(contentTable()))))
        return failed(db, q, error);
    q.bindValue(0, sha);
    if (!q.exec())
        return failed(db, q, error);
    *has = q.next();
    return true;
}

} // namespace

bool merge(Database &from, Database &into, qint64 *added, QString *error)
{
    QHash<QString, Mark> here;
    if (!marks(into, &here, error))
        return false;
    const QStringList names = fields();
    QStringList quoted;
    for (const QString &f : names)
        quoted << Dialect::quote(f);
    QSqlQuery read(from.connection());
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                       .arg(quoted.join(QStringLiteral(", ")), Dialect::quote(tableName()), Dialect::quote(keyColumn()))))
        return failed(from, read, error);
    QSqlQuery insert(into.connection());
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(Dialect::quote(tableName()), quoted.join(QStringLiteral(", ")),
                                 QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")))))
        return failed(into, insert, error);
    QSqlQuery voiding(into.connection());
    if (!voiding.prepare(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE %4 = ?")
                             .arg(Dialect::quote(tableName()), Dialect::quote(voidedColumn()),
                                  Dialect::quote(voidReasonColumn()), Dialect::quote(entryIdColumn()))))
        return failed(into, voiding, error);
    const int idAt = names.indexOf(entryIdColumn()), shaAt = names.indexOf(QStringLiteral("Sha256")),
              voidAt = names.indexOf(voidedColumn()), reasonAt = names.indexOf(voidReasonColumn());
    while (read.next()) {
        const QString id = read.value(idAt).toString();
        const Mark theirs{read.value(voidAt).toBool(), read.value(reasonAt).toString()};
        if (auto it = here.constFind(id); it != here.constEnd()) {
            if (theirs.voided && !it->voided) {
                voiding.bindValue(0, true);
                voiding.bindValue(1, theirs.reason);
                voiding.bindValue(2, id);
                if (!voiding.exec())
                    return failed(into, voiding, error);
            }
            continue;
        }
        const QString sha = read.value(shaAt).toString();
        bool has = false;
        if (!hasContent(into, sha, &has, error))
            return false;
        if (!has) {
            QByteArray bytes;
            if (!content(from, sha, &bytes, error))
                return false;
            if (!putContent(into, sha, bytes, error))
                return false;
        }
        for (int i = 0; i < names.size(); ++i) {
            QVariant v = read.value(i);
            if (i == voidAt)
                v = v.toBool();
            else if (names.at(i) == QLatin1String("Size"))
                v = v.toLongLong();
            insert.bindValue(i, v);
        }
        if (!insert.exec())
            return failed(into, insert, error);
        here.insert(id, theirs);
        ++*added;
    }
    return !read.lastError().isValid() || failed(from, read, error);
}

} // namespace bravik::logbook::attachments
