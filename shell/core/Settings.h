#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace bravik {

// Everything the crew may configure, read once at start.  Defaults follow
// the original installation on Windows and the same layout under the home
// folder elsewhere.  An INI file overrides the defaults; the command line
// overrides the INI file.
struct Settings
{
    // Database: driver "QSQLITE" (a file path) or "QPSQL" (a libpq
    // connection string or postgresql:// URI).
    QString databaseDriver;
    QString database;
    // How long a logbook statement may take before the window stops
    // waiting for it by itself ([database] statementTimeout, in seconds).
    int statementTimeoutMs = 20000;

    QString missionsFolder;

    // Commands are a program plus fixed arguments, started without a shell.
    QString runProgram;
    QStringList runArguments;
    QString stopProgram;
    QStringList stopArguments;

    QString gpsHost;
    quint16 gpsPort = 3004;
    // Where the sentences come from ([gps] source): the sentence server at
    // gpsHost:gpsPort (tcp://HOST:PORT, the default, also what the host and
    // port keys give), gpsd at gpsHost:gpsPort (gpsd://HOST:PORT, port 2947
    // unless given) or a serial receiver (serial:DEVICE?baud=N, 4800 baud
    // unless given).
    enum class GpsSource { Tcp, Gpsd, Serial };
    GpsSource gpsSource = GpsSource::Tcp;
    QString gpsDevice;
    int gpsBaud = 4800;
    // The GNSS talkers whose GLL sentences give a fix ([gps] talkers); by
    // default all of gpsTalkerNames().
    QStringList gpsTalkers;
    static const QStringList &gpsTalkerNames();
    static const QList<int> &gpsBaudRates();

    // The crew roster (six short names) and the person lists built from it.
    QStringList crewRoster;
    QStringList launchCoordinators;   // four of the roster
    QStringList payloadCoordinators;  // four of the roster and two more
    QStringList reviewers;            // five entries
    QStringList assignees() const;    // roster plus "AUV Ops Team"

    // The vehicle's limits ([vehicle]); each unset unless configured.  A
    // mission that goes beyond one is refused at "Run Mission".
    std::optional<double> vehicleMaxDepth;            // maxDepth, metres
    std::optional<double> vehicleMaxSpeed;            // maxSpeed, metres per second
    std::optional<double> vehicleMaxMissionTime;      // maxMissionTime, seconds
    std::optional<double> vehicleMaxWaypointDistance; // maxWaypointDistance, metres
    std::optional<double> vehicleMinShoreDistance;    // minShoreDistance, metres from the shore
    double vehicleCruiseSpeed = 1.5;                  // cruiseSpeed: faster legs are flagged

    // Where the GSHHG shoreline files are ([chart] coastlineFolder); empty:
    // where GMT and Debian's gmt-gshhg-* and gmt-common packages put them.
    QString chartCoastlineFolder;

    // Where the launch console keeps the status files of the commands it
    // started ([launch] folder).
    QString launchFolder;
    // "Run Mission" needs a predive checklist stored within this many hours
    // with every "Operational" and "Valid" box ticked ([launch]
    // requirePredive); 0, the default, asks for none.
    double launchRequirePredive = 0.0;

    // What needs attention in the operations window ([attention]): a pack
    // not charged within chargeHours since its last charge, a task without
    // a completion date older than openTaskDays.
    double attentionChargeHours = 24.0;
    double attentionOpenTaskDays = 7.0;
    // The largest file an entry takes as an attachment, in megabytes
    // ([attachments] maxMegabytes).
    int attachmentsMaxMegabytes = 50;
    // The heading of the daily report: the vessel or project ([report] title).
    QString reportTitle;

    // A shared logbook on a server that the logbook file above is kept in
    // step with ([sync] server, a libpq connection string or URI; empty:
    // none), every syncIntervalSeconds ([sync] interval, default 60).  The
    // windows always work on the file.
    QString syncServer;
    double syncIntervalSeconds = 60.0;

    static Settings defaults();

    // The INI file in the platform's config location, or empty when the
    // platform has none.
    static QString defaultConfigFile();

    // Reads the INI file over `base`.  Every value that cannot be used is
    // left at its value in `base` and named in `problems`.  A missing file
    // is not a problem; an unreadable one is.
    static Settings fromIniFile(const QString &path, const Settings &base, QStringList *problems);
};

// The settings the running program uses.
const Settings &settings();
void setSettings(const Settings &s);

} // namespace bravik
