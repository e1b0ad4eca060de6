#pragma once

#include "MissionCheck.h"
#include "ScriptEditor.h"
#include "WindowManager.h"

#include <QByteArray>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QModelIndex;
class QTreeView;

namespace bravik::logbook {
class LogbookClient;
}

namespace bravik::launch {
class DepthProfileView;
class ReviewFindingsModel;
}
namespace bravik::chart {
class ChartView;
}

// The review window: shows the chosen mission file, insists on a reviewer
// and starts the mission.  It reads its file once, when it loads, and shows
// beside it what the checks make of it: a summary, the findings (errors
// first; a click shows the line), depth against time and the track on a
// chart.  When the same file name was run before, the lines changed since
// are marked.
class frmMissionDisplay : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmMissionDisplay(QWidget *parent = nullptr);
    ~frmMissionDisplay() override;

    QLabel *lblMissionName = nullptr;
    QLineEdit *txtMissionName = nullptr;
    QLabel *lblMissionScript = nullptr;
    bravik::launch::ScriptEditor *txtMissionScript = nullptr;
    QLabel *lblChecked = nullptr;
    QComboBox *cmbChecked = nullptr;
    QPushButton *cmdRunMission = nullptr;
    QPushButton *cmdCancel = nullptr;

    QLabel *lblEditsNotice = nullptr;   // under the script box, once it was edited
    QLabel *lblPrediveCheck = nullptr;  // while "Run Mission" waits for the predive checklist
    QLabel *lblLaunchRecord = nullptr;  // while "Run Mission" waits for the launch record
    QLabel *lblChanges = nullptr;       // what changed since the last run of this file name
    QPlainTextEdit *txtChanges = nullptr;
    QLabel *lblSummary = nullptr;
    QTreeView *lstFindings = nullptr; // a ReviewFindingsModel: severity, line, text; errors first
    bravik::launch::DepthProfileView *picDepthProfile = nullptr;
    bravik::chart::ChartView *picTrack = nullptr;

    const bravik::mission::MissionCheck &check() const { return m_check; }
    // The run command of a press of "Run Mission" was tried: the button
    // works again.
    void runTried();
    QString reviewedSha256() const { return m_sha256; }

private:
    void load();
    void showCheck();
    void showFinding(const QModelIndex &index);
    void askForEarlierReview();
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
    bravik::launch::ReviewFindingsModel *m_findings = nullptr;
    qint64 m_missionKey = -1;
    QString m_position;
    bool m_predivePending = false;   // "Run Mission" waits for the predive checklist
    std::unique_ptr<bravik::logbook::LogbookClient> m_logbook;   // for the predive check
    bool m_launchPending = false; // a press of "Run Mission" waits for its launch record
};
