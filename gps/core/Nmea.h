#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
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

// The sentence header the position fix looks for.
inline constexpr QStringView gllTag = u"$GPGLL";

inline bool isLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }

// Decodes one GLL sentence: `sentence` runs from its "$" up to, not
// including, its line end (the caller has seen the line end arrive).
// Returns nothing when the sentence cannot be trusted: a checksum that is
// present but wrong or malformed, status "V" (no fix), a missing or
// non-numeric latitude or longitude, a missing hemisphere, or a second "$"
// inside (the sentence was cut off and another one began).
std::optional<GllPosition> parseGll(QStringView sentence);

// The oldest usable GLL sentence in `text`, or nothing.  A sentence counts
// only once its line end has arrived; unusable sentences are skipped.
std::optional<GllPosition> findFix(QStringView text);

// The NMEA checksum of a sentence body (the characters between "$" and
// "*"): all bytes XORed together.
quint8 nmeaChecksum(QByteArrayView body);

// Builds a complete sentence "$<body>*HH\r\n" around `body`.
QByteArray nmeaSentence(QByteArrayView body);

// Sentences for a position in signed decimal degrees (north and east
// positive) at a given UTC time, each with checksum and CR LF, four decimals
// of minutes.  Used by the simulator, the tests and the benchmark.
QByteArray makeGll(double latitude, double longitude, const QTime &utc);
QByteArray makeGga(double latitude, double longitude, const QTime &utc);
QByteArray makeRmc(double latitude, double longitude, const QDateTime &utc);

} // namespace bravik::gps
