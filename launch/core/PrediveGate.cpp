#include "PrediveGate.h"

#include "LogbookService.h"
#include "PrediveLog.h"
#include "Schema.h"

#include <QRegularExpression>
#include <QtNumeric>
#include <algorithm>

namespace bravik::launch::predive {

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

bool isOn(double hours)
{
    return hours > 0.0 && qIsFinite(hours);
}

// The verdict on the latest checklists read.
GateAnswer judge(const QList<logbook::predivelog::StoredChecklist> &rows, double hours, const QDateTime &nowUtc)
{
    const QStringList checks = requiredChecks();
    std::optional<Checklist> latest;
    for (const auto &stored : rows) {
        Checklist row;
        row.key = stored.key;
        row.stampedAt = stampFrom(stored.stampedAt);
        row.submittedBy = stored.submittedBy;
        for (int i = 0; i < checks.size() && i < stored.ticked.size(); ++i)
            if (!stored.ticked.at(i))
                row.unticked << checkCaption(checks.at(i));
        std::sort(row.unticked.begin(), row.unticked.end());
        if (countsForGate(row)) {
            latest = row;
            break;
        }
    }

    // A window longer than any logbook reaches back is the whole logbook.
    const qint64 windowSeconds = hours * 3600.0 > 1e11 ? qint64(1e11) : qint64(hours * 3600.0);
    const QDateTime earliest = nowUtc.addSecs(-windowSeconds);
    const QString window = hoursText(hours);
    GateAnswer answer;
    if (!latest) {
        answer.verdict = GateAnswer::Verdict::Refused;
        answer.message = QStringLiteral("No predive checklist was stored in the last %1. Complete the predive "
                                        "checklist %2 before running the mission.")
                             .arg(window, kHowTo);
        return answer;
    }
    answer.latest = latest;
    if (latest->stampedAt < earliest) {
        answer.verdict = GateAnswer::Verdict::Refused;
        answer.message = QStringLiteral("No predive checklist was stored in the last %1: the latest is from %2%3, "
                                        "%4. Complete a new predive checklist %5 before running the mission.")
                             .arg(window, whenText(latest->stampedAt), byText(*latest),
                                  agoText(latest->stampedAt.secsTo(nowUtc)), kHowTo);
        return answer;
    }
    if (!latest->unticked.isEmpty()) {
        const bool one = latest->unticked.size() == 1;
        answer.verdict = GateAnswer::Verdict::Refused;
        answer.message = QStringLiteral("The latest predive checklist (%1%2) has %3 not ticked: %4.\n"
                                        "Tick %5 in that checklist once %6 checked, or complete a new one, then "
                                        "run the mission again.")
                             .arg(whenText(latest->stampedAt), byText(*latest),
                                  one ? QStringLiteral("this") : QStringLiteral("these"),
                                  latest->unticked.join(QStringLiteral(", ")),
                                  one ? QStringLiteral("it") : QStringLiteral("them"),
                                  one ? QStringLiteral("it is") : QStringLiteral("they are"));
        return answer;
    }
    answer.verdict = GateAnswer::Verdict::Passed;
    return answer;
}

} // namespace

QStringList requiredChecks()
{
    QStringList out;
    const logbook::TableDef *def = logbook::findTable(kTable);
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

GateAnswer unreadable(const QString &reason)
{
    GateAnswer a;
    a.verdict = GateAnswer::Verdict::Unreadable;
    a.message = QStringLiteral("The predive checklist could not be read from the logbook, so the mission was not "
                               "started.\n%1")
                    .arg(reason.trimmed().isEmpty() ? QStringLiteral("The logbook gave no reason.") : reason.trimmed());
    return a;
}

GateAnswer check(logbook::Database &db, double hours, const QDateTime &now)
{
    if (!isOn(hours))
        return {};
    const QDateTime nowUtc = now.toUTC();
    const QString latestAllowed = nowUtc.addSecs(kClockTolerance.count()).toString(Qt::ISODate);
    QList<logbook::predivelog::StoredChecklist> rows;
    QString error;
    if (!logbook::predivelog::latestStamped(db, requiredChecks(), latestAllowed, kLatestRows, &rows, &error))
        return unreadable(error);
    return judge(rows, hours, nowUtc);
}

void check(logbook::LogbookClient &client, double hours, const QDateTime &now, std::chrono::milliseconds deadline,
           std::function<void(const GateAnswer &)> done)
{
    if (!isOn(hours)) {
        QMetaObject::invokeMethod(&client, [done] { if (done) done(GateAnswer{}); }, Qt::QueuedConnection);
        return;
    }
    logbook::JobOptions options;
    options.deadline = deadline;
    client.run(
        options,
        [hours, now](logbook::JobContext &c) { return check(c.database(), hours, now); },
        [done](const logbook::Answer<GateAnswer> &a) {
            if (!done)
                return;
            // A job ended by its deadline, or a logbook that could not be
            // opened, says so in the service's words.
            done(a.status == logbook::JobStatus::Done ? a.value : unreadable(a.error));
        });
}

} // namespace bravik::launch::predive
