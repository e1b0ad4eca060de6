#pragma once

#include "MultiLegTemplates.h"
#include "WindowManager.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The multiple waypoint wizard: the number of waypoints, then one waypoint
// at a time with "Next Waypoint"; after the last one the script is saved.
// The count box stays open: a new count starts entry again at waypoint 1.
class frmMultipleWaypoints : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmMultipleWaypoints(QWidget *parent = nullptr);

    const bravik::mission::WaypointWizard &wizard() const { return m_wizard; }

    QLabel *lblNumLegs;
    QLineEdit *txtNumLegs;
    QLabel *lblLat;
    QLineEdit *txtLatitudeInt;
    QLineEdit *txtLatitudeMinutes;
    QComboBox *cmbNS;
    QLabel *lblLong;
    QLineEdit *txtLongitudeInt;
    QLineEdit *txtLongitudeMinutes;
    QComboBox *cmbEW;
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
    QList<QWidget *> entryControls() const;
    bravik::mission::WaypointWizard m_wizard;
};
