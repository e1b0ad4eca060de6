#include "EarlierRun.h"

#include "LaunchLog.h"
#include "LogbookService.h"

#include <QDateTime>

namespace bravik::launch {

namespace ll = logbook::launchlog;

namespace {

// "2026-05-02T09:14:07Z" -> "2026-05-02 09:14 UTC"; other texts as they are.
QString whenText(const QString &iso)
{
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(" UTC") : iso;
}

} // namespace

EarlierRun latestRun(logbook::Database &db, const QString &missionPath)
{
    ll::Record record;
    bool found = false;
    QString error;
    if (!ll::latestOfFileName(db, ll::fileNameOf(missionPath), &record, &found, &error))
        return EarlierRun::notAvailable(error);
    if (!found)
        return EarlierRun::notRunBefore();
    const QVariant text = record.values.value(QStringLiteral("ReviewedText"));
    if (!text.isValid())
        return EarlierRun::notAvailable(QStringLiteral("the launch record of that run keeps no reviewed text."));
    QString when = record.text(QStringLiteral("ReviewedAtUtc"));
    if (when.isEmpty())
        when = record.text(QStringLiteral("StartedAtUtc"));
    return EarlierRun::found({text.toString(), record.text(QStringLiteral("Reviewer")), whenText(when)});
}

void readLatestRun(logbook::LogbookClient &client, const QString &missionPath, std::chrono::milliseconds deadline,
                   std::function<void(const EarlierRun &)> done)
{
    logbook::JobOptions options;
    options.deadline = deadline;
    client.run(
        options, [missionPath](logbook::JobContext &c) { return latestRun(c.database(), missionPath); },
        [done](const logbook::Answer<EarlierRun> &a) {
            if (done)
                done(a.status == logbook::JobStatus::Done ? a.value : EarlierRun::notAvailable(a.error));
        });
}

} // namespace bravik::launch
