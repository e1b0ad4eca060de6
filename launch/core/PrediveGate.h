#pragma once

// Whether a mission may run as far as the predive checklist goes: when the
// crew asks for it ([launch] requirePredive=HOURS), "Run Mission" needs a
// predive checklist stored within that many hours, its hidden stamp
// (StampedAtUtc) telling when, with every "... Operational" and
// "... Valid" box ticked.  The latest stamped checklist decides: a newer
// one with a box left open is not outweighed by an older complete one.
//
// The latest checklists are read as one job of the logbook service, within
// its deadline; a logbook that cannot be read refuses the run with the
// reason.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

namespace bravik::logbook {
class Database;
class LogbookClient;
}

namespace bravik::launch::predive {

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

// Whether a stored checklist is taken into account at all.
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

// The gate on an open connection (a job's): `hours` of 0 or less is off
// (nothing is read).  `now` is the time to judge by, in UTC.
GateAnswer check(logbook::Database &db, double hours, const QDateTime &now);

// The same as a job of `client`, within `deadline` (zero: the service's
// statement timeout); `done` gets the answer later on the client's thread,
// unless the client is gone by then.  Off answers without asking.
void check(logbook::LogbookClient &client, double hours, const QDateTime &now, std::chrono::milliseconds deadline,
           std::function<void(const GateAnswer &)> done);

// The run refused because the logbook could not be read, and why.
GateAnswer unreadable(const QString &reason);

// "6 hours", "1 hour", "1.5 hours".
QString hoursText(double hours);

} // namespace bravik::launch::predive
