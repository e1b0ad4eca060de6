#pragma once

// The shore of one area at one resolution: the GSHHG shoreline pieces that
// lie in it (coast, lake shores, islands in lakes) and one position whose
// side GMT itself has told (land or water).  Every other position's side
// follows from how often a path to it crosses a shoreline, so the chart can
// paint land at any zoom without asking GMT again, and the checks can find
// where a leg first meets the shore and how far a point is from it.

#include "Geo.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace bravik::chart {

// The five GSHHG resolutions, coarsest first.
enum class Resolution { Crude, Low, Intermediate, High, Full };

constexpr Resolution kAllResolutions[] = {Resolution::Crude, Resolution::Low, Resolution::Intermediate,
                                          Resolution::High, Resolution::Full};

char resolutionLetter(Resolution r);     // 'c', 'l', 'i', 'h', 'f'
QString resolutionName(Resolution r);    // "crude", "low", "intermediate", "high", "full"
// "GSHHG full resolution"
QString resolutionTitle(Resolution r);

class ShoreArea
{
public:
    // `lines` in the box's frame; `reference` a position inside the box
    // whose side is known.
    ShoreArea(const GeoBox &box, Resolution resolution, QList<QList<GeoPoint>> lines, const GeoPoint &reference,
              bool referenceOnLand);

    const GeoBox &box() const { return m_box; }
    Resolution resolution() const { return m_resolution; }
    const QList<QList<GeoPoint>> &lines() const { return m_lines; }
    int pointCount() const { return m_pointCount; }

    // Whether a position inside the box lies on land (an island in a lake
    // too; a lake is water).
    bool onLand(const GeoPoint &p) const;

    // Metres to the nearest shoreline in the box; infinity when the box has
    // none.  `nearest` receives the closest shore point.
    double distanceToShore(const GeoPoint &p, GeoPoint *nearest = nullptr) const;

    // Where the straight leg from `a` to `b` crosses a shoreline, as the
    // fractions of the leg (0 at `a`, 1 at `b`), in order.
    QList<double> crossings(const GeoPoint &a, const GeoPoint &b) const;

    // The leg's closest approach to the shore in metres (infinity when the
    // box has none) and where on the leg it is.
    double closestApproach(const GeoPoint &a, const GeoPoint &b, GeoPoint *where = nullptr) const;

    // The stretches of the parallel `lat` between `west` and `east` (the
    // box's frame) that lie on land, west to east.
    QList<std::pair<double, double>> landAlong(double lat, double west, double east) const;

private:
    struct Edge
    {
        double x1, y1, x2, y2; // longitude, latitude
    };
    bool sideAtReferenceMeridian(double lat) const;

    GeoBox m_box;
    Resolution m_resolution;
    QList<QList<GeoPoint>> m_lines;
    GeoPoint m_reference;
    bool m_referenceOnLand;
    int m_pointCount = 0;
    QList<Edge> m_edges;
    // Edges by band of latitude, for the parallels the chart paints.
    int m_bands = 1;
    QList<QList<int>> m_byBand;
    // Where shorelines cross the reference meridian, south to north.
    QList<double> m_meridianCrossings;
};

} // namespace bravik::chart
