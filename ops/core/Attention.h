#pragma once

// What a crew lead must act on, judged at the end of the span shown (or
// now, when the span reaches past now): packs not charged within
// `[attention] chargeHours` since their last charge, tasks without a
// completion date older than `[attention] openTaskDays`, no complete
// predive checklist within `[launch] requirePredive` hours (12 when it is
// unset), and launches in the span whose run ended with a status other
// than 0, never started, or were aborted.  Each item names the entry that
// opens it.

#include "BatteryPacks.h"
#include "PrediveGate.h"
#include "Timeline.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace bravik::ops {

struct Thresholds
{
    double chargeHours = 24.0;
    double openTaskDays = 7.0;
    double prediveHours = 12.0;
};

struct AttentionItem
{
    enum class Rule { PackNotCharged, OpenTask, Predive, Launch };
    Rule rule = Rule::Launch;
    QString text;
    QString table;       // what it opens: an entry's table, or "LaunchRecord"
    qint64 key = -1;     // -1: nothing to open
    QDateTime since;     // when it began (the last charge, the task, the launch)
};

// The moment the rules judge at for a span.
QDateTime judgedAt(const TimeSpan &span, const QDateTime &now);

QList<AttentionItem> packAttention(const PackOverview &packs, const QDateTime &at, double chargeHours);
QList<AttentionItem> taskAttention(const QList<logbook::operations::StoredEntry> &openTasks, const QDateTime &at,
                                   double openTaskDays, const ClockFormat &clock);
// From the predive verdict at `at` with `hours`.
std::optional<AttentionItem> prediveAttention(const launch::predive::GateAnswer &answer, const QDateTime &at,
                                              double hours);
QList<AttentionItem> launchAttention(const Timeline &timeline);

// "30 hours", "1.5 hours", "9 days".
QString ageText(qint64 seconds);

// Reads what the rules need and applies them all.  `packs` and `timeline`,
// when given, are the span's own (read already); otherwise they are read
// here.  No value when the engine refused (error) or the read was stopped.
std::optional<QList<AttentionItem>> readAttention(logbook::Database &db, const TimeSpan &span,
                                                  const Thresholds &thresholds, const ClockFormat &clock,
                                                  const QDateTime &now, const PackOverview *packs,
                                                  const Timeline *timeline, const ReadSteps &steps, QString *error);

} // namespace bravik::ops
