#include "frmAbortMission.h"

#include "LaunchCommands.h"
#include "Seams.h"
#include "Twips.h"

#include <QPalette>
#include <QPushButton>

using namespace bravik;

frmAbortMission::frmAbortMission(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmAbortMission"));
    setWindowTitle(QStringLiteral("Slay supervisor"));

    QPalette red = palette();
    red.setColor(QPalette::Window, QColor(0xFF, 0x00, 0x00));
    setPalette(red);
    setAutoFillBackground(true);

    cmdAbortMission = new QPushButton(QStringLiteral("Abort Mission"), this);
    cmdAbortMission->setObjectName(QStringLiteral("cmdAbortMission"));
    QFont font = cmdAbortMission->font();
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      font.family()});
    font.setPointSize(12);
    font.setBold(true);
    cmdAbortMission->setFont(font);

    twips::setClientSize(this, 3900, 1800);
    twips::place(cmdAbortMission, 600, 420, 2700, 960);

    connect(cmdAbortMission, &QPushButton::clicked, this, &frmAbortMission::cmdAbortMission_Click);
}

void frmAbortMission::cmdAbortMission_Click()
{
    const launch::StartOutcome outcome = launch::startStopCommand();
    if (!outcome.started) {
        // Stays open so the abort can be tried again at once.
        inform(this, outcome.message);
        return;
    }
    close();
}
