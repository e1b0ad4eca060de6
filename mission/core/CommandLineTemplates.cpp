#include "CommandLineTemplates.h"

#include "SingleLegTemplates.h"

#include <QMap>

namespace bravik::mission {

namespace {

QMap<QString, CliTemplate> &registry()
{
    static QMap<QString, CliTemplate> r;
    return r;
}

QString optionsHelp(const QList<CliOption> &options)
{
    QString out;
    for (const CliOption &o : options) {
        QString head = QStringLiteral("  --%1 %2").arg(o.name, o.valueName.isEmpty() ? QStringLiteral("TEXT") : o.valueName);
        if (head.size() < 26)
            head += QString(26 - head.size(), QLatin1Char(' '));
        else
            head += QLatin1Char(' ');
        out += head + o.help;
        if (!o.defaultText.isEmpty())
            out += QStringLiteral(" (default %1)").arg(o.defaultText);
        if (o.repeatable)
            out += QStringLiteral(" (repeatable)");
        out += QLatin1Char('\n');
    }
    return out;
}

// The end of every --help text.
QString exitStatusHelp()
{
    return QStringLiteral("\nExit status:\n"
                          "  0  the script was written (or help or the version was shown)\n"
                          "  1  a value was refused (the message says which), or the script could not be written\n"
                          "  2  the command line is not understood\n");
}

CliResult usageError(const QString &message, const QString &usage)
{
    CliResult r;
    r.exitCode = 2;
    r.standardError = QStringLiteral("bravik-mission: %1\n%2").arg(message, usage);
    return r;
}

} // namespace

QString cliText(const CliValues &values, const QString &name)
{
    const QStringList texts = values.value(name);
    return texts.isEmpty() ? QString() : texts.constFirst();
}

void registerCliTemplate(const CliTemplate &t)
{
    registry().insert(t.name, t);
}

QList<CliTemplate> cliTemplates()
{
    return registry().values();
}

QString generalUsage()
{
    QString out = QStringLiteral(
        "Usage: bravik-mission TEMPLATE [options] -o FILE\n"
        "Builds a mission script from a stock template, exactly as the template windows do.\n"
        "Each option takes the text you would type in the matching box.  -o - writes the\n"
        "script to standard output.  bravik-mission TEMPLATE --help lists its options.\n"
        "\n"
        "       bravik-mission check [--config FILE] MISSION.cfg...\n"
        "checks mission scripts as the review window does (bravik-mission check --help).\n"
        "\nTemplates:\n");
    for (const CliTemplate &t : registry()) {
        QString head = QStringLiteral("  ") + t.name;
        head += QString(qMax<qsizetype>(1, 14 - head.size()), QLatin1Char(' '));
        out += head + t.summary + QLatin1Char('\n');
    }
    out += QStringLiteral("\nOptions:\n"
                          "  --help                  show this text\n"
                          "  --version               show the version\n");
    return out + exitStatusHelp();
}

QString templateUsage(const CliTemplate &t)
{
    QString out = QStringLiteral("Usage: bravik-mission %1 [options] -o FILE\n%2\n\nOptions:\n")
                      .arg(t.name, t.summary);
    out += optionsHelp(t.options);
    out += QStringLiteral("  -o FILE                 write the script to FILE (replacing it), or - for standard output\n"
                          "  --help                  show this text\n");
    if (!t.notes.isEmpty())
        out += QLatin1Char('\n') + t.notes + (t.notes.endsWith(QLatin1Char('\n')) ? QString() : QStringLiteral("\n"));
    return out + exitStatusHelp();
}

CliResult runMissionCommandLine(const QStringList &arguments)
{
    CliResult result;
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no template given."), generalUsage());
    const QString name = arguments.constFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        result.standardOutput = generalUsage().toUtf8();
        return result;
    }
    if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
        result.standardOutput = QByteArrayLiteral("bravik-mission " BRAVIK_VERSION "\n");
        return result;
    }
    const auto it = registry().constFind(name);
    if (it == registry().constEnd())
        return usageError(QStringLiteral("unknown template \"%1\".").arg(name), generalUsage());
    const CliTemplate &t = *it;
    const QString usage = templateUsage(t);

    CliValues values;
    QString output;
    bool outputGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            result.standardOutput = usage.toUtf8();
            return result;
        }
        // Values are taken as they stand, so "--depth -5" and "--speed ' 1.5'"
        // pass their texts through like typed box contents.
        QString key;
        QString value;
        bool inlineValue = false;
        if (a == QLatin1String("-o")) {
            key = QStringLiteral("-o");
        } else if (a.startsWith(QLatin1String("--"))) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            key = eq < 0 ? a.mid(2) : a.mid(2, eq - 2);
            if (eq >= 0) {
                value = a.mid(eq + 1);
                inlineValue = true;
            }
        } else {
            return usageError(QStringLiteral("unexpected argument \"%1\".").arg(a), usage);
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("the option %1 needs a value.").arg(a), usage);
            value = arguments.at(++i);
        }
        if (key == QLatin1String("-o")) {
            if (outputGiven)
                return usageError(QStringLiteral("-o is given twice."), usage);
            output = value;
            outputGiven = true;
            continue;
        }
        const auto option = std::find_if(t.options.cbegin(), t.options.cend(),
                                         [&](const CliOption &o) { return o.name == key; });
        if (option == t.options.cend())
            return usageError(QStringLiteral("unknown option --%1 for the %2 template.").arg(key, t.name), usage);
        if (values.contains(key) && !option->repeatable)
            return usageError(QStringLiteral("--%1 is given twice.").arg(key), usage);
        values[key] << value;
    }
    if (!outputGiven || output.isEmpty())
        return usageError(QStringLiteral("no output file given (-o FILE, or -o - for standard output)."), usage);
    for (const CliOption &o : t.options)
        if (!values.contains(o.name) && !o.defaultText.isNull())
            values[o.name] << o.defaultText;

    const TemplateBuild build = t.build(values);
    if (!build.ok()) {
        result.exitCode = 1;
        result.standardError = QStringLiteral("bravik-mission: %1\n").arg(build.message);
        return result;
    }
    if (output == QLatin1String("-")) {
        if (!build.script.ok()) {
            result.exitCode = 1;
            result.standardError = QStringLiteral("bravik-mission: %1\n").arg(build.script.error());
            return result;
        }
        result.standardOutput = build.script.bytes();
        return result;
    }
    QString error;
    if (!build.script.save(output, &error)) {
        result.exitCode = 1;
        result.standardError = QStringLiteral("bravik-mission: %1\n").arg(error);
    }
    return result;
}

void registerSingleLegCliTemplates()
{
    const CliOption heading{QStringLiteral("heading"), QStringLiteral("DEG"),
                            QStringLiteral("mission heading (degrees True)"), QString()};
    const CliOption duration{QStringLiteral("duration"), QStringLiteral("SEC"),
                             QStringLiteral("mission duration (seconds)"), QString()};
    const CliOption depth{QStringLiteral("depth"), QStringLiteral("M"),
                          QStringLiteral("mission depth (meters)"), QString()};
    const CliOption speed{QStringLiteral("speed"), QStringLiteral("M/S"),
                          QStringLiteral("mission speed (meters/second)"), QString()};

    registerCliTemplate({QStringLiteral("transit"),
                         QStringLiteral("one straight run at a set heading, depth and speed"),
                         {heading, duration, depth, speed},
                         QString(),
                         [](const CliValues &v) {
                             return buildTransit({cliText(v, QStringLiteral("heading")),
                                                  cliText(v, QStringLiteral("duration")),
                                                  cliText(v, QStringLiteral("depth")),
                                                  cliText(v, QStringLiteral("speed"))});
                         }});

    registerCliTemplate({QStringLiteral("decktest"),
                         QStringLiteral("a run at the surface, for tests on deck"),
                         {heading, duration, speed},
                         QString(),
                         [](const CliValues &v) {
                             return buildDeckTest({cliText(v, QStringLiteral("heading")),
                                                   cliText(v, QStringLiteral("duration")),
                                                   cliText(v, QStringLiteral("speed"))});
                         }});

    const WaypointInputs start;
    registerCliTemplate(
        {QStringLiteral("waypoint"),
         QStringLiteral("a run to one position at a set depth and speed"),
         {{QStringLiteral("lat-deg"), QStringLiteral("DEG"), QStringLiteral("waypoint latitude, degrees"), start.latitudeInt},
          {QStringLiteral("lat-min"), QStringLiteral("MIN"), QStringLiteral("waypoint latitude, minutes"), start.latitudeMinutes},
          {QStringLiteral("ns"), QStringLiteral("N|S"), QStringLiteral("hemisphere; only exactly S means south"), start.ns},
          {QStringLiteral("lon-deg"), QStringLiteral("DEG"), QStringLiteral("waypoint longitude, degrees"), start.longitudeInt},
          {QStringLiteral("lon-min"), QStringLiteral("MIN"), QStringLiteral("waypoint longitude, minutes"), start.longitudeMinutes},
          {QStringLiteral("ew"), QStringLiteral("W|E"), QStringLiteral("hemisphere; only exactly W means west"), start.ew},
          duration, depth, speed},
         QStringLiteral("Degrees and minutes are read leniently: blanks are ignored and a text that\n"
                        "does not begin with a number counts as 0."),
         [](const CliValues &v) {
             WaypointInputs in;
             in.latitudeInt = cliText(v, QStringLiteral("lat-deg"));
             in.latitudeMinutes = cliText(v, QStringLiteral("lat-min"));
             in.ns = cliText(v, QStringLiteral("ns"));
             in.longitudeInt = cliText(v, QStringLiteral("lon-deg"));
             in.longitudeMinutes = cliText(v, QStringLiteral("lon-min"));
             in.ew = cliText(v, QStringLiteral("ew"));
             in.duration = cliText(v, QStringLiteral("duration"));
             in.depth = cliText(v, QStringLiteral("depth"));
             in.speed = cliText(v, QStringLiteral("speed"));
             return buildWaypoint(in);
         }});
}

} // namespace bravik::mission
