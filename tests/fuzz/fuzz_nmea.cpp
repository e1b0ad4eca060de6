// The GPS sentence buffer and the position fix, fed the way a server feeds
// them: the input arrives in receives of varying size, possibly repeated.
//
// Input: byte 0 seeds the receive sizes, byte 1 repeats the rest (1 to 8
// times) so a receive can overflow the buffer; bytes 2 to 17 are also read
// as two doubles for a sentence built from a position and read back.

#include "FuzzSupport.h"

#include "Nmea.h"
#include "SentenceBuffer.h"

#include <QRegularExpression>
#include <cmath>

using namespace bravik::gps;
using bravik::fuzz::shown;

namespace {

// Usable GLL sentences in every complete line of `text`, counted in one
// pass over the whole text (the buffer counts them receive by receive).
int usableInCompleteLines(const QString &text)
{
    int n = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineEnd(text[i]))
            continue;
        const QStringView line = QStringView(text).sliced(start, i - start);
        for (qsizetype p = line.indexOf(u'$'); p >= 0; p = line.indexOf(u'$', p + 1))
            if (isGllStart(line, p, Talkers::all()))
                n += parseGll(line.sliced(p)) ? 1 : 0;
        start = i + 1;
    }
    return n;
}

void checkFields(const GllPosition &p, const QString &where)
{
    static const QRegularExpression minutes(QStringLiteral("^[0-9]{2}(\\.[0-9]+)?$"));
    static const QRegularExpression digits2(QStringLiteral("^[0-9]{2}$"));
    static const QRegularExpression digits3(QStringLiteral("^[0-9]{3}$"));
    FUZZ_CHECK(digits2.match(p.latitudeInt).hasMatch(), where + shown(p.latitudeInt));
    FUZZ_CHECK(minutes.match(p.latitudeMinutes).hasMatch(), where + shown(p.latitudeMinutes));
    FUZZ_CHECK(digits3.match(p.longitudeInt).hasMatch(), where + shown(p.longitudeInt));
    FUZZ_CHECK(minutes.match(p.longitudeMinutes).hasMatch(), where + shown(p.longitudeMinutes));
    FUZZ_CHECK(p.ns == QLatin1String("N") || p.ns == QLatin1String("S"), where + shown(p.ns));
    FUZZ_CHECK(p.ew == QLatin1String("E") || p.ew == QLatin1String("W"), where + shown(p.ew));
}

// A position written as a GLL sentence and received whole decodes to the
// same position, to the four decimals of minutes the sentence carries.
void roundTrip(double latitude, double longitude)
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::fabs(latitude) > 90.0
        || std::fabs(longitude) > 180.0)
        return;
    const QByteArray sentence = makeGll(latitude, longitude, QTime(12, 34, 56, 780));
    SentenceBuffer b;
    const QString what = QStringLiteral("position %1, %2 as %3: ")
                             .arg(latitude, 0, 'g', 17)
                             .arg(longitude, 0, 'g', 17)
                             .arg(shown(QString::fromLatin1(sentence)));
    FUZZ_CHECK(b.append(sentence) == 1, what + QStringLiteral("not counted as one usable sentence"));
    const auto fix = b.fix();
    FUZZ_CHECK(fix.has_value(), what + QStringLiteral("no fix"));
    checkFields(*fix, what);
    const double lat = fix->latitudeInt.toDouble() + fix->latitudeMinutes.toDouble() / 60.0;
    const double lon = fix->longitudeInt.toDouble() + fix->longitudeMinutes.toDouble() / 60.0;
    const double tolerance = 0.5e-4 / 60.0 + 1e-9;
    FUZZ_CHECK(std::fabs(lat - std::fabs(latitude)) <= tolerance, what + QString::number(lat, 'g', 17));
    FUZZ_CHECK(std::fabs(lon - std::fabs(longitude)) <= tolerance, what + QString::number(lon, 'g', 17));
    FUZZ_CHECK(fix->ns == QLatin1String(latitude < 0 ? "S" : "N"), what + fix->ns);
    FUZZ_CHECK(fix->ew == QLatin1String(longitude < 0 ? "W" : "E"), what + fix->ew);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    quint32 seed = data[0] | 1u;
    const int repeat = 1 + data[1] % 8;
    const QByteArray payload = bravik::fuzz::bytes(data + 2, size - 2);
    if (payload.size() >= 16) {
        const uint8_t *p = data + 2;
        size_t n = size - 2;
        const double latitude = bravik::fuzz::take<double>(p, n);
        const double longitude = bravik::fuzz::take<double>(p, n);
        roundTrip(latitude, longitude);
    }

    SentenceBuffer buffer;
    int receives = 0;
    int counted = 0;   // usable sentences the receives reported since the buffer was last empty
    for (int r = 0; r < repeat; ++r) {
        qsizetype at = 0;
        while (at < payload.size()) {
            // Receive sizes from 1 byte to a few kilobytes, as a TCP read gives them.
            seed = seed * 1103515245u + 12345u;
            const qsizetype want = (seed >> 16) % 8 == 0 ? 1 + (seed >> 8) % 4096 : 1 + (seed >> 8) % 97;
            const QByteArrayView chunk = QByteArrayView(payload).sliced(at, qMin(want, payload.size() - at));
            at += chunk.size();

            const qsizetype before = buffer.size();
            const int discards = buffer.discards();
            const int usable = buffer.append(chunk);
            FUZZ_CHECK(buffer.size() <= SentenceBuffer::limit,
                       QStringLiteral("buffer holds %1 characters").arg(buffer.size()));
            if (before + chunk.size() > SentenceBuffer::limit) {
                FUZZ_CHECK(buffer.size() == 0 && buffer.discards() == discards + 1 && usable == 0,
                           QStringLiteral("an overflowing receive of %1 onto %2 left %3 characters")
                               .arg(chunk.size())
                               .arg(before)
                               .arg(buffer.size()));
                counted = 0;
            } else {
                FUZZ_CHECK(buffer.size() == before + chunk.size() && buffer.discards() == discards,
                           QStringLiteral("a receive of %1 onto %2 left %3 characters")
                               .arg(chunk.size())
                               .arg(before)
                               .arg(buffer.size()));
                FUZZ_CHECK(buffer.text().endsWith(QLatin1String(chunk.data(), chunk.size())),
                           QStringLiteral("the received text is not at the end of the buffer"));
                counted += usable;
            }

            // The whole-text checks cost a pass over the buffer: every receive
            // while it is small, every eighth (and the last) once it is large.
            ++receives;
            if (buffer.size() > 1024 && receives % 8 != 0 && at < payload.size())
                continue;
            const int expected = usableInCompleteLines(buffer.text());
            FUZZ_CHECK(counted == expected, QStringLiteral("receives counted %1 usable sentences, the text holds %2: %3")
                                                .arg(counted)
                                                .arg(expected)
                                                .arg(shown(buffer.text())));
            const auto fix = buffer.fix();
            FUZZ_CHECK(fix.has_value() == (expected > 0),
                       QStringLiteral("fix %1 with %2 usable sentences").arg(fix ? "found" : "missing").arg(expected));
            if (fix) {
                checkFields(*fix, QStringLiteral("fix from ") + shown(buffer.text()) + QLatin1Char(' '));
                FUZZ_CHECK(buffer.text().contains(fix->latitudeInt + fix->latitudeMinutes + QLatin1Char(',') + fix->ns
                                                  + QLatin1Char(',') + fix->longitudeInt + fix->longitudeMinutes
                                                  + QLatin1Char(',') + fix->ew),
                           QStringLiteral("the fix is not cut from the buffer's text"));
            }
        }
    }
    return 0;
}
