// The settings reader: any bytes as the INI file.  Whatever the file holds,
// the settings that come out are usable (no empty text, a real port, a
// known driver, lists of trimmed names), nothing changes that the file does
// not name, and settings written back out read the same.

#include "FuzzSupport.h"

#include "Settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

using bravik::Settings;
using bravik::fuzz::shown;

namespace {

// A new name for every input: QSettings keeps files it has read in a cache
// keyed by name and time stamp, and two inputs can share both.
QString freshPath()
{
    static quint64 n = 0;
    return bravik::fuzz::scratch().filePath(QStringLiteral("settings-%1.ini").arg(++n));
}

void checkUsable(const Settings &s, const QString &what)
{
    FUZZ_CHECK(s.databaseDriver == QLatin1String("QSQLITE") || s.databaseDriver == QLatin1String("QPSQL"),
               what + shown(s.databaseDriver));
    for (const QString *t : {&s.database, &s.missionsFolder, &s.runProgram, &s.stopProgram, &s.gpsHost}) {
        FUZZ_CHECK(!t->isEmpty(), what + QStringLiteral("an empty setting"));
        FUZZ_CHECK(*t == t->trimmed(), what + shown(*t));
    }
    FUZZ_CHECK(s.gpsPort != 0, what + QStringLiteral("port 0"));
    for (const QStringList *l : {&s.crewRoster, &s.launchCoordinators, &s.payloadCoordinators, &s.reviewers})
        FUZZ_CHECK(!l->isEmpty(), what + QStringLiteral("an empty person list"));
    for (const QStringList *l :
         {&s.crewRoster, &s.launchCoordinators, &s.payloadCoordinators, &s.reviewers, &s.runArguments, &s.stopArguments}) {
        for (const QString &item : *l)
            FUZZ_CHECK(!item.isEmpty() && item == item.trimmed(), what + shown(item));
    }
}

bool validUnicode(const Settings &s)
{
    QStringList all{s.databaseDriver, s.database, s.missionsFolder, s.runProgram, s.stopProgram, s.gpsHost};
    all += s.crewRoster + s.launchCoordinators + s.payloadCoordinators + s.reviewers + s.runArguments
           + s.stopArguments;
    for (const QString &t : all)
        if (!t.isValidUtf16() || t.contains(QChar(0)))
            return false;
    return true;
}

void write(const QString &path, const Settings &s)
{
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("database/driver"), s.databaseDriver);
    ini.setValue(QStringLiteral("database/location"), s.database);
    ini.setValue(QStringLiteral("missions/folder"), s.missionsFolder);
    ini.setValue(QStringLiteral("commands/run"), s.runProgram);
    ini.setValue(QStringLiteral("commands/runArguments"), s.runArguments);
    ini.setValue(QStringLiteral("commands/stop"), s.stopProgram);
    ini.setValue(QStringLiteral("commands/stopArguments"), s.stopArguments);
    ini.setValue(QStringLiteral("gps/host"), s.gpsHost);
    ini.setValue(QStringLiteral("gps/port"), s.gpsPort);
    ini.setValue(QStringLiteral("crew/roster"), s.crewRoster);
    ini.setValue(QStringLiteral("crew/launchCoordinators"), s.launchCoordinators);
    ini.setValue(QStringLiteral("crew/payloadCoordinators"), s.payloadCoordinators);
    ini.setValue(QStringLiteral("crew/reviewers"), s.reviewers);
    ini.sync();
}

bool sameSettings(const Settings &a, const Settings &b)
{
    return a.databaseDriver == b.databaseDriver && a.database == b.database && a.missionsFolder == b.missionsFolder
           && a.runProgram == b.runProgram && a.runArguments == b.runArguments && a.stopProgram == b.stopProgram
           && a.stopArguments == b.stopArguments && a.gpsHost == b.gpsHost && a.gpsPort == b.gpsPort
           && a.crewRoster == b.crewRoster && a.launchCoordinators == b.launchCoordinators
           && a.payloadCoordinators == b.payloadCoordinators && a.reviewers == b.reviewers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = freshPath();
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly), f.errorString());
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const Settings base = Settings::defaults();
    QStringList problems;
    const Settings s = Settings::fromIniFile(path, base, &problems);
    checkUsable(s, QStringLiteral("from the file: "));
    for (const QString &p : problems)
        FUZZ_CHECK(!p.isEmpty(), QStringLiteral("an empty problem text"));

    // A setting changes only when the file names it (the person lists also
    // follow a new roster).
    {
        QSettings ini(path, QSettings::IniFormat);
        auto named = [&](const char *key) { return ini.contains(QLatin1String(key)); };
        FUZZ_CHECK(s.databaseDriver == base.databaseDriver || named("database/driver"), s.databaseDriver);
        FUZZ_CHECK(s.database == base.database || named("database/location"), s.database);
        FUZZ_CHECK(s.missionsFolder == base.missionsFolder || named("missions/folder"), s.missionsFolder);
        FUZZ_CHECK(s.runProgram == base.runProgram || named("commands/run"), s.runProgram);
        FUZZ_CHECK(s.runArguments == base.runArguments || named("commands/runArguments"), s.runArguments.join(u'|'));
        FUZZ_CHECK(s.stopProgram == base.stopProgram || named("commands/stop"), s.stopProgram);
        FUZZ_CHECK(s.stopArguments == base.stopArguments || named("commands/stopArguments"), s.stopArguments.join(u'|'));
        FUZZ_CHECK(s.gpsHost == base.gpsHost || named("gps/host"), s.gpsHost);
        FUZZ_CHECK(s.gpsPort == base.gpsPort || named("gps/port"), QString::number(s.gpsPort));
        FUZZ_CHECK(s.crewRoster == base.crewRoster || named("crew/roster"), s.crewRoster.join(u'|'));
        const bool roster = named("crew/roster");
        FUZZ_CHECK(s.launchCoordinators == base.launchCoordinators || roster || named("crew/launchCoordinators"),
                   s.launchCoordinators.join(u'|'));
        FUZZ_CHECK(s.payloadCoordinators == base.payloadCoordinators || roster || named("crew/payloadCoordinators"),
                   s.payloadCoordinators.join(u'|'));
        FUZZ_CHECK(s.reviewers == base.reviewers || roster || named("crew/reviewers"), s.reviewers.join(u'|'));
    }
    QFile::remove(path);

    // Written back out and read again: the same settings, no problem.
    if (validUnicode(s)) {
        const QString again = freshPath();
        write(again, s);
        QStringList problemsAgain;
        const Settings t = Settings::fromIniFile(again, base, &problemsAgain);
        FUZZ_CHECK(problemsAgain.isEmpty(), problemsAgain.join(QLatin1Char('\n')));
        FUZZ_CHECK(sameSettings(s, t), QStringLiteral("settings read from %1 do not read back the same")
                                          .arg(shown(QString::fromUtf8(bravik::fuzz::bytes(data, size)))));
        QFile::remove(again);
    }
    return 0;
}
