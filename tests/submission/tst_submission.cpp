// "Submit Log Entry": the dispatch on the category text and the stamped new
// row, on a real temporary logbook.

#include "RecordCursor.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "Submission.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace bravik;
using bravik::test::LogbookProbe;

class TestSubmission : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    // Submits as the button does, and waits for the window to answer.
    static void submit(const QString &category, const QString &clock, const QString &who)
    {
        submitLogEntry(category, clock, who);
        QVERIFY(test::waitForLogbook());
    }

    // Closes the window and waits until it is gone (its row stored).
    static void unloaded(const QString &window)
    {
        windows().unload(window);
        QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(window), 20000);
        test::flushDeletes();
    }

    static QString text(const QString &window, const char *box)
    {
        QWidget *w = windows().existing(window);
        auto *e = w ? w->findChild<QLineEdit *>(QString::fromLatin1(box)) : nullptr;
        return e ? e->text() : QStringLiteral("<no box>");
    }

private Q_SLOTS:
    void init()
    {
        m_window.emplace(logbook::registerWindows,
                         QStringList{QStringLiteral("frmLogMain"), QStringLiteral("frmInvalidEntry"),
                                     QStringLiteral("frmSelectTemplate")});
    }

    void cleanup() { m_window.reset(); }

    void recordCategories_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("table");
        QTest::newRow("maintenance") << "Vehicle Maintenance" << "frmMaintenance" << "VehicleMaintenance";
        QTest::newRow("weather") << "Weather Observation" << "frmWeatherObservation" << "WeatherObservation";
        QTest::newRow("mission") << "Run Mission" << "frmMission" << "MissionData";
        QTest::newRow("predive") << "Vehicle Predive" << "frmPredive" << "Predive";
        QTest::newRow("battery") << "Battery Charge" << "frmBatteryCharge" << "BatteryCharge";
        QTest::newRow("tasks") << "Task List" << "frmTaskList" << "TaskList";
        QTest::newRow("purchases") << "Purchases" << "frmPurchases" << "Purchases";
        QTest::newRow("misc") << "Miscellaneous" << "frmMisc" << "Miscellaneous";
    }

    void recordCategories()
    {
        QFETCH(QString, category);
        QFETCH(QString, window);
        QFETCH(QString, table);

        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        submit(category, "07/03/2024 14:05:09", "Ada");
        const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
        QCOMPARE(windows().loadedWindows(), QStringList{window});
        QVERIFY(windows().existing(window)->isVisible());
        QCOMPARE(text(window, "txtTime"), QStringLiteral("07/03/2024 14:05:09"));
        QCOMPARE(text(window, "txtSubmittedBy"), QStringLiteral("Ada"));

        // Stored on leaving with nothing else typed, in its own table only.
        unloaded(window);
        QCOMPARE(m_window->probe.count(table), 1);
        QCOMPARE(m_window->probe.totalRows(), 1);
        QCOMPARE(m_window->probe.field(table, "Date/Time").toString(), QStringLiteral("07/03/2024 14:05:09"));
        QCOMPARE(m_window->probe.field(table, "SubmittedBy").toString(), QStringLiteral("Ada"));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        // The hidden stamp: the moment of the submission in UTC, whatever
        // the clock box said, and this computer.
        const QString stamped = m_window->probe.field(table, "StampedAtUtc").toString();
        QVERIFY2(stamped.endsWith(QLatin1Char('Z')), qPrintable(stamped));
        const QDateTime at = QDateTime::fromString(stamped, Qt::ISODate);
        QVERIFY2(at >= before && at <= after, qPrintable(stamped));
        QCOMPARE(m_window->probe.field(table, "Workstation").toString(), QSysInfo::machineHostName());
    }

    void otherTexts_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("shown");
        QTest::newRow("prompt") << "Log Entry Category" << "frmInvalidEntry";
        QTest::newRow("empty") << "" << "frmInvalidEntry";
        QTest::newRow("lower case") << "vehicle maintenance" << "frmInvalidEntry";
        QTest::newRow("trailing blank") << "Purchases " << "frmInvalidEntry";
        QTest::newRow("leading blank") << " Miscellaneous" << "frmInvalidEntry";
        QTest::newRow("build mission") << "Build Mission" << "frmSelectTemplate";
    }

    void otherTexts()
    {
        QFETCH(QString, category);
        QFETCH(QString, shown);
        submit(category, "07/03/2024 14:05:09", "Ada");
        QCOMPARE(windows().loadedWindows(), QStringList{shown});
        QVERIFY(windows().existing(shown)->isVisible());
        windows().unloadAll();
        QTRY_VERIFY_WITH_TIMEOUT(windows().loadedWindows().isEmpty(), 20000);
        test::flushDeletes();
        QCOMPARE(m_window->probe.totalRows(), 0);
    }

    void buildMissionWithoutChooserDoesNothing()
    {
        windows().reset();
        logbook::registerWindows();
        test::registerStub("frmInvalidEntry");
        submit("Build Mission", "t", "Ada");
        QVERIFY(windows().loadedWindows().isEmpty());
    }

    void twoPressesMakeTwoRows()
    {
        submit("Battery Charge", "t1", "Ada");
        QTest::keyClicks(windows().existing("frmBatteryCharge")->findChild<QLineEdit *>("txtBat1SN"), "B-17");
        submit("Battery Charge", "t2", "Ben");
        QCOMPARE(text("frmBatteryCharge", "txtTime"), QStringLiteral("t2"));
        QCOMPARE(text("frmBatteryCharge", "txtBat1SN"), QString());
        QCOMPARE(m_window->probe.count("BatteryCharge"), 1);   // the first, stored by the second press
        unloaded("frmBatteryCharge");
        QCOMPARE(m_window->probe.count("BatteryCharge"), 2);
        QCOMPARE(m_window->probe.sql("SELECT group_concat(\"Date/Time\" || \"SubmittedBy\" || coalesce(\"Batt1SN\", '-'), ',') "
                              "FROM \"BatteryCharge\"").toString(),
                 QStringLiteral("t1AdaB-17,t2Ben-"));
    }

    void editedRowStoredBeforeNewRow()
    {
        submit("Miscellaneous", "t1", "Ada");
        unloaded("frmMisc");

        // Reopened on the stored row and edited there, then submitted again.
        QWidget *w = windows().show("frmMisc");
        QVERIFY(test::waitForLogbook());
        QCOMPARE(text("frmMisc", "txtTime"), QStringLiteral("t1"));
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "amended");
        submit("Miscellaneous", "t2", "Ben");
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("amended"));
        QCOMPARE(w->findChild<QPlainTextEdit *>("txtNote")->toPlainText(), QString());
        unloaded("frmMisc");
        QCOMPARE(m_window->probe.count("Miscellaneous"), 2);
        QCOMPARE(m_window->probe.field("Miscellaneous", "Date/Time", 1).toString(), QStringLiteral("t2"));
    }

    void emptyStampStillMakesEntry()
    {
        // Within the clock's first second and with no submitter chosen.
        submit("Task List", "", "");
        unloaded("frmTaskList");
        QCOMPARE(m_window->probe.count("TaskList"), 1);
        QCOMPARE(m_window->probe.field("TaskList", "Date/Time").toString(), QString());
        QCOMPARE(m_window->probe.field("TaskList", "SubmittedBy").toString(), QString());
    }

    void severalWindowsSideBySide()
    {
        submit("Weather Observation", "t1", "Ada");
        submit("Run Mission", "t2", "Ben");
        QCOMPARE(windows().loadedWindows(), (QStringList{"frmMission", "frmWeatherObservation"}));
        windows().unloadAll();
        QTRY_VERIFY_WITH_TIMEOUT(windows().loadedWindows().isEmpty(), 20000);
        test::flushDeletes();
        QCOMPARE(m_window->probe.count("WeatherObservation"), 1);
        QCOMPARE(m_window->probe.count("MissionData"), 1);
    }

    void unreachableLogbook()
    {
        QFile blocker(m_window->settings.path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Settings s = settings();
        s.database = m_window->settings.path("blocker/logbook.sqlite");
        setSettings(s);

        submit("Miscellaneous", "t1", "Ada");
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 1);
        QTRY_VERIFY(windows().loadedWindows().isEmpty());
        test::flushDeletes();
        QVERIFY(windows().loadedWindows().isEmpty());

        // Once the logbook can be reached, the next press works.
        s.database = m_window->settings.path("db/logbook.sqlite");
        setSettings(s);
        submit("Miscellaneous", "t2", "Ada");
        QCOMPARE(text("frmMisc", "txtTime"), QStringLiteral("t2"));
    }
};

QTEST_MAIN(TestSubmission)
#include "tst_submission.moc"
