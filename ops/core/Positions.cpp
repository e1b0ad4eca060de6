#include "Positions.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace bravik::ops {

namespace {

// A plain decimal number: digits with at most one point, nothing else.
std::optional<double> number(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^\\d+(\\.\\d*)?$|^\\.\\d+$"));
    const QString t = text.trimmed();
    if (!plain.match(t).hasMatch())
        return std::nullopt;
    return t.toDouble();
}

std::optional<double> coordinate(const QString &degrees, const QString &minutes, const QString &hemisphere,
                                 const QString &positive, const QString &negative, double limit)
{
    const std::optional<double> d = number(degrees), m = number(minutes);
    const QString h = hemisphere.trimmed().toUpper();
    if (!d || !m || *m >= 60.0 || (h != positive && h != negative))
        return std::nullopt;
    const double value = *d + *m / 60.0;
    if (value > limit)
        return std::nullopt;
    return h == negative ? -value : value;
}

} // namespace

std::optional<GeoFix> fixFromBoxes(const QString &latDegrees, const QString &latMinutes, const QString &ns,
                                   const QString &lonDegrees, const QString &lonMinutes, const QString &ew)
{
    const auto lat = coordinate(latDegrees, latMinutes, ns, QStringLiteral("N"), QStringLiteral("S"), 90.0);
    const auto lon = coordinate(lonDegrees, lonMinutes, ew, QStringLiteral("E"), QStringLiteral("W"), 180.0);
    if (!lat || !lon)
        return std::nullopt;
    GeoFix fix;
    fix.latitude = *lat;
    fix.longitude = *lon;
    fix.text = QStringLiteral("%1 %2 %3, %4 %5 %6")
                   .arg(latDegrees.trimmed(), latMinutes.trimmed(), ns.trimmed().toUpper(), lonDegrees.trimmed(),
                        lonMinutes.trimmed(), ew.trimmed().toUpper());
    return fix;
}

std::optional<GeoFix> fixFromText(const QString &text)
{
    const QStringList halves = text.split(QLatin1Char(','));
    if (halves.size() != 2)
        return std::nullopt;
    const QStringList lat = halves.at(0).simplified().split(QLatin1Char(' '));
    const QStringList lon = halves.at(1).simplified().split(QLatin1Char(' '));
    if (lat.size() != 3 || lon.size() != 3)
        return std::nullopt;
    return fixFromBoxes(lat.at(0), lat.at(1), lat.at(2), lon.at(0), lon.at(1), lon.at(2));
}

QString decimalText(double degrees)
{
    QString t = QString::number(degrees, 'f', 6);
    return t == QLatin1String("-0.000000") ? QStringLiteral("0.000000") : t;
}

} // namespace bravik::ops
