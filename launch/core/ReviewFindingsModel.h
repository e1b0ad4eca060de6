#pragma once

// What the review found in a mission script, as the review window lists
// it: errors before warnings, the vehicle's limits first, then in the
// order found; severity, line ("file" for the whole file) and text, each
// row coloured by its severity and its text in its tooltip.

#include "MissionScript.h"

#include <QAbstractTableModel>
#include <QList>

namespace bravik::launch {

class ReviewFindingsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Severity, Line, Text, ColumnCount };
    // The script line a row is about (0: the whole file), on every column.
    static constexpr int LineRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // Shows these findings instead of the ones before (a model reset).
    void setFindings(const QList<mission::Finding> &findings);
    const QList<mission::Finding> &findings() const { return m_findings; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<mission::Finding> m_findings;
};

} // namespace bravik::launch
