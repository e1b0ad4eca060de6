#pragma once

// The two leg-entry wizards, multiple setpoints and multiple waypoints,
// without their windows: the count box rules, the stored legs, the caption
// texts and the script build.  The windows feed box texts in and show what
// comes back; bravik-mission builds the same scripts from its options.

#include "SingleLegTemplates.h"
#include "TemplateBuild.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace bravik::mission {

// The leg arrays have 20 slots (index 0 to 19).
constexpr int kMaxLegs = 20;

// ---------------------------------------------------------------------------
// Legs as numbers

struct SetpointLeg
{
    double heading = 0.0;  // degrees true
    double duration = 0.0; // seconds
    double depth = 0.0;    // metres
    double speed = 0.0;    // metres per second
};

struct WaypointLeg
{
    double latitude = 0.0;  // decimal degrees, south negative
    double longitude = 0.0; // decimal degrees, west negative
    double duration = 0.0;
    double depth = 0.0;
    double speed = 0.0;
};

// The boxes of one setpoint or one waypoint, as typed: the same boxes, with
// the same starting texts, as the transit and waypoint templates have.
using SetpointEntry = TransitInputs;
using WaypointEntry = WaypointInputs;

// What reading one entry gives: the hemisphere notices (waypoints only;
// they inform and the reading goes on), then either the message of the
// first empty box (with the box's name) or the leg.  Every number is read
// by the lenient rule, so only emptiness stops a reading.
template <class Leg>
struct LegReading
{
    QStringList notices;
    QString message;
    QString box;
    Leg leg;
    bool ok() const { return message.isEmpty(); }
};

LegReading<SetpointLeg> readSetpointEntry(const SetpointEntry &entry);
LegReading<WaypointLeg> readWaypointEntry(const WaypointEntry &entry);

// The mission timer of a chain of legs: 1.2 x (sum of the durations) + 200,
// not rounded.  The envelope depth: the deepest leg's depth, 0 when none is
// deeper than 0.
double chainTimerSeconds(const QList<double> &durations);
double chainEnvelopeDepth(const QList<double> &depths);

// The scripts, legs in entry order (1 to 20 of them).  Every number reaches
// the writers as a floating-point number; a value too large to write (an
// infinity from the arithmetic) stops the build with a message.
TemplateBuild buildMultipleSetpoints(const QList<SetpointLeg> &legs);
TemplateBuild buildMultipleWaypoints(const QList<WaypointLeg> &legs);

// ---------------------------------------------------------------------------
// The wizards

// The captions of the leg labels, by object name ("lblHeading" -> text).
struct LegCaption
{
    QString label;
    QString text;
};

// What the count box did with a change of its text.
struct CountReaction
{
    bool accepted = false; // the count was taken: the entry boxes show
    bool locked = false;   // the count box no longer takes changes
    QString message;       // shown when not empty
};

// What "Next Setpoint" / "Next Waypoint" did.
struct NextReaction
{
    enum Outcome {
        Ignored,  // past the count: nothing happens
        Stopped,  // an empty box (or a value too large): nothing stored
        Stored,   // stored; the window waits for the next leg
        Complete, // the last leg is stored: the script is to be saved
        SaveAgain // every leg was already stored: ask for the file again
    };
    Outcome outcome = Ignored;
    QStringList messages; // shown one after the other, in order
    QString box;          // the box a stopping message is about
};

// The state both wizards share: the count, the legs stored so far and the
// number of the leg the boxes fill next.  Window state, so it starts over
// with every opening of the window.
class LegWizard
{
public:
    // The count box.  Empty, not a number as a whole, or beyond a 16-bit
    // count: the empty-count message.  20 or more: the too-many message.
    // Otherwise the count is accepted (the lenient reading of the text,
    // rounded halves to even, so 19.5 gives 20) and entry starts again at
    // the first leg.  A locking wizard ignores every change after that.
    CountReaction countChanged(const QString &text);

    int numLegs() const { return m_numLegs; }
    int currentLeg() const { return m_currentLeg; }
    bool countAccepted() const { return m_countAccepted; }
    // True once every leg asked for is stored (and the save is due).
    bool allStored() const { return m_countAccepted && m_numLegs > 0 && m_currentLeg == m_numLegs; }

    // The captions "Next" writes: for the leg after the stored ones.
    virtual QList<LegCaption> captions() const = 0;
    // The script of every leg asked for; until all of them are stored, a
    // build that stops with a message.
    TemplateBuild build() const { return buildStored(allStored() ? numLegs() : 0); }

protected:
    LegWizard(bool locksCount, QString emptyCountMessage);
    virtual ~LegWizard() = default;

    // The shared start of "Next": Ignored when past the count, SaveAgain
    // when every leg is stored, Stored when a leg is to be read.
    NextReaction::Outcome nextStep() const;
    // After a leg was put at currentLeg(): counts it and says what follows.
    NextReaction::Outcome advance();
    // The build of the legs stored so far (slot 0 only for a count of 0).
    virtual TemplateBuild buildStored(int count) const = 0;
    // Tries the build with the leg just put at currentLeg(); a leg whose
    // numbers the script could not hold is refused.  True when it fits.
    bool fits(NextReaction &r) const;
    // The whole of "Next": reads the entry with `read` when a leg is due and
    // puts the leg into `legs` at currentLeg() when the script can hold it.
    template <class Leg, class Entry>
    NextReaction nextLeg(std::array<Leg, kMaxLegs> &legs, LegReading<Leg> (*read)(const Entry &),
                         const Entry &entry);

    // Caption number: the leg after the stored ones, counted from 1.
    int nextNumber() const { return m_currentLeg + 1; }

private:
    const bool m_locksCount;
    const QString m_emptyCountMessage;
    bool m_countAccepted = false;
    bool m_countLocked = false;
    int m_numLegs = 0;    // 16-bit in range by the count rule
    int m_currentLeg = 0; // never beyond kMaxLegs
};

class SetpointWizard : public LegWizard
{
public:
    SetpointWizard();

    NextReaction next(const SetpointEntry &entry);
    const std::array<SetpointLeg, kMaxLegs> &legs() const { return m_legs; }

    QList<LegCaption> captions() const override;

    static QList<LegCaption> designCaptions();

protected:
    TemplateBuild buildStored(int count) const override;

private:
    std::array<SetpointLeg, kMaxLegs> m_legs{};
};

class WaypointWizard : public LegWizard
{
public:
    WaypointWizard();

    NextReaction next(const WaypointEntry &entry);
    const std::array<WaypointLeg, kMaxLegs> &legs() const { return m_legs; }

    QList<LegCaption> captions() const override;

    static QList<LegCaption> designCaptions();

protected:
    TemplateBuild buildStored(int count) const override;

private:
    std::array<WaypointLeg, kMaxLegs> m_legs{};
};

// ---------------------------------------------------------------------------
// The transect: one survey line with the depth driven up and down.

// Box texts of frmTransectMissionData.
struct TransectInputs
{
    QString heading;     // txtHeading
    QString duration;    // txtDuration
    QString minDepth;    // txtMinDepth
    QString maxDepth;    // txtMaxDepth
    QString minAltitude; // txtMinAltitude
    QString maxCycles;   // txtMaxCycles (not checked)
    QString speed;       // txtSpeed
};

// The envelope altitude before rounding: minimum altitude - 5, the text read
// leniently.
double transectEnvelopeAltitude(const QString &minAltitude);

TemplateBuild buildTransect(const TransectInputs &in);

// Registers setpoints, waypoints and transect with bravik-mission.
void registerMultiLegCliTemplates();

} // namespace bravik::mission
