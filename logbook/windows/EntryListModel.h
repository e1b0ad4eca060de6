#pragma once

#include "Database.h"
#include "EntryQuery.h"

#include <QAbstractTableModel>
#include <memory>

namespace bravik::logbook {

class LogbookClient;

// The rows of one table that pass a filter, newest first, for a table
// view.  Pages are read by key as jobs of the logbook service, so the
// window never waits for the logbook; the view asks for the next page
// (canFetchMore/fetchMore) as it scrolls, and only the pages scrolled to are
// held.  A filtered search goes through the table one bounded key range per
// job, so what it finds shows as it goes, and it can be stopped.  A row
// shown here that this program stores anew (the logbook service announces
// it) is read again and shows its new values.
class EntryListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit EntryListModel(QObject *parent = nullptr);
    ~EntryListModel() override;

    // Starts showing that table with that filter (from the newest row).
    // Voided rows are always shown (greyed); the filter's includeVoid is
    // set.
    void setQuery(const DatabaseLocation &where, const QString &table, const EntryFilter &filter);
    void stop();
    // Two more columns at the end, Voided and VoidReason, tell which rows
    // are void and why.
    void setVoidColumnsShown(bool shown);
    bool voidColumnsShown() const { return m_voidColumnsShown; }

    QString table() const { return m_table; }
    EntryFilter filter() const { return m_filter; }
    qint64 keyAt(int row) const;
    int rowOfKey(qint64 key) const;
    bool isBusy() const { return m_busy; }
    // A page has waited for the logbook a while: its words for it.
    bool isWaiting() const;
    QString waitingText() const;
    bool isExhausted() const { return m_exhausted; }
    bool wasStopped() const { return m_stopped; }
    QString lastError() const { return m_error; }
    int pageSize() const { return m_pageSize; }
    void setPageSize(int rows) { m_pageSize = rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;

Q_SIGNALS:
    void busyChanged(bool busy);
    // A page (or the search) has finished; `error` is empty unless the
    // engine refused.
    void pageFinished(const QString &error);
    void progressed(double share);

    void waitingChanged(bool waiting);

private:
    void nextRange();
    void rowStored(const QString &table, qint64 key);
    void finishPage(bool stopped, const QString &error);
    void setBusy(bool busy);

    std::unique_ptr<LogbookClient> m_client;   // of m_where
    QMetaObject::Connection m_listening;   // the logbook service's news of stored rows
    quint64 m_generation = 0;
    DatabaseLocation m_where;
    QString m_table;
    EntryFilter m_filter;
    EntryQuery::Position m_position;   // where the search goes on
    int m_wanted = 0;                  // rows the page still wants
    QStringList m_columns;
    QList<bool> m_booleans;
    QList<Entry> m_rows;
    bool m_busy = false, m_exhausted = true, m_stopped = false;
    bool m_voidColumnsShown = false;
    QString m_error;
    int m_pageSize = 200;
};

} // namespace bravik::logbook

Q_DECLARE_METATYPE(bravik::logbook::DatabaseLocation)
Q_DECLARE_METATYPE(bravik::logbook::EntryFilter)
Q_DECLARE_METATYPE(bravik::logbook::Entry)
