// Pictures of a voided entry's window, of its history list, and of the
// history of an entry with long values (the change selected, whole in the
// pane), for looking at them: correction-shots OUTPUT_FOLDER

#include "RecordHistoryModel.h"
#include "RecordHistoryWindow.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: correction-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.absolutePath()))
        return 1;
    bravik::test::TempSettings settings;
    bravik::test::Seams seams;
    bravik::logbook::registerWindows();

    auto settle = [] { return bravik::test::waitForLogbook(); };
    auto *w = qobject_cast<bravik::logbook::RecordWindow *>(bravik::windows().window("frmWeatherObservation"));
    if (!w || !w->moveLast() || !w->beginNewRow() || !settle())
        return 1;
    w->findChild<QLineEdit *>("txtTime")->setText(QStringLiteral("12/08/2026 04:29:18"));
    w->findChild<QLineEdit *>("txtSubmittedBy")->setText(QStringLiteral("Ada"));
    bravik::windows().show("frmWeatherObservation");
    auto typeInto = [](QWidget *box, const QString &text) {
        box->setFocus();
        if (auto *e = qobject_cast<QLineEdit *>(box))
            e->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
    };
    auto click = [&settle](QWidget *w, const char *name) {
        QTest::mouseClick(w->findChild<QAbstractButton *>(QString::fromLatin1(name)), Qt::LeftButton);
        settle();
    };
    typeInto(w->findChild<QLineEdit *>("txtWindSpeed"), QStringLiteral("12"));
    typeInto(w->findChild<QPlainTextEdit *>("txtNotes"), QStringLiteral("Swell building from the west."));
    click(w, "cmdFirst");   // stores it
    typeInto(w->findChild<QLineEdit *>("txtWindSpeed"), QStringLiteral("15"));
    typeInto(w->findChild<QLineEdit *>("txtWindDirection"), QStringLiteral("270"));
    click(w, "cmdLast");
    click(w, "cmdFirst");
    seams.prompts->answers << QStringLiteral("Logged on the wrong day; see the entry of 12/09");
    click(w, "cmdVoid");
    click(w, "cmdHistory");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500)
        QApplication::processEvents();
    int failures = 0;
    const QString shot = out.filePath(QStringLiteral("voided-entry.png"));
    failures += !w->grab().save(shot);
    std::printf("%s\n", qPrintable(shot));
    if (auto *h = w->historyWindow()) {
        const QString list = out.filePath(QStringLiteral("history-list.png"));
        failures += !h->grab().save(list);
        std::printf("%s (%d rows)\n", qPrintable(list), h->model()->rowCount());
    } else {
        ++failures;
    }

    // A note corrected twice, each time a long text: the list shows the
    // start of each, the pane the selected change whole.
    auto *misc = qobject_cast<bravik::logbook::RecordWindow *>(bravik::windows().show("frmMisc"));
    if (!misc || !settle() || !misc->moveLast() || !misc->beginNewRow() || !settle())
        return 1;
    auto *note = misc->findChild<QPlainTextEdit *>("txtNote");
    auto longText = [](const QString &words, int lines) {
        QString text;
        for (int i = 1; i <= lines; ++i)
            text += QStringLiteral("%1. %2\n").arg(i).arg(words.repeated(6));
        return text;
    };
    note->setPlainText(QStringLiteral("Port thruster noisy."));
    click(misc, "cmdFirst");
    note->setPlainText(longText(QStringLiteral("Port thruster noisy at 300 rpm, louder when turning to port. "), 40));
    click(misc, "cmdLast");
    note->setPlainText(longText(QStringLiteral("Bearing replaced; quiet at every speed on the bench and in the tank. "), 60));
    click(misc, "cmdFirst");
    click(misc, "cmdHistory");
    if (auto *h = misc->historyWindow()) {
        h->lstHistory->selectRow(0);
        settle();
        clock.restart();
        while (clock.elapsed() < 500)
            QApplication::processEvents();
        const QString list = out.filePath(QStringLiteral("history-long-values.png"));
        failures += !h->grab().save(list);
        std::printf("%s (%d rows)\n", qPrintable(list), h->model()->rowCount());
    } else {
        ++failures;
    }
    for (const QString &m : seams.messages->texts)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    bravik::windows().reset();
    bravik::test::flushDeletes();
    return failures ? 1 : 0;
}
