#include "PrediveGate.h"

#include "Dialect.h"
#include "NativeHandle.h"
#include "RecordFront.h"
#include "Schema.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QtNumeric>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace bravik::logbook::predive {

namespace {

const QString kTable = QStringLiteral("Predive");

// How many of the latest stamped checklists one check reads: the latest
// decides, the others stand in for rows that cannot.
constexpr int kLatestRows = 20;

QString whenText(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(" UTC");
}

QString byText(const Checklist &row)
{
    const QString who = row.submittedBy.trimmed();
    return who.isEmpty() ? QString() : QStringLiteral(", by ") + who;
}

QString agoText(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("just now");
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 90)
        return minutes == 1 ? QStringLiteral("1 minute ago") : QStringLiteral("%1 minutes ago").arg(minutes);
    const double hours = double(seconds) / 3600.0;
    if (hours < 48)
        return QStringLiteral("%1 hours ago").arg(QString::number(hours, 'f', hours < 10 ? 1 : 0));
    return QStringLiteral("%1 days ago").arg(qint64(hours / 24.0));
}

const QString kHowTo = QStringLiteral("(log entry category \"Vehicle Predive\")");

// The stamp as the submission writes it; anything else is no stamp.
QDateTime stampFrom(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(\\.\\d+)?Z$"));
    if (!form.match(text).hasMatch())
        return {};
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!t.isValid())
        return {};
    return t.toUTC();
}

GateAnswer unreadable(const QString &reason)
{
    GateAnswer a;
    a.verdict = GateAnswer::Verdict::Unreadable;
    a.message = QStringLiteral("The predive checklist could not be read from the logbook, so the mission was not "
                               "started.\n%1")
                    .arg(reason.trimmed().isEmpty() ? QStringLiteral("The logbook gave no reason.") : reason.trimmed());
    return a;
}

// Cancels the statement on `db` when it runs longer than `limit`.
class Watchdog
{
public:
    Watchdog(const QSqlDatabase &db, std::chrono::milliseconds limit)
        : m_canceller(native::cancellerFor(db))
    {
        if (limit.count() <= 0)
            return;
        m_thread = std::thread([this, limit] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_wake.wait_for(lock, limit, [this] { return m_finished; })) {
                m_fired = true;
                lock.unlock();
                if (m_canceller)
                    m_canceller->cancel();
            }
        });
    }
    ~Watchdog() { finish(); }
    // True when the statement ran out of time.
    bool finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        if (m_canceller)
            m_canceller->forget();
        return m_fired;
    }

private:
    std::shared_ptr<native::Canceller> m_canceller;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false;
    bool m_fired = false;
    std::thread m_thread;
};

} // namespace

QStringList requiredChecks()
{
    QStringList out;
    const TableDef *def = findTable(kTable);
    if (!def)
        return out;
    for (const QString &field : def->fields)
        if (def->isBoolean(field)
            && (field.endsWith(QLatin1String("Operational")) || field.endsWith(QLatin1String("Valid"))))
            out << field;
    return out;
}

QString checkCaption(const QString &field)
{
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (i > 0 && field.at(i).isUpper() && field.at(i - 1).isLower())
            out += QLatin1Char(' ');
        out += field.at(i);
    }
    return out;
}

bool countsForGate(const Checklist &row)
{
    return row.stampedAt.isValid();
}

QString hoursText(double hours)
{
    return hours == 1.0 ? QStringLiteral("1 hour") : QStringLiteral("%1 hours").arg(QString::number(hours, 'g', 6));
}

GateAnswer check(Database &db, double hours, const QDateTime &now, std::chrono::milliseconds statementTimeout)
{
    GateAnswer answer;
    if (!(hours > 0.0) || !qIsFinite(hours))
        return answer;

    const QDateTime nowUtc = now.toUTC();
    // A window longer than any logbook reaches back is the whole logbook.
    const qint64 windowSeconds = hours * 3600.0 > 1e11 ? qint64(1e11) : qint64(hours * 3600.0);
    const QDateTime earliest = nowUtc.addSecs(-windowSeconds);
    const QDateTime latestAllowed = nowUtc.addSecs(kClockTolerance.count());

    const QStringList checks = requiredChecks();
    QStringList columns{Dialect::quote(keyColumn()), Dialect::quote(stampedAtColumn()),
                        Dialect::quote(QStringLiteral("SubmittedBy"))};
    for (const QString &c : checks)
        columns << Dialect::quote(c);
    const QString stamp = Dialect::quote(stampedAtColumn());
    // A voided checklist was withdrawn: it is not looked at at all.
    const QString notVoided = QStringLiteral("NOT COALESCE(%1, %2)")
                                  .arg(Dialect::quote(voidedColumn()), db.dialect().booleanDefault);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? AND %3 <= ? AND %6 ORDER BY %3 DESC, %4 DESC LIMIT %5")
                            .arg(columns.join(QStringLiteral(", ")), Dialect::quote(kTable), stamp,
                                 Dialect::quote(keyColumn()))
                            .arg(kLatestRows)
                            .arg(notVoided);

    std::optional<Checklist> latest;
    {
        // A server prepares the statement too, which waits for the table as
        // the query itself does.
        Watchdog watchdog(db.connection(), statementTimeout);
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        bool ok = q.prepare(sql);
        if (ok) {
            q.bindValue(0, QString(QLatin1String("")));
            q.bindValue(1, latestAllowed.toString(Qt::ISODate));
            ok = q.exec();
        }
        QSqlError failure = q.lastError();
        while (ok && !latest && q.next()) {
            Checklist row;
            row.key = q.value(0).toLongLong();
            row.stampedAt = stampFrom(q.value(1).toString());
            row.submittedBy = q.value(2).toString();
            for (int i = 0; i < checks.size(); ++i)
                if (!q.value(3 + i).toBool())
                    row.unticked << checkCaption(checks.at(i));
            std::sort(row.unticked.begin(), row.unticked.end());
            if (countsForGate(row))
                latest = row;
        }
        if (ok && q.lastError().isValid()) {
            ok = false;
            failure = q.lastError();
        }
        if (watchdog.finish())
            return unreadable(QStringLiteral("The logbook did not answer within %1 s.")
                                  .arg(double(statementTimeout.count()) / 1000.0));
        if (!ok)
            return unreadable(db.failureText(failure));
    }

    const QString window = hoursText(hours);
    if (!latest) {
        answer.verdict = GateAnswer::Verdict::Refused;
        answer.message = QStringLiteral("No predive checklist was stored in the last %1. Complete the predive "
                                        "checklist %2 before running the mission.")
                             .arg(window, kHowTo);
        return answer;
    }
    if (latest->stampedAt < earliest) {
        answer.latest = latest;
        answer.verdict = GateAnswer::Verdict::Refused;
        answer.message = QStringLiteral("No predive checklist was stored in the last %1: the latest is from %2%3, "
                                        "%4. Complete a new predive checklist %5 before running the mission.")
                             .arg(window, whenText(latest->stampedAt), byText(*latest),
                                  agoText(latest->stampedAt.secsTo(nowUtc)), kHowTo);
        return answer;
    }
    answer.latest = latest;
    if (!latest->unticked.isEmpty()) {
        answer.verdict = GateAnswer::Verdict::Refused;
        answer.message = QStringLiteral("The latest predive checklist (%1%2) has %3 not ticked: %4.\n"
                                        "Tick %5 in that checklist once %6 checked, or complete a new one, then "
                                        "run the mission again.")
                             .arg(whenText(latest->stampedAt), byText(*latest),
                                  latest->unticked.size() == 1 ? QStringLiteral("this") : QStringLiteral("these"),
                                  latest->unticked.join(QStringLiteral(", ")),
                                  latest->unticked.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"),
                                  latest->unticked.size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
        return answer;
    }
    answer.verdict = GateAnswer::Verdict::Passed;
    return answer;
}

GateAnswer check(const DatabaseLocation &where, double hours, const QDateTime &now,
                 std::chrono::milliseconds statementTimeout)
{
    if (!(hours > 0.0) || !qIsFinite(hours))
        return {};
    QString error;
    std::unique_ptr<Database> db = Database::open(where, &error);
    if (!db)
        return unreadable(error);
    return check(*db, hours, now, statementTimeout);
}

void checkInBackground(const DatabaseLocation &where, double hours, const QDateTime &now,
                       std::chrono::milliseconds statementTimeout, QObject *context,
                       std::function<void(const GateAnswer &)> done)
{
    auto answer = std::make_shared<GateAnswer>();
    RecordFront::runInBackground(
        QStringLiteral("predive check"), context,
        [answer, where, hours, now, statementTimeout] { *answer = check(where, hours, now, statementTimeout); },
        [answer, done = std::move(done)] {
            if (done)
                done(*answer);
        });
}

} // namespace bravik::logbook::predive
