#pragma once

// Shared by the GPS tests: sample sentences, a free port, and
// bravik-gps-sim as a child process.

#include <QByteArray>
#include <QStringList>

#ifdef BRAVIK_GPS_SIM
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#endif

namespace bravik::test::gps {

// 36 48.1234 N, 121 47.5678 W, and a second fix 50 00.0000 S, 001 30.0000 E.
inline const QByteArray example = "$GPGLL,3648.1234,N,12147.5678,W,225444,A*39\r\n";
inline const QStringList exampleTexts{"36", "48.1234", "N", "121", "47.5678", "W"};
inline const QByteArray second = "$GPGLL,5000.0000,S,00130.0000,E,010203,A*30\r\n";
inline const QStringList secondTexts{"50", "00.0000", "S", "001", "30.0000", "E"};
inline const QByteArray otherText = "$GPGGA,225444,3648.1234,N,12147.5678,W,1,08,0.9,0.0,M,,,,*03\r\n"
                                    "$GPRMC,225444,A,3648.1234,N,12147.5678,W,0.5,054.7,081226,,,A*6F\r\n";

#ifdef BRAVIK_GPS_SIM
// A port nobody listens on (taken from the system, then let go).
inline quint16 freePort()
{
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, 0) ? s.serverPort() : 0;
}

class Simulator
{
public:
    explicit Simulator(const QStringList &args)
    {
        m_proc.start(QStringLiteral(BRAVIK_GPS_SIM), args);
    }
    ~Simulator() { stop(); }

    // The port from the first output line; 0 when the simulator did not start.
    quint16 waitForPort()
    {
        if (!m_proc.waitForStarted(5000))
            return 0;
        QElapsedTimer t;
        t.start();
        while (!m_proc.canReadLine() && t.elapsed() < 10000)
            m_proc.waitForReadyRead(500);
        const QByteArray line = m_proc.readLine().trimmed();
        return quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
    }
    void stop()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }

private:
    QProcess m_proc;
};
#endif

} // namespace bravik::test::gps
