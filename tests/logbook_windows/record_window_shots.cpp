// Saves a picture of each record window, opened as a submission opens it.

#include "RecordKinds.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: record-window-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.absolutePath())) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(out.absolutePath()));
        return 1;
    }
    bravik::test::TempSettings settings;
    bravik::test::Seams seams;
    bravik::logbook::registerWindows();

    int failures = 0;
    for (const bravik::logbook::RecordKind &kind : bravik::logbook::recordKinds()) {
        const QString name = kind.window;
        auto *w = qobject_cast<bravik::logbook::RecordWindow *>(bravik::windows().window(name));
        if (!w || !w->moveLast() || !w->beginNewRow()) {
            ++failures;
            continue;
        }
        w->findChild<QLineEdit *>("txtTime")->setText(QStringLiteral("07/03/2024 14:05:09"));
        w->findChild<QLineEdit *>("txtSubmittedBy")->setText(QStringLiteral("Ada"));
        bravik::windows().show(name);
        QApplication::processEvents();
        const QString file = out.filePath(name + QStringLiteral(".png"));
        if (!w->grab().save(file))
            ++failures;
        else
            std::printf("%s\n", qPrintable(file));
        bravik::windows().unload(name);
        bravik::test::flushDeletes();
    }
    for (const QString &m : seams.messages->texts)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return failures ? 1 : 0;
}
