#pragma once

// Runs of the logbook writer helper (logbook_writer.cpp) and the check of a
// logbook against every row a helper said it had stored.

#include "Connection.h"
#include "Database.h"
#include "Schema.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>
#include <atomic>

namespace bravik::logbook::test {

// One running helper and what it has printed so far.
class WriterRun
{
public:
    WriterRun(const DatabaseLocation &where, const QString &tag, const QStringList &extra = {})
    {
        m_process.setProgram(QStringLiteral(BRAVIK_LOGBOOK_WRITER));
        m_process.setArguments(QStringList{QStringLiteral("--driver"), where.driver, QStringLiteral("--location"),
                                           where.location, QStringLiteral("--tag"), tag}
                               + extra);
        m_process.start();
    }
    ~WriterRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    QProcess &process() { return m_process; }

    // Reads what has arrived, waiting up to `ms` for more.
    void pump(int ms)
    {
        if (m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(ms);
        collect();
    }
    // Pumps until `enough` holds, the helper ends, or `ms` pass.
    template<typename Condition>
    bool waitFor(Condition enough, int ms)
    {
        QDeadlineTimer deadline(ms);
        collect();
        while (!enough() && m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
            pump(int(qMin<qint64>(deadline.remainingTime(), 100)));
        collect();
        return enough();
    }
    bool isReady() const { return m_ready; }
    int storedCount() const { return int(m_stored.size()); }
    // Note -> key of every row the helper said it stored, complete lines only.
    const QHash<QString, qint64> &stored() const { return m_stored; }
    QString errors() const { return QString::fromLocal8Bit(m_errors); }
    // Rows the helper reported stored more than once.
    const QStringList &reportedTwice() const { return m_twice; }

    void finish()
    {
        m_process.waitForFinished(-1);
        collect();
    }

private:
    void collect()
    {
        m_out += m_process.readAllStandardOutput();
        m_errors += m_process.readAllStandardError();
        qsizetype end;
        while ((end = m_out.indexOf('\n')) >= 0) {
            const QByteArray line = m_out.left(end);
            m_out.remove(0, end + 1);
            if (line == "ready") {
                m_ready = true;
            } else if (line.startsWith("stored ")) {
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() == 3) {
                    const QString note = QString::fromUtf8(parts.at(1));
                    if (m_stored.contains(note))
                        m_twice << note;
                    m_stored.insert(note, parts.at(2).toLongLong());
                }
            }
        }
    }

    QProcess m_process;
    QByteArray m_out, m_errors;
    bool m_ready = false;
    QHash<QString, qint64> m_stored;
    QStringList m_twice;
};

// Holds the logbook to the rows the helpers printed: the engine finds the
// file sound (SQLite), every printed row is there once under the key it was
// printed with, and no row of the helpers is there twice.  Returns what is
// wrong, empty when nothing is; *rows gets the number of rows.
inline QString checkLogbook(const DatabaseLocation &where, const QHash<QString, qint64> &printed, int *rows = nullptr)
{
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("bravik-check-%1").arg(++counter);
    QStringList problems;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(where.driver, name);
        QString error;
        if (!connection::configure(db, where, &error) || !db.open())
            problems << QStringLiteral("cannot open the logbook: %1 %2").arg(error, db.lastError().text());
        if (problems.isEmpty() && where.driver == QLatin1String("QSQLITE")) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
                problems << QStringLiteral("integrity_check failed: ") + q.lastError().text();
            while (q.next()) {
                if (q.value(0).toString() != QLatin1String("ok"))
                    problems << QStringLiteral("integrity_check: ") + q.value(0).toString();
            }
        }
        QHash<QString, QList<qint64>> found;
        int count = 0;
        if (problems.isEmpty()) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            // Before the first helper created the table there is nothing
            // to find, and nothing may have been reported.
            if (!q.exec(QStringLiteral("SELECT \"Note\", %1 FROM \"Miscellaneous\"").arg(Dialect::quote(keyColumn())))) {
                if (!printed.isEmpty())
                    problems << QStringLiteral("cannot read the rows: ") + q.lastError().text();
            }
            while (q.isActive() && q.next()) {
                found[q.value(0).toString()] << q.value(1).toLongLong();
                ++count;
            }
        }
        if (rows)
            *rows = count;
        for (auto it = found.cbegin(); it != found.cend() && problems.size() < 20; ++it) {
            if (it.value().size() > 1)
                problems << QStringLiteral("%1 is stored %2 times").arg(it.key()).arg(it.value().size());
        }
        for (auto it = printed.cbegin(); it != printed.cend() && problems.size() < 20; ++it) {
            const auto f = found.constFind(it.key());
            if (f == found.cend())
                problems << QStringLiteral("%1 was reported stored (key %2) but is not there").arg(it.key()).arg(it.value());
            else if (!f.value().contains(it.value()))
                problems << QStringLiteral("%1 was reported stored under key %2 but is there under %3")
                                .arg(it.key())
                                .arg(it.value())
                                .arg(f.value().first());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problems.join(QLatin1Char('\n'));
}

} // namespace bravik::logbook::test
