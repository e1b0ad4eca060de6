#include "frmMissionDisplay.h"

#include "Controls.h"
#include "LaunchCommands.h"
#include "MissionReview.h"
#include "Seams.h"
#include "Settings.h"
#include "Twips.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace bravik;

frmMissionDisplay::frmMissionDisplay(QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("frmMissionDisplay"));
    setWindowTitle(QStringLiteral("Selected Mission"));

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    lblMissionName = new QLabel(QStringLiteral("Mission file name"), this);
    named(lblMissionName, "lblMissionName");
    txtMissionName = new QLineEdit(this);
    named(txtMissionName, "txtMissionName");
    controls::takeAnyLength(txtMissionName);
    lblMissionName->setBuddy(txtMissionName);

    lblMissionScript = new QLabel(QStringLiteral("Mission Script"), this);
    named(lblMissionScript, "lblMissionScript");
    txtMissionScript = new QPlainTextEdit(this);
    named(txtMissionScript, "txtMissionScript");
    txtMissionScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtMissionScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMissionScript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMissionScript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblMissionScript->setBuddy(txtMissionScript);

    lblChecked = new QLabel(QStringLiteral("Mission script checked by:"), this);
    named(lblChecked, "lblChecked");
    cmbChecked = new QComboBox(this);
    named(cmbChecked, "cmbChecked");
    controls::keepTypedText(cmbChecked);
    cmbChecked->addItems(settings().reviewers);
    cmbChecked->setCurrentIndex(-1);
    cmbChecked->setEditText(QString());
    lblChecked->setBuddy(cmbChecked);

    cmdRunMission = new QPushButton(QStringLiteral("Run Mission"), this);
    named(cmdRunMission, "cmdRunMission");
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    named(cmdCancel, "cmdCancel");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblMissionName);
    layout->addWidget(txtMissionName);
    layout->addWidget(lblMissionScript);
    layout->addWidget(txtMissionScript, 1);
    layout->addWidget(lblChecked);
    layout->addWidget(cmbChecked);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRunMission);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    twips::setClientSize(this, 9600, 7800);

    connect(cmdRunMission, &QPushButton::clicked, this, &frmMissionDisplay::cmdRunMission_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMissionDisplay::cmdCancel_Click);

    load();
}

void frmMissionDisplay::load()
{
    const QString path = launch::chosenMission();
    std::optional<launch::MissionText> text = launch::takePreparedText(path);
    if (!text)
        text = launch::readMissionForReview(path);
    txtMissionName->setText(path);
    if (!text->ok()) {
        // Shown without a readable file (not through "Select Mission"):
        // say why and go away again rather than review nothing.
        inform(nullptr, text->message);
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    txtMissionScript->setPlainText(text->text);
}

void frmMissionDisplay::cmdRunMission_Click()
{
    const QString missionPath = txtMissionName->text();
    const QString refusal = launch::runRefusal(cmbChecked->currentText(), missionPath);
    if (!refusal.isEmpty()) {
        inform(this, refusal);
        return;
    }
    const launch::StartOutcome outcome = launch::startRunCommand(missionPath);
    if (!outcome.started) {
        // The mission never started: no abort window, the review stays.
        inform(this, outcome.message);
        return;
    }
    windows().show(QStringLiteral("frmAbortMission"));
    close();
}

void frmMissionDisplay::cmdCancel_Click()
{
    close();
}
