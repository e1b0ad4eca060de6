#include "GpsFeed.h"

#include <QTcpSocket>
#include <QTimer>

namespace bravik::gps {

namespace {

QString ageText(qint64 ms)
{
    const qint64 s = ms / 1000;
    if (s < 120)
        return QStringLiteral("%1 s").arg(s);
    if (s < 2 * 3600)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 h").arg(s / 3600);
}

} // namespace

QString statusText(LinkState state, const QString &host, quint16 port, std::optional<qint64> fixAgeMs)
{
    const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
    const QString fix = fixAgeMs ? QStringLiteral("fix %1 old").arg(ageText(*fixAgeMs)) : QString();
    switch (state) {
    case LinkState::Connected:
        return fixAgeMs ? QStringLiteral("GPS: connected, %1").arg(fix)
                        : QStringLiteral("GPS: connected, no fix yet");
    case LinkState::Connecting:
        return fixAgeMs ? QStringLiteral("GPS: connecting to %1, last %2").arg(where, fix)
                        : QStringLiteral("GPS: connecting to %1").arg(where);
    case LinkState::Down:
        return fixAgeMs ? QStringLiteral("GPS: no connection to %1, last %2").arg(where, fix)
                        : QStringLiteral("GPS: no connection to %1").arg(where);
    case LinkState::Closed:
        break;
    }
    return QStringLiteral("GPS: closed");
}

GpsFeed::GpsFeed(QObject *parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this))
    , m_retry(new QTimer(this))
    , m_tick(new QTimer(this))
{
    m_socket->setObjectName(QStringLiteral("winsockGPS"));
    // A flooding server cannot pile up more than this between two reads.
    m_socket->setReadBufferSize(64 * 1024);
    m_retry->setSingleShot(true);
    m_tick->setInterval(1000);

    connect(m_socket, &QTcpSocket::readyRead, this, &GpsFeed::onReadyRead);
    connect(m_socket, &QTcpSocket::connected, this, [this] { setState(LinkState::Connected); });
    connect(m_socket, &QTcpSocket::disconnected, this, &GpsFeed::onLost);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        // A refused or failed connect reports an error without a disconnect.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            onLost();
    });
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_state == LinkState::Down)
            open(m_host, m_port);
    });
    connect(m_tick, &QTimer::timeout, this, &GpsFeed::publish);
}

GpsFeed::~GpsFeed()
{
    // Quietly: no status to anyone while the owner is going away.
    m_socket->disconnect(this);
    m_socket->abort();
}

void GpsFeed::open(const QString &host, quint16 port)
{
    m_host = host;
    m_port = port;
    m_retry->stop();
    m_socket->abort();
    setState(LinkState::Connecting);
    m_tick->start();
    m_socket->connectToHost(host, port, QIODevice::ReadOnly);
}

void GpsFeed::close()
{
    m_retry->stop();
    m_tick->stop();
    m_state = LinkState::Closed; // before abort(), so the disconnect is no loss
    m_socket->abort();
    publish();
}

void GpsFeed::setRetryInterval(int ms)
{
    m_retryMs = ms;
    if (ms <= 0)
        m_retry->stop();
}

void GpsFeed::onReadyRead()
{
    const QByteArray data = m_socket->readAll();
    if (data.isEmpty())
        return;
    if (m_buffer.append(data) > 0) {
        const bool first = !m_lastFix.isValid();
        m_lastFix.start();
        if (first)
            publish();
    }
    emit received(int(data.size()));
}

void GpsFeed::onLost()
{
    if (m_state == LinkState::Closed)
        return;
    // Whatever is still readable arrived before the loss.
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
    setState(LinkState::Down);
    if (m_retryMs > 0)
        m_retry->start(m_retryMs);
}

std::optional<GllPosition> GpsFeed::takeFix(AfterFix after)
{
    auto fix = m_buffer.fix();
    if (fix && after == AfterFix::EmptyBuffer)
        m_buffer.clear();
    return fix;
}

std::optional<qint64> GpsFeed::fixAgeMs() const
{
    if (!m_lastFix.isValid())
        return std::nullopt;
    return m_lastFix.elapsed();
}

QString GpsFeed::status() const
{
    return statusText(m_state, m_host, m_port, fixAgeMs());
}

void GpsFeed::setState(LinkState s)
{
    m_state = s;
    publish();
}

void GpsFeed::publish()
{
    const QString text = status();
    if (text == m_lastStatus)
        return;
    m_lastStatus = text;
    emit statusChanged(text);
}

} // namespace bravik::gps
