#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

// The program as a crew member starts it: command-line answers without a
// display, a clear refusal with no display, and a logbook created on first
// start in an empty home.
class TestStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
    void noDisplayIsOneClearLine();
    void firstStartCreatesTheLogbook();
    void terminationClosesCleanly();

private:
    QProcessEnvironment environment(const QString &home, bool display) const;
};

static const QString program = QStringLiteral(BRAVIK_LOG_PATH);

QProcessEnvironment TestStartup::environment(const QString &home, bool display) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (display)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

void TestStartup::answersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: bravik-log";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "bravik-log " BRAVIK_VERSION "\n";
    QTest::newRow("help lists the exit statuses")
        << QStringList{"--help"} << 0 << "\nExit status:\n  0  the program ended normally";
    QTest::newRow("unknown option") << QStringList{"--nonsense"} << 2 << "Unknown option --nonsense";
}

void TestStartup::answersWithoutDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(environment(home.path(), false));
    p.start(program, args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), exitCode);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    QVERIFY2(out.contains(says), qPrintable(out));
}

void TestStartup::noDisplayIsOneClearLine()
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(environment(home.path(), false));
    p.start(program, {});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    QVERIFY2(err.contains(QLatin1String("display")) && !err.contains(QLatin1Char('\n')), qPrintable(err));
}

void TestStartup::firstStartCreatesTheLogbook()
{
    QTemporaryDir home;
    const QString db = home.filePath(QStringLiteral("Bravik/Utilities/BravikLogUtility/BravikDatabase.sqlite"));
    QProcess p;
    p.setProcessEnvironment(environment(home.path(), true));
    p.start(program, {});
    QVERIFY(p.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(db), 15000);
    QTest::qWait(300);
    p.terminate();
    QVERIFY(p.waitForFinished(10000));

    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        c.setDatabaseName(db);
        QVERIFY(c.open());
        QStringList tables;
        for (const QString &t : c.tables())
            if (!t.startsWith(QLatin1String("sqlite_")))
                tables << t;
        tables.sort();
        QCOMPARE(tables, (QStringList{"Attachment", "AttachmentContent", "BatteryCharge", "LaunchRecord", "MergeConflict", "Miscellaneous", "MissionData", "Predive", "Purchases",
                                      "RecordHistory", "SyncState", "TaskList", "VehicleMaintenance", "WeatherObservation"}));
        const QSqlRecord weather = c.record(QStringLiteral("WeatherObservation"));
        for (const char *field : {"Date/Time", "SubmittedBy", "Latitude Int", "Longitude Minutes", "HemisphereNS"})
            QVERIFY2(weather.indexOf(QLatin1String(field)) >= 0, field);
        const QSqlRecord predive = c.record(QStringLiteral("Predive"));
        for (const char *field : {"USBL Tx/Rx", "Main Housing Vaccuum", "Em Locators ON", "VehicleOperator"})
            QVERIFY2(predive.indexOf(QLatin1String(field)) >= 0, field);
        c.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

void TestStartup::terminationClosesCleanly()
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(environment(home.path(), true));
    p.start(program, {QStringLiteral("--database"), home.filePath(QStringLiteral("x.sqlite"))});
    QVERIFY(p.waitForStarted(10000));
    QTest::qWait(1500);  // past the splash, the main window is up
    QCOMPARE(p.state(), QProcess::Running);
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("x.sqlite"))));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
