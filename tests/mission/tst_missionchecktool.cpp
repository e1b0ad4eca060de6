// bravik-mission check, run as the separate program it is.
#include "MissionTestSupport.h"

#include <QtTest>

class TestMissionCheckTool : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

    QString config(const QByteArray &ini) { return write(QStringLiteral("limits.ini"), ini); }

    static QStringList lines(const QByteArray &out)
    {
        return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void cleanScriptsExitZero()
    {
        const QString transit = write(QStringLiteral("transit.cfg"), golden(QStringLiteral("transit.cfg")));
        const QString setpoints = write(QStringLiteral("setpoints.cfg"), golden(QStringLiteral("setpoints.cfg")));
        const ToolRun r = runTool({QStringLiteral("check"), QStringLiteral("--config"), config(""), transit, setpoints});
        QCOMPARE(r.exitCode, 0);
        const QStringList out = lines(r.out);
        QCOMPARE(out.size(), 2); // one summary each, no findings
        QVERIFY(out[0].startsWith(transit + QStringLiteral(": 1 leg")));
        QVERIFY(out[1].startsWith(setpoints + QStringLiteral(": 2 legs")));
        QVERIFY(r.err.isEmpty());
    }

    void oneLinePerFindingAndExitOne()
    {
        const QString good = write(QStringLiteral("good.cfg"), golden(QStringLiteral("transit.cfg")));
        QByteArray broken = golden(QStringLiteral("transit.cfg"));
        broken.replace("speed        = 1.5;\r\n}\r\n\r\n# Descend", "speed        = abc;\r\n}\r\n\r\n# Descend");
        broken += "behavior sonar {\r\n}\r\n";
        const QString bad = write(QStringLiteral("bad.cfg"), broken);
        const ToolRun r = runTool({QStringLiteral("check"), QStringLiteral("--config"), config(""), good, bad});
        QCOMPARE(r.exitCode, 1);
        const QStringList out = lines(r.out);
        QVERIFY(out.contains(bad + QStringLiteral(":38: error: The speed of the setpoint block is \"abc\", not a number; the vehicle needs a number there.")));
        QVERIFY(std::any_of(out.cbegin(), out.cend(), [&](const QString &l) {
            return l.startsWith(bad + QStringLiteral(":67: error: The block \"sonar\""));
        }));
        for (const QString &l : out)
            QVERIFY2(!l.startsWith(good + QLatin1Char(':')) || l.startsWith(good + QStringLiteral(": ")), qPrintable(l));
    }

    void configuredLimitIsAnError()
    {
        const QString transit = write(QStringLiteral("transit.cfg"), golden(QStringLiteral("transit.cfg")));
        const ToolRun unset = runTool({QStringLiteral("check"), QStringLiteral("--config"), config("[vehicle]\nmaxDepth=\n"), transit});
        QCOMPARE(unset.exitCode, 0);
        const ToolRun set = runTool({QStringLiteral("check"), QStringLiteral("--config"), config("[vehicle]\nmaxDepth=15\n"), transit});
        QCOMPARE(set.exitCode, 1);
        QVERIFY(QString::fromUtf8(set.out).contains(transit + QStringLiteral(":37: error: (vehicle limit) Leg 1's depth of 20 m is deeper than the vehicle's maximum depth of 15 m.")));
        // Only the envelope's 25 m goes beyond 22 m: one error, counted so.
        const ToolRun one = runTool({QStringLiteral("check"), QStringLiteral("--config"), config("[vehicle]\nmaxDepth=22\n"), transit});
        QVERIFY2(lines(one.out).first().endsWith(QStringLiteral("; 1 error, 0 warnings")), one.out.constData());
    }

    void unreadableFileIsAnError()
    {
        const ToolRun r = runTool({QStringLiteral("check"), QStringLiteral("--config"), config(""), dir.filePath(QStringLiteral("gone.cfg"))});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(QString::fromUtf8(r.out).contains(QStringLiteral("gone.cfg:0: error: The file cannot be checked: it does not exist.")));
    }

    // Waypoint scripts built by the tool itself, checked against the shore
    // at the full resolution (gmt-common installs it).
    void shoreThroughTheCommand_data()
    {
        QTest::addColumn<QStringList>("waypoints");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a waypoint in the Salinas valley")
            << QStringList{QStringLiteral("36,45,N,121,53,W,900,20,1.5"), QStringLiteral("36,40,N,121,40,W,900,20,1.5"),
                           QStringLiteral("36,48,N,121,55,W,900,20,1.5")}
            << QStringList() << 1
            << QStringLiteral(": error: Waypoint 2 (36°40.000' N, 121°40.000' W) is on land at the GSHHG full resolution");
        QTest::newRow("open ocean") << QStringList{QStringLiteral("30,1,N,140,1,W,900,20,1.5"), QStringLiteral("30,2,N,139,59,W,900,20,1.5")}
                                    << QStringList() << 0 << QStringLiteral("; shore (GSHHG full resolution): Waypoint 1 more than 10.0 km");
        QTest::newRow("across the Monterey peninsula")
            << QStringList{QStringLiteral("36,39,N,121,54,W,900,20,1.5"), QStringLiteral("36,32.4,N,121,57,W,900,20,1.5")} << QStringList() << 1
            << QStringLiteral(": error: The leg to Waypoint 2 crosses land: it first touches land at 36°37.");
        QTest::newRow("across the antimeridian over Taveuni")
            << QStringList{QStringLiteral("16,51,S,179,58.2,E,900,20,1.5"), QStringLiteral("16,51,S,179,48,W,900,20,1.5")} << QStringList() << 1
            << QStringLiteral(": error: The leg to Waypoint 2 crosses land");
        QTest::newRow("southern hemisphere, Port Phillip")
            << QStringList{QStringLiteral("38,6,S,144,54,E,900,20,1.5"), QStringLiteral("38,9,S,144,51,E,900,20,1.5")} << QStringList() << 0
            << QStringLiteral("; shore (GSHHG full resolution): Waypoint 1 ");
        QTest::newRow("shallow water") << QStringList{QStringLiteral("36,48,N,121,57,W,900,20,1.5")}
                                       << QStringList{QStringLiteral("--water-depth"), QStringLiteral("25")} << 1
                                       << QStringLiteral("Waypoint 1's depth of 20 m is deeper than the water depth of 25 m");
        QTest::newRow("deep water") << QStringList{QStringLiteral("36,48,N,121,57,W,900,20,1.5")}
                                    << QStringList{QStringLiteral("--water-depth=300")} << 0 << QStringLiteral(": 1 leg");
        QTest::newRow("water depth not a number") << QStringList{QStringLiteral("36,48,N,121,57,W,900,20,1.5")}
                                                  << QStringList{QStringLiteral("--water-depth"), QStringLiteral("deep")} << 2 << QString();
    }
    void shoreThroughTheCommand()
    {
        QFETCH(QStringList, waypoints);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        const QString path = dir.filePath(QStringLiteral("w.cfg"));
        QStringList build{QStringLiteral("waypoints")};
        for (const QString &w : waypoints)
            build << QStringLiteral("--waypoint") << w;
        QCOMPARE(runTool(build + QStringList{QStringLiteral("-o"), path}).exitCode, 0);
        const ToolRun r = runTool(QStringList{QStringLiteral("check"), QStringLiteral("--config"), config("")} + options + QStringList{path});
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 2) {
            QVERIFY(r.err.contains("--water-depth needs a positive number of metres"));
            return;
        }
        QVERIFY2(QString::fromUtf8(r.out).contains(expected), r.out.constData());
    }

    void withoutShorelineDataTheCheckGoesOn()
    {
        QTemporaryDir empty;
        const QString path = dir.filePath(QStringLiteral("inland.cfg"));
        QCOMPARE(runTool({QStringLiteral("waypoints"), QStringLiteral("--waypoint"), QStringLiteral("36,40,N,121,40,W,900,20,1.5"),
                          QStringLiteral("-o"), path})
                     .exitCode,
                 0);
        const ToolRun r = runTool({QStringLiteral("check"), QStringLiteral("--config"),
                                   config("[chart]\ncoastlineFolder=" + empty.path().toUtf8() + "\n"), path});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("; shore not checked: No coastline data installed: apt install gmt-gshhg-high"), r.out.constData());
        QVERIFY(r.out.contains(":0: warning: The shore was not checked: No coastline data installed"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no file") << QStringList{QStringLiteral("check")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("check"), QStringLiteral("--fast"), QStringLiteral("a.cfg")};
        QTest::newRow("config without file") << QStringList{QStringLiteral("check"), QStringLiteral("--config")};
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const ToolRun r = runTool(arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains("Usage: bravik-mission check"));
    }
};

QTEST_GUILESS_MAIN(TestMissionCheckTool)
#include "tst_missionchecktool.moc"
