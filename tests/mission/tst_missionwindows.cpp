// The chooser and the transit, deck test and waypoint windows driven
// through their controls, with the dialog and message doubles.
#include "MissionTestSupport.h"
#include "MissionWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace bravik;

namespace {

ManagedWindow *open(const char *name)
{
    return windows().show(QString::fromLatin1(name));
}

void type(QWidget *window, const char *box, const QString &text)
{
    QWidget *w = window->findChild<QWidget *>(QString::fromLatin1(box));
    QVERIFY2(w, box);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->clear();
        QTest::keyClicks(edit, text);
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        combo->clearEditText();
        QTest::keyClicks(combo, text);
    }
}

QString text(QWidget *window, const char *box)
{
    QWidget *w = window->findChild<QWidget *>(QString::fromLatin1(box));
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    return QStringLiteral("<no box %1>").arg(QString::fromLatin1(box));
}

void press(QWidget *window, const char *button)
{
    auto *b = window->findChild<QPushButton *>(QString::fromLatin1(button));
    QVERIFY2(b, button);
    QTest::mouseClick(b, Qt::LeftButton);
}

// The widgets reached by Tab from the first one, in order; an editable
// combo box counts once (its line edit is part of it).
QStringList tabOrder(QWidget *first, int count)
{
    QStringList names;
    for (QWidget *w = first; w && names.size() < count; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) == 0)
            continue;
        QWidget *control = w;
        if (w->parentWidget() && qobject_cast<QComboBox *>(w->parentWidget()))
            control = w->parentWidget();
        if (names.isEmpty() || names.constLast() != control->objectName())
            names << control->objectName();
    }
    return names;
}

} // namespace

class TestMissionWindows : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void chooser_data();
    void chooser();
    void chooserDesign();

    void goldenThroughWindows_data();
    void goldenThroughWindows();

    void validationKeepsWindow_data();
    void validationKeepsWindow();
    void cancelledDialogKeepsContents();
    void unwritableFolderReported();
    void freshContentsAfterBuildAndCancel();
    void designTimeContents();

private:
    std::optional<test::WindowTest> m_window;
};

void TestMissionWindows::init()
{
    m_window.emplace(mission::registerWindows);
}

void TestMissionWindows::cleanup()
{
    m_window.reset();
}

void TestMissionWindows::chooser_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opens");
    QTest::addColumn<QString>("message");
    QTest::newRow("Transit") << "Transit" << "frmTransitMissionData" << "";
    QTest::newRow("Multiple Setpoints") << "Multiple Setpoints" << "frmMultipleSetpoints" << "";
    QTest::newRow("Waypoint") << "Waypoint" << "frmWaypointMissionData" << "";
    QTest::newRow("Multiple Waypoints") << "Multiple Waypoints" << "frmMultipleWaypoints" << "";
    QTest::newRow("Deck Test Mission") << "Deck Test Mission" << "frmTestMissionData" << "";
    QTest::newRow("lower-case transit") << "transit" << "" << "Unknown mission type selected.";
    QTest::newRow("empty") << "" << "" << "Unknown mission type selected.";
    QTest::newRow("trailing blank") << "Waypoint " << "" << "Unknown mission type selected.";
    QTest::newRow("Transect") << "Transect" << "frmTransectMissionData" << "";
}

void TestMissionWindows::chooser()
{
    QFETCH(QString, typed);
    QFETCH(QString, opens);
    QFETCH(QString, message);
    ManagedWindow *w = open("frmSelectTemplate");
    type(w, "cmbMissionType", typed);
    press(w, "cmdEnterMissionData");
    QCOMPARE(m_window->seams.messages->texts, message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(!windows().existing(QStringLiteral("frmSelectTemplate"))); // closed in every case
    const QStringList expected = opens.isEmpty() ? QStringList() : QStringList{opens};
    QCOMPARE(windows().loadedWindows(), expected);
}

void TestMissionWindows::chooserDesign()
{
    ManagedWindow *w = open("frmSelectTemplate");
    QCOMPARE(w->windowTitle(), QStringLiteral(" Stock Mission Templates"));
    QCOMPARE(w->findChild<QLabel *>("Label1")->text(), QStringLiteral("Select Mission Template"));
    QCOMPARE(w->findChild<QPushButton *>("cmdEnterMissionData")->text(), QStringLiteral("Enter Mission Parameters"));
    auto *combo = w->findChild<QComboBox *>("cmbMissionType");
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->currentText(), QString());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, (QStringList{"Transit", "Multiple Setpoints", "Waypoint", "Multiple Waypoints",
                                 "Deck Test Mission", "Transect"}));
}

void TestMissionWindows::goldenThroughWindows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("entries"); // box=text pairs
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("golden");
    QTest::newRow("transit") << "frmTransitMissionData"
                             << QStringList{"txtHeading=45", "txtDuration=600", "txtDepth=20", "txtSpeed=1.5"}
                             << "cdlTransitMission" << "transit.cfg";
    QTest::newRow("deck test") << "frmTestMissionData"
                               << QStringList{"txtHeading=90", "txtDuration=300", "txtSpeed=1.0"}
                               << "cdlTestMission" << "decktest.cfg";
    QTest::newRow("waypoint") << "frmWaypointMissionData"
                              << QStringList{"txtDuration=1800", "txtDepth=50", "txtSpeed=1.5"}
                              << "cdlWaypointMission" << "waypoint.cfg";
}

void TestMissionWindows::goldenThroughWindows()
{
    QFETCH(QString, window);
    QFETCH(QStringList, entries);
    QFETCH(QString, dialog);
    QFETCH(QString, golden);
    // An old file of the same name is replaced, never appended to.
    const QString path = m_window->settings.path(QStringLiteral("out.cfg"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4000, '#'));
    old.close();
    m_window->seams.dialogs->answers.enqueue(path);

    ManagedWindow *w = windows().show(window);
    for (const QString &e : entries)
        type(w, qPrintable(e.section(QLatin1Char('='), 0, 0)), e.section(QLatin1Char('='), 1));
    press(w, "cmdBuildMission");

    QCOMPARE(m_window->seams.messages->texts, QStringList());
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    QCOMPARE(m_window->seams.dialogs->requests.constFirst().objectName, dialog);
    QCOMPARE(readAll(path), ::golden(golden));
    QVERIFY(!windows().existing(window)); // closed after the build
}

void TestMissionWindows::validationKeepsWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("transit heading only") << "frmTransitMissionData" << QStringList{"txtHeading=45"}
                                          << "Please enter duration." << "txtDuration";
    QTest::newRow("transit depth not a number")
        << "frmTransitMissionData" << QStringList{"txtHeading=45", "txtDuration=600", "txtDepth=abc", "txtSpeed=1"}
        << "The depth \"abc\" is not a number. Please enter the depth in meters." << "txtDepth";
    QTest::newRow("deck test empty") << "frmTestMissionData" << QStringList{} << "Please enter heading." << "txtHeading";
    QTest::newRow("waypoint minutes cleared") << "frmWaypointMissionData" << QStringList{"txtLatitudeMinutes="}
                                              << "Please enter latitude component." << "txtLatitudeMinutes";
    QTest::newRow("waypoint duration") << "frmWaypointMissionData" << QStringList{}
                                       << "Please enter duration." << "txtDuration";
}

void TestMissionWindows::validationKeepsWindow()
{
    QFETCH(QString, window);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    ManagedWindow *w = windows().show(window);
    w->activateWindow();
    for (const QString &e : entries)
        type(w, qPrintable(e.section(QLatin1Char('='), 0, 0)), e.section(QLatin1Char('='), 1));
    press(w, "cmdBuildMission");
    QCOMPARE(m_window->seams.messages->texts, QStringList{message});
    QVERIFY(m_window->seams.dialogs->requests.isEmpty()); // stopped before the dialog
    QCOMPARE(windows().existing(window), w);
    for (const QString &e : entries)
        QCOMPARE(text(w, qPrintable(e.section(QLatin1Char('='), 0, 0))), e.section(QLatin1Char('='), 1));
    QCOMPARE(w->focusWidget() ? w->focusWidget()->objectName() : QString(), focus);
}

void TestMissionWindows::cancelledDialogKeepsContents()
{
    ManagedWindow *w = open("frmTransitMissionData");
    type(w, "txtHeading", QStringLiteral("45"));
    type(w, "txtDuration", QStringLiteral("600"));
    type(w, "txtDepth", QStringLiteral("20"));
    type(w, "txtSpeed", QStringLiteral("1.5"));
    press(w, "cmdBuildMission"); // no answer queued: the dialog is cancelled
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    QCOMPARE(m_window->seams.messages->texts, QStringList());
    QCOMPARE(windows().existing(QStringLiteral("frmTransitMissionData")), w);
    QCOMPARE(text(w, "txtDepth"), QStringLiteral("20"));
    QCOMPARE(QDir(settings().missionsFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestMissionWindows::unwritableFolderReported()
{
    const QString folder = settings().missionsFolder;
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/dive.cfg");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old\r\n");
    old.close();
    ReadOnlyFolder lock(folder);
    if (!lock.ok())
        QSKIP("this machine cannot make a folder unwritable for the test");

    m_window->seams.dialogs->answers.enqueue(folder + QStringLiteral("/dive")); // bare name: .cfg is added
    ManagedWindow *w = open("frmTestMissionData");
    type(w, "txtHeading", QStringLiteral("90"));
    type(w, "txtDuration", QStringLiteral("300"));
    type(w, "txtSpeed", QStringLiteral("1"));
    press(w, "cmdBuildMission");
    lock.release();

    QCOMPARE(m_window->seams.messages->texts.size(), 1);
    const QString message = m_window->seams.messages->texts.constFirst();
    QVERIFY2(message.startsWith(QStringLiteral("The mission file %1 could not be written: ").arg(path)),
             qPrintable(message));
    QVERIFY2(!message.section(QStringLiteral("written: "), 1).isEmpty(), qPrintable(message));
    QCOMPARE(readAll(path), QByteArray("old\r\n"));
    QCOMPARE(windows().existing(QStringLiteral("frmTestMissionData")), w); // stays open to try again
    QCOMPARE(text(w, "txtDuration"), QStringLiteral("300"));
}

void TestMissionWindows::freshContentsAfterBuildAndCancel()
{
    m_window->seams.dialogs->answers.enqueue(m_window->settings.path(QStringLiteral("w.cfg")));
    ManagedWindow *w = open("frmWaypointMissionData");
    type(w, "txtLatitudeInt", QStringLiteral("10"));
    type(w, "cmbNS", QStringLiteral("S"));
    type(w, "txtDuration", QStringLiteral("100"));
    type(w, "txtDepth", QStringLiteral("10"));
    type(w, "txtSpeed", QStringLiteral("1"));
    press(w, "cmdBuildMission");
    QVERIFY(readAll(m_window->settings.path(QStringLiteral("w.cfg"))).contains("latitude     = -10.7520566666667;\r\n"));
    test::flushDeletes();
    w = open("frmWaypointMissionData");
    QCOMPARE(text(w, "txtLatitudeInt"), QStringLiteral("36"));
    QCOMPARE(text(w, "cmbNS"), QStringLiteral("N"));
    QCOMPARE(text(w, "txtDuration"), QString());

    ManagedWindow *t = open("frmTransitMissionData");
    type(t, "txtHeading", QStringLiteral("45"));
    press(t, "cmdCancel");
    test::flushDeletes();
    QVERIFY(!windows().existing(QStringLiteral("frmTransitMissionData")));
    QVERIFY(m_window->seams.dialogs->requests.size() == 1); // Cancel asks for nothing
    QCOMPARE(text(open("frmTransitMissionData"), "txtHeading"), QString());
}

void TestMissionWindows::designTimeContents()
{
    struct Expect
    {
        const char *window;
        const char *caption;
        QStringList labels;
        QStringList tabs;
        QStringList buttons;
    };
    const QList<Expect> all = {
        {"frmTransitMissionData", "Create transit mission",
         {"Enter mission heading (degrees True)", "Enter mission duration (seconds)", "Enter mission depth (meters)",
          "Enter mission speed (meters/second)"},
         {"txtHeading", "txtDuration", "txtDepth", "txtSpeed", "cmdBuildMission", "cmdCancel"},
         {"Build Mission", "Cancel"}},
        {"frmTestMissionData", "Create deck test mission",
         {"Enter mission heading (degrees True)", "Enter mission duration (seconds)",
          "Enter mission speed (meters/second)"},
         {"txtHeading", "txtDuration", "txtSpeed", "cmdBuildMission"},
         {"Build Mission"}},
        {"frmWaypointMissionData", "Create waypoint mission",
         {"Enter waypoint latitude", "Enter waypoint longitude", "Enter mission duration (seconds)",
          "Enter mission depth (meters)", "Enter mission speed (meters/second)"},
         {"txtLatitudeInt", "txtLatitudeMinutes", "cmbNS", "txtLongitudeInt", "txtLongitudeMinutes", "cmbEW",
          "txtDuration", "txtDepth", "txtSpeed", "cmdBuildMission", "cmdCancel"},
         {"Build Mission", "Cancel"}},
    };
    for (const Expect &e : all) {
        ManagedWindow *w = open(e.window);
        QCOMPARE(w->windowTitle(), QString::fromLatin1(e.caption));
        QStringList labels;
        for (QLabel *l : w->findChildren<QLabel *>())
            labels << l->text();
        QCOMPARE(labels, e.labels);
        QStringList buttons;
        for (QPushButton *b : w->findChildren<QPushButton *>())
            buttons << b->text();
        QCOMPARE(buttons, e.buttons);
        QWidget *first = w->findChild<QWidget *>(e.tabs.constFirst());
        QCOMPARE(tabOrder(first, int(e.tabs.size())), e.tabs);
    }
    ManagedWindow *w = open("frmWaypointMissionData");
    QCOMPARE(text(w, "txtLatitudeMinutes"), QStringLiteral("45.1234"));
    QCOMPARE(text(w, "txtLongitudeInt"), QStringLiteral("121"));
    QCOMPARE(text(w, "txtLongitudeMinutes"), QStringLiteral("50.1234"));
    QCOMPARE(text(w, "cmbEW"), QStringLiteral("W"));
    QCOMPARE(w->findChild<QComboBox *>("cmbEW")->itemText(1), QStringLiteral("E"));
    QCOMPARE(w->findChild<QComboBox *>("cmbNS")->itemText(1), QStringLiteral("S"));
}

QTEST_MAIN(TestMissionWindows)
#include "tst_missionwindows.moc"
