#include "OpenEntry.h"

#include "RecordKinds.h"
#include "RecordWindow.h"
#include "Seams.h"
#include "WindowManager.h"
#include "frmLogbookList.h"

#include <QPointer>
#include <QTimer>
#include <memory>

namespace bravik::ops {

bool openRowTarget(QWidget *parent, const RowTarget &target)
{
    QString table = target.table, missing;
    qint64 key = target.key;
    if (table == logbook::launchlog::tableName()) {
        // A launch opens the mission log entry it was run from.
        table = QStringLiteral("MissionData");
        key = target.missionKey;
        missing = QStringLiteral("This launch names no mission log entry to open.");
    }
    if (key < 0) {
        if (!missing.isEmpty())
            inform(parent, missing);
        return false;
    }
    if (logbook::openEntry(table, key))
        return true;
    // A record window made just now opens its table first: the entry is
    // shown once it has.
    const logbook::RecordKind *kind = logbook::kindForTable(table);
    auto *w = kind ? qobject_cast<logbook::RecordWindow *>(windows().existing(kind->window)) : nullptr;
    if (!w || w->isOpen() || w->openFailed())
        return false;
    auto *poll = new QTimer(parent);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, table, key, w = QPointer<logbook::RecordWindow>(w)] {
        if (!w || w->openFailed() || ++*tries > 400) {
            poll->deleteLater();
            return;
        }
        if (w->isOpen()) {
            poll->deleteLater();
            logbook::openEntry(table, key);
        }
    });
    poll->start(25);
    return true;
}

} // namespace bravik::ops
