// "Run Mission" with [launch] requirePredive set: refused until the crew
// has stored a complete predive checklist through the predive window, then
// started.  Driven as a person drives the windows, through the scripted
// message boxes and command runner, on SQLite and (as tst_launchpredive_pg)
// on PostgreSQL.

#include "App.h"
#include "FieldLogWindows.h"
#include "LaunchSession.h"
#include "Launch.h"
#include "Settings.h"
#include "ShellWindows.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace bravik;
using bravik::test::LogbookProbe;

class TestLaunchPredive : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    QString missionFile()
    {
        QFile golden(QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR "/transit.cfg"));
        if (!golden.open(QIODevice::ReadOnly))
            qFatal("no golden transit.cfg");
        QDir().mkpath(settings().missionsFolder);
        const QString path = QDir(settings().missionsFolder).filePath(QStringLiteral("transit.cfg"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(golden.readAll());
        return path;
    }

    static void typeInto(QComboBox *list, const QString &text)
    {
        QTest::mouseClick(list->lineEdit(), Qt::LeftButton);
        QTest::keyClick(list->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(list->lineEdit(), text);
        QTest::keyClick(list->lineEdit(), Qt::Key_Tab);
    }

    static void typeInto(QLineEdit *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
    }

    frmMissionDisplay *review() { return windows().existing<frmMissionDisplay>(); }

    // "Run Mission" on the mission log's new row, then "Select Mission".
    void selectMission(const QString &path)
    {
        frmLogMain *main = windows().show<frmLogMain>();
        QVERIFY(main);
        typeInto(main->cmbEventType, QStringLiteral("Run Mission"));
        typeInto(main->cmbSubmittedBy, QStringLiteral("Ada"));
        QTest::mouseClick(main->cmdSubmitEntry, Qt::LeftButton);
        frmMission *log = windows().existing<frmMission>();
        QVERIFY(log);
        QVERIFY(test::waitForLogbook());
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
        QVERIFY(review());
    }

    // Types the reviewer and presses "Run Mission"; the answer comes once
    // the logbook has been asked.
    void pressRun(int messagesBefore)
    {
        frmMissionDisplay *w = review();
        QVERIFY(w);
        typeInto(w->cmbChecked, QStringLiteral("Ada"));
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->seams.messages->texts.size() > messagesBefore || !m_window->seams.commands->calls.isEmpty(),
                                 30000);
        test::flushDeletes();
    }

    // The predive checklist from the main window, boxes ticked by clicking
    // them, stored by "Return to Main".
    void submitPredive(const QString &who, const QStringList &leaveUnticked)
    {
        frmLogMain *main = windows().show<frmLogMain>();
        QVERIFY(main);
        typeInto(main->cmbEventType, QStringLiteral("Vehicle Predive"));
        typeInto(main->cmbSubmittedBy, who);
        const int before = m_window->probe.count(QStringLiteral("Predive"));
        QTest::mouseClick(main->cmdSubmitEntry, Qt::LeftButton);
        frmPredive *p = windows().existing<frmPredive>();
        QVERIFY(p);
        QTRY_VERIFY(p->isVisible());
        QVERIFY(test::waitForLogbook());
        typeInto(p->txtCruise, QStringLiteral("AR-26-12"));
        typeInto(p->txtShip, QStringLiteral("Armstrong"));
        typeInto(p->txtBat1V, QStringLiteral("29.8"));
        for (QCheckBox *box : {p->chkThruster, p->chkElevator, p->chkRudder, p->chkAHRS, p->chkGPS,
                               p->chkPressureSensor, p->chkDVL, p->chkPayload}) {
            if (leaveUnticked.contains(box->objectName()))
                continue;
            QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
            QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY2(box->isChecked(), qPrintable(box->objectName()));
        }
        auto *returnToMain = p->findChild<QPushButton *>(QStringLiteral("cmdQuit"));
        QVERIFY(returnToMain);
        QCOMPARE(returnToMain->text(), QStringLiteral("Return to Main"));
        QTest::mouseClick(returnToMain, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->probe.count(QStringLiteral("Predive")), before + 1, 20000);
        QTRY_VERIFY(!windows().existing<frmPredive>());
        test::flushDeletes();
    }

    int launchRecords() { return m_window->probe.count(QStringLiteral("LaunchRecord")); }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_window.emplace(registerAllWindows);
        launch::LaunchSession::instance().reset();
        Settings s = settings();
        s.launchRequirePredive = 6;
        setSettings(s);
    }

    void cleanup()
    {
        m_window->closeWindows();
        launch::LaunchSession::instance().reset();
        m_window.reset();
    }

    void refusedUntilACompletePrediveIsStored()
    {
        selectMission(missionFile());
        if (QTest::currentTestFailed())
            return;

        // The reviewer rule still comes first.
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QCOMPARE(m_window->seams.messages->texts, QStringList{QStringLiteral("Mission script not checked.")});

        // No predive checklist at all.
        pressRun(1);
        QCOMPARE(m_window->seams.messages->texts.size(), 2);
        QCOMPARE(m_window->seams.messages->texts.at(1),
                 QStringLiteral("No predive checklist was stored in the last 6 hours. Complete the predive checklist "
                                "(log entry category \"Vehicle Predive\") before running the mission."));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QCOMPARE(launchRecords(), 0);
        QVERIFY(review());
        QVERIFY(review()->cmdRunMission->isEnabled());
        QVERIFY(!review()->lblPrediveCheck->isVisible());
        QVERIFY(!windows().existing<frmAbortMission>());

        // A checklist with the DVL box left open: named in the message.
        submitPredive(QStringLiteral("Ben"), {QStringLiteral("chkDVL")});
        pressRun(2);
        QCOMPARE(m_window->seams.messages->texts.size(), 3);
        const QString open = m_window->seams.messages->texts.at(2);
        QVERIFY2(open.startsWith(QStringLiteral("The latest predive checklist (")), qPrintable(open));
        QVERIFY2(open.contains(QStringLiteral(" UTC, by Ben) has this not ticked: DVL Operational.\n")), qPrintable(open));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QCOMPARE(launchRecords(), 0);

        // A complete one, stored after it: the run goes ahead.
        submitPredive(QStringLiteral("Cai"), {});
        pressRun(3);
        QCOMPARE(m_window->seams.messages->texts.size(), 3);
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(m_window->seams.commands->calls.first().program, settings().runProgram);
        QTRY_COMPARE(launchRecords(), 1);
        QCOMPARE(m_window->probe.sql(QStringLiteral("SELECT \"Reviewer\" FROM \"LaunchRecord\"")).toString(), QStringLiteral("Ada"));
        QVERIFY(windows().existing<frmAbortMission>());
        QTRY_VERIFY(!review());
    }

    void gateOffRunsAsBefore()
    {
        Settings s = settings();
        s.launchRequirePredive = 0;
        setSettings(s);
        selectMission(missionFile());
        if (QTest::currentTestFailed())
            return;
        pressRun(0);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(launchRecords(), 1);
    }

    // While the logbook is being asked the button cannot start a second
    // check or run; the window keeps answering.
    void oneAnswerPerPress()
    {
        submitPredive(QStringLiteral("Ben"), {});
        selectMission(missionFile());
        if (QTest::currentTestFailed())
            return;
        frmMissionDisplay *w = review();
        typeInto(w->cmbChecked, QStringLiteral("Ada"));
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 30000);
        QTest::qWait(300);
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(launchRecords(), 1);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    // A server that holds the predive table locked: the window goes on
    // answering while it waits, says what it waits for, and refuses the run
    // once the statement timeout has passed.
    void lockedTableDoesNotFreezeTheWindow()
    {
        if (!test::postgresRequested())
            QSKIP("a reader of a SQLite file in WAL mode is never held up by a writer");
        Settings s = settings();
        s.statementTimeoutMs = 1500;
        setSettings(s);
        submitPredive(QStringLiteral("Ben"), {});
        selectMission(missionFile());
        if (QTest::currentTestFailed())
            return;
        frmMissionDisplay *w = review();
        typeInto(w->cmbChecked, QStringLiteral("Ada"));
        m_window->probe.sql(QStringLiteral("BEGIN"));
        m_window->probe.sql(QStringLiteral("LOCK TABLE \"Predive\" IN ACCESS EXCLUSIVE MODE"));
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QVERIFY(w->lblPrediveCheck->isVisible());
        QCOMPARE(w->lblPrediveCheck->text(), QStringLiteral("Looking for the predive checklist in the logbook…"));
        QVERIFY(!w->cmdRunMission->isEnabled());
        // The window still takes typing meanwhile.
        QTest::keyClicks(w->txtMissionScript, QStringLiteral("x"));
        QTRY_VERIFY(w->lblEditsNotice->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.messages->texts.size(), 1, 30000);
        m_window->probe.sql(QStringLiteral("ROLLBACK"));
        QCOMPARE(m_window->seams.messages->texts.first(),
                 QStringLiteral("The predive checklist could not be read from the logbook, so the mission was not "
                                "started.\nThe logbook did not answer within 1.5 s."));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QVERIFY(w->cmdRunMission->isEnabled());
        QVERIFY(!w->lblPrediveCheck->isVisible());
        QCOMPARE(launchRecords(), 0);
    }

    // A logbook that cannot be read refuses the run and says so.
    void unreadableLogbookRefuses()
    {
        if (test::postgresRequested())
            QSKIP("a damaged file is a SQLite matter");
        selectMission(missionFile());
        if (QTest::currentTestFailed())
            return;
        // The logbook the program reads from here on is a damaged file.
        const QString damaged = m_window->settings.path(QStringLiteral("damaged.sqlite"));
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("not a logbook\n").repeated(500));
        f.close();
        Settings s = settings();
        s.database = damaged;
        setSettings(s);
        pressRun(0);
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        const QString msg = m_window->seams.messages->texts.first();
        QVERIFY2(msg.startsWith(QStringLiteral("The predive checklist could not be read from the logbook, so the "
                                               "mission was not started.\n")),
                 qPrintable(msg));
        QVERIFY2(msg.contains(QStringLiteral("damaged.sqlite")), qPrintable(msg));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QVERIFY(review());
    }
};

QTEST_MAIN(TestLaunchPredive)
#include "tst_launchpredive.moc"
