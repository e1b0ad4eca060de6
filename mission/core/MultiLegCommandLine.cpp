// bravik-mission setpoints | waypoints | transect: the same readings and
// builds as the three windows, one option per leg in entry order.
#include "CommandLineTemplates.h"
#include "MultiLegTemplates.h"

namespace bravik::mission {

namespace {

// Splits one leg option into its fields; a wrong number of fields stops
// the build with the expected form.
bool splitLeg(const QString &text, int fields, const QString &option, const QString &form, int number,
              QStringList &out, TemplateBuild &build)
{
    out = text.split(QLatin1Char(','));
    if (out.size() == fields)
        return true;
    build.message = QStringLiteral("--%1 number %2 (\"%3\") has %4 where %5 are needed: --%1 %6")
                        .arg(option)
                        .arg(number)
                        .arg(text)
                        .arg(out.size() == 1 ? QStringLiteral("1 value") : QStringLiteral("%1 values").arg(out.size()))
                        .arg(fields)
                        .arg(form);
    return false;
}

bool legCountFits(qsizetype given, const QString &option, const QString &form, const QString &what,
                  TemplateBuild &build)
{
    if (given >= 1 && given <= kMaxLegs)
        return true;
    if (given == 0)
        build.message = QStringLiteral("no %1 given: add --%2 %3 once per %1, in order (1 to %4 of them).")
                            .arg(what, option, form)
                            .arg(kMaxLegs);
    else
        build.message = QStringLiteral("%1 %2s were given, but a mission holds at most %3 (the limit of the "
                                       "template window).")
                            .arg(given)
                            .arg(what)
                            .arg(kMaxLegs);
    return false;
}

template <class Leg>
bool takeReading(const LegReading<Leg> &reading, const QString &what, int number, QList<Leg> &legs,
                 TemplateBuild &build)
{
    if (!reading.ok()) {
        build.message = QStringLiteral("%1 %2: %3").arg(what).arg(number).arg(reading.message);
        build.box = reading.box;
        return false;
    }
    legs << reading.leg;
    return true;
}

TemplateBuild setpointsFromOptions(const CliValues &values)
{
    const QString form = QStringLiteral("HEADING,DURATION,DEPTH,SPEED");
    const QStringList given = values.value(QStringLiteral("leg"));
    TemplateBuild build;
    if (!legCountFits(given.size(), QStringLiteral("leg"), form, QStringLiteral("leg"), build))
        return build;
    QList<SetpointLeg> legs;
    for (int i = 0; i < given.size(); ++i) {
        QStringList f;
        if (!splitLeg(given.at(i), 4, QStringLiteral("leg"), form, i + 1, f, build))
            return build;
        if (!takeReading(readSetpointEntry({f.at(0), f.at(1), f.at(2), f.at(3)}), QStringLiteral("leg"), i + 1,
                         legs, build))
            return build;
    }
    return buildMultipleSetpoints(legs);
}

TemplateBuild waypointsFromOptions(const CliValues &values)
{
    const QString form = QStringLiteral("LATDEG,LATMIN,NS,LONDEG,LONMIN,EW,DURATION,DEPTH,SPEED");
    const QStringList given = values.value(QStringLiteral("waypoint"));
    TemplateBuild build;
    if (!legCountFits(given.size(), QStringLiteral("waypoint"), form, QStringLiteral("waypoint"), build))
        return build;
    QList<WaypointLeg> legs;
    for (int i = 0; i < given.size(); ++i) {
        QStringList f;
        if (!splitLeg(given.at(i), 9, QStringLiteral("waypoint"), form, i + 1, f, build))
            return build;
        WaypointEntry e;
        e.latitudeInt = f.at(0);
        e.latitudeMinutes = f.at(1);
        e.ns = f.at(2);
        e.longitudeInt = f.at(3);
        e.longitudeMinutes = f.at(4);
        e.ew = f.at(5);
        e.duration = f.at(6);
        e.depth = f.at(7);
        e.speed = f.at(8);
        if (!takeReading(readWaypointEntry(e), QStringLiteral("waypoint"), i + 1, legs, build))
            return build;
    }
    return buildMultipleWaypoints(legs);
}

} // namespace

void registerMultiLegCliTemplates()
{
    registerCliTemplate(
        {QStringLiteral("setpoints"),
         QStringLiteral("a chain of setpoint legs, each a heading, duration, depth and speed"),
         {{QStringLiteral("leg"), QStringLiteral("H,D,DEPTH,SPEED"),
           QStringLiteral("one leg: heading (deg T), duration (s), depth (m), speed (m/s)"), QString(), true}},
         QStringLiteral("Give --leg once per leg in the order of the run, 1 to 20 of them.  Each value is\n"
                        "read leniently, as the window reads its boxes: blanks are ignored, reading stops\n"
                        "at the first character that does not fit, and a text that does not begin with\n"
                        "a number counts as 0.  Only an empty value is refused."),
         setpointsFromOptions});

    registerCliTemplate(
        {QStringLiteral("waypoints"),
         QStringLiteral("a chain of waypoints, each with its own ascent and GPS fix"),
         {{QStringLiteral("waypoint"), QStringLiteral("LATDEG,LATMIN,NS,LONDEG,LONMIN,EW,DURATION,DEPTH,SPEED"),
           QStringLiteral("one waypoint"), QString(), true}},
         QStringLiteral("Give --waypoint once per waypoint in the order of the run, 1 to 20 of them.\n"
                        "Only exactly S means south and only exactly W means west.  Numbers are read\n"
                        "leniently, as the window reads its boxes; only an empty value is refused."),
         waypointsFromOptions});

    registerCliTemplate(
        {QStringLiteral("transect"),
         QStringLiteral("a survey line with the depth driven up and down (yoyo)"),
         {{QStringLiteral("heading"), QStringLiteral("DEG"), QStringLiteral("mission heading (degrees True)"), QString()},
          {QStringLiteral("duration"), QStringLiteral("SEC"), QStringLiteral("mission duration (seconds)"), QString()},
          {QStringLiteral("min-depth"), QStringLiteral("M"), QStringLiteral("minimum depth (meters)"), QString()},
          {QStringLiteral("max-depth"), QStringLiteral("M"), QStringLiteral("maximum depth (meters)"), QString()},
          {QStringLiteral("min-altitude"), QStringLiteral("M"), QStringLiteral("minimum altitude (meters)"), QString()},
          {QStringLiteral("max-cycles"), QStringLiteral("N"), QStringLiteral("maximum number of cycles, may be left out"),
           QString()},
          {QStringLiteral("speed"), QStringLiteral("M/S"), QStringLiteral("mission speed (meters/second)"), QString()}},
         QStringLiteral("The texts go into the script as given.  Duration and maximum depth must be\n"
                        "numbers; the minimum altitude is read leniently for the depth envelope."),
         [](const CliValues &v) {
             TransectInputs in;
             in.heading = cliText(v, QStringLiteral("heading"));
             in.duration = cliText(v, QStringLiteral("duration"));
             in.minDepth = cliText(v, QStringLiteral("min-depth"));
             in.maxDepth = cliText(v, QStringLiteral("max-depth"));
             in.minAltitude = cliText(v, QStringLiteral("min-altitude"));
             in.maxCycles = cliText(v, QStringLiteral("max-cycles"));
             in.speed = cliText(v, QStringLiteral("speed"));
             return buildTransect(in);
         }});
}

} // namespace bravik::mission
