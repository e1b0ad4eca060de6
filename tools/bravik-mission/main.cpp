// bravik-mission: the mission templates on the command line.
#include "CommandLineTemplates.h"
#include "MultiLegTemplates.h"
#include "MissionCheckCommand.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    if (!arguments.isEmpty() && arguments.constFirst() == QLatin1String("check")) {
        const CheckCommandResult c = runCheckCommand(arguments.mid(1));
        std::fwrite(c.standardOutput.constData(), 1, size_t(c.standardOutput.size()), stdout);
        std::fflush(stdout);
        if (!c.standardError.isEmpty())
            std::fputs(c.standardError.toLocal8Bit().constData(), stderr);
        return c.exitCode;
    }

    // Every template that the tool knows registers here.
    bravik::mission::registerSingleLegCliTemplates();
    bravik::mission::registerMultiLegCliTemplates();

    const bravik::mission::CliResult r = bravik::mission::runMissionCommandLine(arguments);
    if (!r.standardOutput.isEmpty()) {
        std::fwrite(r.standardOutput.constData(), 1, size_t(r.standardOutput.size()), stdout);
        if (std::fflush(stdout) != 0) {
            std::fputs("bravik-mission: standard output could not be written\n", stderr);
            return 1;
        }
    }
    if (!r.standardError.isEmpty())
        std::fputs(r.standardError.toLocal8Bit().constData(), stderr);
    return r.exitCode;
}
