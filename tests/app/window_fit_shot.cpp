// Not a test: shows one window, scrolled so its "Return to Main" shows
// where the window has a scroll area, and saves a picture of the whole
// screen.  For looking at windows on small screens, e.g.
//   QT_SCALE_FACTOR=2 xvfb-run -s "-screen 0 1600x1000x24" window-fit-shot predive.png frmPredive

#include "App.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: window-fit-shot OUTPUT.png [WINDOW]\n");
        return 2;
    }
    const QString name = args.size() == 3 ? args.at(2) : QStringLiteral("frmPredive");
    bravik::test::TempSettings settings;
    bravik::test::Seams seams;
    bravik::registerAllWindows();

    bravik::ManagedWindow *w = bravik::windows().show(name);
    if (!w) {
        std::fprintf(stderr, "no window %s\n", qPrintable(name));
        return 1;
    }
    int status = 1;
    QTimer::singleShot(1000, [&] {
        if (QScrollArea *scroll = w->scrollArea()) {
            if (QWidget *quit = w->findChild<QWidget *>(QStringLiteral("cmdQuit"))) {
                quit->setFocus();
                scroll->ensureWidgetVisible(quit);
            }
        }
        QTimer::singleShot(500, [&] {
            QScreen *screen = w->screen();
            std::printf("screen %dx%d available %dx%d, window %dx%d (frame %dx%d at %d,%d), scroll area: %s\n",
                        screen->geometry().width(), screen->geometry().height(),
                        screen->availableGeometry().width(), screen->availableGeometry().height(), w->width(),
                        w->height(), w->frameGeometry().width(), w->frameGeometry().height(), w->frameGeometry().x(),
                        w->frameGeometry().y(), w->scrollArea() ? "yes" : "no");
            status = screen->grabWindow(0).save(args.at(1)) ? 0 : 1;
            for (const QString &m : seams.messages->texts)
                std::fprintf(stderr, "message: %s\n", qPrintable(m));
            app.quit();
        });
    });
    app.exec();
    bravik::windows().reset();
    return status;
}
