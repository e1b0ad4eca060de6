#pragma once

#include "WindowManager.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The transit template: one straight run at a set heading, depth, speed.
class frmTransitMissionData : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmTransitMissionData(QWidget *parent = nullptr);

    QLabel *lblHeading;
    QLineEdit *txtHeading;
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
