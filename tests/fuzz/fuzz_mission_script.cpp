// The mission script reader and the checks on what it read: any bytes give
// a model whose line numbers point into the file, nothing read is lost
// when the model is written back, and writing is settled after one round
// (what was written once reads back and writes the same bytes again).

#include "FuzzSupport.h"

#include "MissionCheck.h"
#include "MissionScript.h"

#include <cmath>

using namespace bravik::mission;
using bravik::fuzz::shown;

namespace {

void checkLines(const MissionScriptModel &model)
{
    const int count = int(model.lines.size());
    int previousHeader = 0;
    for (const ScriptBlock &b : model.blocks) {
        FUZZ_CHECK(b.headerLine >= 1 && b.headerLine <= count, QString::number(b.headerLine));
        FUZZ_CHECK(b.headerLine > previousHeader, QStringLiteral("blocks out of file order at %1").arg(b.headerLine));
        previousHeader = b.headerLine;
        FUZZ_CHECK(b.firstLine >= 1 && b.firstLine <= b.headerLine, QString::number(b.firstLine));
        FUZZ_CHECK(b.lastLine >= b.headerLine && b.lastLine <= count, QString::number(b.lastLine));
        FUZZ_CHECK(b.closeLine == 0 || (b.closeLine > b.headerLine && b.closeLine <= b.lastLine),
                   QString::number(b.closeLine));
        for (const ScriptSetting &s : b.settings)
            FUZZ_CHECK(s.line > b.headerLine && s.line <= count, QString::number(s.line));
    }
    for (const Finding &f : model.findings)
        FUZZ_CHECK(f.line >= 0 && f.line <= count && !f.text.isEmpty(), QStringLiteral("%1: %2").arg(f.line).arg(f.text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bravik::fuzz::bytes(data, size);
    const MissionScriptModel model = readMissionScript(bytes);
    checkLines(model);

    // Every line read is written back (a block in a writer's shape through
    // that writer, every other line as it stands).
    const QByteArray written = writeMissionScript(model);
    const MissionScriptModel again = readMissionScript(written);
    FUZZ_CHECK(again.blocks.size() == model.blocks.size(),
               QStringLiteral("%1 blocks read back as %2").arg(model.blocks.size()).arg(again.blocks.size()));
    for (qsizetype i = 0; i < model.blocks.size(); ++i) {
        const ScriptBlock &a = model.blocks.at(i), &b = again.blocks.at(i);
        FUZZ_CHECK(a.kind == b.kind, shown(a.kind) + QStringLiteral(" read back as ") + shown(b.kind));
        FUZZ_CHECK(a.settings.size() == b.settings.size(), shown(a.kind));
        for (qsizetype j = 0; j < a.settings.size(); ++j)
            FUZZ_CHECK(a.settings.at(j).name == b.settings.at(j).name && a.settings.at(j).value == b.settings.at(j).value,
                       shown(a.settings.at(j).name + QLatin1Char('=') + a.settings.at(j).value));
    }
    FUZZ_CHECK(writeMissionScript(again) == written, shown(QString::fromUtf8(written)));

    // The checks take whatever was read, with and without limits and a start.
    VehicleLimits limits;
    if (size > 0 && data[0] % 2 == 0) {
        limits.maxDepth = 50.0;
        limits.maxSpeed = 2.0;
        limits.maxMissionTime = 3600.0;
        limits.maxWaypointDistance = 5000.0;
    }
    const MissionCheck check = checkMission(model, limits, GeoPosition{36.8, -121.9});
    FUZZ_CHECK(check.findings.size() >= model.findings.size(), QString::number(check.findings.size()));
    FUZZ_CHECK(!std::isnan(check.legsTime) && !std::isnan(check.totalTime), QString::number(check.legsTime));
    for (const Finding &f : check.findings)
        FUZZ_CHECK(f.line >= 0 && f.line <= model.lines.size(), QStringLiteral("%1: %2").arg(f.line).arg(f.text));
    (void)check.summary();
    return 0;
}
