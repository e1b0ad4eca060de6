#pragma once

// The three record windows used around a dive: the predive checklist, the
// weather observation log and the mission log.

#include "RecordWindow.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace bravik {
class GpsLink;
}

class frmPredive : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmPredive(QWidget *parent = nullptr);

    QLineEdit *txtTime, *txtSubmittedBy, *txtCruise, *txtShip;
    QComboBox *cmbVehicleConfiguration;
    QCheckBox *chkUSBLOn, *checkEmOn;
    QLineEdit *txtMainVac, *txtBat1V, *txtBat2V, *txtBat3V, *USBLBatV;
    QComboBox *cmbUSBLTXRX, *cmbRDFFreq;
    QLineEdit *txtTailconeComp;
    QCheckBox *chkTimeSync, *chkConfig, *chkMissionScripts, *chkThruster, *chkElevator, *chkRudder,
        *chkAHRS, *chkGPS, *chkPressureSensor, *chkDVL;
    QComboBox *cmbLaunchCoordinator, *cmbOperator, *cmbPayload;
    QCheckBox *chkPayload;
};

class frmWeatherObservation : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmWeatherObservation(QWidget *parent = nullptr);

    QComboBox *cmbNS, *cmbEW;
    QLineEdit *txtWindSpeed, *txtWindDirection, *txtSwellHeight, *txtSwellPeriod, *txtSwellDirection;
    QPlainTextEdit *txtNotes;
    QLineEdit *txtTime;
    QPushButton *cmdGetFix;
    QComboBox *cmbSkyDescription;
    QLineEdit *txtSubmittedBy, *txtLatitudeInt, *txtLatitudeMinutes, *txtLongitudeInt, *txtLongitudeMinutes;
    QLineEdit *txtLatitude, *txtLongitude;   // hidden
    QLabel *lblGpsStatus;   // the GPS feed's state, beside "Get GPS Data"
    bravik::GpsLink *gps() const { return m_gps; }

public Q_SLOTS:
    // "Get GPS Data": the GPS feed fills the six position boxes here.
    virtual void onGetFix();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bravik::GpsLink *m_gps;
};

class frmMission : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmMission(QWidget *parent = nullptr);

    // The mission file chosen last with "Select Mission"; empty until then.
    QString selectedMissionFile() const { return m_selectedMissionFile; }

    // Opens the review of a chosen mission file, refusing (with a message) a
    // file that cannot be shown.  The mission run library installs it; this
    // library does not depend on that one.  Without it "Select Mission"
    // shows the review window by name.
    using MissionReview = std::function<bool(QWidget *parent, const QString &path)>;
    static void setMissionReview(MissionReview review);
    // "Launches" shows the launch records of a row (its key; -1 for a row
    // not stored yet) through this, installed by the launch console.
    using LaunchesView = std::function<void(qint64 missionKey)>;
    static void setLaunchesView(LaunchesView view);

    QLineEdit *txtTime, *txtSubmittedBy, *txtLatitudeInt, *txtLatitudeMinutes;
    QComboBox *cmbNS;
    QLineEdit *txtLongitudeInt, *txtLongitudeMinutes;
    QComboBox *cmbEW;
    QLineEdit *txtDataDirectory;
    QComboBox *cmbMissionType;
    QLineEdit *txtMissionScript, *txtETA, *txtMaxDepth, *txtWaterDepth;
    QPlainTextEdit *Text1;
    QCheckBox *chkSuccess;
    QComboBox *cmbFailureMode;
    QPushButton *cmdGetFix, *cmdRunMission, *cmdBuildMission;
    QPushButton *cmdLaunches;   // "Launches": the launch records of this row
    QLineEdit *txtLatitude, *txtLongitude;   // hidden
    QLabel *lblGpsStatus;   // the GPS feed's state, beside "Get GPS Data"
    bravik::GpsLink *gps() const { return m_gps; }

public Q_SLOTS:
    // "Get GPS Data": the GPS feed fills the six position boxes here.
    virtual void onGetFix();
    // "Select Mission": asks for a mission file, writes its path into the
    // row and opens the review window.
    virtual void onSelectMission();
    // "Create Mission Plan": opens the template chooser.
    virtual void onBuildMission();
    // "Launches": lists the launch records of the current row.
    virtual void onLaunches();

protected:
    void closeEvent(QCloseEvent *event) override;

    QString m_selectedMissionFile;

private:
    bravik::GpsLink *m_gps;
};
