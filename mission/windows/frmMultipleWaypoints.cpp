#include "frmMultipleWaypoints.h"

#include "LegWindow.h"
#include "Seams.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

frmMultipleWaypoints::frmMultipleWaypoints(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmMultipleWaypoints"));
    setWindowTitle(QStringLiteral("Create multiple waypoint mission"));
    twips::setClientSize(this, 6480, 4200);

    QHash<QString, QString> design;
    for (const LegCaption &c : WaypointWizard::designCaptions())
        design.insert(c.label, c.text);
    const WaypointEntry start;

    lblNumLegs = addLabel(this, QStringLiteral("lblNumLegs"), QStringLiteral("Enter the number of waypoints"), 240, 240, 3600, 375);
    txtNumLegs = addTextBox(this, QStringLiteral("txtNumLegs"), QString(), 4080, 240, 1215, 375);
    lblLat = addLabel(this, QStringLiteral("lblLat"), design.value(QStringLiteral("lblLat")), 240, 720, 2880, 495);
    txtLatitudeInt = addTextBox(this, QStringLiteral("txtLatitudeInt"), start.latitudeInt, 3240, 720, 735, 375);
    txtLatitudeMinutes = addTextBox(this, QStringLiteral("txtLatitudeMinutes"), start.latitudeMinutes, 4080, 720, 1215, 375);
    cmbNS = addComboBox(this, QStringLiteral("cmbNS"), {QStringLiteral("N"), QStringLiteral("S")}, start.ns,
                        5400, 720, 855, 375);
    lblLong = addLabel(this, QStringLiteral("lblLong"), design.value(QStringLiteral("lblLong")), 240, 1320, 2880, 495);
    txtLongitudeInt = addTextBox(this, QStringLiteral("txtLongitudeInt"), start.longitudeInt, 3240, 1320, 735, 375);
    txtLongitudeMinutes = addTextBox(this, QStringLiteral("txtLongitudeMinutes"), start.longitudeMinutes, 4080, 1320, 1215, 375);
    cmbEW = addComboBox(this, QStringLiteral("cmbEW"), {QStringLiteral("W"), QStringLiteral("E")}, start.ew,
                        5400, 1320, 855, 375);
    lblDuration = addLabel(this, QStringLiteral("lblDuration"), design.value(QStringLiteral("lblDuration")), 240, 1920, 3720, 375);
    txtDuration = addTextBox(this, QStringLiteral("txtDuration"), QString(), 4080, 1920, 2175, 375);
    lblDepth = addLabel(this, QStringLiteral("lblDepth"), design.value(QStringLiteral("lblDepth")), 240, 2400, 3720, 375);
    txtDepth = addTextBox(this, QStringLiteral("txtDepth"), QString(), 4080, 2400, 2175, 375);
    lblSpeed = addLabel(this, QStringLiteral("lblSpeed"), design.value(QStringLiteral("lblSpeed")), 240, 2880, 3720, 375);
    txtSpeed = addTextBox(this, QStringLiteral("txtSpeed"), QString(), 4080, 2880, 2175, 375);
    cmdCancel = addButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 240, 3480, 1815, 495);
    cmdContinue = addButton(this, QStringLiteral("cmdContinue"), QStringLiteral("Next Waypoint"), 4440, 3480, 1815, 495);

    QWidget *order[] = {txtNumLegs, txtLatitudeInt, txtLatitudeMinutes, cmbNS, txtLongitudeInt, txtLongitudeMinutes,
                        cmbEW, txtDuration, txtDepth, txtSpeed, cmdContinue, cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Load: only the count box takes input; the labels keep their captions.
    for (QWidget *w : entryControls())
        w->setVisible(false);
    txtNumLegs->setFocus();

    connect(txtNumLegs, &QLineEdit::textChanged, this, &frmMultipleWaypoints::txtNumLegs_Change);
    connect(cmdContinue, &QPushButton::clicked, this, &frmMultipleWaypoints::cmdContinue_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMultipleWaypoints::cmdCancel_Click);
}

QList<QWidget *> frmMultipleWaypoints::entryControls() const
{
    return {txtLatitudeInt, txtLatitudeMinutes, cmbNS, txtLongitudeInt, txtLongitudeMinutes, cmbEW,
            txtDuration, txtDepth, txtSpeed, cmdContinue};
}

// Runs on every change of the count text.  An accepted count starts entry
// again at waypoint 1; the captions keep their number until the next
// "Next Waypoint".
void frmMultipleWaypoints::txtNumLegs_Change()
{
    const CountReaction r = m_wizard.countChanged(txtNumLegs->text());
    if (!r.message.isEmpty())
        inform(this, r.message);
    if (!r.accepted)
        return;
    for (QWidget *w : entryControls())
        w->setVisible(true);
}

void frmMultipleWaypoints::cmdContinue_Click()
{
    WaypointEntry e;
    e.latitudeInt = txtLatitudeInt->text();
    e.latitudeMinutes = txtLatitudeMinutes->text();
    e.ns = cmbNS->currentText();
    e.longitudeInt = txtLongitudeInt->text();
    e.longitudeMinutes = txtLongitudeMinutes->text();
    e.ew = cmbEW->currentText();
    e.duration = txtDuration->text();
    e.depth = txtDepth->text();
    e.speed = txtSpeed->text();

    const NextReaction r = m_wizard.next(e);
    // The hemisphere boxes keep their text for the next waypoint.
    followNext(this, r, m_wizard,
               {txtLatitudeInt, txtLatitudeMinutes, txtLongitudeInt, txtLongitudeMinutes, txtDepth, txtDuration, txtSpeed},
               txtLatitudeInt, QStringLiteral("cdlWaypointMission"), cmdContinue->text());
}

void frmMultipleWaypoints::cmdCancel_Click()
{
    close();
}
