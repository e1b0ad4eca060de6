#pragma once

// bravik-mission check [--config FILE] FILE...
// Reads and checks mission scripts as the review window does: for each file
// its summary, then one line per finding: FILE:LINE: SEVERITY: TEXT.  The
// vehicle limits come from the settings file (--config, or the program's
// own).  Exit status 0 when no file has an error, 1 when one has, 2 on a
// usage error.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct CheckCommandResult
{
    int exitCode = 0;
    QByteArray standardOutput;
    QString standardError;
};

CheckCommandResult runCheckCommand(const QStringList &arguments);
