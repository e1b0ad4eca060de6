#pragma once

// The cruise event log: every entry and launch of a span in one CSV file,
// oldest first, one record each: the UTC time, the kind, the entry's id
// (its key within its kind), the submitter and the workstation, the
// position in signed decimal degrees where the entry has one, and the one
// line that says what matters.  Voided entries are left out unless asked
// for; then each record ends with Voided and VoidReason, as the exports do.

#include "Timeline.h"

#include <QByteArray>
#include <QStringList>

class QIODevice;

namespace bravik::ops {

QStringList eventLogHeader(bool includeVoid);
QStringList eventLogRecord(const TimelineLine &line, bool includeVoid);

// Writes the timeline's lines (void ones only when asked); false with a
// message naming the reason when the device refuses.
bool writeEventLog(const Timeline &timeline, bool includeVoid, QIODevice *out, QString *error);

// The event log as a file, written whole or not at all: the number of
// events written, or -1 with a message naming the path and the reason.
int writeEventLogFile(const Timeline &timeline, bool includeVoid, const QString &path, QString *error);

} // namespace bravik::ops
