#pragma once

#include "WindowManager.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The deck test template: a run at the surface, for tests on deck.  It has
// no Cancel button; its close box discards it.
class frmTestMissionData : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmTestMissionData(QWidget *parent = nullptr);

    QLabel *lblHeading;
    QLineEdit *txtHeading;
    QLabel *lblDuration;
    QLineEdit *txtDuration;
    QLabel *lblSpeed;
    QLineEdit *txtSpeed;
    QPushButton *cmdBuildMission;

public slots:
    void cmdBuildMission_Click();
};
