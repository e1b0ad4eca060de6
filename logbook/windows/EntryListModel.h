#pragma once

#include "Database.h"
#include "EntryQuery.h"

#include <QAbstractTableModel>
#include <QThread>
#include <atomic>
#include <memory>

namespace bravik::logbook {

class EntryFetcher;
using StopFlag = std::shared_ptr<std::atomic_bool>;

// The rows of one table that pass a filter, newest first, for a table
// view.  Pages are read by key on a thread of its own with a connection of
// its own, so the window never waits for the logbook; the view asks for the
// next page (canFetchMore/fetchMore) as it scrolls, and only the pages
// scrolled to are held.  A search can be stopped.
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

    QString table() const { return m_table; }
    EntryFilter filter() const { return m_filter; }
    qint64 keyAt(int row) const;
    int rowOfKey(qint64 key) const;
    bool isBusy() const { return m_busy; }
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

    // To the fetcher's thread.
    void fetchRequested(quint64 generation, const bravik::logbook::DatabaseLocation &where, const QString &table,
                        const bravik::logbook::EntryFilter &filter, qint64 before, int limit,
                        const bravik::logbook::StopFlag &stop);

private:
    void rowsArrived(quint64 generation, const QList<bravik::logbook::Entry> &rows);
    void fetchDone(quint64 generation, bool exhausted, bool stopped, const QString &error);
    void setBusy(bool busy);

    QThread m_thread;
    EntryFetcher *m_fetcher = nullptr;
    StopFlag m_stop;   // of the request running now
    quint64 m_generation = 0;
    DatabaseLocation m_where;
    QString m_table;
    EntryFilter m_filter;
    QStringList m_columns;
    QList<bool> m_booleans;
    QList<Entry> m_rows;
    bool m_busy = false, m_exhausted = true, m_stopped = false;
    QString m_error;
    int m_pageSize = 200;
};

// Runs the queries on the model's thread.
class EntryFetcher : public QObject
{
    Q_OBJECT
public:
    EntryFetcher() = default;
    ~EntryFetcher() override;

    void fetch(quint64 generation, const bravik::logbook::DatabaseLocation &where, const QString &table,
               const bravik::logbook::EntryFilter &filter, qint64 before, int limit,
               const bravik::logbook::StopFlag &stop);

Q_SIGNALS:
    void rowsFound(quint64 generation, const QList<bravik::logbook::Entry> &rows);
    void progressed(quint64 generation, double share);
    void done(quint64 generation, bool exhausted, bool stopped, const QString &error);

private:
    std::unique_ptr<Database> m_database;
    std::unique_ptr<EntryQuery> m_query;
    quint64 m_queryGeneration = 0;
};

} // namespace bravik::logbook

Q_DECLARE_METATYPE(bravik::logbook::DatabaseLocation)
Q_DECLARE_METATYPE(bravik::logbook::EntryFilter)
Q_DECLARE_METATYPE(bravik::logbook::Entry)
Q_DECLARE_METATYPE(bravik::logbook::StopFlag)
