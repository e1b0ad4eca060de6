#pragma once

#include <QStringList>

namespace bravik {

// bravik-log --report [DAY] [--since WHEN] [--until WHEN] --output FILE.pdf
// bravik-log --event-log [DAY] [--since WHEN] [--until WHEN] [--output FILE.csv]
//   [--include-void] [--database …] [--config FILE]
// Needs no display.  The event log goes to standard output when no file is
// named.
struct OperationsCommand
{
    enum class What { Report, EventLog };
    What what = What::Report;
    QString since, until, output;
    QString database, configFile;
    bool includeVoid = false;
    bool help = false;
    QStringList errors;   // usage faults: exit status 2
};

bool isOperationsCommand(const QStringList &arguments);
OperationsCommand parseOperationsCommand(const QStringList &arguments);
QString operationsUsageText();

// Runs it: 0 done, 1 failed (a date that does not read, no logbook, a file
// that cannot be written: the message names it and why), 2 usage.
int runOperationsCommand(int argc, char **argv);

} // namespace bravik
