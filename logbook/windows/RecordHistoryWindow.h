#pragma once

// The edit history of the row a record window shows, newest first.  Opened
// by "History" on every record window; it belongs to that window and
// closes with it.  The list shows the start of each value on one line; the
// pane below it shows the selected change's old and new value whole.

#include "RecordHistory.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace bravik::logbook {

class RecordHistoryModel;

class frmRecordHistory : public QWidget
{
    Q_OBJECT
public:
    explicit frmRecordHistory(QWidget *owner);

    // The row's history; `what` names the row ("Miscellaneous, entry of
    // 12/08/2026 04:29:18"); `note`, when set, is a further line under it
    // (edits on screen that are not stored yet).
    void showEntries(const QString &what, const QList<history::Entry> &entries, const QString &note = QString());
    // A text instead of a list: a row not stored yet, a read that failed.
    void showMessage(const QString &text);
    // The whole values of a change that was read shortened, or why they
    // could not be read.
    void showWholeValues(int row, const QString &oldValue, const QString &newValue);
    void showValuesFailed(int row, const QString &message);

    RecordHistoryModel *model() const { return m_model; }

    QLabel *lblHistory = nullptr;
    QTableView *lstHistory = nullptr;
    QPlainTextEdit *txtOldValue = nullptr;
    QPlainTextEdit *txtNewValue = nullptr;
    // Copy the selected change's value, exactly as stored.
    QPushButton *cmdCopyOld = nullptr;
    QPushButton *cmdCopyNew = nullptr;
    QLabel *lblPieces = nullptr;

    // A value as the pane shows it: a line longer than pieceLength()
    // characters is shown in pieces of that length, one to a line (a text
    // box lays out one enormous line too slowly for a window that must
    // answer); *pieced tells whether any was.
    static QString paneText(const QString &value, bool *pieced);
    static int pieceLength() { return 2000; }

Q_SIGNALS:
    // The change of that row was read shortened and is now selected.
    void wholeValuesWanted(int row, qint64 historyKey);

private:
    void selected(int row);
    void showValues(const QString &oldValue, const QString &newValue);
    void clearValues(const QString &text);

    RecordHistoryModel *m_model = nullptr;
    int m_shownRow = -1;
};

} // namespace bravik::logbook
