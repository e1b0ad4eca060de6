#pragma once

#include "WindowManager.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The review window: shows the chosen mission file, insists on a reviewer
// and starts the mission.  It reads its file once, when it loads.
class frmMissionDisplay : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmMissionDisplay(QWidget *parent = nullptr);

    QLabel *lblMissionName = nullptr;
    QLineEdit *txtMissionName = nullptr;
    QLabel *lblMissionScript = nullptr;
    QPlainTextEdit *txtMissionScript = nullptr;
    QLabel *lblChecked = nullptr;
    QComboBox *cmbChecked = nullptr;
    QPushButton *cmdRunMission = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void load();
    void cmdRunMission_Click();
    void cmdCancel_Click();
};
