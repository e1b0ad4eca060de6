// The engines' own handles behind Qt SQL: cancelling a statement,
// waiting for a file's write lock, and reading a long result in one pass.
#include "NativeHandle.h"

#include "Database.h"

#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <algorithm>
#include <cstring>
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

namespace {

// True for well-formed UTF-8 without a NUL (no overlong forms, no
// surrogates, nothing past U+10FFFF): what a reader takes as it is.
bool isCleanUtf8(const unsigned char *p, qsizetype n)
{
    constexpr quint64 kHigh = 0x8080808080808080ull, kOnes = 0x0101010101010101ull;
    qsizetype i = 0;
    while (i < n) {
        // Eight bytes at a time while they are ASCII without a NUL.
        for (; i + 8 <= n; i += 8) {
            quint64 w;
            std::memcpy(&w, p + i, 8);
            if ((w & kHigh) || ((w - kOnes) & ~w & kHigh))
                break;
        }
        if (i >= n)
            break;
        const unsigned c = p[i];
        if (c < 0x80) {
            if (c == 0)
                return false;
            ++i;
            continue;
        }
        int length;
        char32_t code, least;
        if ((c & 0xe0) == 0xc0) {
            length = 2, code = c & 0x1f, least = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            length = 3, code = c & 0x0f, least = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            length = 4, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3f);
        }
        if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

// A column's text as Qt's SQLite driver reads it (a text through the
// engine's UTF-16, a blob as UTF-8), NUL as U+FFFD, in UTF-8.
QByteArray readAsDriverDoes(sqlite3_stmt *statement, int column, int type)
{
    QString text;
    if (type == SQLITE_BLOB) {
        text = QString::fromUtf8(static_cast<const char *>(sqlite3_column_blob(statement, column)),
                                 sqlite3_column_bytes(statement, column));
    } else {
        const void *utf16 = sqlite3_column_text16(statement, column);
        text = QString(static_cast<const QChar *>(utf16), sqlite3_column_bytes16(statement, column) / 2);
    }
    text.replace(QChar(0), QChar::ReplacementCharacter);
    return text.toUtf8();
}

const QByteArrayView kTrue("true"), kFalse("false");

// ---- PostgreSQL

// The server's type numbers of the columns whose text Qt's driver hands
// over unchanged (a check box: "t" or "f").  Any other type (a number
// with a fraction, a date, bytes) is read through Qt, which converts it.
constexpr Oid kBoolType = 16;
bool readAsSent(Oid type)
{
    switch (type) {
    case kBoolType:
    case 18:     // "char"
    case 19:     // name
    case 20:     // bigint
    case 21:     // smallint
    case 23:     // integer
    case 25:     // text
    case 26:     // oid
    case 1042:   // character(n)
    case 1043:   // character varying
        return true;
    default:
        return false;
    }
}

// The statement with its '?' placeholders numbered as the server takes
// them ($1, $2, ...); quoted texts and names are left as they are.
QByteArray numberedPlaceholders(const QString &sql)
{
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    char quote = 0;
    int n = 0;
    for (const char c : in) {
        if (quote) {
            if (c == quote)
                quote = 0;   // a doubled quote closes and opens again
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$' + QByteArray::number(++n);
            continue;
        }
        out += c;
    }
    return out;
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The engine's words for a failure, as Qt's driver and Database give them.
QString serverError(PGconn *pg, const PGresult *result)
{
    const char *code = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    QString text = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(pg));
    if (code)
        text += QStringLiteral("(%1)").arg(QLatin1String(code));
    return Database::errorText(QSqlError(QString(), text, QSqlError::StatementError, QString::fromLatin1(code)));
}

// Reads a SELECT through a cursor of the server's, a few thousand rows a
// round trip, the next batch on its way while one is handed over.  A
// transaction the connection has open (Qt's) is kept: the cursor lives in
// a savepoint of it.  Whatever happens, the connection is left as found.
class ServerScan
{
public:
    explicit ServerScan(PGconn *pg)
        : m_pg(pg)
        , m_found(PQtransactionStatus(pg))
        , m_fetch("FETCH FORWARD " + QByteArray::number(kBatch) + " FROM bravik_scan")
    {
    }

    ScanResult run(const QString &sql, const QVariantList &bound, const QList<bool> &booleans, const TextRow &row,
                   QString *error)
    {
        // A statement of Qt's still being read (or no connection): Qt reads.
        // So it does where the connection's texts are not UTF-8 (Qt's driver
        // makes them so; the server then sends nothing else, whatever it
        // stores).
        if (m_found == PQTRANS_ACTIVE || m_found == PQTRANS_UNKNOWN
            || PQclientEncoding(m_pg) != pg_char_to_encoding("UTF8"))
            return ScanResult::Unsupported;
        const ScanResult result = scan(sql, bound, booleans, row);
        if (!finish(result != ScanResult::Failed))
            return failed(error);
        if (result == ScanResult::Failed)
            return failed(error);
        return result;
    }

private:
    static constexpr int kBatch = 5000;

    bool own() const { return m_found == PQTRANS_IDLE; }

    Result exec(const char *command) { return Result(PQexec(m_pg, command), PQclear); }

    bool succeeded(const Result &r)
    {
        const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return true;
        if (m_error.isEmpty())
            m_error = serverError(m_pg, r.get());
        return false;
    }

    ScanResult failed(QString *error)
    {
        if (error)
            *error = m_error;
        return ScanResult::Failed;
    }

    ScanResult scan(const QString &sql, const QVariantList &bound, const QList<bool> &booleans, const TextRow &row)
    {
        if (!succeeded(exec(own() ? "BEGIN READ ONLY" : "SAVEPOINT bravik_scan")))
            return ScanResult::Failed;
        m_begun = true;
        std::vector<QByteArray> values;
        values.reserve(size_t(bound.size()));
        std::vector<const char *> parameters;
        for (const QVariant &v : bound) {
            values.push_back(v.toString().toUtf8());
            // NULL as Qt binds it: a null variant, or a null text in one.
            const bool null = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull());
            parameters.push_back(null ? nullptr : values.back().constData());
        }
        const QByteArray declare = "DECLARE bravik_scan NO SCROLL CURSOR FOR " + numberedPlaceholders(sql);
        if (!succeeded(Result(PQexecParams(m_pg, declare.constData(), int(parameters.size()), nullptr, parameters.data(),
                                           nullptr, nullptr, 0),
                              PQclear)))
            return ScanResult::Failed;

        std::vector<QByteArrayView> columns;
        std::vector<bool> isBoolean;
        if (!send())
            return ScanResult::Failed;
        for (;;) {
            Result batch(PQgetResult(m_pg), PQclear);
            drain();
            if (!batch || PQresultStatus(batch.get()) != PGRES_TUPLES_OK) {
                succeeded(batch);
                return ScanResult::Failed;
            }
            const PGresult *b = batch.get();
            const int rows = PQntuples(b), count = PQnfields(b);
            if (columns.empty()) {
                // A check box kept as anything but the server's own
                // true/false is read through Qt too.
                for (int c = 0; c < count; ++c) {
                    const Oid type = PQftype(b, c);
                    isBoolean.push_back(c < booleans.size() && booleans.at(c));
                    if (!readAsSent(type) || (isBoolean.back() && type != kBoolType))
                        return ScanResult::Unsupported;
                }
                columns.resize(size_t(count));
            }
            // The next batch comes while this one is handed over.
            if (rows == kBatch && !send())
                return ScanResult::Failed;
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < count; ++c) {
                    const char *p = PQgetvalue(b, r, c);
                    const int n = PQgetlength(b, r, c);
                    const bool null = PQgetisnull(b, r, c);
                    if (isBoolean[size_t(c)])
                        columns[size_t(c)] = !null && *p == 't' ? kTrue : kFalse;
                    else
                        columns[size_t(c)] = null ? QByteArrayView() : QByteArrayView(p, n);
                }
                if (!row(columns.data(), count))
                    return ScanResult::Ended;
            }
            if (rows < kBatch)
                return ScanResult::Done;
        }
    }

    bool send()
    {
        if (PQsendQuery(m_pg, m_fetch.constData()))
            return true;
        succeeded(Result(nullptr, PQclear));
        return false;
    }

    // The rest of what the server sent for the last statement.
    void drain()
    {
        while (PGresult *r = PQgetResult(m_pg))
            PQclear(r);
    }

    // Ends the cursor: the transaction begun for it, or the savepoint in
    // Qt's.  After a failure (or if the clean end fails) it is rolled back.
    bool finish(bool clean)
    {
        if (!m_begun)
            return true;
        drain();
        if (clean && succeeded(exec(own() ? "COMMIT" : "CLOSE bravik_scan; RELEASE SAVEPOINT bravik_scan")))
            return true;
        exec(own() ? "ROLLBACK" : "ROLLBACK TO SAVEPOINT bravik_scan; RELEASE SAVEPOINT bravik_scan");
        return !clean;
    }

    PGconn *m_pg;
    const PGTransactionStatusType m_found;
    const QByteArray m_fetch;
    bool m_begun = false;
    QString m_error;
};

} // namespace

ScanResult scanText(const QSqlDatabase &db, const QString &sql, const QVariantList &bound,
                    const QList<bool> &booleans, const TextRow &row, QString *error)
{
    if (PGconn *pg = handleOf<PGconn>(db, {"PGconn*", "pg_conn*"}))
        return ServerScan(pg).run(sql, bound, booleans, row, error);
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
    std::vector<QByteArray> repaired(columns.size());
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
                columns[size_t(c)] = value ? kTrue : kFalse;
                continue;
            }
            const int type = sqlite3_column_type(statement, c);
            const unsigned char *p = sqlite3_column_text(statement, c);
            const int n = sqlite3_column_bytes(statement, c);
            if (p && !isCleanUtf8(p, n)) {
                repaired[size_t(c)] = readAsDriverDoes(statement, c, type);
                columns[size_t(c)] = repaired[size_t(c)];
                continue;
            }
            columns[size_t(c)] = p ? QByteArrayView(reinterpret_cast<const char *>(p), n) : QByteArrayView();
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

BytesResult execWithBytes(const QSqlDatabase &db, const QString &sql, const QVariantList &bound, QByteArray *value,
                          bool *found, QString *error)
{
    PGconn *pg = handleOf<PGconn>(db, {"PGconn*", "pg_conn*"});
    if (!pg)
        return BytesResult::Unsupported;
    // '?' to $1, $2, … (the statements given here hold no '?' of their own).
    QByteArray text;
    int n = 0;
    for (const QChar c : sql) {
        if (c == QLatin1Char('?'))
            text += '$' + QByteArray::number(++n);
        else
            text += QString(c).toUtf8();
    }
    std::vector<QByteArray> held;
    std::vector<const char *> values;
    std::vector<int> lengths, formats;
    held.reserve(size_t(bound.size()));
    for (const QVariant &v : bound) {
        const bool bytes = v.typeId() == QMetaType::QByteArray;
        held.push_back(bytes ? v.toByteArray() : v.toString().toUtf8());
        values.push_back(v.isNull() ? nullptr : held.back().constData());
        lengths.push_back(int(held.back().size()));
        formats.push_back(bytes ? 1 : 0);
    }
    PGresult *result = PQexecParams(pg, text.constData(), int(values.size()), nullptr, values.data(), lengths.data(),
                                    formats.data(), 1);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        if (error)
            *error = serverError(pg, result);
        PQclear(result);
        return BytesResult::Failed;
    }
    if (found)
        *found = status == PGRES_TUPLES_OK && PQntuples(result) > 0;
    if (value && status == PGRES_TUPLES_OK && PQntuples(result) > 0 && PQnfields(result) > 0)
        *value = QByteArray(PQgetvalue(result, 0, 0), PQgetlength(result, 0, 0));
    PQclear(result);
    return BytesResult::Done;
}

} // namespace bravik::logbook::native
