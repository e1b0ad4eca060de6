#pragma once

// How the operations and chart windows read through the logbook service:
// on its long lane, stoppable, telling how far they got.

#include "LogbookService.h"
#include "Seams.h"
#include "Settings.h"
#include "Timeline.h"

#include <optional>

namespace bravik::ops {

// What a long read hands back: its value, or why there is none (nothing
// when it was stopped).
template <class T>
struct Read
{
    std::optional<T> value;
    QString error;
};

inline logbook::JobOptions longRead()
{
    logbook::JobOptions o;
    o.lane = logbook::JobOptions::Lane::Long;
    return o;
}

inline ReadSteps stepsOf(logbook::JobContext &c)
{
    return {[&c] { return c.stopRequested(); }, [&c](double share) { c.progress(share); }};
}

inline logbook::DatabaseLocation logbookLocation()
{
    return {settings().databaseDriver, settings().database};
}

// Why a read has no value: the service's answer, or the job's own.
inline QString failureOf(const logbook::JobAnswer &answer, const QString &own)
{
    if (answer.status == logbook::JobStatus::Withdrawn)
        return {};
    if (!answer.error.isEmpty())
        return answer.error;
    return own;
}

// What a window says of a read of `span` that has no value: nothing when it
// was stopped for a newer read (that one reports for itself); otherwise its
// status line, and for a failure the message to show.
struct ReadFailure
{
    bool silent = false;
    QString status;
    QString message;
};

inline ReadFailure readFailure(const logbook::JobAnswer &answer, const QString &own, const TimeSpan &span, bool newerAsked)
{
    const QString error = failureOf(answer, own);
    if (error.isEmpty() && newerAsked)
        return {true, {}, {}};
    if (error.isEmpty())
        return {false, QStringLiteral("Stopped: %1 was not read whole. Press Show to read it again.").arg(span.text()), {}};
    return {false, QStringLiteral("The logbook could not be read."),
            QStringLiteral("The logbook could not be read for %1:\n%2").arg(span.text(), error)};
}

// Reads `span` for a window on the long lane: `read(JobContext &, QString
// *error)` runs on the service's thread; a value ends the window's busy
// line and goes to `done`, a read without one ends it with the reason (a
// failure also in a message), unless a newer read was asked for since.
template <class T, class ReadFn, class SetBusy, class Done>
void readSpan(QWidget *window, logbook::LogbookClient &client, const TimeSpan &span, ReadFn read, SetBusy setBusy, Done done)
{
    client.run(
        longRead(),
        [read](logbook::JobContext &c) {
            Read<T> r;
            r.value = read(c, &r.error);
            return r;
        },
        [window, &client, span, setBusy, done](const logbook::Answer<Read<T>> &a) {
            if (a.ok() && a.value.value) {
                setBusy(false, QString());
                done(*a.value.value);
                return;
            }
            const ReadFailure f = readFailure(a, a.value.error, span, client.isBusy());
            if (f.silent)
                return;
            setBusy(false, f.status);
            if (!f.message.isEmpty())
                inform(window, f.message);
        });
}

} // namespace bravik::ops
