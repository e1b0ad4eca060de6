// What "Run Mission" checks and records, driven through the scripted seams,
// on SQLite and (as tst_launchrecord_pg) on PostgreSQL.
#include "ChartView.h"
#include "Database.h"
#include "FieldLogWindows.h"
#include "LaunchCommands.h"
#include "LaunchLog.h"
#include "LaunchSession.h"
#include "LaunchStatus.h"
#include "LaunchListModel.h"
#include "LaunchWindows.h"
#include "Launch.h"
#include "LogbookService.h"
#include "MissionPictures.h"
#include "RecordCursor.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QAbstractItemModelTester>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTreeView>
#include <QtTest>

using namespace bravik;
namespace ll = bravik::logbook::launchlog;

class TestLaunchRecord : public QObject
{
    Q_OBJECT

private:
    std::optional<test::WindowTest> m_window;

    static QByteArray golden(const char *name)
    {
        QFile f(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/") + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString mission(const QString &name, const QByteArray &bytes)
    {
        QDir().mkpath(settings().missionsFolder);
        const QString path = QDir(settings().missionsFolder).filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

    // The mission log on a stored row, then "Select Mission".
    frmMission *selectMission(const QString &path)
    {
        frmMission *log = windows().show<frmMission>();
        if (!log || !QTest::qWaitFor([log] { return log->cursor()->isOpen() && !log->cursor()->isBusy(); }, 20000))
            return nullptr;
        if (!log->cursor()->hasRow()) {
            log->beginNewRow();
            if (!test::waitForLogbook())
                return nullptr;
            QTest::keyClicks(log->txtSubmittedBy, QStringLiteral("Ada"));
            log->moveLast();
            if (!test::waitForLogbook())
                return nullptr;
        }
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
        return log;
    }

    frmMissionDisplay *review() { return windows().existing<frmMissionDisplay>(); }
    frmAbortMission *abortWindow() { return windows().existing<frmAbortMission>(); }

    void pressRun(const QString &reviewer)
    {
        QVERIFY(review());
        review()->cmbChecked->setFocus();
        review()->cmbChecked->lineEdit()->selectAll();
        if (!reviewer.isEmpty())
            QTest::keyClicks(review()->cmbChecked, reviewer);
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        // The run starts once the logbook has answered its record.
        QTRY_VERIFY_WITH_TIMEOUT(!review() || review()->cmdRunMission->isEnabled(), 20000);
        settle();
    }

    // Every launch record write has landed.
    void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!launch::LaunchSession::instance().isBusy(), 20000);
        test::flushDeletes();
    }

    QList<ll::Record> records()
    {
        QList<ll::Record> out;
        QString error;
        auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
        if (!db) {
            qWarning("%s", qPrintable(error));
            return out;
        }
        ll::all(*db, &out, &error);
        return out;
    }

    static QString sha256sum(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("sha256sum"), {path});
        if (!p.waitForFinished(10000))
            return QStringLiteral("<sha256sum failed>");
        return QString::fromLatin1(p.readAllStandardOutput()).section(QLatin1Char(' '), 0, 0);
    }

private slots:
    void init()
    {
        m_window.emplace([] { logbook::registerWindows(); launch::registerWindows(); }, QStringList(),
                         test::WindowTest::Unload);
        if (test::postgresRequested() && !m_window->settings.schema)
            QSKIP(qPrintable(test::postgresSkipReason()));
        launch::LaunchSession::instance().reset();
    }

    void cleanup()
    {
        m_window->closeWindows();
        launch::LaunchSession::instance().reset();
        m_window.reset();
    }

    void summaryFindingsAndPicturesShown()
    {
        QByteArray bytes = golden("setpoints.cfg");
        bytes.replace("depth        = 30;", "depth        = 40;");
        selectMission(mission(QStringLiteral("deep.cfg"), bytes));
        frmMissionDisplay *w = review();
        QVERIFY(w);
        QVERIFY(w->lblSummary->text().contains(QStringLiteral("2 legs")));
        QVERIFY(w->lblSummary->text().contains(QStringLiteral("deepest 40 m")));
        QVERIFY(w->lblSummary->text().contains(QStringLiteral("1 error")));
        bool found = false;
        const QAbstractItemModel *findings = w->lstFindings->model();
        for (int i = 0; i < findings->rowCount(); ++i) {
            if (findings->index(i, 2).data().toString().contains(QStringLiteral("deeper than the depth envelope"))) {
                found = true;
                QCOMPARE(findings->index(i, 0).data().toString(), QStringLiteral("error"));
                QCOMPARE(findings->index(i, 1).data().toString(), QStringLiteral("37"));
            }
        }
        QVERIFY(found);
        QVERIFY(w->picDepthProfile->isVisible());
        QVERIFY(w->picTrack->isVisible());
        QVERIFY(!w->lblEditsNotice->isVisible());
        // Errors do not block: the run goes ahead.
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
    }

    void configuredLimitRefusesTheRun()
    {
        Settings s = settings();
        s.vehicleMaxDepth = 15.0;
        setSettings(s);
        selectMission(mission(QStringLiteral("transit.cfg"), golden("transit.cfg")));
        // The empty reviewer is still refused first.
        pressRun(QString());
        QCOMPARE(m_window->seams.messages->texts, QStringList{QStringLiteral("Mission script not checked.")});
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.messages->texts.size(), 2);
        const QString msg = m_window->seams.messages->texts[1];
        QVERIFY2(msg.startsWith(QStringLiteral("The mission goes beyond the vehicle's configured limits")), qPrintable(msg));
        QVERIFY2(msg.contains(QStringLiteral("line 37: error: Leg 1's depth of 20 m is deeper than the vehicle's maximum depth of 15 m.")), qPrintable(msg));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QVERIFY(review());
        QVERIFY(records().isEmpty());
    }

    void changedFileIsRefused()
    {
        const QString path = mission(QStringLiteral("transit.cfg"), golden("transit.cfg"));
        selectMission(path);
        QVERIFY(review());
        QByteArray edited = golden("transit.cfg");
        edited.replace("depth        = 20;", "depth        = 2;");
        mission(QStringLiteral("transit.cfg"), edited);
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QCOMPARE(m_window->seams.messages->texts[0], QStringLiteral("The mission file changed after it was reviewed. Select it again to review the new text."));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QVERIFY(review());
        // Deleted under the program: refused as well, with the reason.
        QFile::remove(path);
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.messages->texts.size(), 2);
        QVERIFY(m_window->seams.messages->texts[1].contains(QStringLiteral("does not exist")));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
    }

    void handEditedNameRunsAndIsNoted()
    {
        selectMission(mission(QStringLiteral("shown.cfg"), golden("transit.cfg")));
        const QString other = mission(QStringLiteral("other.cfg"), golden("decktest.cfg"));
        review()->txtMissionName->selectAll();
        QTest::keyClicks(review()->txtMissionName, other);
        pressRun(QStringLiteral("Ben"));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(m_window->seams.commands->calls[0].arguments.last(), other);
        const QList<ll::Record> rows = records();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].text(QStringLiteral("RunFile")), other);
        QVERIFY(rows[0].text(QStringLiteral("RunFileNote")).startsWith(QStringLiteral("Not the file reviewed")));
        QCOMPARE(rows[0].text(QStringLiteral("RunFileSha256")), sha256sum(other));
        QCOMPARE(rows[0].text(QStringLiteral("ReviewedSha256")), launch::sha256Hex(golden("transit.cfg")));
    }

    void editsNoticeOnceTheTextDiffers()
    {
        selectMission(mission(QStringLiteral("a.cfg"), golden("transit.cfg")));
        frmMissionDisplay *w = review();
        QVERIFY(!w->lblEditsNotice->isVisible());
        w->txtMissionScript->setFocus();
        w->txtMissionScript->moveCursor(QTextCursor::End);
        QTest::keyClicks(w->txtMissionScript, QStringLiteral("x"));
        QVERIFY(w->lblEditsNotice->isVisible());
        QCOMPARE(w->lblEditsNotice->text(), QStringLiteral("Edits here are not saved; the file runs as it was read."));
        QTest::keyClick(w->txtMissionScript, Qt::Key_Backspace);
        QVERIFY(!w->lblEditsNotice->isVisible());
    }

    void runLeavesOneCompleteRecord()
    {
        m_window->seams.commands->recording = true;
        const QString path = mission(QStringLiteral("transit one.cfg"), golden("transit.cfg"));
        frmMission *log = selectMission(path);
        QTest::keyClicks(log->txtLatitudeInt, QStringLiteral("36"));
        QTest::keyClicks(log->txtLatitudeMinutes, QStringLiteral("48.1234"));
        QTest::keyClicks(log->cmbNS, QStringLiteral("N"));
        QTest::keyClicks(log->txtLongitudeInt, QStringLiteral("121"));
        QTest::keyClicks(log->txtLongitudeMinutes, QStringLiteral("47.5678"));
        QTest::keyClicks(log->cmbEW, QStringLiteral("W"));
        pressRun(QStringLiteral("Ada"));
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('\n')));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(m_window->seams.commands->calls[0].program, settings().runProgram);
        QCOMPARE(m_window->seams.commands->calls[0].arguments.last(), path);
        QVERIFY(abortWindow());
        QCOMPARE(abortWindow()->lblRunStatus->text(), QStringLiteral("running"));

        QList<ll::Record> rows = records();
        QCOMPARE(rows.size(), 1);
        const ll::Record &r = rows[0];
        QCOMPARE(r.text(QStringLiteral("ReviewedSha256")), sha256sum(path));
        QCOMPARE(r.text(QStringLiteral("RunFileSha256")), sha256sum(path));
        QCOMPARE(r.text(QStringLiteral("ReviewedFile")), path);
        QCOMPARE(r.text(QStringLiteral("RunFile")), path);
        QVERIFY(r.text(QStringLiteral("RunFileNote")).isEmpty());
        QCOMPARE(r.values.value(QStringLiteral("ReviewedBytes")).toLongLong(), qint64(golden("transit.cfg").size()));
        QCOMPARE(r.text(QStringLiteral("ReviewedText")).size(), golden("transit.cfg").size());
        QCOMPARE(r.text(QStringLiteral("Reviewer")), QStringLiteral("Ada"));
        QCOMPARE(r.values.value(QStringLiteral("MissionKey")).toLongLong(), log->cursor()->currentKey());
        QVERIFY(log->cursor()->currentKey() >= 0);
        QCOMPARE(r.text(QStringLiteral("Position")), QStringLiteral("36 48.1234 N, 121 47.5678 W"));
        QVERIFY(r.text(QStringLiteral("PositionAgeSeconds")).isEmpty()); // no GPS fix
        for (const char *f : {"ReviewedAtUtc", "StartedAtUtc"})
            QVERIFY2(QDateTime::fromString(r.text(QLatin1String(f)), Qt::ISODate).isValid() && r.text(QLatin1String(f)).endsWith('Z'), f);
        QVERIFY(!r.text(QStringLiteral("Workstation")).isEmpty());
        QCOMPARE(r.text(QStringLiteral("StartResult")), QStringLiteral("started"));
        QCOMPARE(r.text(QStringLiteral("RunCommand")), launch::commandText(settings().runProgram, {path}));
        QVERIFY(r.text(QStringLiteral("AbortedAtUtc")).isEmpty());
        const QString statusFile = r.text(QStringLiteral("RunStatusFile"));
        QCOMPARE(statusFile, m_window->seams.commands->calls[0].statusFile);

        // What the recorder writes reaches the record and the abort window.
        launch::CommandStatus status;
        status.processId = 4242;
        QVERIFY(launch::writeStatusFile(statusFile, status));
        QTRY_COMPARE(records().value(0).values.value(QStringLiteral("ProcessId")).toLongLong(), qint64(4242));
        status.state = launch::CommandStatus::State::Ended;
        status.exitStatus = QStringLiteral("1");
        status.output = QStringLiteral("connecting\nvehicle not reachable\n");
        QVERIFY(launch::writeStatusFile(statusFile, status));
        QTRY_COMPARE(abortWindow()->lblRunStatus->text(), QStringLiteral("ended 1: vehicle not reachable"));
        QTRY_COMPARE(records().value(0).text(QStringLiteral("RunExitStatus")), QStringLiteral("1"));
        QCOMPARE(records().value(0).text(QStringLiteral("RunOutput")), status.output);
    }

    void failedStartIsRecorded()
    {
        m_window->seams.commands->failWith = QStringLiteral("the file does not exist");
        selectMission(mission(QStringLiteral("a.cfg"), golden("transit.cfg")));
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(review());
        QVERIFY(!abortWindow());
        const QList<ll::Record> rows = records();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].text(QStringLiteral("StartResult")), QStringLiteral("the file does not exist"));
        QVERIFY(!rows[0].text(QStringLiteral("StartedAtUtc")).isEmpty());
    }

    void abortFillsTheLatestRecord()
    {
        selectMission(mission(QStringLiteral("a.cfg"), golden("transit.cfg")));
        pressRun(QStringLiteral("Ada"));
        selectMission(mission(QStringLiteral("b.cfg"), golden("decktest.cfg")));
        pressRun(QStringLiteral("Ben"));
        QVERIFY(abortWindow());
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        settle();
        QVERIFY(!abortWindow());
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('\n')));
        const QList<ll::Record> rows = records();
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0].text(QStringLiteral("AbortedAtUtc")).isEmpty());
        QVERIFY(rows[1].text(QStringLiteral("AbortedAtUtc")).endsWith('Z'));
        QCOMPARE(rows[1].text(QStringLiteral("AbortResult")), QStringLiteral("started"));
        QCOMPARE(rows[1].text(QStringLiteral("AbortCommand")), launch::commandText(settings().stopProgram, {}));

        // A failed abort is recorded too, and the window stays for another try.
        selectMission(mission(QStringLiteral("c.cfg"), golden("transit.cfg")));
        pressRun(QStringLiteral("Cai"));
        m_window->seams.commands->failWith = QStringLiteral("Permission denied");
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        QVERIFY(abortWindow());
        settle();
        QCOMPARE(records().value(2).text(QStringLiteral("AbortResult")), QStringLiteral("Permission denied"));
    }

    void failedRecordWritesAreReportedAndNeverStopTheAbort()
    {
        selectMission(mission(QStringLiteral("a.cfg"), golden("transit.cfg")));
        pressRun(QStringLiteral("Ada"));
        QVERIFY(abortWindow());
        // The table goes away under the program (another computer, a restore).
        {
            QString error;
            auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
            QVERIFY2(db, qPrintable(error));
            QSqlQuery q(db->connection());
            QVERIFY(q.exec(QStringLiteral("DROP TABLE \"LaunchRecord\"")));
        }
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        test::flushDeletes();
        QCOMPARE(m_window->seams.commands->calls.size(), 2);   // the stop command started all the same
        QCOMPARE(m_window->seams.commands->calls[1].program, settings().stopProgram);
        QVERIFY(!abortWindow());
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY2(m_window->seams.messages->texts[0].startsWith(QStringLiteral("The stop command was started.")), qPrintable(m_window->seams.messages->texts[0]));
        QVERIFY(m_window->seams.messages->texts[0].contains(QStringLiteral("could not be written to the launch record")));

        // A run with no table to write to still starts, and says so.
        selectMission(mission(QStringLiteral("b.cfg"), golden("transit.cfg")));
        pressRun(QStringLiteral("Ben"));
        QCOMPARE(m_window->seams.commands->calls.size(), 3);
        QVERIFY(abortWindow());
        QCOMPARE(m_window->seams.messages->texts.size(), 2);
        QVERIFY2(m_window->seams.messages->texts[1].startsWith(QStringLiteral("The mission was started.")), qPrintable(m_window->seams.messages->texts[1]));
        QVERIFY(m_window->seams.messages->texts[1].contains(QStringLiteral("The launch record could not be written before the start")));
    }

    void launchesButtonListsTheRowsRecords()
    {
        frmMission *log = selectMission(mission(QStringLiteral("a.cfg"), golden("transit.cfg")));
        pressRun(QStringLiteral("Ada"));
        selectMission(mission(QStringLiteral("b.cfg"), golden("decktest.cfg")));
        pressRun(QStringLiteral("Ben"));
        QCOMPARE(log->cmdLaunches->text(), QStringLiteral("Launches"));
        QTest::mouseClick(log->cmdLaunches, Qt::LeftButton);
        auto *list = windows().existing<frmLaunches>();
        QVERIFY(list && list->isVisible());
        QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto reviewer = [list](int row) { return list->model()->index(row, launch::LaunchListModel::Reviewer).data().toString(); };
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(reviewer(0), QStringLiteral("Ben"));
        QCOMPARE(reviewer(1), QStringLiteral("Ada"));
        QCOMPARE(list->lblLaunches->text(), QStringLiteral("2 launches of this mission log row, newest first."));
        QVERIFY(list->txtLaunch->toPlainText().contains(QStringLiteral("Reviewer: Ben")));
        QVERIFY(list->txtLaunch->toPlainText().contains(QStringLiteral("behavior setpoint {")));
        list->lstLaunches->setFocus();
        QTest::keyClick(list->lstLaunches, Qt::Key_Down);
        QVERIFY(list->txtLaunch->toPlainText().contains(QStringLiteral("Reviewer: Ada")));

        // The abort, once recorded, shows in the open list; the record
        // shown stays shown.
        QVERIFY(abortWindow());
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        QTRY_VERIFY(!list->model()->index(0, launch::LaunchListModel::Aborted).data().toString().isEmpty());
        QVERIFY(list->txtLaunch->toPlainText().contains(QStringLiteral("Reviewer: Ada")));

        // Another row has none.
        log->beginNewRow();
        QVERIFY(test::waitForLogbook());
        QTest::mouseClick(log->cmdLaunches, Qt::LeftButton);
        QTRY_COMPARE(list->lblLaunches->text(), QStringLiteral("This mission log row is not stored yet; it has no launches."));
        QCOMPARE(list->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestLaunchRecord)
#include "tst_launchrecord.moc"
