// Times the record cursor's moves on a large table beside the same
// single-row query issued directly on the same file (the floor).
//
//   bench-navigation [rows]      rows defaults to 1,000,000
//
// When a PostgreSQL server is named (BRAVIK_BENCH_PG, else BRAVIK_TEST_PG:
// a libpq connection string) the same runs there too, in a schema of its
// own that is removed afterwards, and both sets of figures are printed.
//
// Goals: every move within 3x its floor and under 1 ms; open under 5 ms;
// a move through the logbook service (as a record window makes it, the
// answer taken through the event loop) at most 50 us more than the
// cursor's;
// a stored edit of a row (version check and its history row, in one
// transaction) at most 1.5x a plain UPDATE of the same field.
// The figures are printed, not checked.
#include "Connection.h"
#include "Database.h"
#include "RecordCursor.h"
#include "LogbookService.h"
#include "RecordFront.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace bravik::logbook;

namespace {

const QString kTable = QStringLiteral("Miscellaneous");
constexpr int kRepeats = 201;

double medianMicros(int repeats, const std::function<void()> &step)
{
    std::vector<double> times;
    times.reserve(repeats);
    QElapsedTimer timer;
    for (int i = 0; i < repeats; ++i) {
        timer.start();
        step();
        times.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::nth_element(times.begin(), times.begin() + repeats / 2, times.end());
    return times[repeats / 2];
}

[[noreturn]] void die(const QString &what)
{
    std::fprintf(stderr, "bench-navigation: %s\n", qPrintable(what));
    std::exit(1);
}

void fill(Database &db, qint64 rows)
{
    QSqlDatabase conn = db.connection();
    QSqlQuery q(conn);
    if (db.dialect().driver == QLatin1String("QPSQL")) {
        // The server makes the rows itself; one by one over the wire would
        // take minutes.
        if (!q.exec(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\", \"SubmittedBy\") "
                                   "SELECT '7/29/2003 8:23:40 PM', 'note ' || i, 'Ana' FROM generate_series(1, %1) i")
                        .arg(rows)))
            die(q.lastError().text());
        q.exec(QStringLiteral("ANALYZE \"Miscellaneous\""));
        return;
    }
    if (!q.exec(db.dialect().beginWrite))
        die(q.lastError().text());
    if (!q.prepare(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\", \"SubmittedBy\") VALUES (?, ?, ?)")))
        die(q.lastError().text());
    for (qint64 i = 1; i <= rows; ++i) {
        q.bindValue(0, QStringLiteral("7/29/2003 8:23:40 PM"));
        q.bindValue(1, QStringLiteral("note %1").arg(i));
        q.bindValue(2, QStringLiteral("Ana"));
        if (!q.exec())
            die(q.lastError().text());
    }
    if (!QSqlQuery(conn).exec(QStringLiteral("COMMIT")))
        die(QStringLiteral("commit failed"));
}

// The floor: one prepared single-row query on a connection of its own,
// read out and reset, the way the cursor does it but with nothing around:
// the same columns as the cursor's (the key, the fields, the version and
// the void mark with its reason).
struct Floor
{
    explicit Floor(Database &db)
        : conn(db.connection())
    {
        const TableDef &def = *findTable(kTable);
        QStringList cols{Dialect::quote(keyColumn())};
        for (const QString &f : def.fields)
            cols << Dialect::quote(f);
        for (const QString &f : {rowVersionColumn(), voidedColumn(), voidReasonColumn()})
            cols << Dialect::quote(f);
        select = QStringLiteral("SELECT %1 FROM \"Miscellaneous\" ").arg(cols.join(QStringLiteral(", ")));
        fieldCount = int(cols.size()) - 1;
    }

    qint64 run(const QString &tail, const QVariant &bound = {})
    {
        QSqlQuery &q = prepared[tail];
        if (!q.isValid() && q.lastQuery().isEmpty()) {
            q = QSqlQuery(conn);
            q.setForwardOnly(true);
            if (!q.prepare(select + tail))
                die(q.lastError().text());
        }
        if (bound.isValid())
            q.bindValue(0, bound);
        if (!q.exec())
            die(q.lastError().text());
        qint64 key = -1;
        if (q.next()) {
            key = q.value(0).toLongLong();
            for (int i = 1; i <= fieldCount; ++i)
                (void)q.value(i).toString();
        }
        q.finish();
        return key;
    }

    // A stored edit as it was before edit histories: the changed field
    // written with no version check and no history, in its own transaction.
    void plainUpdate(const Dialect &dialect, qint64 key, const QString &note)
    {
        QSqlQuery q(conn);
        q.exec(dialect.beginWrite);
        q.prepare(QStringLiteral("UPDATE \"Miscellaneous\" SET \"Note\" = ? WHERE \"BravikKey\" = ?"));
        q.bindValue(0, note);
        q.bindValue(1, key);
        if (!q.exec())
            die(q.lastError().text());
        QSqlQuery(conn).exec(QStringLiteral("COMMIT"));
    }

    void insert(const Dialect &dialect)
    {
        QSqlQuery q(conn);
        q.exec(dialect.beginWrite);
        q.prepare(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES (?)"));
        q.bindValue(0, QStringLiteral("floor"));
        if (!q.exec())
            die(q.lastError().text());
        QSqlQuery(conn).exec(QStringLiteral("COMMIT"));
    }

    QSqlDatabase conn;
    QString select;
    int fieldCount = 0;
    QHash<QString, QSqlQuery> prepared;
};


struct Line { const char *what; double cursor; double floor; double goal; double ratioGoal = 0; };

std::vector<Line> measure(const DatabaseLocation &where, qint64 rows)
{
    QString error;
    {
        auto db = Database::open(where, &error);
        if (!db)
            die(error);
        QElapsedTimer t;
        t.start();
        fill(*db, rows);
        std::printf("%s: filled %lld rows in %.1f s\n", qPrintable(where.driver), static_cast<long long>(rows),
                    t.elapsed() / 1000.0);
    }

    auto db = Database::open(where, &error);
    auto floorDb = Database::open(where, &error);
    if (!db || !floorDb)
        die(error);
    RecordCursor cursor(*db, kTable);
    QObject::connect(&cursor, &RecordCursor::failed, [](const QString &m) { die(m); });
    Floor floor(*floorDb);
    const QString key = Dialect::quote(keyColumn());

    std::vector<Line> lines;

    // Open: the connection with its checks, then the first row.
    const double openCursor = medianMicros(21, [&] {
        auto d = Database::open(where, &error);
        RecordCursor c(*d, kTable);
        c.open();
    });
    const double openFloor = medianMicros(21, [&] {
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(where.driver, QStringLiteral("floor-open"));
            connection::configure(c, where, &error);
            c.open();
            QSqlQuery q(c);
            q.exec(QStringLiteral("SELECT * FROM \"Miscellaneous\" ORDER BY %1 LIMIT 1").arg(key));
            q.next();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("floor-open"));
    });
    lines.push_back({"open", openCursor, openFloor, 5000});

    cursor.open();
    const QString first = QStringLiteral("ORDER BY %1 LIMIT 1").arg(key);
    const QString last = QStringLiteral("ORDER BY %1 DESC LIMIT 1").arg(key);
    lines.push_back({"first", medianMicros(kRepeats, [&] { cursor.moveFirst(); }),
                     medianMicros(kRepeats, [&] { floor.run(first); }), 1000});
    lines.push_back({"last", medianMicros(kRepeats, [&] { cursor.moveLast(); }),
                     medianMicros(kRepeats, [&] { floor.run(last); }), 1000});

    // Next and previous walk from the middle of the table.
    const qint64 middle = rows / 2;
    const QString next = QStringLiteral("WHERE %1 > ? ORDER BY %1 LIMIT 1").arg(key);
    const QString prev = QStringLiteral("WHERE %1 < ? ORDER BY %1 DESC LIMIT 1").arg(key);
    cursor.moveFirst();
    while (cursor.currentKey() < middle)   // reach the middle without timing
        cursor.moveNext();
    qint64 at = middle;
    lines.push_back({"next", medianMicros(kRepeats, [&] { cursor.moveNext(); }),
                     medianMicros(kRepeats, [&] { at = floor.run(next, at); }), 1000});
    lines.push_back({"previous", medianMicros(kRepeats, [&] { cursor.movePrevious(); }),
                     medianMicros(kRepeats, [&] { at = floor.run(prev, at); }), 1000});

    // The same moves as a record window makes them: each a job of the
    // logbook service, its answer taken through the event loop.  Beside
    // each: the cursor's own figure above; goal: at most 50 us more.
    {
        RecordFront front(where, kTable);
        using R = RecordFront::Request;
        auto answered = [&front](R what) {
            bool done = false;
            front.request(what, [&done](bool) { done = true; });
            while (!done)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        answered(R::Open);
        if (!front.isOpen())
            die(front.lastError());
        const double direct[4] = {lines[1].cursor, lines[2].cursor, lines[3].cursor, lines[4].cursor};
        lines.push_back({"first (service)", medianMicros(kRepeats, [&] { answered(R::First); }), direct[0], -50});
        lines.push_back({"last (service)", medianMicros(kRepeats, [&] { answered(R::Last); }), direct[1], -50});
        answered(R::First);
        bool done = false;
        front.moveToKey(middle, [&done](bool) { done = true; });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        lines.push_back({"next (service)", medianMicros(kRepeats, [&] { answered(R::Next); }), direct[2], -50});
        lines.push_back({"previous (service)", medianMicros(kRepeats, [&] { answered(R::Previous); }), direct[3], -50});
    }
    LogbookService::shutdownAll(std::chrono::seconds(10));

    // A stored edit of an existing row: the cursor's store with its
    // version check and history row, beside the plain UPDATE of the same
    // field on another row of the same file.
    {
        // Taken in turns, so a checkpoint or a busy moment falls on both.
        cursor.moveToKey(middle);
        std::vector<double> edits, plains;
        QElapsedTimer timer;
        for (int i = 0; i < kRepeats; ++i) {
            timer.start();
            cursor.setValue(QStringLiteral("Note"), QStringLiteral("edit %1").arg(i));
            cursor.save();
            edits.push_back(timer.nsecsElapsed() / 1000.0);
            timer.start();
            floor.plainUpdate(db->dialect(), middle - 10, QStringLiteral("edit %1").arg(i));
            plains.push_back(timer.nsecsElapsed() / 1000.0);
        }
        auto median = [](std::vector<double> &v) {
            std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
            return v[v.size() / 2];
        };
        lines.push_back({"stored edit", median(edits), median(plains), 0, 1.5});
    }

    int n = 0;
    lines.push_back({"begin new, save", medianMicros(kRepeats, [&] {
                         cursor.beginNew();
                         cursor.setValue(QStringLiteral("Note"), QStringLiteral("new %1").arg(++n));
                         cursor.save();
                     }),
                     medianMicros(kRepeats, [&] { floor.insert(db->dialect()); }), 0});
    return lines;
}

QString verdict(const Line &l)
{
    const double ratio = l.floor > 0 ? l.cursor / l.floor : 0;
    if (l.ratioGoal > 0)
        return ratio <= l.ratioGoal ? QStringLiteral("met") : QStringLiteral("MISSED");
    if (l.goal < 0)   // at most -goal microseconds more than the cursor alone
        return l.cursor - l.floor <= -l.goal ? QStringLiteral("met +%1").arg(l.cursor - l.floor, 0, 'f', 1)
                                             : QStringLiteral("MISSED +%1").arg(l.cursor - l.floor, 0, 'f', 1);
    if (l.goal <= 0)
        return QStringLiteral("(commit)");
    const bool met = l.cursor < l.goal && (l.goal > 1000 || ratio <= 3.0);
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

// A schema of the benchmark's own on the server, so nothing of the crew's
// is touched; removed at the end.
struct ServerSchema
{
    explicit ServerSchema(const QString &serverText)
        : server(serverText)
        , admin({QStringLiteral("QPSQL"), server + QStringLiteral(" options='-cclient_min_messages=warning'")})
    {
        exec(QStringLiteral("DROP SCHEMA IF EXISTS bravik_bench CASCADE"));
        exec(QStringLiteral("CREATE SCHEMA bravik_bench"));
    }
    ~ServerSchema() { exec(QStringLiteral("DROP SCHEMA IF EXISTS bravik_bench CASCADE")); }

    DatabaseLocation where() const
    {
        return {QStringLiteral("QPSQL"), server + QStringLiteral(" options='-csearch_path=bravik_bench -cclient_min_messages=warning'")};
    }

    void exec(const QString &sql)
    {
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
            QString error;
            if (!connection::configure(c, admin, &error))
                die(error);
            if (!c.open())
                die(Database::errorText(c.lastError()));
            QSqlQuery q(c);
            if (!q.exec(sql))
                die(q.lastError().text());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    }

    QString server;
    DatabaseLocation admin;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qint64 rows = 1000000;
    if (argc > 1) {
        bool ok = false;
        rows = QString::fromLocal8Bit(argv[1]).toLongLong(&ok);
        if (!ok || rows < 10)
            die(QStringLiteral("the row count must be a whole number of at least 10"));
    }

    QTemporaryDir dir;
    const std::vector<Line> sqlite = measure({QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("bench.sqlite"))}, rows);

    QString server = qEnvironmentVariable("BRAVIK_BENCH_PG");
    if (server.isEmpty())
        server = qEnvironmentVariable("BRAVIK_TEST_PG");
    std::vector<Line> postgres;
    if (!server.isEmpty()) {
        ServerSchema schema(server);
        postgres = measure(schema.where(), rows);
    } else {
        std::printf("no PostgreSQL server named (BRAVIK_BENCH_PG): SQLite only\n");
    }

    QTextStream out(stdout);
    out << QStringLiteral("\n%1 rows, median of %2 runs (open: 21); times in microseconds\n").arg(rows).arg(kRepeats);
    out << QStringLiteral("goals: every move <= 3x its floor and < 1 ms; open < 5 ms\n\n");
    auto header = [&](const QString &engine) {
        return QStringLiteral("| %1 %2 %3 %4").arg(engine, -10).arg(QStringLiteral("floor"), 9)
            .arg(QStringLiteral("ratio"), 6).arg(QStringLiteral("goal"), -8);
    };
    out << QStringLiteral("%1 ").arg(QStringLiteral("operation"), -18) << header(QStringLiteral("SQLite"));
    if (!postgres.empty())
        out << QLatin1Char(' ') << header(QStringLiteral("PostgreSQL"));
    out << "\n";
    auto cells = [](const Line &l) {
        return QStringLiteral("| %1 %2 %3 %4").arg(l.cursor, 10, 'f', 1).arg(l.floor, 9, 'f', 1)
            .arg(l.floor > 0 ? l.cursor / l.floor : 0, 6, 'f', 2).arg(verdict(l), -8);
    };
    for (size_t i = 0; i < sqlite.size(); ++i) {
        out << QStringLiteral("%1 ").arg(QString::fromLatin1(sqlite[i].what), -18) << cells(sqlite[i]);
        if (i < postgres.size())
            out << QLatin1Char(' ') << cells(postgres[i]);
        out << "\n";
    }
    out << "\n(commit): a durable commit, bound by the disk; no goal.\n";
    out << "stored edit: a changed row stored with its version check and history row; its floor is the\n"
           "plain UPDATE of the same field as it was before, each in its own durable transaction;\n"
           "goal: ratio at most 1.5.\n";
    out << "(service): the move as a record window makes it, a job of the logbook service answered through\n"
           "the event loop; its floor is the cursor's own figure above, the goal at most 50 us more.\n";
    out << "The moves' floor reads the cursor's columns: the key, the fields, RowVersion, Voided, VoidReason.\n";
    if (!postgres.empty())
        out << "On the server, open is the server's login (the floor opens a connection too).\n";
    return 0;
}
