// Pictures of a voided entry's window and of its history list, for looking
// at them: correction-shots OUTPUT_FOLDER

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
#include <QTest>
#include <QTreeWidget>
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

    auto *w = qobject_cast<bravik::logbook::RecordWindow *>(bravik::windows().window("frmWeatherObservation"));
    if (!w || !w->moveLast() || !w->beginNewRow())
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
    typeInto(w->findChild<QLineEdit *>("txtWindSpeed"), QStringLiteral("12"));
    typeInto(w->findChild<QPlainTextEdit *>("txtNotes"), QStringLiteral("Swell building from the west."));
    QTest::mouseClick(w->findChild<QAbstractButton *>("cmdFirst"), Qt::LeftButton);   // stores it
    typeInto(w->findChild<QLineEdit *>("txtWindSpeed"), QStringLiteral("15"));
    typeInto(w->findChild<QLineEdit *>("txtWindDirection"), QStringLiteral("270"));
    QTest::mouseClick(w->findChild<QAbstractButton *>("cmdLast"), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QAbstractButton *>("cmdFirst"), Qt::LeftButton);
    seams.prompts->answers << QStringLiteral("Logged on the wrong day; see the entry of 12/09");
    QTest::mouseClick(w->findChild<QPushButton *>("cmdVoid"), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QPushButton *>("cmdHistory"), Qt::LeftButton);
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
        std::printf("%s (%d rows)\n", qPrintable(list), h->lstHistory->topLevelItemCount());
    } else {
        ++failures;
    }
    for (const QString &m : seams.messages->texts)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    bravik::windows().reset();
    bravik::test::flushDeletes();
    return failures ? 1 : 0;
}
