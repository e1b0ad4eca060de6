#pragma once

// Writes launch records through the logbook service, never keeping the
// caller waiting.
//
// A record is named by its id (LaunchRecorder::newId()), valid before its
// insert is even queued.  Inserts and updates are writes nobody waits on:
// they run in the order they were given, after one another, and the
// service tries each again when the logbook did not answer or the
// connection broke, until it is done or the engine refuses it.  Each is
// keyed by the record's id, so a repeated insert finds its own row and
// does nothing: a launch has one record, however often it was tried.  A
// write still on its way when the program quits is kept beside the logbook
// and stored at the next start (registerKeptHandler()).

#include "Database.h"
#include "LaunchLog.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>

namespace bravik::logbook {
class LogbookClient;
}

namespace bravik::launch {

class LaunchRecorder : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(bool ok, const QString &error)>;
    using Records = QList<logbook::launchlog::Record>;

    // `deadline`: how long one try may take (zero: the service's statement
    // timeout).
    explicit LaunchRecorder(const logbook::DatabaseLocation &where,
                            std::chrono::milliseconds deadline = std::chrono::milliseconds(0),
                            QObject *parent = nullptr);
    ~LaunchRecorder() override;

    const logbook::DatabaseLocation &location() const;

    // A new record's id (a UUID as text).
    static QString newId();

    // Queues making the record `id`.  `done` gets the engine's answer
    // later; it is not called for a write kept at quitting.
    void insert(const QString &id, const QVariantMap &values, Done done = {});
    // Queues setting fields of the record `id`, after everything queued
    // before.  A record whose insert was refused gets false with the reason.
    void update(const QString &id, const QVariantMap &values, Done done = {});
    // Reads, after the writes queued before, the records of `workstation`
    // whose run or abort has not told its exit status yet.
    void readUnfinished(const QString &workstation,
                        std::function<void(bool ok, const Records &records, const QString &error)> done);

    // The insert of `id` was refused: it names no record.
    bool refused(const QString &id) const;
    bool isBusy() const;   // a write or read is queued or running

    // "launch": the kind of this recorder's writes kept at quitting.  The
    // handler that stores them at the next start is registered here, once,
    // before the logbook is first opened.
    static QString keptKind();
    static void registerKeptHandler();

Q_SIGNALS:
    // A write to the record `id` landed.
    void changed(const QString &id);

private:
    enum class Op { Insert, Update };
    void write(Op op, const QString &id, const QVariantMap &values, Done done);

    logbook::DatabaseLocation m_where;
    std::chrono::milliseconds m_deadline;
    std::unique_ptr<logbook::LogbookClient> m_client;
    QSet<QString> m_refused;
};

} // namespace bravik::launch
