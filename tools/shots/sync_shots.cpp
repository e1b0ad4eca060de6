// Not a test: the main window with its line on the shared logbook, once
// up to date and once with changes waiting while the server is away and
// two conflicts to settle, for a person to look at.
//   xvfb-run sync-shots OUTPUT_FOLDER    (QT_SCALE_FACTOR=2 for scale 2)
#include "App.h"
#include "Database.h"
#include "LogbookProbe.h"
#include "LogbookService.h"
#include "LogbookSync.h"
#include "ShellWindows.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QSignalSpy>
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

// One exchange of `sync`, shown in a fresh main window.
void shoot(logbook::LogbookSync &sync, const QDir &out, const QString &name)
{
    QSignalSpy done(&sync, &logbook::LogbookSync::exchanged);
    sync.start();
    done.wait(30000);
    auto *w = windows().show<frmLogMain>();
    w->cmbSubmittedBy->setEditText(QStringLiteral("Ada"));
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    save(w, out, name);
    windows().unloadAll();
    test::flushDeletes();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: sync-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(app.arguments().at(1));
    QDir().mkpath(out.absolutePath());
    test::TempSettings temp;
    test::Seams seams;
    const logbook::DatabaseLocation local{settings().databaseDriver, settings().database};
    logbook::Database::open(local, nullptr);
    registerAllWindows();
    {
        logbook::LogbookSync sync(local, {QStringLiteral("QSQLITE"), temp.path(QStringLiteral("ship/Logbook.sqlite"))},
                                  std::chrono::hours(1));
        shoot(sync, out, QStringLiteral("main-up-to-date.png"));
    }
    {
        test::LogbookProbe probe;
        for (int i = 0; i < 12; ++i)
            probe.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\", \"EntryId\") VALUES (?, ?)"),
                      {QStringLiteral("made on the boat %1").arg(i), logbook::newEntryId()});
        for (const QString &id : {QStringLiteral("c1"), QStringLiteral("c2")})
            probe.sql(QStringLiteral("INSERT INTO \"MergeConflict\" (\"EntryId\", \"TableName\", \"Field\", \"KeptValue\", \"OtherValue\") "
                                     "VALUES (?, 'MissionData', 'Max Depth', '20', '25')"),
                      {id});
    }
    {
        // A server never reached: all of the file waits.
        logbook::LogbookSync sync(local, {QStringLiteral("QSQLITE"), QStringLiteral("/proc/version/ship/Logbook.sqlite")},
                                  std::chrono::hours(1));
        shoot(sync, out, QStringLiteral("main-waiting-unreachable.png"));
    }
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
    return 0;
}
