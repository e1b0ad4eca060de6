#include "frmAbortMission.h"

#include "LaunchCommands.h"
#include "LaunchSession.h"
#include "Seams.h"
#include "Twips.h"

#include <QLabel>
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

    lblRunStatus = new QLabel(this);
    lblRunStatus->setObjectName(QStringLiteral("lblRunStatus"));
    lblRunStatus->setAlignment(Qt::AlignCenter);
    QFont status = lblRunStatus->font();
    status.setBold(true);
    lblRunStatus->setFont(status);
    QPalette white = lblRunStatus->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblRunStatus->setPalette(white);
    launch::LaunchSession &session = launch::LaunchSession::instance();
    auto showLine = [this](const QString &line) {
        lblRunStatus->setText(line);
        lblRunStatus->setToolTip(line);
    };
    showLine(session.runLine());
    connect(&session, &launch::LaunchSession::runLineChanged, this, showLine);

    twips::setClientSize(this, 5400, 2100);
    twips::place(cmdAbortMission, 1350, 300, 2700, 960);
    twips::place(lblRunStatus, 120, 1440, 5160, 480);

    connect(cmdAbortMission, &QPushButton::clicked, this, &frmAbortMission::cmdAbortMission_Click);
}

void frmAbortMission::cmdAbortMission_Click()
{
    // The stop command starts first; the record is written afterwards,
    // queued behind whatever the launch still has on its way (its insert
    // may not have answered yet), so nothing about the logbook can delay or
    // prevent the abort.
    launch::LaunchSession &session = launch::LaunchSession::instance();
    const QString id = session.latestId();
    const bool recorded = session.hasRecord(id);
    const QString statusFile = recorded ? session.statusFileFor(id, QStringLiteral("abort")) : QString();
    const launch::StartOutcome outcome = launch::startStopCommand(statusFile);

    if (recorded) {
        QVariantMap abort;
        abort.insert(QStringLiteral("AbortedAtUtc"), launch::utcNow());
        abort.insert(QStringLiteral("AbortCommand"), outcome.command);
        abort.insert(QStringLiteral("AbortResult"), outcome.started ? QStringLiteral("started") : outcome.reason);
        if (outcome.recording)
            abort.insert(QStringLiteral("AbortStatusFile"), statusFile);
        // The answer comes later, told on its own.
        const bool started = outcome.started;
        session.update(id, abort, [started](bool ok, const QString &error) {
            if (ok)
                return;
            const QString text = QStringLiteral("The abort could not be written to the launch record: %1").arg(error);
            launch::LaunchSession::instance().tell(started ? QStringLiteral("The stop command was started.\n\n") + text
                                                            : text);
        });
        if (outcome.recording)
            session.watch(id, statusFile, true);
    }
    if (!outcome.started) {
        // Stays open so the abort can be tried again at once.
        inform(this, outcome.message);
        return;
    }
    close();
}
