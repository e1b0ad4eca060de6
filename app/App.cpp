#include "App.h"

#include "Connection.h"
#include "Database.h"
#include "RecordFront.h"
#include "ExportCommand.h"
#include "LogbookCopy.h"
#include "Launch.h"
#include "LaunchSession.h"
#include "MissionWindows.h"
#include "RecordWindows.h"
#include "Platform.h"
#include "ShellWindows.h"
#include "Seams.h"
#include "Settings.h"
#include "WindowManager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSessionManager>
#include <QTextStream>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bravik {

void registerAllWindows()
{
    registerShellWindows();
    logbook::registerWindows();
    mission::registerWindows();
    launch::registerWindows();
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        auto value = [&](QString &target) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--")))
                cl.errors << QStringLiteral("The option %1 needs a value.").arg(a);
            else
                target = arguments.at(++i);
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            cl.help = true;
        else if (a == QLatin1String("--version") || a == QLatin1String("-v"))
            cl.version = true;
        else if (a == QLatin1String("--config"))
            value(cl.configFile);
        else if (a.startsWith(QLatin1String("--config=")))
            cl.configFile = a.mid(9);
        else if (a == QLatin1String("--database"))
            value(cl.database);
        else if (a.startsWith(QLatin1String("--database=")))
            cl.database = a.mid(11);
        else if (a == QLatin1String("--copy-logbook")) {
            if (i + 2 >= arguments.size())
                cl.errors << QStringLiteral("The option --copy-logbook needs two values: FROM and TO.");
            else
                cl.rest << a << arguments.at(i + 1) << arguments.at(i + 2);
            i += 2;
        }
        else if (a.startsWith(QLatin1String("-platform")) || a == QLatin1String("-style"))
            ++i; // Qt's own options, handled by QApplication
        else
            cl.errors << QStringLiteral("Unknown option %1.").arg(a);
    }
    return cl;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: bravik-log [options]\n"
        "The Bravik AUV Log Utility: operations logbook, mission scripts and launch console.\n"
        "\n"
        "Options:\n"
        "  --config FILE      read settings from FILE instead of %1\n"
        "  --database PATH    use this logbook: a database file, or a PostgreSQL server\n"
        "                     as a postgresql:// URI or libpq connection string\n"
        "                     (\"host=deck dbname=logbook\", \"service=bravik\")\n"
        "  --copy-logbook FROM TO\n"
        "                     copy every row of a logbook into an empty one (file or\n"
        "                     server, either way) and end; needs no display\n"
        "  --export TABLE …   write a table's entries as CSV or PDF and end; needs no\n"
        "                     display (bravik-log --export --help for more)\n"
        "  --help             show this text\n"
        "  --version          show the version\n"
        "\n"
        "Exit status:\n"
        "  0  the program ended normally (also after --help, --version or a copy made)\n"
        "  1  the logbook copy failed, or there is no display to start on\n"
        "  2  the command line is not understood\n")
        .arg(Settings::defaultConfigFile());
}

namespace {
// False once the launch records' thread was left stuck at quit.
bool &launchWriterEnded()
{
    static bool ended = true;
    return ended;
}
} // namespace

int runApplication(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (isExportCommand(args))
        return runExportCommand(argc, argv);
    const CommandLine cl = parseCommandLine(args);

    if (cl.help || cl.version || !cl.errors.isEmpty()) {
        QCoreApplication core(argc, argv);
        QTextStream out(cl.errors.isEmpty() ? stdout : stderr);
        for (const QString &e : cl.errors)
            out << "bravik-log: " << e << "\n";
        if (cl.version)
            out << "bravik-log " << BRAVIK_VERSION << "\n";
        if (cl.help || !cl.errors.isEmpty())
            out << usageText();
        return cl.errors.isEmpty() ? 0 : 2;
    }

    if (cl.rest.size() == 3 && cl.rest.first() == QLatin1String("--copy-logbook")) {
        QCoreApplication core(argc, argv);
        QTextStream err(stderr);
        QString error;
        const bool ok = logbook::copyLogbook(
            logbook::connection::fromText(cl.rest.at(1)), logbook::connection::fromText(cl.rest.at(2)),
            [&err](const QString &line) { err << line << "\n" << Qt::flush; }, &error);
        if (!ok)
            err << "bravik-log: " << error << "\n";
        return ok ? 0 : 1;
    }

    const QString noDisplay = platform::missingDisplayReason();
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "bravik-log: %s\n", qPrintable(noDisplay));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bravik-log"));
    QApplication::setApplicationDisplayName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(BRAVIK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.bravik.BravikLog"));

    QStringList problems;
    Settings s = Settings::fromIniFile(cl.configFile.isEmpty() ? Settings::defaultConfigFile() : cl.configFile,
                                       Settings::defaults(), &problems);
    if (!cl.configFile.isEmpty() && !QFileInfo::exists(cl.configFile))
        problems << QStringLiteral("The settings file %1 does not exist; the defaults are used.").arg(cl.configFile);
    if (!cl.database.isEmpty()) {
        const logbook::DatabaseLocation where = logbook::connection::fromText(cl.database);
        s.databaseDriver = where.driver;
        s.database = where.location;
    }
    setSettings(s);

    registerAllWindows();
    // Each store still running gets a few seconds; what could not be
    // stored is written to standard error.
    platform::onTerminationRequest(&app, [] {
        QElapsedTimer clock;
        clock.start();
        logbook::closeAllForQuit(std::chrono::seconds(4));
        // The launch records' writes have been going on meanwhile; they get
        // what is left of the same few seconds.
        launch::LaunchSession::instance().finishForQuit(
            std::chrono::milliseconds(qMax<qint64>(500, 4000 - clock.elapsed())), &launchWriterEnded());
        QCoreApplication::quit();
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [](QSessionManager &) {
        logbook::closeAllForQuit(std::chrono::seconds(4));
    });

    for (const QString &p : problems)
        inform(nullptr, p);

    // The logbook is created (or upgraded) at start, on a thread of its own
    // so the first window never waits for it; a logbook that cannot be
    // reached is reported by the record window that first needs it.
    logbook::RecordFront::openInBackground({s.databaseDriver, s.database}, &app, [location = s.database](const QString &error) {
        if (!error.isEmpty())
            std::fprintf(stderr, "bravik-log: the logbook %s cannot be opened: %s\n", qPrintable(location),
                         qPrintable(error));
    });

    windows().show(QStringLiteral("frmWelcome"));
    const int result = app.exec();
    // Launch records still on their way get a few seconds; what could not
    // be written is written to standard error.
    if (launchWriterEnded())
        launch::LaunchSession::instance().finishForQuit(std::chrono::seconds(4), &launchWriterEnded());
    // A statement still stuck on a hung server does not keep the program:
    // its thread gets a few seconds, then the program ends without it.
    if (!logbook::RecordFront::finishAll(std::chrono::seconds(3)) || !launchWriterEnded()) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(result);
    }
    return result;
}

} // namespace bravik
