#include "LogbookSync.h"

#include "LogbookMerge.h"
#include "LogbookService.h"
#include "Schema.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QTimer>

namespace bravik::logbook {

namespace {

// The most entries changed by one exchange that are announced one by one.
constexpr qsizetype kAnnouncedAtMost = 1000;

QList<LogbookSync *> &instances()
{
    static QList<LogbookSync *> all;
    return all;
}

// Now, to the whole second, as the file keeps it.
QDateTime nowUtc()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return now.addMSecs(-now.time().msec());
}

QString isoUtc(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QDateTime fromIso(const QVariant &v)
{
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
    if (t.isValid())
        t = t.toUTC();
    return t;
}

// "14:02 UTC" on the day of `now`, "2026-12-08 14:02 UTC" on another.
QString when(const QDateTime &t, const QDateTime &now)
{
    const QDateTime u = t.toUTC();
    return u.toString(u.date() == now.toUTC().date() ? QStringLiteral("HH:mm") : QStringLiteral("yyyy-MM-dd HH:mm"))
           + QStringLiteral(" UTC");
}

// What an exchange with the server got through.
struct Exchange
{
    bool sent = false;       // the file merged into the server
    bool received = false;   // the server merged into the copy beside the file
    bool stale = false;      // the server's connection was found broken before anything was sent
    QString error;
};

// What the file's own job is to record of the exchange before it.
struct Outcome
{
    bool record = false;          // nothing to record: only the counts are read
    bool reached = false;         // the server answered the whole exchange
    bool mergeCopy = false;       // the copy of the server is to be merged into the file
    QDateTime attemptedAtUtc;     // when the exchange began
    QString error;
};

bool failed(Database &db, const QSqlQuery &q, QString *error)
{
    *error = db.failureText(q.lastError());
    return false;
}

// Every EntryId of the eight tables and the edit history of a logbook.
bool entryIds(Database &db, QSet<QString> *ids, QString *error)
{
    for (const TableDef &t : schema() + QList<TableDef>{TableDef{historyTable(), {}, {}, true, {}}}) {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2").arg(Dialect::quote(entryIdColumn()), Dialect::quote(t.name))))
            return failed(db, q, error);
        while (q.next())
            ids->insert(q.value(0).toString());
    }
    return true;
}

// The file's job after an exchange (or alone, to count): merges the copy
// of the server into it, records the outcome in SyncState and counts what
// waits and what conflicts.
std::optional<SyncStatus> settle(JobContext &c, const DatabaseLocation &mirror, const QString &server, Outcome outcome,
                                 QString *error, QList<std::pair<QString, qint64>> *changedEntries = nullptr)
{
    Database &db = c.database();
    const auto no = [&](const QSqlQuery &q) -> std::optional<SyncStatus> {
        failed(db, q, error);
        return std::nullopt;
    };
    QDateTime agreedNow;
    if (outcome.mergeCopy) {
        QString why;
        Database *copy = c.otherDatabase(mirror, &why);
        MergeSummary summary;
        const bool entries = copy && mergeLogbook(*copy, db, &summary, &why, MergeParts::Entries);
        if (entries && changedEntries)
            *changedEntries = std::move(summary.changedEntries);
        if (entries && mergeLogbook(*copy, db, &summary, &why, MergeParts::Attachments)) {
            agreedNow = nowUtc();
        } else {
            outcome.error = QStringLiteral("The copy of the shared logbook could not be brought into this one: %1").arg(why);
        }
    }
    SyncStatus status;
    const QString table = Dialect::quote(syncStateTable());
    bool held = false;
    {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT \"AgreedAtUtc\", \"UnreachableSinceUtc\", \"LastError\" FROM %1 WHERE \"Server\" = ?").arg(table)))
            return no(q);
        q.bindValue(0, server);
        if (!q.exec())
            return no(q);
        if ((held = q.next())) {
            status.agreedAtUtc = fromIso(q.value(0));
            status.unreachableSinceUtc = fromIso(q.value(1));
            status.lastError = q.value(2).toString();
        }
    }
    if (outcome.record) {
        if (agreedNow.isValid())
            status.agreedAtUtc = agreedNow;
        if (outcome.reached)
            status.unreachableSinceUtc = QDateTime();
        else if (!status.unreachableSinceUtc.isValid())
            status.unreachableSinceUtc = outcome.attemptedAtUtc;
        status.lastError = outcome.error;
        QSqlQuery q(db.connection());
        const QString sql = held ? QStringLiteral("UPDATE %1 SET \"AgreedAtUtc\" = ?, \"UnreachableSinceUtc\" = ?, \"LastError\" = ? "
                                                  "WHERE \"Server\" = ?")
                                 : QStringLiteral("INSERT INTO %1 (\"AgreedAtUtc\", \"UnreachableSinceUtc\", \"LastError\", \"Server\") "
                                                  "VALUES (?, ?, ?, ?)");
        if (!q.prepare(sql.arg(table)))
            return no(q);
        const QVariant none(QMetaType::fromType<QString>());
        q.bindValue(0, status.agreedAtUtc.isValid() ? QVariant(isoUtc(status.agreedAtUtc)) : none);
        q.bindValue(1, status.unreachableSinceUtc.isValid() ? QVariant(isoUtc(status.unreachableSinceUtc)) : none);
        q.bindValue(2, status.lastError.isEmpty() ? none : QVariant(status.lastError));
        q.bindValue(3, server);
        if (!q.exec())
            return no(q);
    }
    {
        QSqlQuery q(db.connection());
        if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE \"SettledAtUtc\" IS NULL OR \"SettledAtUtc\" = ''")
                        .arg(Dialect::quote(mergeConflictTable())))
            || !q.next())
            return no(q);
        status.conflicts = q.value(0).toLongLong();
    }
    // What waits: the entries and history rows here that the copy of the
    // server does not hold.
    QString why;
    Database *copy = c.otherDatabase(mirror, &why);
    QSet<QString> there, here;
    if (!copy || !entryIds(*copy, &there, &why) || !entryIds(db, &here, &why)) {
        *error = why;
        return std::nullopt;
    }
    for (const QString &id : std::as_const(here))
        status.waiting += there.contains(id) ? 0 : 1;
    return status;
}

JobOptions longJob()
{
    JobOptions options;
    options.lane = JobOptions::Lane::Long;
    return options;
}

} // namespace

QString SyncStatus::text(const QDateTime &nowUtc) const
{
    const QString waits = waiting == 0   ? QStringLiteral("nothing waiting to be sent")
                          : waiting == 1 ? QStringLiteral("1 change waiting to be sent")
                                         : QStringLiteral("%1 changes waiting to be sent").arg(waiting);
    if (unreachableSinceUtc.isValid())
        return QStringLiteral("Shared logbook: %1; server not reachable since %2").arg(waits, when(unreachableSinceUtc, nowUtc));
    if (waiting > 0)
        return QStringLiteral("Shared logbook: ") + waits;
    if (agreedAtUtc.isValid())
        return QStringLiteral("Shared logbook: up to date (%1)").arg(when(agreedAtUtc, nowUtc));
    return QStringLiteral("Shared logbook: not reached yet");
}

QString SyncStatus::conflictsText() const
{
    if (conflicts <= 0)
        return {};
    return conflicts == 1 ? QStringLiteral("1 conflict to settle") : QStringLiteral("%1 conflicts to settle").arg(conflicts);
}

struct LogbookSync::Private
{
    LogbookSync *q = nullptr;
    DatabaseLocation local, server, mirror;
    std::unique_ptr<LogbookClient> serverClient, localClient;
    QTimer every, overdue, recount;
    bool started = false;
    bool exchanging = false, again = false;
    int staleRetries = 0;
    bool counting = false, countAgain = false;
    QDateTime startedUtc;
    SyncStatus status;

    void exchange();
    void exchanged(const Answer<Exchange> &a);
    void settleAfter(const Outcome &outcome);
    void count();
    void take(const Answer<std::optional<SyncStatus>> &a, const QString &error);
};

LogbookSync::LogbookSync(const DatabaseLocation &local, const DatabaseLocation &server, std::chrono::milliseconds interval,
                         QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
    d->local = local;
    d->server = server;
    d->mirror = {QStringLiteral("QSQLITE"), mirrorPath(local, server)};
    d->every.setInterval(int(std::max<qint64>(1000, interval.count())));
    connect(&d->every, &QTimer::timeout, this, [this] { d->exchange(); });
    // An exchange that has not answered within the engine's own wait is
    // said to wait for the server, while it goes on.
    d->overdue.setSingleShot(true);
    connect(&d->overdue, &QTimer::timeout, this, [this] {
        if (d->exchanging && !d->status.unreachableSinceUtc.isValid()) {
            d->status.unreachableSinceUtc = d->startedUtc;
            Q_EMIT statusChanged();
        }
    });
    d->recount.setSingleShot(true);
    d->recount.setInterval(300);
    connect(&d->recount, &QTimer::timeout, this, [this] { d->count(); });
    instances().append(this);
}

LogbookSync::~LogbookSync()
{
    instances().removeAll(this);
}

LogbookSync *LogbookSync::current()
{
    return instances().isEmpty() ? nullptr : instances().first();
}

QString LogbookSync::mirrorPath(const DatabaseLocation &local, const DatabaseLocation &server)
{
    const QByteArray id = QCryptographicHash::hash((server.driver + QLatin1Char('\n') + server.location).toUtf8(),
                                                   QCryptographicHash::Sha1)
                              .toHex()
                              .left(12);
    return QFileInfo(local.location).absoluteFilePath() + QStringLiteral(".shared-") + QString::fromLatin1(id);
}

void LogbookSync::start()
{
    if (d->started)
        return;
    d->started = true;
    d->serverClient = std::make_unique<LogbookClient>(d->server);
    d->localClient = std::make_unique<LogbookClient>(d->local);
    // An entry stored here changes what waits.
    connect(&LogbookService::at(d->local), &LogbookService::changed, this, [this] { d->recount.start(); });
    d->count();
    d->exchange();
    d->every.start();
}

void LogbookSync::syncNow()
{
    if (!d->started)
        start();
    else
        d->exchange();
}

const SyncStatus &LogbookSync::status() const { return d->status; }

void LogbookSync::Private::exchange()
{
    if (exchanging) {
        again = true;
        return;
    }
    exchanging = true;
    again = false;
    startedUtc = nowUtc();
    const auto wait = LogbookService::statementTimeout();
    overdue.start(int(wait.count() > 0 ? wait.count() : 20000));
    const DatabaseLocation from = local, copy = mirror;
    serverClient->run(
        longJob(),
        [from, copy](JobContext &c) {
            // The file into the server, then the server into the copy
            // beside the file; each one transaction on the logbook merged
            // into.
            Exchange r;
            MergeSummary summary;
            // The entries go first, each way, and the attachments after
            // them, so a thin link brings the text before the files.
            Database *file = c.otherDatabase(from, &r.error);
            if (!file || !mergeLogbook(*file, c.database(), &summary, &r.error, MergeParts::Entries)
                || !mergeLogbook(*file, c.database(), &summary, &r.error, MergeParts::Attachments)) {
                r.stale = c.database().isBroken();
                return r;
            }
            r.sent = true;
            Database *mirrored = c.otherDatabase(copy, &r.error);
            if (!mirrored || !mergeLogbook(c.database(), *mirrored, &summary, &r.error, MergeParts::Entries)
                || !mergeLogbook(c.database(), *mirrored, &summary, &r.error, MergeParts::Attachments))
                return r;
            r.received = true;
            return r;
        },
        [this](const Answer<Exchange> &a) { exchanged(a); });
}

void LogbookSync::Private::exchanged(const Answer<Exchange> &a)
{
    // A connection kept from before the server went away is found broken
    // only when used: the exchange is made again on a new one (each of the
    // lane's threads may hold such a connection).
    if (a.ok() && a.value.stale && staleRetries < 2) {
        ++staleRetries;
        exchanging = false;
        const QDateTime began = startedUtc;
        const bool wanted = again;
        exchange();
        startedUtc = began;
        again = wanted;
        return;
    }
    staleRetries = 0;
    overdue.stop();
    Outcome outcome;
    outcome.record = true;
    outcome.attemptedAtUtc = startedUtc;
    outcome.reached = a.ok() && a.value.received;
    outcome.mergeCopy = outcome.reached;
    outcome.error = !a.ok() ? a.error : a.value.error;
    settleAfter(outcome);
}

void LogbookSync::Private::settleAfter(const Outcome &outcome)
{
    const DatabaseLocation copy = mirror;
    const QString name = server.location;
    auto error = std::make_shared<QString>();
    auto changed = std::make_shared<QList<std::pair<QString, qint64>>>();
    localClient->run(
        longJob(),
        [copy, name, outcome, error, changed](JobContext &c) { return settle(c, copy, name, outcome, error.get(), changed.get()); },
        [this, error, changed, outcome](const Answer<std::optional<SyncStatus>> &a) {
            exchanging = false;
            // The entries that took changes from the server, for a list
            // showing them; a great many (a first exchange after long
            // apart) are left for the next search.
            if (a.ok() && changed->size() <= kAnnouncedAtMost) {
                for (const auto &[table, key] : std::as_const(*changed))
                    localClient->service().announceChanged(table, key);
            }
            take(a, *error);
            Q_EMIT q->exchanged(outcome.reached && a.ok() && a.value && status.lastError.isEmpty());
            if (again)
                exchange();
        });
}

void LogbookSync::Private::count()
{
    if (counting) {
        countAgain = true;
        return;
    }
    counting = true;
    countAgain = false;
    const DatabaseLocation copy = mirror;
    const QString name = server.location;
    auto error = std::make_shared<QString>();
    localClient->run(
        longJob(), [copy, name, error](JobContext &c) { return settle(c, copy, name, Outcome{}, error.get()); },
        [this, error](const Answer<std::optional<SyncStatus>> &a) {
            counting = false;
            take(a, *error);
            if (countAgain)
                count();
        });
}

void LogbookSync::Private::take(const Answer<std::optional<SyncStatus>> &a, const QString &error)
{
    if (a.ok() && a.value) {
        SyncStatus next = *a.value;
        // An exchange under way that has waited too long still waits.
        if (exchanging && !next.unreachableSinceUtc.isValid() && status.unreachableSinceUtc.isValid() && !overdue.isActive())
            next.unreachableSinceUtc = status.unreachableSinceUtc;
        status = next;
    } else {
        status.lastError = !a.ok() ? a.error : error;
    }
    Q_EMIT q->statusChanged();
}

} // namespace bravik::logbook
