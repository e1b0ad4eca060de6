#pragma once

#include "RecordHistory.h"

#include <QAbstractTableModel>

namespace bravik::logbook {

// The changes of one entry for a list, newest first: when, field, old and
// new value, computer, user.  A long or many-lined value shows its start
// on one line; its whole text (once read) is in the UserRole, and
// wholeValuesWanted() tells that a change was read shortened.
class RecordHistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { When, Field, OldValue, NewValue, Workstation, User, ColumnCount };

    explicit RecordHistoryModel(QObject *parent = nullptr);

    void setEntries(const QList<history::Entry> &entries);
    const history::Entry &entry(int row) const { return m_entries.at(row); }
    // The change of that row was read shortened: its values are not whole.
    bool isCut(int row) const;
    // The whole values of a change read shortened.
    void setWholeValues(int row, const QString &oldValue, const QString &newValue);

    // The most of a value a cell shows, on one line.
    static int cellLength() { return 80; }
    // A value's one-line start: lines joined with "↵", cut with "…".
    static QString cellText(const QString &value, bool cut);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<history::Entry> m_entries;
};

} // namespace bravik::logbook
