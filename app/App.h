#pragma once

#include <QStringList>

namespace bravik {

// Registers every window of the program with the window manager.
void registerAllWindows();

// What the command line asked for.
struct CommandLine
{
    bool help = false;
    bool version = false;
    QString configFile;    // --config FILE
    QString database;      // --database PATH or connection string
    QStringList errors;    // unknown options, missing values
    QStringList rest;      // further options for later steps (--copy-logbook …)
};
CommandLine parseCommandLine(const QStringList &arguments);
QString usageText();

// The whole program: parses the command line, reads the settings, shows the
// splash window and runs the event loop.
int runApplication(int argc, char **argv);

} // namespace bravik
