#pragma once

#include "WindowManager.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The transect template: a survey line at a set heading and speed with the
// depth driven up and down between two depths.
class frmTransectMissionData : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmTransectMissionData(QWidget *parent = nullptr);

    QLabel *lblHeading;
    QLineEdit *txtHeading;
    QLabel *lblDuration;
    QLineEdit *txtDuration;
    QLabel *lblMinDepth;
    QLineEdit *txtMinDepth;
    QLabel *lblMaxDepth;
    QLineEdit *txtMaxDepth;
    QLabel *lblMinAltitude;
    QLineEdit *txtMinAltitude;
    QLabel *lblMaxCycles;
    QLineEdit *txtMaxCycles;
    QLabel *lblSpeed;
    QLineEdit *txtSpeed;
    QPushButton *cmdBuildMission;
    QPushButton *cmdCancel;

public slots:
    void cmdBuildMission_Click();
    void cmdCancel_Click();
};
