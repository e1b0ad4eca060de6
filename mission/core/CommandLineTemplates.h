#pragma once

// bravik-mission: builds a mission script from the command line with the
// very builds the template windows run.
//
//   bravik-mission TEMPLATE [--option TEXT]... -o FILE     (-o - : stdout)
//
// Each template is a CliTemplate in a registry: its options (each takes the
// text a user would type in the matching box) and a build function that
// turns the option texts into a TemplateBuild.  A template joins the tool
// by registering itself before runMissionCommandLine() is called.

#include "TemplateBuild.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace bravik::mission {

struct CliOption
{
    QString name;        // "heading" for --heading
    QString valueName;   // shown in --help, e.g. "TEXT" or "DEG"
    QString help;        // one line for --help
    QString defaultText; // the box's starting text; used when not given
    bool repeatable = false; // may be given several times (legs)
};

// Option name -> the texts given, in order (the default alone when the
// option was not given and has one; absent otherwise).
using CliValues = QHash<QString, QStringList>;

// The single text of an option, or an empty text when it was not given.
QString cliText(const CliValues &values, const QString &name);

struct CliTemplate
{
    QString name;    // "transit"
    QString summary; // one line for the template list
    QList<CliOption> options;
    QString notes;   // more text for --help, may be empty
    std::function<TemplateBuild(const CliValues &values)> build;
};

// The registry.  Registering a name twice replaces the first one.
void registerCliTemplate(const CliTemplate &t);
QList<CliTemplate> cliTemplates();

// Registers transit, decktest and waypoint.
void registerSingleLegCliTemplates();

struct CliResult
{
    int exitCode = 0;            // 0 written, 1 build stopped or not written, 2 usage
    QByteArray standardOutput;   // the script for "-o -", or help text
    QString standardError;       // messages, one per line
};

// Runs the tool on its arguments (without the program name).  Writes the
// file itself (atomically, as the windows do); "-o -" returns the script
// in standardOutput instead.
CliResult runMissionCommandLine(const QStringList &arguments);

QString generalUsage();
QString templateUsage(const CliTemplate &t);

} // namespace bravik::mission
