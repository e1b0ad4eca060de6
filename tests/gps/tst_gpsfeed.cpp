// The feed over real loopback TCP, against bravik-gps-sim and against
// servers that misbehave.  Nothing here may hang: every wait has a limit.
#include "GpsFeed.h"
#include "GpsTestSupport.h"
#include "Nmea.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <memory>

using namespace bravik::gps;

using namespace bravik::test::gps;

namespace {
const QString localhost = QStringLiteral("127.0.0.1");
}

class TstGpsFeed : public QObject
{
    Q_OBJECT
private slots:
    void sentencesArriveAndServerStops();
    void noServerAtAll();
    void retriesUntilServerComes();
    void severalClients();
    void closeStopsReceiving();
    void floodingServer();
    void simulatorRejectsBadOptions_data();
    void simulatorRejectsBadOptions();
};

void TstGpsFeed::sentencesArriveAndServerStops()
{
    Simulator sim({"--port", "0", "--rate", "20", "--lat", "36.8020567", "--lon", "-121.7927967"});
    const quint16 port = sim.waitForPort();
    QVERIFY(port != 0);

    GpsFeed feed;
    feed.setRetryInterval(0);
    QSignalSpy statuses(&feed, &GpsFeed::statusChanged);
    feed.open(localhost, port);
    QCOMPARE(feed.socket()->objectName(), QStringLiteral("winsockGPS"));
    QCOMPARE(feed.state(), LinkState::Connecting);

    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 10000);
    QCOMPARE(feed.state(), LinkState::Connected);
    QVERIFY2(feed.status().startsWith(QStringLiteral("GPS: connected to 127.0.0.1:%1, fix ").arg(port)),
             qPrintable(feed.status()));
    QVERIFY(!statuses.isEmpty());
    QCOMPARE(statuses.last().at(0).toString(), feed.status());

    // The first sentence is the start position.
    const auto fix = feed.takeFix(GpsFeed::AfterFix::KeepBuffer);
    QVERIFY(fix);
    QCOMPARE(fix->latitudeInt, QStringLiteral("36"));
    QCOMPARE(fix->latitudeMinutes, QStringLiteral("48.1234"));
    QCOMPARE(fix->ns, QStringLiteral("N"));
    QCOMPARE(fix->longitudeInt, QStringLiteral("121"));
    QCOMPARE(fix->longitudeMinutes, QStringLiteral("47.5678"));
    QCOMPARE(fix->ew, QStringLiteral("W"));
    // Kept: the same again.  Emptied: gone until more arrives.
    QCOMPARE(feed.takeFix(GpsFeed::AfterFix::KeepBuffer), fix);
    QCOMPARE(feed.takeFix(GpsFeed::AfterFix::EmptyBuffer), fix);
    QCOMPARE(feed.buffer().size(), 0);

    // The server goes away mid-stream: the feed says so, keeps what it
    // holds and carries on.
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 10000);
    sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(feed.state(), LinkState::Down, 10000);
    const QString expected = QStringLiteral("GPS: no connection to 127.0.0.1:%1, last fix ").arg(port);
    QVERIFY2(feed.status().startsWith(expected), qPrintable(feed.status()));
    QVERIFY(feed.takeFix(GpsFeed::AfterFix::KeepBuffer).has_value());
}

void TstGpsFeed::noServerAtAll()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    GpsFeed feed;
    feed.setRetryInterval(0);
    QElapsedTimer t;
    t.start();
    feed.open(localhost, port);
    QVERIFY2(t.elapsed() < 1000, "opening waited on the network");
    QTRY_COMPARE_WITH_TIMEOUT(feed.state(), LinkState::Down, 10000);
    QCOMPARE(feed.status(), QStringLiteral("GPS: no connection to 127.0.0.1:%1").arg(port));
    QVERIFY(!feed.takeFix(GpsFeed::AfterFix::EmptyBuffer));

    // A host name that cannot be found ends the same way.
    GpsFeed lost;
    lost.setRetryInterval(0);
    lost.open(QStringLiteral("no-such-host.invalid"), 3004);
    QTRY_COMPARE_WITH_TIMEOUT(lost.state(), LinkState::Down, 20000);
}

void TstGpsFeed::retriesUntilServerComes()
{
    const quint16 port = freePort();
    GpsFeed feed;
    feed.setRetryInterval(200);
    feed.open(localhost, port);
    QTRY_COMPARE_WITH_TIMEOUT(feed.state(), LinkState::Down, 10000);

    Simulator sim({"--port", QString::number(port), "--rate", "20"});
    QCOMPARE(sim.waitForPort(), port);
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 10000);
    QCOMPARE(feed.state(), LinkState::Connected);
}

void TstGpsFeed::severalClients()
{
    Simulator sim({"--port", "0", "--rate", "20", "--lat", "-33.5", "--lon", "151.25"});
    const quint16 port = sim.waitForPort();
    QVERIFY(port != 0);
    GpsFeed a, b;
    a.open(localhost, port);
    b.open(localhost, port);
    QTRY_VERIFY_WITH_TIMEOUT(a.buffer().fix() && b.buffer().fix(), 10000);
    QCOMPARE(a.buffer().fix()->ns, QStringLiteral("S"));
    QCOMPARE(b.buffer().fix()->longitudeInt, QStringLiteral("151"));
}

void TstGpsFeed::closeStopsReceiving()
{
    Simulator sim({"--port", "0", "--rate", "50"});
    const quint16 port = sim.waitForPort();
    GpsFeed feed;
    feed.open(localhost, port);
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().size() > 0, 10000);
    feed.close();
    QCOMPARE(feed.state(), LinkState::Closed);
    QCOMPARE(feed.status(), QStringLiteral("GPS: closed"));
    const qsizetype held = feed.buffer().size();
    QTest::qWait(300);
    QCOMPARE(feed.buffer().size(), held);
    QCOMPARE(feed.state(), LinkState::Closed); // no retry after a close
}

void TstGpsFeed::floodingServer()
{
    // A server that sends megabytes of text without line ends, then good
    // sentences.  The buffer never holds more than its limit, the event loop
    // keeps running, and the sentences after the flood are used.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const QByteArray block(256 * 1024, 'x');
    qint64 sent = 0;
    const qint64 total = 16LL * 1024 * 1024;
    QPointer<QTcpSocket> peer;
    QTimer sentences;
    connect(&sentences, &QTimer::timeout, this, [&] {
        if (peer)
            peer->write("\r\n" + makeGll(36.8020567, -121.7927967, QTime(1, 2, 3)));
    });
    connect(&server, &QTcpServer::newConnection, this, [&] {
        peer = server.nextPendingConnection();
        auto more = [&] {
            if (!peer || peer->bytesToWrite() > 0 || sent >= total)
                return;
            sent += peer->write(block);
            if (sent >= total)
                sentences.start(20);
        };
        connect(peer, &QTcpSocket::bytesWritten, peer, more);
        more();
    });

    GpsFeed feed;
    qsizetype largest = 0;
    connect(&feed, &GpsFeed::received, this, [&] { largest = std::max(largest, feed.buffer().size()); });
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
    tick.start(10);

    feed.open(localhost, server.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 30000);
    QVERIFY(sent >= total);
    QVERIFY(largest <= 10000);
    QVERIFY(feed.buffer().discards() > 0);
    QVERIFY2(ticks > 0, "the event loop starved");
    QCOMPARE(feed.buffer().fix()->latitudeMinutes, QStringLiteral("48.1234"));
}

void TstGpsFeed::simulatorRejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("port not a number") << QStringList{"--port", "abc"} << "--port needs";
    QTest::newRow("rate zero") << QStringList{"--rate", "0"} << "--rate needs";
    QTest::newRow("latitude out of range") << QStringList{"--lat", "91"} << "--lat needs";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "Unknown option 'bogus'";
    QTest::newRow("talker of three letters") << QStringList{"--talker", "GNX"} << "--talker needs";
    QTest::newRow("talker in lower case") << QStringList{"--talker", "gn"} << "--talker needs";
    QTest::newRow("host not an address") << QStringList{"--host", "bad host", "--port", "0"} << "cannot listen";
}

void TstGpsFeed::simulatorRejectsBadOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcess p;
    p.start(QStringLiteral(BRAVIK_GPS_SIM), args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
}

QTEST_GUILESS_MAIN(TstGpsFeed)
#include "tst_gpsfeed.moc"
