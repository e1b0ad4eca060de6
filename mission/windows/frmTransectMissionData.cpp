#include "frmTransectMissionData.h"

#include "MultiLegTemplates.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QLineEdit>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

frmTransectMissionData::frmTransectMissionData(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmTransectMissionData"));
    setWindowTitle(QStringLiteral("Create transect mission"));
    twips::setClientSize(this, 6240, 4440);

    struct Row
    {
        QLabel **label;
        const char *labelName;
        const char *caption;
        QLineEdit **box;
        const char *boxName;
    };
    const Row rows[] = {
        {&lblHeading, "lblHeading", "Enter mission heading (degrees True)", &txtHeading, "txtHeading"},
        {&lblDuration, "lblDuration", "Enter mission duration (seconds)", &txtDuration, "txtDuration"},
        {&lblMinDepth, "lblMinDepth", "Enter minimum depth (meters)", &txtMinDepth, "txtMinDepth"},
        {&lblMaxDepth, "lblMaxDepth", "Enter maximum depth (meters)", &txtMaxDepth, "txtMaxDepth"},
        {&lblMinAltitude, "lblMinAltitude", "Enter minimum altitude (meters)", &txtMinAltitude, "txtMinAltitude"},
        {&lblMaxCycles, "lblMaxCycles", "Enter the maximum number of cycles:", &txtMaxCycles, "txtMaxCycles"},
        {&lblSpeed, "lblSpeed", "Enter mission speed (meters/second)", &txtSpeed, "txtSpeed"},
    };
    int top = 240;
    for (const Row &r : rows) {
        *r.label = addLabel(this, QString::fromLatin1(r.labelName), QString::fromLatin1(r.caption), 240, top, 4080, 375);
        *r.box = addTextBox(this, QString::fromLatin1(r.boxName), QString(), 4440, top, 1455, 375);
        top += 480;
    }
    cmdBuildMission = addButton(this, QStringLiteral("cmdBuildMission"), QStringLiteral("Build Mission"), 960, top + 120, 1815, 495);
    cmdCancel = addButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 3480, top + 120, 1815, 495);

    QWidget *order[] = {txtHeading, txtDuration, txtMinDepth, txtMaxDepth, txtMinAltitude, txtMaxCycles, txtSpeed,
                        cmdBuildMission, cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    txtHeading->setFocus();

    connect(cmdBuildMission, &QPushButton::clicked, this, &frmTransectMissionData::cmdBuildMission_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmTransectMissionData::cmdCancel_Click);
}

void frmTransectMissionData::cmdBuildMission_Click()
{
    TransectInputs in;
    in.heading = txtHeading->text();
    in.duration = txtDuration->text();
    in.minDepth = txtMinDepth->text();
    in.maxDepth = txtMaxDepth->text();
    in.minAltitude = txtMinAltitude->text();
    in.maxCycles = txtMaxCycles->text();
    in.speed = txtSpeed->text();
    finishBuild(this, buildTransect(in), QStringLiteral("cdlTransitMission"));
}

void frmTransectMissionData::cmdCancel_Click()
{
    close();
}
