#pragma once

#include <QStringList>

namespace bravik {

// bravik-log --export TABLE [--format csv|pdf] [--output FILE|-]
//   [--contains TEXT] [--submitter NAME] [--since ISO] [--until ISO]
//   [--include-void] [--attachments DIR] [--database …] [--config FILE]
// Needs no display.  CSV goes to standard output when no file is named
// (or the file is "-").
struct ExportCommand
{
    QString table;
    QString format = QStringLiteral("csv");
    QString output;
    QString contains, submitter, since, until;
    QString sinceBound, untilBound;   // the dates read as the filter takes them
    QString database, configFile;
    QString attachments;   // the folder the entries' attached files go to
    bool includeVoid = false;   // voided entries too
    bool help = false;
    QStringList errors;   // usage faults: exit status 2
};

bool isExportCommand(const QStringList &arguments);
ExportCommand parseExportCommand(const QStringList &arguments);
QString exportUsageText();

// Runs it: 0 done, 1 refused (unknown table, unreadable logbook, the
// logbook's own file as the output, a file or standard output that cannot
// be written), 2 usage (a date that cannot be read among them).
int runExportCommand(int argc, char **argv);

} // namespace bravik
