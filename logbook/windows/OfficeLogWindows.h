#pragma once

// The five record windows for work away from a dive: maintenance, battery
// charging, the task list, purchases and free notes.

#include "RecordWindow.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class frmMaintenance : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmMaintenance(QWidget *parent = nullptr);

    QLineEdit *txtTime;
    QComboBox *cmbMType, *cmbPerformedBy;
    QPlainTextEdit *txtNotes;
    QLineEdit *txtSubmittedBy;
    QPlainTextEdit *txtReason;
};

class frmBatteryCharge : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmBatteryCharge(QWidget *parent = nullptr);

    QLineEdit *txtSubmittedBy, *txtTime, *txtBatteryLogFile;
    QLineEdit *txtBat1SN, *txtBat1MinV, *txtBat1MaxV;
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text5, *Text6;
    QPlainTextEdit *txtNotes;
};

class frmTaskList : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmTaskList(QWidget *parent = nullptr);

    QLineEdit *txtTime, *txtSubmittedBy;
    QComboBox *cmbAssignedTo;
    QLineEdit *txtTimeCompleted;
    QPlainTextEdit *txtNote, *txtTaskDescription;
};

class frmPurchases : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmPurchases(QWidget *parent = nullptr);

    QLineEdit *txtTime, *txtSubmittedBy;
    QComboBox *cmbAssignedTo;
    QLineEdit *txtTimeCompleted, *txtVendor;
    QPlainTextEdit *txtNote;
    QLineEdit *txtItem;
};

class frmMisc : public bravik::logbook::RecordWindow
{
    Q_OBJECT
public:
    explicit frmMisc(QWidget *parent = nullptr);

    QLineEdit *txtTime;
    QPlainTextEdit *txtNote;
    QLineEdit *txtSubmittedBy;
};
