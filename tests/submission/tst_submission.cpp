// "Submit Log Entry": the dispatch on the category text and the stamped new
// row, on a real temporary logbook.

#include "LogbookProbe.h"
#include "RecordCursor.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "Submission.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

using namespace bravik;
using bravik::test::LogbookProbe;

class TestSubmission : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempSettings> m_settings;
    std::unique_ptr<test::Seams> m_seams;
    std::unique_ptr<LogbookProbe> m_probe;

    static QString text(const QString &window, const char *box)
    {
        QWidget *w = windows().existing(window);
        auto *e = w ? w->findChild<QLineEdit *>(QString::fromLatin1(box)) : nullptr;
        return e ? e->text() : QStringLiteral("<no box>");
    }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<test::TempSettings>();
        m_seams = std::make_unique<test::Seams>();
        m_probe = std::make_unique<LogbookProbe>();
        windows().reset();
        logbook::registerWindows();
        test::registerStub("frmLogMain");
        test::registerStub("frmInvalidEntry");
        test::registerStub("frmSelectTemplate");
    }

    void cleanup()
    {
        windows().reset();
        test::flushDeletes();
        m_probe.reset();
        m_seams.reset();
        m_settings.reset();
    }

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
        submitLogEntry(category, "07/03/2024 14:05:09", "Ada");
        const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
        QCOMPARE(windows().loadedWindows(), QStringList{window});
        QVERIFY(windows().existing(window)->isVisible());
        QCOMPARE(text(window, "txtTime"), QStringLiteral("07/03/2024 14:05:09"));
        QCOMPARE(text(window, "txtSubmittedBy"), QStringLiteral("Ada"));

        // Stored on leaving with nothing else typed, in its own table only.
        windows().unload(window);
        test::flushDeletes();
        QCOMPARE(m_probe->count(table), 1);
        QCOMPARE(m_probe->totalRows(), 1);
        QCOMPARE(m_probe->field(table, "Date/Time").toString(), QStringLiteral("07/03/2024 14:05:09"));
        QCOMPARE(m_probe->field(table, "SubmittedBy").toString(), QStringLiteral("Ada"));
        QVERIFY(m_seams->messages->texts.isEmpty());
        // The hidden stamp: the moment of the submission in UTC, whatever
        // the clock box said, and this computer.
        const QString stamped = m_probe->field(table, "StampedAtUtc").toString();
        QVERIFY2(stamped.endsWith(QLatin1Char('Z')), qPrintable(stamped));
        const QDateTime at = QDateTime::fromString(stamped, Qt::ISODate);
        QVERIFY2(at >= before && at <= after, qPrintable(stamped));
        QCOMPARE(m_probe->field(table, "Workstation").toString(), QSysInfo::machineHostName());
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
        submitLogEntry(category, "07/03/2024 14:05:09", "Ada");
        QCOMPARE(windows().loadedWindows(), QStringList{shown});
        QVERIFY(windows().existing(shown)->isVisible());
        windows().unloadAll();
        test::flushDeletes();
        QCOMPARE(m_probe->totalRows(), 0);
    }

    void buildMissionWithoutChooserDoesNothing()
    {
        windows().reset();
        logbook::registerWindows();
        test::registerStub("frmInvalidEntry");
        submitLogEntry("Build Mission", "t", "Ada");
        QVERIFY(windows().loadedWindows().isEmpty());
    }

    void twoPressesMakeTwoRows()
    {
        submitLogEntry("Battery Charge", "t1", "Ada");
        QTest::keyClicks(windows().existing("frmBatteryCharge")->findChild<QLineEdit *>("txtBat1SN"), "B-17");
        submitLogEntry("Battery Charge", "t2", "Ben");
        QCOMPARE(text("frmBatteryCharge", "txtTime"), QStringLiteral("t2"));
        QCOMPARE(text("frmBatteryCharge", "txtBat1SN"), QString());
        QCOMPARE(m_probe->count("BatteryCharge"), 1);   // the first, stored by the second press
        windows().unload("frmBatteryCharge");
        test::flushDeletes();
        QCOMPARE(m_probe->count("BatteryCharge"), 2);
        QCOMPARE(m_probe->sql("SELECT group_concat(\"Date/Time\" || \"SubmittedBy\" || coalesce(\"Batt1SN\", '-'), ',') "
                              "FROM \"BatteryCharge\"").toString(),
                 QStringLiteral("t1AdaB-17,t2Ben-"));
    }

    void editedRowStoredBeforeNewRow()
    {
        submitLogEntry("Miscellaneous", "t1", "Ada");
        windows().unload("frmMisc");
        test::flushDeletes();

        // Reopened on the stored row and edited there, then submitted again.
        QWidget *w = windows().show("frmMisc");
        QCOMPARE(text("frmMisc", "txtTime"), QStringLiteral("t1"));
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "amended");
        submitLogEntry("Miscellaneous", "t2", "Ben");
        QCOMPARE(m_probe->field("Miscellaneous", "Note").toString(), QStringLiteral("amended"));
        QCOMPARE(w->findChild<QPlainTextEdit *>("txtNote")->toPlainText(), QString());
        windows().unload("frmMisc");
        test::flushDeletes();
        QCOMPARE(m_probe->count("Miscellaneous"), 2);
        QCOMPARE(m_probe->field("Miscellaneous", "Date/Time", 1).toString(), QStringLiteral("t2"));
    }

    void emptyStampStillMakesEntry()
    {
        // Within the clock's first second and with no submitter chosen.
        submitLogEntry("Task List", "", "");
        windows().unload("frmTaskList");
        test::flushDeletes();
        QCOMPARE(m_probe->count("TaskList"), 1);
        QCOMPARE(m_probe->field("TaskList", "Date/Time").toString(), QString());
        QCOMPARE(m_probe->field("TaskList", "SubmittedBy").toString(), QString());
    }

    void severalWindowsSideBySide()
    {
        submitLogEntry("Weather Observation", "t1", "Ada");
        submitLogEntry("Run Mission", "t2", "Ben");
        QCOMPARE(windows().loadedWindows(), (QStringList{"frmMission", "frmWeatherObservation"}));
        windows().unloadAll();
        test::flushDeletes();
        QCOMPARE(m_probe->count("WeatherObservation"), 1);
        QCOMPARE(m_probe->count("MissionData"), 1);
    }

    void unreachableLogbook()
    {
        QFile blocker(m_settings->path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Settings s = settings();
        s.database = m_settings->path("blocker/logbook.sqlite");
        setSettings(s);

        submitLogEntry("Miscellaneous", "t1", "Ada");
        test::flushDeletes();
        QCOMPARE(m_seams->messages->texts.size(), 1);
        QVERIFY(windows().loadedWindows().isEmpty());

        // Once the logbook can be reached, the next press works.
        s.database = m_settings->path("db/logbook.sqlite");
        setSettings(s);
        submitLogEntry("Miscellaneous", "t2", "Ada");
        QCOMPARE(text("frmMisc", "txtTime"), QStringLiteral("t2"));
    }
};

QTEST_MAIN(TestSubmission)
#include "tst_submission.moc"
