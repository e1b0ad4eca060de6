// Times the record cursor's moves on a large table beside the same
// single-row query issued directly on the same file (the floor).
//
//   bench-navigation [rows]      rows defaults to 1,000,000
//
// Goals: every move within 3x its floor and under 1 ms; open under 5 ms.
// The figures are printed, not checked.
#include "Database.h"
#include "RecordCursor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
// read out and reset, the way the cursor does it but with nothing around.
struct Floor
{
    explicit Floor(Database &db)
        : conn(db.connection())
    {
        const TableDef &def = *findTable(kTable);
        QStringList cols{Dialect::quote(keyColumn())};
        for (const QString &f : def.fields)
            cols << Dialect::quote(f);
        select = QStringLiteral("SELECT %1 FROM \"Miscellaneous\" ").arg(cols.join(QStringLiteral(", ")));
        fieldCount = def.fields.size();
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

    void insert()
    {
        QSqlQuery q(conn);
        q.exec(QStringLiteral("BEGIN IMMEDIATE"));
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
    const DatabaseLocation where{QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("bench.sqlite"))};
    QString error;
    {
        auto db = Database::open(where, &error);
        if (!db)
            die(error);
        QElapsedTimer t;
        t.start();
        fill(*db, rows);
        std::printf("filled %lld rows in %.1f s\n", static_cast<long long>(rows), t.elapsed() / 1000.0);
    }

    auto db = Database::open(where, &error);
    auto floorDb = Database::open(where, &error);
    if (!db || !floorDb)
        die(error);
    RecordCursor cursor(*db, kTable);
    QObject::connect(&cursor, &RecordCursor::failed, [](const QString &m) { die(m); });
    Floor floor(*floorDb);
    const QString key = Dialect::quote(keyColumn());

    struct Line { const char *what; double cursor; double floor; double goal; };
    std::vector<Line> lines;

    // Open: the connection with its checks, then the first row.
    const double openCursor = medianMicros(21, [&] {
        auto d = Database::open(where, &error);
        RecordCursor c(*d, kTable);
        c.open();
    });
    const double openFloor = medianMicros(21, [&] {
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("floor-open"));
            c.setDatabaseName(where.location);
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

    int n = 0;
    lines.push_back({"begin new, save", medianMicros(kRepeats, [&] {
                         cursor.beginNew();
                         cursor.setValue(QStringLiteral("Note"), QStringLiteral("new %1").arg(++n));
                         cursor.save();
                     }),
                     medianMicros(kRepeats, [&] { floor.insert(); }), 0});

    QTextStream out(stdout);
    out << QStringLiteral("\n%1 rows, SQLite, median of %2 runs (open: 21)\n").arg(rows).arg(kRepeats);
    out << QStringLiteral("%1 %2 %3 %4  %5\n").arg(QStringLiteral("operation"), -18)
               .arg(QStringLiteral("cursor us"), 12).arg(QStringLiteral("floor us"), 12)
               .arg(QStringLiteral("ratio"), 7).arg(QStringLiteral("goal"));
    for (const Line &l : lines) {
        const double ratio = l.floor > 0 ? l.cursor / l.floor : 0;
        QString goal;
        if (l.goal > 0) {
            const bool met = l.cursor < l.goal && (l.goal > 1000 || ratio <= 3.0);
            goal = QStringLiteral("%1 (%2)").arg(met ? QStringLiteral("met") : QStringLiteral("MISSED"),
                                                l.goal > 1000 ? QStringLiteral("< 5 ms")
                                                              : QStringLiteral("<= 3x floor, < 1 ms"));
        } else {
            goal = QStringLiteral("(a durable commit; disk-bound)");
        }
        out << QStringLiteral("%1 %2 %3 %4  %5\n").arg(QString::fromLatin1(l.what), -18)
                   .arg(l.cursor, 12, 'f', 1).arg(l.floor, 12, 'f', 1).arg(ratio, 7, 'f', 2).arg(goal);
    }
    return 0;
}
