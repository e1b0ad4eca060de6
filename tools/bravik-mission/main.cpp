// bravik-mission: the mission templates on the command line.
#include "CommandLineTemplates.h"
#include "MultiLegTemplates.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

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
