#pragma once

#include "MissionCheck.h"
#include "WindowManager.h"

#include <QByteArray>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace bravik::launch {
class DepthProfileView;
class TrackView;
}

// The review window: shows the chosen mission file, insists on a reviewer
// and starts the mission.  It reads its file once, when it loads, and shows
// beside it what the checks make of it: a summary, the findings and two
// pictures (depth against time, the track).
class frmMissionDisplay : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmMissionDisplay(QWidget *parent = nullptr);

    QLabel *lblMissionName = nullptr;
    QLineEdit *txtMissionName = nullptr;
    QLabel *lblMissionScript = nullptr;
    QPlainTextEdit *txtMissionScript = nullptr;
    QLabel *lblChecked = nullptr;
    QComboBox *cmbChecked = nullptr;
    QPushButton *cmdRunMission = nullptr;
    QPushButton *cmdCancel = nullptr;

    QLabel *lblEditsNotice = nullptr;   // under the script box, once it was edited
    QLabel *lblPrediveCheck = nullptr;  // while "Run Mission" waits for the predive checklist
    QLabel *lblLaunchRecord = nullptr;  // while "Run Mission" waits for the launch record
    QLabel *lblSummary = nullptr;
    QTreeWidget *lstFindings = nullptr; // severity, line, text
    bravik::launch::DepthProfileView *picDepthProfile = nullptr;
    bravik::launch::TrackView *picTrack = nullptr;

    const bravik::mission::MissionCheck &check() const { return m_check; }
    // The run command of a press of "Run Mission" was tried: the button
    // works again.
    void runTried();
    QString reviewedSha256() const { return m_sha256; }

private:
    void load();
    void showCheck();
    void cmdRunMission_Click();
    void cmdCancel_Click();
    void askForPredive(const QString &missionPath, const QString &reviewer);
    void startReviewedRun(const QString &missionPath, const QString &reviewer);

    QString m_reviewedPath;
    QByteArray m_reviewedBytes;
    QString m_reviewedText;
    QString m_sha256;
    QString m_reviewedAt;
    QString m_shownText;
    bravik::mission::MissionCheck m_check;
    qint64 m_missionKey = -1;
    QString m_position;
    int m_predivePending = 0;   // the pending predive check's number; 0 when none
    int m_prediveAsked = 0;
    bool m_launchPending = false; // a press of "Run Mission" waits for its launch record
};
