#include "OperationsCommand.h"

#include "CommandLine.h"
#include "Connection.h"
#include "EventLog.h"
#include "LogbookService.h"
#include "OutputPath.h"
#include "OperationsSettings.h"
#include "Platform.h"
#include "ReportDrawing.h"
#include "Settings.h"
#include "WaitForJob.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <memory>

namespace bravik {

namespace {

ops::ReadSteps stepsOf(logbook::JobContext &c)
{
    return {[&c] { return c.stopRequested(); }, [&c](double share) { c.progress(share); }};
}

} // namespace

bool isOperationsCommand(const QStringList &arguments)
{
    for (const QString &a : arguments.mid(1))
        if (a == QLatin1String("--report") || a == QLatin1String("--event-log"))
            return true;
    return false;
}

OperationsCommand parseOperationsCommand(const QStringList &arguments)
{
    OperationsCommand c;
    const QList<QPair<QString, QString *>> options{
        {QStringLiteral("--since"), &c.since},       {QStringLiteral("--until"), &c.until},
        {QStringLiteral("--output"), &c.output},     {QStringLiteral("--database"), &c.database},
        {QStringLiteral("--config"), &c.configFile}};
    int commands = 0;
    QString day;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--report") || a == QLatin1String("--event-log")) {
            ++commands;
            c.what = a == QLatin1String("--report") ? OperationsCommand::What::Report : OperationsCommand::What::EventLog;
            // An optional day right after it.
            if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1Char('-')))
                day = arguments.at(++i);
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.help = true;
            continue;
        }
        if (a == QLatin1String("--include-void")) {
            c.includeVoid = true;
            continue;
        }
        bool known = false;
        for (const auto &[name, target] : options) {
            if (a == name) {
                known = true;
                if (i + 1 >= arguments.size() || arguments.at(i + 1).trimmed().isEmpty())
                    c.errors << QStringLiteral("The option %1 needs a value.").arg(a);
                else
                    *target = arguments.at(++i);
            } else if (a.startsWith(name + QLatin1Char('='))) {
                known = true;
                *target = a.mid(name.size() + 1);
                if (target->trimmed().isEmpty())
                    c.errors << QStringLiteral("The option %1 needs a value.").arg(name);
            }
            if (known)
                break;
        }
        if (!known)
            c.errors << QStringLiteral("Unknown option %1.").arg(a);
    }
    if (c.help)
        return c;
    if (commands > 1)
        c.errors << QStringLiteral("Give either --report or --event-log, once.");
    if (!day.isEmpty() && !c.since.isEmpty())
        c.errors << QStringLiteral("Give the day or --since, not both.");
    if (c.since.isEmpty())
        c.since = day;
    if (c.since.isEmpty() && c.errors.isEmpty())
        c.errors << QStringLiteral("Name the day (--report 2026-12-08) or the range (--since … --until …).");
    if (c.what == OperationsCommand::What::Report && c.output.isEmpty() && c.errors.isEmpty())
        c.errors << QStringLiteral("A report needs --output FILE.pdf.");
    return c;
}

QString operationsUsageText()
{
    return QStringLiteral(
        "Usage: bravik-log --report DAY --output FILE.pdf\n"
        "       bravik-log --report --since WHEN [--until WHEN] --output FILE.pdf\n"
        "       bravik-log --event-log DAY|--since WHEN [--until WHEN] [--output FILE.csv]\n"
        "                  [--include-void] [--database PATH] [--config FILE]\n"
        "--report writes the daily report of a UTC day, or of a range, as a PDF: totals,\n"
        "the timeline, each launch with its pictures, the weather, the battery charges\n"
        "with the packs' chart, maintenance, tasks and notes.  --event-log writes every\n"
        "entry and launch of the range as CSV, oldest first (UTC time, kind, entry id,\n"
        "submitter, workstation, latitude and longitude in decimal degrees, summary), to\n"
        "standard output when no file is named.  WHEN is a date (2026-12-08; --until\n"
        "takes it to its end) or a UTC time (2026-12-08T08:00); without --until the\n"
        "range is the day --since names.  Voided entries are left out unless\n"
        "--include-void is given.\n"
        "Exit status: 0 done, 1 failed, 2 usage.\n");
}

int runOperationsCommand(int argc, char **argv)
{
    const OperationsCommand c = parseOperationsCommand(commandArguments(argc, argv));
    if (const auto status = helpOrUsageErrors(c.help, c.errors, operationsUsageText()))
        return *status;
    QTextStream err(stderr);

    // The report's pictures are drawn by widgets: an application of them,
    // on the offscreen platform when there is no display.
    const bool report = c.what == OperationsCommand::What::Report;
    std::unique_ptr<QCoreApplication> app;
    if (report) {
        if (!platform::missingDisplayReason().isEmpty() || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    QString error;
    const std::optional<ops::TimeSpan> span = ops::TimeSpan::parse(c.since, c.until, &error);
    if (!span) {
        err << "bravik-log: " << error << "\n";
        return 1;
    }
    QStringList problems;
    Settings s = Settings::fromIniFile(c.configFile.isEmpty() ? Settings::defaultConfigFile() : c.configFile,
                                       Settings::defaults(), &problems);
    if (!c.database.isEmpty()) {
        const logbook::DatabaseLocation where = logbook::connection::fromText(c.database);
        s.databaseDriver = where.driver;
        s.database = where.location;
    }
    setSettings(s);
    for (const QString &p : problems)
        err << "bravik-log: " << p << "\n";
    const logbook::DatabaseLocation where{s.databaseDriver, s.database};
    // A report reads; it does not make a logbook where there was none.
    if (where.driver == QLatin1String("QSQLITE") && !QFile::exists(where.location)) {
        err << "bravik-log: there is no logbook at " << where.location << ".\n";
        return 1;
    }
    if (!c.output.isEmpty()) {
        if (const QString clash = logbook::outputPathProblem(where, c.output); !clash.isEmpty()) {
            err << "bravik-log: " << clash << "\n";
            return 1;
        }
    }
    const ops::ClockFormat clock = ops::clockFormat();
    const ops::TimeSpan range = *span;
    int result = 0;
    if (report) {
        const std::optional<ops::ReportInput> input = logbook::waitForLongJob<ops::ReportInput>(
            where,
            [range, clock](logbook::JobContext &j, QString *e) {
                return ops::readReportInput(j.database(), range, clock, stepsOf(j), e);
            },
            &error);
        if (!input) {
            err << "bravik-log: the logbook could not be read: " << error << "\n";
            result = 1;
        } else {
            const auto checks = ops::reviewLaunches(input->timeline.lines, settings());
            const ops::ReportContent content =
                ops::reportContent(*input, c.includeVoid, checks, QDateTime::currentDateTimeUtc());
            if (!ops::writeReportPdf(content, checks, s.chartCoastlineFolder, c.output, &error)) {
                err << "bravik-log: " << error << "\n";
                result = 1;
            } else {
                err << "bravik-log: the report of " << range.text() << " (" << content.timeline.size()
                    << " lines) was written to " << c.output << "\n";
            }
        }
    } else {
        const bool includeVoid = c.includeVoid;
        const QString output = c.output;
        const std::optional<int> events = logbook::waitForLongJob<int>(
            where,
            [range, clock, includeVoid, output](logbook::JobContext &j, QString *e) -> std::optional<int> {
                const std::optional<ops::Timeline> t = ops::readTimeline(j.database(), range, clock, stepsOf(j), e);
                if (!t)
                    return std::nullopt;
                if (output.isEmpty()) {
                    QFile out;
                    out.open(stdout, QIODevice::WriteOnly);
                    if (!ops::writeEventLog(*t, includeVoid, &out, e) || !out.flush()) {
                        *e = QStringLiteral("Standard output cannot be written: %1").arg(e->isEmpty() ? out.errorString() : *e);
                        return std::nullopt;
                    }
                    return int(includeVoid ? t->lines.size() : t->withoutVoid().size());
                }
                const int n = ops::writeEventLogFile(*t, includeVoid, output, e);
                return n < 0 ? std::nullopt : std::optional<int>(n);
            },
            &error);
        if (!events) {
            err << "bravik-log: " << error << "\n";
            result = 1;
        } else if (!output.isEmpty()) {
            err << "bravik-log: " << *events << " events of " << range.text() << " written to " << output << "\n";
        }
    }
    bool finished = false;
    logbook::LogbookService::shutdownAll(std::chrono::seconds(5), &finished);
    return result;
}

} // namespace bravik
