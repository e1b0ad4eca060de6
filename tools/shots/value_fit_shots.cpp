// Not a test: pictures of values wider than their boxes, for looking at
// them.  The predive window with the long vehicle configuration chosen, its
// tooltip up and its list open, the predive window with the RDF list open, and the
// mission log with a stamp of a two-digit day.  Run under an X server at
// scale 1 and 2, e.g.
//   xvfb-run -a -s "-screen 0 2400x2000x24" value-fit-shots /work/shots/x
//   QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2400x2000x24" value-fit-shots /work/shots/x
// The file names end in the scale ("-x2").

#include "App.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "RecordWindow.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <cstdio>

using namespace bravik;

namespace {

QDir g_out;
QString g_scale;
int g_failures = 0;

// The screen around the window, popups and tooltips included.
void save(QWidget *w, const QString &name, const QRect &extra = QRect())
{
    QTest::qWait(400);
    QRect area = w->frameGeometry();
    if (extra.isValid())
        area = area.united(extra);
    area = area.adjusted(-8, -8, 8, 8).intersected(w->screen()->geometry());
    const QString file = g_out.filePath(name + g_scale + QStringLiteral(".png"));
    if (w->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file)) {
        std::printf("%s\n", qPrintable(file));
    } else {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
        ++g_failures;
    }
}

logbook::RecordWindow *openOnNewRow(const QString &name)
{
    auto *w = qobject_cast<logbook::RecordWindow *>(windows().show(name));
    if (!w || !QTest::qWaitForWindowActive(w) || !w->moveLast() || !w->beginNewRow())
        return nullptr;
    w->move(40, 40);
    return w;
}

// Picks `item` with the keyboard and moves on with Tab.
void pick(QComboBox *list, const QString &item)
{
    QTest::mouseClick(list->lineEdit(), Qt::LeftButton);
    QTest::keyClick(list->lineEdit(), Qt::Key_F4);
    QAbstractItemView *view = list->view();
    QTest::qWait(200);
    while (view->currentIndex().row() < list->findText(item))
        QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: value-fit-shots OUTPUT_FOLDER\n");
        return 2;
    }
    g_out = QDir(app.arguments().at(1));
    QDir().mkpath(g_out.absolutePath());
    const double scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
    g_scale = scale > 1.0 ? QStringLiteral("-x%1").arg(scale) : QString();
    test::TempSettings settings;
    test::Seams seams;
    identifyApplication();
    registerAllWindows();

    if (logbook::RecordWindow *predive = openOnNewRow(QStringLiteral("frmPredive"))) {
        auto *config = predive->findChild<QComboBox *>(QStringLiteral("cmbVehicleConfiguration"));
        pick(config, QStringLiteral("VXA1/6kWExtBat/AUVCTDNose"));
        save(predive, QStringLiteral("predive-configuration"));
        // The tooltip, as the pointer resting on the list brings it up.
        const QPoint at = config->mapToGlobal(QPoint(config->width() / 2, config->height() / 2));
        QToolTip::showText(at, config->toolTip(), config);
        save(predive, QStringLiteral("predive-configuration-tooltip"));
        QToolTip::hideText();
        // The open list, as wide as its longest item.
        QTest::mouseClick(config->lineEdit(), Qt::LeftButton);
        QTest::keyClick(config->lineEdit(), Qt::Key_F4);
        QTest::qWait(200);
        save(predive, QStringLiteral("predive-configuration-open"), config->view()->window()->frameGeometry());
        QTest::keyClick(config->view(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

        auto *rdf = predive->findChild<QComboBox *>(QStringLiteral("cmbRDFFreq"));
        pick(rdf, QStringLiteral("D = 160.785 MHz"));
        QTest::mouseClick(rdf->lineEdit(), Qt::LeftButton);
        QTest::keyClick(rdf->lineEdit(), Qt::Key_F4);
        QTest::qWait(200);
        save(predive, QStringLiteral("predive-rdf-open"), rdf->view()->window()->frameGeometry());
        QTest::keyClick(rdf->view(), Qt::Key_Escape);
        windows().unload(QStringLiteral("frmPredive"));
    } else {
        ++g_failures;
    }

    if (logbook::RecordWindow *mission = openOnNewRow(QStringLiteral("frmMission"))) {
        auto *stamp = mission->findChild<QLineEdit *>(QStringLiteral("txtTime"));
        QTest::mouseClick(stamp, Qt::LeftButton);
        QTest::keyClick(stamp, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(stamp, QStringLiteral("12/28/2026 10:58:58 PM"));
        QTest::keyClick(stamp, Qt::Key_Tab);
        save(mission, QStringLiteral("mission-stamp"));
        windows().unload(QStringLiteral("frmMission"));
    } else {
        ++g_failures;
    }

    test::flushDeletes();
    for (const QString &m : seams.messages->texts)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    windows().reset();
    // The logbook's threads finish before the program's end tears down what
    // they still use.
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
    return g_failures ? 1 : 0;
}
