#include "Geo.h"

#include <QChar>
#include <algorithm>

namespace bravik::chart {

namespace {

constexpr double kMaxMercatorLat = 85.0;

QString degreesMinutes(double value, int degreeWidth, QChar positive, QChar negative, int decimals)
{
    const QChar hemisphere = value < 0 ? negative : positive;
    const double scale = std::pow(10.0, decimals);
    // Rounded once, in minutes, so 59.9996' never shows as 60.000'.
    const double totalMinutes = std::round(std::abs(value) * 60.0 * scale) / scale;
    const int degrees = int(totalMinutes / 60.0);
    const double minutes = totalMinutes - degrees * 60.0;
    return QStringLiteral("%1°%2' %3")
        .arg(degrees, degreeWidth)
        .arg(minutes, decimals + 3, 'f', decimals, QLatin1Char('0'))
        .arg(hemisphere)
        .trimmed();
}

} // namespace

double distanceMetres(const GeoPoint &a, const GeoPoint &b)
{
    const double p1 = a.lat * kPi / 180.0, p2 = b.lat * kPi / 180.0;
    const double dp = p2 - p1, dl = (b.lon - a.lon) * kPi / 180.0;
    const double h = std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 2.0 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

double wrapLongitude(double lon, double around)
{
    if (!std::isfinite(lon) || !std::isfinite(around))
        return lon;
    double d = std::fmod(lon - around, 360.0);
    if (d > 180.0)
        d -= 360.0;
    else if (d <= -180.0)
        d += 360.0;
    return around + d;
}

QString latitudeText(double lat, int decimals)
{
    return degreesMinutes(lat, 1, QLatin1Char('N'), QLatin1Char('S'), decimals);
}

QString longitudeText(double lon, int decimals)
{
    return degreesMinutes(wrapLongitude(lon, 0.0), 1, QLatin1Char('E'), QLatin1Char('W'), decimals);
}

QString positionText(const GeoPoint &p)
{
    return latitudeText(p.lat) + QStringLiteral(", ") + longitudeText(p.lon);
}

GeoPoint GeoBox::local(const GeoPoint &p) const
{
    return {p.lat, wrapLongitude(p.lon, (west + east) / 2.0)};
}

bool GeoBox::contains(const GeoPoint &p) const
{
    const GeoPoint q = local(p);
    return q.lat >= south && q.lat <= north && q.lon >= west && q.lon <= east;
}

bool GeoBox::containsBox(const GeoBox &b) const
{
    const double shift = wrapLongitude(b.west, (west + east) / 2.0) - b.west;
    return b.south >= south && b.north <= north && b.west + shift >= west && b.east + shift <= east;
}

GeoBox GeoBox::grown(double metres) const
{
    const double dLat = metres / kEarthRadius * 180.0 / kPi;
    const double edgeLat = std::min(89.0, std::max(std::abs(south), std::abs(north)) + dLat);
    const double dLon = std::min(179.0, dLat / std::max(0.02, std::cos(edgeLat * kPi / 180.0)));
    GeoBox b{std::max(-89.9, south - dLat), std::min(89.9, north + dLat), west - dLon, east + dLon};
    if (b.east - b.west > 359.0) {
        const double mid = (west + east) / 2.0;
        b.west = mid - 179.5;
        b.east = mid + 179.5;
    }
    return b;
}

double GeoBox::widthMetres() const
{
    return (east - west) * kPi / 180.0 * kEarthRadius * std::cos((south + north) / 2.0 * kPi / 180.0);
}

double GeoBox::heightMetres() const
{
    return (north - south) * kPi / 180.0 * kEarthRadius;
}

GeoBox boxAround(const GeoPoint *points, int count)
{
    if (count <= 0)
        return {};
    const double around = points[0].lon;
    GeoBox b{points[0].lat, points[0].lat, around, around};
    for (int i = 1; i < count; ++i) {
        const double lon = wrapLongitude(points[i].lon, around);
        b.south = std::min(b.south, points[i].lat);
        b.north = std::max(b.north, points[i].lat);
        b.west = std::min(b.west, lon);
        b.east = std::max(b.east, lon);
    }
    return b;
}

double mercatorY(double lat)
{
    const double l = std::clamp(lat, -kMaxMercatorLat, kMaxMercatorLat) * kPi / 180.0;
    return kEarthRadius * std::log(std::tan(kPi / 4.0 + l / 2.0));
}

double latitudeFromMercator(double y)
{
    return (2.0 * std::atan(std::exp(y / kEarthRadius)) - kPi / 2.0) * 180.0 / kPi;
}

} // namespace bravik::chart
