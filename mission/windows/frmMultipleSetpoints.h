#pragma once

#include "MultiLegTemplates.h"
#include "WindowManager.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The multiple setpoint wizard: the number of legs first, then one leg at
// a time with "Next Setpoint"; after the last leg the script is saved.
class frmMultipleSetpoints : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmMultipleSetpoints(QWidget *parent = nullptr);

    const bravik::mission::SetpointWizard &wizard() const { return m_wizard; }

    QLabel *lblNumLegs;
    QLineEdit *txtNumLegs;
    QLabel *lblHeading;
    QLineEdit *txtHeading;
    QLabel *lblDuration;
    QLineEdit *txtDuration;
    QLabel *lblDepth;
    QLineEdit *txtDepth;
    QLabel *lblSpeed;
    QLineEdit *txtSpeed;
    QPushButton *cmdContinue;
    QPushButton *cmdCancel;

public slots:
    void txtNumLegs_Change();
    void cmdContinue_Click();
    void cmdCancel_Click();

private:
    void showEntry(bool shown);
    bravik::mission::SetpointWizard m_wizard;
};
