#pragma once

#include "WindowManager.h"

class QPushButton;

// The red window with the one button that stops the vehicle's mission
// supervisor.  It exists from "Run Mission" until it is pressed or closed.
class frmAbortMission : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmAbortMission(QWidget *parent = nullptr);

    QPushButton *cmdAbortMission = nullptr;

private:
    void cmdAbortMission_Click();
};
