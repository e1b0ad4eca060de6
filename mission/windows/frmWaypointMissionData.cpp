#include "frmWaypointMissionData.h"

#include "SingleLegTemplates.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

frmWaypointMissionData::frmWaypointMissionData(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmWaypointMissionData"));
    setWindowTitle(QStringLiteral("Create waypoint mission"));
    twips::setClientSize(this, 6600, 3720);

    const WaypointInputs start;
    lblLatitude = addLabel(this, QStringLiteral("lblLatitude"), QStringLiteral("Enter waypoint latitude"), 240, 360, 2760, 375);
    txtLatitudeInt = addTextBox(this, QStringLiteral("txtLatitudeInt"), start.latitudeInt, 3120, 360, 735, 375);
    txtLatitudeMinutes = addTextBox(this, QStringLiteral("txtLatitudeMinutes"), start.latitudeMinutes, 3960, 360, 1215, 375);
    cmbNS = addComboBox(this, QStringLiteral("cmbNS"), {QStringLiteral("N"), QStringLiteral("S")}, start.ns,
                        5280, 360, 855, 375);
    lblLongitude = addLabel(this, QStringLiteral("lblLongitude"), QStringLiteral("Enter waypoint longitude"), 240, 840, 2760, 375);
    txtLongitudeInt = addTextBox(this, QStringLiteral("txtLongitudeInt"), start.longitudeInt, 3120, 840, 735, 375);
    txtLongitudeMinutes = addTextBox(this, QStringLiteral("txtLongitudeMinutes"), start.longitudeMinutes, 3960, 840, 1215, 375);
    cmbEW = addComboBox(this, QStringLiteral("cmbEW"), {QStringLiteral("W"), QStringLiteral("E")}, start.ew,
                        5280, 840, 855, 375);
    lblDuration = addLabel(this, QStringLiteral("lblDuration"), QStringLiteral("Enter mission duration (seconds)"), 240, 1320, 3960, 375);
    txtDuration = addTextBox(this, QStringLiteral("txtDuration"), QString(), 4320, 1320, 1815, 375);
    lblDepth = addLabel(this, QStringLiteral("lblDepth"), QStringLiteral("Enter mission depth (meters)"), 240, 1800, 3960, 375);
    txtDepth = addTextBox(this, QStringLiteral("txtDepth"), QString(), 4320, 1800, 1815, 375);
    lblSpeed = addLabel(this, QStringLiteral("lblSpeed"), QStringLiteral("Enter mission speed (meters/second)"), 240, 2280, 3960, 375);
    txtSpeed = addTextBox(this, QStringLiteral("txtSpeed"), QString(), 4320, 2280, 1815, 375);
    cmdBuildMission = addButton(this, QStringLiteral("cmdBuildMission"), QStringLiteral("Build Mission"), 1200, 3000, 1815, 495);
    cmdCancel = addButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 3600, 3000, 1815, 495);

    QWidget *order[] = {txtLatitudeInt, txtLatitudeMinutes, cmbNS, txtLongitudeInt, txtLongitudeMinutes,
                        cmbEW, txtDuration, txtDepth, txtSpeed, cmdBuildMission, cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    txtLatitudeInt->setFocus();

    connect(cmdBuildMission, &QPushButton::clicked, this, &frmWaypointMissionData::cmdBuildMission_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmWaypointMissionData::cmdCancel_Click);
}

void frmWaypointMissionData::cmdBuildMission_Click()
{
    WaypointInputs in;
    in.latitudeInt = txtLatitudeInt->text();
    in.latitudeMinutes = txtLatitudeMinutes->text();
    in.ns = cmbNS->currentText();
    in.longitudeInt = txtLongitudeInt->text();
    in.longitudeMinutes = txtLongitudeMinutes->text();
    in.ew = cmbEW->currentText();
    in.duration = txtDuration->text();
    in.depth = txtDepth->text();
    in.speed = txtSpeed->text();
    finishBuild(this, buildWaypoint(in), QStringLiteral("cdlWaypointMission"));
}

void frmWaypointMissionData::cmdCancel_Click()
{
    close();
}
