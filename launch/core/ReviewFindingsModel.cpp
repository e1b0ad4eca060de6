#include "ReviewFindingsModel.h"

#include <QColor>
#include <algorithm>

namespace bravik::launch {

void ReviewFindingsModel::setFindings(const QList<mission::Finding> &findings)
{
    beginResetModel();
    m_findings = findings;
    // Errors before warnings, the vehicle's limits first; then by line.
    std::stable_sort(m_findings.begin(), m_findings.end(), [](const mission::Finding &a, const mission::Finding &b) {
        auto rank = [](const mission::Finding &f) { return f.isError() ? (f.limit ? 0 : 1) : 2; };
        return rank(a) < rank(b);
    });
    endResetModel();
}

int ReviewFindingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_findings.size());
}

int ReviewFindingsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ReviewFindingsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const mission::Finding &f = m_findings.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Severity:
            return f.limit ? QStringLiteral("error (limit)") : mission::severityName(f.severity);
        case Line:
            return f.line > 0 ? QString::number(f.line) : QStringLiteral("file");
        default:
            return f.text;
        }
    case Qt::ToolTipRole:
        return index.column() == Text ? QVariant(f.text) : QVariant();
    case Qt::BackgroundRole:
        return f.isError() ? QColor(255, 210, 210) : QColor(255, 228, 170);
    case Qt::ForegroundRole:
        return f.isError() ? QColor(150, 0, 0) : QColor(110, 60, 0);
    case LineRole:
        return f.line;
    default:
        return {};
    }
}

QVariant ReviewFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    static const char *const names[ColumnCount] = {"Severity", "Line", "Finding"};
    return QString::fromLatin1(names[section]);
}

} // namespace bravik::launch
