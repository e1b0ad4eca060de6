#pragma once

#include <QStringList>

namespace bravik {

// bravik-log --export TABLE [--format csv|pdf] [--output FILE]
//   [--contains TEXT] [--submitter NAME] [--since ISO] [--until ISO]
//   [--include-void] [--database …] [--config FILE]
// Needs no display.  CSV goes to standard output when no file is named.
struct ExportCommand
{
    QString table;
    QString format = QStringLiteral("csv");
    QString output;
    QString contains, submitter, since, until;
    QString database, configFile;
    bool includeVoid = false;   // voided entries too
    bool help = false;
    QStringList errors;   // usage faults: exit status 2
};

bool isExportCommand(const QStringList &arguments);
ExportCommand parseExportCommand(const QStringList &arguments);
QString exportUsageText();

// Runs it: 0 done, 1 refused (unknown table, unreadable logbook, bad date,
// file not writable), 2 usage.
int runExportCommand(int argc, char **argv);

} // namespace bravik
