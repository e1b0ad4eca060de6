#pragma once

#include "SentenceBuffer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QTcpSocket;
class QTimer;

namespace bravik::gps {

// The text shown beside "Get GPS Data": whether the connection is up and how
// old the newest usable GLL sentence is.
enum class LinkState { Closed, Connecting, Connected, Down };
QString statusText(LinkState state, const QString &host, quint16 port, std::optional<qint64> fixAgeMs);

// One window's connection to the GPS sentence server.  It only ever
// receives; everything that arrives goes into the sentence buffer.  Nothing
// here waits on the network: connecting, receiving and losing the server are
// all events.  A server that refuses, drops the connection or never answers
// leaves the buffer as it is; the feed then tries again every few seconds
// until it is closed.
class GpsFeed : public QObject
{
    Q_OBJECT
public:
    enum class AfterFix { EmptyBuffer, KeepBuffer };

    explicit GpsFeed(QObject *parent = nullptr);
    ~GpsFeed() override;

    // Starts connecting and returns at once.
    void open(const QString &host, quint16 port);
    // Ends the connection; no further retries.  The buffer stays readable.
    void close();

    // The oldest usable GLL sentence in the buffer; with EmptyBuffer the
    // buffer is emptied after a successful fix.
    std::optional<GllPosition> takeFix(AfterFix after);

    SentenceBuffer &buffer() { return m_buffer; }
    QTcpSocket *socket() const { return m_socket; }
    LinkState state() const { return m_state; }
    QString status() const;
    // Milliseconds since the newest usable GLL sentence arrived, if any did.
    std::optional<qint64> fixAgeMs() const;

    // Retry delay after a failed or lost connection; 0 turns retrying off.
    void setRetryInterval(int ms);
    int retryInterval() const { return m_retryMs; }

signals:
    void statusChanged(const QString &text);
    // Data arrived and was added to the buffer.
    void received(int bytes);

private:
    void onReadyRead();
    void onLost();
    void setState(LinkState s);
    void publish();

    QTcpSocket *m_socket;
    QTimer *m_retry;
    QTimer *m_tick;
    SentenceBuffer m_buffer;
    QString m_host;
    quint16 m_port = 0;
    LinkState m_state = LinkState::Closed;
    int m_retryMs = 5000;
    QElapsedTimer m_lastFix;
    QString m_lastStatus;
};

} // namespace bravik::gps
