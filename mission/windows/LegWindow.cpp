#include "LegWindow.h"

#include "MissionFileDialog.h"
#include "Seams.h"
#include "TemplateBuild.h"

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

} // namespace bravik::mission
