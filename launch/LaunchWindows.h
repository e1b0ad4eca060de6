#pragma once

// The launch records of one mission log row: a list, newest first, and one
// record shown whole, its reviewed text included.  Opened by "Launches" on
// the mission log window.  The records are read through the logbook
// service: while the logbook does not answer the window says so and stays
// usable, and it reads them again whenever a launch record is written.

#include "WindowManager.h"

#include <memory>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

namespace bravik::launch {
class LaunchListModel;
}

class frmLaunches : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmLaunches(QWidget *parent = nullptr);
    ~frmLaunches() override;

    // Lists the records of that mission log row (-1: a row not stored yet,
    // which has none).  The list comes when the logbook answers; the
    // launches of earlier runs of the program are completed first.
    void showMission(qint64 missionKey);

    bravik::launch::LaunchListModel *model() const { return m_model.get(); }

    QLabel *lblLaunches = nullptr;
    QTreeView *lstLaunches = nullptr;
    QPlainTextEdit *txtLaunch = nullptr;
    QFrame *fraWaiting = nullptr;       // "Waiting for the logbook…" with "Stop waiting"
    QLabel *lblWaiting = nullptr;
    QPushButton *cmdStopWaiting = nullptr;

private:
    void showRecord();
    void answered(bool ok);
    std::unique_ptr<bravik::launch::LaunchListModel> m_model;
    QString m_shownId;   // the record shown whole
    QString m_keptId;    // ... kept across a new read of the list
};
