#include "SentenceBuffer.h"

#include <QLatin1String>

namespace bravik::gps {

SentenceBuffer::SentenceBuffer(Talkers talkers)
    : m_talkers(talkers)
{
    m_clock.start();
}

int SentenceBuffer::noteUsable(qsizetype lineStart, qsizetype lineEnd, qint64 ms)
{
    // Usable GLL sentences in one complete line (its line end excluded).
    // Every "$" is looked at; a line of sentences usually holds one.
    const QStringView line = QStringView(m_text).sliced(lineStart, lineEnd - lineStart);
    int n = 0;
    qsizetype p = 0;
    while ((p = line.indexOf(u'$', p)) >= 0) {
        if (isGllStart(line, p, m_talkers) && parseGll(line.sliced(p), m_talkers)) {
            m_usable.append({lineStart + p, line.size() - p, ms});
            ++n;
        }
        ++p;
    }
    return n;
}

int SentenceBuffer::appendAt(QByteArrayView data, qint64 ms)
{
    if (data.isEmpty())
        return 0;
    if (data.size() > limit - m_text.size()) {
        clear();
        ++m_discards;
        return 0;
    }
    const qsizetype old = m_text.size();
    m_text.append(QLatin1String(data.data(), data.size()));

    int usable = 0;
    const QChar *c = m_text.constData();
    for (qsizetype i = old; i < m_text.size(); ++i) {
        if (isLineEnd(c[i])) {
            if (i > m_lineStart)
                usable += noteUsable(m_lineStart, i, ms);
            m_lineStart = i + 1;
        }
    }
    return usable;
}

void SentenceBuffer::clear()
{
    m_text.truncate(0); // keeps the allocation for the next receives
    m_usable.clear();   // keeps its capacity too
    m_lineStart = 0;
}

std::optional<GllPosition> SentenceBuffer::fix() const
{
    if (m_usable.isEmpty())
        return std::nullopt;
    const Usable &u = m_usable.first();
    return parseGll(QStringView(m_text).sliced(u.at, u.length), m_talkers);
}

std::optional<qint64> SentenceBuffer::fixAgeMs(qint64 ms) const
{
    if (m_usable.isEmpty())
        return std::nullopt;
    return std::max<qint64>(0, ms - m_usable.first().ms);
}

} // namespace bravik::gps
