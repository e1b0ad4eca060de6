// A picture of the mission window on an entry with two open merge
// conflicts (Max Depth and Notes changed on the ship and on the boat
// laptop), for looking at it: xvfb-run conflict-shots OUTPUT_FOLDER

#include "ConflictLines.h"
#include "Database.h"
#include "LogbookCopy.h"
#include "LogbookMerge.h"
#include "RecordCursor.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cstdio>

using namespace bravik;

namespace {

bool store(const logbook::DatabaseLocation &where, const QList<QPair<QString, QString>> &values, bool fresh)
{
    QString error;
    auto db = logbook::Database::open(where, &error);
    if (!db)
        return false;
    logbook::RecordCursor c(*db, QStringLiteral("MissionData"));
    if (!c.open() || (fresh && !c.beginNew()))
        return false;
    for (const auto &[field, value] : values)
        c.setValue(field, value);
    return c.save();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: conflict-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.absolutePath()))
        return 1;
    test::TempSettings settings;
    test::Seams seams;
    logbook::registerWindows();

    QTemporaryDir dir;
    const logbook::DatabaseLocation ship{bravik::settings().databaseDriver, bravik::settings().database};
    const logbook::DatabaseLocation boat{QStringLiteral("QSQLITE"), dir.filePath(QStringLiteral("boat.sqlite"))};
    QString error;
    const bool made =
        store(ship, {{"Date/Time", "12/09/2026 13:40:00"}, {"SubmittedBy", "Ada"}, {"Purpose", "Mapping"},
                     {"Mission Script Name", "survey-north.cfg"}, {"Max Depth", "10"}, {"Water Depth", "48"},
                     {"Notes", "Survey of the north bank."}}, true)
        && logbook::copyLogbook(ship, boat, nullptr, &error)
        && store(boat, {{"Max Depth", "25"}, {"Notes", "Survey of the north bank; aborted at the second leg, thruster fault."}}, false);
    if (!made)
        return 1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("boat"));
        db.setDatabaseName(boat.location);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("UPDATE \"RecordHistory\" SET \"Workstation\" = 'BOAT-LAPTOP', \"ChangedAtUtc\" = '%1'")
                               .arg(QDateTime(QDateTime::currentDateTimeUtc().date(), QTime(14, 2), QTimeZone::utc()).toString(Qt::ISODate)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("boat"));
    if (!store(ship, {{"Max Depth", "20"}, {"Notes", "Survey of the north bank, both legs run."}}, false)
        || !logbook::mergeLogbooks(boat, ship, &error))
        return 1;

    auto *w = qobject_cast<logbook::RecordWindow *>(windows().show(QStringLiteral("frmMission")));
    if (!w)
        return 1;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500)
        QApplication::processEvents();
    const QString shot = out.filePath(QStringLiteral("mission-conflicts.png"));
    const bool saved = w->grab().save(shot);
    std::printf("%s (%s)\n", qPrintable(shot), w->conflictLines()->isVisible() ? "conflict lines shown" : "no conflict lines");
    return saved && w->conflictLines()->isVisible() ? 0 : 1;
}
