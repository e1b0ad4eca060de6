// The multiple setpoint, multiple waypoint and transect windows driven
// through their controls, with the dialog and message doubles.
#include "MissionTestSupport.h"
#include "MissionWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "WindowManager.h"
#include "frmMultipleSetpoints.h"
#include "frmMultipleWaypoints.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace bravik;

namespace {

const QString kSetpoints = QStringLiteral("frmMultipleSetpoints");
const QString kWaypoints = QStringLiteral("frmMultipleWaypoints");
const QString kTransect = QStringLiteral("frmTransectMissionData");
constexpr int kRefused = -99999;

template <class T = QWidget>
T *control(QWidget *window, const QString &name)
{
    return window->findChild<T *>(name);
}

void type(QWidget *window, const QString &box, const QString &text)
{
    QWidget *w = control(window, box);
    QVERIFY2(w, qPrintable(box));
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->clear();
        QTest::keyClicks(edit, text);
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        combo->clearEditText();
        QTest::keyClicks(combo, text);
    }
}

// A paste: the whole text arrives as one change.
void paste(QWidget *window, const QString &box, const QString &text)
{
    auto *edit = control<QLineEdit>(window, box);
    QVERIFY2(edit, qPrintable(box));
    edit->selectAll();
    edit->insert(text);
}

void press(QWidget *window, const QString &button)
{
    auto *b = control<QPushButton>(window, button);
    QVERIFY2(b, qPrintable(button));
    QVERIFY2(b->isVisible() && b->isEnabled(), qPrintable(button));
    QTest::mouseClick(b, Qt::LeftButton);
}

QString caption(QWidget *window, const QString &label)
{
    auto *l = control<QLabel>(window, label);
    return l ? l->text() : QStringLiteral("<no label %1>").arg(label);
}

// Fills the named boxes ("txtHeading=90") and presses the window's Next.
void enter(QWidget *window, const QStringList &entries)
{
    for (const QString &e : entries)
        type(window, e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    press(window, QStringLiteral("cmdContinue"));
}

QStringList setpointLeg(const char *h, const char *d, const char *depth, const char *s)
{
    return {QStringLiteral("txtHeading=") + QLatin1String(h), QStringLiteral("txtDuration=") + QLatin1String(d),
            QStringLiteral("txtDepth=") + QLatin1String(depth), QStringLiteral("txtSpeed=") + QLatin1String(s)};
}

QStringList entryNames(const QString &window)
{
    if (window == kSetpoints)
        return {"txtHeading", "txtDuration", "txtDepth", "txtSpeed", "cmdContinue"};
    return {"txtLatitudeInt", "txtLatitudeMinutes", "cmbNS", "txtLongitudeInt", "txtLongitudeMinutes", "cmbEW",
            "txtDuration", "txtDepth", "txtSpeed", "cmdContinue"};
}

bool entryShown(QWidget *window)
{
    for (const QString &name : entryNames(window->objectName()))
        if (control(window, name)->isHidden())
            return false;
    return true;
}

bool entryHidden(QWidget *window)
{
    for (const QString &name : entryNames(window->objectName()))
        if (!control(window, name)->isHidden())
            return false;
    return true;
}

// The wizard state behind a leg window.
const mission::LegWizard &wizardOf(QWidget *window)
{
    if (auto *s = qobject_cast<frmMultipleSetpoints *>(window))
        return s->wizard();
    return qobject_cast<frmMultipleWaypoints *>(window)->wizard();
}

const mission::WaypointWizard &waypointWizard(QWidget *window)
{
    return qobject_cast<frmMultipleWaypoints *>(window)->wizard();
}

QString boxText(QWidget *window, const QString &box)
{
    if (auto *edit = control<QLineEdit>(window, box))
        return edit->text();
    if (auto *combo = control<QComboBox>(window, box))
        return combo->currentText();
    return QStringLiteral("<no box %1>").arg(box);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestMultiLegWindows : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void design_data();
    void design();

    void goldenThroughWindows_data();
    void goldenThroughWindows();

    void countPasted_data();
    void countPasted();
    void countTypedOneThenTwo_data();
    void countTypedOneThenTwo();
    void captionsAfterFirstLeg_data();
    void captionsAfterFirstLeg();
    void emptyBoxMessages_data();
    void emptyBoxMessages();
    void hemisphereNotices();
    void waypointCountChangedMidEntry();
    void saveCancelledThenCompleted_data();
    void saveCancelledThenCompleted();
    void cancelDiscards();

    void transectStops_data();
    void transectStops();

private:
    std::optional<test::WindowTest> m_window;
};

void TestMultiLegWindows::init()
{
    m_window.emplace(mission::registerWindows);
}

void TestMultiLegWindows::cleanup()
{
    m_window.reset();
}

void TestMultiLegWindows::design_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QStringList>("tabs");
    QTest::newRow("setpoints")
        << kSetpoints << "Create multiple setpoint mission"
        << QStringList{"Enter the number of setpoint legs", "Enter heading (deg T) for setpoint 1",
                       "Enter duration (s) of setpoint 1", "Enter depth (m) for setpoint 1",
                       "Enter speed (m/s) for setpoint 1"}
        << QStringList{"Cancel", "Next Setpoint"}
        << QStringList{"txtNumLegs", "txtHeading", "txtDuration", "txtDepth", "txtSpeed", "cmdContinue", "cmdCancel"};
    QTest::newRow("waypoints")
        << kWaypoints << "Create multiple waypoint mission"
        << QStringList{"Enter the number of waypoints", "Enter latitude of waypoint 1", "Enter longitude of waypoint 1",
                       "Enter duration (s) for waypoint  1", "Enter depth (m) for waypoint 1",
                       "Enter speed (m/s) for waypoint 1"}
        << QStringList{"Cancel", "Next Waypoint"}
        << QStringList{"txtNumLegs", "txtLatitudeInt", "txtLatitudeMinutes", "cmbNS", "txtLongitudeInt",
                       "txtLongitudeMinutes", "cmbEW", "txtDuration", "txtDepth", "txtSpeed", "cmdContinue",
                       "cmdCancel"};
    QTest::newRow("transect")
        << kTransect << "Create transect mission"
        << QStringList{"Enter mission heading (degrees True)", "Enter mission duration (seconds)",
                       "Enter minimum depth (meters)", "Enter maximum depth (meters)",
                       "Enter minimum altitude (meters)", "Enter the maximum number of cycles:",
                       "Enter mission speed (meters/second)"}
        << QStringList{"Build Mission", "Cancel"}
        << QStringList{"txtHeading", "txtDuration", "txtMinDepth", "txtMaxDepth", "txtMinAltitude", "txtMaxCycles",
                       "txtSpeed", "cmdBuildMission", "cmdCancel"};
}

void TestMultiLegWindows::design()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, tabs);
    ManagedWindow *w = windows().show(window);
    QCOMPARE(w->windowTitle(), title);
    QStringList shownLabels;
    for (QLabel *l : w->findChildren<QLabel *>()) {
        QVERIFY(!l->isHidden());
        shownLabels << l->text();
    }
    QCOMPARE(shownLabels, labels);
    QStringList buttonTexts;
    for (QPushButton *b : w->findChildren<QPushButton *>())
        buttonTexts << b->text();
    buttonTexts.sort();
    QCOMPARE(buttonTexts, buttons);
    // Tab order as listed; hidden controls are made visible to walk it.
    for (const QString &name : tabs)
        control(w, name)->setVisible(true);
    QStringList order;
    for (QWidget *c = control(w, tabs.constFirst()); c && order.size() < tabs.size(); c = c->nextInFocusChain()) {
        if ((c->focusPolicy() & Qt::TabFocus) == 0)
            continue;
        QWidget *owner = qobject_cast<QComboBox *>(c->parentWidget()) ? c->parentWidget() : c;
        if (order.isEmpty() || order.constLast() != owner->objectName())
            order << owner->objectName();
    }
    QCOMPARE(order, tabs);
    if (window == kWaypoints) {
        QCOMPARE(control<QLineEdit>(w, "txtLatitudeInt")->text(), QStringLiteral("36"));
        QCOMPARE(control<QLineEdit>(w, "txtLatitudeMinutes")->text(), QStringLiteral("45.1234"));
        QCOMPARE(control<QLineEdit>(w, "txtLongitudeInt")->text(), QStringLiteral("121"));
        QCOMPARE(control<QLineEdit>(w, "txtLongitudeMinutes")->text(), QStringLiteral("50.1234"));
        QCOMPARE(control<QComboBox>(w, "cmbNS")->currentText(), QStringLiteral("N"));
        QCOMPARE(control<QComboBox>(w, "cmbNS")->itemText(1), QStringLiteral("S"));
        QCOMPARE(control<QComboBox>(w, "cmbEW")->currentText(), QStringLiteral("W"));
        QCOMPARE(control<QComboBox>(w, "cmbEW")->itemText(1), QStringLiteral("E"));
    }
}

void TestMultiLegWindows::goldenThroughWindows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QList<QStringList>>("steps"); // each: box=text entries, then Next (or Build Mission)
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("golden");
    QTest::newRow("setpoints") << kSetpoints
                               << QList<QStringList>{{"txtNumLegs=2"},
                                                     setpointLeg("90", "600", "20", "1.5"),
                                                     setpointLeg("180", "900", "30", "1.5")}
                               << "cdlSetpointsMission" << "setpoints.cfg";
    QTest::newRow("waypoints")
        << kWaypoints
        << QList<QStringList>{{"txtNumLegs=2"},
                              {"txtDuration=600", "txtDepth=20", "txtSpeed=1.5"},
                              {"txtLatitudeInt=36", "txtLatitudeMinutes=50", "txtLongitudeInt=121",
                               "txtLongitudeMinutes=55", "txtDuration=900", "txtDepth=30", "txtSpeed=1.5"}}
        << "cdlWaypointMission" << "waypoints.cfg";
    QTest::newRow("transect") << kTransect
                              << QList<QStringList>{{"txtHeading=45", "txtDuration=600", "txtMinDepth=5",
                                                     "txtMaxDepth=50", "txtMinAltitude=10", "txtMaxCycles=4",
                                                     "txtSpeed=1.5"}}
                              << "cdlTransitMission" << "transect.cfg";
}

void TestMultiLegWindows::goldenThroughWindows()
{
    QFETCH(QString, window);
    QFETCH(QList<QStringList>, steps);
    QFETCH(QString, dialog);
    QFETCH(QString, golden);
    const QString path = m_window->settings.path(QStringLiteral("out.cfg"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, '#')); // replaced, never appended to
    old.close();
    m_window->seams.dialogs->answers.enqueue(path);

    ManagedWindow *w = windows().show(window);
    if (window == kTransect) {
        for (const QString &e : steps.constFirst())
            type(w, e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
        press(w, QStringLiteral("cmdBuildMission"));
    } else {
        type(w, QStringLiteral("txtNumLegs"), steps.constFirst().constFirst().section(QLatin1Char('='), 1));
        for (qsizetype i = 1; i < steps.size(); ++i) {
            QVERIFY(m_window->seams.dialogs->requests.isEmpty()); // asked only after the last leg
            enter(w, steps.at(i));
        }
    }
    QCOMPARE(m_window->seams.messages->texts, QStringList());
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    const FileDialogRequest request = m_window->seams.dialogs->requests.constFirst();
    QCOMPARE(request.objectName, dialog);
    QCOMPARE(request.title, QStringLiteral("Save Mission File As"));
    QCOMPARE(request.filter, QStringLiteral("*.cfg"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("cfg"));
    QCOMPARE(request.folder, settings().missionsFolder);
    QCOMPARE(readAll(path), ::golden(golden));
    QVERIFY(!windows().existing(window));
}

void TestMultiLegWindows::countPasted_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("count"); // kRefused: not accepted
    for (const QString &window : {kSetpoints, kWaypoints}) {
        const QString empty = window == kSetpoints ? QStringLiteral("Please enter a value for number of legs.")
                                                   : QStringLiteral("Please enter a value for number of waypoints.");
        const QByteArray tag = window.toLatin1() + ' ';
        QTest::newRow(tag + "20") << window << "20" << "Please enter a value less than 20." << kRefused;
        QTest::newRow(tag + "19") << window << "19" << "" << 19;
        QTest::newRow(tag + "19.5") << window << "19.5" << "" << 20;
        QTest::newRow(tag + "0") << window << "0" << "" << 0;
        QTest::newRow(tag + "-4") << window << "-4" << "" << -4;
        QTest::newRow(tag + "letter") << window << "x" << empty << kRefused;
    }
}

void TestMultiLegWindows::countPasted()
{
    QFETCH(QString, window);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, count);
    ManagedWindow *w = windows().show(window);
    QVERIFY(entryHidden(w));
    paste(w, QStringLiteral("txtNumLegs"), text);
    QCOMPARE(m_window->seams.messages->texts, message.isEmpty() ? QStringList() : QStringList{message});
    auto *box = control<QLineEdit>(w, "txtNumLegs");
    if (count == kRefused) {
        QVERIFY(entryHidden(w));
        QVERIFY(box->isEnabled());
        return;
    }
    QVERIFY(entryShown(w));
    // The setpoint count locks; the waypoint count stays open.
    QCOMPARE(box->isEnabled(), window == kWaypoints);
    QCOMPARE(wizardOf(w).numLegs(), count);
    QCOMPARE(wizardOf(w).currentLeg(), 0);
}

void TestMultiLegWindows::countTypedOneThenTwo_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("setpoints 1 then 2") << kSetpoints << "12" << "1" << false << 1 << QStringList{};
    QTest::newRow("waypoints 1 then 2") << kWaypoints << "12" << "12" << true << 12 << QStringList{};
    QTest::newRow("waypoints 5 then 0") << kWaypoints << "50" << "50" << true << 5
                                        << QStringList{"Please enter a value less than 20."};
}

void TestMultiLegWindows::countTypedOneThenTwo()
{
    QFETCH(QString, window);
    QFETCH(QString, keys);
    QFETCH(QString, boxText);
    QFETCH(bool, enabled);
    QFETCH(int, count);
    QFETCH(QStringList, messages);
    ManagedWindow *w = windows().show(window);
    auto *box = control<QLineEdit>(w, "txtNumLegs");
    box->setFocus();
    QTest::keyClicks(box, keys);
    QCOMPARE(box->text(), boxText);
    QCOMPARE(box->isEnabled(), enabled);
    QCOMPARE(wizardOf(w).numLegs(), count);
    QCOMPARE(m_window->seams.messages->texts, messages);
    QVERIFY(entryShown(w));
}

void TestMultiLegWindows::captionsAfterFirstLeg_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("captions"); // label=caption after the first leg
    QTest::addColumn<QStringList>("emptied");
    QTest::newRow("setpoints") << kSetpoints << setpointLeg("90", "600", "20", "1.5")
                               << QStringList{"lblHeading=Enter heading (deg T) for setpoint 2",
                                              "lblDuration=Enter duration (s) for setpoint 2",
                                              "lblDepth=Enter depth (m) for setpoint 2",
                                              "lblSpeed=Enter speed (m/s) for setpoint 2",
                                              "lblNumLegs=Enter the number of setpoint legs"}
                               << QStringList{"txtHeading", "txtDuration", "txtDepth", "txtSpeed"};
    QTest::newRow("waypoints") << kWaypoints << QStringList{"cmbNS=S", "txtDuration=600", "txtDepth=20", "txtSpeed=1.5"}
                               << QStringList{"lblLat=Enter latitude of waypoint 2",
                                              "lblLong=Enter longitude of waypoint 2",
                                              "lblDuration=Enter duration (s) for waypoint 2",
                                              "lblDepth=Enter depth (m) for waypoint 2",
                                              "lblSpeed=Enter speed (m/s) for waypoint 2",
                                              "lblNumLegs=Enter the number of waypoints"}
                               << QStringList{"txtLatitudeInt", "txtLatitudeMinutes", "txtLongitudeInt",
                                              "txtLongitudeMinutes", "txtDuration", "txtDepth", "txtSpeed"};
}

void TestMultiLegWindows::captionsAfterFirstLeg()
{
    QFETCH(QString, window);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, emptied);
    ManagedWindow *w = windows().show(window);
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("3"));
    enter(w, entries);
    QCOMPARE(wizardOf(w).currentLeg(), 1);
    for (const QString &c : captions)
        QCOMPARE(caption(w, c.section(QLatin1Char('='), 0, 0)), c.section(QLatin1Char('='), 1));
    for (const QString &box : emptied)
        QCOMPARE(control<QLineEdit>(w, box)->text(), QString());
    if (window == kWaypoints) // the hemisphere boxes keep their text
        QCOMPARE(control<QComboBox>(w, "cmbNS")->currentText(), QStringLiteral("S"));
}

void TestMultiLegWindows::emptyBoxMessages_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("focus");
    QTest::newRow("setpoint duration empty") << kSetpoints << QStringList{"txtHeading=90", "txtDepth=20", "txtSpeed=1"}
                                             << QStringList{"Please enter duration."} << "txtDuration";
    QTest::newRow("setpoint single blanks") << kSetpoints << setpointLeg(" ", " ", " ", " ") << QStringList{} << "";
    QTest::newRow("waypoint untouched") << kWaypoints << QStringList{} << QStringList{"Please enter duration."}
                                        << "txtDuration";
    QTest::newRow("waypoint latitude cleared") << kWaypoints << QStringList{"txtLatitudeMinutes=", "cmbEW=E"}
                                               << QStringList{"Please enter latitude component."}
                                               << "txtLatitudeMinutes";
}

void TestMultiLegWindows::emptyBoxMessages()
{
    QFETCH(QString, window);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, messages);
    QFETCH(QString, focus);
    ManagedWindow *w = windows().show(window);
    w->activateWindow();
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("2"));
    enter(w, entries);
    QCOMPARE(m_window->seams.messages->texts, messages);
    QCOMPARE(wizardOf(w).currentLeg(), messages.isEmpty() ? 1 : 0);
    if (messages.isEmpty())
        return;
    for (const QString &e : entries) // nothing emptied
        QCOMPARE(boxText(w, e.section(QLatin1Char('='), 0, 0)), e.section(QLatin1Char('='), 1));
    QCOMPARE(w->focusWidget() ? w->focusWidget()->objectName() : QString(), focus);
}

void TestMultiLegWindows::hemisphereNotices()
{
    ManagedWindow *w = windows().show(kWaypoints);
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("2"));
    enter(w, {"cmbNS=S", "cmbEW=E", "txtDuration=600", "txtDepth=20", "txtSpeed=1.5"});
    QCOMPARE(m_window->seams.messages->texts,
             (QStringList{"Do you really want to go to the southern hemisphere?.",
                          "So you really want to go to the hemisphere hemisphere?."}));
    const mission::WaypointLeg first = waypointWizard(w).legs()[0];
    QVERIFY(first.latitude < 0);
    QVERIFY(first.longitude > 0);

    // Lower-case s: north, and no notice.
    m_window->seams.messages->texts.clear();
    enter(w, {"txtLatitudeInt=10", "txtLatitudeMinutes=0", "cmbNS=s", "txtLongitudeInt=20", "txtLongitudeMinutes=0",
              "cmbEW=W", "txtDuration=1", "txtDepth=1", "txtSpeed=1"});
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1); // the last waypoint: the file is asked for
    QCOMPARE(m_window->seams.messages->texts.size(), 1);   // only the note that the save was cancelled
    const mission::WaypointLeg second = waypointWizard(w).legs()[1];
    QCOMPARE(second.latitude, 10.0);
    QCOMPARE(second.longitude, -20.0);
}

void TestMultiLegWindows::waypointCountChangedMidEntry()
{
    ManagedWindow *w = windows().show(kWaypoints);
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("4"));
    enter(w, {"txtDuration=600", "txtDepth=20", "txtSpeed=1.5"});
    enter(w, {"txtLatitudeInt=1", "txtLatitudeMinutes=0", "txtLongitudeInt=1", "txtLongitudeMinutes=0",
              "txtDuration=600", "txtDepth=20", "txtSpeed=1.5"});
    QCOMPARE(caption(w, "lblLat"), QStringLiteral("Enter latitude of waypoint 3"));
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("3"));
    QCOMPARE(wizardOf(w).currentLeg(), 0);
    QCOMPARE(wizardOf(w).numLegs(), 3);
    QCOMPARE(caption(w, "lblLat"), QStringLiteral("Enter latitude of waypoint 3")); // unchanged until Next
    enter(w, {"txtLatitudeInt=2", "txtLatitudeMinutes=0", "txtLongitudeInt=2", "txtLongitudeMinutes=0",
              "txtDuration=5", "txtDepth=5", "txtSpeed=1"});
    QCOMPARE(caption(w, "lblLat"), QStringLiteral("Enter latitude of waypoint 2"));
    QCOMPARE(caption(w, "lblDuration"), QStringLiteral("Enter duration (s) for waypoint 2"));
    QCOMPARE(waypointWizard(w).legs()[0].latitude, 2.0);
    QCOMPARE(m_window->seams.messages->texts, QStringList());
}

void TestMultiLegWindows::saveCancelledThenCompleted_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("golden");
    QTest::newRow("setpoints") << kSetpoints << "setpoints.cfg";
    QTest::newRow("waypoints") << kWaypoints << "waypoints.cfg";
}

void TestMultiLegWindows::saveCancelledThenCompleted()
{
    QFETCH(QString, window);
    QFETCH(QString, golden);
    ManagedWindow *w = windows().show(window);
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("2"));
    const QString next = window == kSetpoints ? QStringLiteral("Next Setpoint") : QStringLiteral("Next Waypoint");
    if (window == kSetpoints) {
        enter(w, setpointLeg("90", "600", "20", "1.5"));
        enter(w, setpointLeg("180", "900", "30", "1.5"));
    } else {
        enter(w, {"txtDuration=600", "txtDepth=20", "txtSpeed=1.5"});
        enter(w, {"txtLatitudeInt=36", "txtLatitudeMinutes=50", "txtLongitudeInt=121", "txtLongitudeMinutes=55",
                  "txtDuration=900", "txtDepth=30", "txtSpeed=1.5"});
    }
    // The dialog is cancelled (no answer queued): every leg stays.
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    QCOMPARE(m_window->seams.messages->texts,
             QStringList{QStringLiteral("The mission file was not saved. Everything entered is kept: press \"%1\" "
                                        "to choose a file name again, or \"Cancel\" to discard it.").arg(next)});
    QCOMPARE(windows().existing(window), w);
    QVERIFY(wizardOf(w).allStored());
    QCOMPARE(filesIn(settings().missionsFolder), QStringList());

    // The next press asks again, with the boxes left empty.
    const QString path = m_window->settings.path(QStringLiteral("again.cfg"));
    m_window->seams.dialogs->answers.enqueue(path);
    press(w, QStringLiteral("cmdContinue"));
    QCOMPARE(m_window->seams.dialogs->requests.size(), 2);
    QCOMPARE(m_window->seams.messages->texts.size(), 1);
    QCOMPARE(readAll(path), ::golden(golden));
    QVERIFY(!windows().existing(window));
}

void TestMultiLegWindows::cancelDiscards()
{
    // Also after a failed save, "Cancel" closes without a file, and the
    // next opening starts afresh.
    ManagedWindow *w = windows().show(kSetpoints);
    paste(w, QStringLiteral("txtNumLegs"), QStringLiteral("1"));
    enter(w, setpointLeg("90", "600", "20", "1.5"));
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    press(w, QStringLiteral("cmdCancel"));
    test::flushDeletes();
    QVERIFY(!windows().existing(kSetpoints));
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    QCOMPARE(filesIn(settings().missionsFolder), QStringList());

    w = windows().show(kSetpoints);
    QVERIFY(control<QLineEdit>(w, "txtNumLegs")->isEnabled());
    QVERIFY(entryHidden(w));
    QCOMPARE(wizardOf(w).countAccepted(), false);
    QCOMPARE(caption(w, "lblDuration"), QStringLiteral("Enter duration (s) of setpoint 1"));

    ManagedWindow *t = windows().show(kTransect);
    type(t, QStringLiteral("txtHeading"), QStringLiteral("45"));
    press(t, QStringLiteral("cmdCancel"));
    test::flushDeletes();
    QVERIFY(!windows().existing(kTransect));
    QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
}

void TestMultiLegWindows::transectStops_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QStringList all{"txtHeading=45", "txtDuration=600", "txtMinDepth=5", "txtMaxDepth=50",
                          "txtMinAltitude=10", "txtMaxCycles=4", "txtSpeed=1.5"};
    QTest::newRow("several empty") << QStringList{"txtHeading=45", "txtMaxDepth=50"} << "Please enter duration."
                                   << "txtDuration";
    QStringList e = all;
    e[6] = "txtSpeed=";
    QTest::newRow("speed empty") << e << "Please enter speed." << "txtSpeed";
    e = all;
    e[3] = "txtMaxDepth=fifty";
    QTest::newRow("max depth not a number")
        << e << "The maximum depth \"fifty\" is not a number. Please enter the maximum depth in meters."
        << "txtMaxDepth";
    e = all;
    e[1] = "txtDuration=30000";
    QTest::newRow("timer beyond 16 bits")
        << e << "The duration \"30000\" gives a mission timer of 36240 seconds, outside the range -32768 to 32767 "
                "that the mission file allows. Please correct the duration."
        << "txtDuration";
    e = all;
    e << "dialog=cancel";
    QTest::newRow("dialog cancelled") << e << "" << "";
}

void TestMultiLegWindows::transectStops()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    const bool cancel = entries.removeAll(QStringLiteral("dialog=cancel")) > 0;
    ManagedWindow *w = windows().show(kTransect);
    w->activateWindow();
    for (const QString &e : entries)
        type(w, e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    press(w, QStringLiteral("cmdBuildMission"));
    QCOMPARE(m_window->seams.messages->texts, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(m_window->seams.dialogs->requests.size(), cancel ? 1 : 0);
    QCOMPARE(windows().existing(kTransect), w);
    for (const QString &e : entries)
        QCOMPARE(control<QLineEdit>(w, e.section(QLatin1Char('='), 0, 0))->text(), e.section(QLatin1Char('='), 1));
    if (!focus.isEmpty())
        QCOMPARE(w->focusWidget() ? w->focusWidget()->objectName() : QString(), focus);
    QCOMPARE(filesIn(settings().missionsFolder), QStringList());
}

QTEST_MAIN(TestMultiLegWindows)
#include "tst_multilegwindows.moc"
