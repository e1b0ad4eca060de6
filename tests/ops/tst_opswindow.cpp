// The operations window as a crew lead uses it, by keys and clicks: opened
// from the main window, a day typed in, the three lists (under Qt's model
// tester), an entry opened by Enter or a double-click, voided entries
// hidden, the packs' chart following the selection, the report, the print
// and the event log; and a year of entries read while the logbook is held
// up (another connection holding the file's write lock through the
// upgrade, or the server frozen behind a proxy) never stalls the window.
// The chart window beside it: opened by "Chart", a point opened from the
// chart (Enter, a double-click) and from its list (Enter), and a day read
// from a held-up logbook.
#include "App.h"
#include "ChartView.h"
#include "DayAtSea.h"
#include "FreezableProxy.h"
#include "LogbookService.h"
#include "PdfText.h"
#include "PackChart.h"
#include "RecordWindow.h"
#include "ShellWindows.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "frmChart.h"
#include "frmOperations.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace bravik;
using namespace bravik::ops;

namespace {

// The longest time the window's thread went without a timer due every 10 ms.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_longest = qMax(m_longest, m_clock.restart()); });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMs() const { return qMax(m_longest, m_clock.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// As the other freeze tests: far below the engine's waits, above a busy machine's delays.
constexpr qint64 kStallLimitMs = 300;

} // namespace

class TestOpsWindow : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;
    test::DayAtSea m_day;

    frmOperations *openDay(const QString &day)
    {
        auto *w = windows().show<frmOperations>();
        if (!w || !QTest::qWaitFor([w] { return !w->isBusy(); }, 20000))
            return nullptr;
        w->txtFrom->setFocus();
        w->txtFrom->selectAll();
        QTest::keyClicks(w->txtFrom, day);
        QTest::keyClick(w->txtFrom, Qt::Key_Return);
        return QTest::qWaitFor([w] { return !w->isBusy(); }, 20000) ? w : nullptr;
    }

    // The row of the timeline whose summary holds `text`, reached with the Down key.
    static bool goToLine(frmOperations *w, const QString &text)
    {
        w->grdTimeline->setFocus();
        QTest::keyClick(w->grdTimeline, Qt::Key_Home);
        for (int i = 0; i < w->timelineModel()->rowCount(); ++i) {
            if (w->grdTimeline->currentIndex().isValid()
                && w->timelineModel()->lineAt(w->grdTimeline->currentIndex().row()).summary.contains(text))
                return true;
            QTest::keyClick(w->grdTimeline, Qt::Key_Down);
        }
        return false;
    }

    // Holds the logbook up: the server frozen behind the proxy, or an
    // older logbook file whose first opening adds the stamp's index, which
    // waits for the write lock another program holds.
    bool holdUp(test::FreezableProxy &proxy)
    {
        if (test::LogbookProbe::isPostgres()) {
            QString error;
            if (!proxy.start(QStringLiteral("127.0.0.1:") + qEnvironmentVariable("PGPORT", QStringLiteral("5432")), &error))
                return false;
            Settings s = settings();
            s.database += QStringLiteral(" host=127.0.0.1 port=%1 connect_timeout=10").arg(proxy.port());
            setSettings(s);
            proxy.freeze();
            return true;
        }
        m_window->probe.sql(QStringLiteral("DROP INDEX \"MiscellaneousStampedAtUtc\""));
        m_window->probe.sql(QStringLiteral("PRAGMA user_version = 4"));
        m_window->probe.sql(QStringLiteral("BEGIN IMMEDIATE"));
        return true;
    }
    void letGo(test::FreezableProxy &proxy)
    {
        if (test::LogbookProbe::isPostgres())
            proxy.thaw();
        else
            m_window->probe.sql(QStringLiteral("COMMIT"));
    }

    // The day at sea and one more observation, away from the others.
    void fillDay()
    {
        m_day.fill([this](const QString &sql, const QVariantList &bound) { return m_window->probe.sql(sql, bound); },
                   QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
        m_window->probe.sql(QStringLiteral("INSERT INTO \"WeatherObservation\" (\"Date/Time\", \"StampedAtUtc\", \"Latitude Int\", "
                                    "\"Latitude Minutes\", \"HemisphereNS\", \"Longitude Int\", \"Longitude Minutes\", "
                                    "\"HemisphereEW\", \"Notes\") VALUES (?, ?, '36', '41.5', 'N', '121', '58.0', 'W', 'fog bank')"),
                     {m_day.clock(QStringLiteral("2026-12-08T11:30:00")), m_day.stamp(QStringLiteral("2026-12-08T11:30:00"))});
    }

    // The chart window on the day typed into its box (not waiting for it
    // when the logbook is held up).
    static frmChart *chartOf(const QString &day, bool wait = true)
    {
        auto *w = windows().show<frmChart>();
        w->txtDay->setFocus();
        w->txtDay->selectAll();
        QTest::keyClicks(w->txtDay, day);
        QTest::keyClick(w->txtDay, Qt::Key_Return);
        return !wait || QTest::qWaitFor([w] { return !w->isBusy(); }, 20000) ? w : nullptr;
    }

    // The record window shows these notes (in its box of that name).
    static bool showsNotes(const QString &window, const QString &notes, const char *box = "txtNotes")
    {
        return QTest::qWaitFor(
            [&] {
                QWidget *w = windows().existing(window);
                auto *edit = w ? w->findChild<QPlainTextEdit *>(QLatin1String(box)) : nullptr;
                return edit && w->isVisible() && edit->toPlainText() == notes;
            },
            20000);
    }

    static void clickTab(frmOperations *w, int index)
    {
        QTabBar *bar = w->tabViews->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_window.emplace(registerAllWindows);
        QVERIFY(logbook::Database::open({settings().databaseDriver, settings().database}, nullptr));
    }

    void cleanup() { m_window.reset(); }

    void opensFromTheMainWindow()
    {
        auto *main = windows().show<frmLogMain>();
        QVERIFY(QTest::qWaitForWindowActive(main));
        main->cmbSubmittedBy->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main->cmdOperations));
        QTest::keyClick(main->cmdOperations, Qt::Key_Space);
        QTRY_VERIFY(windows().existing<frmOperations>() && windows().existing<frmOperations>()->isVisible());
        // "Chart" beside it, the same size, next in the tab order.
        QVERIFY(main->cmdChart->size() == main->cmdOperations->size() && main->cmdChart->y() == main->cmdOperations->y()
                && main->cmdChart->x() > main->cmdOperations->geometry().right()
                && main->rect().contains(main->cmdChart->geometry()));
        main->activateWindow();
        main->cmdOperations->setFocus(Qt::TabFocusReason);
        QTest::keyClick(main->cmdOperations, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(main->cmdChart));
        QTest::keyClick(main->cmdChart, Qt::Key_Space);
        QTRY_VERIFY(windows().existing<frmChart>() && windows().existing<frmChart>()->isVisible());
    }

    void chartPointsOpenTheirEntries()
    {
        fillDay();
        auto *w = chartOf(QStringLiteral("2026-12-08"));
        QVERIFY(w);
        // The weather and mission entries, the 11:30 observation and both launches.
        QCOMPARE(w->lstPoints->count(), 5);
        QVERIFY2(w->lblStatus->text().contains(QStringLiteral("5 positions, 2 launch tracks")), qPrintable(w->lblStatus->text()));
        // Page Down on the chart picks the first point, Enter opens it.
        w->picChart->setFocus();
        QTest::keyClick(w->picChart, Qt::Key_PageDown);
        QCOMPARE(w->lstPoints->currentRow(), 0);
        QTest::keyClick(w->picChart, Qt::Key_Return);
        QVERIFY(showsNotes(QStringLiteral("frmWeatherObservation"), QStringLiteral("calm morning")));
        // A click on the 11:30 point picks it, a double-click opens it.
        const QPoint fog = w->picChart->markPoint(3)->toPoint();
        QTest::mouseClick(w->picChart, Qt::LeftButton, {}, fog);
        QCOMPARE(w->lstPoints->currentRow(), 3);
        QTest::mouseDClick(w->picChart, Qt::LeftButton, {}, fog);
        QVERIFY(showsNotes(QStringLiteral("frmWeatherObservation"), QStringLiteral("fog bank")));
        // Enter on the list's mission row opens the mission log entry.
        QTest::keyClick(w->lstPoints, Qt::Key_Home);
        QTest::keyClick(w->lstPoints, Qt::Key_Down);
        QCOMPARE(w->picChart->currentMark(), 1);
        QTest::keyClick(w->lstPoints, Qt::Key_Return);
        QVERIFY(showsNotes(QStringLiteral("frmMission"), QStringLiteral("bay survey"), "Text1"));
        QTest::mouseClick(w->cmdNextDay, Qt::LeftButton);
        QTRY_VERIFY(!w->isBusy() && w->txtDay->text() == QStringLiteral("2026-12-09") && w->lstPoints->count() == 0);
    }

    // The chart keeps answering while its day waits for a held-up logbook.
    void chartNeverStallsOnAHeldUpLogbook()
    {
        fillDay();
        test::FreezableProxy proxy;
        QVERIFY(holdUp(proxy));
        StallMeter stalls;
        auto *w = chartOf(QStringLiteral("2026-12-08"), false);
        QTRY_VERIFY_WITH_TIMEOUT(w->lblStatus->text().contains(QStringLiteral("Waiting for the logbook")), 3000);
        const double before = w->picChart->metresPerPixel();
        QTest::keyClick(w->picChart, Qt::Key_Plus);
        QVERIFY(w->picChart->metresPerPixel() < before);
        QTest::qWait(1500);
        QVERIFY(w->isBusy() && w->cmdStop->isEnabled());
        letGo(proxy);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isBusy(), 60000);
        QCOMPARE(w->lstPoints->count(), 5);
        QVERIFY2(stalls.longestMs() < kStallLimitMs, qPrintable(QString::number(stalls.longestMs())));
    }

    void dayTypedListsAndOpening()
    {
        m_day.fill([this](const QString &sql, const QVariantList &bound) { return m_window->probe.sql(sql, bound); },
                   QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
        auto *w = windows().show<frmOperations>();
        QAbstractItemModelTester timeline(w->timelineModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester attention(w->attentionModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester packs(w->packsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(openDay(QStringLiteral("2026-12-08")));
        // The day's entries, the void one among them, and its two launches.
        QCOMPARE(w->timelineModel()->rowCount(), m_day.dayTags.size() + 1 + 2);
        QVERIFY2(w->lblStatus->text().contains(QStringLiteral("2 launches")), qPrintable(w->lblStatus->text()));

        // Enter on a note opens it in its record window.
        QVERIFY(goToLine(w, QStringLiteral("crane down")));
        QTest::keyClick(w->grdTimeline, Qt::Key_Return);
        logbook::RecordWindow *misc = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((misc = qobject_cast<logbook::RecordWindow *>(windows().existing(QStringLiteral("frmMisc"))))
                                     && misc->isVisible()
                                     && misc->findChild<QPlainTextEdit *>(QStringLiteral("txtNote"))->toPlainText()
                                            == QLatin1String("crane down"),
                                 20000);

        // A void entry greyed, or left out with the box unticked.
        QVERIFY(goToLine(w, QStringLiteral("wrong day note")));
        QVERIFY(w->timelineModel()->data(w->grdTimeline->currentIndex(), Qt::ForegroundRole).isValid());
        QTest::mouseClick(w->chkShowVoid, Qt::LeftButton, {}, QPoint(8, w->chkShowVoid->height() / 2));
        QCOMPARE(w->timelineModel()->rowCount(), m_day.dayTags.size() + 2);
        QVERIFY(!goToLine(w, QStringLiteral("wrong day note")));

        // Needs attention: the aborted launch and the task open since November;
        // a double-click opens the task.
        clickTab(w, 1);
        QStringList items;
        int task = -1;
        for (int r = 0; r < w->attentionModel()->rowCount(); ++r) {
            items << w->attentionModel()->itemAt(r).text;
            if (items.last().contains(QStringLiteral("Order spare fins")))
                task = r;
        }
        QVERIFY2(task >= 0 && items.filter(QStringLiteral("aborted 2026-12-08 13:20 UTC")).size() == 1,
                 qPrintable(items.join('\n')));
        const QRect cell = w->grdAttention->visualRect(w->attentionModel()->index(task, 1));
        // A double-click arrives as a click, then the double-click.
        QTest::mouseClick(w->grdAttention->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(w->grdAttention->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_VERIFY_WITH_TIMEOUT(windows().existing(QStringLiteral("frmTaskList"))
                                     && windows().existing(QStringLiteral("frmTaskList"))
                                                ->findChild<QPlainTextEdit *>(QStringLiteral("txtTaskDescription"))
                                                ->toPlainText()
                                            == QLatin1String("Order spare fins"),
                                 20000);

        // The packs' chart draws the packs chosen in the list.
        clickTab(w, 2);
        QCOMPARE(w->packsModel()->rowCount(), 2);
        QCOMPARE(w->picPackChart->packs().size(), 1);
        w->grdPacks->setFocus();
        QTest::keyClick(w->grdPacks, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(w->picPackChart->packs().size(), 2);
        QCOMPARE(w->picPackChart->packs().at(1).serial, QStringLiteral("0043"));
        QVERIFY(w->lblPacks->text().contains(QStringLiteral("1 voltage that is not a number was left out.")));
    }

    void dayButtonsAndBadSpans()
    {
        m_day.fill([this](const QString &sql, const QVariantList &bound) { return m_window->probe.sql(sql, bound); },
                   QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
        auto *w = openDay(QStringLiteral("2026-12-08"));
        QVERIFY(w);
        QTest::mouseClick(w->cmdNextDay, Qt::LeftButton);
        QTRY_VERIFY(!w->isBusy());
        QCOMPARE(w->txtFrom->text(), QStringLiteral("2026-12-09"));
        QVERIFY(goToLine(w, QStringLiteral("tomorrow note")));
        QVERIFY(!goToLine(w, QStringLiteral("crane down")));
        QVERIFY(openDay(QStringLiteral("yesterday")));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(m_window->seams.messages->texts.first().contains(QStringLiteral("\"yesterday\" is not a date")));
    }

    void reportPrintAndEventLog()
    {
        m_day.fill([this](const QString &sql, const QVariantList &bound) { return m_window->probe.sql(sql, bound); },
                   QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
        auto *w = openDay(QStringLiteral("2026-12-08"));
        QVERIFY(w);
        const QString pdf = m_window->settings.path(QStringLiteral("day.pdf"));
        m_window->seams.dialogs->answers.enqueue(pdf);
        QTest::mouseClick(w->cmdReport, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isBusy() && QFile::exists(pdf), 60000);
        QVERIFY2(w->lblStatus->text().startsWith(QStringLiteral("Report of")), qPrintable(w->lblStatus->text()));
        QVERIFY(test::pdfText(pdf).contains(QStringLiteral("crane down")));

        const QString printed = m_window->settings.path(QStringLiteral("printed.pdf"));
        m_window->seams.printing->answers.enqueue(printed);
        QTest::mouseClick(w->cmdPrint, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isBusy() && QFileInfo(printed).size() > 0, 60000);
        QVERIFY(test::pdfText(printed).contains(QStringLiteral("late dive note")));

        const QString csv = m_window->settings.path(QStringLiteral("events.csv"));
        m_window->seams.dialogs->answers.enqueue(csv);
        QTest::mouseClick(w->chkIncludeVoid, Qt::LeftButton, {}, QPoint(8, w->chkIncludeVoid->height() / 2));
        QTest::mouseClick(w->cmdEventLog, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isBusy() && QFile::exists(csv), 30000);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString events = QString::fromUtf8(f.readAll());
        QVERIFY(events.startsWith(QStringLiteral("UtcTime,Kind,EntryId,SubmittedBy,Workstation,Latitude,Longitude,Summary,Voided,VoidReason")));
        QVERIFY(events.contains(QStringLiteral("true,entered on the wrong day")));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    // A year of entries, read while the logbook is held up: the window
    // keeps answering, says it waits, and shows the year once it answers.
    void aYearNeverStallsTheWindow()
    {
        m_window->probe.sql(QStringLiteral("BEGIN"));
        for (int i = 0; i < 20000; ++i) {
            const QDateTime at = test::DayAtSea::at(QStringLiteral("2026-01-01T00:00:00")).addSecs(qint64(i) * 1570);
            m_window->probe.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"StampedAtUtc\", \"Note\") VALUES (?, ?)"),
                         {at.toUTC().toString(Qt::ISODate), QStringLiteral("note %1").arg(i)});
        }
        m_window->probe.sql(QStringLiteral("COMMIT"));
        test::FreezableProxy proxy;
        QVERIFY(holdUp(proxy));
        StallMeter stalls;
        auto *w = windows().show<frmOperations>();
        w->txtFrom->setFocus();
        w->txtFrom->selectAll();
        QTest::keyClicks(w->txtFrom, QStringLiteral("2026-01-01"));
        QTest::keyClicks(w->txtTo, QStringLiteral("2026-12-31"));
        QTest::keyClick(w->txtTo, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(w->lblStatus->text().contains(QStringLiteral("Waiting for the logbook")), 3000);
        QVERIFY(w->cmdStop->isEnabled() && w->prgRead->isVisible());
        QTest::qWait(1500);
        QVERIFY(w->isBusy());
        letGo(proxy);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isBusy(), 60000);
        QCOMPARE(w->timelineModel()->rowCount(), 20000);
        QVERIFY2(stalls.longestMs() < kStallLimitMs, qPrintable(QString::number(stalls.longestMs())));
    }
};

QTEST_MAIN(TestOpsWindow)
#include "tst_opswindow.moc"
