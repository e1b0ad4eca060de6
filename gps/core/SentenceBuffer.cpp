#include "SentenceBuffer.h"

#include <QLatin1String>

namespace bravik::gps {

namespace {

// Usable GLL sentences in one complete line (its line end excluded).
int countUsable(QStringView line)
{
    int n = 0;
    qsizetype p = 0;
    while ((p = line.indexOf(gllTag, p)) >= 0) {
        if (parseGll(line.sliced(p)))
            ++n;
        ++p;
    }
    return n;
}

} // namespace

int SentenceBuffer::append(QByteArrayView data)
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
                usable += countUsable(QStringView(m_text).sliced(m_lineStart, i - m_lineStart));
            m_lineStart = i + 1;
        }
    }
    return usable;
}

void SentenceBuffer::clear()
{
    m_text.truncate(0); // keeps the allocation for the next receives
    m_lineStart = 0;
}

} // namespace bravik::gps
