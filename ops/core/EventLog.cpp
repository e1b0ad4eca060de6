#include "EventLog.h"

#include "Csv.h"

#include <QDir>
#include <QIODevice>
#include <QSaveFile>

namespace bravik::ops {

QStringList eventLogHeader(bool includeVoid)
{
    QStringList h{QStringLiteral("UtcTime"),     QStringLiteral("Kind"),     QStringLiteral("EntryId"),
                  QStringLiteral("SubmittedBy"), QStringLiteral("Workstation"), QStringLiteral("Latitude"),
                  QStringLiteral("Longitude"),   QStringLiteral("Summary")};
    if (includeVoid)
        h << QStringLiteral("Voided") << QStringLiteral("VoidReason");
    return h;
}

QStringList eventLogRecord(const TimelineLine &l, bool includeVoid)
{
    QStringList r{l.hasTime() ? stampText(l.time.when) : QString(),
                  l.kind,
                  QString::number(l.key),
                  l.submitter,
                  l.workstation,
                  l.position ? decimalText(l.position->latitude) : QString(),
                  l.position ? decimalText(l.position->longitude) : QString(),
                  l.summary};
    if (includeVoid)
        r << (l.voided ? QStringLiteral("true") : QStringLiteral("false")) << l.voidReason;
    return r;
}

bool writeEventLog(const Timeline &timeline, bool includeVoid, QIODevice *out, QString *error)
{
    QByteArray buffer = logbook::csv::record(eventLogHeader(includeVoid));
    for (const TimelineLine &l : timeline.lines) {
        if (l.voided && !includeVoid)
            continue;
        buffer += logbook::csv::record(eventLogRecord(l, includeVoid));
        if (buffer.size() > (1 << 20)) {
            if (out->write(buffer) != buffer.size()) {
                *error = out->errorString();
                return false;
            }
            buffer.clear();
        }
    }
    if (out->write(buffer) != buffer.size()) {
        *error = out->errorString();
        return false;
    }
    return true;
}

int writeEventLogFile(const Timeline &timeline, bool includeVoid, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly) || !writeEventLog(timeline, includeVoid, &file, &reason) || !file.commit()) {
        file.cancelWriting();
        *error = QStringLiteral("\"%1\" cannot be written: %2").arg(shown, reason.isEmpty() ? file.errorString() : reason);
        return -1;
    }
    int events = 0;
    for (const TimelineLine &l : timeline.lines)
        events += (!l.voided || includeVoid) ? 1 : 0;
    return events;
}

} // namespace bravik::ops
