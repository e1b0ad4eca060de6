#include "GpsSimulator.h"

#include "Nmea.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cmath>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

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

GpsSimulator::~GpsSimulator()
{
#ifdef Q_OS_UNIX
    if (m_ptySlave >= 0)
        ::close(m_ptySlave);
    if (m_ptyMaster >= 0)
        ::close(m_ptyMaster);
#endif
}

bool GpsSimulator::openPty(QString *path, QString *error)
{
#ifdef Q_OS_UNIX
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        if (master >= 0)
            ::close(master);
        return false;
    }
    const char *name = ::ptsname(master);
    // The simulator holds the far end open too, so the terminal stays
    // whole while a reader comes and goes; raw, so nothing is echoed or
    // changed on the way.
    const int slave = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (slave < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(master);
        return false;
    }
    termios t;
    if (::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    m_ptyMaster = master;
    m_ptySlave = slave;
    *path = QString::fromLocal8Bit(name);
    m_timer->start(std::max(1, int(std::lround(1000.0 / m_options.rate))));
    return true;
#else
    Q_UNUSED(path);
    *error = QStringLiteral("pseudo-terminals are not available on this system");
    return false;
#endif
}

quint16 GpsSimulator::port() const
{
    return m_server->serverPort();
}

QByteArray GpsSimulator::nextSet()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray &t = m_options.talker;
    QByteArray set = makeGll(m_lat, m_lon, now.time(), t) + makeGga(m_lat, m_lon, now.time(), t)
                     + makeRmc(m_lat, m_lon, now, t);
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
#ifdef Q_OS_UNIX
    if (m_ptyMaster >= 0) {
        // Nobody reading: the terminal fills and the set is dropped, as a
        // receiver's sentences are lost when no program has the port open
        // (a reader flushes what is left when it opens the port).
        const ssize_t n = ::write(m_ptyMaster, set.constData(), size_t(set.size()));
        Q_UNUSED(n);
    }
#endif
}

} // namespace bravik::gps
