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

QString statusText(const LinkStatus &st)
{
    const QString fix = st.fixAgeMs ? QStringLiteral("fix %1 old").arg(ageText(*st.fixAgeMs)) : QString();
    const QString last = st.fixAgeMs ? QStringLiteral(", last %1").arg(fix) : QString();
    switch (st.state) {
    case LinkState::Connected:
        if (st.silent)
            return QStringLiteral("GPS: no data from %1").arg(st.source) + (st.fixAgeMs ? QStringLiteral(", ") + fix : QString());
        return st.fixAgeMs ? QStringLiteral("GPS: connected to %1, %2").arg(st.source, fix)
                           : QStringLiteral("GPS: connected to %1, no fix yet").arg(st.source);
    case LinkState::Connecting:
        return QStringLiteral("GPS: connecting to %1").arg(st.source) + last;
    case LinkState::Down:
        if (!st.problem.isEmpty())
            return QStringLiteral("GPS: cannot open %1 (%2)").arg(st.source, st.problem) + last;
        return QStringLiteral("GPS: no connection to %1").arg(st.source) + last;
    case LinkState::Closed:
        break;
    }
    return QStringLiteral("GPS: closed");
}

GpsFeed::GpsFeed(QObject *parent, Talkers talkers)
    : QObject(parent)
    , m_retry(new QTimer(this))
    , m_tick(new QTimer(this))
    , m_buffer(talkers)
{
    m_retry->setSingleShot(true);
    m_tick->setInterval(1000);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_state == LinkState::Down)
            reopen();
    });
    connect(m_tick, &QTimer::timeout, this, &GpsFeed::publish);
}

GpsFeed::~GpsFeed()
{
    // Quietly: no status to anyone while the owner is going away.
    if (m_source) {
        m_source->disconnect(this);
        m_source->close();
    }
}

void GpsFeed::open(const SourceSpec &where)
{
    if (m_source) {
        m_source->disconnect(this);
        m_source->close();
    }
    m_where = where;
    m_source = makeSource(where);
    connect(m_source.get(), &SentenceSource::opened, this, [this] {
        m_lastData.start();
        m_problem.clear();
        setState(LinkState::Connected);
    });
    connect(m_source.get(), &SentenceSource::received, this, &GpsFeed::onReceived);
    connect(m_source.get(), &SentenceSource::lost, this, &GpsFeed::onLost);
    reopen();
}

void GpsFeed::reopen()
{
    m_retry->stop();
    setState(LinkState::Connecting);
    m_tick->start();
    m_source->open();
}

QTcpSocket *GpsFeed::socket() const
{
    auto *tcp = qobject_cast<TcpSource *>(m_source.get());
    return tcp ? tcp->socket() : nullptr;
}

void GpsFeed::close()
{
    m_retry->stop();
    m_tick->stop();
    m_state = LinkState::Closed; // before the source closes, so it is no loss
    if (m_source)
        m_source->close();
    publish();
}

void GpsFeed::setRetryInterval(int ms)
{
    m_retryMs = ms;
    if (ms <= 0)
        m_retry->stop();
}

void GpsFeed::onReceived(const QByteArray &data)
{
    if (m_state == LinkState::Closed)
        return;
    m_lastData.start();
    m_buffer.append(data);
    publish();
    emit received(int(data.size()));
}

void GpsFeed::onLost(const QString &problem)
{
    if (m_state == LinkState::Closed)
        return;
    m_problem = problem;
    setState(LinkState::Down);
    if (m_retryMs > 0)
        m_retry->start(m_retryMs);
}

std::optional<GllPosition> GpsFeed::takeFix(AfterFix after)
{
    auto fix = m_buffer.fix();
    if (fix && after == AfterFix::EmptyBuffer) {
        m_buffer.clear();
        publish();
    }
    return fix;
}

LinkStatus GpsFeed::linkStatus() const
{
    LinkStatus st;
    st.state = m_state;
    st.source = m_where.describe();
    st.fixAgeMs = m_buffer.fixAgeMs();
    st.silent = m_state == LinkState::Connected && m_lastData.isValid() && m_lastData.elapsed() > silentAfterMs;
    st.problem = m_state == LinkState::Down ? m_problem : QString();
    return st;
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
