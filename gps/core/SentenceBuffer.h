#pragma once

#include "Nmea.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace bravik::gps {

// The text a window has received from the GPS sentence server.  Every
// received byte becomes one character.  When a receive makes the text
// longer than `limit` characters, all of it is dropped, the new data
// included; exactly `limit` characters stay.
//
// A receive costs time in proportion to the bytes received, never to what
// the buffer already holds: only the new data is searched for line ends, and
// each completed line is decoded once.
class SentenceBuffer
{
public:
    static constexpr qsizetype limit = 10000;

    // Appends one receive.  Returns how many usable GLL sentences it
    // completed (and kept).
    int append(QByteArrayView data);

    // Empties the buffer (the weather window does so after a fix).
    void clear();

    // The oldest usable GLL sentence in the buffer.
    std::optional<GllPosition> fix() const { return findFix(m_text); }

    const QString &text() const { return m_text; }
    qsizetype size() const { return m_text.size(); }
    // How often a receive overflowed the buffer and emptied it.
    int discards() const { return m_discards; }

private:
    QString m_text;
    qsizetype m_lineStart = 0; // start of the line whose end has not arrived
    int m_discards = 0;
};

} // namespace bravik::gps
