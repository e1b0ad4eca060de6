// The windows never freeze on the logbook: a server that stops answering
// (a proxy the test freezes), a file whose write lock another program
// holds, four programs writing to one file at once, and quitting while a
// store is stuck.  History, Void Entry, a submission and the start-up each
// keep the window answering with the server frozen and with the lock held;
// a submission's stamp stays on the entry it began whatever is queued
// beside it.

#include "App.h"
#include "Connection.h"
#include "FreezableProxy.h"
#include "LogbookService.h"
#include "RecordCursor.h"
#include "RecordHistoryModel.h"
#include "RecordHistoryWindow.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "Submission.h"
#include "TempServer.h"
#include "WindowTest.h"
#include "WindowManager.h"
#include "EntryListModel.h"
#include "frmLogbookList.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace bravik;
using bravik::logbook::RecordWindow;
using bravik::test::LogbookProbe;

namespace {

// The longest time the user-interface thread went without handling a
// timer event that was due every 10 ms.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = qMax(m_longest, m_clock.restart());
        });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMs() const { return qMax(m_longest, m_clock.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// The freezes these tests catch last as long as the engine's wait (seconds);
// a busy two-core machine alone has delayed the event loop by 120 ms.
constexpr qint64 kStallLimitMs = 300;

// What holds the logbook up: a PostgreSQL server of the test's own frozen
// behind a proxy, or another program holding the logbook file's write
// lock.  The settings name the logbook as the program reaches it.
class Blocker
{
public:
    explicit Blocker(bool server)
    {
        if (!server)
            return;
        m_server = std::make_unique<test::TempServer>();
        if (!m_server->isValid()) {
            m_error = m_server->error();
            return;
        }
        const QString socketFolder =
            m_server->location().section(QLatin1Char(' '), 0, 0).section(QLatin1Char('='), 1);
        if (!m_proxy.start(socketFolder + QStringLiteral("/.s.PGSQL.5432"), &m_error))
            return;
        Settings s = settings();
        s.databaseDriver = QStringLiteral("QPSQL");
        s.database = QStringLiteral("host=127.0.0.1 port=%1 user=bravik dbname=postgres connect_timeout=10")
                         .arg(m_proxy.port());
        setSettings(s);
    }
    ~Blocker()
    {
        release();
        m_direct = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("blocker-direct"));
    }

    QString error() const { return m_error; }
    bool isServer() const { return m_server != nullptr; }
    // The logbook as the test reaches it past the proxy.
    logbook::DatabaseLocation direct() const
    {
        if (m_server)
            return {QStringLiteral("QPSQL"), m_server->location()};
        return {settings().databaseDriver, settings().database};
    }
    QString waitingText() const
    {
        return m_server ? QStringLiteral("Waiting for the logbook on 127.0.0.1:%1…").arg(m_proxy.port())
                        : QStringLiteral("Waiting for the logbook…");
    }

    void hold()
    {
        if (m_server) {
            m_proxy.freeze();
            return;
        }
        m_holder.start(QStringLiteral(WAIT_HELPER), {"hold", settings().database, "60000"});
        QVERIFY(m_holder.waitForReadyRead(20000));
        QCOMPARE(m_holder.readLine().trimmed(), QByteArray("held"));
    }
    void release()
    {
        if (m_server) {
            m_proxy.thaw();
            return;
        }
        if (m_holder.state() != QProcess::NotRunning) {
            m_holder.kill();   // the lock goes with the program
            m_holder.waitForFinished();
        }
    }

    // Runs SQL past the proxy; the first column of the first row.
    QVariant sql(const QString &text, const QVariantList &bound = {})
    {
        if (!m_direct.isOpen()) {
            m_direct = QSqlDatabase::addDatabase(direct().driver, QStringLiteral("blocker-direct"));
            QString error;
            logbook::connection::configure(m_direct, direct(), &error);
            m_direct.open();
        }
        QSqlQuery q(m_direct);
        q.prepare(text);
        for (int i = 0; i < bound.size(); ++i)
            q.bindValue(i, bound.at(i));
        if (!q.exec())
            qWarning("%s: %s", qPrintable(text), qPrintable(q.lastError().text()));
        return q.next() ? q.value(0) : QVariant();
    }

private:
    std::unique_ptr<test::TempServer> m_server;
    test::FreezableProxy m_proxy;
    QProcess m_holder;
    QSqlDatabase m_direct;
    QString m_error;
};

} // namespace

class TestLogbookWait : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    static QWidget *waitingLine(QWidget *w) { return w->findChild<QFrame *>("fraWaiting"); }

    // A window opened on its table, answers arriving as they come.
    RecordWindow *openWindow(const QString &name)
    {
        auto *w = qobject_cast<RecordWindow *>(windows().show(name));
        if (!w)
            return nullptr;
        if (!QTest::qWaitFor([w] { return w->isOpen(); }, 20000))
            return nullptr;
        return w;
    }

    bool settled(RecordWindow *w)
    {
        return QTest::qWaitFor([w] { return !w->cursor()->isBusy(); }, 20000);
    }

    static void setLogbook(const QString &driver, const QString &location)
    {
        Settings s = settings();
        s.databaseDriver = driver;
        s.database = location;
        setSettings(s);
    }

private Q_SLOTS:
    // The stored Miscellaneous entries "d1" and "d2" (d1 changed once, so
    // it has a history), made as the program makes them.
    static void seed(const logbook::DatabaseLocation &where)
    {
        QString error;
        auto db = logbook::Database::open(where, &error);
        QVERIFY2(db, qPrintable(error));
        logbook::RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QVERIFY(cursor.open());
        for (const char *d : {"d1", "d2"}) {
            QVERIFY(cursor.beginNew());
            cursor.setValue(QStringLiteral("Date/Time"), QString::fromLatin1(d));
            cursor.setValue(QStringLiteral("SubmittedBy"), QStringLiteral("Ada"));
            QVERIFY(cursor.save());
        }
        QVERIFY(cursor.moveFirst());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("checked"));
        QVERIFY(cursor.save());
    }

    // A logbook file from before the hidden key, with many rows: opening
    // it rebuilds its tables for a while, holding the write lock.
    static void oldLogbook(const QString &path, int rows)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old-logbook"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE \"Miscellaneous\" (\"Date/Time\" TEXT, \"Note\" TEXT, "
                                      "\"SubmittedBy\" TEXT)")));
        QVERIFY(q.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                      "INSERT INTO \"Miscellaneous\" SELECT 'old', 'note ' || i, 'Ada' FROM n")
                           .arg(rows)));
        q.finish();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("old-logbook"));
    }

    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")});
    }

    void cleanup()
    {
        m_window.reset();
        RecordWindow::setQuitting(false);
    }

    void frozenServer()
    {
        test::TempServer server;
        if (!server.isValid())
            QSKIP(qPrintable(server.error()));
        const QString socketFolder = server.location().section(QLatin1Char(' '), 0, 0).section(QLatin1Char('='), 1);
        test::FreezableProxy proxy;
        QString error;
        QVERIFY2(proxy.start(socketFolder + QStringLiteral("/.s.PGSQL.5432"), &error), qPrintable(error));
        const QString viaProxy =
            QStringLiteral("host=127.0.0.1 port=%1 user=bravik dbname=postgres connect_timeout=10").arg(proxy.port());
        setLogbook(QStringLiteral("QPSQL"), viaProxy);

        // Unfrozen, the window works as it always has.
        RecordWindow *w = openWindow("frmMisc");
        QVERIFY(w);
        QVERIFY(w->moveLast() && w->beginNewRow());
        QVERIFY(settled(w));
        auto *note = w->findChild<QPlainTextEdit *>("txtNote");
        w->findChild<QLineEdit *>("txtTime")->setText("t1");
        QTest::keyClicks(note, "keep me");

        // The server stops answering while the row is stored.
        proxy.freeze();
        StallMeter stalls;
        QTest::mouseClick(w->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(waitingLine(w) && waitingLine(w)->isVisible(), 5000);
        const QString line = w->findChild<QLabel *>("lblWaiting")->text();
        QCOMPARE(line, QStringLiteral("Waiting for the logbook on 127.0.0.1:%1…").arg(proxy.port()));
        QVERIFY(!note->isEnabled());
        QVERIFY(!w->findChild<QToolButton *>("cmdNext")->isEnabled());
        // For looking at it: BRAVIK_SHOTS=FOLDER saves a picture of the window.
        if (const QString shots = qEnvironmentVariable("BRAVIK_SHOTS"); !shots.isEmpty())
            w->grab().save(shots + QStringLiteral("/waiting-frozen-server.png"));
        QTest::qWait(1500);
        QCOMPARE(windows().existing("frmMisc"), w);
        QVERIFY(!windows().existing("frmLogMain"));

        // Stop waiting: as after a refused store, the row stays with its text.
        QTest::mouseClick(w->findChild<QPushButton *>("cmdStopWaiting"), Qt::LeftButton);
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY2(m_window->seams.messages->texts.first().contains("did not answer"), qPrintable(m_window->seams.messages->texts.first()));
        QVERIFY(!waitingLine(w)->isVisible());
        QVERIFY(note->isEnabled());
        QCOMPARE(note->toPlainText(), QStringLiteral("keep me"));
        QCOMPARE(windows().existing("frmMisc"), w);
        const qint64 longest = stalls.longestMs();
        qInfo("longest stall of the user-interface thread while the server was frozen: %lld ms", longest);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));

        // Thawed: the store given up on never lands.
        proxy.thaw();
        QVERIFY(test::waitForLogbook());
        LogbookProbe probe;
        Settings direct = settings();
        direct.database = server.location();
        setSettings(direct);
        QTest::qWait(300);
        QCOMPARE(probe.count("Miscellaneous"), 0);
        // Storing again works, and the row is there once.
        QVERIFY(w->moveFirst());
        QVERIFY(settled(w));
        QTRY_COMPARE(probe.count("Miscellaneous"), 1);
        QCOMPARE(probe.field("Miscellaneous", "Note").toString(), QStringLiteral("keep me"));
        QCOMPARE(probe.field("Miscellaneous", "Date/Time").toString(), QStringLiteral("t1"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        probe.close();
        windows().reset();
        test::flushDeletes();
        bool finished = false;
        logbook::LogbookService::shutdownAll(std::chrono::seconds(20), &finished);
        QVERIFY(finished);
    }

    void fileLockHeldByAnotherProgram()
    {
        LogbookProbe probe;
        if (LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        RecordWindow *w = openWindow("frmMisc");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "first");

        QProcess holder;
        holder.start(QStringLiteral(WAIT_HELPER), {"hold", settings().database, "3000"});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        // A submission into the window waits its turn behind the store.
        StallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        submitLogEntry("Miscellaneous", "t2", "Ben");
        QTRY_VERIFY_WITH_TIMEOUT(waitingLine(w)->isVisible(), 3000);
        QVERIFY(w->findChild<QLabel *>("lblWaiting")->text() == QStringLiteral("Waiting for the logbook…"));
        QTRY_VERIFY_WITH_TIMEOUT(!waitingLine(w)->isVisible(), 20000);
        QVERIFY(settled(w));
        const qint64 waited = clock.elapsed();
        const qint64 longest = stalls.longestMs();
        qInfo("waited %lld ms for the lock; longest stall %lld ms", waited, longest);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        QVERIFY(waited >= 1000);
        QVERIFY(holder.state() == QProcess::NotRunning || holder.waitForFinished(20000));

        QCOMPARE(w->findChild<QLineEdit *>("txtTime")->text(), QStringLiteral("t2"));
        QCOMPARE(w->findChild<QLineEdit *>("txtSubmittedBy")->text(), QStringLiteral("Ben"));
        QCOMPARE(probe.count("Miscellaneous"), 1);
        QCOMPARE(probe.field("Miscellaneous", "Note").toString(), QStringLiteral("first"));
        QTest::mouseClick(w->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
        QTRY_VERIFY(!windows().existing("frmMisc"));
        QVERIFY(windows().existing("frmLogMain"));
        QCOMPARE(probe.count("Miscellaneous"), 2);
        QCOMPARE(probe.field("Miscellaneous", "SubmittedBy", 1).toString(), QStringLiteral("Ben"));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    void fourProgramsWriteAtOnce()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        // The file exists before they start, as on a crew's computer.
        QVERIFY(logbook::Database::open({"QSQLITE", settings().database}, nullptr));
        std::vector<std::unique_ptr<QProcess>> writers;
        for (int i = 0; i < 4; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::MergedChannels);
            p->start(QStringLiteral(WAIT_HELPER), {"write", settings().database, "500", QStringLiteral("w%1").arg(i)});
            writers.push_back(std::move(p));
        }
        for (auto &p : writers) {
            QVERIFY(p->waitForFinished(240000));
            const QString out = QString::fromLocal8Bit(p->readAll());
            QVERIFY2(!out.contains("locked"), qPrintable(out));
            QVERIFY2(p->exitCode() == 0, qPrintable(out));
        }
        LogbookProbe probe;
        QCOMPARE(probe.count("Miscellaneous"), 2000);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(probe.sql("SELECT COUNT(*) FROM \"Miscellaneous\" WHERE \"SubmittedBy\" = ?",
                               {QStringLiteral("w%1").arg(i)}).toInt(), 500);
    }

    // Quitting while another program holds the lock: what a window could
    // not store is kept beside the logbook, named, and stored at the next
    // start, once.
    void quittingKeepsWhatCouldNotBeStored()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        RecordWindow *w = openWindow("frmTaskList");
        QVERIFY(w);
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtTaskDescription"), "Grease \"the\" rudder");

        QProcess holder;
        holder.start(QStringLiteral(WAIT_HELPER), {"hold", settings().database, "15000"});
        QVERIFY(holder.waitForReadyRead(20000));

        QElapsedTimer clock;
        clock.start();
        logbook::closeAllForQuit();
        const QStringList lines = logbook::LogbookService::shutdownAll(std::chrono::milliseconds(1500));
        QVERIFY(clock.elapsed() < 10000);
        const QString kept = settings().database + QStringLiteral(".unstored");
        QCOMPARE(lines, QStringList{QStringLiteral("not stored yet, kept in %1 to be stored at the next start: "
                                                   "TaskList: TaskDescription = \"Grease \"\"the\"\" rudder\"")
                                        .arg(QDir::toNativeSeparators(QFileInfo(kept).absoluteFilePath()))});
        QVERIFY(QFile::exists(kept));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        holder.kill();
        holder.waitForFinished();
        windows().reset();

        // The next start stores it.
        openLogbookAtStart({settings().databaseDriver, settings().database}, nullptr);
        QVERIFY(test::waitForLogbook());
        QTRY_VERIFY(!QFile::exists(kept));
        LogbookProbe probe;
        QCOMPARE(probe.count("TaskList"), 1);
        QCOMPARE(probe.field("TaskList", "TaskDescription").toString(), QStringLiteral("Grease \"the\" rudder"));
    }

    // History, Void Entry, a submission and the start-up while the logbook
    // is held up: the window keeps answering, shows its waiting line, and
    // each completes once the logbook answers.
    // Each path with the server frozen and with the file's lock held.
    static void pathRows(std::initializer_list<const char *> paths)
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("server");
        for (const char *path : paths) {
            QTest::newRow(qPrintable(QStringLiteral("%1, server frozen").arg(path))) << QString::fromLatin1(path) << true;
            QTest::newRow(qPrintable(QStringLiteral("%1, lock held").arg(path))) << QString::fromLatin1(path) << false;
        }
    }
    void pathsKeepTheWindowAnswering_data() { pathRows({"history", "void", "submission", "start-up"}); }
    void pathsKeepTheWindowAnswering()
    {
        QFETCH(QString, path);
        QFETCH(bool, server);
        if (!server && LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        Blocker blocker(server);
        if (!blocker.error().isEmpty())
            QSKIP(qPrintable(blocker.error()));
        const bool startup = path == QLatin1String("start-up");
        if (startup && !server)
            oldLogbook(settings().database, 400000);   // its upgrade holds the lock
        else if (!startup)
            seed(blocker.direct());

        RecordWindow *w = nullptr;
        if (!startup) {
            w = openWindow("frmMisc");
            QVERIFY(w);
            QCOMPARE(w->findChild<QLineEdit *>("txtTime")->text(), QStringLiteral("d1"));
            if (path == QLatin1String("submission")) {
                auto *note = w->findChild<QPlainTextEdit *>("txtNote");
                note->setFocus();
                QTest::keyClick(note, Qt::Key_End, Qt::ControlModifier);
                QTest::keyClicks(note, " again");
            }
            blocker.hold();
        } else if (server) {
            blocker.hold();
        }

        StallMeter stalls;
        // History reads; on a file a read never waits for a writer's lock.
        const bool waits = !(path == QLatin1String("history") && !server);
        if (path == QLatin1String("history")) {
            QTest::mouseClick(w->findChild<QPushButton *>("cmdHistory"), Qt::LeftButton);
        } else if (path == QLatin1String("void")) {
            m_window->seams.prompts->answers << QStringLiteral("entered twice");
            QTest::mouseClick(w->findChild<QPushButton *>("cmdVoid"), Qt::LeftButton);
        } else {
            if (startup)
                openLogbookAtStart({settings().databaseDriver, settings().database}, nullptr);
            submitLogEntry("Miscellaneous", "t2", "Ben");
            w = qobject_cast<RecordWindow *>(windows().existing("frmMisc"));
            QVERIFY(w);
        }
        if (waits) {
            QTRY_VERIFY_WITH_TIMEOUT(waitingLine(w) && waitingLine(w)->isVisible(), 5000);
            QCOMPARE(w->findChild<QLabel *>("lblWaiting")->text(), blocker.waitingText());
            if (server)
                QTest::qWait(1000);
            blocker.release();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!waitingLine(w) || !waitingLine(w)->isVisible(), 30000);
        QVERIFY(test::waitForLogbook(30000));
        const qint64 longest = stalls.longestMs();
        qInfo("longest stall of the user-interface thread: %lld ms", longest);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        blocker.release();
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('|')));

        if (path == QLatin1String("history")) {
            QVERIFY(w->historyWindow());
            QCOMPARE(w->historyWindow()->model()->rowCount(), 1);
            QCOMPARE(w->historyWindow()->model()->entry(0).newValue, QStringLiteral("checked"));
        } else if (path == QLatin1String("void")) {
            QVERIFY(w->findChild<QLabel *>("lblVoid")->isVisible());
            QVERIFY(blocker.sql("SELECT \"Voided\" FROM \"Miscellaneous\" WHERE \"Date/Time\" = 'd1'").toBool());
        } else {
            QCOMPARE(w->findChild<QLineEdit *>("txtTime")->text(), QStringLiteral("t2"));
            QCOMPARE(w->findChild<QLineEdit *>("txtSubmittedBy")->text(), QStringLiteral("Ben"));
            QTest::mouseClick(w->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!windows().existing("frmMisc"), 20000);
            QCOMPARE(blocker.sql("SELECT COUNT(*) FROM \"Miscellaneous\" WHERE \"Date/Time\" = 't2' "
                                 "AND \"SubmittedBy\" = 'Ben'").toInt(), 1);
            if (!startup)
                QCOMPARE(blocker.sql("SELECT \"Note\" FROM \"Miscellaneous\" WHERE \"Date/Time\" = 'd1'").toString(),
                         QStringLiteral("checked again"));
        }
        windows().reset();
    }

    // Find Entries while the logbook is held up: its first page, a search,
    // a CSV export and a print each keep the window answering, say that
    // they wait (the status line, or the export's progress dialog), and
    // complete once the logbook answers.  On a file the list only reads,
    // which a writer's lock never holds up.
    void listPathsKeepTheWindowAnswering_data() { pathRows({"page", "search", "csv", "print"}); }
    void listPathsKeepTheWindowAnswering()
    {
        QFETCH(QString, path);
        QFETCH(bool, server);
        if (!server && LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        Blocker blocker(server);
        if (!blocker.error().isEmpty())
            QSKIP(qPrintable(blocker.error()));
        seed(blocker.direct());
        const QString output = m_window->settings.path(path == QLatin1String("csv") ? QStringLiteral("out.csv")
                                                                             : QStringLiteral("out.pdf"));

        logbook::frmLogbookList *list = nullptr;
        auto showList = [&] {
            list = windows().show<logbook::frmLogbookList>();
            list->cmbKind->setCurrentIndex(list->cmbKind->findText(QStringLiteral("Miscellaneous")));
        };
        if (path == QLatin1String("page")) {
            blocker.hold();
        } else {
            showList();
            QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 2, 20000);
            QTRY_VERIFY(!list->model()->isBusy());
            blocker.hold();
        }

        StallMeter stalls;
        if (path == QLatin1String("page")) {
            showList();
        } else if (path == QLatin1String("search")) {
            QTest::keyClicks(list->txtContains, "checked");
            QTest::keyClick(list->txtContains, Qt::Key_Return);
        } else if (path == QLatin1String("csv")) {
            m_window->seams.dialogs->answers.enqueue(output);
            QTest::mouseClick(list->cmdExportCsv, Qt::LeftButton);
        } else {
            m_window->seams.printing->answers.enqueue(output);
            QTest::mouseClick(list->cmdPrint, Qt::LeftButton);
        }
        const bool exporting = path == QLatin1String("csv") || path == QLatin1String("print");
        if (server) {
            if (exporting)
                QTRY_VERIFY_WITH_TIMEOUT(list->exportProgress() && list->exportProgress()->isVisible(), 5000);
            else
                QTRY_VERIFY_WITH_TIMEOUT(list->lblStatus->text().startsWith(blocker.waitingText()), 5000);
            QTest::qWait(1000);
            if (path == QLatin1String("csv"))
                QVERIFY(!QFile::exists(output));   // written whole or not at all
            blocker.release();
        }
        if (exporting)
            QTRY_VERIFY_WITH_TIMEOUT(!list->exportProgress(), 30000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(!list->model()->isBusy(), 30000);
        const qint64 longest = stalls.longestMs();
        qInfo("longest stall of the user-interface thread: %lld ms", longest);
        QVERIFY2(longest < kStallLimitMs, qPrintable(QString::number(longest)));
        blocker.release();
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('|')));

        if (path == QLatin1String("page")) {
            QCOMPARE(list->model()->rowCount(), 2);
        } else if (path == QLatin1String("search")) {
            QCOMPARE(list->model()->rowCount(), 1);
            QCOMPARE(list->lblStatus->text(), QStringLiteral("1 entry"));
        } else {
            QFile file(output);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray written = file.readAll();
            if (path == QLatin1String("csv"))
                QCOMPARE(written.count("\r\n"), 3);   // the header and d1, d2
            else
                QVERIFY(written.startsWith("%PDF"));
        }
        windows().reset();
    }

    // A submission waits for the logbook while an older entry is opened
    // from Find Entries, before it or after it: the stamp lands on the new
    // entry the submission began, never on the older one, and both entries
    // are made.
    void submissionStampStaysOnItsEntry_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("openFirst");
        QTest::newRow("lock held, opened after the submission") << false << false;
        QTest::newRow("lock held, opened before the submission") << false << true;
        QTest::newRow("server frozen, opened after the submission") << true << false;
        QTest::newRow("server frozen, opened before the submission") << true << true;
    }
    void submissionStampStaysOnItsEntry()
    {
        QFETCH(bool, server);
        QFETCH(bool, openFirst);
        if (!server && LogbookProbe::isPostgres())
            QSKIP("a file's lock");
        Blocker blocker(server);
        if (!blocker.error().isEmpty())
            QSKIP(qPrintable(blocker.error()));
        seed(blocker.direct());
        submitLogEntry("Miscellaneous", "t1", "Ada");
        auto *w = qobject_cast<RecordWindow *>(windows().existing("frmMisc"));
        QVERIFY(w);
        QVERIFY(settled(w));
        QTest::keyClicks(w->findChild<QPlainTextEdit *>("txtNote"), "first");

        // Find Entries lists d1 and d2 before the logbook is held up.
        auto *list = windows().show<logbook::frmLogbookList>();
        list->cmbKind->setCurrentIndex(list->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 2, 20000);
        QTRY_VERIFY(!list->model()->isBusy());
        const int older = list->model()->rowOfKey(
            blocker.sql("SELECT \"BravikKey\" FROM \"Miscellaneous\" WHERE \"Date/Time\" = 'd1'").toLongLong());
        QVERIFY(older >= 0);
        auto enterOnOlder = [&] {
            list->grdEntries->setFocus();
            list->grdEntries->setCurrentIndex(list->model()->index(older, 0));
            QTest::keyClick(list->grdEntries, Qt::Key_Return);
        };

        blocker.hold();
        if (openFirst)
            enterOnOlder();
        submitLogEntry("Miscellaneous", "t2", "Ben");
        if (!openFirst)
            enterOnOlder();
        QTRY_VERIFY_WITH_TIMEOUT(waitingLine(w)->isVisible(), 5000);
        blocker.release();
        QVERIFY(test::waitForLogbook(30000));
        QVERIFY2(m_window->seams.messages->texts.isEmpty(), qPrintable(m_window->seams.messages->texts.join('|')));

        // The window shows what was asked last; d1 is untouched.
        auto *time = w->findChild<QLineEdit *>("txtTime");
        auto *by = w->findChild<QLineEdit *>("txtSubmittedBy");
        QCOMPARE(time->text(), openFirst ? QStringLiteral("t2") : QStringLiteral("d1"));
        QCOMPARE(by->text(), openFirst ? QStringLiteral("Ben") : QStringLiteral("Ada"));
        QTest::mouseClick(w->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!windows().existing("frmMisc"), 20000);
        auto rows = [&blocker](const QString &where) {
            return blocker.sql(QStringLiteral("SELECT COUNT(*) FROM \"Miscellaneous\" WHERE ") + where).toInt();
        };
        QCOMPARE(rows("\"Date/Time\" = 'd1' AND \"SubmittedBy\" = 'Ada' AND \"RowVersion\" = 1"), 1);
        QCOMPARE(rows("\"Date/Time\" = 't1' AND \"SubmittedBy\" = 'Ada' AND \"Note\" = 'first'"), 1);
        QCOMPARE(rows("\"Date/Time\" = 't2' AND \"SubmittedBy\" = 'Ben'"), 1);
        QCOMPARE(rows("1 = 1"), 4);
        windows().reset();
    }
};

QTEST_MAIN(TestLogbookWait)
#include "tst_logbookwait.moc"
