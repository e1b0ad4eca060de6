#include "FieldLogWindows.h"

#include "RecordKinds.h"

#include "GpsLink.h"
#include "RecordCursor.h"
#include "Seams.h"
#include "Settings.h"
#include "WindowManager.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using bravik::settings;
using bravik::logbook::RecordWindowFrame;
using bravik::logbook::RecordKind;
using bravik::logbook::recordKind;

namespace {
const QString kDateTime = QStringLiteral("Date/Time");
const QString kSubmittedBy = QStringLiteral("SubmittedBy");
const QString kDateTimeLabel = QStringLiteral("Date and Time GMT");
const QString kSubmittedByLabel = QStringLiteral("Submitted By");

RecordWindowFrame prediveFrame()
{
    return {recordKind(RecordKind::Predive).table, recordKind(RecordKind::Predive).caption, 7920, 10785,
            QStringLiteral("Navigate PreDive Table"), QRect(480, 9600, 3180, 540), QRect(4680, 9600, 2055, 495)};
}

RecordWindowFrame weatherFrame()
{
    return {recordKind(RecordKind::Weather).table, recordKind(RecordKind::Weather).caption, 7140, 9735,
            QStringLiteral("Navigate Weather Table"), QRect(840, 8040, 3135, 540), QRect(4200, 8040, 2055, 495)};
}

RecordWindowFrame missionFrame()
{
    return {recordKind(RecordKind::Mission).table, recordKind(RecordKind::Mission).caption, 7380, 11220,
            QStringLiteral("Navigate Mission Table"), QRect(480, 9600, 3060, 435), QRect(4920, 9600, 2055, 495)};
}
} // namespace

// --- predive checklist ------------------------------------------------------

frmPredive::frmPredive(QWidget *parent)
    : RecordWindow(prediveFrame(), parent)
{
    const auto &s = settings();

    txtTime = addText("txtTime", kDateTime, 720, 480, 2415, 495);
    labelAbove(txtTime, kDateTimeLabel);
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 4320, 480, 2295, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    txtCruise = addText("txtCruise", QStringLiteral("Cruise"), 720, 1440, 1935, 495);
    labelAbove(txtCruise, QStringLiteral("Cruise"));
    txtShip = addText("txtShip", QStringLiteral("Ship"), 4320, 1440, 1935, 495);
    labelAbove(txtShip, QStringLiteral("Ship"));
    cmbVehicleConfiguration = addList("cmbVehicleConfiguration", QStringLiteral("Vehicle Configuration"),
                                      {QStringLiteral("VXA1/3kWBat/TestNose"), QStringLiteral("VXA1/3kwBat/CTDNose"),
                                       QStringLiteral("VXA1/6kWExtBat/AUVCTDNose"),
                                       QStringLiteral("VXA1/3kWExtBat/AUVCTDNose")},
                                      QStringLiteral("Vehicle Configuration"), 720, 2520, 2535, 315);
    labelAbove(cmbVehicleConfiguration, QStringLiteral("Vehicle Configuration"));

    chkUSBLOn = addCheck("chkUSBLOn", QStringLiteral("USBL Beacon ON"), QStringLiteral("USBL Beacon On"),
                         720, 6960, 1575, 495);
    checkEmOn = addCheck("checkEmOn", QStringLiteral("Em Locators ON"), QStringLiteral("Location Aids On"),
                         720, 7440, 1695, 495);

    txtMainVac = addText("txtMainVac", QStringLiteral("Main Housing Vaccuum"), 720, 3000, 975, 375);
    labelRight(txtMainVac, QStringLiteral("Main Housing Vaccuum"));
    txtBat1V = addText("txtBat1V", QStringLiteral("Battery 1 Voltage"), 720, 3960, 975, 375);
    labelRight(txtBat1V, QStringLiteral("Battery 1 V oltage"));
    txtBat2V = addText("txtBat2V", QStringLiteral("Battery 2 Voltage"), 720, 4440, 975, 375);
    labelRight(txtBat2V, QStringLiteral("Battery 2 Voltage"));
    txtBat3V = addText("txtBat3V", QStringLiteral("Battery 3 Voltage"), 720, 4920, 975, 375);
    labelRight(txtBat3V, QStringLiteral("Battery 3 Voltage"));
    USBLBatV = addText("USBLBatV", QStringLiteral("USBL Battery Voltage"), 720, 5400, 975, 375);
    labelRight(USBLBatV, QStringLiteral("USBL Battery Voltage"));
    cmbUSBLTXRX = addList("cmbUSBLTXRX", QStringLiteral("USBL Tx/Rx"),
                          {QStringLiteral("19/27"), QStringLiteral("19/24")}, QStringLiteral("USBL Rx/Tx kHz"),
                          720, 6000, 1695, 315);
    labelRight(cmbUSBLTXRX, QStringLiteral("USBL Rx/Tx"));
    cmbRDFFreq = addList("cmbRDFFreq", QStringLiteral("RDF Channel"),
                         {QStringLiteral("D = 160.785 MHz"), QStringLiteral("C = 160.725 MHz")},
                         QStringLiteral("RDF Frequency"), 720, 6480, 1695, 315);
    labelRight(cmbRDFFreq, QStringLiteral("RDF Frequency"));
    txtTailconeComp = addText("txtTailconeComp", QStringLiteral("Tailcone Comp Pressure"), 720, 3480, 975, 375);
    labelRight(txtTailconeComp, QStringLiteral("Tailcone Comp pressure"));

    chkTimeSync = addCheck("chkTimeSync", QStringLiteral("MVC Time Synch"), QStringLiteral("MVC Time Synch"),
                           4680, 5880, 1695, 495);
    chkConfig = addCheck("chkConfig", QStringLiteral("CFG files valid"), QStringLiteral("Config Files Valid"),
                         4680, 6360, 1695, 495);
    // 480 high rather than 615 so it does not reach into "Payload
    // Operational" below it.
    chkMissionScripts = addCheck("chkMissionScripts", QStringLiteral("MissionScriptsPrepared"),
                                 QStringLiteral("Mission Scripts Valid"), 4680, 6840, 1815, 480);
    chkThruster = addCheck("chkThruster", QStringLiteral("Thruster Operational"),
                           QStringLiteral("Thruster Operational"), 4680, 2520, 1815, 495);
    chkElevator = addCheck("chkElevator", QStringLiteral("Elevator Operational"),
                           QStringLiteral("Elevator Operational"), 4680, 3000, 1815, 495);
    chkRudder = addCheck("chkRudder", QStringLiteral("Rudder Operational"), QStringLiteral("Rudder Operational"),
                         4680, 3480, 2295, 495);
    chkAHRS = addCheck("chkAHRS", QStringLiteral("AHRS Operational"), QStringLiteral("AHRS Operational"),
                       4680, 3960, 1935, 495);
    chkGPS = addCheck("chkGPS", QStringLiteral("GPS Fix Valid"), QStringLiteral("GPS Fix Valid"),
                      4680, 5400, 1935, 495);
    chkPressureSensor = addCheck("chkPressureSensor", QStringLiteral("Pressure Sensor Operational"),
                                 QStringLiteral("Pressure Sensor Operational"), 4680, 4440, 2895, 495);
    chkDVL = addCheck("chkDVL", QStringLiteral("DVL Operational"), QStringLiteral("DVL Operational"),
                      4680, 4920, 1935, 495);

    cmbLaunchCoordinator = addList("cmbLaunchCoordinator", QStringLiteral("LaunchCoordinator"),
                                   s.launchCoordinators, QStringLiteral("Launch Coordinator"), 240, 8760, 2295, 315);
    labelAbove(cmbLaunchCoordinator, QStringLiteral("Launch Coordinator"));
    cmbOperator = addList("cmbOperator", QStringLiteral("VehicleOperator"), s.crewRoster,
                          QStringLiteral("Vehicle Operator"), 2760, 8760, 2295, 315);
    labelAbove(cmbOperator, QStringLiteral("Vehicle Operator"));
    cmbPayload = addList("cmbPayload", QStringLiteral("PayloadCoordinator"), s.payloadCoordinators,
                         QStringLiteral("Payload Coordinator"), 5280, 8760, 2295, 315);
    labelAbove(cmbPayload, QStringLiteral("Payload Coordinator"));
    chkPayload = addCheck("chkPayload", QStringLiteral("PayloadOperational"), QStringLiteral("Payload Operational"),
                          4680, 7320, 1815, 495);

    finishSetup({cmdQuit, txtTime, txtSubmittedBy, txtCruise, txtShip, cmbVehicleConfiguration, chkUSBLOn,
                 checkEmOn, txtMainVac, txtBat1V, txtBat2V, txtBat3V, USBLBatV, cmbUSBLTXRX, cmbRDFFreq,
                 txtTailconeComp, chkTimeSync, chkConfig, chkMissionScripts, chkThruster, chkElevator,
                 chkRudder, chkAHRS, chkGPS, chkPressureSensor, chkDVL, cmbLaunchCoordinator, cmbOperator,
                 cmbPayload, chkPayload});
}

// --- weather observation ----------------------------------------------------

frmWeatherObservation::frmWeatherObservation(QWidget *parent)
    : RecordWindow(weatherFrame(), parent)
{
    const QStringList ns{QStringLiteral("N"), QStringLiteral("S")};
    const QStringList ew{QStringLiteral("E"), QStringLiteral("W")};

    cmbNS = addList("cmbNS", QStringLiteral("HemisphereNS"), ns, QStringLiteral("N"), 2400, 1560, 735, 315);
    cmbEW = addList("cmbEW", QStringLiteral("HemisphereEW"), ew, QStringLiteral("W"), 2400, 2160, 735, 315);
    txtWindSpeed = addText("txtWindSpeed", QStringLiteral("WindSpeed"), 840, 2880, 1935, 495);
    labelAbove(txtWindSpeed, QStringLiteral("Wind Speed (kts)"));
    txtWindDirection = addText("txtWindDirection", QStringLiteral("WindDirection"), 840, 3720, 1935, 495);
    labelAbove(txtWindDirection, QStringLiteral("Wind Direction (True)"));
    txtSwellHeight = addText("txtSwellHeight", QStringLiteral("SwellHeight"), 4200, 2880, 1935, 495);
    labelAbove(txtSwellHeight, QStringLiteral("Swell Height (ft)"));
    txtSwellPeriod = addText("txtSwellPeriod", QStringLiteral("SwellPeriod"), 4200, 3720, 1935, 495);
    labelAbove(txtSwellPeriod, QStringLiteral("Swell Period (s)"));
    txtSwellDirection = addText("txtSwellDirection", QStringLiteral("SwellDirection"), 4200, 4560, 1935, 495);
    labelAbove(txtSwellDirection, QStringLiteral("Swell Direction (True)"));
    txtNotes = addMemo("txtNotes", QStringLiteral("Notes"), 840, 5520, 5415, 2175);
    labelAbove(txtNotes, QStringLiteral("Notes"));
    txtTime = addText("txtTime", kDateTime, 840, 720, 2295, 495);
    labelAbove(txtTime, kDateTimeLabel);
    cmdGetFix = addButton("cmdGetFix", QStringLiteral("Get GPS Data"), 4080, 1920, 2055, 495);
    connect(cmdGetFix, &QPushButton::clicked, this, &frmWeatherObservation::onGetFix);
    cmbSkyDescription = addList("cmbSkyDescription", QStringLiteral("SkyDescription"),
                                {QStringLiteral("Clear"), QStringLiteral("<25% Clouds"), QStringLiteral("<50% Clouds"),
                                 QStringLiteral("<75% Clouds"), QStringLiteral("Overcast"), QStringLiteral("Light Fog"),
                                 QStringLiteral("Dense Fog"), QStringLiteral("Showers"), QStringLiteral("Rain"),
                                 QStringLiteral("Heavy Rain")},
                                QStringLiteral("Sky Description"), 840, 4560, 1935, 315);
    // The prompt goes with the first row shown, so the list has a label
    // like its neighbours.
    labelAbove(cmbSkyDescription, QStringLiteral("Sky Description"));
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 3840, 720, 2295, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    // The minutes boxes start just right of the degrees boxes rather than
    // under their right edge.
    txtLatitudeInt = addText("txtLatitudeInt", QStringLiteral("Latitude Int"), 840, 1560, 400, 315);
    txtLatitudeInt->setText(QStringLiteral("36"));
    labelAbove(txtLatitudeInt, QStringLiteral("Latitude"));
    txtLatitudeMinutes = addText("txtLatitudeMinutes", QStringLiteral("Latitude Minutes"), 1260, 1560, 1000, 315);
    txtLongitudeInt = addText("txtLongitudeInt", QStringLiteral("Longitude Int"), 840, 2160, 400, 315);
    txtLongitudeInt->setText(QStringLiteral("121"));
    labelAbove(txtLongitudeInt, QStringLiteral("Longitude"));
    txtLongitudeMinutes = addText("txtLongitudeMinutes", QStringLiteral("Longitude Minutes"), 1260, 2160, 1000, 315);
    txtLatitude = addHiddenText("txtLatitude", QStringLiteral("Latitude"), QStringLiteral("34.567"));
    txtLongitude = addHiddenText("txtLongitude", QStringLiteral("Longitude"), QStringLiteral("123.4567"));

    // The GPS feed connects now, once per load; the buffer is emptied by
    // every fix, so each fix takes a sentence newer than the last.
    m_gps = new bravik::GpsLink(this, bravik::GpsLink::AfterFix::EmptyBuffer);
    m_gps->placeStatus(3240, 1260, 3780, 615);
    lblGpsStatus = m_gps->statusLabel();

    finishSetup({cmdQuit, cmbNS, cmbEW, txtWindSpeed, txtWindDirection, txtSwellHeight, txtSwellPeriod,
                 txtSwellDirection, txtNotes, txtTime, cmdGetFix, cmbSkyDescription, txtSubmittedBy,
                 txtLatitudeInt, txtLatitudeMinutes, txtLongitudeInt, txtLongitudeMinutes});
}

void frmWeatherObservation::onGetFix()
{
    m_gps->getFix();
}

void frmWeatherObservation::closeEvent(QCloseEvent *event)
{
    RecordWindow::closeEvent(event);
    // The link closes only when the window really goes: a store the engine
    // refused keeps the window open, and with it the link.
    if (isUnloading())
        m_gps->close();
}

// --- mission log ------------------------------------------------------------

frmMission::frmMission(QWidget *parent)
    : RecordWindow(missionFrame(), parent)
{
    txtTime = addText("txtTime", kDateTime, 480, 480, 1815, 495);
    labelAbove(txtTime, kDateTimeLabel);
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 4320, 480, 2415, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    txtLatitudeInt = addText("txtLatitudeInt", QStringLiteral("Latitude Int"), 480, 1440, 400, 315);
    txtLatitudeInt->setText(QStringLiteral("36"));
    labelAbove(txtLatitudeInt, QStringLiteral("Latitude"));
    txtLatitudeMinutes = addText("txtLatitudeMinutes", QStringLiteral("Latitude Minutes"), 900, 1440, 1000, 315);
    cmbNS = addList("cmbNS", QStringLiteral("HemisphereNS"), {QStringLiteral("N"), QStringLiteral("S")},
                    QStringLiteral("N"), 2040, 1440, 735, 315);
    txtLongitudeInt = addText("txtLongitudeInt", QStringLiteral("Longitude Int"), 480, 2040, 400, 315);
    txtLongitudeInt->setText(QStringLiteral("121"));
    labelAbove(txtLongitudeInt, QStringLiteral("Longitude"));
    txtLongitudeMinutes = addText("txtLongitudeMinutes", QStringLiteral("Longitude Minutes"), 900, 2040, 1000, 315);
    cmbEW = addList("cmbEW", QStringLiteral("HemisphereEW"), {QStringLiteral("E"), QStringLiteral("W")},
                    QStringLiteral("W"), 2040, 2040, 735, 315);
    txtDataDirectory = addText("txtDataDirectory", QStringLiteral("Mission Data Directory"), 480, 3000, 2655, 495);
    labelAbove(txtDataDirectory, QStringLiteral("Data Directory"));
    cmbMissionType = addList("cmbMissionType", QStringLiteral("Purpose"),
                             {QStringLiteral("Data Acquisition"), QStringLiteral("Dynamic Control Testing"),
                              QStringLiteral("Mapping"), QStringLiteral("Depth Testing"), QStringLiteral("Deck Test"),
                              QStringLiteral("Vehicle Checkout")},
                             QString(), 480, 3840, 2655, 315);
    labelAbove(cmbMissionType, QStringLiteral("Mission Type"));
    txtMissionScript = addText("txtMissionScript", QStringLiteral("Mission Script Name"), 480, 4560, 2655, 495);
    labelAbove(txtMissionScript, QStringLiteral("Mission Script"));
    txtETA = addText("txtETA", QStringLiteral("Surface ETA"), 5520, 3000, 1215, 495);
    labelAbove(txtETA, QStringLiteral("Surface ETA"));
    txtMaxDepth = addText("txtMaxDepth", QStringLiteral("Max Depth"), 5520, 3720, 1215, 495);
    labelAbove(txtMaxDepth, QStringLiteral("Max Depth (m)"));
    txtWaterDepth = addText("txtWaterDepth", QStringLiteral("Water Depth"), 5520, 4440, 1215, 495);
    labelAbove(txtWaterDepth, QStringLiteral("Water Depth (m)"));
    Text1 = addMemo("Text1", QStringLiteral("Notes"), 480, 6240, 6495, 2175);
    labelAbove(Text1, QStringLiteral("Notes:"));
    chkSuccess = addCheck("chkSuccess", QStringLiteral("Successful"), QStringLiteral("Mission Successful"),
                          600, 8640, 1695, 495);
    cmbFailureMode = addList("cmbFailureMode", QStringLiteral("Failure mode"),
                             {QStringLiteral("None"), QStringLiteral("Mission Script Failed to Load"),
                              QStringLiteral("Driver Failure"), QStringLiteral("Device Hardware Failure"),
                              QStringLiteral("Lost Dynamic Control"), QStringLiteral("Vehicle Failed to Dive"),
                              QStringLiteral("Indeterminate")},
                             QString(), 3960, 8760, 3015, 315);
    labelAbove(cmbFailureMode, QStringLiteral("Failure Mode"));
    cmdGetFix = addButton("cmdGetFix", QStringLiteral("Get GPS Data"), 4800, 2040, 1935, 495);
    connect(cmdGetFix, &QPushButton::clicked, this, &frmMission::onGetFix);
    cmdRunMission = addButton("cmdRunMission", QStringLiteral("Select Mission"), 480, 5280, 1935, 495);
    connect(cmdRunMission, &QPushButton::clicked, this, &frmMission::onSelectMission);
    cmdBuildMission = addButton("cmdBuildMission", QStringLiteral("Create Mission Plan"), 4920, 5280, 1935, 495);
    connect(cmdBuildMission, &QPushButton::clicked, this, &frmMission::onBuildMission);
    cmdLaunches = addButton("cmdLaunches", QStringLiteral("Launches"), 2700, 5280, 1935, 495);
    connect(cmdLaunches, &QPushButton::clicked, this, &frmMission::onLaunches);
    txtLatitude = addHiddenText("txtLatitude", QStringLiteral("Mission Start Latitude"), QStringLiteral("34.567"));
    txtLongitude = addHiddenText("txtLongitude", QStringLiteral("Mission Start Longitude"), QStringLiteral("123.4567"));

    // The mission window keeps its buffer after a fix: pressing again gives
    // the same position until the buffer next overflows.
    m_gps = new bravik::GpsLink(this, bravik::GpsLink::AfterFix::KeepBuffer);
    m_gps->placeStatus(3000, 1380, 3735, 615);
    lblGpsStatus = m_gps->statusLabel();

    finishSetup({txtTime, txtSubmittedBy, txtLatitudeInt, txtLatitudeMinutes, cmbNS, txtLongitudeInt,
                 txtLongitudeMinutes, cmbEW, txtDataDirectory, cmbMissionType, txtMissionScript, txtETA,
                 txtMaxDepth, txtWaterDepth, Text1, chkSuccess, cmbFailureMode, cmdQuit, cmdGetFix,
                 cmdRunMission, cmdBuildMission, cmdLaunches});
}

void frmMission::onGetFix()
{
    m_gps->getFix();
}

void frmMission::closeEvent(QCloseEvent *event)
{
    RecordWindow::closeEvent(event);
    // As in the weather window: the link stays while the window stays.
    if (isUnloading())
        m_gps->close();
}

namespace {
frmMission::MissionReview &missionReview()
{
    static frmMission::MissionReview review;
    return review;
}
} // namespace

void frmMission::setMissionReview(MissionReview review)
{
    missionReview() = std::move(review);
}

namespace {
frmMission::LaunchesView &launchesView()
{
    static frmMission::LaunchesView view;
    return view;
}
} // namespace

void frmMission::setLaunchesView(LaunchesView view)
{
    launchesView() = std::move(view);
}

void frmMission::onSelectMission()
{
    bravik::FileDialogRequest request;
    request.mode = bravik::FileDialogRequest::Open;
    request.title = QStringLiteral("Select Mission to Run");
    request.filter = QStringLiteral("*.cfg");
    request.folder = settings().missionsFolder;
    request.objectName = QStringLiteral("cdlSelectMission");
    QString path = bravik::fileDialogs().choose(this, request);
    if (path.isEmpty()) {
        // Cancelled: the dialog still holds the earlier choice, which goes
        // into the row and to the review again.  With none yet the review
        // says that no file has been chosen, and nothing is written.
        if (m_selectedMissionFile.isEmpty()) {
            if (missionReview())
                missionReview()(this, path);
            return;
        }
        path = m_selectedMissionFile;
    }
    m_selectedMissionFile = path;
    txtMissionScript->setText(path);
    if (missionReview()) {
        missionReview()(this, path);
        return;
    }
    const QString review = QStringLiteral("frmMissionDisplay");
    if (bravik::windows().isRegistered(review))
        bravik::windows().show(review);
}

void frmMission::onBuildMission()
{
    const QString chooser = QStringLiteral("frmSelectTemplate");
    if (bravik::windows().isRegistered(chooser))
        bravik::windows().show(chooser);
}

void frmMission::onLaunches()
{
    if (launchesView())
        launchesView()(cursor() ? cursor()->currentKey() : -1);
}
