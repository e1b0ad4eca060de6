#pragma once

// Positions as the windows store them: whole degrees, minutes and a
// hemisphere letter in three boxes for the latitude and three for the
// longitude ("36", "45.25", "N"); a launch record keeps the same six as one
// text ("36 45.25 N, 121 50.5 W").  Read back into signed decimal degrees
// (north and east positive) for the event log and the charts.

#include <QString>
#include <optional>

namespace bravik::ops {

struct GeoFix
{
    double latitude = 0.0;    // signed decimal degrees
    double longitude = 0.0;
    QString text;             // as stored: "36 45.25 N, 121 50.5 W"
};

// No value when a box is empty or not a number, a hemisphere is not N/S or
// E/W (any case), or the position is out of range.
std::optional<GeoFix> fixFromBoxes(const QString &latDegrees, const QString &latMinutes, const QString &ns,
                                   const QString &lonDegrees, const QString &lonMinutes, const QString &ew);

// The launch record's text of the same six.
std::optional<GeoFix> fixFromText(const QString &text);

// "36.754167": six decimals, about ten centimetres.
QString decimalText(double degrees);

} // namespace bravik::ops
