// The run command started for real through the output recorder: what it
// prints and how it ends reach the launch record and the abort window, and
// a mission that runs on outlives the program that started it.
#include "Database.h"
#include "Launch.h"
#include "LaunchCommands.h"
#include "LaunchLog.h"
#include "LaunchSession.h"
#include "LaunchStatus.h"
#include "LogbookService.h"
#include "Seams.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include <csignal>
#include <sys/types.h>

using namespace bravik;

class TestLaunchRecorderReal : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempSettings> temp;
    test::ScriptedMessageBoxes *messages = nullptr;
    qint64 sleeper = 0;

    void writeScript(const QString &path, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
    }

    QString mission()
    {
        const QString path = QDir(settings().missionsFolder).filePath(QStringLiteral("m.cfg"));
        QDir().mkpath(settings().missionsFolder);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("# setpoint behavior\r\nbehavior setpoint {\r\nduration     = 60;\r\nheading      = 9;\r\nspeed        = 1;\r\n}\r\n");
        return path;
    }

    logbook::launchlog::Record record(const QString &id)
    {
        logbook::launchlog::Record r;
        QString error;
        auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
        if (db)
            logbook::launchlog::read(*db, id, &r, &error);
        return r;
    }

private slots:
    void initTestCase() { launch::registerWindows(); }

    void init()
    {
        temp = std::make_unique<test::TempSettings>();
        auto m = std::make_unique<test::ScriptedMessageBoxes>();
        messages = m.get();
        setMessageBoxes(std::move(m));
        setCommandRunner(nullptr);
        setRecorderProgram(QStringLiteral(BRAVIK_RUN_WRAPPED));
        launch::LaunchSession::instance().reset();
    }

    void cleanup()
    {
        if (sleeper > 0)
            ::kill(pid_t(sleeper), SIGTERM);
        sleeper = 0;
        windows().unloadAll();
        test::flushDeletes();
        launch::LaunchSession::instance().reset();
        logbook::LogbookService::shutdownAll(std::chrono::seconds(10));
        setMessageBoxes(nullptr);
        setRecorderProgram(QString());
        temp.reset();
    }

    void failingRunScriptIsSeen_data()
    {
        QTest::addColumn<QByteArray>("firstLine");
        QTest::newRow("with #!") << QByteArray("#!/bin/sh\n");
        // Crews write run scripts without one; a shell starts them with /bin/sh.
        QTest::newRow("without #!") << QByteArray();
    }
    void failingRunScriptIsSeen()
    {
        QFETCH(QByteArray, firstLine);
        writeScript(settings().runProgram, firstLine + "echo connecting to \"$1\"\necho 'vehicle not reachable' >&2\nexit 1\n");
        QVERIFY(launch::reviewMission(mission()));
        auto *review = windows().existing<frmMissionDisplay>();
        QVERIFY(review);
        review->cmbChecked->setEditText(QStringLiteral("Ada"));
        QTest::mouseClick(review->cmdRunMission, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(windows().existing<frmAbortMission>(), 20000);
        QVERIFY2(messages->texts.isEmpty(), qPrintable(messages->texts.join('\n')));
        auto *abort = windows().existing<frmAbortMission>();
        QTRY_COMPARE_WITH_TIMEOUT(abort->lblRunStatus->text(), QStringLiteral("ended 1: vehicle not reachable"), 20000);
        const QString key = launch::LaunchSession::instance().latestId();
        QVERIFY(!key.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(record(key).text(QStringLiteral("RunExitStatus")), QStringLiteral("1"), 10000);
        const QString output = record(key).text(QStringLiteral("RunOutput"));
        QVERIFY2(output.contains(QStringLiteral("vehicle not reachable")), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("connecting to ") + mission()), qPrintable(output));
        QVERIFY(record(key).values.value(QStringLiteral("ProcessId")).toLongLong() > 0);
    }

    void outputIsBounded()
    {
        // 200 KB of output: the record keeps the last 64 KB, the end included.
        writeScript(settings().runProgram, "#!/bin/sh\ni=0\nwhile [ $i -lt 4000 ]; do echo \"line $i padding padding padding padding\"; i=$((i+1)); done\necho the end\n");
        const QString status = temp->path(QStringLiteral("bounded.json"));
        const launch::StartOutcome o = launch::startRunCommand(mission(), status);
        QVERIFY(o.started && o.recording);
        QTRY_VERIFY_WITH_TIMEOUT(launch::readStatusFile(status) && launch::readStatusFile(status)->state == launch::CommandStatus::State::Ended, 20000);
        const launch::CommandStatus s = *launch::readStatusFile(status);
        QCOMPARE(s.exitStatus, QStringLiteral("0"));
        QVERIFY(s.output.size() <= launch::kRecordedOutputBytes);
        QVERIFY(s.output.size() > launch::kRecordedOutputBytes - 100);
        QCOMPARE(s.line(), QStringLiteral("ended 0"));
        QCOMPARE(s.lastOutputLine(), QStringLiteral("the end"));
    }

    void missingRunScriptIsRefusedAtOnce()
    {
        const QString status = temp->path(QStringLiteral("missing.json"));
        const launch::StartOutcome o = launch::startRunCommand(mission(), status);
        QVERIFY(!o.started);
        QCOMPARE(o.reason, QStringLiteral("the file does not exist"));
        QVERIFY(!QFile::exists(status));
    }

    void sleepingMissionOutlivesTheProgram()
    {
        writeScript(settings().runProgram, "#!/bin/sh\necho started\nexec sleep 30\n");
        const QString status = temp->path(QStringLiteral("sleeper.json"));
        // Another program starts the mission the way "Run Mission" does and ends.
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BRAVIK_LAUNCH_CHILD_STATUS"), status);
        env.insert(QStringLiteral("BRAVIK_LAUNCH_CHILD_PROGRAM"), settings().runProgram);
        env.insert(QStringLiteral("BRAVIK_LAUNCH_CHILD_MISSION"), mission());
        program.setProcessEnvironment(env);
        program.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), 0);

        QTRY_VERIFY_WITH_TIMEOUT(launch::readStatusFile(status) && launch::readStatusFile(status)->processId > 0, 20000);
        sleeper = launch::readStatusFile(status)->processId;
        QTest::qWait(1000);
        QCOMPARE(::kill(pid_t(sleeper), 0), 0);   // still running
        QCOMPARE(launch::readStatusFile(status)->line(), QStringLiteral("running"));
        QCOMPARE(::kill(pid_t(sleeper), SIGTERM), 0);
        sleeper = 0;
        // The recorder outlived the program too and sees how it ended.
        QTRY_COMPARE_WITH_TIMEOUT(launch::readStatusFile(status)->exitStatus, QStringLiteral("signal 15"), 20000);
    }
};

int main(int argc, char **argv)
{
    const QString childStatus = qEnvironmentVariable("BRAVIK_LAUNCH_CHILD_STATUS");
    if (!childStatus.isEmpty()) {
        QCoreApplication app(argc, argv);
        setRecorderProgram(QStringLiteral(BRAVIK_RUN_WRAPPED));
        Settings s = Settings::defaults();
        s.runProgram = qEnvironmentVariable("BRAVIK_LAUNCH_CHILD_PROGRAM");
        setSettings(s);
        const launch::StartOutcome o = launch::startRunCommand(qEnvironmentVariable("BRAVIK_LAUNCH_CHILD_MISSION"), childStatus);
        return o.started && o.recording ? 0 : 3;
    }
    QApplication app(argc, argv);
    TestLaunchRecorderReal t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_launchrecorder_real.moc"
