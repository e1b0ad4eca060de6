#include "RecordHistoryModel.h"

namespace bravik::logbook {

namespace {
// A tooltip shows this much of a value at most; the pane below the list
// shows it whole.
constexpr int kTipLength = 600;
} // namespace

RecordHistoryModel::RecordHistoryModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void RecordHistoryModel::setEntries(const QList<history::Entry> &entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

bool RecordHistoryModel::isCut(int row) const
{
    return row >= 0 && row < m_entries.size() && m_entries.at(row).isCut();
}

void RecordHistoryModel::setWholeValues(int row, const QString &oldValue, const QString &newValue)
{
    if (row < 0 || row >= m_entries.size())
        return;
    history::Entry &e = m_entries[row];
    e.oldValue = oldValue;
    e.newValue = newValue;
    e.oldLength = oldValue.size();
    e.newLength = newValue.size();
    Q_EMIT dataChanged(index(row, OldValue), index(row, NewValue));
}

QString RecordHistoryModel::cellText(const QString &value, bool cut)
{
    QString shown = value.left(cellLength() + 1);
    shown.replace(QLatin1Char('\n'), QStringLiteral(" \u21b5 "));
    if (shown.size() > cellLength() || (cut && !shown.isEmpty()))
        return shown.left(cellLength()) + QChar(0x2026);
    return shown;
}

int RecordHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int RecordHistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size() || index.column() >= ColumnCount)
        return {};
    const history::Entry &e = m_entries.at(index.row());
    QString whole;
    bool cut = false;
    switch (index.column()) {
    case When: whole = history::readableTime(e.changedAtUtc); break;
    case Field: whole = e.field; break;
    case OldValue:
        whole = e.oldValue;
        cut = e.oldValue.size() < e.oldLength;
        break;
    case NewValue:
        whole = e.newValue;
        cut = e.newValue.size() < e.newLength;
        break;
    case Workstation: whole = e.workstation; break;
    case User: whole = e.osUser; break;
    }
    switch (role) {
    case Qt::DisplayRole:
        return cellText(whole, cut);
    case Qt::ToolTipRole:
        if (whole.size() > kTipLength || cut)
            return whole.left(kTipLength) + QStringLiteral("\u2026\n(the whole value is shown below the list)");
        return whole.isEmpty() ? QVariant() : QVariant(whole);
    case Qt::UserRole:
        return whole;
    default:
        return {};
    }
}

QVariant RecordHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case When: return QStringLiteral("When (UTC)");
    case Field: return QStringLiteral("Field");
    case OldValue: return QStringLiteral("Old value");
    case NewValue: return QStringLiteral("New value");
    case Workstation: return QStringLiteral("Workstation");
    case User: return QStringLiteral("User");
    default: return {};
    }
}

} // namespace bravik::logbook
