#pragma once

// What a mission script asks of the vehicle, worked out from the reader's
// model: the legs in the order the vehicle runs them (the vehicle runs the
// blocks from the last in the file to the first), the planned time against
// the legs, the depth envelope against every depth, the ascent, and the
// waypoints' distances.  Each finding is an error or a warning; a finding
// that goes beyond a configured vehicle limit is an error marked `limit`.

#include "ChartData.h"
#include "MissionScript.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace bravik {
struct Settings;
namespace chart {
class Coastline;
}
}

namespace bravik::mission {

// The vehicle's limits from the settings; each is unset unless configured.
struct VehicleLimits
{
    std::optional<double> maxDepth;            // metres
    std::optional<double> maxSpeed;            // metres per second
    std::optional<double> maxMissionTime;      // seconds
    std::optional<double> maxWaypointDistance; // metres
    // Waypoints and legs keep at least this far from the shore; set, it
    // also makes a finding of land refuse the run.
    std::optional<double> minShoreDistance;    // metres
    // A leg faster than this is worth a second look (a warning).
    double cruiseSpeed = 1.5;
};

// The limits the settings configure.
VehicleLimits vehicleLimits(const Settings &settings);

// A position in signed decimal degrees (north and east positive).
struct GeoPosition
{
    double latitude = 0.0;
    double longitude = 0.0;
};

// Degrees and minutes as the mission log's six boxes hold them; no value
// when a box is not a number or the position is out of range.
std::optional<GeoPosition> positionFromBoxes(const QString &latDegrees, const QString &latMinutes,
                                             const QString &ns, const QString &lonDegrees,
                                             const QString &lonMinutes, const QString &ew);

// Great-circle distance in metres.
double distanceMetres(const GeoPosition &a, const GeoPosition &b);

struct MissionLeg
{
    int number = 0;      // 1, 2, ... in the order the vehicle runs them
    // "Waypoint 3" for a waypoint, "Leg 2" for a setpoint or yoyo leg,
    // each counted on its own as the template windows count them.
    QString name;
    int line = 0;        // header line of its block
    QString kind;        // "setpoint", "waypoint", "yoyo"
    std::optional<double> duration, depth, speed, heading;
    std::optional<double> minDepth, maxDepth; // the yoyo band
    std::optional<double> minAltitude;        // the yoyo's own
    std::optional<GeoPosition> waypoint;
    std::optional<double> distance;           // metres from the point before
};

// One step of the depth profile, in run order: from `start` seconds for
// `duration` seconds the depth goes from `fromDepth` to `toDepth`; a yoyo
// step holds the band [bandMin, bandMax].
struct ProfileStep
{
    double start = 0.0;
    double duration = 0.0;
    double fromDepth = 0.0;
    double toDepth = 0.0;
    double ramp = 0.0;   // seconds from fromDepth to toDepth; then it holds
    bool band = false;
    double bandMin = 0.0;
    double bandMax = 0.0;
    // A band step: the turns of the yoyo, (seconds, metres), from its start
    // to where it is when its time ends (toDepth).
    QList<std::pair<double, double>> turns;
};

// The track in plan view, metres east and north of the start.
struct TrackPoint
{
    double east = 0.0;
    double north = 0.0;
    bool waypoint = false;
    int leg = 0;  // the leg that ends here, 0 for the start and the launch run
    int line = 0; // header line of the block that moved the vehicle here
};

// What the shore checks found, when they ran.
struct ShoreSummary
{
    bool checked = false;
    QString resolution;  // "GSHHG full resolution"
    QString reason;      // why the shore was not checked
    QString text;        // "start 1.2 km from the shore, Waypoint 1 850 m, ..."
    // The same in a line or two: with more than three waypoints only the
    // start and the waypoint nearest the shore, or the first on land:
    // "start 1.2 km from the shore, nearest Waypoint 7 350 m (of 20 waypoints)",
    // "start 1.2 km from the shore, Waypoint 4 on land (of 5 waypoints)".
    QString brief;
};

// More to check against than the script and the vehicle.
struct CheckContext
{
    // The mission log row's water depth, metres.
    std::optional<double> waterDepth;
    // The shore; null: not checked.
    chart::Coastline *coastline = nullptr;
};

struct MissionCheck
{
    QList<MissionLeg> legs;
    std::optional<double> missionTimer;   // seconds
    std::optional<double> envelopeMaxDepth, envelopeAbortDepth;
    double legsTime = 0.0;    // sum of the legs' durations
    double totalTime = 0.0;   // every timed block, in run order
    double deepest = 0.0;     // metres
    double trackLength = 0.0; // metres, the script's own (no leg from the start)
    double startLegLength = 0.0; // from the start position to the first waypoint
    bool startKnown = false;  // the track starts at the mission log's position
    std::optional<double> vehicleMaxDepth; // the configured limit, for the picture
    std::optional<double> waterDepth;      // the mission log row's
    QList<ProfileStep> profile;
    QList<TrackPoint> track;
    QList<TrackPoint> surfacings;  // where the vehicle comes up on the way
    // The geographic place of the track's metres, when one is known.
    std::optional<GeoPosition> trackOrigin;
    double originEast = 0.0, originNorth = 0.0;
    ShoreSummary shore;
    QList<Finding> findings;  // the reader's and the checks', in line order

    int errorCount() const;
    int warningCount() const;
    bool hasErrors() const { return errorCount() > 0; }
    QList<Finding> limitFindings() const;

    // "3 legs, 25 min 0 s (mission timer 33 min 20 s), deepest 30 m, track 2.1 km"
    // and, when the shore was checked, "; shore (GSHHG full resolution): ..."
    QString summary() const;
    // The same with the shore in brief (ShoreSummary::brief).
    QString briefSummary() const;

    // A point of the track on the earth, when the track has a place.
    std::optional<GeoPosition> geoOf(const TrackPoint &p) const;

private:
    QString summaryWith(const QString &shoreText) const;
};

// Checks a script that was read; `start` is the position of the mission
// log row, when it has one.
MissionCheck checkMission(const MissionScriptModel &model, const VehicleLimits &limits,
                          std::optional<GeoPosition> start = std::nullopt, const CheckContext &context = {});

// Reads and checks in one step.
MissionCheck checkMissionBytes(const QByteArray &bytes, const VehicleLimits &limits,
                               std::optional<GeoPosition> start = std::nullopt, const CheckContext &context = {});

// The track for a chart: the legs (dead-reckoned ones dashed), the start,
// the numbered waypoints and the planned surfacing points.
chart::ChartData chartData(const MissionCheck &check);

// "25 min 0 s", "1 h 2 min", "40 s".
QString durationText(double seconds);
// "850 m", "2.1 km".
QString distanceText(double metres);

} // namespace bravik::mission
