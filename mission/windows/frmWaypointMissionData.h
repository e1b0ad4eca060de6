#pragma once

#include "WindowManager.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The waypoint template: a run to one position at a set depth and speed.
class frmWaypointMissionData : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmWaypointMissionData(QWidget *parent = nullptr);

    QLabel *lblLatitude;
    QLineEdit *txtLatitudeInt;
    QLineEdit *txtLatitudeMinutes;
    QComboBox *cmbNS;
    QLabel *lblLongitude;
    QLineEdit *txtLongitudeInt;
    QLineEdit *txtLongitudeMinutes;
    QComboBox *cmbEW;
    QLabel *lblDuration;
    QLineEdit *txtDuration;
    QLabel *lblDepth;
    QLineEdit *txtDepth;
    QLabel *lblSpeed;
    QLineEdit *txtSpeed;
    QPushButton *cmdBuildMission;
    QPushButton *cmdCancel;

public slots:
    void cmdBuildMission_Click();
    void cmdCancel_Click();
};
