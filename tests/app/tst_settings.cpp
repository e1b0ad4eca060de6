#include "App.h"
#include "Settings.h"
#include "TestDoubles.h"

#include <QtTest>

using bravik::Settings;

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaults();
    void iniOverrides();
    void badValues_data();
    void badValues();
    void missingAndUnreadableFiles();
    void vehicleLimits_data();
    void vehicleLimits();
    void gpsSource_data();
    void gpsSource();
    void gpsTalkers_data();
    void gpsTalkers();
    void commandLine_data();
    void commandLine();
    void startupNamesEveryProblemInOneMessage();

private:
    QString writeIni(const QByteArray &text);
    QTemporaryDir m_dir;
    int m_count = 0;
};

QString TestSettings::writeIni(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("s%1.ini").arg(++m_count));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(text);
    return path;
}

void TestSettings::defaults()
{
    const Settings s = Settings::defaults();
    QCOMPARE(s.databaseDriver, QStringLiteral("QSQLITE"));
    QCOMPARE(s.gpsHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(s.gpsPort, quint16(3004));
    QCOMPARE(s.crewRoster.size(), 6);
    QCOMPARE(s.launchCoordinators, s.crewRoster.mid(0, 4));
    QCOMPARE(s.reviewers, s.crewRoster.mid(0, 5));
    QCOMPARE(s.payloadCoordinators.size(), 6);
    QCOMPARE(s.payloadCoordinators.mid(0, 4), s.crewRoster.mid(0, 4));
    QCOMPARE(s.assignees().last(), QStringLiteral("AUV Ops Team"));
    QCOMPARE(s.assignees().size(), 7);
    QCOMPARE(s.statementTimeoutMs, 20000);
    QCOMPARE(s.launchRequirePredive, 0.0);
#ifndef Q_OS_WIN
    QVERIFY(s.database.startsWith(QDir::homePath()));
    QVERIFY(s.database.endsWith(QLatin1String("/Bravik/Utilities/BravikLogUtility/BravikDatabase.sqlite")));
    QCOMPARE(s.missionsFolder, QDir::homePath() + QStringLiteral("/Bravik/Missions"));
    QCOMPARE(s.runProgram, QDir::homePath() + QStringLiteral("/Bravik/bin/runmission"));
    QCOMPARE(s.stopProgram, QDir::homePath() + QStringLiteral("/Bravik/bin/slaysupervisor"));
#endif
}

void TestSettings::iniOverrides()
{
    const QString path = writeIni(
        "[database]\nlocation=/data/crew.sqlite\nstatementTimeout=7.5\n"
        "[missions]\nfolder=/data/missions\n"
        "[commands]\nrun=/opt/auv/run\nrunArguments=--vehicle, bravik1\nstop=/opt/auv/stop\n"
        "[gps]\nhost=192.0.2.7\nport=4001\n"
        "[crew]\nroster=Kim, Lou, Max, Ned, Ola, Pia, Quin\n"
        "[launch]\nrequirePredive=6.5\n"
        "[attention]\nchargeHours=36\nopenTaskDays=2.5\n[report]\ntitle=R/V Bravik, cruise BR-26\n"
        "[attachments]\nmaxMegabytes=120\n");
    QStringList problems;
    const Settings s = Settings::fromIniFile(path, Settings::defaults(), &problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(s.database, QStringLiteral("/data/crew.sqlite"));
    QCOMPARE(s.statementTimeoutMs, 7500);
    QCOMPARE(s.launchRequirePredive, 6.5);
    QCOMPARE(s.attentionChargeHours, 36.0);
    QCOMPARE(s.attentionOpenTaskDays, 2.5);
    QCOMPARE(s.attachmentsMaxMegabytes, 120);
    QCOMPARE(s.reportTitle, QStringLiteral("R/V Bravik, cruise BR-26"));
    QCOMPARE(s.missionsFolder, QStringLiteral("/data/missions"));
    QCOMPARE(s.runProgram, QStringLiteral("/opt/auv/run"));
    QCOMPARE(s.runArguments, (QStringList{"--vehicle", "bravik1"}));
    QCOMPARE(s.stopProgram, QStringLiteral("/opt/auv/stop"));
    QCOMPARE(s.gpsHost, QStringLiteral("192.0.2.7"));
    QCOMPARE(s.gpsPort, quint16(4001));
    QCOMPARE(s.crewRoster, (QStringList{"Kim", "Lou", "Max", "Ned", "Ola", "Pia", "Quin"}));
    // The person lists follow a new roster.
    QCOMPARE(s.launchCoordinators, (QStringList{"Kim", "Lou", "Max", "Ned"}));
    QCOMPARE(s.reviewers, (QStringList{"Kim", "Lou", "Max", "Ned", "Ola"}));
    QCOMPARE(s.payloadCoordinators.mid(0, 4), s.launchCoordinators);
}

void TestSettings::badValues_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("named");
    QTest::newRow("port not a number") << QByteArray("[gps]\nport=abc\n") << "gps/port";
    QTest::newRow("port zero") << QByteArray("[gps]\nport=0\n") << "gps/port";
    QTest::newRow("port too large") << QByteArray("[gps]\nport=70000\n") << "gps/port";
    QTest::newRow("unknown driver") << QByteArray("[database]\ndriver=oracle\n") << "database/driver";
    QTest::newRow("empty database") << QByteArray("[database]\nlocation=\n") << "database/location";
    QTest::newRow("empty roster") << QByteArray("[crew]\nroster=\n") << "crew/roster needs at least 1 name;";
    QTest::newRow("timeout not a number") << QByteArray("[database]\nstatementTimeout=soon\n") << "database/statementTimeout";
    QTest::newRow("timeout zero") << QByteArray("[database]\nstatementTimeout=0\n") << "database/statementTimeout";
    QTest::newRow("unknown source") << QByteArray("[gps]\nsource=udp://127.0.0.1:3004\n") << "gps/source";
    QTest::newRow("source without host") << QByteArray("[gps]\nsource=gpsd://\n") << "gps/source";
    QTest::newRow("source port too large") << QByteArray("[gps]\nsource=tcp://127.0.0.1:70000\n") << "gps/source";
    QTest::newRow("serial without device") << QByteArray("[gps]\nsource=serial:?baud=4800\n") << "gps/source";
    QTest::newRow("unsupported baud") << QByteArray("[gps]\nsource=serial:/dev/ttyUSB0?baud=1200\n") << "gps/source";
    QTest::newRow("baud not a number") << QByteArray("[gps]\nsource=serial:/dev/ttyUSB0?baud=fast\n") << "gps/source";
    QTest::newRow("unknown serial option") << QByteArray("[gps]\nsource=serial:/dev/ttyUSB0?parity=E\n") << "gps/source";
    QTest::newRow("unknown talker") << QByteArray("[gps]\ntalkers=GP, BD\n") << "gps/talkers";
    QTest::newRow("no talkers") << QByteArray("[gps]\ntalkers=\n") << "gps/talkers";
    QTest::newRow("predive hours not a number") << QByteArray("[launch]\nrequirePredive=six\n") << "launch/requirePredive";
    QTest::newRow("predive hours negative") << QByteArray("[launch]\nrequirePredive=-2\n") << "launch/requirePredive";
    QTest::newRow("predive hours with a unit") << QByteArray("[launch]\nrequirePredive=6h\n") << "launch/requirePredive";
    QTest::newRow("charge hours not a number") << QByteArray("[attention]\nchargeHours=daily\n") << "attention/chargeHours";
    QTest::newRow("charge hours zero") << QByteArray("[attention]\nchargeHours=0\n") << "attention/chargeHours";
    QTest::newRow("task days negative") << QByteArray("[attention]\nopenTaskDays=-7\n") << "attention/openTaskDays";
    QTest::newRow("attachment limit not a number") << QByteArray("[attachments]\nmaxMegabytes=big\n") << "attachments/maxMegabytes";
    QTest::newRow("attachment limit zero") << QByteArray("[attachments]\nmaxMegabytes=0\n") << "attachments/maxMegabytes";
    QTest::newRow("empty report title") << QByteArray("[report]\ntitle=\n") << "report/title";
    QTest::newRow("sync interval zero") << QByteArray("[sync]\ninterval=0\n") << "sync/interval";
}

void TestSettings::badValues()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, named);
    QStringList problems;
    const Settings d = Settings::defaults();
    const Settings s = Settings::fromIniFile(writeIni(ini), d, &problems);
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems.first().contains(named), qPrintable(problems.first()));
    // The program goes on with the defaults.
    QCOMPARE(s.gpsPort, d.gpsPort);
    QCOMPARE(s.databaseDriver, d.databaseDriver);
    QCOMPARE(s.database, d.database);
    QCOMPARE(s.crewRoster, d.crewRoster);
    QCOMPARE(s.statementTimeoutMs, d.statementTimeoutMs);
    QCOMPARE(s.gpsSource, d.gpsSource);
    QCOMPARE(s.gpsHost, d.gpsHost);
    QCOMPARE(s.gpsBaud, d.gpsBaud);
    QCOMPARE(s.gpsTalkers, d.gpsTalkers);
    QCOMPARE(s.launchRequirePredive, 0.0);
    QCOMPARE(s.attentionChargeHours, 24.0);
    QCOMPARE(s.attentionOpenTaskDays, 7.0);
    QCOMPARE(s.reportTitle, d.reportTitle);
    QCOMPARE(s.attachmentsMaxMegabytes, 50);
}

void TestSettings::vehicleLimits_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<double>("maxDepth");   // 0: unset
    QTest::addColumn<int>("problems");
    QTest::newRow("absent") << QByteArray("[vehicle]\n") << 0.0 << 0;
    QTest::newRow("set") << QByteArray("[vehicle]\nmaxDepth=120.5\n") << 120.5 << 0;
    QTest::newRow("empty") << QByteArray("[vehicle]\nmaxDepth=\n") << 0.0 << 0;
    QTest::newRow("not a number") << QByteArray("[vehicle]\nmaxDepth=deep\n") << 0.0 << 1;
    QTest::newRow("negative") << QByteArray("[vehicle]\nmaxDepth=-3\n") << 0.0 << 1;
}

void TestSettings::vehicleLimits()
{
    QFETCH(QByteArray, ini);
    QFETCH(double, maxDepth);
    QFETCH(int, problems);
    QStringList found;
    const Settings s = Settings::fromIniFile(writeIni(ini + "maxSpeed=2\nmaxMissionTime=3600\nmaxWaypointDistance=5000\nminShoreDistance=250\ncruiseSpeed=1.2\n"),
                                             Settings::defaults(), &found);
    QCOMPARE(found.size(), problems);
    QCOMPARE(s.vehicleMaxDepth.has_value(), maxDepth > 0);
    if (maxDepth > 0)
        QCOMPARE(*s.vehicleMaxDepth, maxDepth);
    QCOMPARE(s.vehicleMaxSpeed, std::optional<double>(2.0));
    QCOMPARE(s.vehicleMaxMissionTime, std::optional<double>(3600.0));
    QCOMPARE(s.vehicleMaxWaypointDistance, std::optional<double>(5000.0));
    QCOMPARE(s.vehicleMinShoreDistance, std::optional<double>(250.0));
    QCOMPARE(s.vehicleCruiseSpeed, 1.2);
    QVERIFY(!Settings::defaults().vehicleMaxDepth && !Settings::defaults().vehicleMaxSpeed);
    QVERIFY(!Settings::defaults().vehicleMinShoreDistance);
}

void TestSettings::missingAndUnreadableFiles()
{
    QStringList problems;
    Settings::fromIniFile(m_dir.filePath(QStringLiteral("absent.ini")), Settings::defaults(), &problems);
    QVERIFY(problems.isEmpty());

    // A folder where the file should be cannot be read as settings.
    const QString folder = m_dir.filePath(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(folder));
    const Settings s = Settings::fromIniFile(folder, Settings::defaults(), &problems);
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().contains(folder));
    QCOMPARE(s.gpsPort, quint16(3004));
}

void TestSettings::gpsSource_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("baud");
    const int tcp = int(Settings::GpsSource::Tcp), gpsd = int(Settings::GpsSource::Gpsd),
              serial = int(Settings::GpsSource::Serial);
    QTest::newRow("nothing: the sentence server") << QByteArray() << tcp << "127.0.0.1" << 3004 << "" << 4800;
    QTest::newRow("host and port keys mean the server")
        << QByteArray("[gps]\nhost=192.0.2.7\nport=4001\n") << tcp << "192.0.2.7" << 4001 << "" << 4800;
    QTest::newRow("tcp") << QByteArray("[gps]\nsource=tcp://192.0.2.8:4002\n") << tcp << "192.0.2.8" << 4002 << ""
                         << 4800;
    QTest::newRow("tcp without port") << QByteArray("[gps]\nsource=tcp://gps.ship\n") << tcp << "gps.ship" << 3004
                                      << "" << 4800;
    QTest::newRow("gpsd") << QByteArray("[gps]\nsource=gpsd://127.0.0.1:2948\n") << gpsd << "127.0.0.1" << 2948 << ""
                          << 4800;
    QTest::newRow("gpsd on its own port") << QByteArray("[gps]\nsource=gpsd://localhost\n") << gpsd << "localhost"
                                          << 2947 << "" << 4800;
    QTest::newRow("gpsd over IPv6") << QByteArray("[gps]\nsource=gpsd://[::1]:2947\n") << gpsd << "::1" << 2947 << ""
                                    << 4800;
    QTest::newRow("source wins over host and port")
        << QByteArray("[gps]\nhost=192.0.2.7\nport=4001\nsource=gpsd://127.0.0.1\n") << gpsd << "127.0.0.1" << 2947
        << "" << 4800;
    QTest::newRow("serial") << QByteArray("[gps]\nsource=serial:/dev/ttyUSB0\n") << serial << "127.0.0.1" << 3004
                            << "/dev/ttyUSB0" << 4800;
    QTest::newRow("serial fast") << QByteArray("[gps]\nsource=serial:/dev/ttyACM0?baud=115200\n") << serial
                                 << "127.0.0.1" << 3004 << "/dev/ttyACM0" << 115200;
    QTest::newRow("serial on Windows") << QByteArray("[gps]\nsource=serial:COM3?baud=9600\n") << serial << "127.0.0.1"
                                       << 3004 << "COM3" << 9600;
    QTest::newRow("serial 38400") << QByteArray("[gps]\nsource=serial:/dev/serial/by-id/usb-u-blox_GNSS-if00?baud=38400\n")
                                  << serial << "127.0.0.1" << 3004 << "/dev/serial/by-id/usb-u-blox_GNSS-if00" << 38400;
}

void TestSettings::gpsSource()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, device);
    QFETCH(int, baud);
    QStringList problems;
    const Settings s = Settings::fromIniFile(writeIni(ini), Settings::defaults(), &problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(int(s.gpsSource), kind);
    QCOMPARE(s.gpsHost, host);
    QCOMPARE(int(s.gpsPort), port);
    QCOMPARE(s.gpsDevice, device);
    QCOMPARE(s.gpsBaud, baud);
}

void TestSettings::gpsTalkers_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("expected");
    const QStringList all{"GP", "GN", "GL", "GA", "GB", "GQ", "GI"};
    QTest::newRow("default: every GNSS talker") << QByteArray() << all;
    QTest::newRow("one") << QByteArray("[gps]\ntalkers=GN\n") << QStringList{"GN"};
    QTest::newRow("two, any case, repeated") << QByteArray("[gps]\ntalkers=gp, GN, gn\n") << QStringList{"GP", "GN"};
}

void TestSettings::gpsTalkers()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, expected);
    QStringList problems;
    const Settings s = Settings::fromIniFile(writeIni(ini), Settings::defaults(), &problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(s.gpsTalkers, expected);
}

void TestSettings::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("help");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("database");
    QTest::addColumn<int>("errors");
    QTest::newRow("nothing") << QStringList{} << false << "" << "" << 0;
    QTest::newRow("help") << QStringList{"--help"} << true << "" << "" << 0;
    QTest::newRow("config and database") << QStringList{"--config", "/x.ini", "--database", "/y.sqlite"}
                                         << false << "/x.ini" << "/y.sqlite" << 0;
    QTest::newRow("equals forms") << QStringList{"--config=/x.ini", "--database=/y b.sqlite"}
                                  << false << "/x.ini" << "/y b.sqlite" << 0;
    QTest::newRow("missing value") << QStringList{"--config"} << false << "" << "" << 1;
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << false << "" << "" << 1;
}

void TestSettings::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, help);
    QFETCH(QString, config);
    QFETCH(QString, database);
    QFETCH(int, errors);
    const bravik::CommandLine cl = bravik::parseCommandLine(QStringList{"bravik-log"} + args);
    QCOMPARE(cl.help, help);
    QCOMPARE(cl.configFile, config);
    QCOMPARE(cl.database, database);
    QCOMPARE(cl.errors.size(), errors);
}

void TestSettings::startupNamesEveryProblemInOneMessage()
{
    bravik::test::Seams seams;
    const QString path = writeIni("[gps]\nport=abc\n[database]\ndriver=oracle\n[crew]\nroster=\n[sync]\nserver=ship.lan\n");
    QVERIFY(bravik::startupSettings(bravik::parseCommandLine({"bravik-log", "--config", path})).syncServer.isEmpty());
    QCOMPARE(seams.messages->texts.size(), 1);
    for (const char *named : {"gps/port", "database/driver", "crew/roster", "sync/server"})
        QVERIFY2(seams.messages->texts.first().contains(QLatin1String(named)), qPrintable(seams.messages->texts.first()));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
