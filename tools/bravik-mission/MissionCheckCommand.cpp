#include "MissionCheckCommand.h"

#include "Coastline.h"
#include "MissionCheck.h"
#include "Settings.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <optional>

using namespace bravik;

namespace {

const char *kUsage =
    "Usage: bravik-mission check [--config FILE] [--water-depth METRES] MISSION.cfg...\n"
    "Checks mission scripts as the review window does and prints, for each file, its\n"
    "summary and one line per finding: FILE:LINE: error|warning: TEXT (line 0: the whole\n"
    "file).  The vehicle limits come from the [vehicle] section of the settings file.\n"
    "Waypoints and legs are checked against the installed GSHHG shoreline (the finest\n"
    "resolution installed, named in the summary).  --water-depth: a leg deeper than\n"
    "this less the script's minimum altitude is an error.\n"
    "Exit status: 0 no file has an error, 1 some file has one, 2 usage error.\n";

constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

} // namespace

CheckCommandResult runCheckCommand(const QStringList &arguments)
{
    CheckCommandResult r;
    QString config;
    QStringList files;
    std::optional<double> waterDepth;
    auto takeDepth = [&](const QString &text) {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        if (!ok || !(v > 0.0) || !std::isfinite(v)) {
            r.exitCode = 2;
            r.standardError = QStringLiteral("bravik-mission check: --water-depth needs a positive number of metres, not \"%1\".\n")
                                  .arg(text)
                              + QLatin1String(kUsage);
            return false;
        }
        waterDepth = v;
        return true;
    };
    bool optionsDone = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (!optionsDone && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
            r.standardOutput = kUsage;
            return r;
        }
        if (!optionsDone && a == QLatin1String("--")) {
            optionsDone = true;
        } else if (!optionsDone && a == QLatin1String("--config")) {
            if (i + 1 >= arguments.size()) {
                r.exitCode = 2;
                r.standardError = QStringLiteral("bravik-mission check: --config needs a file.\n") + QLatin1String(kUsage);
                return r;
            }
            config = arguments.at(++i);
        } else if (!optionsDone && a.startsWith(QLatin1String("--config="))) {
            config = a.mid(9);
        } else if (!optionsDone && a == QLatin1String("--water-depth")) {
            if (i + 1 >= arguments.size()) {
                r.exitCode = 2;
                r.standardError = QStringLiteral("bravik-mission check: --water-depth needs a number of metres.\n") + QLatin1String(kUsage);
                return r;
            }
            if (!takeDepth(arguments.at(++i)))
                return r;
        } else if (!optionsDone && a.startsWith(QLatin1String("--water-depth="))) {
            if (!takeDepth(a.mid(14)))
                return r;
        } else if (!optionsDone && a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            r.exitCode = 2;
            r.standardError = QStringLiteral("bravik-mission check: unknown option %1.\n").arg(a) + QLatin1String(kUsage);
            return r;
        } else {
            files << a;
        }
    }
    if (files.isEmpty()) {
        r.exitCode = 2;
        r.standardError = QStringLiteral("bravik-mission check: no mission file given.\n") + QLatin1String(kUsage);
        return r;
    }
    if (!config.isEmpty() && !QFileInfo(config).isFile()) {
        r.exitCode = 2;
        r.standardError = QStringLiteral("bravik-mission check: the settings file %1 does not exist.\n").arg(config);
        return r;
    }
    QStringList problems;
    const Settings s = Settings::fromIniFile(config.isEmpty() ? Settings::defaultConfigFile() : config,
                                             Settings::defaults(), &problems);
    for (const QString &p : problems)
        r.standardError += QStringLiteral("bravik-mission check: %1\n").arg(p);
    const mission::VehicleLimits limits = mission::vehicleLimits(s);
    mission::CheckContext context;
    context.waterDepth = waterDepth;
    context.coastline = &chart::Coastline::forFolder(s.chartCoastlineFolder);

    QString out;
    bool anyError = false;
    for (const QString &file : files) {
        const QFileInfo info(file);
        QByteArray bytes;
        QString why;
        if (!info.exists())
            why = QStringLiteral("it does not exist");
        else if (!info.isFile())
            why = QStringLiteral("it is not an ordinary file");
        else if (info.size() > kMaxBytes)
            why = QStringLiteral("it is larger than 4 MB, too large for a mission script");
        else {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                why = QStringLiteral("it cannot be read (%1)").arg(f.errorString());
            else
                bytes = f.read(kMaxBytes + 1);
        }
        if (!why.isEmpty()) {
            out += QStringLiteral("%1:0: error: The file cannot be checked: %2.\n").arg(file, why);
            anyError = true;
            continue;
        }
        const mission::MissionCheck check = mission::checkMissionBytes(bytes, limits, std::nullopt, context);
        const auto counted = [](int n, const char *one) {
            return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(one), n == 1 ? QString() : QStringLiteral("s"));
        };
        out += QStringLiteral("%1: %2; %3, %4\n")
                   .arg(file, check.summary(), counted(check.errorCount(), "error"),
                        counted(check.warningCount(), "warning"));
        for (const mission::Finding &f : check.findings)
            out += QStringLiteral("%1:%2: %3: %4%5\n")
                       .arg(file)
                       .arg(f.line)
                       .arg(mission::severityName(f.severity), f.limit ? QStringLiteral("(vehicle limit) ") : QString(), f.text);
        anyError = anyError || check.hasErrors();
    }
    r.standardOutput = out.toUtf8();
    r.exitCode = anyError ? 1 : 0;
    return r;
}
