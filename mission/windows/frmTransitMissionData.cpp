#include "frmTransitMissionData.h"

#include "SingleLegTemplates.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QLineEdit>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

frmTransitMissionData::frmTransitMissionData(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmTransitMissionData"));
    setWindowTitle(QStringLiteral("Create transit mission"));
    twips::setClientSize(this, 6240, 3240);

    lblHeading = addLabel(this, QStringLiteral("lblHeading"), QStringLiteral("Enter mission heading (degrees True)"), 240, 360, 4080, 375);
    txtHeading = addTextBox(this, QStringLiteral("txtHeading"), QString(), 4440, 360, 1455, 375);
    lblDuration = addLabel(this, QStringLiteral("lblDuration"), QStringLiteral("Enter mission duration (seconds)"), 240, 840, 4080, 375);
    txtDuration = addTextBox(this, QStringLiteral("txtDuration"), QString(), 4440, 840, 1455, 375);
    lblDepth = addLabel(this, QStringLiteral("lblDepth"), QStringLiteral("Enter mission depth (meters)"), 240, 1320, 4080, 375);
    txtDepth = addTextBox(this, QStringLiteral("txtDepth"), QString(), 4440, 1320, 1455, 375);
    lblSpeed = addLabel(this, QStringLiteral("lblSpeed"), QStringLiteral("Enter mission speed (meters/second)"), 240, 1800, 4080, 375);
    txtSpeed = addTextBox(this, QStringLiteral("txtSpeed"), QString(), 4440, 1800, 1455, 375);
    cmdBuildMission = addButton(this, QStringLiteral("cmdBuildMission"), QStringLiteral("Build Mission"), 960, 2520, 1815, 495);
    cmdCancel = addButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 3480, 2520, 1815, 495);

    setTabOrder(txtHeading, txtDuration);
    setTabOrder(txtDuration, txtDepth);
    setTabOrder(txtDepth, txtSpeed);
    setTabOrder(txtSpeed, cmdBuildMission);
    setTabOrder(cmdBuildMission, cmdCancel);
    txtHeading->setFocus();

    connect(cmdBuildMission, &QPushButton::clicked, this, &frmTransitMissionData::cmdBuildMission_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmTransitMissionData::cmdCancel_Click);
}

void frmTransitMissionData::cmdBuildMission_Click()
{
    finishBuild(this,
                buildTransit({txtHeading->text(), txtDuration->text(), txtDepth->text(), txtSpeed->text()}),
                QStringLiteral("cdlTransitMission"));
}

void frmTransitMissionData::cmdCancel_Click()
{
    close();
}
