#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QtNumeric>
#include <QUrl>

namespace bravik {

namespace {

Settings &current()
{
    static Settings s = Settings::defaults();
    return s;
}

QStringList splitList(const QVariant &v)
{
    // QSettings hands back a QStringList for "a, b, c" and a QString for one
    // item; both are accepted.
    QStringList out;
    const QStringList raw = v.typeId() == QMetaType::QStringList ? v.toStringList()
                                                                  : QStringList{v.toString()};
    for (const QString &item : raw) {
        const QString t = item.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

// "tcp://HOST:PORT", "gpsd://HOST[:PORT]", "serial:DEVICE[?baud=N]" into
// `s`; false with the reason in `why` when the text is none of them.
bool parseGpsSource(const QString &text, Settings &s, QString *why)
{
    const int tcpPort = 3004, gpsdPort = 2947;
    if (text.startsWith(QLatin1String("tcp://")) || text.startsWith(QLatin1String("gpsd://"))) {
        const bool gpsd = text.startsWith(QLatin1String("gpsd://"));
        const QUrl url(text, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() || !(url.path().isEmpty() || url.path() == QLatin1String("/"))
            || url.hasQuery() || !url.userInfo().isEmpty()) {
            *why = QStringLiteral("it names no host");
            return false;
        }
        const int port = url.port(gpsd ? gpsdPort : tcpPort);
        if (port <= 0 || port > 65535) {
            *why = QStringLiteral("its port is not a port number");
            return false;
        }
        s.gpsSource = gpsd ? Settings::GpsSource::Gpsd : Settings::GpsSource::Tcp;
        s.gpsHost = url.host();
        s.gpsPort = quint16(port);
        return true;
    }
    if (text.startsWith(QLatin1String("serial:"))) {
        // Not read as a URL: device names are taken as they stand
        // ("/dev/ttyUSB0", "COM3").
        const QString rest = text.mid(7);
        const qsizetype q = rest.indexOf(u'?');
        const QString device = rest.left(q).trimmed();
        if (device.isEmpty()) {
            *why = QStringLiteral("it names no device");
            return false;
        }
        int baud = 4800;
        if (q >= 0) {
            for (const QString &item : rest.mid(q + 1).split(u'&', Qt::SkipEmptyParts)) {
                const QString key = item.section(u'=', 0, 0).trimmed();
                const QString value = item.section(u'=', 1).trimmed();
                bool ok = false;
                const int n = value.toInt(&ok);
                if (key != QLatin1String("baud")) {
                    *why = QStringLiteral("it has the unknown option \"%1\"").arg(key);
                    return false;
                }
                if (!ok || !Settings::gpsBaudRates().contains(n)) {
                    QStringList rates;
                    for (int r : Settings::gpsBaudRates())
                        rates << QString::number(r);
                    *why = QStringLiteral("its baud rate \"%1\" is not one of %2").arg(value, rates.join(QLatin1String(", ")));
                    return false;
                }
                baud = n;
            }
        }
        s.gpsSource = Settings::GpsSource::Serial;
        s.gpsDevice = device;
        s.gpsBaud = baud;
        return true;
    }
    *why = QStringLiteral("it is not tcp://HOST:PORT, gpsd://HOST:PORT or serial:DEVICE?baud=N");
    return false;
}

} // namespace

const QStringList &Settings::gpsTalkerNames()
{
    static const QStringList names{QStringLiteral("GP"), QStringLiteral("GN"), QStringLiteral("GL"),
                                   QStringLiteral("GA"), QStringLiteral("GB"), QStringLiteral("GQ"),
                                   QStringLiteral("GI")};
    return names;
}

const QList<int> &Settings::gpsBaudRates()
{
    static const QList<int> rates{4800, 9600, 38400, 115200};
    return rates;
}

QStringList Settings::assignees() const
{
    return crewRoster + QStringList{QStringLiteral("AUV Ops Team")};
}

Settings Settings::defaults()
{
    Settings s;
    s.databaseDriver = QStringLiteral("QSQLITE");
#ifdef Q_OS_WIN
    s.database = QStringLiteral("C:/Bravik/Utilities/BravikLogUtility/BravikDatabase.sqlite");
    s.missionsFolder = QStringLiteral("C:/Bravik/Missions");
    s.runProgram = QStringLiteral("C:/cygwin/cygwinrunmission.bat");
    s.stopProgram = QStringLiteral("C:/cygwin/cygwinsss.bat");
    s.launchFolder = QStringLiteral("C:/Bravik/Launches");
#else
    const QString home = QDir::homePath();
    s.database = home + QStringLiteral("/Bravik/Utilities/BravikLogUtility/BravikDatabase.sqlite");
    s.missionsFolder = home + QStringLiteral("/Bravik/Missions");
    s.runProgram = home + QStringLiteral("/Bravik/bin/runmission");
    s.stopProgram = home + QStringLiteral("/Bravik/bin/slaysupervisor");
    s.launchFolder = home + QStringLiteral("/Bravik/Launches");
#endif
    s.gpsHost = QStringLiteral("127.0.0.1");
    s.gpsPort = 3004;
    s.gpsTalkers = gpsTalkerNames();
    s.crewRoster = {QStringLiteral("Ada"), QStringLiteral("Ben"), QStringLiteral("Cai"),
                    QStringLiteral("Dee"), QStringLiteral("Eli"), QStringLiteral("Fay")};
    s.launchCoordinators = s.crewRoster.mid(0, 4);
    s.payloadCoordinators = s.crewRoster.mid(0, 4) + QStringList{QStringLiteral("Sci 1"), QStringLiteral("Sci 2")};
    s.reviewers = s.crewRoster.mid(0, 5);
    s.reportTitle = QStringLiteral("Team Bravik AUV operations");
    return s;
}

QString Settings::defaultConfigFile()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (dir.isEmpty())
        return {};
    return dir + QStringLiteral("/bravik-log.ini");
}

Settings Settings::fromIniFile(const QString &path, const Settings &base, QStringList *problems)
{
    Settings s = base;
    auto problem = [&](const QString &text) {
        if (problems)
            *problems << text;
    };
    QFileInfo info(path);
    if (!info.exists())
        return s;
    if (!info.isFile() || !info.isReadable()) {
        problem(QStringLiteral("The settings file %1 cannot be read.").arg(path));
        return s;
    }
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        problem(QStringLiteral("The settings file %1 is not a valid settings file.").arg(path));
        return s;
    }

    auto text = [&](const char *key, QString &target) {
        if (!ini.contains(QLatin1String(key)))
            return;
        const QString v = ini.value(QLatin1String(key)).toString().trimmed();
        if (v.isEmpty())
            problem(QStringLiteral("The setting %1 is empty; the default %2 is used.")
                        .arg(QLatin1String(key), target));
        else
            target = v;
    };
    auto list = [&](const char *key, QStringList &target, int minimum) {
        if (!ini.contains(QLatin1String(key)))
            return;
        const QStringList v = splitList(ini.value(QLatin1String(key)));
        if (v.size() < minimum)
            problem(QStringLiteral("The setting %1 needs at least %2; the defaults are used.")
                        .arg(QLatin1String(key),
                             minimum == 1 ? QStringLiteral("1 name") : QStringLiteral("%1 names").arg(minimum)));
        else
            target = v;
    };
    auto args = [&](const char *key, QStringList &target) {
        if (ini.contains(QLatin1String(key)))
            target = splitList(ini.value(QLatin1String(key)));
    };

    if (ini.contains(QStringLiteral("database/driver"))) {
        const QString d = ini.value(QStringLiteral("database/driver")).toString().trimmed().toUpper();
        if (d == QLatin1String("QSQLITE") || d == QLatin1String("SQLITE"))
            s.databaseDriver = QStringLiteral("QSQLITE");
        else if (d == QLatin1String("QPSQL") || d == QLatin1String("POSTGRESQL"))
            s.databaseDriver = QStringLiteral("QPSQL");
        else
            problem(QStringLiteral("The setting database/driver has the unknown value \"%1\"; %2 is used.")
                        .arg(d, s.databaseDriver));
    }
    text("database/location", s.database);
    if (ini.contains(QStringLiteral("database/statementTimeout"))) {
        bool ok = false;
        const QString raw = ini.value(QStringLiteral("database/statementTimeout")).toString().trimmed();
        const double seconds = raw.toDouble(&ok);
        if (!ok || seconds <= 0 || seconds > 24 * 3600)
            problem(QStringLiteral("The setting database/statementTimeout has the value \"%1\", which is not a "
                                   "number of seconds; %2 is used.")
                        .arg(raw)
                        .arg(s.statementTimeoutMs / 1000.0));
        else
            s.statementTimeoutMs = int(seconds * 1000);
    }
    text("missions/folder", s.missionsFolder);
    text("commands/run", s.runProgram);
    args("commands/runArguments", s.runArguments);
    text("commands/stop", s.stopProgram);
    args("commands/stopArguments", s.stopArguments);
    text("gps/host", s.gpsHost);
    if (ini.contains(QStringLiteral("gps/port"))) {
        bool ok = false;
        const uint port = ini.value(QStringLiteral("gps/port")).toString().trimmed().toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            problem(QStringLiteral("The setting gps/port has the value \"%1\", which is not a port number; %2 is used.")
                        .arg(ini.value(QStringLiteral("gps/port")).toString())
                        .arg(s.gpsPort));
        else
            s.gpsPort = quint16(port);
    }
    if (ini.contains(QStringLiteral("gps/source"))) {
        const QVariant raw = ini.value(QStringLiteral("gps/source"));
        // A comma would have made a list of it: put it back together.
        const QString v = (raw.typeId() == QMetaType::QStringList ? raw.toStringList().join(u',') : raw.toString())
                              .trimmed();
        Settings parsed = s;
        QString why;
        if (parseGpsSource(v, parsed, &why)) {
            s = parsed;
        } else {
            const QString used = s.gpsSource == GpsSource::Serial
                                     ? QStringLiteral("serial:%1?baud=%2").arg(s.gpsDevice).arg(s.gpsBaud)
                                     : QStringLiteral("%1://%2:%3")
                                           .arg(s.gpsSource == GpsSource::Gpsd ? QStringLiteral("gpsd")
                                                                               : QStringLiteral("tcp"),
                                                s.gpsHost)
                                           .arg(s.gpsPort);
            problem(QStringLiteral("The setting gps/source has the value \"%1\", which cannot be used: %2; %3 is used.")
                        .arg(v, why, used));
        }
    }
    if (ini.contains(QStringLiteral("gps/talkers"))) {
        const QStringList v = splitList(ini.value(QStringLiteral("gps/talkers")));
        QStringList talkers;
        QString bad;
        for (const QString &t : v) {
            const QString upper = t.toUpper();
            if (!gpsTalkerNames().contains(upper)) {
                bad = t;
                break;
            }
            if (!talkers.contains(upper))
                talkers << upper;
        }
        if (!bad.isEmpty() || talkers.isEmpty())
            problem(QStringLiteral("The setting gps/talkers needs talkers from %1, not \"%2\"; %3 are used.")
                        .arg(gpsTalkerNames().join(QLatin1String(", ")),
                             bad.isEmpty() ? v.join(QLatin1String(", ")) : bad, s.gpsTalkers.join(QLatin1String(", "))));
        else
            s.gpsTalkers = talkers;
    }

    auto limit = [&](const char *key, std::optional<double> &target) {
        if (!ini.contains(QLatin1String(key)))
            return;
        const QString raw = ini.value(QLatin1String(key)).toString().trimmed();
        if (raw.isEmpty()) {
            target.reset();
            return;
        }
        bool ok = false;
        const double v = raw.toDouble(&ok);
        if (!ok || !(v > 0.0) || !qIsFinite(v))
            problem(QStringLiteral("The setting %1 has the value \"%2\", which is not a positive number; it is left unset.")
                        .arg(QLatin1String(key), raw));
        else
            target = v;
    };
    limit("vehicle/maxDepth", s.vehicleMaxDepth);
    limit("vehicle/maxSpeed", s.vehicleMaxSpeed);
    limit("vehicle/maxMissionTime", s.vehicleMaxMissionTime);
    limit("vehicle/maxWaypointDistance", s.vehicleMaxWaypointDistance);
    limit("vehicle/minShoreDistance", s.vehicleMinShoreDistance);
    {
        std::optional<double> cruise;
        limit("vehicle/cruiseSpeed", cruise);
        if (cruise)
            s.vehicleCruiseSpeed = *cruise;
    }
    text("chart/coastlineFolder", s.chartCoastlineFolder);
    text("launch/folder", s.launchFolder);
    if (ini.contains(QStringLiteral("launch/requirePredive"))) {
        const QString raw = ini.value(QStringLiteral("launch/requirePredive")).toString().trimmed();
        bool ok = raw.isEmpty();
        const double hours = ok ? 0.0 : raw.toDouble(&ok);
        if (!ok || !(hours >= 0.0) || !qIsFinite(hours)) {
            problem(QStringLiteral("The setting launch/requirePredive has the value \"%1\", which is not a positive "
                                   "number of hours; \"Run Mission\" does not ask for a predive checklist.")
                        .arg(raw));
            s.launchRequirePredive = 0.0;
        } else {
            s.launchRequirePredive = hours;
        }
    }

    auto positive = [&](const char *key, const QString &unit, double &target) {
        if (!ini.contains(QLatin1String(key)))
            return;
        const QString raw = ini.value(QLatin1String(key)).toString().trimmed();
        bool ok = false;
        const double v = raw.toDouble(&ok);
        if (!ok || !(v > 0.0) || !qIsFinite(v))
            problem(QStringLiteral("The setting %1 has the value \"%2\", which is not a positive number of %3; %4 is used.")
                        .arg(QLatin1String(key), raw, unit, QString::number(target)));
        else
            target = v;
    };
    positive("attention/chargeHours", QStringLiteral("hours"), s.attentionChargeHours);
    positive("attention/openTaskDays", QStringLiteral("days"), s.attentionOpenTaskDays);
    if (ini.contains(QStringLiteral("attachments/maxMegabytes"))) {
        const QString raw = ini.value(QStringLiteral("attachments/maxMegabytes")).toString().trimmed();
        bool ok = false;
        const int megabytes = raw.toInt(&ok);
        // Up to 1 GB: a file is held in memory while it is stored.
        if (!ok || megabytes < 1 || megabytes > 1024)
            problem(QStringLiteral("The setting attachments/maxMegabytes has the value \"%1\", which is not a whole "
                                   "number of megabytes from 1 to 1024; %2 is used.")
                        .arg(raw)
                        .arg(s.attachmentsMaxMegabytes));
        else
            s.attachmentsMaxMegabytes = megabytes;
    }
    if (ini.contains(QStringLiteral("report/title"))) {
        // A title with a comma ("R/V Bravik, cruise 26") reads as a list: put it back together.
        const QVariant raw = ini.value(QStringLiteral("report/title"));
        const QString v = (raw.typeId() == QMetaType::QStringList ? raw.toStringList().join(QStringLiteral(", "))
                                                                  : raw.toString())
                              .trimmed();
        if (v.isEmpty())
            problem(QStringLiteral("The setting report/title is empty; the default %1 is used.").arg(s.reportTitle));
        else
            s.reportTitle = v;
    }

    if (ini.contains(QStringLiteral("sync/server"))) {
        // A URI's query or a keyword string may hold commas: one text again.
        const QVariant raw = ini.value(QStringLiteral("sync/server"));
        s.syncServer = (raw.typeId() == QMetaType::QStringList ? raw.toStringList().join(QStringLiteral(","))
                                                               : raw.toString())
                           .trimmed();
    }
    positive("sync/interval", QStringLiteral("seconds"), s.syncIntervalSeconds);

    // A new roster carries the derived lists along unless they are given too.
    QStringList roster = s.crewRoster;
    list("crew/roster", roster, 1);
    if (roster != s.crewRoster) {
        s.crewRoster = roster;
        s.launchCoordinators = roster.mid(0, 4);
        s.payloadCoordinators = roster.mid(0, 4) + base.payloadCoordinators.mid(4);
        s.reviewers = roster.mid(0, 5);
    }
    list("crew/launchCoordinators", s.launchCoordinators, 1);
    list("crew/payloadCoordinators", s.payloadCoordinators, 1);
    list("crew/reviewers", s.reviewers, 1);
    return s;
}

const Settings &settings()
{
    return current();
}

void setSettings(const Settings &s)
{
    current() = s;
}

} // namespace bravik
