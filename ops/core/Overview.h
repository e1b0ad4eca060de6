#pragma once

// What the operations window shows for a span, read in one go: the
// timeline, the battery packs (charges up to the span's end) and what needs
// attention, judged at the span's end or now.

#include "Attention.h"
#include "BatteryPacks.h"
#include "Timeline.h"

namespace bravik::ops {

struct Overview
{
    Timeline timeline;
    PackOverview packs;
    QList<AttentionItem> attention;
    QDateTime judgedAt;
};

// No value when the engine refused (error) or the read was stopped (error
// empty).
std::optional<Overview> readOverview(logbook::Database &db, const TimeSpan &span, const Thresholds &thresholds,
                                     const ClockFormat &clock, const QDateTime &now, const ReadSteps &steps,
                                     QString *error);

} // namespace bravik::ops
