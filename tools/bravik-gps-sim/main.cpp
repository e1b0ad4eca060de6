// bravik-gps-sim: a GPS sentence server for training, demonstrations and
// tests.  Listens on 127.0.0.1:3004 unless told otherwise and sends every
// connected client a GLL, GGA and RMC sentence once a second.
#include "GpsSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

using bravik::gps::GpsSimulator;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bravik-gps-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRAVIK_VERSION));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Streams NMEA 0183 GLL, GGA and RMC sentences over TCP, from a start position "
        "that drifts slowly, to every client that connects."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and the exit statuses."));
    p.addOption(help);
    const QCommandLineOption version = p.addVersionOption();
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                  QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on (default 3004; 0 picks a free one)."),
                                  QStringLiteral("port"), QStringLiteral("3004"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Sentence sets a second (default 1)."),
                                  QStringLiteral("sets"), QStringLiteral("1"));
    const QCommandLineOption lat(QStringLiteral("lat"), QStringLiteral("Start latitude in degrees, north positive."),
                                 QStringLiteral("degrees"), QStringLiteral("36.8020567"));
    const QCommandLineOption lon(QStringLiteral("lon"), QStringLiteral("Start longitude in degrees, east positive."),
                                 QStringLiteral("degrees"), QStringLiteral("-121.7927967"));
    const QCommandLineOption talker(QStringLiteral("talker"),
                                    QStringLiteral("Talker of the sentences, two capital letters (default GP; GN "
                                                   "for a multi-system receiver)."),
                                    QStringLiteral("XX"), QStringLiteral("GP"));
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Write the sentences into a new pseudo-terminal, as a serial "
                                                "receiver, instead of listening on TCP; prints its path."));
    p.addOptions({host, port, rate, lat, lon, talker, pty});
    // Parsed here rather than by process(), so that a wrong option ends with
    // status 2 like a wrong value, and --help ends with the exit statuses.
    if (!p.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "bravik-gps-sim: %s\n", qPrintable(p.errorText()));
        return 2;
    }
    if (p.isSet(help)) {
        std::fputs(qPrintable(p.helpText()
                              + QStringLiteral("\nExit status:\n"
                                               "  0  help or the version was shown; otherwise it serves until it is stopped (Ctrl-C)\n"
                                               "  2  a wrong option or value, or the address cannot be listened on\n")),
                   stdout);
        return 0;
    }
    if (p.isSet(version))
        p.showVersion();

    auto fail = [](const QString &text) {
        std::fprintf(stderr, "bravik-gps-sim: %s\n", qPrintable(text));
        return 2;
    };
    GpsSimulator::Options o;
    bool ok = false;
    const uint portValue = p.value(port).toUInt(&ok);
    if (!ok || portValue > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535, not \"%1\".").arg(p.value(port)));
    o.rate = p.value(rate).toDouble(&ok);
    if (!ok || !(o.rate > 0.0) || o.rate > 1000.0)
        return fail(QStringLiteral("--rate needs a number above 0 and at most 1000, not \"%1\".").arg(p.value(rate)));
    o.latitude = p.value(lat).toDouble(&ok);
    if (!ok || !(o.latitude >= -90.0 && o.latitude <= 90.0))
        return fail(QStringLiteral("--lat needs degrees from -90 to 90, not \"%1\".").arg(p.value(lat)));
    o.longitude = p.value(lon).toDouble(&ok);
    if (!ok || !(o.longitude >= -180.0 && o.longitude < 180.0))
        return fail(QStringLiteral("--lon needs degrees from -180 to below 180, not \"%1\".").arg(p.value(lon)));

    const QString talkerValue = p.value(talker);
    if (talkerValue.size() != 2 || !talkerValue.at(0).isUpper() || !talkerValue.at(1).isUpper()
        || talkerValue.at(0).unicode() > 'Z' || talkerValue.at(1).unicode() > 'Z')
        return fail(QStringLiteral("--talker needs two capital letters such as GP or GN, not \"%1\".").arg(talkerValue));
    o.talker = talkerValue.toLatin1();

    GpsSimulator sim(o);
    QString error;
    if (p.isSet(pty)) {
        QString path;
        if (!sim.openPty(&path, &error))
            return fail(QStringLiteral("cannot create a pseudo-terminal: %1").arg(error));
        // The first line names the device for the program's serial source.
        std::printf("bravik-gps-sim writing to %s\n", qPrintable(path));
        std::fflush(stdout);
        return app.exec();
    }
    if (!sim.listen(p.value(host), quint16(portValue), &error))
        return fail(QStringLiteral("cannot listen on %1:%2: %3").arg(p.value(host)).arg(portValue).arg(error));

    // The first line names the port, so a caller that asked for port 0 can
    // find the one chosen.
    std::printf("bravik-gps-sim listening on %s:%u\n", qPrintable(p.value(host)), unsigned(sim.port()));
    std::fflush(stdout);
    return app.exec();
}
