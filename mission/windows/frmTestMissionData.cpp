#include "frmTestMissionData.h"

#include "SingleLegTemplates.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QLineEdit>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

frmTestMissionData::frmTestMissionData(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmTestMissionData"));
    setWindowTitle(QStringLiteral("Create deck test mission"));
    twips::setClientSize(this, 6240, 2760);

    lblHeading = addLabel(this, QStringLiteral("lblHeading"), QStringLiteral("Enter mission heading (degrees True)"), 240, 360, 4080, 375);
    txtHeading = addTextBox(this, QStringLiteral("txtHeading"), QString(), 4440, 360, 1455, 375);
    lblDuration = addLabel(this, QStringLiteral("lblDuration"), QStringLiteral("Enter mission duration (seconds)"), 240, 840, 4080, 375);
    txtDuration = addTextBox(this, QStringLiteral("txtDuration"), QString(), 4440, 840, 1455, 375);
    lblSpeed = addLabel(this, QStringLiteral("lblSpeed"), QStringLiteral("Enter mission speed (meters/second)"), 240, 1320, 4080, 375);
    txtSpeed = addTextBox(this, QStringLiteral("txtSpeed"), QString(), 4440, 1320, 1455, 375);
    cmdBuildMission = addButton(this, QStringLiteral("cmdBuildMission"), QStringLiteral("Build Mission"), 2160, 2040, 1815, 495);

    setTabOrder(txtHeading, txtDuration);
    setTabOrder(txtDuration, txtSpeed);
    setTabOrder(txtSpeed, cmdBuildMission);
    txtHeading->setFocus();

    connect(cmdBuildMission, &QPushButton::clicked, this, &frmTestMissionData::cmdBuildMission_Click);
}

void frmTestMissionData::cmdBuildMission_Click()
{
    finishBuild(this, buildDeckTest({txtHeading->text(), txtDuration->text(), txtSpeed->text()}),
                QStringLiteral("cdlTestMission"));
}
