// Storing and reading back one large attachment, on SQLite and (when a
// server is named: BRAVIK_BENCH_PG, else BRAVIK_TEST_PG) on PostgreSQL,
// through the logbook service as a record window does; beside the floors
// measured in the same run: `cp` of the file (then `sync`), and the same
// bytes inserted and selected through the engine's C API
// (sqlite3_bind_blob; PQexecParams with a binary parameter and result).
// Goal: within 3 times of the engine's own.

#include "AttachmentFront.h"
#include "Database.h"
#include "LogbookService.h"
#include "ServerSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>

using namespace bravik;
using namespace bravik::logbook;

namespace {

double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

struct Figures
{
    double store = -1, read = -1;
};

// Through the logbook service, as "Add…" and "Open" do.
Figures throughLogbook(const DatabaseLocation &where, const QString &path, const QByteArray &bytes)
{
    Figures f;
    {
        QString error;
        auto db = Database::open(where, &error);
        if (!db) {
            std::fprintf(stderr, "benchmark: %s\n", qPrintable(error));
            std::exit(1);
        }
        QSqlQuery(db->connection()).exec(QStringLiteral(
            "INSERT INTO \"VehicleMaintenance\" (\"Date/Time\", \"EntryId\") VALUES ('bench', 'bench-entry')"));
    }
    AttachmentFront front(where, QStringLiteral("VehicleMaintenance"));
    // The entry's key, and the service's connections opened, first.
    QEventLoop loop;
    front.list(1, 64, [&](bool, const QList<AttachmentFront::Listed> &, const QString &) { loop.quit(); });
    loop.exec();
    QElapsedTimer t;
    t.start();
    attachments::Attachment stored;
    front.add(1, path, 1024, {QStringLiteral("bench"), QStringLiteral("bench"), QDateTime::currentDateTimeUtc()},
              [&](bool ok, const attachments::Attachment &a, const QString &error) {
                  if (!ok)
                      std::fprintf(stderr, "benchmark: store failed: %s\n", qPrintable(error));
                  stored = a;
                  loop.quit();
              });
    loop.exec();
    f.store = ms(t);
    t.restart();
    front.read(stored, [&](bool ok, const QByteArray &back, const QString &error) {
        if (!ok || back != bytes)
            std::fprintf(stderr, "benchmark: read back failed: %s\n", qPrintable(error));
        loop.quit();
    });
    loop.exec();
    f.read = ms(t);
    return f;
}

Figures sqliteOwn(const QString &file, const QByteArray &bytes)
{
    Figures f;
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE t (b BLOB)", nullptr, nullptr, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t (b) VALUES (?)", -1, &insert, nullptr);
    sqlite3_bind_blob(insert, 1, bytes.constData(), int(bytes.size()), SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE)
        std::fprintf(stderr, "benchmark: %s\n", sqlite3_errmsg(db));
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    f.store = ms(t);
    t.restart();
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(db, "SELECT b FROM t", -1, &select, nullptr);
    if (sqlite3_step(select) == SQLITE_ROW) {
        const QByteArray back(static_cast<const char *>(sqlite3_column_blob(select, 0)), sqlite3_column_bytes(select, 0));
        if (back != bytes)
            std::fprintf(stderr, "benchmark: the engine's own read differs\n");
    }
    sqlite3_finalize(select);
    f.read = ms(t);
    sqlite3_close(db);
    return f;
}

Figures postgresOwn(const QString &server, const QByteArray &bytes)
{
    Figures f;
    PGconn *c = PQconnectdb((server + QStringLiteral(" options='-csearch_path=bravik_bench'")).toUtf8().constData());
    if (PQstatus(c) != CONNECTION_OK) {
        std::fprintf(stderr, "benchmark: %s\n", PQerrorMessage(c));
        PQfinish(c);
        return f;
    }
    PQclear(PQexec(c, "CREATE TABLE own_blob (b BYTEA)"));
    QElapsedTimer t;
    t.start();
    PQclear(PQexec(c, "BEGIN"));
    const char *values[] = {bytes.constData()};
    const int lengths[] = {int(bytes.size())};
    const int formats[] = {1};
    PGresult *r = PQexecParams(c, "INSERT INTO own_blob (b) VALUES ($1)", 1, nullptr, values, lengths, formats, 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK)
        std::fprintf(stderr, "benchmark: %s\n", PQerrorMessage(c));
    PQclear(r);
    PQclear(PQexec(c, "COMMIT"));
    f.store = ms(t);
    t.restart();
    r = PQexecParams(c, "SELECT b FROM own_blob", 0, nullptr, nullptr, nullptr, nullptr, 1);
    if (PQresultStatus(r) != PGRES_TUPLES_OK || PQgetlength(r, 0, 0) != bytes.size()
        || std::memcmp(PQgetvalue(r, 0, 0), bytes.constData(), size_t(bytes.size())) != 0)
        std::fprintf(stderr, "benchmark: the engine's own read differs\n");
    PQclear(r);
    f.read = ms(t);
    PQfinish(c);
    return f;
}

double copyWithCp(const QString &from, const QString &to)
{
    QElapsedTimer t;
    t.start();
    QProcess::execute(QStringLiteral("cp"), {from, to});
    QProcess::execute(QStringLiteral("sync"), {to});
    return ms(t);
}

void print(const char *engine, const Figures &ours, const Figures &own, double cp)
{
    std::printf("%s: store %.0f ms, read back %.0f ms\n", engine, ours.store, ours.read);
    std::printf("  floor, the engine's C API: insert %.0f ms, select %.0f ms; cp + sync %.0f ms\n", own.store, own.read, cp);
    std::printf("  store %.2fx the engine's own (goal: within 3x), %.2fx cp; read back %.2fx the engine's own\n",
                ours.store / own.store, ours.store / cp, ours.read / own.read);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 50;
    QTemporaryDir dir;
    QByteArray bytes(qsizetype(megabytes) * 1024 * 1024, Qt::Uninitialized);
    // Photos and logs do not compress much: random bytes neither.
    QRandomGenerator gen(42);
    gen.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    const QString path = dir.filePath(QStringLiteral("vehicle.log"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    std::printf("one attachment of %d MB\n", megabytes);
    const double cp = copyWithCp(path, dir.filePath(QStringLiteral("copied.log")));
    {
        const Figures own = sqliteOwn(dir.filePath(QStringLiteral("own.sqlite")), bytes);
        const Figures ours = throughLogbook({QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("bench.sqlite"))}, path, bytes);
        print("SQLite", ours, own, cp);
    }
    const QString server = bench::serverFromEnvironment();
    if (server.isEmpty()) {
        std::printf("no PostgreSQL server named (BRAVIK_BENCH_PG): SQLite only\n");
    } else {
        bench::ServerSchema schema(server);
        const Figures own = postgresOwn(server, bytes);
        const Figures ours = throughLogbook(schema.where(), path, bytes);
        print("PostgreSQL", ours, own, cp);
    }
    LogbookService::shutdownAll(std::chrono::seconds(10));
    return 0;
}
