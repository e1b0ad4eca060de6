#include "MissionFileDialog.h"

#include "ScriptWriter.h"
#include "Settings.h"

#include <QDir>
#include <QFileInfo>

namespace bravik::mission {

FileDialogRequest missionSaveRequest(const QString &dialogName)
{
    FileDialogRequest r;
    r.mode = FileDialogRequest::Save;
    r.title = QStringLiteral("Save Mission File As");
    r.filter = QStringLiteral("*.cfg");
    r.folder = settings().missionsFolder;
    r.defaultSuffix = QStringLiteral("cfg");
    r.objectName = dialogName;
    return r;
}

QString withMissionSuffix(const QString &path)
{
    if (path.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || name.contains(QLatin1Char('.')))
        return path;
    return path + QStringLiteral(".cfg");
}

QString chooseMissionSavePath(QWidget *parent, const QString &dialogName)
{
    const FileDialogRequest request = missionSaveRequest(dialogName);
    // A missing folder is made so the dialog opens where scripts belong;
    // when it cannot be made the dialog simply starts elsewhere.
    if (!request.folder.isEmpty())
        QDir().mkpath(request.folder);
    return withMissionSuffix(fileDialogs().choose(parent, request));
}

SaveOutcome saveMissionScript(QWidget *parent, const QString &dialogName, const ScriptWriter &script)
{
    const QString path = chooseMissionSavePath(parent, dialogName);
    if (path.isEmpty())
        return SaveOutcome::Cancelled;
    QString error;
    if (!script.save(path, &error)) {
        inform(parent, error);
        return SaveOutcome::Failed;
    }
    return SaveOutcome::Saved;
}

} // namespace bravik::mission
