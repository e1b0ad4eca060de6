// Times the list's queries on a large table beside the same query issued
// directly on the same file (the floor), and the CSV export beside
// `sqlite3 -csv` on the same table.
//
//   bench-logbooklist [rows]      rows defaults to 1,000,000
//
// Goals: first page and next page within 2x the direct query and under
// 50 ms; a whole scan within 1.5x the direct scan; export at least half of
// sqlite3's rate, with memory that does not grow with the table.  The
// figures are printed, not checked.
#include "Database.h"
#include "Dialect.h"
#include "EntryExport.h"
#include "EntryQuery.h"
#include "Schema.h"
#include "TextFold.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
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
                                  "\"Workstation\") VALUES (?, ?, ?, ?, 'deck-pc')")))
        die(q.lastError().text());
    for (qint64 i = 1; i <= rows; ++i) {
        q.bindValue(0, QStringLiteral("12/8/2026 4:29:18 AM"));
        q.bindValue(1, QStringLiteral("Battery swap, tailcone checked, note %1").arg(i));
        q.bindValue(2, i % 7 ? QStringLiteral("Ana") : QStringLiteral("Ben"));
        q.bindValue(3, QStringLiteral("2026-12-08T04:29:18Z"));
        if (!q.exec())
            die(q.lastError().text());
    }
    if (!QSqlQuery(db.connection()).exec(QStringLiteral("COMMIT")))
        die(QStringLiteral("commit failed"));
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
        EntryQuery q(*db, QStringLiteral("Miscellaneous"), {});
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
        EntryQuery q(*db, QStringLiteral("Miscellaneous"), f);
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

    // Export beside sqlite3 -csv on the same table.
    const long before = peakKb();
    const QString csvPath = dir.filePath(QStringLiteral("out.csv"));
    ExportRequest r{where, QStringLiteral("Miscellaneous"), {}, ExportRequest::Csv};
    t.start();
    if (exportToFile(r, csvPath, {}, &error) != ExportResult::Done)
        die(error);
    const double ours = t.nsecsElapsed() / 1e9;
    const long after = peakKb();
    QProcess sqlite;
    sqlite.setStandardOutputFile(dir.filePath(QStringLiteral("sqlite.csv")));
    t.start();
    sqlite.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), QStringLiteral("-header"), where.location,
                                             QStringLiteral("SELECT * FROM \"Miscellaneous\" ORDER BY \"BravikKey\" DESC")});
    sqlite.waitForFinished(-1);
    const double theirs = t.nsecsElapsed() / 1e9;
    std::printf("\nCSV export: %.0f rows/s (%.2f s); sqlite3 -csv: %.0f rows/s (%.2f s); ratio %.2f (goal >= 0.5)\n",
                rows / ours, ours, rows / theirs, theirs, theirs / ours);
    std::printf("peak memory: %ld kB before the export, %ld kB after (%lld rows, %lld bytes written)\n", before, after,
                rows, QFile(csvPath).size());
    return 0;
}
