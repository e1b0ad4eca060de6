#include "PrediveLog.h"

#include "Database.h"
#include "Dialect.h"
#include "Schema.h"

#include <QSqlQuery>

namespace bravik::logbook::predivelog {

bool latestStamped(Database &db, const QStringList &boxes, const QString &latest, int limit,
                   QList<StoredChecklist> *rows, QString *error)
{
    QStringList columns{Dialect::quote(keyColumn()), Dialect::quote(stampedAtColumn()),
                        Dialect::quote(QStringLiteral("SubmittedBy"))};
    for (const QString &b : boxes)
        columns << Dialect::quote(b);
    const QString stamp = Dialect::quote(stampedAtColumn());
    // A voided checklist was withdrawn: it is not looked at at all.
    const QString notVoided = QStringLiteral("NOT COALESCE(%1, %2)")
                                  .arg(Dialect::quote(voidedColumn()), db.dialect().booleanDefault);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? AND %3 <= ? AND %4 ORDER BY %3 DESC, %5 DESC LIMIT %6")
                            .arg(columns.join(QStringLiteral(", ")), Dialect::quote(QStringLiteral("Predive")), stamp,
                                 notVoided, Dialect::quote(keyColumn()))
                            .arg(limit);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    if (ok) {
        q.bindValue(0, QString(QLatin1String("")));
        q.bindValue(1, latest);
        ok = q.exec();
    }
    rows->clear();
    while (ok && q.next()) {
        StoredChecklist row;
        row.key = q.value(0).toLongLong();
        row.stampedAt = q.value(1).toString();
        row.submittedBy = q.value(2).toString();
        for (int i = 0; i < boxes.size(); ++i)
            row.ticked << q.value(3 + i).toBool();
        rows->append(row);
    }
    if (!ok || q.lastError().isValid()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    return true;
}

} // namespace bravik::logbook::predivelog
