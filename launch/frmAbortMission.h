#pragma once

#include "WindowManager.h"

class QLabel;
class QPushButton;

// The red window with the one button that stops the vehicle's mission
// supervisor.  It exists from "Run Mission" until it is pressed or closed.
// Under the button one line says what the run command is doing.
class frmAbortMission : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmAbortMission(QWidget *parent = nullptr);

    QPushButton *cmdAbortMission = nullptr;
    QLabel *lblRunStatus = nullptr;

private:
    void cmdAbortMission_Click();
};
