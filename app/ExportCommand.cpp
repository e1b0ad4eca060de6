#include "ExportCommand.h"

#include "CommandLine.h"
#include "LaunchLog.h"

#include "Connection.h"
#include "EntryExport.h"
#include "LogbookService.h"
#include "Platform.h"
#include "Schema.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTextStream>
#include <cstdio>
#include <memory>

namespace bravik {

bool isExportCommand(const QStringList &arguments)
{
    for (const QString &a : arguments.mid(1))
        if (a == QLatin1String("--export") || a.startsWith(QLatin1String("--export=")))
            return true;
    return false;
}

ExportCommand parseExportCommand(const QStringList &arguments)
{
    ExportCommand c;
    QStringList given;
    const QList<QPair<QString, QString *>> options{
        {QStringLiteral("--export"), &c.table},       {QStringLiteral("--format"), &c.format},
        {QStringLiteral("--output"), &c.output},      {QStringLiteral("--contains"), &c.contains},
        {QStringLiteral("--submitter"), &c.submitter}, {QStringLiteral("--since"), &c.since},
        {QStringLiteral("--until"), &c.until},        {QStringLiteral("--database"), &c.database},
        {QStringLiteral("--config"), &c.configFile}, {QStringLiteral("--attachments"), &c.attachments}};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.help = true;
            continue;
        }
        if (a == QLatin1String("--include-void")) {
            c.includeVoid = true;
            continue;
        }
        // "--export --help": no table is named --help; the help is asked for.
        if (a == QLatin1String("--export") && i + 1 < arguments.size()
            && (arguments.at(i + 1) == QLatin1String("--help") || arguments.at(i + 1) == QLatin1String("-h"))) {
            c.help = true;
            ++i;
            continue;
        }
        bool known = false;
        for (const auto &[name, target] : options) {
            if (a == name || a.startsWith(name + QLatin1Char('=')))
                given << name;
            if (a == name) {
                known = true;
                // A value may begin with "-" (a text to look for), but not be
                // missing altogether.
                if (i + 1 >= arguments.size())
                    c.errors << QStringLiteral("The option %1 needs a value.").arg(a);
                else
                    *target = arguments.at(++i);
            } else if (a.startsWith(name + QLatin1Char('='))) {
                known = true;
                *target = a.mid(name.size() + 1);
            }
            if (known)
                break;
        }
        if (!known)
            c.errors << QStringLiteral("Unknown option %1.").arg(a);
    }
    if (c.help)
        return c;
    if (c.table.isEmpty() && c.errors.isEmpty())
        c.errors << QStringLiteral("The option --export needs a table.");
    if (c.format != QLatin1String("csv") && c.format != QLatin1String("pdf"))
        c.errors << QStringLiteral("The format must be csv or pdf, not \"%1\".").arg(c.format);
    if (given.contains(QStringLiteral("--attachments")) && c.attachments.isEmpty())
        c.errors << QStringLiteral("The option --attachments needs a folder.");
    if (given.contains(QStringLiteral("--output")) && c.output.isEmpty())
        c.errors << QStringLiteral("The option --output needs a file name (or - for standard output).");
    else if (c.format == QLatin1String("pdf") && c.output.isEmpty())
        c.errors << QStringLiteral("A PDF report needs --output FILE.");
    const struct
    {
        QString option;
        const QString *text;
        QString *bound;
        bool endOfRange;
    } dates[] = {{QStringLiteral("--since"), &c.since, &c.sinceBound, false},
                 {QStringLiteral("--until"), &c.until, &c.untilBound, true}};
    for (const auto &d : dates) {
        if (given.contains(d.option) && !logbook::EntryFilter::parseBound(*d.text, d.endOfRange, d.bound))
            c.errors << QStringLiteral("%1 \"%2\" is not a date (2026-12-08) or a UTC time (2026-12-08T04:29:18Z).")
                            .arg(d.option, *d.text);
    }
    return c;
}

QString exportUsageText()
{
    return QStringLiteral(
        "Usage: bravik-log --export TABLE [--format csv|pdf] [--output FILE|-]\n"
        "                  [--contains TEXT] [--submitter NAME] [--since ISO] [--until ISO]\n"
        "                  [--include-void] [--attachments DIR] [--database PATH] [--config FILE]\n"
        "Writes the entries of TABLE, newest first: CSV to standard output when no file\n"
        "is named or FILE is -, otherwise to FILE, whole or not at all; a PDF report\n"
        "needs FILE (- for standard output).  The logbook's own file is refused.\n"
        "--contains looks in every text field (any case); --since and --until take a\n"
        "date (2026-12-08) or a UTC time (2026-12-08T04:29:18Z) and keep entries\n"
        "stamped in that range.  Voided entries are left out unless --include-void is\n"
        "given; then a CSV ends each row with Voided (true or false) and VoidReason.\n"
        "--attachments DIR writes the files attached to the entries exported into DIR,\n"
        "each named TABLE-KEY-NAME after its entry's BravikKey in the CSV.\n"
        "Tables: %1.\n"
        "LaunchRecord holds the launches: every field, newest first, --since and\n"
        "--until on the start; it has no submitter and no void entries.\n"
        "A date that cannot be read is a usage error; a logbook that cannot be read or\n"
        "an output that cannot be written is refused, with the reason.\n"
        "Exit status: 0 done, 1 refused, 2 usage.\n")
        .arg([] {
            QStringList names;
            for (const logbook::TableDef &t : logbook::schema())
                names << t.name;
            names << logbook::launchlog::tableName();
            return names.join(QStringLiteral(", "));
        }());
}

int runExportCommand(int argc, char **argv)
{
    const ExportCommand c = parseExportCommand(commandArguments(argc, argv));
    if (const auto status = helpOrUsageErrors(c.help, c.errors, exportUsageText()))
        return *status;
    QTextStream err(stderr);

    // A PDF needs fonts, so a GUI application, but never a display.
    std::unique_ptr<QCoreApplication> app;
    if (c.format == QLatin1String("pdf")) {
        if (!platform::missingDisplayReason().isEmpty() || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    logbook::ExportRequest request;
    request.table = c.table;
    request.format = c.format == QLatin1String("pdf") ? logbook::ExportRequest::Pdf : logbook::ExportRequest::Csv;
    request.filter.contains = c.contains;
    request.filter.submitter = c.submitter;
    request.filter.since = c.sinceBound;
    request.filter.until = c.untilBound;
    request.filter.includeVoid = c.includeVoid;
    const bool launches = c.table == logbook::launchlog::tableName();
    if (!logbook::findTable(c.table) && !launches) {
        err << "bravik-log: the logbook has no table \"" << c.table << "\".\n";
        return 1;
    }
    if (launches && !c.submitter.isEmpty()) {
        err << "bravik-log: launch records have no submitter; --submitter cannot be used with "
            << logbook::launchlog::tableName() << ".\n";
        return 2;
    }
    QStringList problems;
    const Settings s = Settings::fromIniFile(c.configFile.isEmpty() ? Settings::defaultConfigFile() : c.configFile,
                                             Settings::defaults(), &problems);
    request.where = c.database.isEmpty() ? logbook::DatabaseLocation{s.databaseDriver, s.database}
                                         : logbook::connection::fromText(c.database);
    // An export reads; it does not make a logbook where there was none.
    if (request.where.driver == QLatin1String("QSQLITE") && !QFile::exists(request.where.location)) {
        err << "bravik-log: there is no logbook at " << request.where.location << ".\n";
        return 1;
    }

    const auto entries = [](qint64 n) {
        return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
    };
    // A progress line for a large export, on standard error, ended before
    // anything else is said there.
    bool progressShown = false;
    const auto progress = [&](qint64 written, qint64 total) {
        if (total >= 10000) {
            err << "\rbravik-log: " << entries(written) << " written" << Qt::flush;
            progressShown = true;
        }
        return true;
    };
    QString error;
    qint64 rows = 0;
    logbook::ExportResult result;
    // The logbook's threads end before the program does.
    const auto endLogbook = qScopeGuard([] { logbook::LogbookService::shutdownAll(std::chrono::seconds(5)); });
    const bool toStandardOutput = c.output.isEmpty() || c.output == QLatin1String("-");
    if (toStandardOutput) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            err << "bravik-log: standard output cannot be written: " << out.errorString() << "\n";
            return 1;
        }
        result = logbook::exportToDevice(request, &out, progress, &error, &rows);
    } else {
        result = logbook::exportToFile(request, c.output, progress, &error, &rows);
    }
    if (progressShown)
        err << "\n";
    if (result != logbook::ExportResult::Done) {
        err << "bravik-log: " << error << "\n";
        return 1;
    }
    if (!toStandardOutput)
        err << "bravik-log: " << entries(rows) << " written to " << c.output << "\n";
    if (!c.attachments.isEmpty()) {
        qint64 files = 0;
        const QString folder = c.attachments;
        const logbook::ExportResult written = logbook::exportThroughService(
            request,
            [&files, folder, &request](logbook::Database &db, const logbook::ExportProgress &, QString *why) {
                return logbook::exportAttachments(db, request, folder, &files, why);
            },
            {}, &error);
        if (written != logbook::ExportResult::Done) {
            err << "bravik-log: " << error << "\n";
            return 1;
        }
        err << "bravik-log: " << (files == 1 ? QStringLiteral("1 attachment") : QStringLiteral("%1 attachments").arg(files))
            << " written to " << folder << "\n";
    }
    return 0;
}

} // namespace bravik
