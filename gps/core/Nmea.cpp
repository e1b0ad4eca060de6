#include "Nmea.h"

#include <QList>
#include <cmath>

namespace bravik::gps {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int hexValue(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}

// ddmm[.m...] for latitude (two degree digits), dddmm[.m...] for longitude:
// the degree digits, two digits of whole minutes, then optionally a point
// and at least one decimal.
bool isAngleField(QStringView f, int degreeDigits)
{
    const int whole = degreeDigits + 2;
    if (f.size() < whole)
        return false;
    for (int i = 0; i < whole; ++i)
        if (!isDigit(f[i]))
            return false;
    if (f.size() == whole)
        return true;
    if (f[whole] != u'.' || f.size() == whole + 1)
        return false;
    for (qsizetype i = whole + 1; i < f.size(); ++i)
        if (!isDigit(f[i]))
            return false;
    return true;
}

} // namespace

const QStringList &Talkers::known()
{
    static const QStringList names{QStringLiteral("GP"), QStringLiteral("GN"), QStringLiteral("GL"),
                                   QStringLiteral("GA"), QStringLiteral("GB"), QStringLiteral("GQ"),
                                   QStringLiteral("GI")};
    return names;
}

std::optional<Talkers> Talkers::fromNames(const QStringList &names, QString *unknown)
{
    unsigned bits = 0;
    for (const QString &raw : names) {
        const QString n = raw.trimmed().toUpper();
        const qsizetype i = known().indexOf(n);
        if (i < 0) {
            if (unknown)
                *unknown = raw.trimmed();
            return std::nullopt;
        }
        bits |= 1u << i;
    }
    return Talkers(bits);
}

bool Talkers::contains(QChar first, QChar second) const
{
    // Every GNSS talker begins with "G"; the second letter picks the bit.
    if (first != u'G')
        return false;
    int bit;
    switch (second.unicode()) {
    case u'P': bit = 0; break;
    case u'N': bit = 1; break;
    case u'L': bit = 2; break;
    case u'A': bit = 3; break;
    case u'B': bit = 4; break;
    case u'Q': bit = 5; break;
    case u'I': bit = 6; break;
    default: return false;
    }
    return m_bits & (1u << bit);
}

QStringList Talkers::names() const
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        if (m_bits & (1u << i))
            out << known().at(i);
    return out;
}

bool isGllStart(QStringView t, qsizetype at, Talkers talkers)
{
    return at + 7 <= t.size() && t[at] == u'$' && t[at + 3] == u'G' && t[at + 4] == u'L' && t[at + 5] == u'L'
           && t[at + 6] == u',' && talkers.contains(t[at + 1], t[at + 2]);
}

std::optional<GllPosition> parseGll(QStringView s, Talkers talkers)
{
    if (!isGllStart(s, 0, talkers) || s.indexOf(u'$', 1) >= 0)
        return std::nullopt;

    QStringView body = s.sliced(1);
    const qsizetype star = body.indexOf(u'*');
    if (star >= 0) {
        const QStringView sum = body.sliced(star + 1);
        if (sum.size() != 2)
            return std::nullopt;
        const int hi = hexValue(sum[0]);
        const int lo = hexValue(sum[1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        body = body.first(star);
        quint8 x = 0;
        for (QChar c : body) {
            if (c.unicode() > 0xFF)
                return std::nullopt;
            x ^= quint8(c.unicode());
        }
        if (x != hi * 16 + lo)
            return std::nullopt;
    }

    const QList<QStringView> f = body.split(u',');
    // GPGLL, latitude, N/S, longitude, E/W [, time, status [, mode]]
    if (f.size() < 5 || f[0].size() != 5)
        return std::nullopt;
    if (f.size() > 6 && f[6] == u"V")
        return std::nullopt;
    if (!isAngleField(f[1], 2) || !isAngleField(f[3], 3))
        return std::nullopt;
    if ((f[2] != u"N" && f[2] != u"S") || (f[4] != u"E" && f[4] != u"W"))
        return std::nullopt;

    GllPosition p;
    p.latitudeInt = f[1].first(2).toString();
    p.latitudeMinutes = f[1].sliced(2).toString();
    p.ns = f[2].toString();
    p.longitudeInt = f[3].first(3).toString();
    p.longitudeMinutes = f[3].sliced(3).toString();
    p.ew = f[4].toString();
    return p;
}

std::optional<GllPosition> findFix(QStringView text, Talkers talkers)
{
    // Each line end is searched for once, so a long run of sentence starts
    // without a line end costs no more than one pass.
    qsizetype lineEnd = -1;
    qsizetype from = 0;
    qsizetype p;
    while ((p = text.indexOf(u'$', from)) >= 0) {
        from = p + 1;
        if (!isGllStart(text, p, talkers))
            continue;
        if (p >= lineEnd) {
            lineEnd = p + 1;
            while (lineEnd < text.size() && !isLineEnd(text[lineEnd]))
                ++lineEnd;
            if (lineEnd == text.size())
                return std::nullopt; // still arriving; nothing later is complete
        }
        if (auto fix = parseGll(text.sliced(p, lineEnd - p), talkers))
            return fix;
    }
    return std::nullopt;
}

quint8 nmeaChecksum(QByteArrayView body)
{
    quint8 x = 0;
    for (char c : body)
        x ^= quint8(c);
    return x;
}

QByteArray nmeaSentence(QByteArrayView body)
{
    QByteArray out;
    out.reserve(body.size() + 6);
    out += '$';
    out += body;
    out += '*';
    out += QByteArray::number(nmeaChecksum(body), 16).toUpper().rightJustified(2, '0');
    out += "\r\n";
    return out;
}

namespace {

// "ddmm.mmmm" / "dddmm.mmmm" and the hemisphere letter.
QByteArray angle(double degrees, int degreeDigits, char positive, char negative, char *hemisphere)
{
    *hemisphere = degrees < 0 ? negative : positive;
    double a = std::fabs(degrees);
    // Work in ten-thousandths of a minute so rounding never gives 60 minutes.
    const qint64 units = qint64(std::llround(a * 60.0 * 10000.0));
    const qint64 whole = units / (60 * 10000);
    const qint64 rest = units % (60 * 10000);
    return QByteArray::number(whole).rightJustified(degreeDigits, '0')
           + QByteArray::number(rest / 10000).rightJustified(2, '0') + '.'
           + QByteArray::number(rest % 10000).rightJustified(4, '0');
}

QByteArray timeText(const QTime &t)
{
    return t.toString(QStringLiteral("HHmmss.zzz")).left(9).toLatin1();
}

} // namespace

QByteArray makeGll(double latitude, double longitude, const QTime &utc, QByteArrayView talker)
{
    char ns, ew;
    const QByteArray lat = angle(latitude, 2, 'N', 'S', &ns);
    const QByteArray lon = angle(longitude, 3, 'E', 'W', &ew);
    return nmeaSentence(talker.toByteArray() + "GLL," + lat + ',' + ns + ',' + lon + ',' + ew + ',' + timeText(utc) + ",A,A");
}

QByteArray makeGga(double latitude, double longitude, const QTime &utc, QByteArrayView talker)
{
    char ns, ew;
    const QByteArray lat = angle(latitude, 2, 'N', 'S', &ns);
    const QByteArray lon = angle(longitude, 3, 'E', 'W', &ew);
    return nmeaSentence(talker.toByteArray() + "GGA," + timeText(utc) + ',' + lat + ',' + ns + ',' + lon + ',' + ew
                        + ",1,08,0.9,0.0,M,-32.1,M,,");
}

QByteArray makeRmc(double latitude, double longitude, const QDateTime &utc, QByteArrayView talker)
{
    char ns, ew;
    const QByteArray lat = angle(latitude, 2, 'N', 'S', &ns);
    const QByteArray lon = angle(longitude, 3, 'E', 'W', &ew);
    const QByteArray date = utc.date().toString(QStringLiteral("ddMMyy")).toLatin1();
    return nmeaSentence(talker.toByteArray() + "RMC," + timeText(utc.time()) + ",A," + lat + ',' + ns + ',' + lon + ',' + ew
                        + ",0.5,054.7," + date + ",,,A");
}

} // namespace bravik::gps
