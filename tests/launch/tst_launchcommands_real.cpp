// The run and stop commands started for real: scripts in a temporary folder
// record what they receive, and the program must not wait for them.
#include "Launch.h"
#include "LaunchSession.h"
#include "LogbookService.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include <csignal>
#include <sys/types.h>

using namespace bravik;

class TestLaunchCommandsReal : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempSettings> temp;
    test::ScriptedMessageBoxes *messages = nullptr;
    QString oldCurrent;

    QString tempPath(const QString &name) const { return temp->path(name); }

    void writeFile(const QString &path, const QByteArray &bytes, bool executable)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        if (executable)
            QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser));
    }

    // A script that notes its process id, records its arguments (count, then
    // each ended by NUL) and then sleeps far longer than any test runs.
    QByteArray recordingScript(const QString &record, const QString &pidFile)
    {
        return QStringLiteral("#!/bin/sh\n"
                              "echo $$ > '%2.tmp'\n"
                              "mv '%2.tmp' '%2'\n"
                              "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > '%1.tmp'\n"
                              "mv '%1.tmp' '%1'\n"
                              "exec sleep 30\n")
            .arg(record, pidFile)
            .toLocal8Bit();
    }

    static QStringList recorded(const QString &record)
    {
        QFile f(record);
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<no record>")};
        const QByteArray all = f.readAll();
        const qsizetype nl = all.indexOf('\n');
        QStringList args;
        const QList<QByteArray> parts = all.mid(nl + 1).split('\0');
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            args << QString::fromLocal8Bit(parts[i]);
        if (all.left(nl).toInt() != args.size())
            args << QStringLiteral("<count mismatch>");
        return args;
    }

    void stopSleeper(const QString &pidFile)
    {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pidFile), 10000);
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const pid_t pid = pid_t(f.readAll().trimmed().toLongLong());
        QVERIFY(pid > 1);
        QCOMPARE(::kill(pid, SIGTERM), 0);
        QFile::remove(pidFile);
    }

private slots:
    void initTestCase() { launch::registerWindows(); }

    void init()
    {
        temp = std::make_unique<test::TempSettings>();
        // Anything a path could smuggle in as a command would run here.
        oldCurrent = QDir::currentPath();
        QDir::setCurrent(temp->dir.path());
        auto m = std::make_unique<test::ScriptedMessageBoxes>();
        messages = m.get();
        setMessageBoxes(std::move(m));
        setCommandRunner(nullptr);   // the real runner
    }

    void cleanup()
    {
        // A sleeper left by a failed check is stopped; one that was started
        // at all has written its id before anything the test waited for.
        for (const char *name : {"run.pid", "stop.pid"})
            if (QFile::exists(tempPath(QLatin1String(name))))
                stopSleeper(tempPath(QLatin1String(name)));
        windows().unloadAll();
        test::flushDeletes();
        launch::LaunchSession::instance().reset();
        logbook::LogbookService::shutdownAll(std::chrono::seconds(10));
        setMessageBoxes(nullptr);
        QDir::setCurrent(oldCurrent);
        temp.reset();
    }

    void pathArrivesAsOneArgumentAndNothingWaits()
    {
        Settings s = settings();
        s.runArguments = {QStringLiteral("--fixed")};
        setSettings(s);
        writeFile(s.runProgram, recordingScript(tempPath(QStringLiteral("run.args")), tempPath(QStringLiteral("run.pid"))), true);

        const QString path = QDir(s.missionsFolder + QStringLiteral("/my missions"))
                                 .filePath(QStringLiteral("it's \"a\" run; touch pwned $(touch pwned2) & `touch pwned3` x.cfg"));
        writeFile(path, "behavior setpoint {\r\n}\r\n", false);

        QVERIFY(launch::reviewMission(path));
        auto *review = windows().existing<frmMissionDisplay>();
        QVERIFY(review);
        QCOMPARE(review->txtMissionName->text(), path);
        review->cmbChecked->setEditText(QStringLiteral("Ada"));

        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(review->cmdRunMission, Qt::LeftButton);
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 2000, qPrintable(QStringLiteral("Run Mission took %1 ms").arg(took)));
        // The run starts once the logbook has answered its launch record.
        QTRY_VERIFY_WITH_TIMEOUT(windows().existing<frmAbortMission>(), 20000);
        test::flushDeletes();
        QVERIFY2(messages->texts.isEmpty(), qPrintable(messages->texts.join('\n')));
        QVERIFY(!windows().existing<frmMissionDisplay>());

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(tempPath(QStringLiteral("run.args"))), 10000);
        stopSleeper(tempPath(QStringLiteral("run.pid")));
        QCOMPARE(recorded(tempPath(QStringLiteral("run.args"))), (QStringList{QStringLiteral("--fixed"), path}));
        for (const char *name : {"pwned", "pwned2", "pwned3"}) {
            QVERIFY2(!QFile::exists(tempPath(QLatin1String(name))), name);
            QVERIFY2(!QFile::exists(QDir(s.missionsFolder + QStringLiteral("/my missions")).filePath(QLatin1String(name))), name);
        }
    }

    void abortDoesNotWaitForTheStopScript()
    {
        const Settings &s = settings();
        writeFile(s.stopProgram, recordingScript(tempPath(QStringLiteral("stop.args")), tempPath(QStringLiteral("stop.pid"))), true);
        auto *w = windows().show<frmAbortMission>();

        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w->cmdAbortMission, Qt::LeftButton);
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 2000, qPrintable(QStringLiteral("Abort Mission took %1 ms").arg(took)));
        test::flushDeletes();
        QVERIFY(messages->texts.isEmpty());
        QVERIFY(!windows().existing<frmAbortMission>());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(tempPath(QStringLiteral("stop.args"))), 10000);
        stopSleeper(tempPath(QStringLiteral("stop.pid")));
        QCOMPARE(recorded(tempPath(QStringLiteral("stop.args"))), QStringList());
    }

    void commandThatCannotStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("not executable") << QStringLiteral("plain");
        QTest::newRow("a folder") << QStringLiteral("folder");
    }
    void commandThatCannotStart()
    {
        QFETCH(QString, kind);
        const Settings &s = settings();
        if (kind == QLatin1String("plain"))
            writeFile(s.stopProgram, "#!/bin/sh\ntouch started\n", false);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(s.stopProgram));

        auto *w = windows().show<frmAbortMission>();
        QTest::mouseClick(w->cmdAbortMission, Qt::LeftButton);
        test::flushDeletes();
        QCOMPARE(messages->texts.size(), 1);
        QVERIFY2(messages->texts[0].contains(QDir::toNativeSeparators(s.stopProgram)), qPrintable(messages->texts[0]));
        QVERIFY2(messages->texts[0].contains(QStringLiteral("could not be started: ")), qPrintable(messages->texts[0]));
        QCOMPARE(windows().existing<frmAbortMission>(), w);
        QTest::qWait(200);
        QVERIFY(!QFile::exists(tempPath(QStringLiteral("started"))));
    }
};

QTEST_MAIN(TestLaunchCommandsReal)
#include "tst_launchcommands_real.moc"
