#include "LegWindow.h"

#include "MissionFileDialog.h"
#include "MultiLegTemplates.h"
#include "Seams.h"
#include "TemplateBuild.h"

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace bravik::mission {

bool saveLegScript(QWidget *window, const TemplateBuild &build, const QString &dialogName, const QString &retry)
{
    if (!build.ok()) {
        inform(window, build.message);
        return false;
    }
    const QString keep = QStringLiteral("Everything entered is kept: press \"%1\" to choose a file name again, "
                                        "or \"Cancel\" to discard it.")
                             .arg(retry);
    const QString path = chooseMissionSavePath(window, dialogName);
    if (path.isEmpty()) {
        inform(window, QStringLiteral("The mission file was not saved. ") + keep);
        return false;
    }
    QString error;
    if (!build.script.save(path, &error)) {
        inform(window, error + QStringLiteral("\n\n") + keep);
        return false;
    }
    window->close();
    return true;
}

void followNext(QWidget *window, const NextReaction &r, const LegWizard &wizard, const QList<QLineEdit *> &cleared,
                QWidget *first, const QString &dialogName, const QString &retry)
{
    for (const QString &m : r.messages)
        inform(window, m);
    switch (r.outcome) {
    case NextReaction::Ignored:
        return;
    case NextReaction::Stopped:
        if (auto *box = window->findChild<QWidget *>(r.box))
            box->setFocus();
        return;
    case NextReaction::Stored:
    case NextReaction::Complete:
        for (QLineEdit *box : cleared)
            box->clear();
        for (const LegCaption &c : wizard.captions())
            if (auto *label = window->findChild<QLabel *>(c.label))
                label->setText(c.text);
        first->setFocus();
        if (r.outcome == NextReaction::Stored)
            return;
        break;
    case NextReaction::SaveAgain:
        break;
    }
    saveLegScript(window, wizard.build(), dialogName, retry);
}

} // namespace bravik::mission
