// The serial source over real pseudo-terminals: socat makes one and passes
// on what the test writes to it, piece by piece; the simulator makes one
// with --pty.  Every wait has a limit; skipped with a message without socat.
#include "GpsFeed.h"
#include "GpsTestSupport.h"
#include "Nmea.h"

#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace bravik::gps;
using namespace bravik::test::gps;

namespace {

// socat reading its standard input into a new pseudo-terminal whose path
// is `link`.
class PtyWriter
{
public:
    explicit PtyWriter(const QString &link)
        : m_link(link)
    {
        m_proc.start(QStringLiteral("socat"),
                     {QStringLiteral("-u"), QStringLiteral("STDIN"), QStringLiteral("PTY,link=%1,rawer").arg(link)});
    }
    ~PtyWriter() { stop(); }
    bool waitReady()
    {
        if (!m_proc.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(m_link) && t.elapsed() < 10000)
            QTest::qWait(20);
        return QFileInfo::exists(m_link);
    }
    void write(const QByteArray &data) { m_proc.write(data); }
    // The far end goes, as a receiver unplugged.
    void stop()
    {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        m_proc.kill();
        m_proc.waitForFinished(5000);
    }

private:
    QString m_link;
    QProcess m_proc;
};

} // namespace

class TstGpsSerial : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void splitSentence_data();
    void splitSentence();
    void silentUnpluggedAndBack();
    void noSuchDevice();
    void simulatorPty();

private:
    QTemporaryDir m_dir;
};

void TstGpsSerial::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        QSKIP("socat is not installed (Debian package socat): the serial source is not tried over a pseudo-terminal");
    QVERIFY(m_dir.isValid());
}

void TstGpsSerial::splitSentence_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("4800") << 4800;
    QTest::newRow("115200") << 115200;
}

void TstGpsSerial::splitSentence()
{
    QFETCH(int, baud);
    const QString link = m_dir.filePath(QStringLiteral("gps-%1").arg(baud));
    PtyWriter receiver(link);
    QVERIFY(receiver.waitReady());

    GpsFeed feed;
    feed.setRetryInterval(0);
    feed.open(SourceSpec::serial(link, baud));
    QCOMPARE(feed.state(), LinkState::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(feed.state(), LinkState::Connected, 10000);
    auto *port = qobject_cast<SerialSource *>(feed.source())->port();
    QCOMPARE(port->baudRate(), baud);
    QCOMPARE(port->dataBits(), QSerialPort::Data8);
    QCOMPARE(port->parity(), QSerialPort::NoParity);
    QCOMPARE(port->stopBits(), QSerialPort::OneStop);

    // A multi-system receiver's sentences; the GLL is cut in two, the
    // second half written only once the first has been read.
    const QByteArray gll = makeGll(36.8020567, -121.7927967, QTime(1, 2, 3), "GN");
    const QByteArray gga = makeGga(36.8020567, -121.7927967, QTime(1, 2, 3), "GN");
    QSignalSpy reads(&feed, &GpsFeed::received);
    receiver.write(gga + gll.left(25));
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().text().endsWith(QString::fromLatin1(gll.left(25))), 10000);
    const int readsBefore = int(reads.size());
    QVERIFY(!feed.buffer().fix());
    receiver.write(gll.mid(25));
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 10000);
    QVERIFY(reads.size() > readsBefore);
    QCOMPARE(feed.buffer().fix()->latitudeMinutes, QStringLiteral("48.1234"));
    QCOMPARE(feed.buffer().fix()->ew, QStringLiteral("W"));
    QVERIFY2(feed.status().startsWith(QStringLiteral("GPS: connected to %1, fix ").arg(link)), qPrintable(feed.status()));
}

void TstGpsSerial::silentUnpluggedAndBack()
{
    const QString link = m_dir.filePath(QStringLiteral("gps-unplug"));
    auto receiver = std::make_unique<PtyWriter>(link);
    QVERIFY(receiver->waitReady());
    GpsFeed feed;
    feed.setRetryInterval(200);
    feed.open(SourceSpec::serial(link));
    QTRY_COMPARE_WITH_TIMEOUT(feed.state(), LinkState::Connected, 10000);
    // Open, but the receiver says nothing (wrong port, receiver off).
    QTRY_COMPARE_WITH_TIMEOUT(feed.status(), QStringLiteral("GPS: no data from %1").arg(link), 10000);
    receiver->write(example);
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 10000);

    // Unplugged: said in the line, the buffer kept; the feed tries again
    // and finds no device for now.
    // (The line may pass through other words on the way, on a busy
    // machine; what it said is kept.)
    QStringList said;
    const QMetaObject::Connection watching =
        connect(&feed, &GpsFeed::statusChanged, this, [&] { said << feed.status(); });
    receiver.reset();
    const QString unplugged = QStringLiteral("GPS: cannot open %1 (no such device), last fix ").arg(link);
    auto saidUnplugged = [&] {
        for (const QString &s : said)
            if (s.startsWith(unplugged))
                return true;
        return false;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(saidUnplugged(), qPrintable(said.join(QLatin1Char('\n'))), 10000);
    disconnect(watching);
    QVERIFY(feed.buffer().fix().has_value());

    // Plugged in again: the feed finds it by itself.
    receiver = std::make_unique<PtyWriter>(link);
    QVERIFY(receiver->waitReady());
    QTRY_COMPARE_WITH_TIMEOUT(feed.state(), LinkState::Connected, 10000);
    feed.takeFix(GpsFeed::AfterFix::EmptyBuffer);
    // A receiver sends its sentences again and again; the first may land
    // before the port has dropped what was waiting in it.
    for (int i = 0; i < 100 && !feed.buffer().fix(); ++i) {
        receiver->write(second);
        QTest::qWait(100);
    }
    QVERIFY(feed.buffer().fix().has_value());
    QCOMPARE(feed.buffer().fix()->ns, QStringLiteral("S"));
}

void TstGpsSerial::noSuchDevice()
{
    const QString missing = m_dir.filePath(QStringLiteral("no-receiver"));
    GpsFeed feed;
    feed.setRetryInterval(100);
    QSignalSpy statuses(&feed, &GpsFeed::statusChanged);
    feed.open(SourceSpec::serial(missing));
    QTRY_COMPARE_WITH_TIMEOUT(feed.status(), QStringLiteral("GPS: cannot open %1 (no such device)").arg(missing), 10000);
    // It keeps trying, and each attempt comes back the same way.
    QTRY_VERIFY_WITH_TIMEOUT(statuses.count(QList<QVariant>{feed.status()}) >= 3, 10000);
    feed.close();
    QCOMPARE(feed.status(), QStringLiteral("GPS: closed"));
}

void TstGpsSerial::simulatorPty()
{
    QProcess sim;
    sim.start(QStringLiteral(BRAVIK_GPS_SIM), {"--pty", "--talker", "GN", "--rate", "20"});
    const auto stop = qScopeGuard([&] {
        sim.kill();
        sim.waitForFinished(5000);
    });
    QVERIFY(sim.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
    const QByteArray line = sim.readLine().trimmed();
    QVERIFY2(line.startsWith("bravik-gps-sim writing to /dev/"), line.constData());
    const QString device = QString::fromLocal8Bit(line.mid(line.lastIndexOf(' ') + 1));

    GpsFeed feed;
    feed.open(SourceSpec::serial(device, 115200));
    QTRY_VERIFY_WITH_TIMEOUT(feed.buffer().fix().has_value(), 10000);
    QVERIFY(feed.buffer().text().contains(QLatin1String("$GNGLL,")));
    QVERIFY(!feed.buffer().text().contains(QLatin1String("$GP")));
    // The simulator's position drifts slowly from its start; a busy
    // machine may open the port a little late.
    QCOMPARE(feed.buffer().fix()->latitudeInt, QStringLiteral("36"));
    QVERIFY2(feed.buffer().fix()->latitudeMinutes.startsWith(QLatin1String("48.12")),
             qPrintable(feed.buffer().fix()->latitudeMinutes));

    // Only one program can have a serial port: a second feed is refused
    // while the first has it ...
    GpsFeed narrowed(nullptr, *Talkers::fromNames({"GP"}));
    narrowed.setRetryInterval(200);
    narrowed.open(SourceSpec::serial(device, 115200));
    QTRY_COMPARE_WITH_TIMEOUT(narrowed.state(), LinkState::Down, 10000);
    QVERIFY2(narrowed.status().startsWith(QStringLiteral("GPS: cannot open %1 (").arg(device)),
             qPrintable(narrowed.status()));
    // ... and takes it once the first lets go; with a list without GN it
    // finds nothing in the same stream.
    feed.close();
    QTRY_VERIFY_WITH_TIMEOUT(narrowed.buffer().size() > 500, 10000);
    QVERIFY(!narrowed.buffer().fix());

    sim.kill();
    sim.waitForFinished(5000);
    QTRY_COMPARE_WITH_TIMEOUT(narrowed.state(), LinkState::Down, 10000);
}

QTEST_GUILESS_MAIN(TstGpsSerial)
#include "tst_gpsserial.moc"
