// Not a test: pictures of "Run Mission" refused for an incomplete predive
// checklist ([launch] requirePredive=6): the review window while it asks
// the logbook, and the screen with the refusal's message box over it.
//   xvfb-run predive-gate-shots OUTPUT_FOLDER
#include "App.h"
#include "FieldLogWindows.h"
#include "LaunchSession.h"
#include "Seams.h"
#include "Settings.h"
#include "ShellWindows.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmMissionDisplay.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdio>

using namespace bravik;

static void typeInto(QComboBox *list, const QString &text)
{
    QTest::keyClick(list->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(list->lineEdit(), text);
    QTest::keyClick(list->lineEdit(), Qt::Key_Tab);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: predive-gate-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(app.arguments().at(1));
    QDir().mkpath(out.absolutePath());
    test::TempSettings temp;
    test::Seams seams;
    Settings s = settings();
    s.launchRequirePredive = 6;
    setSettings(s);
    registerAllWindows();

    QFile golden(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/transit.cfg"));
    if (!golden.open(QIODevice::ReadOnly))
        return 1;
    QDir().mkpath(settings().missionsFolder);
    const QString path = QDir(settings().missionsFolder).filePath(QStringLiteral("transit.cfg"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(golden.readAll());
    f.close();

    // A predive checklist with the DVL and GPS boxes left open.
    auto *main = windows().show<frmLogMain>();
    typeInto(main->cmbEventType, QStringLiteral("Vehicle Predive"));
    typeInto(main->cmbSubmittedBy, QStringLiteral("Ben"));
    QTest::mouseClick(main->cmdSubmitEntry, Qt::LeftButton);
    auto *predive = windows().existing<frmPredive>();
    if (!predive)
        return 1;
    for (QCheckBox *box : {predive->chkThruster, predive->chkElevator, predive->chkRudder, predive->chkAHRS,
                           predive->chkPressureSensor, predive->chkPayload})
        QTest::mouseClick(box, Qt::LeftButton);
    QTest::mouseClick(predive->findChild<QPushButton *>(QStringLiteral("cmdQuit")), Qt::LeftButton);
    QTest::qWait(1000);

    typeInto(main->cmbEventType, QStringLiteral("Run Mission"));
    typeInto(main->cmbSubmittedBy, QStringLiteral("Ada"));
    QTest::mouseClick(main->cmdSubmitEntry, Qt::LeftButton);
    auto *log = windows().existing<frmMission>();
    if (!log)
        return 1;
    seams.dialogs->answers.enqueue(path);
    QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
    auto *review = windows().existing<frmMissionDisplay>();
    if (!review)
        return 1;
    review->move(40, 40);
    QTest::qWait(500);
    typeInto(review->cmbChecked, QStringLiteral("Ada"));
    QTest::mouseClick(review->cmdRunMission, Qt::LeftButton);
    review->grab().save(out.filePath(QStringLiteral("review-asking-the-logbook.png")));
    if (!QTest::qWaitFor([&] { return !seams.messages->texts.isEmpty(); }, 20000))
        return 1;
    const QString text = seams.messages->texts.first();
    std::printf("%s\n", qPrintable(text));

    // The box as the program shows it, over the review window.
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, review);
    box.setModal(false);
    box.show();
    QTest::qWait(800);
    box.grab().save(out.filePath(QStringLiteral("refusal-message.png")));
    QGuiApplication::primaryScreen()->grabWindow(0).save(out.filePath(QStringLiteral("refusal-screen.png")));
    box.close();
    windows().unloadAll();
    return 0;
}
