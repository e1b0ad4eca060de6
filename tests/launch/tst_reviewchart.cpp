// The review window's chart, findings, line numbers, changes since the last
// run and pictures, driven by keys and clicks.  The chart reads the full
// GSHHG resolution that gmt-common installs.  The changes since the last
// run are read from the launch records, on SQLite and (as
// tst_reviewchart_pg) on PostgreSQL.
#include "ChartView.h"
#include "FieldLogWindows.h"
#include "FreezableProxy.h"
#include "LaunchSession.h"
#include "LogbookService.h"
#include "Launch.h"
#include "MissionPictures.h"
#include "MissionReview.h"
#include "MultiLegTemplates.h"
#include "RecordWindows.h"
#include "ReviewFindingsModel.h"
#include "ScriptEditor.h"
#include "Settings.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"
#include "frmMissionDisplay.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <memory>

using namespace bravik;

class TestReviewChart : public QObject
{
    Q_OBJECT

private:
    std::optional<test::WindowTest> m_window;

    QString mission(const QString &name, const QByteArray &bytes)
    {
        const QString path = QDir(settings().missionsFolder).filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

    static QByteArray waypoints(int count)
    {
        QList<mission::WaypointLeg> legs;
        for (int i = 0; i < count; ++i)
            legs << mission::WaypointLeg{36.80 + 0.01 * (i % 5), -121.95 - 0.012 * (i / 5) - 0.004 * (i % 2), 600.0, 20.0, 1.5};
        return mission::buildMultipleWaypoints(legs).script.bytes();
    }

    // The mission log with its position typed in (36°47' N, 121°57' W, in
    // Monterey Bay) and the water depth, then "Select Mission".
    frmMissionDisplay *review(const QString &path, const QString &waterDepth = QString(),
                              const std::function<void()> &beforeSelect = {})
    {
        frmMission *log = windows().show<frmMission>();
        // The new row is there once the logbook answered.
        if (!log || !test::waitForLogbook() || !log->moveLast() || !log->beginNewRow() || !test::waitForLogbook())
            return nullptr;
        QTest::keyClicks(log->txtLatitudeInt, QStringLiteral("36"));
        QTest::keyClicks(log->txtLatitudeMinutes, QStringLiteral("47"));
        QTest::keyClicks(log->cmbNS, QStringLiteral("N"));
        QTest::keyClicks(log->txtLongitudeInt, QStringLiteral("121"));
        QTest::keyClicks(log->txtLongitudeMinutes, QStringLiteral("57"));
        QTest::keyClicks(log->cmbEW, QStringLiteral("W"));
        QTest::keyClicks(log->txtWaterDepth, waterDepth);
        if (beforeSelect)
            beforeSelect();
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(log->cmdRunMission, Qt::LeftButton);
        return windows().existing<frmMissionDisplay>();
    }

    // Reviews `path`, names a reviewer and presses "Run Mission": the launch
    // record keeps the text reviewed.  Every window is closed afterwards.
    bool runOnce(const QString &path)
    {
        frmMissionDisplay *w = review(path);
        if (!w)
            return false;
        QTest::keyClicks(w->cmbChecked, QStringLiteral("Ben"));
        QTest::mouseClick(w->cmdRunMission, Qt::LeftButton);
        if (!QTest::qWaitFor([this] { return !m_window->seams.commands->calls.isEmpty(); }, 20000))
            return false;
        windows().unloadAll();
        test::flushDeletes();
        return test::waitForLogbook();
    }

    // The logbook stops answering: on PostgreSQL the proxy every connection
    // goes through freezes; a SQLite file in WAL mode never holds a reader
    // up, so there the logbook named from now on cannot be read at all.
    std::unique_ptr<test::FreezableProxy> proxy;
    void holdUp()
    {
        if (proxy)
            return proxy->freeze();
        const QString damaged = m_window->settings.path(QStringLiteral("damaged.sqlite"));
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("not a logbook\n").repeated(500));
        Settings s = settings();
        s.database = damaged;
        setSettings(s);
    }
    void letGo()
    {
        if (proxy)
            proxy->thaw();
    }

    template<typename Texts>
    static QString overlapOrCut(const Texts &placed, const QRect &bounds)
    {
        for (qsizetype i = 0; i < placed.size(); ++i) {
            if (!QRectF(bounds).contains(placed[i].rect))
                return QStringLiteral("\"%1\" is cut").arg(placed[i].text);
            for (qsizetype j = i + 1; j < placed.size(); ++j)
                if (placed[i].rect.intersects(placed[j].rect))
                    return QStringLiteral("\"%1\" overlaps \"%2\"").arg(placed[i].text, placed[j].text);
        }
        return {};
    }

private slots:
    void init()
    {
        m_window.emplace([] { logbook::registerWindows(); launch::registerWindows(); }, QStringList(),
                         test::WindowTest::Unload);
        if (test::postgresRequested() && !m_window->settings.schema)
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void cleanup()
    {
        letGo();
        launch::setEarlierReviewProvider(launch::logbookEarlierReviews());
        m_window->closeWindows();
        launch::LaunchSession::instance().reset();
        m_window.reset();
        proxy.reset();
    }

    void chartShowsAWaypointMission()
    {
        frmMissionDisplay *w = review(mission(QStringLiteral("five.cfg"), waypoints(5)));
        QVERIFY(w);
        w->grab();
        chart::ChartView *c = w->picTrack;
        QVERIFY(c->isVisible());
        QVERIFY(c->data().geographic);
        QCOMPARE(c->shownResolution(), std::optional<chart::Resolution>(chart::Resolution::Full));
        QCOMPARE(c->shoreText(), QStringLiteral("Shoreline: GSHHG full resolution"));
        QStringList labels;
        for (const chart::ChartMark &m : c->data().marks)
            labels << m.label;
        for (const char *l : {"start", "1", "2", "3", "4", "5"})
            QVERIFY2(labels.contains(QLatin1String(l)), l);
        // The summary names the resolution and the distances to the shore.
        QVERIFY2(w->lblSummary->text().contains(QStringLiteral("shore (GSHHG full resolution): start ")), qPrintable(w->lblSummary->text()));
        // The whole track is in view.
        for (const chart::ChartMark &m : c->data().marks)
            QVERIFY(c->visibleArea().contains(m.position));
    }

    void chartPansAndZoomsByKeys()
    {
        frmMissionDisplay *w = review(mission(QStringLiteral("five.cfg"), waypoints(5)));
        QVERIFY(w);
        chart::ChartView *c = w->picTrack;
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->width() / 2, c->height() / 2));
        QVERIFY(c->hasFocus());
        const chart::GeoPoint start = c->centre();
        const double scale = c->metresPerPixel();
        QTest::keyClick(c, Qt::Key_Right);
        QVERIFY(c->centre().lon > start.lon);
        QTest::keyClick(c, Qt::Key_Up);
        QVERIFY(c->centre().lat > start.lat);
        QTest::keyClick(c, Qt::Key_Plus);
        QVERIFY(std::abs(c->metresPerPixel() * 1.5 / scale - 1.0) < 0.02);
        QTest::keyClick(c, Qt::Key_Minus);
        QTest::keyClick(c, Qt::Key_Minus);
        QVERIFY(c->metresPerPixel() > scale * 1.4);
        QTest::keyClick(c, Qt::Key_Home);
        QVERIFY(std::abs(c->centre().lat - start.lat) < 1e-9 && std::abs(c->metresPerPixel() / scale - 1.0) < 1e-9);
        // The shore of the view is read again only when the view leaves it.
        w->grab();
        QCOMPARE(c->shownResolution(), std::optional<chart::Resolution>(chart::Resolution::Full));
    }

    // The list's rows as the window fills it again for another review:
    // "e"/"w"/"l" (error, warning, limit), the line and the text, in the
    // order found; each row shown as "severity|line|text".
    void findingsListedErrorsFirst_data()
    {
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("none") << QStringList() << QStringList();
        QTest::newRow("mixed") << QStringList{"w 1 speed above cruise", "e 37 too deep", "l 12 past the limit", "e 0 no end"}
                               << QStringList{"error (limit)|12|past the limit", "error|37|too deep", "error|file|no end",
                                              "warning|1|speed above cruise"};
        QTest::newRow("warnings as found") << QStringList{"w 9 late", "w 3 early"}
                                           << QStringList{"warning|9|late", "warning|3|early"};
    }
    void findingsListedErrorsFirst()
    {
        QFETCH(QStringList, found);
        QFETCH(QStringList, listed);
        QList<mission::Finding> findings;
        for (const QString &f : found) {
            const QStringList p = f.split(u' ');
            findings << mission::Finding{p[0] == u"w" ? mission::Severity::Warning : mission::Severity::Error, p[1].toInt(),
                                         p.mid(2).join(u' '), p[0] == u"l"};
        }
        launch::ReviewFindingsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        model.setFindings({{mission::Severity::Warning, 4, QStringLiteral("before"), false}});
        model.setFindings(findings);
        QStringList rows;
        for (int r = 0; r < model.rowCount(); ++r) {
            const QModelIndex text = model.index(r, launch::ReviewFindingsModel::Text);
            rows << model.index(r, 0).data().toString() + u'|' + model.index(r, 1).data().toString() + u'|' + text.data().toString();
            QCOMPARE(text.data(Qt::ToolTipRole), text.data());
            QCOMPARE(model.index(r, 0).data(launch::ReviewFindingsModel::LineRole).toInt(),
                     rows.last().section(u'|', 1, 1).toInt());
            QCOMPARE(model.index(r, 0).data(Qt::BackgroundRole) == model.index(0, 0).data(Qt::BackgroundRole),
                     rows.last().startsWith(u'e') == rows.first().startsWith(u'e'));
        }
        QCOMPARE(rows, listed);
    }

    void findingsErrorsFirstAndShowTheirLine()
    {
        // A warning on line 1 (a speed above cruise), errors further down.
        QByteArray bytes = waypoints(3);
        bytes.replace("speed        = 1.5;\r\n}\r\n# waypoint", "speed        = 1.9;\r\n}\r\n# waypoint");
        bytes.replace("depth        = 20;", "depth        = 90;");
        frmMissionDisplay *w = review(mission(QStringLiteral("three.cfg"), bytes));
        QVERIFY(w);
        QTreeView *list = w->lstFindings;
        const QAbstractItemModel *model = list->model();
        QVERIFY(model->rowCount() >= 2);
        bool warningSeen = false;
        for (int i = 0; i < model->rowCount(); ++i) {
            const bool error = model->index(i, 0).data().toString().startsWith(QStringLiteral("error"));
            QVERIFY2(!(error && warningSeen), "an error below a warning");
            warningSeen = warningSeen || !error;
        }
        QVERIFY(warningSeen);
        // A click on the last finding scrolls the script to its line and marks it.
        const QModelIndex last = model->index(model->rowCount() - 1, 1);
        const int line = last.data().toInt();
        QVERIFY(line > 0);
        list->scrollTo(last);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(last).center());
        QCOMPARE(w->txtMissionScript->markedLine(), line);
        QCOMPARE(w->txtMissionScript->textCursor().blockNumber() + 1, line);
        // The keys move through the findings the same way.
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(w->txtMissionScript->markedLine(), model->index(0, 1).data().toInt());
        // At least five rows in sight.
        const int row = list->visualRect(model->index(0, 0)).height();
        QVERIFY(list->viewport()->height() >= 5 * std::min(row, QFontMetrics(list->font()).height() + 8) - 2);
    }

    // Run again as tst_reviewchart_scale2, at twice the size on a small
    // screen: five findings in sight, the shore distances of every waypoint
    // in the summary's tooltip only.
    void fiveFindingsInSight()
    {
        frmMissionDisplay *w = review(mission(QStringLiteral("twenty.cfg"), waypoints(20)), QStringLiteral("70"));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTreeView *list = w->lstFindings;
        QVERIFY(list->model()->rowCount() >= 5);
        QTRY_VERIFY2(list->visualRect(list->model()->index(4, 0)).bottom() < list->viewport()->height(),
                     qPrintable(QStringLiteral("%1 rows in %2 px").arg(list->model()->rowCount()).arg(list->viewport()->height())));
        QVERIFY(w->lblSummary->toolTip().contains(QStringLiteral("Waypoint 20 ")));
        QVERIFY2(!w->lblSummary->text().contains(QStringLiteral("Waypoint 20 ")), qPrintable(w->lblSummary->text()));
    }

    void scriptShowsLineNumbers()
    {
        frmMissionDisplay *w = review(mission(QStringLiteral("five.cfg"), waypoints(5)));
        QVERIFY(w);
        QWidget *gutter = w->txtMissionScript->findChild<QWidget *>(QStringLiteral("lineNumbers"));
        QVERIFY(gutter && gutter->isVisible());
        QVERIFY(gutter->width() >= w->txtMissionScript->fontMetrics().horizontalAdvance(QStringLiteral("99")));
        QCOMPARE(w->txtMissionScript->viewport()->geometry().left(), gutter->geometry().right() + 1);
        QCOMPARE(w->txtMissionScript->firstVisibleLine(), 1);
    }

    // What changed since the last run, from the launch records, the earlier
    // run made by "Run Mission": the file's own name counts, not its folder.
    void changesFromTheLaunchRecords_data()
    {
        QTest::addColumn<QString>("earlier");   // the file that ran before, or nothing
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("heldUp");
        QTest::addColumn<QString>("shown");
        const QString never = QStringLiteral("Not run before under this file name.");
        QTest::newRow("no earlier run") << QString() << false << false << never;
        QTest::newRow("only a longer name ran") << QStringLiteral("old_two.cfg") << false << false << never;
        QTest::newRow("same text") << QStringLiteral("two.cfg") << false << false
                                   << QStringLiteral("<b>Unchanged</b> since this file name last ran (reviewed by Ben at ");
        QTest::newRow("one line changed") << QStringLiteral("two.cfg") << true << false
                                          << QStringLiteral("(reviewed by Ben at 20");
        QTest::newRow("same name, another folder") << QStringLiteral("Copied/two.cfg") << true << false
                                                   << QStringLiteral("1 line added, 1 removed");
        QTest::newRow("logbook held up") << QStringLiteral("two.cfg") << true << true
                                         << QStringLiteral("The changes since the last run of this file name are not available: ");
    }
    void changesFromTheLaunchRecords()
    {
        QFETCH(QString, earlier);
        QFETCH(bool, changed);
        QFETCH(bool, heldUp);
        QFETCH(QString, shown);
        Settings s = settings();
        s.statementTimeoutMs = 1500;
        if (heldUp && s.databaseDriver == QLatin1String("QPSQL")) {
            proxy = std::make_unique<test::FreezableProxy>();
            QString error;
            QVERIFY2(proxy->start(QStringLiteral("127.0.0.1:") + qEnvironmentVariable("PGPORT", QStringLiteral("5432")), &error),
                     qPrintable(error));
            s.database += QStringLiteral(" host=127.0.0.1 port=%1 connect_timeout=10").arg(proxy->port());
        }
        setSettings(s);
        logbook::LogbookService::setStatementTimeout(std::chrono::milliseconds(s.statementTimeoutMs));
        const QByteArray now = waypoints(2);
        QByteArray before = now;
        if (changed)
            before.replace(before.indexOf("depth        = 20;"), 18, "depth        = 15;");
        if (!earlier.isEmpty())
            QVERIFY(runOnce(mission(earlier, before)));
        const QString path = mission(QStringLiteral("two.cfg"), now);
        frmMissionDisplay *w = review(path, QString(), [&] {
            if (heldUp) {
                QVERIFY(test::waitForLogbook());
                holdUp();
            }
        });
        QVERIFY(w);
        QCOMPARE(w->lblChanges->text(), QStringLiteral("Looking in the logbook for the last run of this file name…"));
        if (heldUp) {
            // The window answers meanwhile.
            QTest::keyClicks(w->txtMissionScript, QStringLiteral("x"));
            QVERIFY(w->lblEditsNotice->isVisible());
        }
        QTRY_VERIFY2_WITH_TIMEOUT(w->lblChanges->text().contains(shown), qPrintable(w->lblChanges->text()), 20000);
        letGo();
        QCOMPARE(w->txtChanges->isVisible(), changed && !heldUp);
        const int line = QString::fromUtf8(now).left(now.indexOf("depth        = 20;")).count(QLatin1Char('\n')) + 1;
        QCOMPARE(w->txtMissionScript->changedLines(), changed && !heldUp ? QSet<int>{line} : QSet<int>{});
        if (changed && !heldUp)
            QVERIFY(w->txtChanges->toPlainText().contains(QStringLiteral("- depth        = 15;\n+ depth        = 20;")));
        QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(!windows().existing<frmMissionDisplay>());
    }

    void noProviderShowsNoChanges()
    {
        launch::setEarlierReviewProvider({});
        frmMissionDisplay *w = review(mission(QStringLiteral("two.cfg"), waypoints(2)));
        QVERIFY(w);
        QVERIFY(!w->lblChanges->isVisible());
    }

    // At scale 1 the window has its designed size; at scale 2 a 1920 x 1080
    // screen leaves it about half of that in each direction.
    void nothingOverlapsOrIsCut_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QSize>("size");
        const QByteArray transect = mission::buildTransect({QStringLiteral("45"), QStringLiteral("2400"), QStringLiteral("5"),
                                                            QStringLiteral("50"), QStringLiteral("8"), QStringLiteral("4"),
                                                            QStringLiteral("1.5")})
                                        .script.bytes();
        QTest::newRow("transect, scale 1") << transect << QSize();
        QTest::newRow("transect, scale 2") << transect << QSize(940, 500);
        QTest::newRow("20 waypoints, scale 1") << waypoints(20) << QSize();
        QTest::newRow("20 waypoints, scale 2") << waypoints(20) << QSize(940, 500);
    }
    void nothingOverlapsOrIsCut()
    {
        QFETCH(QByteArray, script);
        QFETCH(QSize, size);
        Settings s = settings();
        s.vehicleMaxDepth = 100.0;
        setSettings(s);
        frmMissionDisplay *w = review(mission(QStringLiteral("m.cfg"), script), QStringLiteral("70"));
        QVERIFY(w);
        if (size.isValid())
            w->resize(size);
        w->grab();
        const QString chart = overlapOrCut(w->picTrack->placedTexts(), w->picTrack->rect());
        QVERIFY2(chart.isEmpty(), qPrintable(chart));
        const QString depth = overlapOrCut(w->picDepthProfile->placedTexts(), w->picDepthProfile->rect());
        QVERIFY2(depth.isEmpty(), qPrintable(depth));
        QStringList depthTexts;
        for (const auto &t : w->picDepthProfile->placedTexts())
            depthTexts << t.text;
        // The last time label, the vehicle's maximum and the bottom are there.
        QVERIFY2(depthTexts.contains(QStringLiteral("vehicle maximum")) && depthTexts.contains(QStringLiteral("bottom")),
                 qPrintable(depthTexts.join(QLatin1Char('|'))));
        QVERIFY(std::any_of(depthTexts.cbegin(), depthTexts.cend(), [](const QString &t) { return t.endsWith(QStringLiteral(" min")) && t != QStringLiteral("0 min"); }));
        QCOMPARE(w->picTrack->shoreText(), QStringLiteral("Shoreline: GSHHG full resolution"));
    }

    void missingShorelineDataIsALine()
    {
        QTemporaryDir empty;
        Settings s = settings();
        s.chartCoastlineFolder = empty.path();
        setSettings(s);
        frmMissionDisplay *w = review(mission(QStringLiteral("five.cfg"), waypoints(5)));
        QVERIFY(w);
        w->grab();
        QCOMPARE(w->picTrack->shoreText(), QStringLiteral("No coastline data installed: apt install gmt-gshhg-high"));
        QCOMPARE(w->picTrack->placedTexts().first().text, w->picTrack->shoreText());
        QVERIFY(w->lblSummary->text().contains(QStringLiteral("shore not checked: No coastline data installed")));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }
};

QTEST_MAIN(TestReviewChart)
#include "tst_reviewchart.moc"
