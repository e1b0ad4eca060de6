#pragma once

// The edit history of the row a record window shows, newest first.  Opened
// by "History" on every record window; it belongs to that window and
// closes with it.

#include "RecordHistory.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

namespace bravik::logbook {

class frmRecordHistory : public QWidget
{
    Q_OBJECT
public:
    explicit frmRecordHistory(QWidget *owner);

    // The row's history; `what` names the row ("Miscellaneous, entry of
    // 12/08/2026 04:29:18").
    void showEntries(const QString &what, const QList<history::Entry> &entries);
    // A text instead of a list: a row not stored yet, a read that failed.
    void showMessage(const QString &text);

    QLabel *lblHistory = nullptr;
    QTreeWidget *lstHistory = nullptr;
};

} // namespace bravik::logbook
