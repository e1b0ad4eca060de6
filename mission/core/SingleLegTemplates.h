#pragma once

// The builds of the three single-leg templates: transit, deck test and
// waypoint.  Each takes the box texts exactly as typed, checks them in the
// window's order, works out the derived numbers and calls the behaviour
// writers in the template's order.  The windows and bravik-mission call
// these and nothing else.

#include "TemplateBuild.h"

#include <QString>

namespace bravik::mission {

// Box texts of frmTransitMissionData.
struct TransitInputs
{
    QString heading;  // txtHeading
    QString duration; // txtDuration
    QString depth;    // txtDepth
    QString speed;    // txtSpeed
};

// Box texts of frmTestMissionData.
struct DeckTestInputs
{
    QString heading;  // txtHeading
    QString duration; // txtDuration
    QString speed;    // txtSpeed
};

// Box texts of frmWaypointMissionData, with the window's starting texts.
struct WaypointInputs
{
    QString latitudeInt = QStringLiteral("36");           // txtLatitudeInt
    QString latitudeMinutes = QStringLiteral("45.1234");  // txtLatitudeMinutes
    QString ns = QStringLiteral("N");                     // cmbNS
    QString longitudeInt = QStringLiteral("121");         // txtLongitudeInt
    QString longitudeMinutes = QStringLiteral("50.1234"); // txtLongitudeMinutes
    QString ew = QStringLiteral("W");                     // cmbEW
    QString duration;                                     // txtDuration
    QString depth;                                        // txtDepth
    QString speed;                                        // txtSpeed
};

// Derived numbers shared by the single-leg dive templates (and the
// transect): the timer is (duration + 200) x 1.2, the ascent time six
// seconds per metre of depth; both are then rounded halves-to-even.
double diveTimerSeconds(double duration);
double deckTestTimerSeconds(double duration);
double ascentSeconds(double depth);

// Decimal degrees from degrees and minutes read by the lenient rule; the
// sign flips only for exactly "S" (latitude) or exactly "W" (longitude).
double decimalLatitude(const QString &degrees, const QString &minutes, const QString &ns);
double decimalLongitude(const QString &degrees, const QString &minutes, const QString &ew);

TemplateBuild buildTransit(const TransitInputs &in);
TemplateBuild buildDeckTest(const DeckTestInputs &in);
TemplateBuild buildWaypoint(const WaypointInputs &in);

} // namespace bravik::mission
