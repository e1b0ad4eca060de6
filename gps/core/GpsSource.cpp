#include "GpsSource.h"

#include "Nmea.h"

#include <QSerialPort>
#include <QTcpSocket>

namespace bravik::gps {

SourceSpec SourceSpec::tcp(const QString &host, quint16 port)
{
    SourceSpec s;
    s.kind = Kind::Tcp;
    s.host = host;
    s.port = port;
    return s;
}

SourceSpec SourceSpec::gpsd(const QString &host, quint16 port)
{
    SourceSpec s = tcp(host, port);
    s.kind = Kind::Gpsd;
    return s;
}

SourceSpec SourceSpec::serial(const QString &device, qint32 baud)
{
    SourceSpec s;
    s.kind = Kind::Serial;
    s.device = device;
    s.baud = baud;
    return s;
}

QString SourceSpec::describe() const
{
    // An IPv6 address is bracketed so the port stands apart from it.
    const QString where = (host.contains(u':') ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(host).arg(port);
    switch (kind) {
    case Kind::Tcp:
        return where;
    case Kind::Gpsd:
        return QStringLiteral("gpsd at %1").arg(where);
    case Kind::Serial:
        return device;
    }
    return where;
}

std::unique_ptr<SentenceSource> makeSource(const SourceSpec &where, QObject *parent)
{
    switch (where.kind) {
    case SourceSpec::Kind::Gpsd:
        return std::make_unique<GpsdSource>(where.host, where.port, parent);
    case SourceSpec::Kind::Serial:
        return std::make_unique<SerialSource>(where.device, where.baud, parent);
    case SourceSpec::Kind::Tcp:
        break;
    }
    return std::make_unique<TcpSource>(where.host, where.port, parent);
}

// --- TCP ---------------------------------------------------------------------

TcpSource::TcpSource(const QString &host, quint16 port, QObject *parent)
    : SentenceSource(parent)
    , m_socket(new QTcpSocket(this))
    , m_host(host)
    , m_port(port)
{
    m_socket->setObjectName(QStringLiteral("winsockGPS"));
    // A flooding server cannot pile up more than this between two reads.
    m_socket->setReadBufferSize(64 * 1024);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray data = m_socket->readAll();
        if (m_open && !data.isEmpty())
            onData(data);
    });
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        if (m_open)
            onConnected();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpSource::onLost);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        // A refused or failed connect reports an error without a disconnect.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            onLost();
    });
}

TcpSource::~TcpSource()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void TcpSource::open()
{
    m_open = false; // the abort below is not a loss
    m_socket->abort();
    m_open = true;
    m_socket->connectToHost(m_host, m_port, m_mode);
}

void TcpSource::close()
{
    m_open = false;
    m_socket->abort();
}

void TcpSource::onConnected()
{
    emit opened();
}

void TcpSource::onData(const QByteArray &data)
{
    emit received(data);
}

void TcpSource::onLost()
{
    if (!m_open)
        return;
    // Whatever is still readable arrived before the loss.
    if (m_socket->bytesAvailable() > 0) {
        const QByteArray rest = m_socket->readAll();
        onData(rest);
    }
    m_open = false; // one loss per open
    emit lost(QString());
}

// --- gpsd --------------------------------------------------------------------

GpsdSource::GpsdSource(const QString &host, quint16 port, QObject *parent)
    : TcpSource(host, port, parent)
{
    // gpsd is asked for its sentences; the sentence server is never sent
    // anything.
    m_mode = QIODevice::ReadWrite;
}

void GpsdSource::onConnected()
{
    m_filter.reset();
    m_socket->write(watchRequest());
    emit opened();
}

void GpsdSource::onData(const QByteArray &data)
{
    const QByteArray sentences = m_filter.take(data);
    if (!sentences.isEmpty())
        emit received(sentences);
}

QByteArray SentenceLineFilter::take(QByteArrayView data)
{
    // The decision is taken at a line's first character, so a line cut
    // across receives is handled like a whole one.
    QByteArray out;
    out.reserve(data.size());
    for (char c : data) {
        if (c == '\r' || c == '\n') {
            if (m_passing)
                out += c;
            m_atLineStart = true;
            continue;
        }
        if (m_atLineStart) {
            m_passing = c == '$';
            m_atLineStart = false;
        }
        if (m_passing)
            out += c;
    }
    return out;
}

// --- serial ------------------------------------------------------------------

namespace {

QString problemText(QSerialPort *port)
{
    switch (port->error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no such device");
    case QSerialPort::PermissionError:
        return QStringLiteral("permission denied or in use");
    default:
        break;
    }
    QString text = port->errorString();
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

} // namespace

SerialSource::SerialSource(const QString &device, qint32 baud, QObject *parent)
    : SentenceSource(parent)
    , m_port(new QSerialPort(this))
    , m_baud(baud)
{
    m_port->setObjectName(QStringLiteral("serialGPS"));
    m_port->setPortName(device);
    m_port->setReadBufferSize(64 * 1024);
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        const QByteArray data = m_port->readAll();
        if (m_open && !data.isEmpty())
            emit received(data);
    });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Unplugged (or the far end of a pseudo-terminal gone): like a
        // server that went away.
        if (!m_open || e == QSerialPort::NoError || !m_port->isOpen())
            return;
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError) {
            m_open = false;
            m_port->close();
            emit lost(QString());
        }
    });
}

SerialSource::~SerialSource()
{
    m_port->disconnect(this);
    if (m_port->isOpen())
        m_port->close();
}

void SerialSource::open()
{
    close();
    m_open = true;
    const quint64 generation = ++m_generation;
    if (!m_port->open(QIODevice::ReadOnly)) {
        fail(problemText(m_port));
        return;
    }
    if (!m_port->setBaudRate(m_baud) || !m_port->setDataBits(QSerialPort::Data8)
        || !m_port->setParity(QSerialPort::NoParity) || !m_port->setStopBits(QSerialPort::OneStop)
        || !m_port->setFlowControl(QSerialPort::NoFlowControl)) {
        const QString problem = problemText(m_port);
        m_port->close();
        fail(problem);
        return;
    }
    // What the driver held from before is old: only what arrives from now
    // on is a position.
    m_port->clear(QSerialPort::Input);
    // Told after open() returned, like the network sources.
    QMetaObject::invokeMethod(this, [this, generation] {
        if (m_open && generation == m_generation && m_port->isOpen())
            emit opened();
    }, Qt::QueuedConnection);
}

void SerialSource::fail(const QString &problem)
{
    QMetaObject::invokeMethod(this, [this, problem, generation = m_generation] {
        if (!m_open || generation != m_generation)
            return;
        m_open = false;
        emit lost(problem);
    }, Qt::QueuedConnection);
}

void SerialSource::close()
{
    m_open = false;
    if (m_port->isOpen())
        m_port->close();
}

} // namespace bravik::gps
