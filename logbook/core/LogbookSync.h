#pragma once

// Store and forward: a logbook file that the windows always work on, kept
// in step with a shared logbook on a server in the background.
//
// An exchange merges the file into the server and the server into a copy
// of it beside the file (the file's ".shared-…" companion: what the server
// held when they last met), as one long job of the server's logbook
// service; then that copy into the file, as one long job of the file's.
// Each merge is one transaction on the logbook it merges into and finds
// entries by their EntryId, so an exchange cut at any moment loses nothing
// and, run again, adds nothing twice.  The file is never held while the
// network is waited for: a window's store never waits for the server.
//
// Exchanges run at start, every interval and on syncNow(); one at a time.

#include "Database.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace bravik::logbook {

// Where the file stands with the server, for the main window's line.
struct SyncStatus
{
    QDateTime agreedAtUtc;           // when they last exchanged everything both ways; invalid: never
    QDateTime unreachableSinceUtc;   // since when no exchange got through; invalid: the last one did
    qint64 waiting = 0;              // entries and history rows made or changed here, not on the server yet
    qint64 conflicts = 0;            // fields changed on two computers, not settled
    QString lastError;               // why the last exchange did not get through

    // "Shared logbook: up to date (14:02 UTC)", "Shared logbook: 12 changes
    // waiting to be sent; server not reachable since 13:40 UTC".  A time
    // of another day than `nowUtc` carries its date.
    QString text(const QDateTime &nowUtc = QDateTime::currentDateTimeUtc()) const;
    // "2 conflicts to settle"; empty when there are none.
    QString conflictsText() const;
};

class LogbookSync : public QObject
{
    Q_OBJECT
public:
    // `local` is a logbook file; `server` any logbook (the program gives a
    // PostgreSQL server).  Nothing happens before start().
    LogbookSync(const DatabaseLocation &local, const DatabaseLocation &server, std::chrono::milliseconds interval,
                QObject *parent = nullptr);
    ~LogbookSync() override;

    // The program's own (the first one made that still exists), or nullptr
    // when no shared server is set.
    static LogbookSync *current();

    // The copy of the server's entries beside the file.
    static QString mirrorPath(const DatabaseLocation &local, const DatabaseLocation &server);

    // Reads the state kept in the file, then exchanges at once and every
    // interval.
    void start();
    // An exchange now; during one, another right after it.
    void syncNow();

    const SyncStatus &status() const;

Q_SIGNALS:
    void statusChanged();
    // An exchange ended: through both ways, or not (status() says why).
    void exchanged(bool ok);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
