#pragma once

// What the program's commands without windows (--export, --report,
// --event-log) share on their command line.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace bravik {

// The program's arguments as text.
inline QStringList commandArguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// --help alone prints the usage (exit status 0); usage errors print each
// error and the usage on standard error (2).  Nothing when the command is
// to run.
inline std::optional<int> helpOrUsageErrors(bool help, const QStringList &errors, const QString &usage)
{
    if (help && errors.isEmpty()) {
        QTextStream(stdout) << usage;
        return 0;
    }
    if (errors.isEmpty())
        return std::nullopt;
    QTextStream err(stderr);
    for (const QString &e : errors)
        err << "bravik-log: " << e << "\n";
    err << usage;
    return 2;
}

} // namespace bravik
