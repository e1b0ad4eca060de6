// Times a merge of many entries beside the floor of copying the same rows
// with one plain INSERT … SELECT (the file merged from attached), in the
// same run, on SQLite files; and, when a PostgreSQL server is named
// (BRAVIK_BENCH_PG, else BRAVIK_TEST_PG), the merge of the same file into a
// logbook on that server beside the server copying the same rows from a
// table of its own:
//
//   bench-merge [entries]      entries defaults to 100,000
//
// Goals: the merge into an empty logbook within 3x the floor; the merge
// again into the logbook that holds them all (which changes nothing)
// within 1 s per 100,000 entries.  The figures are printed, not checked.
#include "Database.h"
#include "Dialect.h"
#include "LogbookMerge.h"
#include "Schema.h"
#include "ServerSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

using namespace bravik::logbook;

namespace {

const QString kTable = QStringLiteral("Miscellaneous");

[[noreturn]] void die(const QString &what)
{
    std::fprintf(stderr, "bench-merge: %s\n", qPrintable(what));
    std::exit(1);
}

std::unique_ptr<Database> open(const QString &path)
{
    QString error;
    auto db = Database::open({QStringLiteral("QSQLITE"), path}, &error);
    if (!db)
        die(error);
    return db;
}

void exec(QSqlQuery &q, const QString &sql = {})
{
    if (!(sql.isEmpty() ? q.exec() : q.exec(sql)))
        die(q.lastError().text() + QStringLiteral(" in ") + q.lastQuery());
}

// Entries as the windows store them: a note, the stamp, an id each.
void fill(Database &db, qint64 entries)
{
    QSqlQuery q(db.connection());
    exec(q, QStringLiteral("BEGIN"));
    if (!q.prepare(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\", \"SubmittedBy\", \"StampedAtUtc\", "
                                  "\"Workstation\", \"EntryId\") VALUES (?, ?, ?, ?, ?, ?)")))
        die(q.lastError().text());
    for (qint64 i = 0; i < entries; ++i) {
        q.bindValue(0, QStringLiteral("12/8/2026 4:29:%1 AM").arg(i % 60, 2, 10, QLatin1Char('0')));
        q.bindValue(1, QStringLiteral("Entry %1 typed on the boat: swell picking up, recovery moved forward").arg(i));
        q.bindValue(2, QStringLiteral("Ana"));
        q.bindValue(3, QStringLiteral("2026-12-08T04:29:18Z"));
        q.bindValue(4, QStringLiteral("BOAT-LAPTOP"));
        q.bindValue(5, newEntryId());
        exec(q);
    }
    exec(q, QStringLiteral("COMMIT"));
}

// The floor: the same rows copied by the engine in one statement.
double floorSeconds(const QString &from, const QString &into)
{
    auto db = open(into);
    QList<Column> columns;
    QString error;
    if (!db->columns(kTable, &columns, &error))
        die(error);
    QStringList names;
    for (const Column &c : columns)
        if (c.name != keyColumn())
            names << Dialect::quote(c.name);
    QSqlQuery q(db->connection());
    q.prepare(QStringLiteral("ATTACH DATABASE ? AS \"src\""));
    q.bindValue(0, from);
    exec(q);
    QElapsedTimer t;
    t.start();
    exec(q, QStringLiteral("BEGIN IMMEDIATE"));
    exec(q, QStringLiteral("INSERT INTO main.\"Miscellaneous\" (%1) SELECT %1 FROM \"src\".\"Miscellaneous\" ORDER BY \"BravikKey\"")
                .arg(names.join(QStringLiteral(", "))));
    exec(q, QStringLiteral("COMMIT"));
    return t.nsecsElapsed() / 1e9;
}

double mergeSeconds(Database &from, Database &into, MergeSummary *summary)
{
    QString error;
    QElapsedTimer t;
    t.start();
    if (!mergeLogbook(from, into, summary, &error))
        die(error);
    return t.nsecsElapsed() / 1e9;
}

void row(const char *what, double seconds, double floor, const char *goal)
{
    std::printf("%-34s %10.3f %10.3f %8.2f %s\n", what, seconds, floor, seconds / floor, goal);
}

// The file's entries merged into a logbook on the server, beside the floor
// of the server copying the same rows from a table beside the logbook's.
void serverFigures(const QString &server, Database &from, qint64 entries)
{
    bravik::bench::ServerSchema schema(server);
    QString error;
    auto into = Database::open(schema.where(), &error);
    if (!into)
        die(error);
    QList<Column> columns;
    if (!into->columns(kTable, &columns, &error))
        die(error);
    QStringList names;
    QList<Column::Kind> kinds;
    for (const Column &c : columns) {
        if (c.name != keyColumn()) {
            names << Dialect::quote(c.name);
            kinds << c.kind;
        }
    }
    const QString list = names.join(QStringLiteral(", "));
    QSqlQuery q(into->connection());
    exec(q, QStringLiteral("CREATE TABLE \"Staging\" AS SELECT %1 FROM \"Miscellaneous\" WHERE false").arg(list));
    {
        // The rows put on the server (not timed).
        QSqlQuery read(from.connection());
        read.setForwardOnly(true);
        exec(read, QStringLiteral("SELECT %1 FROM \"Miscellaneous\" ORDER BY \"BravikKey\"").arg(list));
        exec(q, QStringLiteral("BEGIN"));
        if (!q.prepare(QStringLiteral("INSERT INTO \"Staging\" (%1) VALUES (%2)")
                           .arg(list, QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")))))
            die(q.lastError().text());
        while (read.next()) {
            for (int i = 0; i < names.size(); ++i)
                q.bindValue(i, Database::coerced(read.value(i), kinds.at(i)));
            exec(q);
        }
        exec(q, QStringLiteral("COMMIT"));
    }
    QElapsedTimer t;
    t.start();
    exec(q, QStringLiteral("BEGIN"));
    exec(q, QStringLiteral("INSERT INTO \"Miscellaneous\" (%1) SELECT %1 FROM \"Staging\"").arg(list));
    exec(q, QStringLiteral("COMMIT"));
    const double floor = t.nsecsElapsed() / 1e9;
    exec(q, QStringLiteral("DELETE FROM \"Miscellaneous\""));
    MergeSummary first, again;
    const double fresh = mergeSeconds(from, *into, &first);
    const double repeat = mergeSeconds(from, *into, &again);
    row("server: merge into an empty logbook", fresh, floor, fresh <= 3 * floor ? "within 3x: met" : "within 3x: MISSED");
    row("server: merge again", repeat, floor,
        repeat * 100000.0 / double(entries) <= 1.0 ? "1 s per 100,000: met" : "1 s per 100,000: MISSED");
    std::printf("server, first: %s\nserver, again: %s\n", qPrintable(first.text()), qPrintable(again.text()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 100000;
    if (entries <= 0)
        die(QStringLiteral("the number of entries must be a positive number"));
    QTemporaryDir dir;
    const QString fromPath = dir.filePath(QStringLiteral("boat.sqlite")), floorPath = dir.filePath(QStringLiteral("floor.sqlite")),
                  intoPath = dir.filePath(QStringLiteral("ship.sqlite"));
    {
        auto from = open(fromPath);
        QElapsedTimer t;
        t.start();
        fill(*from, entries);
        std::printf("filled %lld entries in %.1f s\n", static_cast<long long>(entries), t.elapsed() / 1000.0);
    }
    open(intoPath);   // both made before any timing
    const double floor = floorSeconds(fromPath, floorPath);
    auto from = open(fromPath);
    auto into = open(intoPath);
    MergeSummary first, again;
    const double fresh = mergeSeconds(*from, *into, &first);
    const double repeat = mergeSeconds(*from, *into, &again);
    const double perHundredK = repeat * 100000.0 / double(entries);

    std::printf("%-34s %10s %10s %8s %s\n", "", "seconds", "floor", "ratio", "goal");
    std::printf("%-34s %10.3f %10.3f %8.2f %s\n", "merge into an empty logbook", fresh, floor, fresh / floor,
                fresh <= 3 * floor ? "within 3x: met" : "within 3x: MISSED");
    std::printf("%-34s %10.3f %10.3f %8.2f %s\n", "merge again (changes nothing)", repeat, floor, repeat / floor,
                perHundredK <= 1.0 ? "1 s per 100,000: met" : "1 s per 100,000: MISSED");
    std::printf("first: %s\nagain: %s\n", qPrintable(first.text()), qPrintable(again.text()));
    const QString server = bravik::bench::serverFromEnvironment();
    if (server.isEmpty())
        std::printf("no PostgreSQL server named (BRAVIK_BENCH_PG): SQLite only\n");
    else
        serverFigures(server, *from, entries);
    return 0;
}
