#include "frmMultipleSetpoints.h"

#include "LegWindow.h"
#include "Seams.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

frmMultipleSetpoints::frmMultipleSetpoints(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmMultipleSetpoints"));
    setWindowTitle(QStringLiteral("Create multiple setpoint mission"));
    twips::setClientSize(this, 6240, 3480);

    QHash<QString, QString> design;
    for (const LegCaption &c : SetpointWizard::designCaptions())
        design.insert(c.label, c.text);

    lblNumLegs = addLabel(this, QStringLiteral("lblNumLegs"), QStringLiteral("Enter the number of setpoint legs"), 240, 240, 3960, 375);
    txtNumLegs = addTextBox(this, QStringLiteral("txtNumLegs"), QString(), 4440, 240, 1455, 375);
    lblHeading = addLabel(this, QStringLiteral("lblHeading"), design.value(QStringLiteral("lblHeading")), 240, 720, 3960, 375);
    txtHeading = addTextBox(this, QStringLiteral("txtHeading"), QString(), 4440, 720, 1455, 375);
    lblDuration = addLabel(this, QStringLiteral("lblDuration"), design.value(QStringLiteral("lblDuration")), 240, 1200, 3960, 375);
    txtDuration = addTextBox(this, QStringLiteral("txtDuration"), QString(), 4440, 1200, 1455, 375);
    lblDepth = addLabel(this, QStringLiteral("lblDepth"), design.value(QStringLiteral("lblDepth")), 240, 1680, 3960, 375);
    txtDepth = addTextBox(this, QStringLiteral("txtDepth"), QString(), 4440, 1680, 1455, 375);
    lblSpeed = addLabel(this, QStringLiteral("lblSpeed"), design.value(QStringLiteral("lblSpeed")), 240, 2160, 3960, 375);
    txtSpeed = addTextBox(this, QStringLiteral("txtSpeed"), QString(), 4440, 2160, 1455, 375);
    cmdCancel = addButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 240, 2760, 1815, 495);
    cmdContinue = addButton(this, QStringLiteral("cmdContinue"), QStringLiteral("Next Setpoint"), 4080, 2760, 1815, 495);

    QWidget *order[] = {txtNumLegs, txtHeading, txtDuration, txtDepth, txtSpeed, cmdContinue, cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Load: only the count box takes input; the labels keep their captions.
    showEntry(false);
    txtNumLegs->setFocus();

    connect(txtNumLegs, &QLineEdit::textChanged, this, &frmMultipleSetpoints::txtNumLegs_Change);
    connect(cmdContinue, &QPushButton::clicked, this, &frmMultipleSetpoints::cmdContinue_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMultipleSetpoints::cmdCancel_Click);
}

void frmMultipleSetpoints::showEntry(bool shown)
{
    for (QWidget *w : {static_cast<QWidget *>(txtHeading), static_cast<QWidget *>(txtDuration),
                       static_cast<QWidget *>(txtDepth), static_cast<QWidget *>(txtSpeed),
                       static_cast<QWidget *>(cmdContinue)})
        w->setVisible(shown);
}

// Runs on every change of the count text, so the first keystroke already
// fixes the count and locks the box.
void frmMultipleSetpoints::txtNumLegs_Change()
{
    const CountReaction r = m_wizard.countChanged(txtNumLegs->text());
    if (!r.message.isEmpty())
        inform(this, r.message);
    if (!r.accepted)
        return;
    txtNumLegs->setEnabled(!r.locked);
    showEntry(true);
    txtHeading->setFocus();
}

void frmMultipleSetpoints::cmdContinue_Click()
{
    const NextReaction r = m_wizard.next({txtHeading->text(), txtDuration->text(), txtDepth->text(), txtSpeed->text()});
    followNext(this, r, m_wizard, {txtHeading, txtDuration, txtDepth, txtSpeed}, txtHeading,
               QStringLiteral("cdlSetpointsMission"), cmdContinue->text());
}

void frmMultipleSetpoints::cmdCancel_Click()
{
    close();
}
