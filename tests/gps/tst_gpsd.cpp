// The weather window on a real gpsd: gpsfake (Debian's gpsd-clients) starts
// gpsd on a free loopback port and replays a short log of a multi-system
// receiver ($GNGLL) into it.  gpsd is stopped mid-way and started again.
// Skipped with a message when gpsfake is not installed.
#include "FieldLogWindows.h"
#include "GpsFeed.h"
#include "GpsLink.h"
#include "GpsTestSupport.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

using namespace bravik;
using namespace bravik::test::gps;

namespace {

const QString logFile = QStringLiteral(BRAVIK_GPS_TEST_DATA "/gngll.log");

// gpsfake and the gpsd it starts, in a process group of their own so both
// go together, however the test ends.
class GpsFake
{
public:
    explicit GpsFake(quint16 port)
        : m_port(port)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // gpsd lives in sbin, which an ordinary user's PATH may lack.
        env.insert(QStringLiteral("PATH"), env.value(QStringLiteral("PATH")) + QStringLiteral(":/usr/sbin:/sbin"));
        m_proc.setProcessEnvironment(env);
        m_proc.setChildProcessModifier([] { ::setpgid(0, 0); });
        m_proc.setProcessChannelMode(QProcess::MergedChannels);
        // -n: gpsd reads the log at once; -c: 0.1 s between sentences, so
        // the log lasts a few seconds and repeats; -W: gpsd gives up by
        // itself if it is forgotten.
        m_proc.start(QStringLiteral("gpsfake"), {QStringLiteral("-q"), QStringLiteral("-n"), QStringLiteral("-c"),
                                                 QStringLiteral("0.1"), QStringLiteral("-W"), QStringLiteral("60"),
                                                 QStringLiteral("-P"), QString::number(port), logFile});
    }
    ~GpsFake() { stop(); }

    // gpsd answers on the port.
    bool waitListening()
    {
        if (!m_proc.waitForStarted(10000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000 && m_proc.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), m_port);
            if (probe.waitForConnected(500))
                return true;
            QTest::qWait(200);
        }
        return false;
    }
    QByteArray output() { return m_proc.readAll(); }

    void stop()
    {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        const pid_t group = pid_t(m_proc.processId());
        ::kill(-group, SIGTERM);
        if (!m_proc.waitForFinished(5000)) {
            ::kill(-group, SIGKILL);
            m_proc.waitForFinished(5000);
        }
        // gpsd itself, should it outlive gpsfake.
        ::kill(-group, SIGKILL);
    }

private:
    quint16 m_port;
    QProcess m_proc;
};

QStringList positionTexts(frmWeatherObservation *w)
{
    return {w->txtLatitudeInt->text(), w->txtLatitudeMinutes->text(), w->cmbNS->currentText(),
            w->txtLongitudeInt->text(), w->txtLongitudeMinutes->text(), w->cmbEW->currentText()};
}

} // namespace

class TstGpsd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gpsfake")).isEmpty())
            QSKIP("gpsfake is not installed (Debian packages gpsd and gpsd-clients): the gpsd source is not tried");
        QVERIFY(QFileInfo::exists(logFile));
    }
    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList(), test::WindowTest::Unload);
    }
    void cleanup() { m_window.reset(); }

    void weatherWindowOnGpsd();

private:
    std::optional<test::WindowTest> m_window;
};

void TstGpsd::weatherWindowOnGpsd()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    auto fake = std::make_unique<GpsFake>(port);
    QVERIFY2(fake->waitListening(), fake->output().constData());

    Settings s = settings();
    s.gpsSource = Settings::GpsSource::Gpsd;
    s.gpsHost = QStringLiteral("127.0.0.1");
    s.gpsPort = port;
    setSettings(s);

    auto *w = windows().show<frmWeatherObservation>();
    QVERIFY(w);
    QTRY_VERIFY_WITH_TIMEOUT(w->isOpen(), 20000);
    QVERIFY(w->beginNewRow());
    QVERIFY(test::waitForLogbook());
    QTest::keyClicks(w->txtSubmittedBy, "Ada");
    gps::GpsFeed *feed = w->gps()->feed();
    feed->setRetryInterval(300);
    const QString source = QStringLiteral("gpsd at 127.0.0.1:%1").arg(port);
    QTRY_VERIFY_WITH_TIMEOUT(w->lblGpsStatus->text().startsWith(QStringLiteral("GPS: connected to %1, fix ").arg(source)),
                             30000);
    // Only the receiver's sentences are in the buffer, none of gpsd's JSON.
    QVERIFY(feed->buffer().text().contains(QLatin1String("$GNGLL,")));
    QVERIFY(!feed->buffer().text().contains(u'{'));

    QTest::mouseClick(w->cmdGetFix, Qt::LeftButton);
    QCOMPARE(m_window->seams.messages->texts, QStringList());
    QCOMPARE(positionTexts(w), exampleTexts);

    // gpsd stops: the line says so; the window carries on.
    fake->stop();
    QTRY_VERIFY_WITH_TIMEOUT(w->lblGpsStatus->text().startsWith(QStringLiteral("GPS: no connection to %1").arg(source)),
                             15000);
    QTest::keyClicks(w->txtWindSpeed, "14");
    w->txtLatitudeInt->clear();
    // What arrived before gpsd went is still used; with nothing, the
    // message, and the boxes stay.
    const bool held = feed->buffer().fix().has_value();
    QTest::mouseClick(w->cmdGetFix, Qt::LeftButton);
    if (held) {
        QCOMPARE(m_window->seams.messages->texts, QStringList());
        QCOMPARE(positionTexts(w), exampleTexts);
    } else {
        QCOMPARE(m_window->seams.messages->texts,
                 QStringList{QStringLiteral("GPS string not available, enter position manually.")});
        QCOMPARE(w->txtLatitudeInt->text(), QString());
    }

    // gpsd comes back on the same port: the feed finds it again by itself.
    fake = std::make_unique<GpsFake>(port);
    QVERIFY2(fake->waitListening(), fake->output().constData());
    QTRY_VERIFY_WITH_TIMEOUT(w->lblGpsStatus->text().startsWith(QStringLiteral("GPS: connected to %1, fix ").arg(source)),
                             30000);
    m_window->seams.messages->texts.clear();
    w->txtLatitudeInt->clear();
    QTest::mouseClick(w->cmdGetFix, Qt::LeftButton);
    QCOMPARE(m_window->seams.messages->texts, QStringList());
    QCOMPARE(positionTexts(w), exampleTexts);
    QCOMPARE(w->txtWindSpeed->text(), QStringLiteral("14"));

    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdQuit")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!windows().existing<frmWeatherObservation>(), 20000);
    test::flushDeletes();
    QCOMPARE(m_window->seams.messages->texts, QStringList()); // stored without a word
    fake->stop();
}

QTEST_MAIN(TstGpsd)
#include "tst_gpsd.moc"
