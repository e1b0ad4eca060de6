#include "GpsSimulator.h"

#include "Nmea.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace bravik::gps {

namespace {
// A client that stops reading is skipped until it has taken this much.
constexpr qint64 maxPending = 64 * 1024;
}

GpsSimulator::GpsSimulator(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_lat(options.latitude)
    , m_lon(options.longitude)
    , m_server(new QTcpServer(this))
    , m_timer(new QTimer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server->nextPendingConnection()) {
            m_clients << s;
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            // The program never sends anything; whatever a client sends is dropped.
            connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
        }
    });
    connect(m_timer, &QTimer::timeout, this, &GpsSimulator::sendSet);
}

bool GpsSimulator::listen(const QString &host, quint16 port, QString *error)
{
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(host)) {
        *error = QStringLiteral("%1 is not an IP address").arg(host);
        return false;
    }
    if (!m_server->listen(address, port)) {
        *error = m_server->errorString();
        return false;
    }
    m_timer->start(std::max(1, int(std::lround(1000.0 / m_options.rate))));
    return true;
}

quint16 GpsSimulator::port() const
{
    return m_server->serverPort();
}

QByteArray GpsSimulator::nextSet()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QByteArray set = makeGll(m_lat, m_lon, now.time()) + makeGga(m_lat, m_lon, now.time())
                     + makeRmc(m_lat, m_lon, now);
    m_lat = std::clamp(m_lat + m_options.driftPerSet, -89.9, 89.9);
    m_lon += m_options.driftPerSet;
    if (m_lon >= 180.0)
        m_lon -= 360.0;
    return set;
}

void GpsSimulator::sendSet()
{
    const QByteArray set = nextSet();
    m_clients.removeIf([](const QPointer<QTcpSocket> &s) {
        return !s || s->state() != QAbstractSocket::ConnectedState;
    });
    for (const auto &s : std::as_const(m_clients))
        if (s->bytesToWrite() < maxPending)
            s->write(set);
}

} // namespace bravik::gps
