// bravik-run-wrapped --status FILE -- PROGRAM [ARGUMENT...]
// Starts PROGRAM (no shell), keeps the last 64 KB of its output and writes
// its state and exit status to FILE; exits with the program's exit code.
#include "LaunchStatus.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QString statusFile, program, error;
    QStringList programArguments;
    if (!bravik::launch::parseRecorderArguments(arguments, &statusFile, &program, &programArguments, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    return bravik::launch::runRecorded(statusFile, program, programArguments);
}
