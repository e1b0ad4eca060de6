#pragma once

#include "Database.h"

#include <QStringList>

class QObject;

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

// Names the program to the platform.  The window titles stay exactly the
// windows' own captions: no program name is added to them.
void identifyApplication();

// The settings the program starts with: the settings file (the one given
// with --config, or the usual one) over the defaults, and the logbook
// given with --database over both.  Every setting that cannot be used is
// named in one message, shown before the first window.
struct Settings;
Settings startupSettings(const CommandLine &commandLine);

// The logbook is created (or upgraded) at start as a job of the logbook
// service without a deadline, so the first window never waits for it and a
// store meanwhile waits for it and then goes through; a logbook that
// cannot be reached is named on standard error and reported by the record
// window that first needs it.
void openLogbookAtStart(const logbook::DatabaseLocation &where, QObject *owner);

// The whole program: parses the command line, reads the settings, shows the
// splash window and runs the event loop.
int runApplication(int argc, char **argv);

} // namespace bravik
