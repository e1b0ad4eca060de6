#pragma once

#include "WindowManager.h"

#include <QPixmap>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace bravik {

// The eel drawn on the splash and main windows, 100 x 50 pixels.
QPixmap eelPicture();

// Registers the four windows below.
void registerShellWindows();

// Splash window: shows for 750 ms, then hands over to the main window.
class frmWelcome : public ManagedWindow
{
    Q_OBJECT
public:
    frmWelcome();

    QLabel *Label1;
    QLabel *imgEel;
    QTimer *Timer1;

private:
    void onTimer();
};

// The main event-log window: clock, submitter, category, submit and exit.
class frmLogMain : public ManagedWindow
{
    Q_OBJECT
public:
    frmLogMain();

    QLabel *Label1;
    QLineEdit *txtTime;
    QLabel *lblSubmittedby;
    QComboBox *cmbSubmittedBy;
    QComboBox *cmbEventType;
    QPushButton *cmdSubmitEntry;
    QPushButton *cmdQuit;
    QLabel *Image1;
    QTimer *Timer2;
    QLabel *lblClockZone;          // under the clock when the zone is not UTC
    QPushButton *cmdFindEntries;   // opens the logbook list
    // The band below the specified controls, after them in the tab order.
    QPushButton *cmdOperations;    // opens the operations overview
    QPushButton *cmdChart;         // opens the chart of a day
    // With a shared logbook set ([sync] server), where the logbook file
    // stands with it, the conflicts to settle and "Sync now"; otherwise none.
    QLabel *lblSync = nullptr;
    QLabel *lblSyncConflicts = nullptr;
    QPushButton *cmdSyncNow = nullptr;

    // Rewrites the clock box with the current local time.
    void tick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void submit();
    void exitLog();
    void showSync();
    bool m_centred = false;
};

// "Quit vehicle log?": Yes ends (by leaving no window), No brings back a
// fresh main window.
class frmQuitDialog : public ManagedWindow
{
    Q_OBJECT
public:
    frmQuitDialog();

    QLabel *lblQuestion;
    QPushButton *cmdYes;
    QPushButton *cmdNo;
};

// The notice for a log category that is not known.
class frmInvalidEntry : public ManagedWindow
{
    Q_OBJECT
public:
    frmInvalidEntry();

    QLabel *Label1;
    QPushButton *OKButton;
};

} // namespace bravik
