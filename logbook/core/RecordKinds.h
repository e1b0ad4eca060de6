#pragma once

#include <QList>
#include <QString>

namespace bravik::logbook {

// One kind of log entry: the category the main window offers for it, its
// table, the record window that shows it and that window's caption.  Every
// part of the program that needs to know the kinds of record reads this one
// list, so a further kind is one entry here plus its window.
struct RecordKind
{
    QString category;   // "Weather Observation"
    QString table;      // "WeatherObservation"
    QString window;     // "frmWeatherObservation"
    QString caption;    // "Weather Observation Log"
};

// The eight kinds, in the order the main window lists them.
const QList<RecordKind> &recordKinds();

// The kind whose category is exactly that text (case and blanks count), or
// nullptr.
const RecordKind *kindForCategory(const QString &category);
// The kind of that table or window, or nullptr.
const RecordKind *kindForTable(const QString &table);
const RecordKind *kindForWindow(const QString &window);

} // namespace bravik::logbook
