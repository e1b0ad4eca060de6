// A PostgreSQL server that goes away in the middle of an edit and comes
// back: the server's message is shown, nothing typed is lost, and the row
// is stored once the server is back.  The server is the test's own.
#include "Database.h"
#include "RecordCursor.h"
#include "RecordFront.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TempServer.h"
#include "TestDoubles.h"
#include "WindowManager.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using namespace bravik;
using namespace bravik::logbook;

namespace {

// What the server or libpq says when the server is stopped under a
// connection, or when it cannot be reached.
bool isServerGoneMessage(const QString &m)
{
    return m.contains(QLatin1String("terminating connection due to administrator command"))
           || m.contains(QLatin1String("server closed the connection unexpectedly"))
           || m.contains(QLatin1String("No such file or directory"))
           || m.contains(QLatin1String("no connection to the server"));
}

} // namespace

class PostgresServerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempServer> m_server;

    QString storedNotes()
    {
        auto db = Database::open({QStringLiteral("QPSQL"), m_server->location()}, nullptr);
        if (!db)
            return QStringLiteral("(cannot open)");
        QSqlQuery q(db->connection());
        QStringList notes;
        q.exec(QStringLiteral("SELECT \"Note\" FROM \"Miscellaneous\" ORDER BY \"BravikKey\""));
        while (q.next())
            notes << q.value(0).toString();
        return notes.join(QLatin1Char('|'));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSKIP("PostgreSQL cases skipped: Qt's QPSQL driver is not installed (libqt6sql6-psql)");
        m_server = std::make_unique<test::TempServer>();
        if (!m_server->isValid())
            QSKIP(qPrintable(QStringLiteral("PostgreSQL cases skipped: %1").arg(m_server->error())));
    }

    void init()
    {
        QVERIFY(m_server->start() || m_server->error().contains(QLatin1String("another server")));
        auto db = Database::open({QStringLiteral("QPSQL"), m_server->location()}, nullptr);
        QVERIFY(db);
        QVERIFY(QSqlQuery(db->connection()).exec(QStringLiteral("DELETE FROM \"Miscellaneous\"")));
    }

    // The cursor: a failed save keeps the row; the next save after the
    // restart opens a new connection by itself and stores it.
    void cursorKeepsRowWhileServerIsAway()
    {
        auto db = Database::open({QStringLiteral("QPSQL"), m_server->location()}, nullptr);
        QVERIFY(db);
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QSignalSpy failed(&cursor, &RecordCursor::failed);
        QVERIFY(cursor.open());
        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("before"));
        QVERIFY(cursor.save());

        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("typed while away"));
        QVERIFY(m_server->stop());
        QVERIFY(!cursor.moveFirst());
        QCOMPARE(failed.count(), 1);
        QVERIFY2(isServerGoneMessage(cursor.lastError()), qPrintable(cursor.lastError()));
        QVERIFY(cursor.isNewRow());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("typed while away"));

        QVERIFY(!cursor.save());   // still away: refused again, still kept
        QCOMPARE(failed.count(), 2);
        QVERIFY(cursor.isChanged());

        QVERIFY(m_server->start());
        QVERIFY2(cursor.save(), qPrintable(cursor.lastError()));
        QVERIFY(!cursor.isNewRow());
        QCOMPARE(storedNotes(), QStringLiteral("before|typed while away"));

        // Moves work again on the new connection.
        QVERIFY(cursor.moveFirst());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("before"));
        QVERIFY(cursor.moveNext());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("typed while away"));
    }

    // A restart between two moves (the connection broke while idle) is
    // not even noticed: the cursor reconnects and the move happens.
    void restartWhileIdleIsBridged()
    {
        auto db = Database::open({QStringLiteral("QPSQL"), m_server->location()}, nullptr);
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QSignalSpy failed(&cursor, &RecordCursor::failed);
        QVERIFY(cursor.open());
        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("one"));
        QVERIFY(cursor.save());
        QVERIFY(m_server->stop());
        QVERIFY(m_server->start());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("one, edited"));
        QVERIFY2(cursor.moveFirst(), qPrintable(cursor.lastError()));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(storedNotes(), QStringLiteral("one, edited"));
    }

    // The same through a record window, as the crew sees it.
    void windowShowsMessageAndStoresAfterRestart_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::newRow("shut down") << "fast";
        QTest::newRow("power lost") << "immediate";
    }

    void windowShowsMessageAndStoresAfterRestart()
    {
        QFETCH(QString, stop);
        test::TempSettings temp;
        test::Seams seams;
        Settings s = settings();
        s.databaseDriver = QStringLiteral("QPSQL");
        s.database = m_server->location();
        setSettings(s);
        windows().reset();
        logbook::registerWindows();
        windows().registerWindow(QStringLiteral("frmLogMain"), [] { return new ManagedWindow; });

        auto *w = qobject_cast<RecordWindow *>(windows().show(QStringLiteral("frmMisc")));
        QVERIFY(w);
        QTRY_VERIFY_WITH_TIMEOUT(w->isOpen(), 20000);
        QVERIFY(w->moveLast());
        QVERIFY(w->beginNewRow());
        QVERIFY(test::waitForLogbook());
        w->findChild<QLineEdit *>(QStringLiteral("txtTime"))->setText(QStringLiteral("7/29/2003 8:23:40 PM"));
        w->findChild<QLineEdit *>(QStringLiteral("txtSubmittedBy"))->setText(QStringLiteral("Ana"));
        QTest::keyClicks(w->findChild<QPlainTextEdit *>(QStringLiteral("txtNote")), QStringLiteral("winch noisy"));

        QVERIFY(m_server->stop(stop));
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdQuit")), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(seams.messages->texts.size(), 1, 20000);
        QVERIFY2(isServerGoneMessage(seams.messages->texts.first()), qPrintable(seams.messages->texts.first()));
        // The server's words only: no empty brackets where its error code
        // would stand.
        QVERIFY2(!seams.messages->texts.first().contains(QLatin1String("()")), qPrintable(seams.messages->texts.first()));
        QVERIFY(windows().existing(QStringLiteral("frmMisc")));
        QCOMPARE(w->findChild<QPlainTextEdit *>(QStringLiteral("txtNote"))->toPlainText(), QStringLiteral("winch noisy"));

        QVERIFY(m_server->start());
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdQuit")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(QStringLiteral("frmMisc")), 20000);
        test::flushDeletes();
        QCOMPARE(seams.messages->texts.size(), 1);
        QCOMPARE(storedNotes(), QStringLiteral("winch noisy"));
        windows().reset();
    }
};

QTEST_MAIN(PostgresServerTest)
#include "tst_postgres_server.moc"
