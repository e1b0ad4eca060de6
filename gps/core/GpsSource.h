#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <memory>

class QSerialPort;
class QTcpSocket;

namespace bravik::gps {

// Where a window's sentences come from.
struct SourceSpec
{
    enum class Kind { Tcp, Gpsd, Serial };
    static constexpr quint16 tcpPort = 3004;
    static constexpr quint16 gpsdPort = 2947;
    static constexpr qint32 serialBaud = 4800;

    Kind kind = Kind::Tcp;
    QString host = QStringLiteral("127.0.0.1"); // Tcp, Gpsd
    quint16 port = tcpPort;                     // Tcp, Gpsd
    QString device;                             // Serial: "/dev/ttyUSB0", "COM3"
    qint32 baud = serialBaud;                   // Serial

    static SourceSpec tcp(const QString &host, quint16 port = tcpPort);
    static SourceSpec gpsd(const QString &host, quint16 port = gpsdPort);
    static SourceSpec serial(const QString &device, qint32 baud = serialBaud);

    // How the status line names it: "127.0.0.1:3004", "gpsd at
    // 127.0.0.1:2947", "/dev/ttyUSB0".
    QString describe() const;
};

// One way of receiving NMEA text.  Opening and receiving are events; nothing
// here waits.  A source that cannot be opened or goes away says so with
// lost(); the feed decides when to try again.
class SentenceSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts opening and returns at once: later opened() or lost().
    virtual void open() = 0;
    // Ends quietly: no signal afterwards until the next open().
    virtual void close() = 0;

signals:
    void opened();
    // NMEA text for the sentence buffer, as it arrived.
    void received(const QByteArray &text);
    // Could not be opened, or went away.  `problem` says why in a few words
    // ("no such device", "permission denied"), or is empty when there is
    // nothing to add to "no connection".
    void lost(const QString &problem);
};

std::unique_ptr<SentenceSource> makeSource(const SourceSpec &where, QObject *parent = nullptr);

// The GPS sentence server: a TCP stream of sentences; nothing is sent.
class TcpSource : public SentenceSource
{
    Q_OBJECT
public:
    TcpSource(const QString &host, quint16 port, QObject *parent = nullptr);
    ~TcpSource() override;
    void open() override;
    void close() override;
    QTcpSocket *socket() const { return m_socket; }

protected:
    virtual void onConnected();
    virtual void onData(const QByteArray &data);
    QTcpSocket *m_socket;
    QIODevice::OpenMode m_mode = QIODevice::ReadOnly;

private:
    void onLost();
    QString m_host;
    quint16 m_port;
    bool m_open = false;
};

// Passes on the lines that begin with "$" (NMEA sentences), line ends
// included, and drops every other line (gpsd's JSON reports), however the
// text is cut into pieces.
class SentenceLineFilter
{
public:
    QByteArray take(QByteArrayView data);
    void reset() { *this = SentenceLineFilter(); }

private:
    bool m_atLineStart = true;
    bool m_passing = false;
};

// gpsd: asks for the receiver's NMEA sentences and passes on only those;
// gpsd's own JSON reports (version, devices, watch) are dropped line by line,
// however they are cut across receives.
class GpsdSource : public TcpSource
{
    Q_OBJECT
public:
    GpsdSource(const QString &host, quint16 port, QObject *parent = nullptr);
    static QByteArray watchRequest() { return QByteArrayLiteral("?WATCH={\"enable\":true,\"nmea\":true}\n"); }

protected:
    void onConnected() override;
    void onData(const QByteArray &data) override;

private:
    SentenceLineFilter m_filter;
};

// A serial receiver (USB or RS-232), 8 data bits, no parity, one stop bit.
class SerialSource : public SentenceSource
{
    Q_OBJECT
public:
    SerialSource(const QString &device, qint32 baud, QObject *parent = nullptr);
    ~SerialSource() override;
    void open() override;
    void close() override;
    QSerialPort *port() const { return m_port; }

private:
    void fail(const QString &problem);
    QSerialPort *m_port;
    qint32 m_baud;
    bool m_open = false;
    quint64 m_generation = 0; // which open() a queued report belongs to
};

} // namespace bravik::gps
