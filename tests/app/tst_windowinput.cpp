// What the windows do with what a person types and pastes, and how they
// fit the screen: every window of the program, driven by keystrokes and
// focus changes on a real temporary logbook.

#include "App.h"
#include "RecordBinder.h"
#include "RecordWindow.h"
#include "Settings.h"
#include "ShellWindows.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <limits>

using namespace bravik;
using bravik::test::LogbookProbe;

namespace {

const QStringList kAllWindows{
    "frmWelcome", "frmLogMain", "frmQuitDialog", "frmInvalidEntry",
    "frmPredive", "frmWeatherObservation", "frmMission", "frmMaintenance",
    "frmBatteryCharge", "frmTaskList", "frmPurchases", "frmMisc",
    "frmSelectTemplate", "frmTransitMissionData", "frmTestMissionData", "frmWaypointMissionData",
    "frmMultipleSetpoints", "frmMultipleWaypoints", "frmTransectMissionData",
    "frmMissionDisplay", "frmAbortMission"};

const QStringList kRecordWindows{"frmPredive", "frmWeatherObservation", "frmMission", "frmMaintenance",
                                 "frmBatteryCharge", "frmTaskList", "frmPurchases", "frmMisc"};

} // namespace

class TestWindowInput : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    template <class T = QWidget>
    T *child(QWidget *w, const QString &name)
    {
        return w ? w->findChild<T *>(name) : nullptr;
    }

    // Shown and active, and a record window's table answered.
    ManagedWindow *showActive(const QString &name)
    {
        ManagedWindow *w = windows().show(name);
        if (w && !QTest::qWaitForWindowActive(w))
            qWarning("%s did not become active", qPrintable(name));
        if (!test::waitForLogbook())
            qWarning("the logbook did not answer %s", qPrintable(name));
        return w;
    }

    // A record window moved to a new row, once the logbook answered.
    static bool onNewRow(logbook::RecordWindow *w)
    {
        return w && w->moveLast() && w->beginNewRow() && test::waitForLogbook();
    }

    // Closes the window and waits until it is gone (its row stored).
    static void closed(QWidget *w)
    {
        const QString name = w->objectName();
        w->close();
        QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(name), 20000);
        test::flushDeletes();
    }

    // A person clicks into the list's text, selects what is there and types.
    static void typeInto(QComboBox *list, const QString &text)
    {
        QTest::mouseClick(list->lineEdit(), Qt::LeftButton);
        QTest::keyClick(list->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(list->lineEdit(), text);
    }

    static void typeInto(QLineEdit *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
    }

    // Leaves a list the way a person does.
    static void leave(QComboBox *list, const QString &how, QWidget *clickTarget)
    {
        if (how == QLatin1String("Tab"))
            QTest::keyClick(list->lineEdit(), Qt::Key_Tab);
        else if (how == QLatin1String("Enter"))
            QTest::keyClick(list->lineEdit(), Qt::Key_Return);
        else
            QTest::mouseClick(clickTarget, Qt::LeftButton);
    }

    static void leavingWays()
    {
        QTest::addColumn<QString>("how");
    }

    QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Moves the focus with Tab, as a person does, until `target` has it.
    static bool tabTo(QWidget *target)
    {
        for (int i = 0; i < 60 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target->window(), Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    }

    // The title the window manager reads (_NET_WM_NAME), through xprop.
    static QString titleAsShown(QWidget *w)
    {
        QProcess xprop;
        xprop.start("xprop", {"-id", QString::number(w->winId()), "-notype", "_NET_WM_NAME"});
        xprop.waitForFinished(10000);
        const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();   // NAME = "title"
        const qsizetype open = line.indexOf(u'"');
        return open < 0 ? QString() : line.mid(open + 1, line.size() - open - 2);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_window.emplace(registerAllWindows);
        QDir().mkpath(settings().missionsFolder);
    }

    // A window still open when the last case ends is named and closed, so
    // it is not left to the end of the program (where nothing frees it).
    void cleanupTestCase()
    {
        test::flushDeletes();
        QList<QPointer<QWidget>> open;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!w->parentWidget())
                open << w;
        for (const QPointer<QWidget> &w : open) {
            if (!w)
                continue;   // went with a window closed before it
            qWarning("still open after the last case: %s \"%s\"", w->metaObject()->className(),
                     qPrintable(w->objectName()));
            delete w;
        }
    }

    void cleanup() { m_window.reset(); }

    // --- typed choices stay as typed ---------------------------------------

    void categoryKeepsTypedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("opens");
        for (const char *how : {"Tab", "Enter", "click"}) {
            QTest::addRow("build mission, %s", how) << "build mission" << how << "frmInvalidEntry";
            QTest::addRow("vehicle maintenance, %s", how) << "vehicle maintenance" << how << "frmInvalidEntry";
            QTest::addRow("Purchases with a blank, %s", how) << "Purchases " << how << "frmInvalidEntry";
            QTest::addRow("Build Mission, %s", how) << "Build Mission" << how << "frmSelectTemplate";
        }
    }

    void categoryKeepsTypedText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, opens);
        auto *main = qobject_cast<frmLogMain *>(showActive("frmLogMain"));
        QVERIFY(main);
        typeInto(main->cmbEventType, typed);
        leave(main->cmbEventType, how, main->cmdSubmitEntry);
        QCOMPARE(main->cmbEventType->currentText(), typed);
        if (how != QLatin1String("click"))
            QTest::mouseClick(main->cmdSubmitEntry, Qt::LeftButton);
        QCOMPARE(main->cmbEventType->currentText(), typed);
        QVERIFY2(windows().existing(opens), qPrintable(windows().loadedWindows().join(',')));
        for (const char *other : {"frmInvalidEntry", "frmSelectTemplate"})
            if (opens != QLatin1String(other))
                QVERIFY2(!windows().existing(other), other);
        QCOMPARE(m_window->probe.totalRows(), 0);
    }

    void pickingFromTheListSetsTheItem()
    {
        auto *main = qobject_cast<frmLogMain *>(showActive("frmLogMain"));
        QVERIFY(main);
        QComboBox *list = main->cmbEventType;
        list->showPopup();
        QAbstractItemView *view = list->view();
        QTRY_VERIFY(view->isVisible());
        const QModelIndex item = view->model()->index(list->findText("Build Mission"), 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        QCOMPARE(list->currentText(), QStringLiteral("Build Mission"));
        QTest::mouseClick(main->cmdSubmitEntry, Qt::LeftButton);
        QVERIFY(windows().existing("frmSelectTemplate"));
    }

    void chooserKeepsTypedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("opens");   // empty: the unknown-type message
        for (const char *how : {"Tab", "Enter", "click"}) {
            QTest::addRow("transit, %s", how) << "transit" << how << "";
            QTest::addRow("deck test mission, %s", how) << "deck test mission" << how << "";
            QTest::addRow("Transit, %s", how) << "Transit" << how << "frmTransitMissionData";
        }
    }

    void chooserKeepsTypedText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, opens);
        QWidget *chooser = showActive("frmSelectTemplate");
        auto *list = child<QComboBox>(chooser, "cmbMissionType");
        auto *enter = child<QPushButton>(chooser, "cmdEnterMissionData");
        QVERIFY(list && enter);
        typeInto(list, typed);
        leave(list, how, enter);
        QCOMPARE(list->currentText(), typed);
        if (how != QLatin1String("click"))
            QTest::mouseClick(enter, Qt::LeftButton);
        if (opens.isEmpty()) {
            QCOMPARE(m_window->seams.messages->texts, QStringList{"Unknown mission type selected."});
            QVERIFY(!windows().existing("frmTransitMissionData"));
            QVERIFY(!windows().existing("frmTestMissionData"));
        } else {
            QVERIFY(m_window->seams.messages->texts.isEmpty());
            QVERIFY(windows().existing(opens));
        }
    }

    void waypointHemisphereAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("latitude");
        for (const char *how : {"Tab", "click"}) {
            QTest::addRow("s, %s", how) << "s" << how << QByteArray("36.7520566666667");
            QTest::addRow("S, %s", how) << "S" << how << QByteArray("-36.7520566666667");
        }
    }

    void waypointHemisphereAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QByteArray, latitude);
        QWidget *w = showActive("frmWaypointMissionData");
        auto *ns = child<QComboBox>(w, "cmbNS");
        QVERIFY(ns);
        typeInto(ns, typed);
        leave(ns, how, child(w, "txtLongitudeInt"));
        QCOMPARE(ns->currentText(), typed);
        typeInto(child<QLineEdit>(w, "txtDuration"), "1800");
        typeInto(child<QLineEdit>(w, "txtDepth"), "50");
        typeInto(child<QLineEdit>(w, "txtSpeed"), "1.5");
        const QString path = QDir(settings().missionsFolder).filePath("waypoint.cfg");
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(child(w, "cmdBuildMission"), Qt::LeftButton);
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('\n')));
        const QByteArray script = readFile(path);
        QVERIFY2(script.contains("= " + latitude + ";"), script.constData());
        if (!latitude.startsWith('-'))
            QVERIFY(!script.contains("-" + latitude));
    }

    void multipleWaypointsHemisphereAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QByteArray>("latitude");
        QTest::newRow("s") << "s" << false << QByteArray("36.7520566666667");
        QTest::newRow("S") << "S" << true << QByteArray("-36.7520566666667");
    }

    void multipleWaypointsHemisphereAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(bool, asked);
        QFETCH(QByteArray, latitude);
        QWidget *w = showActive("frmMultipleWaypoints");
        QTest::keyClicks(child<QLineEdit>(w, "txtNumLegs"), "1");
        auto *ns = child<QComboBox>(w, "cmbNS");
        QVERIFY(ns && ns->isVisible());
        typeInto(ns, typed);
        QTest::keyClick(ns->lineEdit(), Qt::Key_Tab);
        QCOMPARE(ns->currentText(), typed);
        typeInto(child<QLineEdit>(w, "txtDuration"), "600");
        typeInto(child<QLineEdit>(w, "txtDepth"), "20");
        typeInto(child<QLineEdit>(w, "txtSpeed"), "1.5");
        const QString path = QDir(settings().missionsFolder).filePath("waypoints.cfg");
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(child(w, "cmdContinue"), Qt::LeftButton);
        const bool question = m_window->seams.messages->texts.contains("Do you really want to go to the southern hemisphere?.");
        QCOMPARE(question, asked);
        const QByteArray script = readFile(path);
        QVERIFY2(script.contains("= " + latitude + ";"), script.constData());
    }

    void recordListsKeepTypedText_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("how");
        for (const QString &w : kRecordWindows)
            if (w != QLatin1String("frmBatteryCharge") && w != QLatin1String("frmMisc"))   // no lists
            for (const char *how : {"Tab", "Enter", "click"})
                QTest::addRow("%s, %s", qPrintable(w), how) << w << how;
    }

    void recordListsKeepTypedText()
    {
        QFETCH(QString, window);
        QFETCH(QString, how);
        auto *w = qobject_cast<logbook::RecordWindow *>(showActive(window));
        QVERIFY(w && w->isOpen());
        QVERIFY(onNewRow(w));

        // Each list gets an item of its own in other letters: lower case,
        // which a case-blind completion would turn back into the item.
        QHash<QString, QString> typed;
        const QList<QComboBox *> lists = w->findChildren<QComboBox *>();
        QVERIFY(!lists.isEmpty());
        for (QComboBox *list : lists) {
            const QString field = logbook::RecordBinder::fieldOf(list);
            QVERIFY2(!field.isEmpty(), qPrintable(list->objectName()));
            QString text = QStringLiteral("someone");
            for (int i = 0; i < list->count(); ++i)
                if (list->itemText(i).toLower() != list->itemText(i)) {
                    text = list->itemText(i).toLower();
                    break;
                }
            typeInto(list, text);
            leave(list, how, w->findChild<QLineEdit *>("txtSubmittedBy"));
            QCOMPARE(list->currentText(), text);
            typed.insert(field, text);
        }
        closed(w);
        const QHash<QString, QString> tables{
            {"frmPredive", "Predive"},         {"frmWeatherObservation", "WeatherObservation"},
            {"frmMission", "MissionData"},     {"frmMaintenance", "VehicleMaintenance"},
            {"frmBatteryCharge", "BatteryCharge"}, {"frmTaskList", "TaskList"},
            {"frmPurchases", "Purchases"},     {"frmMisc", "Miscellaneous"}};
        const QString tableName = tables.value(window);
        QCOMPARE(m_window->probe.count(tableName), 1);
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            QCOMPARE(m_window->probe.field(tableName, it.key()).toString(), it.value());
    }

    void everyEditableListAndBox()
    {
        // No editable list in any window completes what is typed, and no
        // one-line box cuts a long text.
        int lists = 0, boxes = 0;
        for (const QString &name : kAllWindows) {
            QWidget *w = windows().window(name);
            QVERIFY2(w, qPrintable(name));
            for (QComboBox *list : w->findChildren<QComboBox *>()) {
                if (!list->isEditable())
                    continue;
                ++lists;
                QVERIFY2(!list->completer(), qPrintable(name + "." + list->objectName()));
            }
            for (QLineEdit *box : w->findChildren<QLineEdit *>()) {
                ++boxes;
                QVERIFY2(box->maxLength() == std::numeric_limits<int>::max(),
                         qPrintable(name + "." + box->objectName() + " " + QString::number(box->maxLength())));
            }
        }
        QVERIFY(lists > 20);
        QVERIFY(boxes > 80);
    }

    // --- long texts ------------------------------------------------------------

    void longPasteStoredWhole()
    {
        auto *w = qobject_cast<logbook::RecordWindow *>(showActive("frmPredive"));
        QVERIFY(onNewRow(w));
        auto *cruise = child<QLineEdit>(w, "txtCruise");
        auto *operatorList = child<QComboBox>(w, "cmbOperator");
        QString text;
        for (int i = 0; text.size() < 40000; ++i)
            text += QStringLiteral("leg %1 of the survey; ").arg(i);
        QApplication::clipboard()->setText(text);
        QTest::mouseClick(cruise, Qt::LeftButton);
        QTest::keySequence(cruise, QKeySequence::Paste);
        QCOMPARE(cruise->text().size(), text.size());
        QTest::mouseClick(operatorList->lineEdit(), Qt::LeftButton);
        QTest::keySequence(operatorList->lineEdit(), QKeySequence::Paste);
        QCOMPARE(operatorList->currentText().size(), text.size());
        closed(w);
        QCOMPARE(m_window->probe.field("Predive", "Cruise").toString(), text);
        QCOMPARE(m_window->probe.field("Predive", "VehicleOperator").toString(), text);
    }

    // --- the weather window's sky list ------------------------------------

    void skyDescriptionLabelled()
    {
        auto *w = qobject_cast<logbook::RecordWindow *>(showActive("frmWeatherObservation"));
        QVERIFY(w);
        auto *sky = child<QComboBox>(w, "cmbSkyDescription");
        QVERIFY(sky);
        QLabel *label = nullptr;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l->buddy() == sky)
                label = l;
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Sky Description"));
        // A row shown clears the prompt; the label stays, above the list and
        // clear of every other control.
        QVERIFY(onNewRow(w));
        QCOMPARE(sky->currentText(), QString());
        QVERIFY(label->isVisible());
        QVERIFY(label->geometry().bottom() < sky->geometry().top());
        QVERIFY(qAbs(label->x() - sky->x()) <= 1);
        for (QWidget *other : label->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (other == label || !other->isVisible())
                continue;
            QVERIFY2(!other->geometry().intersects(label->geometry()), qPrintable(other->objectName()));
        }
    }

    // --- Enter, values too wide, titles ------------------------------------------

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");   // none: the window closes
        QTest::newRow("transit, Build") << "frmTransitMissionData" << "cmdBuildMission" << "Please enter heading.";
        QTest::newRow("waypoints, Cancel") << "frmMultipleWaypoints" << "cmdCancel" << "";
        QTest::newRow("abort") << "frmAbortMission" << "cmdAbortMission" << "";
    }

    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(QString, message);
        auto *target = child<QAbstractButton>(showActive(window), button);
        QVERIFY(target && tabTo(target));
        QTest::keyClick(target, Qt::Key_Return);
        test::flushDeletes();
        QCOMPARE(m_window->seams.messages->texts, message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(!windows().existing(window), message.isEmpty());
    }

    // Picked or typed, then left with Tab: the box keeps its size, shows the
    // value from its start and has it whole in the tooltip; the open list
    // shows every item whole.
    void wideValuesShowFromTheirStart_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("value");
        QTest::newRow("vehicle configuration") << "frmPredive" << "cmbVehicleConfiguration" << "VXA1/6kWExtBat/AUVCTDNose";
        QTest::newRow("RDF channel") << "frmPredive" << "cmbRDFFreq" << "D = 160.785 MHz";
        QTest::newRow("mission log stamp") << "frmMission" << "txtTime" << "12/28/2026 10:58:58 PM";
    }

    void wideValuesShowFromTheirStart()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, value);
        auto *w = qobject_cast<logbook::RecordWindow *>(showActive(window));
        QVERIFY(onNewRow(w));
        QWidget *c = child(w, control);
        const QSize designed = c->size();
        auto *list = qobject_cast<QComboBox *>(c);
        QLineEdit *box = list ? list->lineEdit() : qobject_cast<QLineEdit *>(c);
        QTest::mouseClick(box, Qt::LeftButton);
        if (list) {
            QTest::keyClick(box, Qt::Key_F4);
            QAbstractItemView *view = list->view();
            QTRY_VERIFY(view->isVisible());
            for (int i = 0; i < list->count(); ++i)
                QVERIFY2(view->fontMetrics().horizontalAdvance(list->itemText(i)) < view->viewport()->width(),
                         qPrintable(list->itemText(i)));
            while (view->currentIndex().row() < list->findText(value))
                QTest::keyClick(view, Qt::Key_Down);
            QTest::keyClick(view, Qt::Key_Return);
        } else {
            QTest::keyClicks(box, value);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(box->text(), value);
        QVERIFY2(box->fontMetrics().horizontalAdvance(value) > box->width(), "the value fits its box");
        QCOMPARE(c->size(), designed);
        QCOMPARE(box->cursorPosition(), 0);
        QCOMPARE(c->toolTip(), value);
    }

    // Run on an X server (tst_windowtitles): each window's own caption and
    // nothing added to it.
    void titlesAsTheWindowManagerShowsThem()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server");
        identifyApplication();
        for (const QString &name : kAllWindows) {
            if (name == QLatin1String("frmMissionDisplay"))
                continue;   // opens on a chosen file
            ManagedWindow *w = windows().show(name);
            if (auto *splash = qobject_cast<frmWelcome *>(w))
                splash->Timer1->stop();
            QVERIFY(w && QTest::qWaitForWindowExposed(w));
            QCOMPARE(titleAsShown(w), w->windowTitle());
        }
    }

    // --- windows and the screen ----------------------------------------------

    void windowsFitTheScreen_data()
    {
        QTest::addColumn<QString>("window");
        for (const QString &w : kAllWindows)
            // The splash's timer replaces it; the review needs a chosen file.
            if (w != QLatin1String("frmWelcome") && w != QLatin1String("frmMissionDisplay"))
                QTest::newRow(qPrintable(w)) << w;
    }

    void windowsFitTheScreen()
    {
        QFETCH(QString, window);
        ManagedWindow *w = windows().window(window);
        QVERIFY(w);
        const QSize design = w->size();
        QHash<QWidget *, QRect> places;
        for (QWidget *c : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            places.insert(c, c->geometry());
        const QRect room = (w->screen() ? w->screen() : QGuiApplication::primaryScreen())->availableGeometry();
        windows().show(window);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(test::waitForLogbook());

        const bool roomy = design.width() + 8 <= room.width() && design.height() + 36 <= room.height();
        const bool tooLarge = design.width() > room.width() || design.height() > room.height();
        if (roomy) {
            // Nothing moves.
            QVERIFY(!w->scrollArea());
            QCOMPARE(w->clientArea(), w);
            QCOMPARE(w->size(), design);
            for (auto it = places.cbegin(); it != places.cend(); ++it) {
                QCOMPARE(it.key()->parentWidget(), w);
                QCOMPARE(it.key()->geometry(), it.value());
            }
        }
        if (qEnvironmentVariableIsSet("BRAVIK_TEST_SMALL_SCREEN") && window == QLatin1String("frmPredive"))
            QVERIFY2(tooLarge, "the small screen run must show a window larger than the screen");
        if (!tooLarge || (w->layout() && !w->scrollArea()))
            return;

        // Larger than the screen: a scroll area around the controls, which
        // keep their places, and a window no larger than the screen.
        QScrollArea *scroll = w->scrollArea();
        QVERIFY(scroll);
        QCOMPARE(w->clientArea()->size(), design);
        QVERIFY(w->frameGeometry().width() <= room.width());
        QVERIFY(w->frameGeometry().height() <= room.height());
        for (auto it = places.cbegin(); it != places.cend(); ++it) {
            QCOMPARE(it.key()->parentWidget(), w->clientArea());
            QCOMPARE(it.key()->geometry(), it.value());
        }

        // Every control can be reached: the bottom one by the scroll bar,
        // and the focus moving to it scrolls it into view.
        QWidget *bottom = nullptr;
        for (QWidget *c : w->clientArea()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!c->isHidden() && c->focusPolicy() & Qt::TabFocus && (!bottom || c->y() > bottom->y()))
                bottom = c;
        QVERIFY(bottom);
        auto inView = [&](QWidget *c) {
            const QRect r(c->mapTo(scroll->viewport(), QPoint(0, 0)), c->size());
            return scroll->viewport()->rect().contains(r);
        };
        scroll->verticalScrollBar()->setValue(0);
        scroll->horizontalScrollBar()->setValue(0);
        QVERIFY(!inView(bottom));
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
        QVERIFY(inView(bottom));
        scroll->verticalScrollBar()->setValue(0);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QWidget *before = bottom->previousInFocusChain();
        while (before && !(before->focusPolicy() & Qt::TabFocus && before->isVisible()))
            before = before->previousInFocusChain();
        QVERIFY(before);
        before->setFocus(Qt::TabFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), bottom);
        QVERIFY(inView(bottom));
    }
};

QTEST_MAIN(TestWindowInput)
#include "tst_windowinput.moc"
