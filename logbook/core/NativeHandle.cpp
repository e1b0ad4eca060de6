// The engines' own handles behind Qt SQL: cancelling a statement and
// waiting for a file's write lock.
#include "NativeHandle.h"

#include <QMutex>
#include <QSqlDriver>
#include <QVariant>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <algorithm>
#include <initializer_list>
#include <vector>

namespace bravik::logbook::native {

namespace {

class PostgresCanceller : public Canceller
{
public:
    explicit PostgresCanceller(PGcancel *c) : m_cancel(c) {}
    ~PostgresCanceller() override { PQfreeCancel(m_cancel); }
    void cancel() override
    {
        // PQcancel is safe from another thread; it reaches the server on a
        // connection of its own.
        char reason[256];
        PQcancel(m_cancel, reason, sizeof reason);
    }

private:
    PGcancel *m_cancel;
};

class SqliteCanceller : public Canceller
{
public:
    explicit SqliteCanceller(sqlite3 *db) : m_db(db) {}
    void cancel() override
    {
        QMutexLocker lock(&m_mutex);
        if (m_db)
            sqlite3_interrupt(m_db);
    }
    void forget() override
    {
        QMutexLocker lock(&m_mutex);
        m_db = nullptr;
    }

private:
    QMutex m_mutex;
    sqlite3 *m_db;
};

// The driver's handle when it is of one of the given type names (Qt names
// libpq's "pg_conn*" or "PGconn*", depending on the version).
template <class T>
T *handleOf(const QSqlDatabase &db, std::initializer_list<const char *> typeNames)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || std::none_of(typeNames.begin(), typeNames.end(),
                                     [&](const char *n) { return qstrcmp(v.typeName(), n) == 0; }))
        return nullptr;
    return *static_cast<T *const *>(v.constData());
}

struct LockWait
{
    std::function<bool()> giveUp;
};

int busyHandler(void *context, int)
{
    auto *wait = static_cast<LockWait *>(context);
    if (wait->giveUp && wait->giveUp())
        return 0;
    sqlite3_sleep(5);
    return 1;
}

} // namespace

std::shared_ptr<Canceller> cancellerFor(const QSqlDatabase &db)
{
    if (PGconn *pg = handleOf<PGconn>(db, {"PGconn*", "pg_conn*"})) {
        if (PGcancel *c = PQgetCancel(pg))
            return std::make_shared<PostgresCanceller>(c);
        return nullptr;
    }
    if (sqlite3 *file = handleOf<sqlite3>(db, {"sqlite3*"}))
        return std::make_shared<SqliteCanceller>(file);
    return nullptr;
}

void setLockWait(const QSqlDatabase &db, std::function<bool()> giveUp)
{
    sqlite3 *file = handleOf<sqlite3>(db, {"sqlite3*"});
    if (!file)
        return;
    // The engine holds the pointer until the connection closes: every
    // handler of a thread is kept until the thread ends.
    static thread_local std::vector<std::unique_ptr<LockWait>> all;
    auto wait = std::make_unique<LockWait>();
    wait->giveUp = std::move(giveUp);
    sqlite3_busy_handler(file, busyHandler, wait.get());
    all.push_back(std::move(wait));
}

ScanResult scanText(const QSqlDatabase &db, const QString &sql, const QVariantList &bound,
                    const QList<bool> &booleans, const TextRow &row, QString *error)
{
    sqlite3 *file = handleOf<sqlite3>(db, {"sqlite3*"});
    if (!file)
        return ScanResult::Unsupported;
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    auto failed = [&] {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(file));
        sqlite3_finalize(statement);
        return ScanResult::Failed;
    };
    if (sqlite3_prepare_v2(file, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
        return failed();
    std::vector<QByteArray> values;   // kept alive until the statement ends
    values.reserve(bound.size());
    for (int i = 0; i < bound.size(); ++i) {
        values.push_back(bound.at(i).toString().toUtf8());
        if (sqlite3_bind_text(statement, i + 1, values.back().constData(), int(values.back().size()),
                              SQLITE_STATIC) != SQLITE_OK)
            return failed();
    }
    const int count = sqlite3_column_count(statement);
    std::vector<QByteArrayView> columns(size_t(std::max(count, 0)));
    std::vector<bool> isBoolean(columns.size(), false);
    for (int c = 0; c < count && c < booleans.size(); ++c)
        isBoolean[size_t(c)] = booleans.at(c);
    static const QByteArrayView yes("true"), no("false");
    for (;;) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_DONE)
            break;
        if (step != SQLITE_ROW)
            return failed();
        for (int c = 0; c < count; ++c) {
            if (isBoolean[size_t(c)]) {
                // As a QVariant reads it: a number is true unless zero, a
                // text unless empty, "0" or "false".
                bool value = false;
                switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER: value = sqlite3_column_int64(statement, c) != 0; break;
                case SQLITE_FLOAT: value = sqlite3_column_double(statement, c) != 0; break;
                case SQLITE_NULL: value = false; break;
                default: {
                    const QByteArrayView t(reinterpret_cast<const char *>(sqlite3_column_text(statement, c)),
                                           sqlite3_column_bytes(statement, c));
                    value = !t.isEmpty() && t != QByteArrayView("0") && t.toByteArray().toLower() != "false";
                }
                }
                columns[size_t(c)] = value ? yes : no;
                continue;
            }
            const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(statement, c));
            columns[size_t(c)] = p ? QByteArrayView(p, sqlite3_column_bytes(statement, c)) : QByteArrayView();
        }
        if (!row(columns.data(), count)) {
            sqlite3_finalize(statement);
            return ScanResult::Ended;
        }
    }
    sqlite3_finalize(statement);
    return ScanResult::Done;
}

QString serverName(const QString &location)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(location.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return {};
    }
    QString host, port, service;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val || !*o->val)
            continue;
        const QByteArray k(o->keyword);
        if (k == "host" || (k == "hostaddr" && host.isEmpty()))
            host = QString::fromUtf8(o->val);
        else if (k == "port")
            port = QString::fromUtf8(o->val);
        else if (k == "service")
            service = QString::fromUtf8(o->val);
    }
    PQconninfoFree(options);
    if (host.isEmpty())
        host = qEnvironmentVariable("PGHOST");
    if (port.isEmpty())
        port = qEnvironmentVariable("PGPORT");
    if (host.isEmpty() && !service.isEmpty())
        return QStringLiteral("service ") + service;
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    if (host.startsWith(QLatin1Char('/')))
        return host;   // a local socket folder
    return port.isEmpty() || port == QLatin1String("5432") ? host : host + QLatin1Char(':') + port;
}

} // namespace bravik::logbook::native
