// Times the list's queries on a large table beside the same query issued
// directly on the same file (the floor); the CSV export beside the
// engine's own tool reading exactly what the export reads (the key and
// the six columns it writes, voided rows left out, newest first):
// `sqlite3 -csv`, and on PostgreSQL `psql \copy`; and a record window's
// store while such an export runs, beside the same store alone.
//
//   bench-logbooklist [rows]      rows defaults to 1,000,000
//
// When a PostgreSQL server is named (BRAVIK_BENCH_PG, else BRAVIK_TEST_PG:
// a libpq connection string) the export and the stores run there too, in
// a schema of the benchmark's own that is removed afterwards.
//
// Goals: first page and next page within 2x the direct query and under
// 50 ms; a whole scan within 1.5x the direct scan; the export within 2x
// sqlite3's time and 1.5x psql's, with memory that does not grow with the
// table; the 99th percentile of a store during an export within 50 ms.
// The figures are printed, not checked.
#include "Database.h"
#include "Dialect.h"
#include "EntryExport.h"
#include "EntryQuery.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "Schema.h"
#include "ServerSchema.h"
#include "TextFold.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

using namespace bravik::logbook;

namespace {

[[noreturn]] void die(const QString &what)
{
    std::fprintf(stderr, "bench-logbooklist: %s\n", qPrintable(what));
    std::exit(1);
}

double medianMs(int repeats, const std::function<void()> &step)
{
    std::vector<double> t;
    QElapsedTimer timer;
    for (int i = 0; i < repeats; ++i) {
        timer.start();
        step();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::nth_element(t.begin(), t.begin() + repeats / 2, t.end());
    return t[repeats / 2];
}

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void fill(Database &db, qint64 rows)
{
    QSqlQuery q(db.connection());
    if (!q.exec(db.dialect().beginWrite))
        die(q.lastError().text());
    if (!q.prepare(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\", \"SubmittedBy\", \"StampedAtUtc\", "
                                  "\"Workstation\", \"Voided\", \"VoidReason\") VALUES (?, ?, ?, ?, 'deck-pc', ?, ?)")))
        die(q.lastError().text());
    for (qint64 i = 1; i <= rows; ++i) {
        q.bindValue(0, QStringLiteral("12/8/2026 4:29:18 AM"));
        q.bindValue(1, QStringLiteral("Battery swap, tailcone checked, note %1").arg(i));
        q.bindValue(2, i % 7 ? QStringLiteral("Ana") : QStringLiteral("Ben"));
        q.bindValue(3, QStringLiteral("2026-12-08T04:29:18Z"));
        // One entry in a hundred voided: the export leaves it out.
        q.bindValue(4, i % 100 == 0);
        q.bindValue(5, i % 100 ? QVariant(QMetaType::fromType<QString>()) : QVariant(QStringLiteral("entered twice")));
        if (!q.exec())
            die(q.lastError().text());
    }
    if (!QSqlQuery(db.connection()).exec(QStringLiteral("COMMIT")))
        die(QStringLiteral("commit failed"));
}

// The same rows made by the server itself: a million single inserts over
// the network would take longer than everything measured here.
void fillOnServer(Database &db, qint64 rows)
{
    QSqlQuery q(db.connection());
    if (!q.prepare(QStringLiteral(
            "INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\", \"SubmittedBy\", \"StampedAtUtc\", \"Workstation\", "
            "\"Voided\", \"VoidReason\") SELECT '12/8/2026 4:29:18 AM', 'Battery swap, tailcone checked, note ' || i, "
            "CASE WHEN i % 7 = 0 THEN 'Ben' ELSE 'Ana' END, '2026-12-08T04:29:18Z', 'deck-pc', i % 100 = 0, "
            "CASE WHEN i % 100 = 0 THEN 'entered twice' END FROM generate_series(1, ?) AS i")))
        die(q.lastError().text());
    q.bindValue(0, rows);
    if (!q.exec() || !q.exec(QStringLiteral("VACUUM ANALYZE \"Miscellaneous\"")))
        die(q.lastError().text());
}

// The same statement the list runs, prepared and read out directly.
double direct(Database &db, const QString &sql, const QVariantList &bound, int repeats)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        die(q.lastError().text());
    return medianMs(repeats, [&] {
        for (int i = 0; i < bound.size(); ++i)
            q.bindValue(i, bound.at(i));
        if (!q.exec())
            die(q.lastError().text());
        const int columns = 9;   // the key, the five fields the list shows, and the three of corrections
        while (q.next())
            for (int c = 0; c < columns; ++c)
                (void)q.value(c).toString();
        q.finish();
    });
}

double percentile(std::vector<double> v, double share)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t at = size_t(std::ceil(share * double(v.size()))) - 1;
    return v[std::min(at, v.size() - 1)];
}

const QString kTable = QStringLiteral("Miscellaneous");

// What the export reads, as one statement: the key and the columns it
// writes, voided rows left out, newest first.
QString exportedSelect(Database &db)
{
    EntryQuery query(db, kTable, {});
    QStringList columns{Dialect::quote(keyColumn())};
    for (const QString &c : query.columns())
        columns << Dialect::quote(c);
    return QStringLiteral("SELECT %1 FROM %2 WHERE NOT COALESCE(%3, FALSE) ORDER BY %4 DESC")
        .arg(columns.join(QStringLiteral(", ")), Dialect::quote(kTable), Dialect::quote(voidedColumn()),
             Dialect::quote(keyColumn()));
}

struct ExportFigures
{
    double program = 0, floor = 0;   // seconds, median of the runs
    qint64 programBytes = 0, floorBytes = 0;
};

// The export through the logbook service, as `--export` runs it, beside
// the engine's own tool writing the same rows to a file on the same disk;
// taken in turns, so a busy moment falls on both.
ExportFigures exportBesideFloor(Database &db, const QString &folder, int runs)
{
    const DatabaseLocation &where = db.location();
    const QString ours = folder + QStringLiteral("/export.csv"), theirs = folder + QStringLiteral("/floor.csv");
    const QString select = exportedSelect(db);
    QProcess tool;
    QStringList arguments;
    if (db.dialect().fileBased) {
        tool.setProgram(QStringLiteral("sqlite3"));
        tool.setStandardOutputFile(theirs);
        arguments = {QStringLiteral("-csv"), QStringLiteral("-header"), where.location, select};
    } else {
        tool.setProgram(QStringLiteral("psql"));
        arguments = {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                     QStringLiteral("-d"), where.location, QStringLiteral("-c"),
                     QStringLiteral("\\copy (%1) TO '%2' WITH CSV HEADER").arg(select, theirs)};
    }
    tool.setArguments(arguments);
    std::vector<double> program, floor;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        QString error;
        t.start();
        if (exportToFile(ExportRequest{where, kTable, {}, ExportRequest::Csv}, ours, {}, &error) != ExportResult::Done)
            die(error);
        program.push_back(t.nsecsElapsed() / 1e9);
        t.start();
        tool.start();
        if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            die(tool.program() + QStringLiteral(" failed: ") + QString::fromLocal8Bit(tool.readAllStandardError()));
        floor.push_back(t.nsecsElapsed() / 1e9);
    }
    return {percentile(program, 0.5), percentile(floor, 0.5), QFile(ours).size(), QFile(theirs).size()};
}

// A record window's store (a new row begun, a note typed, stored) every
// 20 ms, as long as `during` runs, or `count` of them when it is empty;
// each store's time from the request to its answer, in milliseconds.
std::vector<double> pacedStores(const DatabaseLocation &where, int count, const std::function<void()> &during)
{
    RecordFront front(where, kTable);
    using R = RecordFront::Request;
    std::vector<double> times;
    bool busy = true;
    front.request(R::Open, [&](bool ok) {
        if (!ok)
            die(front.lastError());
        busy = false;
    });
    while (busy)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QElapsedTimer t;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (busy)
            return;   // the last store has not answered: this turn is skipped
        busy = true;
        front.request(R::BeginNew, [&](bool ok) {
            if (!ok)
                die(front.lastError());
            front.setValue(QStringLiteral("Note"), QStringLiteral("stored while timed %1").arg(times.size()));
            t.start();
            front.request(R::Save, [&](bool ok) {
                if (!ok)
                    die(front.lastError());
                times.push_back(t.nsecsElapsed() / 1e6);
                busy = false;
            });
        });
    });
    tick.start();
    if (during)
        during();
    else
        while (int(times.size()) < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    while (busy)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return times;
}

struct EngineFigures
{
    const char *engine;
    const char *floorTool;
    double goal;
    ExportFigures exported;
    std::vector<double> storesAlone, storesDuring;
};

EngineFigures exportAndStores(const char *engine, Database &db, qint64 rows, const QString &folder)
{
    EngineFigures f{engine, db.dialect().fileBased ? "sqlite3 -csv" : "psql \\copy",
                    db.dialect().fileBased ? 2.0 : 1.5, {}, {}, {}};
    std::printf("%s: CSV export of %lld rows beside %s...\n", engine, rows, f.floorTool);
    std::fflush(stdout);
    f.exported = exportBesideFloor(db, folder, 3);
    f.storesAlone = pacedStores(db.location(), 75, {});
    f.storesDuring = pacedStores(db.location(), 0, [&] {
        QString error;
        if (exportToFile(ExportRequest{db.location(), kTable, {}, ExportRequest::Csv}, folder + QStringLiteral("/during.csv"),
                         {}, &error) != ExportResult::Done)
            die(error);
    });
    // Half of the stores alone before the export, half after it, so a
    // slow moment of the disk falls on both.
    const std::vector<double> after = pacedStores(db.location(), 75, {});
    f.storesAlone.insert(f.storesAlone.end(), after.begin(), after.end());
    return f;
}

void print(const EngineFigures &f)
{
    const ExportFigures &e = f.exported;
    std::printf("\n%s, CSV export (median of 3): program %.2f s, floor (%s) %.2f s: ratio %.2f (goal <= %.1f)\n"
                "  bytes written: program %lld, floor %lld\n",
                f.engine, e.program, f.floorTool, e.floor, e.program / e.floor, f.goal, e.programBytes, e.floorBytes);
    std::printf("%s, a store every 20 ms: alone median %.1f ms, 99th percentile %.1f ms (%zu stores); during an export "
                "median %.1f ms, 99th percentile %.1f ms (%zu stores, goal <= 50 ms)\n",
                f.engine, percentile(f.storesAlone, 0.5), percentile(f.storesAlone, 0.99), f.storesAlone.size(),
                percentile(f.storesDuring, 0.5), percentile(f.storesDuring, 0.99), f.storesDuring.size());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const DatabaseLocation where{QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("bench.sqlite"))};
    QString error;
    auto db = Database::open(where, &error);
    if (!db)
        die(error);
    registerTextFold(db->connection());
    QElapsedTimer t;
    t.start();
    fill(*db, rows);
    std::printf("filled %lld rows in %.1f s\n", rows, t.nsecsElapsed() / 1e9);

    const int page = 200;
    QStringList cols{Dialect::quote(keyColumn())};
    {
        EntryQuery q(*db, kTable, {});
        for (const QString &c : q.columns())
            cols << Dialect::quote(c);
        // The list also reads whether a row was corrected or voided.
        cols << Dialect::quote(rowVersionColumn()) << Dialect::quote(voidedColumn()) << Dialect::quote(voidReasonColumn());
    }
    const QString select = QStringLiteral("SELECT %1 FROM \"Miscellaneous\" ").arg(cols.join(QStringLiteral(", ")));
    const qint64 maxKey = rows;

    // The list shows voided rows too.
    auto listPage = [&](EntryFilter f, qint64 before) {
        f.includeVoid = true;
        EntryQuery q(*db, kTable, f);
        bool exhausted = false;
        int got = 0;
        if (!q.fetch(before, page, [&](const QList<Entry> &r) { got += r.size(); }, nullptr, &exhausted))
            die(q.error());
    };
    struct Line { const char *what; double list, floor, goalRatio; };
    std::vector<Line> lines;
    lines.push_back({"open (first page)", medianMs(21, [&] { listPage({}, -1); }),
                     direct(*db, select + QStringLiteral("ORDER BY \"BravikKey\" DESC LIMIT 200"), {}, 21), 2});
    lines.push_back({"next page", medianMs(21, [&] { listPage({}, maxKey - 200); }),
                     direct(*db, select + QStringLiteral("WHERE \"BravikKey\" < ? ORDER BY \"BravikKey\" DESC LIMIT 200"),
                            {maxKey - 200}, 21), 2});
    const QString textMatch = QStringLiteral(
        "(instr(bravik_fold(\"Date/Time\"), bravik_fold(?)) > 0 OR instr(bravik_fold(\"SubmittedBy\"), bravik_fold(?)) > 0 OR "
        "instr(bravik_fold(\"Note\"), bravik_fold(?)) > 0 OR instr(bravik_fold(\"Workstation\"), bravik_fold(?)) > 0)");
    EntryFilter hit;
    hit.contains = QStringLiteral("TAILCONE");
    lines.push_back({"filter, matches in first page", medianMs(21, [&] { listPage(hit, -1); }),
                     direct(*db, select + QStringLiteral("WHERE ") + textMatch + QStringLiteral(" ORDER BY \"BravikKey\" DESC LIMIT 200"),
                            {hit.contains, hit.contains, hit.contains, hit.contains}, 21), 2});
    EntryFilter none;
    none.contains = QStringLiteral("zebra");
    lines.push_back({"filter, no match (whole scan)", medianMs(5, [&] { listPage(none, -1); }),
                     direct(*db, select + QStringLiteral("WHERE ") + textMatch + QStringLiteral(" ORDER BY \"BravikKey\" DESC LIMIT 200"),
                            {none.contains, none.contains, none.contains, none.contains}, 5), 1.5});
    std::printf("\n%-34s %10s %10s %7s  goal\n", "query (median)", "list ms", "direct ms", "ratio");
    for (const Line &l : lines)
        std::printf("%-34s %10.2f %10.2f %7.2f  <= %.1fx%s\n", l.what, l.list, l.floor, l.list / l.floor, l.goalRatio,
                    l.goalRatio == 2 ? " and < 50 ms" : "");
    std::printf("\n");

    const long before = peakKb();
    std::vector<EngineFigures> figures{exportAndStores("SQLite", *db, rows, dir.path())};
    const long after = peakKb();
    db.reset();
    LogbookService::shutdownAll(std::chrono::seconds(10));

    const QString server = bravik::bench::serverFromEnvironment();
    if (!server.isEmpty()) {
        bravik::bench::ServerSchema schema(server);
        auto onServer = Database::open(schema.where(), &error);
        if (!onServer)
            die(error);
        t.start();
        fillOnServer(*onServer, rows);
        std::printf("filled %lld rows on the server in %.1f s\n", rows, t.nsecsElapsed() / 1e9);
        figures.push_back(exportAndStores("PostgreSQL", *onServer, rows, dir.path()));
        onServer.reset();
        LogbookService::shutdownAll(std::chrono::seconds(10));
    } else {
        std::printf("no PostgreSQL server named (BRAVIK_BENCH_PG): SQLite only\n");
    }

    for (const EngineFigures &f : figures)
        print(f);
    std::printf("\nThe floors read what the export reads: the key and its 6 columns, voided rows left out, newest first.\n"
                "peak memory: %ld kB before the SQLite export, %ld kB after it (%lld rows)\n", before, after, rows);
    return 0;
}
