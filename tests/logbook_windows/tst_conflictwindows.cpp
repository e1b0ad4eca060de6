// A field changed on two computers, brought together by a merge, and
// settled in the mission window as a person does it: the line under the
// window tells of it, a click or the space bar on one of its choices
// settles it.

#include "ConflictLines.h"
#include "Database.h"
#include "LogbookCopy.h"
#include "LogbookMerge.h"
#include "RecordCursor.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestPostgres.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QLabel>
#include <QSqlQuery>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace bravik;
using bravik::logbook::RecordWindow;

class TestConflictWindows : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;
    QTemporaryDir m_dir;
    int m_boats = 0;

    // Max Depth of the one mission entry changed on this computer's
    // logbook and, on the boat laptop's copy of it, to another value; the
    // copy then merged in.
    void conflictOnMaxDepth()
    {
        const logbook::DatabaseLocation ship{settings().databaseDriver, settings().database};
        const logbook::DatabaseLocation boat{QStringLiteral("QSQLITE"), m_dir.filePath(QStringLiteral("boat-%1.sqlite").arg(++m_boats))};
        QString error;
        const auto store = [&](const logbook::DatabaseLocation &where, const QString &value, bool fresh) {
            auto db = logbook::Database::open(where, &error);
            QVERIFY2(db, qPrintable(error));
            logbook::RecordCursor c(*db, QStringLiteral("MissionData"));
            QVERIFY(c.open() && (!fresh || c.beginNew()));
            c.setValue(QStringLiteral("Max Depth"), value);
            QVERIFY2(c.save(), qPrintable(c.lastError()));
            if (where == boat)   // the change made on the laptop, at 14:02
                QVERIFY(QSqlQuery(db->connection()).exec(QStringLiteral("UPDATE \"RecordHistory\" SET \"Workstation\" = 'BOAT-LAPTOP', "
                                                                        "\"ChangedAtUtc\" = '2026-12-08T14:02:00Z'")));
        };
        store(ship, QStringLiteral("10"), true);
        QVERIFY2(logbook::copyLogbook(ship, boat, nullptr, &error), qPrintable(error));
        store(boat, QStringLiteral("25"), false);
        store(ship, QStringLiteral("20"), false);
        const auto summary = logbook::mergeLogbooks(boat, ship, &error);
        QVERIFY2(summary, qPrintable(error));
        QCOMPARE(summary->text(), QStringLiteral("0 new entries, 1 changed, 1 conflict, nothing removed"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
        QVERIFY(m_dir.isValid());
    }

    void init() { m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")}); }
    void cleanup() { m_window.reset(); }

    void settles_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("byKeyboard");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("history");   // the entry's history rows: its two changes, and the settling one's
        QTest::newRow("keep the other value, clicked") << "cmdKeepOther" << false << "25" << 3;
        QTest::newRow("keep this computer's value, space bar") << "cmdKeepHere" << true << "20" << 2;
    }
    void settles()
    {
        QFETCH(QString, choice);
        QFETCH(bool, byKeyboard);
        QFETCH(QString, value);
        QFETCH(int, history);
        conflictOnMaxDepth();
        auto *w = qobject_cast<RecordWindow *>(windows().show(QStringLiteral("frmMission")));
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        auto *lines = w->conflictLines();
        QTRY_VERIFY(lines->isVisible());
        auto *line = lines->findChild<QLabel *>(QStringLiteral("lblConflict"));
        QVERIFY(line);
        QCOMPARE(line->text(), QStringLiteral("Changed on two computers: Max Depth is 20 here, 25 from BOAT-LAPTOP at "
                                              "2026-12-08 14:02 UTC"));
        QVERIFY(w->rect().contains(lines->geometry()));
        auto *button = lines->findChild<QPushButton *>(choice);
        QVERIFY(button);
        if (byKeyboard) {
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, Qt::Key_Space);
        } else {
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QVERIFY(test::waitForLogbook());
        QTRY_VERIFY(!lines->isVisible());
        QCOMPARE(w->findChild<QLineEdit *>(QStringLiteral("txtMaxDepth"))->text(), value);
        auto &probe = m_window->probe;
        QCOMPARE(probe.field(QStringLiteral("MissionData"), QStringLiteral("Max Depth")).toString(), value);
        QCOMPARE(probe.count(QStringLiteral("RecordHistory")), history);
        QCOMPARE(probe.sql(QStringLiteral("SELECT COUNT(*) FROM \"MergeConflict\" WHERE COALESCE(\"SettledAtUtc\", '') = ''")).toInt(), 0);
        QCOMPARE(probe.sql(QStringLiteral("SELECT \"SettledOn\" FROM \"MergeConflict\"")).toString(),
                 logbook::RecordCursor::thisWorkstation());
    }
};

QTEST_MAIN(TestConflictWindows)
#include "tst_conflictwindows.moc"
