#include "ExportCommand.h"

#include "Connection.h"
#include "EntryExport.h"
#include "Platform.h"
#include "Schema.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
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
    const QList<QPair<QString, QString *>> options{
        {QStringLiteral("--export"), &c.table},       {QStringLiteral("--format"), &c.format},
        {QStringLiteral("--output"), &c.output},      {QStringLiteral("--contains"), &c.contains},
        {QStringLiteral("--submitter"), &c.submitter}, {QStringLiteral("--since"), &c.since},
        {QStringLiteral("--until"), &c.until},        {QStringLiteral("--database"), &c.database},
        {QStringLiteral("--config"), &c.configFile}};
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
    if (c.format == QLatin1String("pdf") && c.output.isEmpty())
        c.errors << QStringLiteral("A PDF report needs --output FILE.");
    return c;
}

QString exportUsageText()
{
    return QStringLiteral(
        "Usage: bravik-log --export TABLE [--format csv|pdf] [--output FILE]\n"
        "                  [--contains TEXT] [--submitter NAME] [--since ISO] [--until ISO]\n"
        "                  [--include-void] [--database PATH] [--config FILE]\n"
        "Writes the entries of TABLE, newest first: CSV to standard output when no file\n"
        "is named, or to FILE; a PDF report needs FILE.  --contains looks in every text\n"
        "field (any case); --since and --until take a date (2026-12-08) or a UTC time\n"
        "(2026-12-08T04:29:18Z) and keep entries stamped in that range.  Voided entries\n"
        "are left out unless --include-void is given; then a CSV ends each row with\n"
        "Voided (true or false) and VoidReason.\n"
        "Tables: %1.\n"
        "Exit status: 0 done, 1 refused, 2 usage.\n")
        .arg([] {
            QStringList names;
            for (const logbook::TableDef &t : logbook::schema())
                names << t.name;
            return names.join(QStringLiteral(", "));
        }());
}

int runExportCommand(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const ExportCommand c = parseExportCommand(args);
    QTextStream err(stderr);
    if (c.help && c.errors.isEmpty()) {
        QTextStream(stdout) << exportUsageText();
        return 0;
    }
    if (!c.errors.isEmpty()) {
        for (const QString &e : c.errors)
            err << "bravik-log: " << e << "\n";
        err << exportUsageText();
        return 2;
    }

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
    request.filter.includeVoid = c.includeVoid;
    if (!c.since.isEmpty() && !logbook::EntryFilter::parseBound(c.since, false, &request.filter.since)) {
        err << "bravik-log: --since " << c.since << " is not a date (2026-12-08) or a UTC time (2026-12-08T04:29:18Z).\n";
        return 1;
    }
    if (!c.until.isEmpty() && !logbook::EntryFilter::parseBound(c.until, true, &request.filter.until)) {
        err << "bravik-log: --until " << c.until << " is not a date (2026-12-08) or a UTC time (2026-12-08T04:29:18Z).\n";
        return 1;
    }
    if (!logbook::findTable(c.table)) {
        err << "bravik-log: the logbook has no table \"" << c.table << "\".\n";
        return 1;
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

    // A progress line for a large export, on standard error.
    const auto progress = [&err](qint64 written, qint64 total) {
        if (total >= 10000)
            err << "\rbravik-log: " << written << " entries written" << Qt::flush;
        return true;
    };
    QString error;
    qint64 rows = 0;
    logbook::ExportResult result;
    if (c.output.isEmpty()) {
        QFile out;
        out.open(stdout, QIODevice::WriteOnly);
        result = logbook::exportCsv(request, &out, progress, &error, &rows);
        out.flush();
    } else {
        result = logbook::exportToFile(request, c.output, progress, &error, &rows);
    }
    if (rows >= 10000)
        err << "\n";
    if (result != logbook::ExportResult::Done) {
        err << "bravik-log: " << error << "\n";
        return 1;
    }
    if (!c.output.isEmpty())
        err << "bravik-log: " << rows << " entries written to " << c.output << "\n";
    return 0;
}

} // namespace bravik
