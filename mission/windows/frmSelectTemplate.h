#pragma once

#include "WindowManager.h"

class QComboBox;
class QLabel;
class QPushButton;

// The template chooser: pick a stock template by name, then open it.
// Window classes live outside any namespace: their class name is the
// window's name for the window manager.
class frmSelectTemplate : public bravik::ManagedWindow
{
    Q_OBJECT
public:
    explicit frmSelectTemplate(QWidget *parent = nullptr);

    // The window opened for each template name, in the list's order.
    static const QList<QPair<QString, QString>> &templateWindows();

    QLabel *Label1;
    QComboBox *cmbMissionType;
    QPushButton *cmdEnterMissionData;

public slots:
    void cmdEnterMissionData_Click();
};
