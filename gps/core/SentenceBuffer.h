#pragma once

#include "Nmea.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <optional>

namespace bravik::gps {

// The text a window has received from its GPS source.  Every received byte
// becomes one character.  When a receive makes the text longer than
// `limit` characters, all of it is dropped, the new data included; exactly
// `limit` characters stay.
//
// A receive costs time in proportion to the bytes received, never to what
// the buffer already holds: only the new data is searched for line ends, and
// each completed line is decoded once.  The usable GLL sentences are noted
// as their lines complete, with the time they arrived, so the fix and its
// age are known without searching the text again.
class SentenceBuffer
{
public:
    static constexpr qsizetype limit = 10000;

    // Takes GLL sentences from `talkers` only; other talkers' sentences
    // are kept as text like any other.
    explicit SentenceBuffer(Talkers talkers = Talkers::all());

    // Appends one receive.  Returns how many usable GLL sentences it
    // completed (and kept).
    int append(QByteArrayView data) { return appendAt(data, m_clock.elapsed()); }
    // The same, with the time of arrival given in milliseconds of the
    // buffer's own clock (see now()).
    int appendAt(QByteArrayView data, qint64 ms);

    // Empties the buffer (the weather window does so after a fix).
    void clear();

    // The oldest usable GLL sentence in the buffer.
    std::optional<GllPosition> fix() const;
    // Milliseconds since the sentence fix() gives arrived, at `ms` of the
    // buffer's clock; nothing when fix() gives nothing.
    std::optional<qint64> fixAgeMs(qint64 ms) const;
    std::optional<qint64> fixAgeMs() const { return fixAgeMs(now()); }
    qint64 now() const { return m_clock.elapsed(); }

    Talkers talkers() const { return m_talkers; }
    const QString &text() const { return m_text; }
    qsizetype size() const { return m_text.size(); }
    // How often a receive overflowed the buffer and emptied it.
    int discards() const { return m_discards; }

private:
    struct Usable
    {
        qsizetype at;     // where the sentence's "$" stands
        qsizetype length; // up to its line end
        qint64 ms;        // when its line end arrived
    };
    int noteUsable(qsizetype lineStart, qsizetype lineEnd, qint64 ms);

    Talkers m_talkers;
    QElapsedTimer m_clock;
    QString m_text;
    QList<Usable> m_usable;    // in the order they stand in the text
    qsizetype m_lineStart = 0; // start of the line whose end has not arrived
    int m_discards = 0;
};

} // namespace bravik::gps
