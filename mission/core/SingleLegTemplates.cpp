#include "SingleLegTemplates.h"

#include "NumberRules.h"

namespace bravik::mission {

namespace {

const QString kSeconds = QStringLiteral("seconds");
const QString kMeters = QStringLiteral("meters");

double degreesFrom(const QString &degrees, const QString &minutes)
{
    return numericTextValue(degrees) + numericTextValue(minutes) / 60.0;
}

} // namespace

double diveTimerSeconds(double duration) { return (duration + 200.0) * 1.2; }
double deckTestTimerSeconds(double duration) { return duration * 1.2; }
double ascentSeconds(double depth) { return depth / 10.0 * 60.0; }

double decimalLatitude(const QString &degrees, const QString &minutes, const QString &ns)
{
    const double value = degreesFrom(degrees, minutes);
    return ns == QLatin1String("S") ? -value : value;
}

double decimalLongitude(const QString &degrees, const QString &minutes, const QString &ew)
{
    const double value = degreesFrom(degrees, minutes);
    return ew == QLatin1String("W") ? -value : value;
}

// The mission timer and ascent time of a dive, from the duration and depth
// boxes; a box that is not a number, or a result outside 16 bits, stops
// the build.
struct DiveNumbers
{
    int timer = 0;
    int ascent = 0;
};

static DiveNumbers diveNumbers(BuildChecks &check, const QString &durationText, const QString &depthText)
{
    DiveNumbers n;
    const double duration = check.number(QStringLiteral("txtDuration"), durationText,
                                         QStringLiteral("duration"), kSeconds);
    n.timer = check.whole16(QStringLiteral("txtDuration"), durationText, QStringLiteral("duration"),
                            QStringLiteral("a mission timer"), diveTimerSeconds(duration));
    const double depth = check.number(QStringLiteral("txtDepth"), depthText, QStringLiteral("depth"), kMeters);
    n.ascent = check.whole16(QStringLiteral("txtDepth"), depthText, QStringLiteral("depth"),
                             QStringLiteral("an ascent time"), ascentSeconds(depth));
    return n;
}

TemplateBuild buildTransit(const TransitInputs &in)
{
    TemplateBuild build;
    BuildChecks check;
    check.required(QStringLiteral("txtHeading"), in.heading, emptyBox::heading);
    check.required(QStringLiteral("txtDuration"), in.duration, emptyBox::duration);
    check.required(QStringLiteral("txtDepth"), in.depth, emptyBox::depth);
    check.required(QStringLiteral("txtSpeed"), in.speed, emptyBox::speed);
    check.singleLine(QStringLiteral("txtHeading"), in.heading, QStringLiteral("heading"));
    check.singleLine(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"));
    check.singleLine(QStringLiteral("txtDepth"), in.depth, QStringLiteral("depth"));
    check.singleLine(QStringLiteral("txtSpeed"), in.speed, QStringLiteral("speed"));

    const DiveNumbers dive = diveNumbers(check, in.duration, in.depth);
    if (check.stopped(build))
        return build;

    ScriptWriter &w = build.script;
    w.printMissionTimer(dive.timer);
    w.printDepthEnvelope(in.depth, "10");
    w.printGetgps(10, 60, "False");
    w.printAscend("rudder", 10, 10, 1.5, dive.ascent);
    w.printSetpoint(in.depth, in.heading, in.duration, in.speed);
    w.printLaunchSequence(in.heading);
    w.printGetgps(10, 60, "False");
    return build;
}

TemplateBuild buildDeckTest(const DeckTestInputs &in)
{
    TemplateBuild build;
    BuildChecks check;
    check.required(QStringLiteral("txtHeading"), in.heading, emptyBox::heading);
    check.required(QStringLiteral("txtDuration"), in.duration, emptyBox::duration);
    check.required(QStringLiteral("txtSpeed"), in.speed, emptyBox::speed);
    check.singleLine(QStringLiteral("txtHeading"), in.heading, QStringLiteral("heading"));
    check.singleLine(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"));
    check.singleLine(QStringLiteral("txtSpeed"), in.speed, QStringLiteral("speed"));

    const double duration = check.number(QStringLiteral("txtDuration"), in.duration,
                                         QStringLiteral("duration"), kSeconds);
    const int timer = check.whole16(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"),
                                    QStringLiteral("a mission timer"), deckTestTimerSeconds(duration));
    if (check.stopped(build))
        return build;

    ScriptWriter &w = build.script;
    w.printMissionTimer(timer);
    w.printSetpoint("0", in.heading, in.duration, in.speed);
    return build;
}

TemplateBuild buildWaypoint(const WaypointInputs &in)
{
    TemplateBuild build;
    BuildChecks check;
    check.required(QStringLiteral("txtLatitudeInt"), in.latitudeInt, emptyBox::latitude);
    check.required(QStringLiteral("txtLatitudeMinutes"), in.latitudeMinutes, emptyBox::latitude);
    check.required(QStringLiteral("txtLongitudeInt"), in.longitudeInt, emptyBox::longitude);
    check.required(QStringLiteral("txtLongitudeMinutes"), in.longitudeMinutes, emptyBox::longitude);
    check.required(QStringLiteral("txtDuration"), in.duration, emptyBox::duration);
    check.required(QStringLiteral("txtDepth"), in.depth, emptyBox::depth);
    check.required(QStringLiteral("txtSpeed"), in.speed, emptyBox::speed);
    check.singleLine(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"));
    check.singleLine(QStringLiteral("txtDepth"), in.depth, QStringLiteral("depth"));
    check.singleLine(QStringLiteral("txtSpeed"), in.speed, QStringLiteral("speed"));

    const DiveNumbers dive = diveNumbers(check, in.duration, in.depth);
    const double lat = check.finite(QStringLiteral("txtLatitudeInt"), QStringLiteral("latitude"),
                                    decimalLatitude(in.latitudeInt, in.latitudeMinutes, in.ns));
    const double lon = check.finite(QStringLiteral("txtLongitudeInt"), QStringLiteral("longitude"),
                                    decimalLongitude(in.longitudeInt, in.longitudeMinutes, in.ew));
    if (check.stopped(build))
        return build;

    ScriptWriter &w = build.script;
    w.printMissionTimer(dive.timer);
    w.printDepthEnvelope(in.depth, "10");
    w.printGetgps(10, 60, "False");
    w.printAscend("rudder", 10, 10, 1.5, dive.ascent);
    w.printWaypoint(lat, lon, in.depth, in.duration, in.speed);
    w.printLaunchSequence("270");
    w.printGetgps(10, 60, "True");
    return build;
}

} // namespace bravik::mission
