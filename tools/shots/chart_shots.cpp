// Not a test: the chart window on a day at sea in Monterey Bay (the day's
// weather observations and mission log entry, two launches with their
// tracks), with the list beside it and one point picked, for a person to
// look at.
//   xvfb-run chart-shots OUTPUT_FOLDER    (QT_SCALE_FACTOR=2 for scale 2)
#include "App.h"
#include "ChartView.h"
#include "DayAtSea.h"
#include "LogbookProbe.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmChart.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <cstdio>

using namespace bravik;

namespace {

void save(QWidget *w, const QDir &out, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(300);
    w->grab().save(out.filePath(name));
    std::printf("%s\n", qPrintable(out.filePath(name)));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: chart-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(app.arguments().at(1));
    QDir().mkpath(out.absolutePath());
    test::TempSettings temp;
    test::Seams seams;
    logbook::Database::open({settings().databaseDriver, settings().database}, nullptr);
    {
        test::LogbookProbe probe;
        auto sql = [&probe](const QString &text, const QVariantList &bound) { return probe.sql(text, bound); };
        test::DayAtSea().fill(sql, QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
        // More observations around the bay through the day.
        const QList<QStringList> more{{"2026-12-08T06:10:00", "36", "48.0", "121", "54.0", "glassy at dawn"},
                                      {"2026-12-08T11:30:00", "36", "41.5", "121", "58.0", "fog bank"},
                                      {"2026-12-08T16:45:00", "36", "50.5", "121", "49.0", "wind rising"}};
        for (const QStringList &m : more)
            sql(QStringLiteral("INSERT INTO \"WeatherObservation\" (\"Date/Time\", \"StampedAtUtc\", \"Latitude Int\", "
                               "\"Latitude Minutes\", \"HemisphereNS\", \"Longitude Int\", \"Longitude Minutes\", "
                               "\"HemisphereEW\", \"Notes\") VALUES (?, ?, ?, ?, 'N', ?, ?, 'W', ?)"),
                {test::DayAtSea::clock(m.at(0)), test::DayAtSea::stamp(m.at(0)), m.at(1), m.at(2), m.at(3), m.at(4), m.at(5)});
    }
    registerAllWindows();
    auto *w = windows().show<ops::frmChart>();
    w->resize(1100, 640);
    if (!QTest::qWaitFor([w] { return !w->isBusy(); }, 20000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    w->txtDay->setText(QStringLiteral("2026-12-08"));
    w->showDay();
    if (!QTest::qWaitFor([w] { return !w->isBusy(); }, 20000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    save(w, out, QStringLiteral("chart-day.png"));
    w->lstPoints->setFocus();
    w->lstPoints->setCurrentRow(4);
    save(w, out, QStringLiteral("chart-day-picked.png"));
    windows().reset();
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
    return 0;
}
