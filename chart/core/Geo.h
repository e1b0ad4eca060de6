#pragma once

// Positions on the earth and the little geometry the chart and the shore
// checks share: great-circle distance, longitudes that stay continuous
// across 180 degrees, a local metric frame, Mercator and the way a position
// is written for a crew ("36°40.000' N, 121°40.000' W").

#include <QString>
#include <cmath>

namespace bravik::chart {

constexpr double kEarthRadius = 6371000.0; // metres
constexpr double kPi = 3.14159265358979323846;

// Signed decimal degrees, north and east positive.
struct GeoPoint
{
    double lat = 0.0;
    double lon = 0.0;
};

// Great-circle distance in metres.
double distanceMetres(const GeoPoint &a, const GeoPoint &b);

// `lon` moved by whole turns into (around - 180, around + 180].
double wrapLongitude(double lon, double around);

// Degrees and minutes with the hemisphere: "36°40.000' N, 121°40.000' W".
QString positionText(const GeoPoint &p);
QString latitudeText(double lat, int decimals = 3);
QString longitudeText(double lon, int decimals = 3);

// An area: south < north, west < east, with the longitudes continuous (east
// may pass 180 when the area crosses the antimeridian).
struct GeoBox
{
    double south = 0.0, north = 0.0, west = 0.0, east = 0.0;

    bool isValid() const { return north > south && east > west; }
    // `p` with its longitude moved into this box's frame.
    GeoPoint local(const GeoPoint &p) const;
    bool contains(const GeoPoint &p) const;   // in the box's frame
    bool containsBox(const GeoBox &b) const;  // `b` already in this frame
    GeoBox grown(double metres) const;
    double widthMetres() const;   // at the middle latitude
    double heightMetres() const;
    GeoPoint centre() const { return {(south + north) / 2.0, (west + east) / 2.0}; }
};

// The smallest box around these points, longitudes unwrapped around the
// first one; invalid for no points.  A single point gives a box of no size.
GeoBox boxAround(const GeoPoint *points, int count);

// A flat frame in metres around a latitude: fine for the few tens of
// kilometres of a mission, and for the checks' straight legs.
struct LocalFrame
{
    double lat0 = 0.0, lon0 = 0.0, kx = 0.0, ky = 0.0;

    explicit LocalFrame(const GeoPoint &origin)
        : lat0(origin.lat), lon0(origin.lon), kx(kPi / 180.0 * kEarthRadius * std::cos(origin.lat * kPi / 180.0)),
          ky(kPi / 180.0 * kEarthRadius)
    {
    }
    double x(double lon) const { return (lon - lon0) * kx; }
    double y(double lat) const { return (lat - lat0) * ky; }
    GeoPoint geo(double x, double y) const { return {lat0 + y / ky, lon0 + x / kx}; }
};

// Mercator: metres on the projection plane at the equator's scale.
double mercatorY(double lat);
double latitudeFromMercator(double y);
inline double mercatorX(double lon) { return lon * kPi / 180.0 * kEarthRadius; }
inline double longitudeFromMercator(double x) { return x / kEarthRadius * 180.0 / kPi; }

} // namespace bravik::chart
