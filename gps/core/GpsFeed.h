#pragma once

#include "GpsSource.h"
#include "SentenceBuffer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QTcpSocket;
class QTimer;

namespace bravik::gps {

// The text shown beside "Get GPS Data": which source, whether it is open,
// and how old the sentence is that the button would use now.
enum class LinkState { Closed, Connecting, Connected, Down };
struct LinkStatus
{
    LinkState state = LinkState::Closed;
    QString source;                 // SourceSpec::describe()
    std::optional<qint64> fixAgeMs; // the sentence "Get GPS Data" would take
    bool silent = false;            // open, but nothing has come for a while
    QString problem;                // why the source could not be opened
};
QString statusText(const LinkStatus &status);

// One window's GPS feed: a source (the sentence server, gpsd or a serial
// receiver) feeding the sentence buffer.  It only ever receives sentences.
// Nothing here waits: opening, receiving and losing the source are all
// events.  A source that cannot be opened, or goes away, leaves the buffer
// as it is; the feed then tries again every few seconds until it is closed.
class GpsFeed : public QObject
{
    Q_OBJECT
public:
    enum class AfterFix { EmptyBuffer, KeepBuffer };
    // "No data from ..." once an open source has sent nothing for this long.
    static constexpr int silentAfterMs = 3000;

    explicit GpsFeed(QObject *parent = nullptr, Talkers talkers = Talkers::all());
    ~GpsFeed() override;

    // Starts opening and returns at once.
    void open(const SourceSpec &where);
    void open(const QString &host, quint16 port) { open(SourceSpec::tcp(host, port)); }
    // Ends the feed; no further retries.  The buffer stays readable.
    void close();

    // The oldest usable GLL sentence in the buffer; with EmptyBuffer the
    // buffer is emptied after a successful fix.
    std::optional<GllPosition> takeFix(AfterFix after);

    SentenceBuffer &buffer() { return m_buffer; }
    const SourceSpec &where() const { return m_where; }
    SentenceSource *source() const { return m_source.get(); }
    // The network sources' socket (named "winsockGPS"), or nullptr.
    QTcpSocket *socket() const;
    LinkState state() const { return m_state; }
    LinkStatus linkStatus() const;
    QString status() const { return statusText(linkStatus()); }
    // Age of the sentence "Get GPS Data" would take now, if there is one.
    std::optional<qint64> fixAgeMs() const { return m_buffer.fixAgeMs(); }

    // Retry delay after a failed or lost source; 0 turns retrying off.
    void setRetryInterval(int ms);
    int retryInterval() const { return m_retryMs; }

signals:
    void statusChanged(const QString &text);
    // Data arrived and was added to the buffer.
    void received(int bytes);

private:
    void reopen();
    void onReceived(const QByteArray &data);
    void onLost(const QString &problem);
    void setState(LinkState s);
    void publish();

    std::unique_ptr<SentenceSource> m_source;
    QTimer *m_retry;
    QTimer *m_tick;
    SentenceBuffer m_buffer;
    SourceSpec m_where;
    LinkState m_state = LinkState::Closed;
    QString m_problem;
    int m_retryMs = 5000;
    QElapsedTimer m_lastData; // since the source opened or last sent something
    QString m_lastStatus;
};

} // namespace bravik::gps
