#include "frmSelectTemplate.h"

#include "Seams.h"
#include "TemplateWindow.h"
#include "Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace bravik;
using namespace bravik::mission;

const QList<QPair<QString, QString>> &frmSelectTemplate::templateWindows()
{
    static const QList<QPair<QString, QString>> list = {
        {QStringLiteral("Transit"), QStringLiteral("frmTransitMissionData")},
        {QStringLiteral("Multiple Setpoints"), QStringLiteral("frmMultipleSetpoints")},
        {QStringLiteral("Waypoint"), QStringLiteral("frmWaypointMissionData")},
        {QStringLiteral("Multiple Waypoints"), QStringLiteral("frmMultipleWaypoints")},
        {QStringLiteral("Deck Test Mission"), QStringLiteral("frmTestMissionData")},
        {QStringLiteral("Transect"), QStringLiteral("frmTransectMissionData")},
    };
    return list;
}

frmSelectTemplate::frmSelectTemplate(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmSelectTemplate"));
    setWindowTitle(QStringLiteral(" Stock Mission Templates"));
    twips::setClientSize(this, 4680, 2280);

    QStringList names;
    for (const auto &entry : templateWindows())
        names << entry.first;

    Label1 = addLabel(this, QStringLiteral("Label1"), QStringLiteral("Select Mission Template"), 360, 240, 3960, 375);
    cmbMissionType = addComboBox(this, QStringLiteral("cmbMissionType"), names, QString(), 360, 720, 3960, 375);
    cmdEnterMissionData = addButton(this, QStringLiteral("cmdEnterMissionData"),
                                    QStringLiteral("Enter Mission Parameters"), 1080, 1440, 2520, 495);
    setTabOrder(cmbMissionType, cmdEnterMissionData);
    cmbMissionType->setFocus();

    connect(cmdEnterMissionData, &QPushButton::clicked, this, &frmSelectTemplate::cmdEnterMissionData_Click);
}

void frmSelectTemplate::cmdEnterMissionData_Click()
{
    // The comparison is exact: "transit" or "Transit " is no template.
    const QString chosen = cmbMissionType->currentText();
    QString target;
    for (const auto &entry : templateWindows())
        if (entry.first == chosen)
            target = entry.second;

    if (target.isEmpty())
        inform(this, QStringLiteral("Unknown mission type selected."));
    else if (windows().isRegistered(target))
        windows().show(target);
    else
        inform(this, QStringLiteral("The %1 template is not available in this program.").arg(chosen));
    close();
}
