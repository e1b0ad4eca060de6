#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace bravik::gps {

// The six position texts of a fix, exactly as they stand in the sentence:
// degrees are the first two (latitude) or three (longitude) characters of
// their field and minutes the rest.
struct GllPosition
{
    QString latitudeInt;
    QString latitudeMinutes;
    QString ns;
    QString longitudeInt;
    QString longitudeMinutes;
    QString ew;

    friend bool operator==(const GllPosition &, const GllPosition &) = default;
};

// The sentence type the position fix looks for, after "$" and the talker.
inline constexpr QStringView gllType = u"GLL";

// The GNSS talkers whose GLL sentences the fix takes: "GP" (GPS), "GN"
// (several systems combined, what current receivers send), "GL" (GLONASS),
// "GA" (Galileo), "GB" (BeiDou), "GQ" (QZSS) and "GI" (NavIC).  A set of
// them; the default is all seven.
class Talkers
{
public:
    static constexpr int count = 7;
    static const QStringList &known();

    constexpr Talkers() = default;
    static constexpr Talkers all() { return Talkers((1u << count) - 1); }
    static constexpr Talkers none() { return Talkers(0); }
    // From two-letter names ("GP", "gn"); nothing when a name is not one of
    // the seven.  An empty list gives an empty set.
    static std::optional<Talkers> fromNames(const QStringList &names, QString *unknown = nullptr);

    bool contains(QChar first, QChar second) const;
    bool contains(QStringView name) const { return name.size() == 2 && contains(name[0], name[1]); }
    bool isEmpty() const { return m_bits == 0; }
    QStringList names() const;

    friend bool operator==(Talkers, Talkers) = default;

private:
    constexpr explicit Talkers(unsigned bits) : m_bits(bits) {}
    unsigned m_bits = 0;
};

inline bool isLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }

// True when a GLL sentence of one of `talkers` begins at `text[at]`: "$",
// the talker, "GLL", ",".
bool isGllStart(QStringView text, qsizetype at, Talkers talkers);

// Decodes one GLL sentence: `sentence` runs from its "$" up to, not
// including, its line end (the caller has seen the line end arrive).
// Returns nothing when the sentence cannot be trusted: a talker not in
// `talkers`, a checksum that is present but wrong or malformed, status "V"
// (no fix), a missing or non-numeric latitude or longitude, a missing
// hemisphere, or a second "$" inside (the sentence was cut off and another
// one began).
std::optional<GllPosition> parseGll(QStringView sentence, Talkers talkers = Talkers::all());

// The oldest usable GLL sentence in `text`, or nothing.  A sentence counts
// only once its line end has arrived; unusable sentences are skipped.
std::optional<GllPosition> findFix(QStringView text, Talkers talkers = Talkers::all());

// The NMEA checksum of a sentence body (the characters between "$" and
// "*"): all bytes XORed together.
quint8 nmeaChecksum(QByteArrayView body);

// Builds a complete sentence "$<body>*HH\r\n" around `body`.
QByteArray nmeaSentence(QByteArrayView body);

// Sentences for a position in signed decimal degrees (north and east
// positive) at a given UTC time, each with checksum and CR LF, four decimals
// of minutes, from the talker `talker` ("GP", "GN", ...).  Used by the
// simulator, the tests and the benchmark.
QByteArray makeGll(double latitude, double longitude, const QTime &utc, QByteArrayView talker = "GP");
QByteArray makeGga(double latitude, double longitude, const QTime &utc, QByteArrayView talker = "GP");
QByteArray makeRmc(double latitude, double longitude, const QDateTime &utc, QByteArrayView talker = "GP");

} // namespace bravik::gps
