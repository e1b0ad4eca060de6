#pragma once

#include "Database.h"
#include "RecordCursor.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace bravik::logbook::test {

// A logbook file in a fresh temporary folder, plus a second, raw
// connection to the same file that plays "someone else".
class LogbookFile
{
public:
    LogbookFile()
        : path(dir.filePath(QStringLiteral("sub/dir/Logbook.sqlite")))
    {
    }
    ~LogbookFile()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(rawName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(rawName);
    }

    std::unique_ptr<Database> open(QString *error = nullptr) const
    {
        QString err;
        auto db = Database::open({QStringLiteral("QSQLITE"), path}, &err);
        if (error)
            *error = err;
        else if (!db)
            qWarning("open failed: %s", qPrintable(err));
        return db;
    }

    // Runs SQL on the raw connection; returns the first column of the
    // first row (or an invalid QVariant), failing the test on an error.
    QVariant sql(const QString &text, const QVariantList &bound = {})
    {
        QSqlDatabase db = QSqlDatabase::database(rawName, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), rawName);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            db.open();
        }
        QSqlQuery q(db);
        q.prepare(text);
        for (int i = 0; i < bound.size(); ++i)
            q.bindValue(i, bound.at(i));
        if (!q.exec()) {
            QTest::qFail(qPrintable(q.lastError().text() + QStringLiteral(" in ") + text), __FILE__, __LINE__);
            return {};
        }
        return q.next() ? q.value(0) : QVariant();
    }

    int count(const QString &table) { return sql(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)).toInt(); }

    QTemporaryDir dir;
    QString path;
    QString rawName = QStringLiteral("raw-%1").arg(quintptr(this));
};

} // namespace bravik::logbook::test
