// The eight record windows on a real temporary logbook, driven through
// their controls by object name; the logbook's answers come later, and the
// test waits for them as a person waits for the window.

#include "Database.h"
#include "FieldLogWindows.h"
#include "RecordBinder.h"
#include "RecordCursor.h"
#include "RecordNavigator.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "Twips.h"
#include "WindowManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace bravik;
using bravik::logbook::RecordWindow;
using bravik::test::LogbookProbe;

#define FIND(var, Type, parent, name)                                                                        \
    auto *var = (parent)->findChild<Type *>(QString(name));                                                  \
    QVERIFY2(var, qPrintable(QStringLiteral("no %1 named %2").arg(QLatin1String(#Type), QString(name))))

namespace {

const QStringList kRecordWindows{"frmPredive",       "frmWeatherObservation", "frmMission", "frmMaintenance",
                                 "frmBatteryCharge", "frmTaskList",           "frmPurchases", "frmMisc"};

QString tableOf(const QString &window)
{
    static const QHash<QString, QString> tables{
        {"frmPredive", "Predive"},           {"frmWeatherObservation", "WeatherObservation"},
        {"frmMission", "MissionData"},       {"frmMaintenance", "VehicleMaintenance"},
        {"frmBatteryCharge", "BatteryCharge"}, {"frmTaskList", "TaskList"},
        {"frmPurchases", "Purchases"},       {"frmMisc", "Miscellaneous"}};
    return tables.value(window);
}

// A text control of each window that is neither stamp box.
QString someTextControl(const QString &window)
{
    static const QHash<QString, QString> controls{
        {"frmPredive", "txtCruise"},       {"frmWeatherObservation", "txtWindSpeed"},
        {"frmMission", "txtDataDirectory"}, {"frmMaintenance", "txtNotes"},
        {"frmBatteryCharge", "txtBatteryLogFile"}, {"frmTaskList", "txtNote"},
        {"frmPurchases", "txtVendor"},     {"frmMisc", "txtNote"}};
    return controls.value(window);
}

} // namespace

class TestRecordWindows : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    // The window, once its table has answered (opened or refused).
    static RecordWindow *open(const QString &name, bool show = false)
    {
        auto *w = qobject_cast<RecordWindow *>(show ? windows().show(name) : windows().window(name));
        if (!w || !QTest::qWaitFor([w] { return w->isOpen() || w->openFailed(); }, 20000))
            return nullptr;
        return w;
    }
    static RecordWindow *shown(const QString &name) { return open(name, true); }

    // Closes the window and waits until it is gone (its row stored).
    static void closed(QWidget *w)
    {
        const QString name = w->objectName();
        w->close();
        QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(name), 20000);
        test::flushDeletes();
    }

    // What a submission does: last row, new row, the stamp, show.
    RecordWindow *newEntry(const QString &name, const QString &clock, const QString &who)
    {
        RecordWindow *w = open(name);
        if (!w || !w->moveLast() || !w->beginNewRow() || !test::waitForLogbook())
            return nullptr;
        w->findChild<QLineEdit *>("txtTime")->setText(clock);
        w->findChild<QLineEdit *>("txtSubmittedBy")->setText(who);
        windows().show(name);
        return w;
    }

    // Creates the logbook's tables so rows can be put in before a window
    // opens.
    void createLogbook()
    {
        QString error;
        auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
        QVERIFY2(db, qPrintable(error));
    }

    void seed(const QString &table, const QList<QStringList> &rows, const QStringList &fields)
    {
        createLogbook();
        QStringList quoted, marks;
        for (const QString &f : fields) {
            quoted << QStringLiteral("\"%1\"").arg(f);
            marks << QStringLiteral("?");
        }
        for (const QStringList &row : rows) {
            QVariantList values;
            for (const QString &v : row)
                values << v;
            m_window->probe.sql(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                             .arg(table, quoted.join(", "), marks.join(", ")),
                         values);
        }
    }

    static void click(QWidget *w, const char *button)
    {
        auto *b = w->findChild<QAbstractButton *>(QString::fromLatin1(button));
        QVERIFY2(b, button);
        QVERIFY(test::waitForLogbook());
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(test::waitForLogbook());
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")});
    }

    void cleanup() { m_window.reset(); }

    // --- what each window is made of ----------------------------------

    void layout_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QString>("navCaption");
        QTest::addColumn<QRect>("navPlace");
        QTest::addColumn<QRect>("quitPlace");
        QTest::addColumn<QStringList>("tabOrder");

        QTest::newRow("predive") << "frmPredive" << "VehiclePredive" << QSize(7920, 10785) << "Navigate PreDive Table"
                                 << QRect(480, 9600, 3180, 540) << QRect(4680, 9600, 2055, 495)
                                 << QStringList{"cmdQuit", "txtTime", "txtSubmittedBy", "txtCruise", "txtShip",
                                                "cmbVehicleConfiguration", "chkUSBLOn", "checkEmOn", "txtMainVac",
                                                "txtBat1V", "txtBat2V", "txtBat3V", "USBLBatV", "cmbUSBLTXRX",
                                                "cmbRDFFreq", "txtTailconeComp", "chkTimeSync", "chkConfig",
                                                "chkMissionScripts", "chkThruster", "chkElevator", "chkRudder",
                                                "chkAHRS", "chkGPS", "chkPressureSensor", "chkDVL",
                                                "cmbLaunchCoordinator", "cmbOperator", "cmbPayload", "chkPayload"};
        QTest::newRow("weather") << "frmWeatherObservation" << "Weather Observation Log" << QSize(7140, 9735)
                                 << "Navigate Weather Table" << QRect(840, 8040, 3135, 540)
                                 << QRect(4200, 8040, 2055, 495)
                                 << QStringList{"cmdQuit", "cmbNS", "cmbEW", "txtWindSpeed", "txtWindDirection",
                                                "txtSwellHeight", "txtSwellPeriod", "txtSwellDirection", "txtNotes",
                                                "txtTime", "cmdGetFix", "cmbSkyDescription", "txtSubmittedBy",
                                                "txtLatitudeInt", "txtLatitudeMinutes", "txtLongitudeInt",
                                                "txtLongitudeMinutes"};
        QTest::newRow("mission") << "frmMission" << "AUV Mission Log" << QSize(7380, 11220) << "Navigate Mission Table"
                                 << QRect(480, 9600, 3060, 435) << QRect(4920, 9600, 2055, 495)
                                 << QStringList{"txtTime", "txtSubmittedBy", "txtLatitudeInt", "txtLatitudeMinutes",
                                                "cmbNS", "txtLongitudeInt", "txtLongitudeMinutes", "cmbEW",
                                                "txtDataDirectory", "cmbMissionType", "txtMissionScript", "txtETA",
                                                "txtMaxDepth", "txtWaterDepth", "Text1", "chkSuccess",
                                                "cmbFailureMode", "cmdQuit", "cmdGetFix", "cmdRunMission",
                                                "cmdBuildMission", "cmdLaunches"};
        QTest::newRow("maintenance") << "frmMaintenance" << "Vehicle Maintenance" << QSize(7410, 9630)
                                     << "Navigate Maintenance" << QRect(720, 7560, 3135, 420)
                                     << QRect(4440, 7560, 2175, 495)
                                     << QStringList{"cmdQuit", "txtTime", "cmbMType", "cmbPerformedBy", "txtNotes",
                                                    "txtSubmittedBy", "txtReason"};
        QTest::newRow("battery") << "frmBatteryCharge" << "Battery Charge Log" << QSize(8520, 7995)
                                 << "Navigate Battery Charge Table" << QRect(360, 6720, 3660, 540)
                                 << QRect(5760, 6720, 2055, 495)
                                 << QStringList{"cmdQuit", "txtSubmittedBy", "txtTime", "txtBatteryLogFile",
                                                "txtBat1SN", "txtBat1MinV", "txtBat1MaxV", "Text1", "Text2", "Text3",
                                                "Text4", "Text5", "Text6", "txtNotes"};
        QTest::newRow("tasks") << "frmTaskList" << "Task List" << QSize(7290, 8640) << "Navigate Task List"
                               << QRect(600, 7080, 2985, 420) << QRect(4440, 6960, 1935, 495)
                               << QStringList{"cmdQuit", "txtTime", "txtSubmittedBy", "cmbAssignedTo",
                                              "txtTimeCompleted", "txtNote", "txtTaskDescription"};
        QTest::newRow("purchases") << "frmPurchases" << "Purchases" << QSize(7110, 9135) << "Navigate Purchases"
                                   << QRect(600, 7920, 2775, 420) << QRect(4320, 7920, 2055, 495)
                                   << QStringList{"cmdQuit", "txtTime", "txtSubmittedBy", "cmbAssignedTo",
                                                  "txtTimeCompleted", "txtVendor", "txtNote", "txtItem"};
        QTest::newRow("misc") << "frmMisc" << "Miscellaneous" << QSize(7005, 6225) << "Navigate Misc Table"
                              << QRect(480, 4680, 3180, 540) << QRect(4440, 4680, 2055, 495)
                              << QStringList{"cmdQuit", "txtTime", "txtNote", "txtSubmittedBy"};
    }

    void layout()
    {
        QFETCH(QString, window);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QFETCH(QString, navCaption);
        QFETCH(QRect, navPlace);
        QFETCH(QRect, quitPlace);
        QFETCH(QStringList, tabOrder);

        QWidget *w = windows().show(window);
        QVERIFY(w);
        QCOMPARE(w->objectName(), window);
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(w->size(), twips::size(client.width(), client.height()));

        FIND(nav, logbook::RecordNavigator, w, "Data1");
        QCOMPARE(nav->caption(), navCaption);
        QCOMPARE(nav->geometry(), twips::rect(navPlace.x(), navPlace.y(), navPlace.width(), navPlace.height()));
        for (const char *b : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"})
            QVERIFY2(nav->findChild<QToolButton *>(b), b);
        FIND(quit, QPushButton, w, "cmdQuit");
        QCOMPARE(quit->text(), QStringLiteral("Return to Main"));
        QCOMPARE(quit->geometry(), twips::rect(quitPlace.x(), quitPlace.y(), quitPlace.width(), quitPlace.height()));

        // Every label names its stamp box the same way in all eight.
        QStringList labels;
        for (auto *l : w->findChildren<QLabel *>())
            labels << l->text();
        QVERIFY(labels.contains("Date and Time GMT"));
        QVERIFY(labels.contains("Submitted By"));

        // Opens with the focus on the first control of the tab order.
        QCOMPARE(w->focusWidget() ? w->focusWidget()->objectName() : QString(), tabOrder.first());

        // The focus chain visits the controls in the given order.
        QStringList seen;
        QWidget *at = w->findChild<QWidget *>(tabOrder.first());
        for (int guard = 0; at && guard < 500 && seen.size() < tabOrder.size(); ++guard) {
            const QString name = at->objectName();
            if (tabOrder.contains(name) && (seen.isEmpty() || seen.last() != name))
                seen << name;
            at = at->nextInFocusChain();
        }
        QCOMPARE(seen, tabOrder);

        // Each bound field of the table has exactly one control, and nothing
        // else is bound.
        auto *rw = qobject_cast<RecordWindow *>(w);
        QStringList bound = rw->binder()->fields();
        QStringList expected = rw->cursor()->table().fields;
        bound.sort();
        expected.sort();
        QCOMPARE(bound, expected);
    }

    void controlsAndFields_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("pairs");   // control=field;...

        QTest::newRow("predive")
            << "frmPredive"
            << "txtTime=Date/Time;txtSubmittedBy=SubmittedBy;txtCruise=Cruise;txtShip=Ship;"
               "cmbVehicleConfiguration=Vehicle Configuration;chkUSBLOn=USBL Beacon ON;checkEmOn=Em Locators ON;"
               "txtMainVac=Main Housing Vaccuum;txtBat1V=Battery 1 Voltage;txtBat2V=Battery 2 Voltage;"
               "txtBat3V=Battery 3 Voltage;USBLBatV=USBL Battery Voltage;cmbUSBLTXRX=USBL Tx/Rx;"
               "cmbRDFFreq=RDF Channel;txtTailconeComp=Tailcone Comp Pressure;chkTimeSync=MVC Time Synch;"
               "chkConfig=CFG files valid;chkMissionScripts=MissionScriptsPrepared;"
               "chkThruster=Thruster Operational;chkElevator=Elevator Operational;chkRudder=Rudder Operational;"
               "chkAHRS=AHRS Operational;chkGPS=GPS Fix Valid;chkPressureSensor=Pressure Sensor Operational;"
               "chkDVL=DVL Operational;cmbLaunchCoordinator=LaunchCoordinator;cmbOperator=VehicleOperator;"
               "cmbPayload=PayloadCoordinator;chkPayload=PayloadOperational";
        QTest::newRow("weather")
            << "frmWeatherObservation"
            << "cmbNS=HemisphereNS;cmbEW=HemisphereEW;txtLatitude=Latitude;txtLongitude=Longitude;"
               "txtWindSpeed=WindSpeed;txtWindDirection=WindDirection;txtSwellHeight=SwellHeight;"
               "txtSwellPeriod=SwellPeriod;txtNotes=Notes;txtTime=Date/Time;txtSubmittedBy=SubmittedBy;"
               "txtLatitudeInt=Latitude Int;txtLatitudeMinutes=Latitude Minutes;txtLongitudeInt=Longitude Int;"
               "txtLongitudeMinutes=Longitude Minutes;txtSwellDirection=SwellDirection;"
               "cmbSkyDescription=SkyDescription";
        QTest::newRow("mission")
            << "frmMission"
            << "txtTime=Date/Time;txtSubmittedBy=SubmittedBy;txtLatitudeInt=Latitude Int;"
               "txtLatitudeMinutes=Latitude Minutes;cmbNS=HemisphereNS;txtLongitudeInt=Longitude Int;"
               "txtLongitudeMinutes=Longitude Minutes;cmbEW=HemisphereEW;txtDataDirectory=Mission Data Directory;"
               "cmbMissionType=Purpose;txtMissionScript=Mission Script Name;txtETA=Surface ETA;"
               "txtMaxDepth=Max Depth;txtWaterDepth=Water Depth;Text1=Notes;txtLatitude=Mission Start Latitude;"
               "txtLongitude=Mission Start Longitude;chkSuccess=Successful;cmbFailureMode=Failure mode";
        QTest::newRow("maintenance") << "frmMaintenance"
                                     << "txtTime=Date/Time;cmbMType=MaintenanceType;cmbPerformedBy=PerformedBy;"
                                        "txtNotes=Notes;txtSubmittedBy=SubmittedBy;txtReason=Reason";
        QTest::newRow("battery")
            << "frmBatteryCharge"
            << "txtSubmittedBy=SubmittedBy;txtTime=Date/Time;txtBatteryLogFile=LogfileName;txtBat1SN=Batt1SN;"
               "txtBat1MinV=Bat1MinV;txtBat1MaxV=Bat1MaxV;Text1=Batt2SN;Text2=Bat2MinV;Text3=Bat2MaxV;"
               "Text4=Batt3SN;Text5=Bat3MinV;Text6=Bat3MaxV;txtNotes=Notes";
        QTest::newRow("tasks") << "frmTaskList"
                               << "txtTime=Date/Time;txtSubmittedBy=SubmittedBy;cmbAssignedTo=AssignedTo;"
                                  "txtTimeCompleted=DateCompleted;txtNote=Note;txtTaskDescription=TaskDescription";
        QTest::newRow("purchases") << "frmPurchases"
                                   << "txtTime=Date/Time;txtSubmittedBy=SubmittedBy;cmbAssignedTo=AssignedTo;"
                                      "txtTimeCompleted=DateCompleted;txtVendor=Vendor;txtNote=Note;txtItem=Item";
        QTest::newRow("misc") << "frmMisc" << "txtTime=Date/Time;txtNote=Note;txtSubmittedBy=SubmittedBy";
    }

    void controlsAndFields()
    {
        QFETCH(QString, window);
        QFETCH(QString, pairs);
        QWidget *w = windows().window(window);
        QVERIFY(w);
        for (const QString &pair : pairs.split(';')) {
            const QString control = pair.section('=', 0, 0);
            const QString field = pair.section('=', 1);
            FIND(c, QWidget, w, control);
            QCOMPARE(logbook::RecordBinder::fieldOf(c), field);
            if (auto *memo = qobject_cast<QPlainTextEdit *>(c))
                QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        }
    }

    void pickLists_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("atCreation");

        const Settings &s = settings();
        QTest::newRow("configuration") << "frmPredive" << "cmbVehicleConfiguration"
                                       << QStringList{"VXA1/3kWBat/TestNose", "VXA1/3kwBat/CTDNose",
                                                      "VXA1/6kWExtBat/AUVCTDNose", "VXA1/3kWExtBat/AUVCTDNose"}
                                       << "Vehicle Configuration";
        QTest::newRow("usbl") << "frmPredive" << "cmbUSBLTXRX" << QStringList{"19/27", "19/24"} << "USBL Rx/Tx kHz";
        QTest::newRow("rdf") << "frmPredive" << "cmbRDFFreq" << QStringList{"D = 160.785 MHz", "C = 160.725 MHz"}
                             << "RDF Frequency";
        QTest::newRow("launch") << "frmPredive" << "cmbLaunchCoordinator" << s.launchCoordinators
                                << "Launch Coordinator";
        QTest::newRow("operator") << "frmPredive" << "cmbOperator" << s.crewRoster << "Vehicle Operator";
        QTest::newRow("payload") << "frmPredive" << "cmbPayload" << s.payloadCoordinators << "Payload Coordinator";
        QTest::newRow("weather NS") << "frmWeatherObservation" << "cmbNS" << QStringList{"N", "S"} << "N";
        QTest::newRow("weather EW") << "frmWeatherObservation" << "cmbEW" << QStringList{"E", "W"} << "W";
        QTest::newRow("sky") << "frmWeatherObservation" << "cmbSkyDescription"
                             << QStringList{"Clear", "<25% Clouds", "<50% Clouds", "<75% Clouds", "Overcast",
                                            "Light Fog", "Dense Fog", "Showers", "Rain", "Heavy Rain"}
                             << "Sky Description";
        QTest::newRow("mission NS") << "frmMission" << "cmbNS" << QStringList{"N", "S"} << "N";
        QTest::newRow("mission EW") << "frmMission" << "cmbEW" << QStringList{"E", "W"} << "W";
        QTest::newRow("mission type") << "frmMission" << "cmbMissionType"
                                      << QStringList{"Data Acquisition", "Dynamic Control Testing", "Mapping",
                                                     "Depth Testing", "Deck Test", "Vehicle Checkout"}
                                      << "";
        QTest::newRow("failure mode") << "frmMission" << "cmbFailureMode"
                                      << QStringList{"None", "Mission Script Failed to Load", "Driver Failure",
                                                     "Device Hardware Failure", "Lost Dynamic Control",
                                                     "Vehicle Failed to Dive", "Indeterminate"}
                                      << "";
        QTest::newRow("maintenance type") << "frmMaintenance" << "cmbMType"
                                          << QStringList{"Preventative", "Vehicle Reconfiguration", "Repair",
                                                         "Upgrade"}
                                          << "";
        QTest::newRow("performer") << "frmMaintenance" << "cmbPerformedBy" << s.crewRoster << "";
        QTest::newRow("task assignee") << "frmTaskList" << "cmbAssignedTo" << (s.crewRoster + QStringList{"AUV Ops Team"})
                                       << "";
        QTest::newRow("buyer") << "frmPurchases" << "cmbAssignedTo" << s.crewRoster << "";
    }

    void pickLists()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QStringList, items);
        QFETCH(QString, atCreation);

        // The table is empty, so the window still shows its design-time texts.
        QWidget *w = windows().window(window);
        QVERIFY(w);
        FIND(c, QComboBox, w, control);
        QVERIFY(c->isEditable());
        QStringList offered;
        for (int i = 0; i < c->count(); ++i)
            offered << c->itemText(i);
        QCOMPARE(offered, items);
        QCOMPARE(c->currentText(), atCreation);

        // A new row clears it.
        QVERIFY(qobject_cast<RecordWindow *>(w)->beginNewRow());
        QVERIFY(test::waitForLogbook());
        QCOMPARE(c->currentText(), QString());
        QCOMPARE(c->count(), items.size());
    }

    void textsAtCreation_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hidden");
        for (const char *w : {"frmWeatherObservation", "frmMission"}) {
            QTest::addRow("%s latitude degrees", w) << w << "txtLatitudeInt" << "36" << false;
            QTest::addRow("%s longitude degrees", w) << w << "txtLongitudeInt" << "121" << false;
            QTest::addRow("%s hidden latitude", w) << w << "txtLatitude" << "34.567" << true;
            QTest::addRow("%s hidden longitude", w) << w << "txtLongitude" << "123.4567" << true;
        }
    }

    void textsAtCreation()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(bool, hidden);
        QWidget *w = windows().show(window);
        FIND(e, QLineEdit, w, control);
        QCOMPARE(e->text(), text);
        QCOMPARE(e->isVisible(), !hidden);
    }

    // --- leaving the window ---------------------------------------------

    void returnToMainStoresStampOnly_data()
    {
        QTest::addColumn<QString>("window");
        for (const QString &w : kRecordWindows)
            QTest::newRow(qPrintable(w)) << w;
    }

    void returnToMainStoresStampOnly()
    {
        QFETCH(QString, window);
        const QString table = tableOf(window);
        RecordWindow *w = newEntry(window, "07/03/2024 14:05:09", "Ada");
        QVERIFY(w);
        click(w, "cmdQuit");
        test::flushDeletes();

        QVERIFY(!windows().existing(window));
        QVERIFY(windows().existing("frmLogMain"));
        QVERIFY(windows().existing("frmLogMain")->isVisible());
        QCOMPARE(m_window->probe.count(table), 1);
        QCOMPARE(m_window->probe.field(table, "Date/Time").toString(), QStringLiteral("07/03/2024 14:05:09"));
        QCOMPARE(m_window->probe.field(table, "SubmittedBy").toString(), QStringLiteral("Ada"));
        // Nothing else was written: no design-time text, no hidden value.
        const logbook::TableDef *def = logbook::findTable(table);
        for (const QString &f : def->fields) {
            if (f == "Date/Time" || f == "SubmittedBy")
                continue;
            const QVariant v = m_window->probe.field(table, f);
            if (def->isBoolean(f))
                QVERIFY2(!v.toBool(), qPrintable(f));
            else
                QVERIFY2(v.isNull(), qPrintable(f + " = " + v.toString()));
        }
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    void frameCloseStoresAndLeavesMainAlone()
    {
        RecordWindow *w = newEntry("frmTaskList", "t1", "Ben");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtTaskDescription"), "Grease the rudder");
        closed(w);
        QVERIFY(!windows().existing("frmTaskList"));
        QVERIFY(!windows().existing("frmLogMain"));
        QCOMPARE(m_window->probe.count("TaskList"), 1);
        QCOMPARE(m_window->probe.field("TaskList", "TaskDescription").toString(), QStringLiteral("Grease the rudder"));
    }

    void keyOnInitialFocusReturns_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("key");
        for (const QString &w : kRecordWindows) {
            if (w == "frmMission")
                continue;   // opens on the date-and-time box
            QTest::addRow("%s space", qPrintable(w)) << w << int(Qt::Key_Space);
            QTest::addRow("%s enter", qPrintable(w)) << w << int(Qt::Key_Return);
        }
    }

    void keyOnInitialFocusReturns()
    {
        QFETCH(QString, window);
        QFETCH(int, key);
        RecordWindow *w = newEntry(window, "t", "Cai");
        QVERIFY(w);
        QWidget *focus = w->focusWidget();
        QVERIFY(focus);
        QCOMPARE(focus->objectName(), QStringLiteral("cmdQuit"));
        QTest::keyClick(focus, Qt::Key(key));
        QTRY_VERIFY(!windows().existing(window));
        test::flushDeletes();
        QCOMPARE(m_window->probe.count(tableOf(window)), 1);
    }

    void quitStoresEveryOpenWindow()
    {
        RecordWindow *a = newEntry("frmMisc", "t1", "Dee");
        RecordWindow *b = newEntry("frmPurchases", "t2", "Eli");
        QVERIFY(a && b);
        QTest::keyClicks(b->findChild<QLineEdit *>("txtItem"), "O-rings");
        windows().unloadAll();
        QTRY_VERIFY_WITH_TIMEOUT(windows().loadedWindows().isEmpty(), 20000);
        test::flushDeletes();
        QVERIFY(windows().loadedWindows().isEmpty());
        QCOMPARE(m_window->probe.count("Miscellaneous"), 1);
        QCOMPARE(m_window->probe.field("Purchases", "Item").toString(), QStringLiteral("O-rings"));
    }

    // --- rows ---------------------------------------------------------------

    void nextPastLastRow_data()
    {
        QTest::addColumn<QString>("window");
        for (const QString &w : kRecordWindows)
            if (w != "frmPurchases")
                QTest::newRow(qPrintable(w)) << w;
    }

    void nextPastLastRow()
    {
        QFETCH(QString, window);
        const QString table = tableOf(window);
        seed(table, {{"seeded", "Fay"}}, {"Date/Time", "SubmittedBy"});
        RecordWindow *w = shown(window);
        QVERIFY(w);
        FIND(time, QLineEdit, w, "txtTime");
        QCOMPARE(time->text(), QStringLiteral("seeded"));

        // Past the last row: an empty new row; left untouched it is dropped.
        click(w, "cmdNext");
        QVERIFY(w->cursor()->isNewRow());
        QCOMPARE(time->text(), QString());
        click(w, "cmdPrevious");
        QCOMPARE(time->text(), QStringLiteral("seeded"));
        QCOMPARE(m_window->probe.count(table), 1);

        // Typed into, it is stored without a stamp.
        click(w, "cmdNext");
        FIND(box, QWidget, w, someTextControl(window));
        QTest::keyClicks(box, "typed");
        const QString field = logbook::RecordBinder::fieldOf(box);
        closed(w);
        QCOMPARE(m_window->probe.count(table), 2);
        QCOMPARE(m_window->probe.field(table, field, 1).toString(), QStringLiteral("typed"));
        QVERIFY(m_window->probe.field(table, "Date/Time", 1).toString().isEmpty());
        QVERIFY(m_window->probe.field(table, "SubmittedBy", 1).toString().isEmpty());
        // The hidden stamp is written all the same, so the row can be found
        // and dated; the row counts as never changed.
        const QString stamped = m_window->probe.field(table, "StampedAtUtc", 1).toString();
        QVERIFY2(QDateTime::fromString(stamped, Qt::ISODate).isValid() && stamped.endsWith('Z'), qPrintable(stamped));
        QCOMPARE(m_window->probe.field(table, "Workstation", 1).toString(), logbook::RecordCursor::thisWorkstation());
        QCOMPARE(m_window->probe.field(table, "RowVersion", 1).toInt(), 0);
    }

    void purchasesNextStaysOnLastRow()
    {
        seed("Purchases", {{"p1", "Ada", "Pump"}, {"p2", "Ben", "Seal"}}, {"Date/Time", "SubmittedBy", "Item"});
        RecordWindow *w = shown("frmPurchases");
        QVERIFY(w);
        FIND(item, QLineEdit, w, "txtItem");
        click(w, "cmdLast");
        QCOMPARE(item->text(), QStringLiteral("Seal"));
        click(w, "cmdNext");
        QCOMPARE(item->text(), QStringLiteral("Seal"));
        QVERIFY(!w->cursor()->isNewRow());
        QTest::keyClicks(w->findChild<QLineEdit *>("txtVendor"), "Acme");
        closed(w);
        QCOMPARE(m_window->probe.count("Purchases"), 2);
        QCOMPARE(m_window->probe.field("Purchases", "Vendor", 1).toString(), QStringLiteral("Acme"));
        QCOMPARE(m_window->probe.field("Purchases", "Date/Time", 1).toString(), QStringLiteral("p2"));
    }

    void browsingLeavesRowsAlone()
    {
        seed("TaskList", {{"d1", "Ada"}, {"d2", "Ben"}, {"d3", "Cai"}}, {"Date/Time", "SubmittedBy"});
        RecordWindow *w = shown("frmTaskList");
        QVERIFY(w);
        FIND(time, QLineEdit, w, "txtTime");
        FIND(who, QLineEdit, w, "txtSubmittedBy");
        const QList<std::pair<const char *, const char *>> walk{
            {"cmdNext", "d2"}, {"cmdNext", "d3"}, {"cmdPrevious", "d2"}, {"cmdLast", "d3"},
            {"cmdFirst", "d1"}, {"cmdPrevious", "d1"}};
        for (const auto &[button, shown] : walk) {
            click(w, button);
            QCOMPARE(time->text(), QString::fromLatin1(shown));
        }
        QVERIFY(!w->cursor()->isChanged());
        closed(w);
        QCOMPARE(m_window->probe.count("TaskList"), 3);
        QCOMPARE(m_window->probe.sql("SELECT group_concat(\"Date/Time\" || \"SubmittedBy\", ',') FROM \"TaskList\"").toString(),
                 QStringLiteral("d1Ada,d2Ben,d3Cai"));
    }

    void editsStoredWhenRowIsLeft()
    {
        seed("TaskList", {{"d1", "Ada"}, {"d2", "Ben"}}, {"Date/Time", "SubmittedBy"});
        RecordWindow *w = shown("frmTaskList");
        QVERIFY(w);
        // Typed by the user, then left by a move.
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "done");
        click(w, "cmdNext");
        QCOMPARE(m_window->probe.field("TaskList", "Note", 0).toString(), QStringLiteral("done"));
        // Written by the program counts the same; a typed list text too.
        w->findChild<QLineEdit *>("txtTimeCompleted")->setText("08/03/2024");
        QTest::keyClicks(w->findChild<QComboBox *>("cmbAssignedTo"), "Visitor");
        click(w, "cmdFirst");
        QCOMPARE(m_window->probe.field("TaskList", "DateCompleted", 1).toString(), QStringLiteral("08/03/2024"));
        QCOMPARE(m_window->probe.field("TaskList", "AssignedTo", 1).toString(), QStringLiteral("Visitor"));
        // A picked item is stored as its text.
        auto *assigned = w->findChild<QComboBox *>("cmbAssignedTo");
        assigned->setCurrentIndex(assigned->findText("AUV Ops Team"));
        closed(w);
        QCOMPARE(m_window->probe.field("TaskList", "AssignedTo", 0).toString(), QStringLiteral("AUV Ops Team"));
        QCOMPARE(m_window->probe.field("TaskList", "Date/Time", 0).toString(), QStringLiteral("d1"));
    }

    void typingIntoEmptyTableBeginsFirstRow()
    {
        // Opened without a submission: the table is empty and the window
        // shows its design-time texts.  Typing starts a clean first row.
        QWidget *w = shown("frmWeatherObservation");
        QVERIFY(w);
        FIND(speed, QLineEdit, w, "txtWindSpeed");
        FIND(degrees, QLineEdit, w, "txtLatitudeInt");
        QCOMPARE(degrees->text(), QStringLiteral("36"));
        QTest::keyClicks(speed, "12");
        QCOMPARE(speed->text(), QStringLiteral("12"));
        QCOMPARE(degrees->text(), QString());
        closed(w);
        QCOMPARE(m_window->probe.count("WeatherObservation"), 1);
        QCOMPARE(m_window->probe.field("WeatherObservation", "WindSpeed").toString(), QStringLiteral("12"));
        QVERIFY(m_window->probe.field("WeatherObservation", "Latitude Int").isNull());
        QVERIFY(m_window->probe.field("WeatherObservation", "Latitude").isNull());
    }

    void checkBoxesStoreTrueFalse_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("ticked");     // control=field
        QTest::addColumn<QString>("unticked");   // ticked, then unticked again
        QTest::newRow("usbl") << "frmPredive" << "chkUSBLOn=USBL Beacon ON" << "chkDVL=DVL Operational";
        QTest::newRow("locators") << "frmPredive" << "checkEmOn=Em Locators ON" << "chkGPS=GPS Fix Valid";
        QTest::newRow("payload") << "frmPredive" << "chkPayload=PayloadOperational" << "chkAHRS=AHRS Operational";
        QTest::newRow("success") << "frmMission" << "chkSuccess=Successful" << "chkSuccess=Successful";
    }

    void checkBoxesStoreTrueFalse()
    {
        QFETCH(QString, window);
        QFETCH(QString, ticked);
        QFETCH(QString, unticked);
        const QString table = tableOf(window);
        RecordWindow *w = newEntry(window, "t", "Ada");
        QVERIFY(w);
        FIND(on, QCheckBox, w, ticked.section('=', 0, 0));
        FIND(off, QCheckBox, w, unticked.section('=', 0, 0));
        QTest::mouseClick(off, Qt::LeftButton);
        QTest::mouseClick(off, Qt::LeftButton);
        QVERIFY(!off->isChecked());
        if (on != off)
            QTest::mouseClick(on, Qt::LeftButton);
        const bool expectOn = on != off;
        closed(w);

        const QVariant storedOn = m_window->probe.field(table, ticked.section('=', 1));
        const QVariant storedOff = m_window->probe.field(table, unticked.section('=', 1));
        QCOMPARE(storedOn.toBool(), expectOn);
        QVERIFY(!storedOff.isNull());
        QCOMPARE(storedOff.toBool(), false);

        // And they come back as ticks.
        w = shown(window);
        QCOMPARE(w->findChild<QCheckBox *>(ticked.section('=', 0, 0))->isChecked(), expectOn);
    }

    void addedFieldsStored()
    {
        RecordWindow *weather = newEntry("frmWeatherObservation", "t1", "Ada");
        QVERIFY(weather);
        QTest::keyClicks(weather->findChild<QLineEdit *>("txtSwellDirection"), "270");
        auto *sky = weather->findChild<QComboBox *>("cmbSkyDescription");
        sky->setCurrentIndex(sky->findText("<50% Clouds"));
        RecordWindow *predive = newEntry("frmPredive", "t2", "Ben");
        QVERIFY(predive);
        QTest::keyClicks(predive->findChild<QComboBox *>("cmbPayload"), "Sci 2");
        QTest::mouseClick(predive->findChild<QCheckBox *>("chkPayload"), Qt::LeftButton);
        windows().unloadAll();
        QTRY_VERIFY_WITH_TIMEOUT(windows().loadedWindows().isEmpty(), 20000);
        test::flushDeletes();
        QCOMPARE(m_window->probe.field("WeatherObservation", "SwellDirection").toString(), QStringLiteral("270"));
        QCOMPARE(m_window->probe.field("WeatherObservation", "SkyDescription").toString(), QStringLiteral("<50% Clouds"));
        QCOMPARE(m_window->probe.field("Predive", "PayloadCoordinator").toString(), QStringLiteral("Sci 2"));
        QCOMPARE(m_window->probe.field("Predive", "PayloadOperational").toBool(), true);
    }

    void oldLogbookUpgradedOnOpen()
    {
        // A logbook from before the swell direction and sky fields existed.
        if (LogbookProbe::isPostgres())
            QSKIP("a file's upgrade; the server's is covered by tst_logbook_database_pg");
        QDir().mkpath(QFileInfo(settings().database).absolutePath());
        QStringList oldFields = logbook::findTable("WeatherObservation")->fields;
        oldFields.removeAll("SwellDirection");
        oldFields.removeAll("SkyDescription");
        QStringList columns{"\"BravikKey\" INTEGER PRIMARY KEY AUTOINCREMENT"};
        for (const QString &f : oldFields)
            columns << QStringLiteral("\"%1\" TEXT").arg(f);
        m_window->probe.sql(QStringLiteral("CREATE TABLE \"WeatherObservation\" (%1)").arg(columns.join(", ")));
        m_window->probe.sql("INSERT INTO \"WeatherObservation\" (\"Date/Time\", \"Notes\", \"Latitude\") "
                     "VALUES ('old', 'calm', '33.1')");
        m_window->probe.close();

        RecordWindow *w = shown("frmWeatherObservation");
        QVERIFY(w && w->isOpen());
        QCOMPARE(w->findChild<QPlainTextEdit *>("txtNotes")->toPlainText(), QStringLiteral("calm"));
        QVERIFY(newEntry("frmWeatherObservation", "new", "Ada"));
        QTest::keyClicks(w->findChild<QLineEdit *>("txtSwellDirection"), "180");
        QTest::keyClicks(w->findChild<QComboBox *>("cmbSkyDescription"), "Haze");
        closed(w);

        QVERIFY(m_window->probe.columns("WeatherObservation").contains("SwellDirection"));
        QVERIFY(m_window->probe.columns("WeatherObservation").contains("SkyDescription"));
        QCOMPARE(m_window->probe.count("WeatherObservation"), 2);
        QCOMPARE(m_window->probe.field("WeatherObservation", "Notes", 0).toString(), QStringLiteral("calm"));
        QCOMPARE(m_window->probe.field("WeatherObservation", "Latitude", 0).toString(), QStringLiteral("33.1"));
        QCOMPARE(m_window->probe.field("WeatherObservation", "SwellDirection", 1).toString(), QStringLiteral("180"));
        QCOMPARE(m_window->probe.field("WeatherObservation", "SkyDescription", 1).toString(), QStringLiteral("Haze"));
    }

    void hiddenPositionNeverWritten_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::newRow("weather") << "frmWeatherObservation" << "Latitude" << "Longitude";
        QTest::newRow("mission") << "frmMission" << "Mission Start Latitude" << "Mission Start Longitude";
    }

    void hiddenPositionNeverWritten()
    {
        QFETCH(QString, window);
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        const QString table = tableOf(window);
        seed(table, {{"old", "12.5", "-3.25"}}, {"Date/Time", latitude, longitude});

        // Edit the stored row, then make a new entry and leave.
        RecordWindow *w = shown(window);
        QVERIFY(w);
        QCOMPARE(w->findChild<QLineEdit *>("txtLatitude")->text(), QStringLiteral("12.5"));
        QTest::keyClicks(w->findChild<QLineEdit *>("txtLatitudeMinutes"), "30.5");
        QVERIFY(newEntry(window, "new", "Ada"));
        QTest::keyClicks(w->findChild<QLineEdit *>("txtLongitudeMinutes"), "10.25");
        click(w, "cmdQuit");
        test::flushDeletes();

        QCOMPARE(m_window->probe.count(table), 2);
        QCOMPARE(m_window->probe.field(table, "Latitude Minutes", 0).toString(), QStringLiteral("30.5"));
        QCOMPARE(m_window->probe.field(table, latitude, 0).toString(), QStringLiteral("12.5"));
        QCOMPARE(m_window->probe.field(table, longitude, 0).toString(), QStringLiteral("-3.25"));
        QVERIFY(m_window->probe.field(table, latitude, 1).isNull());
        QVERIFY(m_window->probe.field(table, longitude, 1).isNull());
    }

    // --- failures -----------------------------------------------------------

    void refusedStoreKeepsWindowOnce()
    {
        RecordWindow *w = newEntry("frmMisc", "t1", "Ada");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "keep me");
        m_window->probe.sql("DROP TABLE \"Miscellaneous\"");

        // First attempt: the engine's words, and the window stays with the text.
        click(w, "cmdQuit");
        test::flushDeletes();
        QCOMPARE(windows().existing("frmMisc"), w);
        QVERIFY(w->isVisible());
        QVERIFY(!windows().existing("frmLogMain"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY2(m_window->seams.messages->texts.first().contains("Miscellaneous"), qPrintable(m_window->seams.messages->texts.first()));
        QCOMPARE(w->findChild<QPlainTextEdit *>("txtNote")->toPlainText(), QStringLiteral("keep me"));

        // Second attempt: the user was told, the window goes.
        click(w, "cmdQuit");
        test::flushDeletes();
        QVERIFY(!windows().existing("frmMisc"));
        QVERIFY(windows().existing("frmLogMain"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
    }

    void refusedMoveKeepsRow()
    {
        seed("Miscellaneous", {{"d1", "Ada"}}, {"Date/Time", "SubmittedBy"});
        RecordWindow *w = shown("frmMisc");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "edited");
        m_window->probe.sql("DROP TABLE \"Miscellaneous\"");
        click(w, "cmdNext");
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QCOMPARE(w->findChild<QLineEdit *>("txtTime")->text(), QStringLiteral("d1"));
        QCOMPARE(w->findChild<QPlainTextEdit *>("txtNote")->toPlainText(), QStringLiteral("edited"));
        QVERIFY(w->cursor()->isChanged());
    }

    void unreachableLogbook()
    {
        // The logbook's folder cannot be made: a file stands in its way.
        QFile blocker(m_window->settings.path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Settings s = settings();
        s.database = m_window->settings.path("blocker/logbook.sqlite");
        setSettings(s);

        RecordWindow *w = shown("frmMisc");
        QVERIFY(w);
        QVERIFY(!w->isOpen());
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(!w->findChild<QPlainTextEdit *>("txtNote")->isEnabled());
        QVERIFY(!w->moveLast());
        click(w, "cmdQuit");
        test::flushDeletes();
        QVERIFY(!windows().existing("frmMisc"));
    }

    // --- the mission window's own buttons ---------------------------------

    void selectMission()
    {
        test::registerStub("frmMissionDisplay");
        auto *w = qobject_cast<frmMission *>(newEntry("frmMission", "t", "Ada"));
        QVERIFY(w);
        const QString chosen = m_window->settings.path("Missions/transit.cfg");
        m_window->seams.dialogs->answers.enqueue(chosen);
        click(w, "cmdRunMission");

        QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
        const FileDialogRequest r = m_window->seams.dialogs->requests.first();
        QCOMPARE(r.mode, FileDialogRequest::Open);
        QCOMPARE(r.title, QStringLiteral("Select Mission to Run"));
        QCOMPARE(r.filter, QStringLiteral("*.cfg"));
        QCOMPARE(r.folder, settings().missionsFolder);
        QCOMPARE(r.objectName, QStringLiteral("cdlSelectMission"));
        QCOMPARE(w->selectedMissionFile(), chosen);
        QCOMPARE(w->findChild<QLineEdit *>("txtMissionScript")->text(), chosen);
        QVERIFY(windows().existing("frmMissionDisplay"));

        // Cancelled: the earlier choice goes into the row again, over a
        // hand edit, and is reviewed again.
        windows().unload("frmMissionDisplay");
        QTest::keyClicks(w->findChild<QLineEdit *>("txtMissionScript"), " edited");
        click(w, "cmdRunMission");
        QCOMPARE(w->selectedMissionFile(), chosen);
        QCOMPARE(w->findChild<QLineEdit *>("txtMissionScript")->text(), chosen);
        QVERIFY(windows().existing("frmMissionDisplay"));

        click(w, "cmdQuit");
        test::flushDeletes();
        QCOMPARE(m_window->probe.field("MissionData", "Mission Script Name").toString(), chosen);
    }

    void createMissionPlan()
    {
        QWidget *w = windows().show("frmMission");
        click(w, "cmdBuildMission");   // no chooser yet: nothing happens
        QVERIFY(!windows().existing("frmSelectTemplate"));
        test::registerStub("frmSelectTemplate");
        click(w, "cmdBuildMission");
        QVERIFY(windows().existing("frmSelectTemplate"));
        QCOMPARE(m_window->probe.count("MissionData"), 0);
    }
};

QTEST_MAIN(TestRecordWindows)
#include "tst_recordwindows.moc"
