#include "FreezableProxy.h"

#include <QHostAddress>
#include <QLocalSocket>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>

namespace bravik::test {

namespace {

class Forwarder : public QObject
{
public:
    explicit Forwarder(std::atomic<bool> *frozen) : m_frozen(frozen) {}

    bool listen(const QString &upstream)
    {
        m_upstream = upstream;
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_server->nextPendingConnection())
                accept(client);
        });
        return m_server->listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server ? m_server->serverPort() : 0; }

    void flush()
    {
        for (auto &pair : m_pairs) {
            pass(pair.first, pair.second);
            pass(pair.second, pair.first);
        }
    }

private:
    void accept(QTcpSocket *client)
    {
        QIODevice *server = nullptr;
        const int colon = m_upstream.lastIndexOf(QLatin1Char(':'));
        if (m_upstream.startsWith(QLatin1Char('/'))) {
            auto *local = new QLocalSocket(this);
            local->connectToServer(m_upstream);
            connect(local, &QLocalSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, local, &QLocalSocket::disconnectFromServer);
            server = local;
        } else {
            auto *tcp = new QTcpSocket(this);
            tcp->connectToHost(m_upstream.left(colon), m_upstream.mid(colon + 1).toUShort());
            connect(tcp, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, tcp, &QTcpSocket::disconnectFromHost);
            server = tcp;
        }
        client->setParent(this);
        m_pairs.append({QPointer<QIODevice>(client), QPointer<QIODevice>(server)});
        QPointer<QIODevice> c(client), s(server);
        connect(client, &QIODevice::readyRead, this, [this, c, s] { pass(c, s); });
        connect(server, &QIODevice::readyRead, this, [this, c, s] { pass(s, c); });
    }

    void pass(const QPointer<QIODevice> &from, const QPointer<QIODevice> &to)
    {
        if (*m_frozen || !from || !to)
            return;
        const QByteArray bytes = from->readAll();
        if (!bytes.isEmpty())
            to->write(bytes);
    }

    std::atomic<bool> *m_frozen;
    QString m_upstream;
    QTcpServer *m_server = nullptr;
    QList<QPair<QPointer<QIODevice>, QPointer<QIODevice>>> m_pairs;
};

} // namespace

struct FreezableProxy::Private
{
    QThread thread;
    std::atomic<bool> frozen{false};
    Forwarder *forwarder = nullptr;
};

FreezableProxy::FreezableProxy()
    : d(std::make_unique<Private>())
{
    d->forwarder = new Forwarder(&d->frozen);
    d->forwarder->moveToThread(&d->thread);
    QObject::connect(&d->thread, &QThread::finished, d->forwarder, &QObject::deleteLater);
    d->thread.start();
}

FreezableProxy::~FreezableProxy()
{
    d->thread.quit();
    d->thread.wait();
}

bool FreezableProxy::start(const QString &upstream, QString *error)
{
    bool ok = false;
    QMetaObject::invokeMethod(d->forwarder, [&] { ok = d->forwarder->listen(upstream); },
                              Qt::BlockingQueuedConnection);
    if (!ok && error)
        *error = QStringLiteral("the proxy cannot listen on 127.0.0.1");
    return ok;
}

quint16 FreezableProxy::port() const
{
    quint16 p = 0;
    QMetaObject::invokeMethod(d->forwarder, [&] { p = d->forwarder->port(); }, Qt::BlockingQueuedConnection);
    return p;
}

void FreezableProxy::freeze()
{
    d->frozen = true;
}

void FreezableProxy::thaw()
{
    d->frozen = false;
    Forwarder *f = d->forwarder;
    QMetaObject::invokeMethod(f, [f] { f->flush(); }, Qt::QueuedConnection);
}

} // namespace bravik::test
