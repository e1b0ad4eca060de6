// Not a test: the operations window on a day at sea (its timeline, what
// needs attention, the battery packs with their chart) and the pages of
// that day's report, for a person to look at.
//   xvfb-run ops-shots OUTPUT_FOLDER    (QT_SCALE_FACTOR=2 for scale 2)
#include "App.h"
#include "DayAtSea.h"
#include "LogbookProbe.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmOperations.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
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
        std::fprintf(stderr, "usage: ops-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(app.arguments().at(1));
    QDir().mkpath(out.absolutePath());
    test::TempSettings temp;
    test::Seams seams;
    logbook::Database::open({settings().databaseDriver, settings().database}, nullptr);
    {
        test::LogbookProbe probe;
        test::DayAtSea().fill([&probe](const QString &sql, const QVariantList &bound) { return probe.sql(sql, bound); },
                              QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
    }
    registerAllWindows();
    auto *w = windows().show<ops::frmOperations>();
    w->resize(1100, 620);
    if (!QTest::qWaitFor([w] { return !w->isBusy(); }, 20000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    w->txtFrom->setText(QStringLiteral("2026-12-08"));
    w->showSpan();
    if (!QTest::qWaitFor([w] { return !w->isBusy(); }, 20000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    w->grdTimeline->selectRow(3);
    save(w, out, QStringLiteral("operations-timeline.png"));
    w->tabViews->setCurrentIndex(1);
    save(w, out, QStringLiteral("operations-attention.png"));
    w->tabViews->setCurrentIndex(2);
    w->grdPacks->selectAll();
    save(w, out, QStringLiteral("operations-packs.png"));

    const QString pdf = out.filePath(QStringLiteral("report-2026-12-08.pdf"));
    seams.dialogs->answers.enqueue(pdf);
    QMetaObject::invokeMethod(w->findChild<QWidget *>(QStringLiteral("cmdReport")), "click");
    if (!QTest::qWaitFor([w, pdf] { return !w->isBusy() && QFile::exists(pdf); }, 60000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), pdf,
                                                   out.filePath(QStringLiteral("report-page"))});
    std::printf("%s\n", qPrintable(pdf));
    windows().reset();
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
    return 0;
}
