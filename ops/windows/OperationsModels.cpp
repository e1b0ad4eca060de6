#include "OperationsModels.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace bravik::ops {

namespace {
const QColor kGrey(140, 140, 140);
}

QString voltsText(const std::optional<double> &volts)
{
    return volts ? QString::number(*volts, 'f', 2) + QStringLiteral(" V") : QStringLiteral("—");
}

QString lineTimeText(const TimelineLine &line)
{
    if (!line.hasTime())
        return QStringLiteral("time not known");
    return line.time.when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// ---------------------------------------------------------------- timeline

void TimelineModel::setTimeline(const Timeline &timeline)
{
    beginResetModel();
    m_timeline = timeline;
    choose();
    endResetModel();
}

void TimelineModel::setShowVoid(bool show)
{
    if (show == m_showVoid)
        return;
    beginResetModel();
    m_showVoid = show;
    choose();
    endResetModel();
}

void TimelineModel::choose()
{
    m_shown.clear();
    m_shown.reserve(m_timeline.lines.size());
    for (int i = 0; i < m_timeline.lines.size(); ++i)
        if (m_showVoid || !m_timeline.lines.at(i).voided)
            m_shown << i;
}

RowTarget TimelineModel::targetAt(int row) const
{
    const TimelineLine &l = lineAt(row);
    return {l.table, l.key, l.missionKey};
}

int TimelineModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int TimelineModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TimelineModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TimelineLine &l = lineAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Time: return lineTimeText(l);
        case Kind: return l.kind;
        case Submitter: return l.submitter;
        case Summary: return l.voided ? QStringLiteral("VOID: ") + l.summary : l.summary;
        }
        break;
    case Qt::ToolTipRole: {
        QStringList tip;
        if (l.voided)
            tip << QStringLiteral("VOID: ") + l.voidReason;
        if (index.column() == Time)
            tip << (l.time.source == EntryTime::Source::Own     ? QStringLiteral("The entry's own Date/Time")
                    : l.time.source == EntryTime::Source::Stamp ? QStringLiteral("When it was first stored (its own Date/Time does not read as a time)")
                                                                : QStringLiteral("Neither its Date/Time nor when it was stored is known"));
        if (index.column() == Summary)
            tip << l.summary;
        return tip.isEmpty() ? QVariant() : QVariant(tip.join(QLatin1Char('\n')));
    }
    case Qt::ForegroundRole:
        return l.voided ? QVariant(QBrush(kGrey)) : QVariant();
    case Qt::FontRole:
        if (!l.hasTime() && index.column() == Time) {
            QFont f;
            f.setItalic(true);
            return f;
        }
        break;
    }
    return {};
}

QVariant TimelineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time: return QStringLiteral("Time (UTC)");
    case Kind: return QStringLiteral("Kind");
    case Submitter: return QStringLiteral("Submitted By");
    case Summary: return QStringLiteral("What");
    }
    return {};
}

// ---------------------------------------------------------------- attention

void AttentionModel::setItems(const QList<AttentionItem> &items)
{
    beginResetModel();
    m_items = items;
    endResetModel();
}

RowTarget AttentionModel::targetAt(int row) const
{
    const AttentionItem &i = itemAt(row);
    return {i.table, i.key, -1};
}

int AttentionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int AttentionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AttentionModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AttentionItem &i = itemAt(index.row());
    if (role == Qt::DisplayRole) {
        if (index.column() == Since)
            return i.since.isValid() ? i.since.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
        return i.text;
    }
    if (role == Qt::ToolTipRole && index.column() == What)
        return i.text;
    return {};
}

QVariant AttentionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == Since ? QStringLiteral("Since (UTC)") : QStringLiteral("What needs attention");
}

// ---------------------------------------------------------------- packs

void PacksModel::setPacks(const PackOverview &packs)
{
    beginResetModel();
    m_packs = packs;
    endResetModel();
}

RowTarget PacksModel::targetAt(int row) const
{
    return {QStringLiteral("BatteryCharge"), packAt(row).lastKey(), -1};
}

int PacksModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_packs.packs.size());
}

int PacksModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PacksModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Pack &p = packAt(index.row());
    if (role == Qt::TextAlignmentRole && index.column() != Serial)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    auto when = [](const QDateTime &t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")); };
    switch (index.column()) {
    case Serial: return p.serial;
    case Charges: return p.chargeCount();
    case FirstCharge: return when(p.firstCharge());
    case LastCharge: return when(p.lastCharge());
    case LastMin: return voltsText(p.lastMinVolts());
    case LastMax: return voltsText(p.lastMaxVolts());
    }
    return {};
}

QVariant PacksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Serial: return QStringLiteral("Pack (serial)");
    case Charges: return QStringLiteral("Charges");
    case FirstCharge: return QStringLiteral("First charge (UTC)");
    case LastCharge: return QStringLiteral("Last charge (UTC)");
    case LastMin: return QStringLiteral("Last min");
    case LastMax: return QStringLiteral("Last max");
    }
    return {};
}

} // namespace bravik::ops
