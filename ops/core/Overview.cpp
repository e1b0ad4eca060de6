#include "Overview.h"

namespace bravik::ops {

std::optional<Overview> readOverview(logbook::Database &db, const TimeSpan &span, const Thresholds &thresholds,
                                     const ClockFormat &clock, const QDateTime &now, const ReadSteps &steps,
                                     QString *error)
{
    auto part = [&steps](double from, double to) {
        return ReadSteps{steps.stopRequested, [&steps, from, to](double s) { steps.tell(from + s * (to - from)); }};
    };
    Overview o;
    std::optional<Timeline> timeline = readTimeline(db, span, clock, part(0.0, 0.6), error);
    if (!timeline)
        return std::nullopt;
    o.timeline = std::move(*timeline);
    std::optional<PackOverview> packs = readPacks(db, clock, span.until, part(0.6, 0.85), error);
    if (!packs)
        return std::nullopt;
    o.packs = std::move(*packs);
    std::optional<QList<AttentionItem>> attention =
        readAttention(db, span, thresholds, clock, now, &o.packs, &o.timeline, part(0.85, 1.0), error);
    if (!attention)
        return std::nullopt;
    o.attention = std::move(*attention);
    o.judgedAt = judgedAt(span, now);
    return o;
}

} // namespace bravik::ops
