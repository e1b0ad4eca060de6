#pragma once

#include "Schema.h"

#include <QList>
#include <QString>

namespace bravik::logbook {

// The eight kinds, in the order the main window lists them (made from the
// schema's one list).
const QList<RecordKind> &recordKinds();
const RecordKind &recordKind(RecordKind::Id id);

// The kind whose category is exactly that text (case and blanks count), or
// nullptr.
const RecordKind *kindForCategory(const QString &category);
// The kind of that table or window, or nullptr.
const RecordKind *kindForTable(const QString &table);
const RecordKind *kindForWindow(const QString &window);

} // namespace bravik::logbook
