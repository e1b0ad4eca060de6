// A store refused on "Return to Main" keeps the weather or mission window
// open with its entry; its GPS link must stay with it, so "Get GPS Data"
// still takes new sentences.  On SQLite and on PostgreSQL.
#include "FieldLogWindows.h"
#include "GpsFeed.h"
#include "GpsLink.h"
#include "GpsTestSupport.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace bravik;
using namespace bravik::test::gps;

namespace {

gps::GpsFeed *feedOf(QWidget *w)
{
    if (auto *weather = qobject_cast<frmWeatherObservation *>(w))
        return weather->gps()->feed();
    return qobject_cast<frmMission *>(w)->gps()->feed();
}

QWidget *child(QWidget *w, const char *name)
{
    return w->findChild<QWidget *>(QString::fromLatin1(name));
}

} // namespace

class TstGpsLinkStays : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }
    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")},
                         test::WindowTest::Unload);
    }
    void cleanup() { m_window.reset(); }

    void refusedStoreKeepsTheLink_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QByteArray>("typedInto");
        QTest::newRow("weather") << "frmWeatherObservation" << "WeatherObservation" << QByteArray("txtWindSpeed");
        QTest::newRow("mission") << "frmMission" << "MissionData" << QByteArray("txtDataDirectory");
    }

    void refusedStoreKeepsTheLink()
    {
        QFETCH(QString, window);
        QFETCH(QString, table);
        QFETCH(QByteArray, typedInto);

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QList<QPointer<QTcpSocket>> peers;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = server.nextPendingConnection())
                peers << s;
        });
        Settings s = settings();
        s.gpsHost = QStringLiteral("127.0.0.1");
        s.gpsPort = server.serverPort();
        setSettings(s);

        // A new entry, typed in.
        auto *w = qobject_cast<logbook::RecordWindow *>(windows().show(window));
        QVERIFY(w);
        QTRY_VERIFY_WITH_TIMEOUT(w->isOpen(), 20000);
        QVERIFY(w->beginNewRow());
        QVERIFY(test::waitForLogbook());
        QTest::keyClicks(child(w, "txtSubmittedBy"), "Ada");
        QTest::keyClicks(child(w, typedInto.constData()), "12");
        QTRY_COMPARE_WITH_TIMEOUT(peers.size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(feedOf(w)->state(), gps::LinkState::Connected, 10000);

        // The table goes away under the program: the store is refused and
        // the window stays with the entry.
        m_window->probe.sql(QStringLiteral("DROP TABLE \"%1\"").arg(table));
        QTest::mouseClick(qobject_cast<QPushButton *>(child(w, "cmdQuit")), Qt::LeftButton);
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 1);
        test::flushDeletes();
        QCOMPARE(windows().existing(window), w);
        QCOMPARE(qobject_cast<QLineEdit *>(child(w, typedInto.constData()))->text(), QStringLiteral("12"));

        // Its link is still up: the server's client stays connected and a
        // sentence sent now is what "Get GPS Data" takes.
        QCOMPARE(feedOf(w)->state(), gps::LinkState::Connected);
        QTest::qWait(200);
        QVERIFY(peers.first() && peers.first()->state() == QAbstractSocket::ConnectedState);
        QCOMPARE(peers.size(), 1);
        peers.first()->write(second);
        QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->buffer().fix().has_value(), 10000);
        QTest::mouseClick(qobject_cast<QPushButton *>(child(w, "cmdGetFix")), Qt::LeftButton);
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QCOMPARE(qobject_cast<QLineEdit *>(child(w, "txtLatitudeInt"))->text(), QStringLiteral("50"));
        QCOMPARE(qobject_cast<QComboBox *>(child(w, "cmbNS"))->currentText(), QStringLiteral("S"));

        // The second "Return to Main" lets the window go, and the link with it.
        QPointer<QTcpSocket> peer = peers.first();
        QTest::mouseClick(qobject_cast<QPushButton *>(child(w, "cmdQuit")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(window), 20000);
        test::flushDeletes();
        QTRY_VERIFY_WITH_TIMEOUT(!peer || peer->state() != QAbstractSocket::ConnectedState, 10000);
    }

private:
    std::optional<test::WindowTest> m_window;
};

QTEST_MAIN(TstGpsLinkStays)
#include "tst_gpslinkstays.moc"
