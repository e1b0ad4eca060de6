#include "App.h"

#include "ClockText.h"
#include "CommandLine.h"
#include "Connection.h"
#include "Database.h"
#include "LogbookService.h"
#include "RecordFront.h"
#include "ExportCommand.h"
#include "OperationsCommand.h"
#include "frmOperations.h"
#include "LogbookCopy.h"
#include "LogbookMerge.h"
#include "LogbookPublication.h"
#include "LogbookSync.h"
#include "Launch.h"
#include "LaunchSession.h"
#include "MissionWindows.h"
#include "RecordWindows.h"
#include "Platform.h"
#include "ShellWindows.h"
#include "Seams.h"
#include "Settings.h"
#include "WaitForJob.h"
#include "WindowManager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSessionManager>
#include <QTextStream>
#include <atomic>
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
    ops::registerWindows();
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
        else if (a == QLatin1String("--copy-logbook") || a == QLatin1String("--merge-logbook")) {
            if (i + 2 >= arguments.size())
                cl.errors << QStringLiteral("The option %1 needs two values: FROM and %2.")
                                 .arg(a, a == QLatin1String("--copy-logbook") ? QStringLiteral("TO") : QStringLiteral("INTO"));
            else
                cl.rest << a << arguments.at(i + 1) << arguments.at(i + 2);
            i += 2;
        }
        else if (a == QLatin1String("--upgrade-logbook") || a == QLatin1String("--publish-logbook")) {
            if (i + 1 >= arguments.size())
                cl.errors << QStringLiteral("The option %1 needs a value: the logbook's location.").arg(a);
            else
                cl.rest << a << arguments.at(++i);
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
        "  --merge-logbook FROM INTO\n"
        "                     bring the entries of one logbook into another (file or\n"
        "                     server, either way; INTO is made when missing), keep\n"
        "                     fields changed in both as conflicts, print what it did\n"
        "                     and end; needs no display.  FROM may be the old Access\n"
        "                     logbook (.mdb)\n"
        "  --upgrade-logbook LOCATION\n"
        "                     create the logbook's tables at LOCATION (file or server),\n"
        "                     or bring older ones up to this version, and end\n"
        "  --publish-logbook LOCATION\n"
        "                     on a PostgreSQL logbook: upgrade it as above, then create\n"
        "                     the publication bravik_logbook for a shore copy, or add\n"
        "                     the tables it lacks, and end\n"
        "  --export TABLE …   write a table's entries as CSV or PDF and end; needs no\n"
        "                     display (bravik-log --export --help for more)\n"
        "  --report DAY --output FILE.pdf\n"
        "                     write the daily report of a UTC day (or --since … --until …)\n"
        "                     as a PDF and end; needs no display\n"
        "  --event-log --since WHEN [--until WHEN] [--output FILE.csv]\n"
        "                     write every entry and launch of a range as one CSV and end\n"
        "                     (bravik-log --report --help for more)\n"
        "  --help             show this text\n"
        "  --version          show the version\n"
        "\n"
        "Exit status:\n"
        "  0  the program ended normally (also after --help, --version, or a copy,\n"
        "     merge, upgrade or publication made)\n"
        "  1  the logbook copy, merge, upgrade, publication, export, report or event\n"
        "     log failed or was refused, or there is no display to start on\n"
        "  2  the command line is not understood\n")
        .arg(Settings::defaultConfigFile());
}

void identifyApplication()
{
    QApplication::setApplicationName(QStringLiteral("bravik-log"));
    QApplication::setApplicationVersion(QStringLiteral(BRAVIK_VERSION));
    // The task bar and the window manager find the program's name and icon
    // in its desktop file.  No display name is set: the window system would
    // add it to every window's title ("Team Bravik Event  Log — …").
    QGuiApplication::setDesktopFileName(QStringLiteral("org.bravik.BravikLog"));
}

Settings startupSettings(const CommandLine &cl)
{
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
    if (!s.syncServer.isEmpty()) {
        QString why;
        if (s.databaseDriver != QLatin1String("QSQLITE"))
            why = QStringLiteral("a shared logbook is kept in step with a logbook file, and the logbook is on a server");
        else if (!logbook::connection::looksLikePostgres(s.syncServer))
            why = QStringLiteral("it is not a PostgreSQL connection string or URI");
        else
            logbook::connection::postgresOptions(s.syncServer, &why);
        if (!why.isEmpty()) {
            problems << QStringLiteral("The setting sync/server cannot be used: %1; the logbook file is not kept in step "
                                       "with a shared logbook.").arg(why);
            s.syncServer.clear();
        }
    }
    if (problems.size() == 1) {
        inform(nullptr, problems.first());
    } else if (!problems.isEmpty()) {
        QString text = QStringLiteral("Some settings cannot be used; the program goes on without them:\n");
        for (const QString &p : problems)
            text += QStringLiteral("\n\u2022 ") + p;
        inform(nullptr, text);
    }
    return s;
}

namespace {
// False once a logbook service's thread was left stuck in a statement on
// a hung server at quit.
bool &logbookEnded()
{
    static bool ended = true;
    return ended;
}

// Quitting, once: the windows store their rows, the launches' status
// files are read a last time, then the logbook service gives every write
// still on its way a few seconds and keeps what is left in a file beside
// the logbook, stored at the next start (each named on standard error).
void quitLogbook(std::chrono::milliseconds grace)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // No exchange with the shared logbook is begun any more; one under way
    // is stopped with the other long jobs (it rolls back, and the next
    // start exchanges again).
    delete logbook::LogbookSync::current();
    logbook::closeAllForQuit();
    launch::LaunchSession::instance().quit();
    logbook::LogbookService::shutdownAll(grace, &logbookEnded());
}
} // namespace

void openLogbookAtStart(const logbook::DatabaseLocation &where, QObject *owner)
{
    // Writes a window could not store when the program last ended are
    // stored by the logbook's first connection, before anything else.
    logbook::RecordFront::registerKeptWrites();
    auto *client = new logbook::LogbookClient(where, owner);
    logbook::JobOptions options;
    options.deadline = std::chrono::milliseconds(-1);   // an upgrade takes as long as it takes
    const QString location = where.location;
    client->run(options, [](logbook::JobContext &) {}, [client, location](const logbook::Answer<void> &a) {
        if (!a.ok())
            std::fprintf(stderr, "bravik-log: the logbook %s cannot be opened: %s\n", qPrintable(location),
                         qPrintable(a.error));
        client->deleteLater();
    });
}

int runApplication(int argc, char **argv)
{
    const QStringList args = commandArguments(argc, argv);
    if (isExportCommand(args))
        return runExportCommand(argc, argv);
    if (isOperationsCommand(args))
        return runOperationsCommand(argc, argv);
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
        logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
        if (!ok)
            err << "bravik-log: " << error << "\n";
        return ok ? 0 : 1;
    }

    if (cl.rest.size() == 3 && cl.rest.first() == QLatin1String("--merge-logbook")) {
        QCoreApplication core(argc, argv);
        QTextStream out(stdout), err(stderr);
        QString error;
        const std::optional<logbook::MergeSummary> merged = logbook::mergeLogbooks(
            logbook::connection::fromText(cl.rest.at(1)), logbook::connection::fromText(cl.rest.at(2)), &error,
            // An Access logbook's dates as the main window's clock writes them.
            [locale = QLocale::system()](const QDateTime &t) { return clockText(t, locale); });
        logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
        if (!merged) {
            err << "bravik-log: " << error << "\n";
            return 1;
        }
        out << merged->text() << "\n";
        return 0;
    }

    if (cl.rest.size() == 2) {
        QCoreApplication core(argc, argv);
        QTextStream out(stdout), err(stderr);
        QString error;
        // Opening the logbook through its service creates or upgrades it.
        const bool publish = cl.rest.first() != QLatin1String("--upgrade-logbook");
        auto reached = std::make_shared<std::atomic_bool>(false);
        const std::optional<QStringList> notes = logbook::waitForLongJob<QStringList>(
            logbook::connection::fromText(cl.rest.at(1)),
            [publish, reached](logbook::JobContext &c, QString *why) -> std::optional<QStringList> {
                reached->store(true);
                QStringList lines;
                if (publish && !logbook::publishLogbook(c.database(), &lines, why))
                    return std::nullopt;
                return lines;
            },
            &error);
        logbook::LogbookService::shutdownAll(std::chrono::seconds(5));
        if (!notes) {
            err << "bravik-log: " << (reached->load() ? QString() : QStringLiteral("the logbook cannot be opened: "))
                << error << "\n";
            return 1;
        }
        out << "The logbook's tables are ready for this program (schema version " << logbook::Database::schemaVersion() << ").\n";
        for (const QString &n : *notes)
            out << n << "\n";
        return 0;
    }

    const QString noDisplay = platform::missingDisplayReason();
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "bravik-log: %s\n", qPrintable(noDisplay));
        return 1;
    }

    QApplication app(argc, argv);
    identifyApplication();
    const Settings s = startupSettings(cl);
    setSettings(s);

    logbook::LogbookService::setStatementTimeout(std::chrono::milliseconds(s.statementTimeoutMs));
    registerAllWindows();
    platform::onTerminationRequest(&app, [] {
        quitLogbook(std::chrono::seconds(4));
        QCoreApplication::quit();
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager &) { quitLogbook(std::chrono::seconds(4)); });

    openLogbookAtStart({s.databaseDriver, s.database}, &app);

    // Kept in step with the shared logbook in the background.
    if (!s.syncServer.isEmpty()) {
        auto *sync = new logbook::LogbookSync({s.databaseDriver, s.database}, logbook::connection::fromText(s.syncServer),
                                              std::chrono::milliseconds(qint64(s.syncIntervalSeconds * 1000)), &app);
        sync->start();
    }

    // Launch writes kept at the last quit are stored, and launches whose
    // program ended before their command did are completed.
    launch::LaunchSession::instance().startUp();

    windows().show(QStringLiteral("frmWelcome"));
    const int result = app.exec();
    // Ended by closing the last window: the stores of the windows closed
    // last are still on their way.
    quitLogbook(std::chrono::seconds(4));
    // A statement still stuck on a hung server does not keep the program:
    // its thread was given a few seconds, then the program ends without
    // it.
    if (!logbookEnded()) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(result);
    }
    return result;
}

} // namespace bravik
