#include "MissionCheck.h"

#include "Coastline.h"
#include "NumberRules.h"
#include "ScriptValue.h"
#include "Settings.h"

#include <QSet>
#include <cmath>
#include <limits>

namespace bravik::mission {

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kAscentSecondsPerMetre = 6.0; // the templates' own rule
constexpr double kSecondsPerMetreDepth = 4.0;  // how fast the pictures let the depth change
constexpr double kShoreMargin = 10000.0;       // distances to the shore are told up to this

QString num(double v)
{
    return formatReal(std::round(v * 1000.0) / 1000.0);
}

bool isText(const QString &kind, const QString &name)
{
    Q_UNUSED(kind);
    return name == QLatin1String("verticalMode") || name == QLatin1String("horizontalMode")
           || name == QLatin1String("abortOnTimeout");
}

QStringList required(const ScriptBlock &b)
{
    const QString &k = b.kind;
    if (k == QLatin1String("setpoint")) {
        QStringList r{QStringLiteral("duration"), QStringLiteral("heading"), QStringLiteral("speed")};
        const QString mode = b.value(QStringLiteral("verticalMode")).value_or(QString());
        if (mode == QLatin1String("depth"))
            r << QStringLiteral("depth");
        else if (mode == QLatin1String("pitch"))
            r << QStringLiteral("pitch");
        return r;
    }
    return knownSettings(k);
}

class Checker
{
public:
    Checker(const MissionScriptModel &m, const VehicleLimits &l, std::optional<GeoPosition> s, const CheckContext &c)
        : model(m), limits(l), start(s), context(c)
    {
    }

    MissionCheck run();

private:
    const MissionScriptModel &model;
    const VehicleLimits &limits;
    std::optional<GeoPosition> start;
    const CheckContext &context;
    MissionCheck r;
    int waypointCount = 0, legCount = 0;
    std::optional<double> envelopeMinAltitude;
    struct LegDepth
    {
        QString name;
        int line = 0;
        double depth = 0.0;
        std::optional<double> minAltitude;
        QString what;
    };
    QList<LegDepth> legDepths;
    int launchLine = 0;

    void checkShoals();
    void checkShore();

    void error(int line, const QString &text, bool limit = false) { r.findings.append({Severity::Error, line, text, limit}); }
    void warning(int line, const QString &text) { r.findings.append({Severity::Warning, line, text, false}); }

    // A setting as a number; no value when missing or not a number (the
    // validation pass has reported it).
    std::optional<double> number(const ScriptBlock &b, const char *name) const
    {
        const ScriptSetting *s = b.setting(QLatin1String(name));
        if (!s)
            return std::nullopt;
        return strictNumber(s->value);
    }
    int lineOf(const ScriptBlock &b, const char *name) const
    {
        const ScriptSetting *s = b.setting(QLatin1String(name));
        return s ? s->line : b.headerLine;
    }

    void validate(const ScriptBlock &b);
    void checkDepth(const ScriptBlock &b, const char *name, double depth, const QString &what);
    void checkSpeed(const ScriptBlock &b, bool leg);
    void checkLegDuration(const ScriptBlock &b, std::optional<double> duration);

    // The run: time, depth, place.
    double t = 0.0;
    double depth = 0.0;
    double east = 0.0, north = 0.0;
    std::optional<GeoPosition> geoOrigin;
    double originEast = 0.0, originNorth = 0.0;
    std::optional<GeoPosition> lastGeo;
    double ascentsAndLaunch = 0.0;
    bool sawAscend = false;
    bool lastGeoIsStart = false;

    void step(double duration, double toDepth, double ramp)
    {
        ProfileStep s;
        s.start = t;
        s.duration = std::max(0.0, duration);
        s.fromDepth = depth;
        s.toDepth = toDepth;
        s.ramp = std::clamp(ramp, 0.0, s.duration);
        r.profile.append(s);
        t += s.duration;
        depth = toDepth;
    }
    void move(double heading, double distance, int leg, int line)
    {
        if (!(distance > 0.0) || !std::isfinite(distance) || !std::isfinite(heading))
            return;
        east += distance * std::sin(heading * kPi / 180.0);
        north += distance * std::cos(heading * kPi / 180.0);
        r.trackLength += distance;
        r.track.append({east, north, false, leg, line});
    }
    void project(const GeoPosition &p, double *e, double *n) const
    {
        const double lat0 = geoOrigin->latitude * kPi / 180.0;
        *e = originEast + (p.longitude - geoOrigin->longitude) * kPi / 180.0 * std::cos(lat0) * kEarthRadius;
        *n = originNorth + (p.latitude - geoOrigin->latitude) * kPi / 180.0 * kEarthRadius;
    }
};

void Checker::validate(const ScriptBlock &b)
{
    for (const QString &name : required(b))
        if (!b.setting(name))
            error(b.headerLine, QStringLiteral("The %1 block has no %2 setting.").arg(b.kind, name));
    QSet<QString> seen;
    for (const ScriptSetting &s : b.settings) {
        if (seen.contains(s.name))
            continue;
        seen.insert(s.name);
        if (!knownSettings(b.kind).contains(s.name))
            continue;
        if (isText(b.kind, s.name)) {
            QStringList allowed;
            if (s.name == QLatin1String("verticalMode"))
                allowed = {QStringLiteral("depth"), QStringLiteral("pitch")};
            else if (s.name == QLatin1String("horizontalMode"))
                allowed = {QStringLiteral("heading"), QStringLiteral("rudder")};
            else
                allowed = {QStringLiteral("True"), QStringLiteral("False")};
            if (!allowed.contains(s.value))
                warning(s.line, QStringLiteral("The %1 of the %2 block is \"%3\"; the templates write %4.")
                                    .arg(s.name, b.kind, s.value, allowed.join(QStringLiteral(" or "))));
            continue;
        }
        const std::optional<double> v = strictNumber(s.value);
        if (!v)
            error(s.line, s.value.isEmpty()
                              ? QStringLiteral("The %1 of the %2 block is empty; the vehicle needs a number there.").arg(s.name, b.kind)
                              : QStringLiteral("The %1 of the %2 block is \"%3\", not a number; the vehicle needs a number there.")
                                    .arg(s.name, b.kind, s.value));
    }
}

void Checker::checkDepth(const ScriptBlock &b, const char *name, double d, const QString &what)
{
    const int line = lineOf(b, name);
    if (d < 0.0)
        warning(line, QStringLiteral("%1 of %2 m is above the surface.").arg(what, num(d)));
    if (r.envelopeMaxDepth && d > *r.envelopeMaxDepth)
        error(line, QStringLiteral("%1 of %2 m is deeper than the depth envelope allows (maxDepth %3 m).")
                        .arg(what, num(d), num(*r.envelopeMaxDepth)));
    if (limits.maxDepth && d > *limits.maxDepth)
        error(line, QStringLiteral("%1 of %2 m is deeper than the vehicle's maximum depth of %3 m.")
                        .arg(what, num(d), num(*limits.maxDepth)),
              true);
    r.deepest = std::max(r.deepest, d);
}

void Checker::checkSpeed(const ScriptBlock &b, bool leg)
{
    const std::optional<double> speed = number(b, "speed");
    if (!speed)
        return;
    const int line = lineOf(b, "speed");
    if (limits.maxSpeed && *speed > *limits.maxSpeed)
        error(line, QStringLiteral("The speed of %1 m/s is above the vehicle's maximum speed of %2 m/s.")
                        .arg(num(*speed), num(*limits.maxSpeed)),
              true);
    else if (*speed > limits.cruiseSpeed)
        warning(line, QStringLiteral("The speed of %1 m/s is above the vehicle's cruise speed of %2 m/s.")
                          .arg(num(*speed), num(limits.cruiseSpeed)));
    if (leg && *speed <= 0.0)
        warning(line, QStringLiteral("The speed of %1 m/s does not move the vehicle.").arg(num(*speed)));
}

void Checker::checkLegDuration(const ScriptBlock &b, std::optional<double> duration)
{
    if (!duration)
        return;
    const int line = lineOf(b, "duration");
    if (*duration < 0.0)
        error(line, QStringLiteral("The duration of %1 s is negative.").arg(num(*duration)));
    else if (*duration == 0.0)
        warning(line, QStringLiteral("This leg lasts 0 s: the vehicle skips it."));
}

void Checker::checkShoals()
{
    if (!context.waterDepth || !(*context.waterDepth > 0.0))
        return;
    const double water = *context.waterDepth;
    for (const LegDepth &l : std::as_const(legDepths)) {
        const double altitude = std::max(0.0, l.minAltitude.value_or(envelopeMinAltitude.value_or(0.0)));
        const double floor = water - altitude;
        if (l.depth > floor)
            error(l.line, QStringLiteral("%1's %2 of %3 m is deeper than the water depth of %4 m less the minimum altitude of %5 m (%6 m): "
                                         "the vehicle would reach the bottom.")
                              .arg(l.name, l.what, num(l.depth), num(water), num(altitude), num(floor)));
    }
}

void Checker::checkShore()
{
    if (!context.coastline)
        return;
    chart::Coastline &coast = *context.coastline;
    if (!r.trackOrigin) {
        r.shore.reason = QStringLiteral("the track has no position (no start position, no waypoint)");
        return;
    }
    auto geo = [this](const TrackPoint &p) {
        const GeoPosition g = *r.geoOf(p);
        return chart::GeoPoint{g.latitude, g.longitude};
    };
    QList<chart::GeoPoint> points;
    for (const TrackPoint &p : std::as_const(r.track))
        points << geo(p);
    const chart::GeoBox box = chart::boxAround(points.constData(), int(points.size())).grown(kShoreMargin);
    const std::optional<chart::Resolution> res =
        coast.resolutionFor(std::max(box.north - box.south, box.east - box.west));
    QString why;
    std::shared_ptr<const chart::ShoreArea> area;
    if (!res)
        why = coast.unavailableText();
    else
        area = coast.area(box, *res, &why);
    if (!area) {
        r.shore.reason = why;
        warning(0, QStringLiteral("The shore was not checked: %1").arg(why));
        return;
    }
    r.shore.checked = true;
    r.shore.resolution = chart::resolutionTitle(*res);
    // The area's side of every point follows from the one GMT told when
    // it read the area.
    QList<bool> land(points.size(), false);
    for (int i = 0; i < points.size(); ++i)
        land[i] = area->onLand(points[i]);

    const bool refuses = limits.minShoreDistance.has_value();
    auto distance = [&](int i) { return area->distanceToShore(points[i]); };
    auto distanceWords = [](double d) {
        return std::isfinite(d) ? distanceText(d) : QStringLiteral("more than %1").arg(distanceText(kShoreMargin));
    };
    auto legName = [this](const TrackPoint &p) {
        if (p.leg <= 0 || p.leg > r.legs.size())
            return QStringLiteral("The launch run");
        const MissionLeg &leg = r.legs[p.leg - 1];
        return p.waypoint ? QStringLiteral("The leg to %1").arg(leg.name) : leg.name;
    };

    QStringList parts;
    QString nearest;   // the waypoint nearest the shore, or the first on land
    double nearestDistance = std::numeric_limits<double>::infinity();
    bool nearestOnLand = false;
    int waypoints = 0;
    if (r.startKnown) {
        const double d = distance(0);
        parts << (land[0] ? QStringLiteral("start on land, %1 from the shore").arg(distanceWords(d))
                          : QStringLiteral("start %1 from the shore").arg(distanceWords(d)));
        if (land[0])
            warning(0, QStringLiteral("The start position (%1) reads as land at the %2, %3 from the shore; a harbour can read so at a coarse resolution.")
                           .arg(chart::positionText(points[0]), r.shore.resolution, distanceWords(d)));
    }
    for (int i = 1; i < r.track.size(); ++i) {
        const TrackPoint &p = r.track[i];
        if (!p.waypoint)
            continue;
        const QString name = p.leg > 0 && p.leg <= r.legs.size() ? r.legs[p.leg - 1].name : QStringLiteral("A waypoint");
        const double d = distance(i);
        ++waypoints;
        if (land[i]) {
            parts << QStringLiteral("%1 on land").arg(name);
            if (!nearestOnLand)
                nearest = parts.last();
            nearestOnLand = true;
            error(p.line, QStringLiteral("%1 (%2) is on land at the %3, %4 from the shore.")
                              .arg(name, chart::positionText(points[i]), r.shore.resolution, distanceWords(d)),
                  refuses);
            continue;
        }
        parts << QStringLiteral("%1 %2").arg(name, distanceWords(d));
        if (!nearestOnLand && (nearest.isEmpty() || d < nearestDistance)) {
            nearest = parts.last();
            nearestDistance = d;
        }
        if (limits.minShoreDistance && d < *limits.minShoreDistance)
            error(p.line, QStringLiteral("%1 is %2 from the shore, closer than the vehicle's minimum shore distance of %3.")
                              .arg(name, distanceText(d), distanceText(*limits.minShoreDistance)),
                  true);
    }
    r.shore.text = parts.isEmpty() ? QStringLiteral("no start position, no waypoint") : parts.join(QStringLiteral(", "));
    r.shore.brief = r.shore.text;
    if (waypoints > 3) {
        QStringList brief;
        if (r.startKnown)
            brief << parts.first();
        brief << QStringLiteral("%1%2 (of %3 waypoints)")
                     .arg(nearestOnLand ? QString() : QStringLiteral("nearest "), nearest)
                     .arg(waypoints);
        r.shore.brief = brief.join(QStringLiteral(", "));
    }

    // Every leg of the track: where it first runs onto land.
    for (int i = 1; i < r.track.size(); ++i) {
        const chart::GeoPoint a = points[i - 1], b = points[i];
        const TrackPoint &p = r.track[i];
        if (chart::distanceMetres(a, b) < 0.5)
            continue;
        const QList<double> at = area->crossings(a, b);
        // From water the first crossing meets land; from land the second.
        const int touch = land[i - 1] ? 1 : 0;
        if (at.size() > touch) {
            const double t = at[touch];
            const chart::GeoPoint hit{a.lat + t * (b.lat - a.lat), a.lon + t * (chart::wrapLongitude(b.lon, a.lon) - a.lon)};
            error(p.line, QStringLiteral("%1 crosses land: it first touches land at %2, %3 along it.")
                              .arg(legName(p), chart::positionText(hit), distanceText(t * chart::distanceMetres(a, b))),
                  refuses);
            continue;
        }
        if (limits.minShoreDistance && !land[i - 1] && !land[i]) {
            chart::GeoPoint where;
            const double d = area->closestApproach(a, b, &where);
            if (d < *limits.minShoreDistance)
                error(p.line, QStringLiteral("%1 passes %2 from the shore at %3, closer than the vehicle's minimum shore distance of %4.")
                                  .arg(legName(p), distanceText(d), chart::positionText(where), distanceText(*limits.minShoreDistance)),
                      true);
        }
    }
}

MissionCheck Checker::run()
{
    r.findings = model.findings;
    const QList<ScriptBlock> &blocks = model.blocks;

    const ScriptBlock *timer = nullptr;
    const ScriptBlock *envelope = nullptr;
    for (const ScriptBlock &b : blocks) {
        if (!b.known)
            continue;
        validate(b);
        if (b.kind == QLatin1String("missionTimer")) {
            if (timer)
                warning(b.headerLine, QStringLiteral("A second missionTimer block; the one on line %1 is checked.").arg(timer->headerLine));
            else
                timer = &b;
        } else if (b.kind == QLatin1String("depthEnvelope")) {
            if (envelope)
                warning(b.headerLine, QStringLiteral("A second depthEnvelope block; the one on line %1 is checked.").arg(envelope->headerLine));
            else
                envelope = &b;
        }
    }
    if (timer)
        r.missionTimer = number(*timer, "timeOut");
    if (envelope) {
        r.envelopeMaxDepth = number(*envelope, "maxDepth");
        r.envelopeAbortDepth = number(*envelope, "abortDepth");
        const std::optional<double> minDepth = number(*envelope, "minDepth");
        if (minDepth && r.envelopeMaxDepth && *minDepth > *r.envelopeMaxDepth)
            error(lineOf(*envelope, "minDepth"), QStringLiteral("The depth envelope's minDepth of %1 m is below its maxDepth of %2 m.")
                                                     .arg(num(*minDepth), num(*r.envelopeMaxDepth)));
        if (r.envelopeAbortDepth && r.envelopeMaxDepth && *r.envelopeAbortDepth < *r.envelopeMaxDepth)
            warning(lineOf(*envelope, "abortDepth"), QStringLiteral("The depth envelope aborts at %1 m, above its maxDepth of %2 m.")
                                                         .arg(num(*r.envelopeAbortDepth), num(*r.envelopeMaxDepth)));
        envelopeMinAltitude = number(*envelope, "minAltitude");
        if (const std::optional<double> abortAltitude = number(*envelope, "abortAltitude"); abortAltitude && *abortAltitude < 0.0)
            warning(lineOf(*envelope, "abortAltitude"),
                    QStringLiteral("The depth envelope's abortAltitude of %1 m can never trigger: the vehicle's altitude is never below 0 m.")
                        .arg(num(*abortAltitude)));
        if (r.envelopeMaxDepth && limits.maxDepth && *r.envelopeMaxDepth > *limits.maxDepth)
            error(lineOf(*envelope, "maxDepth"), QStringLiteral("The depth envelope lets the vehicle go to %1 m, deeper than its maximum depth of %2 m.")
                                                     .arg(num(*r.envelopeMaxDepth), num(*limits.maxDepth)),
                  true);
    }

    if (start) {
        geoOrigin = start;
        lastGeo = start;
        lastGeoIsStart = true;
        r.startKnown = true;
    }
    r.vehicleMaxDepth = limits.maxDepth;
    r.waterDepth = context.waterDepth;
    r.track.append({0.0, 0.0, false, 0, 0});

    // The vehicle runs the blocks from the last in the file to the first.
    QSet<int> consumed;
    for (int i = int(blocks.size()) - 1; i >= 0; --i) {
        const ScriptBlock &b = blocks.at(i);
        if (!b.known || consumed.contains(i))
            continue;
        const QString &k = b.kind;
        const std::optional<double> duration = number(b, "duration");
        const double dur = std::max(0.0, duration.value_or(0.0));
        if (k == QLatin1String("getgps")) {
            step(dur, depth, 0.0);
            continue;
        }
        if (k == QLatin1String("descend")) {
            const double to = number(b, "maxDepth").value_or(depth);
            checkDepth(b, "maxDepth", to, QStringLiteral("The descent's maxDepth"));
            checkSpeed(b, false);
            step(dur, to, dur);
            ascentsAndLaunch += dur;
            const std::optional<double> heading = number(b, "horizontal");
            if (b.value(QStringLiteral("horizontalMode")) == QStringLiteral("heading") && heading)
                move(*heading, number(b, "speed").value_or(0.0) * dur, 0, b.headerLine);
            continue;
        }
        if (k == QLatin1String("ascend")) {
            sawAscend = true;
            checkSpeed(b, false);
            const int line = lineOf(b, "duration");
            if (duration && *duration <= 0.0)
                warning(line, QStringLiteral("The ascent lasts %1 s: the vehicle does not come up by itself.").arg(num(*duration)));
            else if (duration && *duration + 1e-9 < kAscentSecondsPerMetre * depth)
                warning(line, QStringLiteral("The ascent of %1 s is shorter than the %2 s the templates allow from %3 m (6 s a metre).")
                                  .arg(num(*duration), num(kAscentSecondsPerMetre * depth), num(depth)));
            step(dur, 0.0, dur);
            ascentsAndLaunch += dur;
            r.surfacings.append({east, north, false, int(r.legs.size()), b.headerLine});
            continue;
        }
        if (k == QLatin1String("setpoint") && b.value(QStringLiteral("verticalMode")) == QStringLiteral("pitch")) {
            // The surface run that gathers momentum before the descent.
            checkSpeed(b, false);
            step(dur, depth, 0.0);
            ascentsAndLaunch += dur;
            launchLine = b.headerLine;
            if (const std::optional<double> heading = number(b, "heading"))
                move(*heading, number(b, "speed").value_or(0.0) * dur, 0, b.headerLine);
            continue;
        }
        if (k == QLatin1String("missionTimer") || k == QLatin1String("depthEnvelope"))
            continue;

        // A leg.
        MissionLeg leg;
        leg.number = int(r.legs.size()) + 1;
        leg.line = b.headerLine;
        leg.kind = k;
        leg.duration = duration;
        checkLegDuration(b, duration);

        const ScriptBlock *yoyo = nullptr;
        const ScriptBlock *horizontal = nullptr;
        if (k == QLatin1String("yoyo")) {
            yoyo = &b;
        } else if (k == QLatin1String("setpoint") && !b.setting(QStringLiteral("verticalMode"))) {
            horizontal = &b;
        }
        // A yoyo runs together with the setpoint without depth beside it.
        if (yoyo || horizontal) {
            for (int j : {i - 1, i + 1}) {
                if (j < 0 || j >= blocks.size() || consumed.contains(j))
                    continue;
                const ScriptBlock &o = blocks.at(j);
                if (yoyo && o.kind == QLatin1String("setpoint") && !o.setting(QStringLiteral("verticalMode"))) {
                    horizontal = &o;
                    consumed.insert(j);
                    break;
                }
                if (horizontal && o.kind == QLatin1String("yoyo")) {
                    yoyo = &o;
                    consumed.insert(j);
                    break;
                }
            }
        }
        leg.name = k == QLatin1String("waypoint") ? QStringLiteral("Waypoint %1").arg(++waypointCount)
                                                  : QStringLiteral("Leg %1").arg(++legCount);
        if (yoyo && horizontal) {
            leg.kind = QStringLiteral("yoyo");
            leg.line = std::min(yoyo->headerLine, horizontal->headerLine);
            const std::optional<double> a = number(*yoyo, "duration");
            const std::optional<double> c = number(*horizontal, "duration");
            if (a && c && *a != *c)
                warning(lineOf(*yoyo, "duration"), QStringLiteral("The yoyo lasts %1 s but the setpoint it runs with lasts %2 s.")
                                                       .arg(num(*a), num(*c)));
            if (yoyo != &b)
                checkLegDuration(*yoyo, a);
            if (horizontal != &b)
                checkLegDuration(*horizontal, c);
            leg.duration = a && c ? std::max(*a, *c) : (a ? a : c);
        }
        const double legDur = std::max(0.0, leg.duration.value_or(0.0));

        if (horizontal) {
            leg.heading = number(*horizontal, "heading");
            leg.speed = number(*horizontal, "speed");
            checkSpeed(*horizontal, true);
        } else if (!yoyo) {
            leg.heading = number(b, "heading");
            leg.speed = number(b, "speed");
            checkSpeed(b, true);
        }
        if (leg.heading && (*leg.heading < 0.0 || *leg.heading > 360.0))
            warning(lineOf(horizontal ? *horizontal : b, "heading"),
                    QStringLiteral("The heading of %1 degrees is outside 0 to 360.").arg(num(*leg.heading)));

        if (yoyo) {
            leg.minDepth = number(*yoyo, "minDepth");
            leg.maxDepth = number(*yoyo, "maxDepth");
            if (leg.minDepth && leg.maxDepth && *leg.minDepth > *leg.maxDepth)
                error(lineOf(*yoyo, "minDepth"), QStringLiteral("The yoyo's minDepth of %1 m is below its maxDepth of %2 m.")
                                                     .arg(num(*leg.minDepth), num(*leg.maxDepth)));
            if (leg.minDepth)
                checkDepth(*yoyo, "minDepth", *leg.minDepth, QStringLiteral("The yoyo's minDepth"));
            if (leg.maxDepth)
                checkDepth(*yoyo, "maxDepth", *leg.maxDepth, QStringLiteral("The yoyo's maxDepth"));
            leg.minAltitude = number(*yoyo, "minAltitude");
            if (leg.maxDepth)
                legDepths.append({leg.name, lineOf(*yoyo, "maxDepth"), *leg.maxDepth, leg.minAltitude, QStringLiteral("yoyo maxDepth")});
            const double lo = leg.minDepth.value_or(depth), hi = leg.maxDepth.value_or(lo);
            ProfileStep s;
            s.start = t;
            s.duration = legDur;
            s.fromDepth = depth;
            s.band = true;
            s.bandMin = std::min(lo, hi);
            s.bandMax = std::max(lo, hi);
            // Down to the bottom of the band and up to its top, at the rate
            // the pictures use, for as many cycles as it may run; where it
            // is when its time ends is where the ascent starts.
            const std::optional<double> cycles = number(*yoyo, "maxCycles");
            const int maxTurns = cycles && *cycles >= 0.0 ? int(std::min(*cycles, 10000.0)) * 2 : 20000;
            double at = 0.0, d = depth;
            s.turns.append({0.0, d});
            bool down = true;
            for (int turn = 0; turn < maxTurns && at < legDur; ++turn) {
                const double target = down ? s.bandMax : s.bandMin;
                const double need = std::abs(target - d) * kSecondsPerMetreDepth;
                if (at + need >= legDur) {
                    const double part = legDur - at;
                    d += (target > d ? 1.0 : -1.0) * part / kSecondsPerMetreDepth;
                    at = legDur;
                } else {
                    at += need;
                    d = target;
                }
                s.turns.append({at, d});
                down = !down;
            }
            if (at < legDur)
                s.turns.append({legDur, d});
            s.toDepth = d;
            r.profile.append(s);
            t += legDur;
            depth = d;
        } else if (!horizontal) {
            leg.depth = number(b, "depth");
            if (leg.depth) {
                checkDepth(b, "depth", *leg.depth, QStringLiteral("%1's depth").arg(leg.name));
                legDepths.append({leg.name, lineOf(b, "depth"), *leg.depth, std::nullopt, QStringLiteral("depth")});
            }
            const double to = leg.depth.value_or(depth);
            step(legDur, to, std::abs(to - depth) * kSecondsPerMetreDepth);
        } else {
            step(legDur, depth, 0.0);
        }

        if (k == QLatin1String("waypoint")) {
            const std::optional<double> lat = number(b, "latitude");
            const std::optional<double> lon = number(b, "longitude");
            if (lat && (*lat < -90.0 || *lat > 90.0))
                error(lineOf(b, "latitude"), QStringLiteral("The latitude %1 is outside -90 to 90 degrees.").arg(num(*lat)));
            else if (lon && (*lon < -180.0 || *lon > 180.0))
                error(lineOf(b, "longitude"), QStringLiteral("The longitude %1 is outside -180 to 180 degrees.").arg(num(*lon)));
            else if (lat && lon) {
                const GeoPosition p{*lat, *lon};
                leg.waypoint = p;
                if (start) {
                    const double fromStart = distanceMetres(*start, p);
                    if (limits.maxWaypointDistance && fromStart > *limits.maxWaypointDistance)
                        error(b.headerLine, QStringLiteral("%1 is %2 from the mission's position, beyond the vehicle's maximum waypoint distance of %3.")
                                                .arg(leg.name, distanceText(fromStart), distanceText(*limits.maxWaypointDistance)),
                              true);
                }
                if (lastGeo) {
                    const double d = distanceMetres(*lastGeo, p);
                    leg.distance = d;
                    const bool fromPrevious = !lastGeoIsStart;
                    if (limits.maxWaypointDistance && fromPrevious && d > *limits.maxWaypointDistance)
                        error(b.headerLine, QStringLiteral("%1 is %2 from the point before it, beyond the vehicle's maximum waypoint distance of %3.")
                                                .arg(leg.name, distanceText(d), distanceText(*limits.maxWaypointDistance)),
                              true);
                    const double reach = std::max(0.0, leg.speed.value_or(0.0)) * legDur;
                    if (d > reach && d > 1.0)
                        warning(b.headerLine, QStringLiteral("%1 is %2 from %3, farther than the leg can go in its time (%4 at %5 m/s for %6).")
                                                  .arg(leg.name,
                                                       distanceText(d),
                                                       fromPrevious ? QStringLiteral("the point before it") : QStringLiteral("the mission's position"),
                                                       distanceText(reach), num(leg.speed.value_or(0.0)), durationText(legDur)));
                }
                if (!geoOrigin) {
                    geoOrigin = p;
                    originEast = east;
                    originNorth = north;
                }
                double e = 0.0, n = 0.0;
                project(p, &e, &n);
                const double seg = std::hypot(e - east, n - north);
                if (lastGeoIsStart)
                    r.startLegLength += seg;
                else
                    r.trackLength += seg;
                east = e;
                north = n;
                r.track.append({east, north, true, leg.number, b.headerLine});
                lastGeo = p;
                lastGeoIsStart = false;
            }
        } else if (leg.heading) {
            move(*leg.heading, std::max(0.0, leg.speed.value_or(0.0)) * legDur, leg.number, leg.line);
        }
        r.legsTime += legDur;
        r.legs.append(leg);
    }
    r.totalTime = t;
    if (geoOrigin) {
        r.trackOrigin = geoOrigin;
        r.originEast = originEast;
        r.originNorth = originNorth;
    }
    checkShoals();
    checkShore();

    // The planned time.
    const int timerLine = timer ? lineOf(*timer, "timeOut") : 0;
    if (!timer) {
        if (!r.legs.isEmpty())
            warning(0, QStringLiteral("The script has no missionTimer block: nothing limits how long the mission runs."));
        if (limits.maxMissionTime && r.totalTime > *limits.maxMissionTime)
            error(0, QStringLiteral("The mission takes %1, longer than the vehicle's maximum mission time of %2.")
                         .arg(durationText(r.totalTime), durationText(*limits.maxMissionTime)),
                  true);
    } else if (r.missionTimer) {
        const double timeOut = *r.missionTimer;
        if (timeOut <= 0.0)
            error(timerLine, QStringLiteral("The mission timer of %1 s ends the mission at once.").arg(num(timeOut)));
        else if (timeOut + 1e-9 < r.legsTime)
            error(timerLine, QStringLiteral("The mission timer of %1 is shorter than the legs it must cover (%2).")
                                 .arg(durationText(timeOut), durationText(r.legsTime)));
        else if (timeOut + 1e-9 < r.legsTime + ascentsAndLaunch)
            warning(timerLine, QStringLiteral("The mission timer of %1 is shorter than the legs with the launch and the ascents (%2).")
                                   .arg(durationText(timeOut), durationText(r.legsTime + ascentsAndLaunch)));
        if (limits.maxMissionTime && timeOut > *limits.maxMissionTime)
            error(timerLine, QStringLiteral("The mission timer of %1 is longer than the vehicle's maximum mission time of %2.")
                                 .arg(durationText(timeOut), durationText(*limits.maxMissionTime)),
                  true);
    }
    if (r.deepest > 0.0 && !envelope)
        warning(0, QStringLiteral("The script has no depthEnvelope block: nothing aborts a dive that goes too deep."));
    if (r.deepest > 0.0 && !sawAscend)
        warning(0, QStringLiteral("The script has no ascend block: the vehicle does not come up by itself."));
    if (r.legs.isEmpty() && !blocks.isEmpty())
        warning(0, QStringLiteral("The script has no legs: no setpoint, waypoint or yoyo."));

    std::stable_sort(r.findings.begin(), r.findings.end(), [](const Finding &a, const Finding &b) { return a.line < b.line; });
    return r;
}

} // namespace

VehicleLimits vehicleLimits(const Settings &s)
{
    VehicleLimits l;
    l.maxDepth = s.vehicleMaxDepth;
    l.maxSpeed = s.vehicleMaxSpeed;
    l.maxMissionTime = s.vehicleMaxMissionTime;
    l.maxWaypointDistance = s.vehicleMaxWaypointDistance;
    l.minShoreDistance = s.vehicleMinShoreDistance;
    l.cruiseSpeed = s.vehicleCruiseSpeed;
    return l;
}

std::optional<GeoPosition> positionFromBoxes(const QString &latDegrees, const QString &latMinutes, const QString &ns,
                                             const QString &lonDegrees, const QString &lonMinutes, const QString &ew)
{
    const std::optional<double> ld = strictNumber(latDegrees), lm = strictNumber(latMinutes);
    const std::optional<double> od = strictNumber(lonDegrees), om = strictNumber(lonMinutes);
    if (!ld || !lm || !od || !om)
        return std::nullopt;
    const QString h1 = ns.trimmed().toUpper(), h2 = ew.trimmed().toUpper();
    if ((h1 != QLatin1String("N") && h1 != QLatin1String("S")) || (h2 != QLatin1String("E") && h2 != QLatin1String("W")))
        return std::nullopt;
    if (*ld < 0 || *lm < 0 || *lm >= 60 || *od < 0 || *om < 0 || *om >= 60)
        return std::nullopt;
    GeoPosition p{*ld + *lm / 60.0, *od + *om / 60.0};
    if (p.latitude > 90.0 || p.longitude > 180.0)
        return std::nullopt;
    if (h1 == QLatin1String("S"))
        p.latitude = -p.latitude;
    if (h2 == QLatin1String("W"))
        p.longitude = -p.longitude;
    return p;
}

double distanceMetres(const GeoPosition &a, const GeoPosition &b)
{
    const double p1 = a.latitude * kPi / 180.0, p2 = b.latitude * kPi / 180.0;
    const double dp = p2 - p1, dl = (b.longitude - a.longitude) * kPi / 180.0;
    const double h = std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 2.0 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

int MissionCheck::errorCount() const
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [](const Finding &f) { return f.isError(); }));
}

int MissionCheck::warningCount() const
{
    return int(findings.size()) - errorCount();
}

QList<Finding> MissionCheck::limitFindings() const
{
    QList<Finding> out;
    for (const Finding &f : findings)
        if (f.limit)
            out << f;
    return out;
}

QString MissionCheck::summary() const
{
    return summaryWith(shore.text);
}

QString MissionCheck::briefSummary() const
{
    return summaryWith(shore.brief);
}

QString MissionCheck::summaryWith(const QString &shoreText) const
{
    QString s = legs.size() == 1 ? QStringLiteral("1 leg") : QStringLiteral("%1 legs").arg(legs.size());
    s += QStringLiteral(", %1 in all").arg(durationText(totalTime));
    if (missionTimer)
        s += QStringLiteral(" (mission timer %1)").arg(durationText(*missionTimer));
    else
        s += QStringLiteral(" (no mission timer)");
    s += QStringLiteral(", deepest %1 m, track %2").arg(num(deepest), distanceText(trackLength));
    if (startKnown && startLegLength > 0.0)
        s += QStringLiteral(" (%1 from the start position)").arg(distanceText(trackLength + startLegLength));
    if (shore.checked)
        s += QStringLiteral("; shore (%1): %2").arg(shore.resolution, shoreText);
    else if (!shore.reason.isEmpty())
        s += QStringLiteral("; shore not checked: %1").arg(shore.reason);
    return s;
}

MissionCheck checkMission(const MissionScriptModel &model, const VehicleLimits &limits, std::optional<GeoPosition> start,
                          const CheckContext &context)
{
    return Checker(model, limits, start, context).run();
}

MissionCheck checkMissionBytes(const QByteArray &bytes, const VehicleLimits &limits, std::optional<GeoPosition> start,
                               const CheckContext &context)
{
    return checkMission(readMissionScript(bytes), limits, start, context);
}

std::optional<GeoPosition> MissionCheck::geoOf(const TrackPoint &p) const
{
    if (!trackOrigin)
        return std::nullopt;
    const double lat0 = trackOrigin->latitude * kPi / 180.0;
    return GeoPosition{trackOrigin->latitude + (p.north - originNorth) / kEarthRadius * 180.0 / kPi,
                       trackOrigin->longitude + (p.east - originEast) / (kEarthRadius * std::cos(lat0)) * 180.0 / kPi};
}

chart::ChartData chartData(const MissionCheck &check)
{
    chart::ChartData d;
    d.geographic = check.trackOrigin.has_value();
    auto at = [&](const TrackPoint &p) {
        if (!d.geographic)
            return chart::GeoPoint{p.north, p.east};
        const GeoPosition g = *check.geoOf(p);
        return chart::GeoPoint{g.latitude, g.longitude};
    };
    if (check.track.isEmpty())
        return d;
    // Legs to waypoints are planned; legs run on heading and time are
    // dead-reckoned from where the vehicle was.
    chart::ChartTrack current;
    for (int i = 1; i < check.track.size(); ++i) {
        const chart::ChartTrack::Style style =
            check.track[i].waypoint ? chart::ChartTrack::Style::Planned : chart::ChartTrack::Style::DeadReckoned;
        if (current.points.isEmpty() || current.style != style) {
            if (current.points.size() > 1)
                d.tracks << current;
            current = chart::ChartTrack{style, {at(check.track[i - 1])}};
        }
        current.points << at(check.track[i]);
    }
    if (current.points.size() > 1)
        d.tracks << current;
    for (const TrackPoint &s : check.surfacings) {
        const QString after = s.leg > 0 && s.leg <= check.legs.size() ? check.legs[s.leg - 1].name : QStringLiteral("the start");
        d.marks << chart::ChartMark{chart::ChartMark::Kind::Surfacing, at(s), QString(),
                                    QStringLiteral("The vehicle surfaces after %1").arg(after)};
    }
    for (const TrackPoint &p : check.track) {
        if (!p.waypoint || p.leg <= 0 || p.leg > check.legs.size())
            continue;
        const QString name = check.legs[p.leg - 1].name;
        const chart::GeoPoint g = at(p);
        d.marks << chart::ChartMark{chart::ChartMark::Kind::Waypoint, g, name.section(QLatin1Char(' '), 1),
                                    QStringLiteral("%1: %2").arg(name, chart::positionText(g))};
    }
    if (check.startKnown || !d.geographic)
        d.marks << chart::ChartMark{chart::ChartMark::Kind::Start, at(check.track.first()), QStringLiteral("start"),
                                    d.geographic ? QStringLiteral("Start: %1").arg(chart::positionText(at(check.track.first())))
                                                 : QStringLiteral("Start")};
    else
        d.note = QStringLiteral("start: position unknown (the mission log row has none)");
    return d;
}

QString durationText(double seconds)
{
    if (!std::isfinite(seconds))
        return QStringLiteral("%1 s").arg(seconds);
    const qint64 total = qint64(std::llround(std::abs(seconds)));
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    const qint64 h = total / 3600, m = (total % 3600) / 60, s = total % 60;
    if (h > 0)
        return sign + QStringLiteral("%1 h %2 min").arg(h).arg(m);
    if (m > 0)
        return sign + QStringLiteral("%1 min %2 s").arg(m).arg(s);
    return sign + QStringLiteral("%1 s").arg(s);
}

QString distanceText(double metres)
{
    if (!std::isfinite(metres))
        return QStringLiteral("%1 m").arg(metres);
    if (std::abs(metres) < 1000.0)
        return QStringLiteral("%1 m").arg(std::llround(metres));
    return QStringLiteral("%1 km").arg(QString::number(metres / 1000.0, 'f', 1));
}

} // namespace bravik::mission
