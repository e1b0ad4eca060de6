#pragma once

// Whether a mission may run as far as the predive checklist goes: when the
// crew asks for it ([launch] requirePredive=HOURS), "Run Mission" needs a
// predive checklist stored within that many hours, its hidden stamp
// (StampedAtUtc) telling when, with every "... Operational" and
// "... Valid" box ticked.  The latest stamped checklist decides: a newer
// one with a box left open is not outweighed by an older complete one.
//
// One small query reads the latest checklists by their stamp, bounded by a
// statement timeout; a logbook that cannot be read refuses the run with
// the reason.

#include "Database.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

namespace bravik::logbook::predive {

// The check boxes of the predive table that must be ticked: every boolean
// field whose name ends in "Operational" or "Valid", in the table's order.
QStringList requiredChecks();

// The caption a person knows a check box by: the field's name with a blank
// between a lower-case letter and the capital after it
// ("PayloadOperational" -> "Payload Operational").
QString checkCaption(const QString &field);

// One stored predive checklist as the gate sees it.
struct Checklist
{
    qint64 key = -1;
    QDateTime stampedAt;      // UTC; invalid when the row has no usable stamp
    QString submittedBy;
    QStringList unticked;     // captions of the required boxes not ticked, sorted
};

// Whether a stored checklist is taken into account at all (a voided one
// is never read).
bool countsForGate(const Checklist &row);

struct GateAnswer
{
    enum class Verdict { Off, Passed, Refused, Unreadable };
    Verdict verdict = Verdict::Off;
    QString message;                  // empty when the run may go ahead
    std::optional<Checklist> latest;  // the checklist that decided, if any

    bool allowsRun() const { return verdict == Verdict::Off || verdict == Verdict::Passed; }
};

// How far a stamp may lie ahead of this computer's clock and still count
// (another workstation's clock running a little fast).
constexpr std::chrono::seconds kClockTolerance{300};

// The gate on an open logbook: `hours` of 0 or less is off (nothing is
// read).  `now` is the time to judge by, in UTC.  The query is cancelled
// when it runs longer than `statementTimeout`.  Blocks until answered: call
// it off the user-interface thread (see checkInBackground).
GateAnswer check(Database &db, double hours, const QDateTime &now,
                 std::chrono::milliseconds statementTimeout = std::chrono::seconds(20));

// The same on a connection of its own to `where`, opened for this check.
GateAnswer check(const DatabaseLocation &where, double hours, const QDateTime &now,
                 std::chrono::milliseconds statementTimeout = std::chrono::seconds(20));

// Runs check(where, ...) on a thread of its own and calls `done` with the
// answer on `context`'s thread, unless `context` is gone by then.
void checkInBackground(const DatabaseLocation &where, double hours, const QDateTime &now,
                       std::chrono::milliseconds statementTimeout, QObject *context,
                       std::function<void(const GateAnswer &)> done);

// "6 hours", "1 hour", "1.5 hours".
QString hoursText(double hours);

} // namespace bravik::logbook::predive
