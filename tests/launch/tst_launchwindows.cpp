// The review and abort windows driven through the scripted seams.
#include "FieldLogWindows.h"
#include "Launch.h"
#include "LaunchSession.h"
#include "LogbookService.h"
#include "LaunchCommands.h"
#include "RecordCursor.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "WindowManager.h"
#include "frmAbortMission.h"
#include "frmMissionDisplay.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace bravik;

class TestLaunchWindows : public QObject
{
    Q_OBJECT

private:
    std::optional<test::WindowTest> m_window;

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

    // "Select Mission" on the mission log with the dialog answering
    // `answer` (empty: cancelled).  True when a review window is open after.
    bool selectMission(const QString &answer)
    {
        m_window->seams.dialogs->answers.enqueue(answer);
        frmMission *log = windows().show<frmMission>();
        if (!log || !test::waitForLogbook())
            return false;
        QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
        return review() != nullptr;
    }

    frmMissionDisplay *review() { return windows().existing<frmMissionDisplay>(); }
    frmAbortMission *abortWindow() { return windows().existing<frmAbortMission>(); }

    void pressRun(const QString &reviewer)
    {
        QVERIFY(review());
        review()->cmbChecked->setEditText(reviewer);
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        // A run starts once the logbook has answered its launch record.
        QTRY_VERIFY_WITH_TIMEOUT(!review() || review()->cmdRunMission->isEnabled(), 20000);
        test::flushDeletes();
    }

private slots:
    void init()
    {
        m_window.emplace([] { logbook::registerWindows(); launch::registerWindows(); }, QStringList(),
                         test::WindowTest::Unload);
        Settings s = settings();
        s.runArguments = {QStringLiteral("--vehicle"), QStringLiteral("bravik one")};
        s.stopArguments = {QStringLiteral("--now")};
        setSettings(s);
    }

    void cleanup()
    {
        m_window->closeWindows();
        launch::LaunchSession::instance().reset();
        m_window.reset();
    }

    void reviewWindowLayout()
    {
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        frmMissionDisplay *w = review();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Selected Mission"));
        for (const char *name : {"txtMissionName", "txtMissionScript", "cmbChecked", "cmdRunMission", "cmdCancel"})
            QVERIFY2(w->findChild<QWidget *>(QLatin1String(name)), name);
        // The review's own three labels, in this order; the checks' summary
        // and notices stand beside them.
        QStringList labels;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (QStringList{QStringLiteral("lblMissionName"), QStringLiteral("lblMissionScript"), QStringLiteral("lblChecked")}.contains(l->objectName()))
                labels << l->text();
        QCOMPARE(labels, (QStringList{QStringLiteral("Mission file name"), QStringLiteral("Mission Script"),
                                      QStringLiteral("Mission script checked by:")}));
        QCOMPARE(w->cmdRunMission->text(), QStringLiteral("Run Mission"));
        QCOMPARE(w->cmdCancel->text(), QStringLiteral("Cancel"));
        QVERIFY(!w->txtMissionScript->isReadOnly());
        QCOMPARE(w->txtMissionScript->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(w->txtMissionScript->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(w->cmbChecked->isEditable());
        QCOMPARE(w->cmbChecked->currentText(), QString());
        QStringList offered;
        for (int i = 0; i < w->cmbChecked->count(); ++i)
            offered << w->cmbChecked->itemText(i);
        QCOMPARE(offered, settings().reviewers);
        QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
    }

    void reviewFlowStartsTheMission()
    {
        const QString path = mission(QStringLiteral("transit one.cfg"), "behavior setpoint {\r\n}\r\n");
        QVERIFY(selectMission(path));
        QCOMPARE(m_window->seams.dialogs->requests.size(), 1);
        QCOMPARE(m_window->seams.dialogs->requests[0].objectName, QStringLiteral("cdlSelectMission"));
        QCOMPARE(windows().existing<frmMission>()->txtMissionScript->text(), path);
        QCOMPARE(review()->txtMissionName->text(), path);
        QCOMPARE(review()->txtMissionScript->toPlainText(), QStringLiteral("behavior setpoint {\n}\n"));
        QVERIFY(!abortWindow());

        review()->cmbChecked->setCurrentIndex(0);
        QCOMPARE(review()->cmbChecked->currentText(), settings().reviewers.first());
        QTest::mouseClick(review()->cmdRunMission, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.commands->calls.size(), 1, 20000);
        test::flushDeletes();

        QCOMPARE(m_window->seams.commands->calls[0].program, settings().runProgram);
        QCOMPARE(m_window->seams.commands->calls[0].arguments,
                 (QStringList{QStringLiteral("--vehicle"), QStringLiteral("bravik one"), path}));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QVERIFY(!review());
        QVERIFY(abortWindow() && abortWindow()->isVisible());
    }

    void emptyReviewerRefusedEveryTime()
    {
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        for (int i = 1; i <= 4; ++i) {
            pressRun(QString());
            QCOMPARE(m_window->seams.messages->texts.size(), i);
            QCOMPARE(m_window->seams.messages->texts.last(), QStringLiteral("Mission script not checked."));
            QVERIFY(m_window->seams.commands->calls.isEmpty());
            QVERIFY(review());
            QVERIFY(!abortWindow());
        }
    }

    void anyReviewerTextPasses_data()
    {
        QTest::addColumn<QString>("reviewer");
        QTest::newRow("one blank") << QStringLiteral(" ");
        QTest::newRow("name outside the roster") << QStringLiteral("Zed the visitor");
        QTest::newRow("roster name in other case") << settings().reviewers.first().toLower();
    }
    void anyReviewerTextPasses()
    {
        QFETCH(QString, reviewer);
        QVERIFY(!settings().reviewers.contains(reviewer));
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        pressRun(reviewer);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QVERIFY(abortWindow());
    }

    void handEditedNameReachesTheCommand()
    {
        QVERIFY(selectMission(mission(QStringLiteral("shown.cfg"), "x\r\n")));
        const QString edited = QStringLiteral("/elsewhere/other mission.cfg");
        review()->txtMissionName->selectAll();
        QTest::keyClicks(review()->txtMissionName, edited);
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(m_window->seams.commands->calls[0].arguments.last(), edited);
    }

    void clearedNameStartsNothing()
    {
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        review()->txtMissionName->clear();
        pressRun(QStringLiteral("Ada"));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(m_window->seams.messages->texts[0].contains(QStringLiteral("No mission file name")));
        QVERIFY(review());
        QVERIFY(!abortWindow());
    }

    void finalLineEndMakesNoDifference()
    {
        QStringList shown;
        for (const QByteArray &bytes : {QByteArray("one\r\ntwo\r\nthree\r\n"), QByteArray("one\r\ntwo\r\nthree")}) {
            QVERIFY(selectMission(mission(QStringLiteral("three.cfg"), bytes)));
            shown << review()->txtMissionScript->toPlainText();
            QTest::mouseClick(review()->cmdCancel, Qt::LeftButton);
            test::flushDeletes();
            QVERIFY(!review());
        }
        QCOMPARE(shown[0], QStringLiteral("one\ntwo\nthree\n"));
        QCOMPARE(shown[1], shown[0]);
        QVERIFY(m_window->seams.commands->calls.isEmpty());
    }

    void selectWhileOpenOnlyBringsItForward_data()
    {
        QTest::addColumn<bool>("secondReadable");
        QTest::newRow("another readable file") << true;
        QTest::newRow("dialog cancelled") << false;
    }
    void selectWhileOpenOnlyBringsItForward()
    {
        QFETCH(bool, secondReadable);
        const QString first = mission(QStringLiteral("first.cfg"), "first\r\n");
        QVERIFY(selectMission(first));
        frmMissionDisplay *w = review();
        w->txtMissionScript->appendPlainText(QStringLiteral("hand note"));
        const QString before = w->txtMissionScript->toPlainText();

        const QString second = secondReadable ? mission(QStringLiteral("second.cfg"), "second\r\n") : QString();
        QVERIFY(selectMission(second));
        test::flushDeletes();
        QCOMPARE(windows().existing<frmMission>()->txtMissionScript->text(), secondReadable ? second : first);
        QCOMPARE(review(), w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->txtMissionName->text(), first);
        QCOMPARE(w->txtMissionScript->toPlainText(), before);
        QVERIFY(m_window->seams.messages->texts.isEmpty());

        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QCOMPARE(m_window->seams.commands->calls[0].arguments.last(), first);
    }

    void cancelAfterAChoiceReviewsItAgain()
    {
        // Nothing chosen yet: a cancel writes nothing into the row.
        frmMission *log = windows().show<frmMission>();
        QVERIFY(log && log->moveLast() && log->beginNewRow());
        QVERIFY(!selectMission(QString()));
        QCOMPARE(log->txtMissionScript->text(), QString());
        QVERIFY(!log->cursor()->isChanged());

        const QString path = mission(QStringLiteral("chosen.cfg"), "setpoint\r\n");
        QVERIFY(selectMission(path));
        QTest::mouseClick(review()->cmdCancel, Qt::LeftButton);
        test::flushDeletes();
        QVERIFY(!review());
        log->txtMissionScript->selectAll();
        QTest::keyClicks(log->txtMissionScript, QStringLiteral("typed over"));

        // Cancelled after that choice: the dialog still holds it, so it goes
        // into the row again and the review shows that file.
        m_window->seams.messages->texts.clear();
        QVERIFY(selectMission(QString()));
        QCOMPARE(log->txtMissionScript->text(), path);
        QCOMPARE(review()->txtMissionName->text(), path);
        QCOMPARE(review()->txtMissionScript->toPlainText(), QStringLiteral("setpoint\n"));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QCOMPARE(m_window->seams.dialogs->requests.size(), 3);
    }

    void unshowableFileOpensNoReview_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("dialog cancelled, nothing chosen yet") << QString() << QStringLiteral("No mission file has been chosen");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("does not exist");
        QTest::newRow("binary") << QStringLiteral("binary") << QStringLiteral("binary");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("folder");
    }
    void unshowableFileOpensNoReview()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QString path;
        if (kind == QLatin1String("missing"))
            path = QDir(settings().missionsFolder).filePath(QStringLiteral("gone.cfg"));
        else if (kind == QLatin1String("binary"))
            path = mission(QStringLiteral("bin.cfg"), QByteArray("\x7f" "ELF\0\0", 6));
        else if (kind == QLatin1String("folder"))
            path = m_window->settings.dir.path();
        QVERIFY(!selectMission(path));
        test::flushDeletes();
        QVERIFY(!review());
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY2(m_window->seams.messages->texts[0].contains(reason), qPrintable(m_window->seams.messages->texts[0]));
        QVERIFY(m_window->seams.messages->texts[0].contains(QDir::toNativeSeparators(path)));

        // A good file afterwards opens the review normally.
        QVERIFY(selectMission(mission(QStringLiteral("good.cfg"), "ok\r\n")));
        QCOMPARE(review()->txtMissionScript->toPlainText(), QStringLiteral("ok\n"));
    }

    void reviewShownByNameWithoutAFileGoesAway()
    {
        // The path comes from the last "Select Mission"; a file removed
        // since then is reported and the empty window does not linger.
        const QString path = mission(QStringLiteral("a.cfg"), "x\r\n");
        QVERIFY(selectMission(path));
        QTest::mouseClick(review()->cmdCancel, Qt::LeftButton);
        test::flushDeletes();
        QVERIFY(QFile::remove(path));
        windows().show(QStringLiteral("frmMissionDisplay"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(m_window->seams.messages->texts[0].contains(QStringLiteral("does not exist")));
        QTRY_VERIFY(!review());
    }

    void cancelUnloadsAndStartsNothing()
    {
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        review()->cmbChecked->setEditText(QStringLiteral("Ada"));
        QTest::mouseClick(review()->cmdCancel, Qt::LeftButton);
        test::flushDeletes();
        QVERIFY(!review());
        QVERIFY(!abortWindow());
        QVERIFY(m_window->seams.commands->calls.isEmpty());
        // Loaded again, the reviewer box is empty as designed.
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        QCOMPARE(review()->cmbChecked->currentText(), QString());
    }

    void failedRunStartKeepsTheReview()
    {
        m_window->seams.commands->failWith = QStringLiteral("the file does not exist");
        const QString path = mission(QStringLiteral("a.cfg"), "x\r\n");
        QVERIFY(selectMission(path));
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        const QString msg = m_window->seams.messages->texts[0];
        QVERIFY2(msg.contains(QDir::toNativeSeparators(settings().runProgram)), qPrintable(msg));
        QVERIFY2(msg.contains(QStringLiteral("the file does not exist")), qPrintable(msg));
        QVERIFY(review());
        QVERIFY(!abortWindow());

        // Mended, the same review runs at once.
        m_window->seams.commands->failWith.clear();
        pressRun(QStringLiteral("Ada"));
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QVERIFY(!review());
        QVERIFY(abortWindow());
    }

    void noRunProgramConfigured()
    {
        Settings s = settings();
        s.runProgram.clear();
        setSettings(s);
        const launch::StartOutcome outcome = launch::startRunCommand(QStringLiteral("/m.cfg"));
        QVERIFY(!outcome.started);
        QVERIFY(outcome.message.contains(QStringLiteral("mission run command")));
        QVERIFY(m_window->seams.commands->calls.isEmpty());
    }

    void abortStartsTheStopCommandOnceAndUnloads()
    {
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        pressRun(QStringLiteral("Ada"));
        QVERIFY(abortWindow());
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        test::flushDeletes();
        QCOMPARE(m_window->seams.commands->calls.size(), 2);
        QCOMPARE(m_window->seams.commands->calls[1].program, settings().stopProgram);
        QCOMPARE(m_window->seams.commands->calls[1].arguments, QStringList{QStringLiteral("--now")});
        QVERIFY(!abortWindow());
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    void abortWindowIsSingle()
    {
        QVERIFY(selectMission(mission(QStringLiteral("a.cfg"), "x\r\n")));
        pressRun(QStringLiteral("Ada"));
        frmAbortMission *first = abortWindow();
        QVERIFY(selectMission(mission(QStringLiteral("b.cfg"), "y\r\n")));
        pressRun(QStringLiteral("Ben"));
        QCOMPARE(m_window->seams.commands->calls.size(), 2);
        QCOMPARE(abortWindow(), first);
        QCOMPARE(windows().loadedWindows(), (QStringList{QStringLiteral("frmAbortMission"), QStringLiteral("frmMission")}));
    }

    void abortCloseBoxStartsNothing()
    {
        windows().show(QStringLiteral("frmAbortMission"));
        QVERIFY(abortWindow()->close());
        test::flushDeletes();
        QVERIFY(!abortWindow());
        QVERIFY(m_window->seams.commands->calls.isEmpty());
    }

    void failedStopStartKeepsTheAbortWindow()
    {
        windows().show(QStringLiteral("frmAbortMission"));
        m_window->seams.commands->failWith = QStringLiteral("Permission denied");
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        test::flushDeletes();
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(m_window->seams.messages->texts[0].contains(QDir::toNativeSeparators(settings().stopProgram)));
        QVERIFY(m_window->seams.messages->texts[0].contains(QStringLiteral("Permission denied")));
        QVERIFY(abortWindow());

        m_window->seams.commands->failWith.clear();
        QTest::mouseClick(abortWindow()->cmdAbortMission, Qt::LeftButton);
        test::flushDeletes();
        QCOMPARE(m_window->seams.commands->calls.size(), 1);
        QVERIFY(!abortWindow());
    }

    void abortWindowLooks()
    {
        frmAbortMission *w = windows().show<frmAbortMission>();
        QCOMPARE(w->windowTitle(), QStringLiteral("Slay supervisor"));
        QCOMPARE(w->cmdAbortMission->text(), QStringLiteral("Abort Mission"));
        QVERIFY(w->cmdAbortMission->font().bold());
        QCOMPARE(w->cmdAbortMission->font().pointSize(), 12);
        QCOMPARE(w->findChildren<QPushButton *>().size(), 1);
        // The red must really reach the screen, not only the palette.
        const QImage shot = w->grab().toImage();
        QCOMPARE(QColor(shot.pixel(2, 2)), QColor(0xFF, 0x00, 0x00));
        QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() - 3)), QColor(0xFF, 0x00, 0x00));
    }
};

QTEST_MAIN(TestLaunchWindows)
#include "tst_launchwindows.moc"
