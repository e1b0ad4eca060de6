#pragma once

// The launch records of one mission log row, newest first, read through
// the logbook service: the window never waits for them.  A read asked for
// while one is on its way is made once that answers.

#include "Database.h"
#include "LaunchLog.h"

#include <QAbstractTableModel>
#include <chrono>
#include <memory>

namespace bravik::logbook {
class LogbookClient;
}

namespace bravik::launch {

class LaunchListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Started, Reviewer, File, Start, Exit, Aborted, ColumnCount };
    // The whole record as text, its reviewed text last; and its id.
    static constexpr int RecordTextRole = Qt::UserRole;
    static constexpr int IdRole = Qt::UserRole + 1;

    // `deadline`: how long a read may take (zero: the service's statement
    // timeout).
    explicit LaunchListModel(const logbook::DatabaseLocation &where,
                             std::chrono::milliseconds deadline = std::chrono::milliseconds(0),
                             QObject *parent = nullptr);
    ~LaunchListModel() override;

    // Lists the records of that mission log row (-1: a row not stored yet,
    // which has none: answered without asking the logbook).
    void showMission(qint64 missionKey);
    // Reads the shown mission's records again.
    void refresh();
    qint64 missionKey() const { return m_missionKey; }

    bool isReading() const { return m_reading; }
    // Why the last read failed; empty when it did not.
    QString error() const { return m_error; }
    logbook::LogbookClient &client() const { return *m_client; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // "MissionKey: 7\nReviewer: Ada\n...\nReviewedText:\n<the text>"
    static QString recordText(const logbook::launchlog::Record &record);

Q_SIGNALS:
    // A read answered: the rows are the mission's now (ok), or stay as
    // they were and error() says why.
    void answered(bool ok);

private:
    void read();

    logbook::DatabaseLocation m_where;
    std::chrono::milliseconds m_deadline;
    std::unique_ptr<logbook::LogbookClient> m_client;
    QList<logbook::launchlog::Record> m_records;
    qint64 m_missionKey = -1;
    bool m_reading = false;
    bool m_again = false;
    QString m_error;
};

} // namespace bravik::launch
