#include "DayChart.h"

namespace bravik::ops {

QString DayPoint::label() const
{
    return when.toUTC().toString(QStringLiteral("HH:mm"));
}

QString DayPoint::listText() const
{
    return QStringLiteral("%1  %2: %3").arg(label(), kind, summary);
}

QString DayChart::statusText() const
{
    auto count = [](qsizetype n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString text = QStringLiteral("%1: %2, %3").arg(span.text(), count(points.size(), "position", "positions"),
                                                    count(launchTracks, "launch track", "launch tracks"));
    QStringList notes;
    if (withoutPosition > 0)
        notes << count(withoutPosition, "entry without a position", "entries without a position");
    if (launchesWithoutTrack > 0)
        notes << count(launchesWithoutTrack, "launch without a track to draw (no reviewed script or no position)",
                       "launches without a track to draw (no reviewed script or no position)");
    if (!notes.isEmpty())
        text += QStringLiteral("; ") + notes.join(QStringLiteral(", "));
    return text + QLatin1Char('.');
}

std::optional<mission::MissionCheck> reviewLaunch(const logbook::launchlog::Record &launch,
                                                  const mission::VehicleLimits &limits)
{
    const QString text = launch.text(QStringLiteral("ReviewedText"));
    if (text.trimmed().isEmpty())
        return std::nullopt;
    std::optional<mission::GeoPosition> start;
    if (const std::optional<GeoFix> fix = fixFromText(launch.text(QStringLiteral("Position"))))
        start = mission::GeoPosition{fix->latitude, fix->longitude};
    return mission::checkMissionBytes(text.toUtf8(), limits, start);
}

DayChart buildDayChart(const Timeline &timeline, const mission::VehicleLimits &limits)
{
    DayChart day;
    day.span = timeline.span;
    QList<chart::ChartTrack> tracks;
    QList<chart::ChartMark> trackMarks;
    for (const TimelineLine &l : timeline.lines) {
        if (l.voided || !l.hasTime())
            continue;
        if (l.isLaunch()) {
            const std::optional<mission::MissionCheck> check = reviewLaunch(l.launch, limits);
            const chart::ChartData drawn = check ? mission::chartData(*check) : chart::ChartData();
            // A track with no place on the earth cannot be drawn on a chart.
            if (!drawn.geographic || drawn.tracks.isEmpty()) {
                ++day.launchesWithoutTrack;
            } else {
                ++day.launchTracks;
                tracks << drawn.tracks;
                // The launch's own point marks the start.
                for (const chart::ChartMark &m : drawn.marks)
                    if (m.kind != chart::ChartMark::Kind::Start)
                        trackMarks << m;
            }
        }
        if (!l.position) {
            day.withoutPosition += l.isLaunch() ? 0 : 1;
            continue;
        }
        DayPoint p;
        p.table = l.table;
        p.key = l.key;
        p.missionKey = l.missionKey;
        p.when = l.time.when;
        p.kind = l.kind;
        p.summary = l.summary;
        p.position = *l.position;
        day.points << p;
    }
    for (int i = 0; i < day.points.size(); ++i) {
        const DayPoint &p = day.points.at(i);
        chart::ChartMark m;
        m.kind = p.isLaunch() ? chart::ChartMark::Kind::Start : chart::ChartMark::Kind::Point;
        m.position = {p.position.latitude, p.position.longitude};
        m.label = p.label();
        m.toolTip = p.listText();
        m.id = i;
        day.data.marks << m;
    }
    day.data.marks << trackMarks;
    day.data.tracks = tracks;
    return day;
}

std::optional<DayChart> readDayChart(logbook::Database &db, const TimeSpan &span, const ClockFormat &clock,
                                     const mission::VehicleLimits &limits, const ReadSteps &steps, QString *error)
{
    const std::optional<Timeline> timeline = readTimeline(db, span, clock, steps, error);
    if (!timeline)
        return std::nullopt;
    return buildDayChart(*timeline, limits);
}

} // namespace bravik::ops
