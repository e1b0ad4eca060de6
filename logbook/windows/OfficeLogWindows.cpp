#include "OfficeLogWindows.h"

#include "RecordKinds.h"

#include "Settings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using bravik::settings;
using bravik::logbook::RecordWindowFrame;
using bravik::logbook::RecordKind;
using bravik::logbook::recordKind;

namespace {
const QString kDateTime = QStringLiteral("Date/Time");
const QString kSubmittedBy = QStringLiteral("SubmittedBy");
const QString kDateTimeLabel = QStringLiteral("Date and Time GMT");
const QString kSubmittedByLabel = QStringLiteral("Submitted By");
} // namespace

// --- vehicle maintenance ----------------------------------------------------

frmMaintenance::frmMaintenance(QWidget *parent)
    : RecordWindow({recordKind(RecordKind::Maintenance).table, recordKind(RecordKind::Maintenance).caption, 7410, 9630,
                    QStringLiteral("Navigate Maintenance"), QRect(720, 7560, 3135, 420),
                    QRect(4440, 7560, 2175, 495)},
                   parent)
{
    txtTime = addText("txtTime", kDateTime, 720, 840, 2415, 495);
    labelAbove(txtTime, kDateTimeLabel);
    cmbMType = addList("cmbMType", QStringLiteral("MaintenanceType"),
                       {QStringLiteral("Preventative"), QStringLiteral("Vehicle Reconfiguration"),
                        QStringLiteral("Repair"), QStringLiteral("Upgrade")},
                       QString(), 720, 2040, 3135, 315);
    labelAbove(cmbMType, QStringLiteral("Maintenance Type"));
    cmbPerformedBy = addList("cmbPerformedBy", QStringLiteral("PerformedBy"), settings().crewRoster, QString(),
                             720, 2880, 3135, 315);
    labelAbove(cmbPerformedBy, QStringLiteral("Performed By"));
    txtNotes = addMemo("txtNotes", QStringLiteral("Notes"), 720, 4920, 5895, 2295);
    labelAbove(txtNotes, QStringLiteral("Notes"));
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 4200, 840, 2175, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    txtReason = addMemo("txtReason", QStringLiteral("Reason"), 720, 3600, 5895, 855);
    labelAbove(txtReason, QStringLiteral("Reason for performing maintenance"));

    finishSetup({cmdQuit, txtTime, cmbMType, cmbPerformedBy, txtNotes, txtSubmittedBy, txtReason});
}

// --- battery charge ---------------------------------------------------------

frmBatteryCharge::frmBatteryCharge(QWidget *parent)
    : RecordWindow({recordKind(RecordKind::BatteryCharge).table, recordKind(RecordKind::BatteryCharge).caption, 8520, 7995,
                    QStringLiteral("Navigate Battery Charge Table"), QRect(360, 6720, 3660, 540),
                    QRect(5760, 6720, 2055, 495)},
                   parent)
{
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 5280, 600, 2655, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    txtTime = addText("txtTime", kDateTime, 360, 600, 2655, 495);
    labelAbove(txtTime, kDateTimeLabel);
    txtBatteryLogFile = addText("txtBatteryLogFile", QStringLiteral("LogfileName"), 360, 1560, 2655, 495);
    labelAbove(txtBatteryLogFile, QStringLiteral("Log File Name"));

    // The grid: a row per battery, columns serial number, minimum and
    // maximum voltage.
    const int lefts[3] = {1320, 3120, 4800};
    const int tops[3] = {2760, 3360, 3960};
    const int labelTops[3] = {2880, 3480, 4080};
    const char *headers[3] = {"Serial Number", "Minimum Voltage", "Maximum Voltage"};
    for (int c = 0; c < 3; ++c)
        addLabel(QString::fromLatin1(headers[c]), lefts[c], 2400, 1680, 285);
    for (int r = 0; r < 3; ++r)
        addLabel(QStringLiteral("Battery #%1").arg(r + 1), 360, labelTops[r], 945, 285);
    const char *names[9] = {"txtBat1SN", "txtBat1MinV", "txtBat1MaxV", "Text1", "Text2",
                            "Text3",     "Text4",       "Text5",       "Text6"};
    const char *fields[9] = {"Batt1SN", "Bat1MinV", "Bat1MaxV", "Batt2SN", "Bat2MinV",
                             "Bat2MaxV", "Batt3SN", "Bat3MinV", "Bat3MaxV"};
    QLineEdit *grid[9];
    for (int i = 0; i < 9; ++i)
        grid[i] = addText(names[i], QString::fromLatin1(fields[i]), lefts[i % 3], tops[i / 3], 1215, 495);
    txtBat1SN = grid[0];
    txtBat1MinV = grid[1];
    txtBat1MaxV = grid[2];
    Text1 = grid[3];
    Text2 = grid[4];
    Text3 = grid[5];
    Text4 = grid[6];
    Text5 = grid[7];
    Text6 = grid[8];

    txtNotes = addMemo("txtNotes", QStringLiteral("Notes"), 360, 5160, 7335, 1215);
    labelAbove(txtNotes, QStringLiteral("Notes"));

    finishSetup({cmdQuit, txtSubmittedBy, txtTime, txtBatteryLogFile, txtBat1SN, txtBat1MinV, txtBat1MaxV, Text1,
                 Text2, Text3, Text4, Text5, Text6, txtNotes});
}

// --- task list --------------------------------------------------------------

frmTaskList::frmTaskList(QWidget *parent)
    : RecordWindow({recordKind(RecordKind::Tasks).table, recordKind(RecordKind::Tasks).caption, 7290, 8640,
                    QStringLiteral("Navigate Task List"), QRect(600, 7080, 2985, 420), QRect(4440, 6960, 1935, 495)},
                   parent)
{
    txtTime = addText("txtTime", kDateTime, 600, 480, 2415, 495);
    labelAbove(txtTime, kDateTimeLabel);
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 4080, 480, 2175, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    cmbAssignedTo = addList("cmbAssignedTo", QStringLiteral("AssignedTo"), settings().assignees(), QString(),
                            600, 3120, 3135, 315);
    labelAbove(cmbAssignedTo, QStringLiteral("Assigned To"));
    txtTimeCompleted = addText("txtTimeCompleted", QStringLiteral("DateCompleted"), 600, 3840, 2415, 495);
    labelAbove(txtTimeCompleted, QStringLiteral("Date and Time Completed"));
    txtNote = addMemo("txtNote", QStringLiteral("Note"), 600, 4800, 5775, 1935);
    labelAbove(txtNote, QStringLiteral("Notes"));
    txtTaskDescription = addMemo("txtTaskDescription", QStringLiteral("TaskDescription"), 600, 1680, 5655, 975);
    labelAbove(txtTaskDescription, QStringLiteral("Task Description"));

    finishSetup({cmdQuit, txtTime, txtSubmittedBy, cmbAssignedTo, txtTimeCompleted, txtNote, txtTaskDescription});
}

// --- purchases --------------------------------------------------------------

frmPurchases::frmPurchases(QWidget *parent)
    : RecordWindow({recordKind(RecordKind::Purchases).table, recordKind(RecordKind::Purchases).caption, 7110, 9135,
                    QStringLiteral("Navigate Purchases"), QRect(600, 7920, 2775, 420), QRect(4320, 7920, 2055, 495)},
                   parent)
{
    txtTime = addText("txtTime", kDateTime, 600, 840, 2415, 495);
    labelAbove(txtTime, kDateTimeLabel);
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 4440, 840, 2175, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);
    cmbAssignedTo = addList("cmbAssignedTo", QStringLiteral("AssignedTo"), settings().crewRoster, QString(),
                            600, 3600, 3135, 315);
    labelAbove(cmbAssignedTo, QStringLiteral("Assigned To"));
    txtTimeCompleted = addText("txtTimeCompleted", QStringLiteral("DateCompleted"), 600, 4320, 2415, 495);
    labelAbove(txtTimeCompleted, QStringLiteral("Date Purchased"));
    txtVendor = addText("txtVendor", QStringLiteral("Vendor"), 600, 2640, 2415, 495);
    labelAbove(txtVendor, QStringLiteral("Vendor"));
    txtNote = addMemo("txtNote", QStringLiteral("Note"), 600, 5520, 5775, 1935);
    labelAbove(txtNote, QStringLiteral("Notes"));
    txtItem = addText("txtItem", QStringLiteral("Item"), 600, 1800, 2415, 495);
    labelAbove(txtItem, QStringLiteral("Item to be purchased"));

    finishSetup({cmdQuit, txtTime, txtSubmittedBy, cmbAssignedTo, txtTimeCompleted, txtVendor, txtNote, txtItem});
}

// --- miscellaneous ----------------------------------------------------------

frmMisc::frmMisc(QWidget *parent)
    : RecordWindow({recordKind(RecordKind::Miscellaneous).table, recordKind(RecordKind::Miscellaneous).caption, 7005, 6225,
                    QStringLiteral("Navigate Misc Table"), QRect(480, 4680, 3180, 540), QRect(4440, 4680, 2055, 495)},
                   parent)
{
    txtTime = addText("txtTime", kDateTime, 480, 840, 2655, 495);
    labelAbove(txtTime, kDateTimeLabel);
    txtNote = addMemo("txtNote", QStringLiteral("Note"), 480, 1800, 6015, 2535);
    txtSubmittedBy = addText("txtSubmittedBy", kSubmittedBy, 3840, 840, 2655, 495);
    labelAbove(txtSubmittedBy, kSubmittedByLabel);

    finishSetup({cmdQuit, txtTime, txtNote, txtSubmittedBy});
}
