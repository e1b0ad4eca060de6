#include "MultiLegTemplates.h"

#include "NumberRules.h"

#include <cmath>

namespace bravik::mission {

namespace {

const QString kSouth = QStringLiteral("Do you really want to go to the southern hemisphere?.");
const QString kEast = QStringLiteral("So you really want to go to the hemisphere hemisphere?.");
const QString kTooMany = QStringLiteral("Please enter a value less than 20.");

// Stops at the first empty text (blanks count as filled).
template <class Leg>
bool required(LegReading<Leg> &r, const QString &box, const QString &text, const QString &message)
{
    if (!r.ok())
        return false;
    if (text.isEmpty()) {
        r.message = message;
        r.box = box;
        return false;
    }
    return true;
}

QString numbered(const char *caption, int n)
{
    return QString::fromLatin1(caption) + QString::number(n);
}

// The first `count` slots of a wizard's legs.
template <class Leg>
QList<Leg> firstLegs(const std::array<Leg, kMaxLegs> &legs, int count)
{
    return QList<Leg>(legs.begin(), legs.begin() + qBound(0, count, kMaxLegs));
}

// The values of a chain, checked before any of them reaches a writer.
struct ChainNumbers
{
    double timer = 0.0;
    double envelope = 0.0;
};

ChainNumbers chainNumbers(BuildChecks &check, const QList<double> &durations, const QList<double> &depths)
{
    ChainNumbers n;
    n.timer = check.finite(QStringLiteral("txtDuration"), QStringLiteral("sum of the durations"),
                           chainTimerSeconds(durations));
    n.envelope = check.finite(QStringLiteral("txtDepth"), QStringLiteral("depth"), chainEnvelopeDepth(depths));
    return n;
}

} // namespace

// ---------------------------------------------------------------------------
// Reading entries

LegReading<SetpointLeg> readSetpointEntry(const SetpointEntry &e)
{
    LegReading<SetpointLeg> r;
    required(r, QStringLiteral("txtHeading"), e.heading, emptyBox::heading);
    required(r, QStringLiteral("txtDuration"), e.duration, emptyBox::duration);
    required(r, QStringLiteral("txtDepth"), e.depth, emptyBox::depth);
    required(r, QStringLiteral("txtSpeed"), e.speed, emptyBox::speed);
    if (!r.ok())
        return r;
    r.leg.heading = numericTextValue(e.heading);
    r.leg.depth = numericTextValue(e.depth);
    r.leg.duration = numericTextValue(e.duration);
    r.leg.speed = numericTextValue(e.speed);
    return r;
}

LegReading<WaypointLeg> readWaypointEntry(const WaypointEntry &e)
{
    LegReading<WaypointLeg> r;
    required(r, QStringLiteral("txtLatitudeInt"), e.latitudeInt, emptyBox::latitude);
    required(r, QStringLiteral("txtLatitudeMinutes"), e.latitudeMinutes, emptyBox::latitude);
    required(r, QStringLiteral("txtLongitudeInt"), e.longitudeInt, emptyBox::longitude);
    if (!r.ok())
        return r;
    // The hemisphere notices come once the first three boxes are filled,
    // whatever the later boxes hold.
    if (e.ns == QLatin1String("S"))
        r.notices << kSouth;
    if (e.ew == QLatin1String("E"))
        r.notices << kEast;
    required(r, QStringLiteral("txtLongitudeMinutes"), e.longitudeMinutes, emptyBox::longitude);
    required(r, QStringLiteral("txtDuration"), e.duration, emptyBox::duration);
    required(r, QStringLiteral("txtDepth"), e.depth, emptyBox::depth);
    required(r, QStringLiteral("txtSpeed"), e.speed, emptyBox::speed);
    if (!r.ok())
        return r;
    r.leg.latitude = decimalLatitude(e.latitudeInt, e.latitudeMinutes, e.ns);
    r.leg.longitude = decimalLongitude(e.longitudeInt, e.longitudeMinutes, e.ew);
    r.leg.depth = numericTextValue(e.depth);
    r.leg.duration = numericTextValue(e.duration);
    r.leg.speed = numericTextValue(e.speed);
    return r;
}

// ---------------------------------------------------------------------------
// Builds

double chainTimerSeconds(const QList<double> &durations)
{
    double sum = 0.0;
    for (double d : durations)
        sum += d;
    return sum * 1.2 + 200.0;
}

double chainEnvelopeDepth(const QList<double> &depths)
{
    double deepest = 0.0;
    for (double d : depths)
        if (d > deepest)
            deepest = d;
    return deepest;
}

TemplateBuild buildMultipleSetpoints(const QList<SetpointLeg> &legs)
{
    TemplateBuild build;
    if (legs.isEmpty() || legs.size() > kMaxLegs) {
        build.message = QStringLiteral("A multiple setpoint mission has 1 to %1 legs; %2 were given.")
                            .arg(kMaxLegs)
                            .arg(legs.size());
        return build;
    }
    BuildChecks check;
    QList<double> durations;
    QList<double> depths;
    for (const SetpointLeg &leg : legs) {
        check.finite(QStringLiteral("txtHeading"), QStringLiteral("heading"), leg.heading);
        check.finite(QStringLiteral("txtDuration"), QStringLiteral("duration"), leg.duration);
        check.finite(QStringLiteral("txtDepth"), QStringLiteral("depth"), leg.depth);
        check.finite(QStringLiteral("txtSpeed"), QStringLiteral("speed"), leg.speed);
        durations << leg.duration;
        depths << leg.depth;
    }
    const ChainNumbers n = chainNumbers(check, durations, depths);
    const double ascent = check.finite(QStringLiteral("txtDepth"), QStringLiteral("depth"),
                                       ascentSeconds(legs.constLast().depth));
    if (check.stopped(build))
        return build;

    ScriptWriter &w = build.script;
    w.printMissionTimer(n.timer);
    w.printDepthEnvelope(n.envelope, "10");
    w.printGetgps(10, 60, "False");
    w.printAscend("rudder", 10, 10, 1.5, ascent);
    for (qsizetype i = legs.size() - 1; i >= 0; --i) {
        const SetpointLeg &leg = legs.at(i);
        w.printSetpoint(leg.depth, leg.heading, leg.duration, leg.speed);
    }
    w.printLaunchSequence(legs.constFirst().heading);
    w.printGetgps(10, 60, "False");
    return build;
}

TemplateBuild buildMultipleWaypoints(const QList<WaypointLeg> &legs)
{
    TemplateBuild build;
    if (legs.isEmpty() || legs.size() > kMaxLegs) {
        build.message = QStringLiteral("A multiple waypoint mission has 1 to %1 waypoints; %2 were given.")
                            .arg(kMaxLegs)
                            .arg(legs.size());
        return build;
    }
    BuildChecks check;
    QList<double> durations;
    QList<double> depths;
    for (const WaypointLeg &leg : legs) {
        check.finite(QStringLiteral("txtLatitudeInt"), QStringLiteral("latitude"), leg.latitude);
        check.finite(QStringLiteral("txtLongitudeInt"), QStringLiteral("longitude"), leg.longitude);
        check.finite(QStringLiteral("txtDuration"), QStringLiteral("duration"), leg.duration);
        check.finite(QStringLiteral("txtDepth"), QStringLiteral("depth"), leg.depth);
        check.finite(QStringLiteral("txtSpeed"), QStringLiteral("speed"), leg.speed);
        check.finite(QStringLiteral("txtDepth"), QStringLiteral("depth"), ascentSeconds(leg.depth));
        durations << leg.duration;
        depths << leg.depth;
    }
    const ChainNumbers n = chainNumbers(check, durations, depths);
    if (check.stopped(build))
        return build;

    ScriptWriter &w = build.script;
    w.printMissionTimer(n.timer);
    w.printDepthEnvelope(n.envelope, "10");
    for (qsizetype i = legs.size() - 1; i >= 0; --i) {
        const WaypointLeg &leg = legs.at(i);
        w.printGetgps(10, 300, "False");
        w.printAscend("rudder", 10, 10, 1.5, ascentSeconds(leg.depth));
        w.printWaypoint(leg.latitude, leg.longitude, leg.depth, leg.duration, leg.speed);
    }
    w.printLaunchSequence("270");
    w.printGetgps(10, 60, "True");
    return build;
}

// ---------------------------------------------------------------------------
// The shared wizard state

LegWizard::LegWizard(bool locksCount, QString emptyCountMessage)
    : m_locksCount(locksCount)
    , m_emptyCountMessage(std::move(emptyCountMessage))
{
}

CountReaction LegWizard::countChanged(const QString &text)
{
    CountReaction r;
    if (m_countLocked) {
        r.locked = true;
        return r;
    }
    // The whole text must be a number before the count is compared; a
    // letter, a lone sign or point, or a count beyond 16 bits changes
    // nothing and asks for the count again.
    const std::optional<double> whole = strictNumber(text);
    const std::optional<int> count = whole ? roundToInt16(numericTextValue(text)) : std::nullopt;
    if (text.isEmpty() || !whole || (*whole < kMaxLegs && !count)) {
        r.message = m_emptyCountMessage;
        return r;
    }
    if (*whole >= kMaxLegs) {
        r.message = kTooMany;
        return r;
    }
    m_numLegs = *count;
    m_currentLeg = 0;
    m_countAccepted = true;
    m_countLocked = m_locksCount;
    r.accepted = true;
    r.locked = m_countLocked;
    return r;
}

NextReaction::Outcome LegWizard::nextStep() const
{
    if (!m_countAccepted || m_currentLeg > m_numLegs)
        return NextReaction::Ignored;
    if (allStored())
        return NextReaction::SaveAgain;
    return NextReaction::Stored;
}

NextReaction::Outcome LegWizard::advance()
{
    ++m_currentLeg;
    return m_currentLeg == m_numLegs ? NextReaction::Complete : NextReaction::Stored;
}

bool LegWizard::fits(NextReaction &r) const
{
    const TemplateBuild trial = buildStored(m_currentLeg + 1);
    if (trial.ok())
        return true;
    r.outcome = NextReaction::Stopped;
    r.messages << trial.message;
    r.box = trial.box;
    return false;
}

template <class Leg, class Entry>
NextReaction LegWizard::nextLeg(std::array<Leg, kMaxLegs> &legs, LegReading<Leg> (*read)(const Entry &),
                                const Entry &entry)
{
    NextReaction r;
    r.outcome = nextStep();
    if (r.outcome != NextReaction::Stored)
        return r;
    const LegReading<Leg> reading = read(entry);
    r.messages = reading.notices;
    if (!reading.ok()) {
        r.outcome = NextReaction::Stopped;
        r.messages << reading.message;
        r.box = reading.box;
        return r;
    }
    const Leg before = legs[size_t(m_currentLeg)];
    legs[size_t(m_currentLeg)] = reading.leg;
    if (!fits(r)) {
        legs[size_t(m_currentLeg)] = before;
        return r;
    }
    r.outcome = advance();
    return r;
}

// ---------------------------------------------------------------------------
// Multiple setpoints

SetpointWizard::SetpointWizard()
    : LegWizard(true, QStringLiteral("Please enter a value for number of legs."))
{
}

QList<LegCaption> SetpointWizard::designCaptions()
{
    return {{QStringLiteral("lblHeading"), QStringLiteral("Enter heading (deg T) for setpoint 1")},
            {QStringLiteral("lblDuration"), QStringLiteral("Enter duration (s) of setpoint 1")},
            {QStringLiteral("lblDepth"), QStringLiteral("Enter depth (m) for setpoint 1")},
            {QStringLiteral("lblSpeed"), QStringLiteral("Enter speed (m/s) for setpoint 1")}};
}

QList<LegCaption> SetpointWizard::captions() const
{
    const int n = nextNumber();
    return {{QStringLiteral("lblHeading"), numbered("Enter heading (deg T) for setpoint ", n)},
            {QStringLiteral("lblDepth"), numbered("Enter depth (m) for setpoint ", n)},
            {QStringLiteral("lblDuration"), numbered("Enter duration (s) for setpoint ", n)},
            {QStringLiteral("lblSpeed"), numbered("Enter speed (m/s) for setpoint ", n)}};
}

NextReaction SetpointWizard::next(const SetpointEntry &entry)
{
    return nextLeg(m_legs, &readSetpointEntry, entry);
}

TemplateBuild SetpointWizard::buildStored(int count) const
{
    return buildMultipleSetpoints(firstLegs(m_legs, count));
}

// ---------------------------------------------------------------------------
// Multiple waypoints

WaypointWizard::WaypointWizard()
    : LegWizard(false, QStringLiteral("Please enter a value for number of waypoints."))
{
}

QList<LegCaption> WaypointWizard::designCaptions()
{
    return {{QStringLiteral("lblLat"), QStringLiteral("Enter latitude of waypoint 1")},
            {QStringLiteral("lblLong"), QStringLiteral("Enter longitude of waypoint 1")},
            {QStringLiteral("lblDuration"), QStringLiteral("Enter duration (s) for waypoint  1")},
            {QStringLiteral("lblDepth"), QStringLiteral("Enter depth (m) for waypoint 1")},
            {QStringLiteral("lblSpeed"), QStringLiteral("Enter speed (m/s) for waypoint 1")}};
}

QList<LegCaption> WaypointWizard::captions() const
{
    const int n = nextNumber();
    return {{QStringLiteral("lblLat"), numbered("Enter latitude of waypoint ", n)},
            {QStringLiteral("lblLong"), numbered("Enter longitude of waypoint ", n)},
            {QStringLiteral("lblDepth"), numbered("Enter depth (m) for waypoint ", n)},
            {QStringLiteral("lblDuration"), numbered("Enter duration (s) for waypoint ", n)},
            {QStringLiteral("lblSpeed"), numbered("Enter speed (m/s) for waypoint ", n)}};
}

NextReaction WaypointWizard::next(const WaypointEntry &entry)
{
    return nextLeg(m_legs, &readWaypointEntry, entry);
}

TemplateBuild WaypointWizard::buildStored(int count) const
{
    return buildMultipleWaypoints(firstLegs(m_legs, count));
}

// ---------------------------------------------------------------------------
// Transect

double transectEnvelopeAltitude(const QString &minAltitude)
{
    return numericTextValue(minAltitude) - 5.0;
}

TemplateBuild buildTransect(const TransectInputs &in)
{
    TemplateBuild build;
    BuildChecks check;
    check.required(QStringLiteral("txtHeading"), in.heading, emptyBox::heading);
    check.required(QStringLiteral("txtDuration"), in.duration, emptyBox::duration);
    check.required(QStringLiteral("txtMinDepth"), in.minDepth, QStringLiteral("Please enter minimum depth."));
    check.required(QStringLiteral("txtMaxDepth"), in.maxDepth, QStringLiteral("Please enter maximum depth."));
    check.required(QStringLiteral("txtMinAltitude"), in.minAltitude, QStringLiteral("Please enter minimum altitude."));
    check.required(QStringLiteral("txtSpeed"), in.speed, emptyBox::speed);
    check.singleLine(QStringLiteral("txtHeading"), in.heading, QStringLiteral("heading"));
    check.singleLine(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"));
    check.singleLine(QStringLiteral("txtMinDepth"), in.minDepth, QStringLiteral("minimum depth"));
    check.singleLine(QStringLiteral("txtMaxDepth"), in.maxDepth, QStringLiteral("maximum depth"));
    check.singleLine(QStringLiteral("txtMinAltitude"), in.minAltitude, QStringLiteral("minimum altitude"));
    check.singleLine(QStringLiteral("txtMaxCycles"), in.maxCycles, QStringLiteral("maximum number of cycles"));
    check.singleLine(QStringLiteral("txtSpeed"), in.speed, QStringLiteral("speed"));

    const QString meters = QStringLiteral("meters");
    const double duration = check.number(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"),
                                         QStringLiteral("seconds"));
    const int timer = check.whole16(QStringLiteral("txtDuration"), in.duration, QStringLiteral("duration"),
                                    QStringLiteral("a mission timer"), diveTimerSeconds(duration));
    const double maxDepth = check.number(QStringLiteral("txtMaxDepth"), in.maxDepth,
                                         QStringLiteral("maximum depth"), meters);
    const int ascent = check.whole16(QStringLiteral("txtMaxDepth"), in.maxDepth, QStringLiteral("maximum depth"),
                                     QStringLiteral("an ascent time"), ascentSeconds(maxDepth));
    if (check.stopped(build))
        return build;
    // The envelope altitude is metres, not seconds, so it has its own message.
    const double envelopeAltitude = transectEnvelopeAltitude(in.minAltitude);
    const std::optional<int> altitude = roundToInt16(envelopeAltitude);
    if (!altitude) {
        build.box = QStringLiteral("txtMinAltitude");
        build.message = QStringLiteral("The minimum altitude \"%1\" is %2 for the mission file: less 5 m it "
                                       "must lie within %3 to %4 meters. Please correct the minimum altitude.")
                            .arg(in.minAltitude,
                                 envelopeAltitude < 0 ? QStringLiteral("too small") : QStringLiteral("too large"))
                            .arg(kInt16Min)
                            .arg(kInt16Max);
        return build;
    }

    ScriptWriter &w = build.script;
    w.printMissionTimer(timer);
    w.printDepthEnvelope(in.maxDepth, *altitude);
    w.printGetgps(10, 120, "False");
    w.printAscend("rudder", 10, 10, 1.5, ascent);
    w.printYoYo(in.minDepth, in.maxDepth, in.minAltitude, in.duration, in.maxCycles);
    w.printSetpointNoDepth(in.heading, in.duration, in.speed);
    w.printLaunchSequence(in.heading);
    w.printGetgps(10, 60, "False");
    return build;
}

} // namespace bravik::mission
