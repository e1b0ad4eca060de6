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
    }

    void unreadableFileIsAnError()
    {
        const ToolRun r = runTool({QStringLiteral("check"), QStringLiteral("--config"), config(""), dir.filePath(QStringLiteral("gone.cfg"))});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(QString::fromUtf8(r.out).contains(QStringLiteral("gone.cfg:0: error: The file cannot be checked: it does not exist.")));
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
