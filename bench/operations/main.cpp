// Times the operations overview on a year of entries: 100,000 rows across
// the eight tables and 3,000 launch records.  The timeline of a day, what
// needs attention and the battery packs, each read through the logbook
// service as the window reads it, beside the same statements run directly
// on a connection of this thread (the floor); and the report of a 30-day
// range, from the read to the written PDF.
//
//   bench-operations [rows] [launches] [report.pdf]
//       (default 100000 3000; the report is kept when a path is given)
//   BRAVIK_BENCH_PG="dbname=… "            also on a PostgreSQL server
//
// Goals: each within 2 times its floor and under 100 ms; the report under
// 5 s.  The figures are printed, not checked.
#include "Attention.h"
#include "BatteryPacks.h"
#include "ClockText.h"
#include "Database.h"
#include "DailyReport.h"
#include "EntrySummary.h"
#include "LaunchLog.h"
#include "LogbookService.h"
#include "OperationsQueries.h"
#include "PrediveGate.h"
#include "RecordKinds.h"
#include "ReportDrawing.h"
#include "Settings.h"
#include "Timeline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace bravik;
using namespace bravik::ops;
using logbook::operations::StoredEntry;

namespace {

[[noreturn]] void die(const QString &what)
{
    std::fprintf(stderr, "bench-operations: %s\n", qPrintable(what));
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

const QDateTime kYear(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc());

// The share of each table in a year's rows.
const QList<QPair<QString, int>> kMix{{"WeatherObservation", 30}, {"Miscellaneous", 20}, {"MissionData", 10},
                                      {"Predive", 8},             {"BatteryCharge", 10}, {"VehicleMaintenance", 5},
                                      {"TaskList", 10},           {"Purchases", 7}};

void fill(logbook::Database &db, qint64 rows, int launches, const ClockFormat &clock, const QByteArray &script)
{
    auto run = [&db](QSqlQuery &q) {
        if (!q.exec())
            die(q.lastError().text());
    };
    QSqlQuery begin(db.connection());
    if (!begin.exec(db.dialect().beginWrite))
        die(begin.lastError().text());
    const qint64 span = 365LL * 86400;
    for (const auto &[table, share] : kMix) {
        const qint64 n = rows * share / 100;
        QSqlQuery q(db.connection());
        QString sql = QStringLiteral("INSERT INTO \"%1\" (\"Date/Time\", \"StampedAtUtc\", \"SubmittedBy\", \"Workstation\"").arg(table);
        QString marks = QStringLiteral("?, ?, ?, 'deck-pc'");
        QStringList extra;
        if (table == QLatin1String("BatteryCharge"))
            extra = {"Batt1SN", "Bat1MinV", "Bat1MaxV", "Batt2SN", "Bat2MinV", "Bat2MaxV", "Batt3SN", "Bat3MinV", "Bat3MaxV", "Notes"};
        else if (table == QLatin1String("TaskList"))
            extra = {"TaskDescription", "DateCompleted"};
        else if (table == QLatin1String("WeatherObservation") || table == QLatin1String("MissionData"))
            extra = {"Latitude Int", "Latitude Minutes", "HemisphereNS", "Longitude Int", "Longitude Minutes", "HemisphereEW", "Notes"};
        else
            extra = {notesField(table).isEmpty() ? QStringLiteral("Cruise") : notesField(table)};
        for (const QString &f : extra) {
            sql += QStringLiteral(", \"%1\"").arg(f);
            marks += QStringLiteral(", ?");
        }
        if (!q.prepare(sql + QStringLiteral(") VALUES (") + marks + QLatin1Char(')')))
            die(q.lastError().text());
        for (qint64 i = 0; i < n; ++i) {
            const QDateTime at = kYear.addSecs(span * i / std::max<qint64>(1, n) + (i * 37) % 600);
            q.bindValue(0, clockText(at, clock.locale));
            q.bindValue(1, at.toUTC().toString(Qt::ISODate));
            q.bindValue(2, QStringLiteral("Ben"));
            int b = 3;
            if (table == QLatin1String("BatteryCharge")) {
                for (int pack = 0; pack < 3; ++pack) {
                    q.bindValue(b++, QStringLiteral("%1").arg(40 + (i + pack) % 12, 4, 10, QLatin1Char('0')));
                    q.bindValue(b++, QString::number(24.5 - double(i % 50) / 100.0));
                    q.bindValue(b++, QString::number(29.4 - double(i % 40) / 100.0));
                }
                q.bindValue(b++, QStringLiteral("routine charge"));
            } else if (table == QLatin1String("TaskList")) {
                q.bindValue(b++, QStringLiteral("Task %1").arg(i));
                q.bindValue(b++, i % 20 ? clockText(at.addDays(2), clock.locale) : QString());
            } else if (extra.size() == 7) {
                for (const char *v : {"36", "45.25", "N", "121", "50.5", "W"})
                    q.bindValue(b++, QString::fromLatin1(v));
                q.bindValue(b++, QStringLiteral("observed from the bridge, entry %1").arg(i));
            } else {
                q.bindValue(b++, QStringLiteral("entry %1 with a line of notes").arg(i));
            }
            run(q);
        }
    }
    QSqlQuery l(db.connection());
    if (!l.prepare(QStringLiteral("INSERT INTO \"LaunchRecord\" (\"StartedAtUtc\", \"ReviewedText\", \"RunFile\", \"Reviewer\", "
                                  "\"StartResult\", \"RunExitStatus\", \"Position\", \"ReviewedSha256\") "
                                  "VALUES (?, ?, '/m/survey.cfg', 'Ada', 'started', ?, ?, 'ab12')")))
        die(l.lastError().text());
    for (int i = 0; i < launches; ++i) {
        l.bindValue(0, kYear.addSecs(span * i / launches + 3600).toUTC().toString(Qt::ISODate));
        l.bindValue(1, QString::fromUtf8(script));
        l.bindValue(2, i % 25 ? QStringLiteral("0") : QStringLiteral("3"));
        // Each launch from a place of its own: each draws its own pictures.
        l.bindValue(3, QStringLiteral("36 %1 N, 121 %2 W").arg(40 + (i % 97) * 0.1, 0, 'f', 1).arg(50 + (i % 89) * 0.1, 0, 'f', 1));
        run(l);
    }
    if (!QSqlQuery(db.connection()).exec(QStringLiteral("COMMIT")))
        die(QStringLiteral("the commit failed"));
}

// The pages of a PDF as Qt's writer writes them: one page object each.
qint64 pageCount(const QString &pdf)
{
    QFile f(pdf);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count("/Type /Page\n") : -1;
}

// One long job through the service, waited for with an event loop.
template <class T>
T throughService(logbook::LogbookClient &client, std::function<T(logbook::JobContext &)> work)
{
    logbook::JobOptions o;
    o.lane = logbook::JobOptions::Lane::Long;
    T out{};
    QEventLoop loop;
    client.run(o, [work](logbook::JobContext &c) { return work(c); },
               [&](const logbook::Answer<T> &a) {
                   if (!a.ok())
                       die(a.error);
                   out = a.value;
                   loop.quit();
               });
    loop.exec();
    return out;
}

// The reads a span's timeline makes, rows only.
qint64 timelineReads(logbook::Database &db, const TimeSpan &span)
{
    qint64 rows = 0;
    QString error;
    const TimeSpan stamps = stampSpanFor(span);
    for (const logbook::RecordKind &k : logbook::recordKinds())
        if (!logbook::operations::readStampedBetween(db, k.table, stampText(stamps.from), stampText(stamps.until),
                                                     [&rows](StoredEntry &&) { return ++rows > 0; }, &error))
            die(error);
    QList<logbook::launchlog::Record> launches;
    if (!logbook::launchlog::startedBetween(db, stampText(span.from), stampText(span.until), &launches, &error))
        die(error);
    return rows + launches.size();
}

qint64 packReads(logbook::Database &db)
{
    qint64 rows = 0;
    QString error;
    if (!logbook::operations::readBatteryCharges(db, [&rows](StoredEntry &&) { return ++rows > 0; }, &error))
        die(error);
    return rows;
}

qint64 attentionReads(logbook::Database &db, const TimeSpan &span)
{
    qint64 rows = packReads(db) + timelineReads(db, span);
    QString error;
    if (!logbook::operations::readOpenTasks(db, [&rows](StoredEntry &&) { return ++rows > 0; }, &error))
        die(error);
    launch::predive::check(db, 12, span.until);
    return rows;
}

void benchLocation(const logbook::DatabaseLocation &where, const QString &name, qint64 rowCount, int launchCount,
                   const QString &keepReport)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const ClockFormat clock{us, clockDateFormat(us), clockTimeFormat(us)};
    QFile golden(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/waypoints.cfg"));
    golden.open(QIODevice::ReadOnly);
    const QByteArray script = golden.readAll();
    QString error;
    auto db = logbook::Database::open(where, &error);
    if (!db)
        die(error);
    QElapsedTimer made;
    made.start();
    fill(*db, rowCount, launchCount, clock, script);
    std::printf("%s: %lld rows and %d launch records made in %.1f s\n", qPrintable(name), rowCount, launchCount,
                made.elapsed() / 1000.0);

    const TimeSpan day = TimeSpan::day(QDate(2026, 7, 15));
    const Thresholds thresholds;
    const QDateTime now = day.until;
    logbook::LogbookClient client(where);
    // The service opens its connection once, as the window's first read does.
    throughService<int>(client, [](logbook::JobContext &) { return 0; });
    const int repeats = 15;

    qint64 lines = 0, items = 0, packs = 0;
    const double timelineFloor = medianMs(repeats, [&] { timelineReads(*db, day); });
    const double timeline = medianMs(repeats, [&] {
        lines = throughService<qint64>(client, [&](logbook::JobContext &c) {
            QString e;
            const auto t = readTimeline(c.database(), day, clock, {}, &e);
            return t ? qint64(t->lines.size()) : -1;
        });
    });
    const double attentionFloor = medianMs(repeats, [&] { attentionReads(*db, day); });
    const double attention = medianMs(repeats, [&] {
        items = throughService<qint64>(client, [&](logbook::JobContext &c) {
            QString e;
            const auto a = readAttention(c.database(), day, thresholds, clock, now, nullptr, nullptr, {}, &e);
            return a ? qint64(a->size()) : -1;
        });
    });
    const double packsFloor = medianMs(repeats, [&] { packReads(*db); });
    const double packTime = medianMs(repeats, [&] {
        packs = throughService<qint64>(client, [&](logbook::JobContext &c) {
            QString e;
            const auto p = readPacks(c.database(), clock, day.until, {}, &e);
            return p ? qint64(p->packs.size()) : -1;
        });
    });
    auto line = [](const char *what, double ms, double floor, const QString &detail) {
        std::printf("  %-22s %8.1f ms   floor %8.1f ms   %.2fx   (%s)\n", what, ms, floor, ms / std::max(0.001, floor),
                    qPrintable(detail));
    };
    line("timeline of a day", timeline, timelineFloor, QStringLiteral("%1 lines").arg(lines));
    line("needs attention", attention, attentionFloor, QStringLiteral("%1 items").arg(items));
    line("battery packs", packTime, packsFloor, QStringLiteral("%1 packs").arg(packs));

    // The report of 30 days: the read, then the PDF's pages with the
    // launches' pictures drawn alongside.
    QTemporaryDir out;
    const TimeSpan month{QDateTime(QDate(2026, 6, 1), QTime(0, 0), QTimeZone::utc()),
                         QDateTime(QDate(2026, 7, 1), QTime(0, 0), QTimeZone::utc())};
    QElapsedTimer report;
    report.start();
    const std::clock_t cpuFrom = std::clock();
    const ReportInput input = throughService<ReportInput>(client, [&](logbook::JobContext &c) {
        QString e;
        auto in = readReportInput(c.database(), month, clock, {}, &e);
        if (!in)
            die(e);
        return *in;
    });
    const double readMs = report.nsecsElapsed() / 1e6;
    const auto checks = reviewLaunches(input.timeline.lines, settings());
    const ReportContent content = reportContent(input, false, checks, now);
    qint64 drawnLaunches = 0;
    for (const LaunchDetail &d : content.launches)
        drawnLaunches += checks.contains(d.line.key) ? 1 : 0;
    // The launches' pictures are drawn on this thread while the pages are
    // laid out on another, as the program does.
    const QString pdf = out.filePath(QStringLiteral("month.pdf"));
    double picturesMs = 0;
    if (!writeReportPdf(content, checks, settings().chartCoastlineFolder, pdf, &error, &picturesMs))
        die(error);
    const double totalMs = report.nsecsElapsed() / 1e6;
    // The processor time of all threads: above the time taken when the
    // threads went side by side, below it when other work held them up.
    const double cpuMs = double(std::clock() - cpuFrom) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("  %-22s %8.0f ms   (read %.0f ms, pages %.0f ms with %lld launches' pictures drawn alongside in %.0f ms; "
                "processor %.0f ms; %lld lines, %lld pages, %lld KB)\n",
                "report of 30 days", totalMs, readMs, totalMs - readMs, drawnLaunches, picturesMs, cpuMs,
                qint64(content.timeline.size()), pageCount(pdf), QFileInfo(pdf).size() / 1024);
    if (!keepReport.isEmpty()) {
        QFile::remove(keepReport);
        if (!QFile::copy(pdf, keepReport))
            die(QStringLiteral("the report could not be kept as %1").arg(keepReport));
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100000;
    const int launches = argc > 2 ? QByteArray(argv[2]).toInt() : 3000;
    std::printf("bench-operations: goals: each within 2x its floor and under 100 ms; the report under 5 s\n");
    QTemporaryDir dir;
    const QString keep = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    benchLocation({QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("year.sqlite"))}, QStringLiteral("SQLite"), rows,
                  launches, keep);
    const QString pg = qEnvironmentVariable("BRAVIK_BENCH_PG");
    if (!pg.isEmpty())
        benchLocation({QStringLiteral("QPSQL"), pg}, QStringLiteral("PostgreSQL"), rows, launches, {});
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
    return 0;
}
