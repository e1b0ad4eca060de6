#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>

namespace bravik::test {

// Runs SQL on `db`; returns the first column of the first row (invalid
// when there is none).  An engine error fails the test.
inline QVariant runSql(const QSqlDatabase &db, const QString &text, const QVariantList &bound = {})
{
    QSqlQuery q(db);
    bool ok = false;
    if (bound.isEmpty()) {
        ok = q.exec(text);   // a server cannot prepare BEGIN, DROP, CREATE and the like
    } else {
        q.prepare(text);
        for (int i = 0; i < bound.size(); ++i)
            q.bindValue(i, bound.at(i));
        ok = q.exec();
    }
    if (!ok) {
        QTest::qFail(qPrintable(q.lastError().text() + QStringLiteral(" in ") + text), __FILE__, __LINE__);
        return {};
    }
    const QVariant v = q.next() ? q.value(0) : QVariant();
    q.finish();
    return v;
}

} // namespace bravik::test
