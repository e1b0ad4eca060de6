#pragma once

// The three lists of the operations window as item models: the timeline
// (time, kind, submitter, what), what needs attention, and the battery
// packs.  Each is filled whole from one read; each row names the entry it
// opens.

#include "Attention.h"
#include "BatteryPacks.h"
#include "Timeline.h"

#include <QAbstractTableModel>

namespace bravik::ops {

// What a row opens: an entry of a table, or a launch record.
struct RowTarget
{
    QString table;
    qint64 key = -1;
    qint64 missionKey = -1;   // a launch: its mission log entry
};

class TimelineModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Time, Kind, Submitter, Summary, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setTimeline(const Timeline &timeline);
    // Voided entries shown (greyed) or left out.
    void setShowVoid(bool show);
    bool showsVoid() const { return m_showVoid; }
    const Timeline &timeline() const { return m_timeline; }
    const TimelineLine &lineAt(int row) const { return m_timeline.lines.at(m_shown.at(row)); }
    RowTarget targetAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void choose();
    Timeline m_timeline;
    QList<int> m_shown;   // indexes into m_timeline.lines
    bool m_showVoid = true;
};

class AttentionModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Since, What, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setItems(const QList<AttentionItem> &items);
    const AttentionItem &itemAt(int row) const { return m_items.at(row); }
    RowTarget targetAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<AttentionItem> m_items;
};

class PacksModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Serial, Charges, FirstCharge, LastCharge, LastMin, LastMax, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setPacks(const PackOverview &packs);
    const PackOverview &packs() const { return m_packs; }
    const Pack &packAt(int row) const { return m_packs.packs.at(row); }
    // Opens the pack's last charge.
    RowTarget targetAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    PackOverview m_packs;
};

// "2.5 V" with up to two decimals, "—" for none.
QString voltsText(const std::optional<double> &volts);
// "12-08 04:29" within the span's year, the time "—" when not known.
QString lineTimeText(const TimelineLine &line);

} // namespace bravik::ops
