#pragma once

// The launch records of one mission log row: a list, newest first, and one
// record shown whole, its reviewed text included.  Opened by "Launches" on
// the mission log window.

#include "WindowManager.h"

#include <memory>

class QLabel;
class QPlainTextEdit;
class QTreeWidget;

namespace bravik::logbook {
class Database;
}

class frmLaunches : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmLaunches(QWidget *parent = nullptr);
    ~frmLaunches() override;

    // Lists the records of that mission log row (-1: a row not stored yet,
    // which has none).  False when the logbook refused; the window then
    // says why.
    bool showMission(qint64 missionKey);

    QLabel *lblLaunches = nullptr;
    QTreeWidget *lstLaunches = nullptr;
    QPlainTextEdit *txtLaunch = nullptr;

private:
    void showRecord();
    std::unique_ptr<bravik::logbook::Database> m_db;
};
