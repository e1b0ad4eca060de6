#pragma once

// The one line that says what matters of an entry, for the timeline, the
// report and the event log: for each kind what a crew lead looks for
// first (a mission log: purpose, script, maximum depth; a launch: script,
// reviewer, how it ended, aborted or not; a battery charge: the packs and
// their voltages; a task: what, and whether done; a weather observation:
// wind, swell, sky), then the first line of the entry's notes, then its
// position where it has one.

#include "LaunchLog.h"
#include "OperationsQueries.h"
#include "Positions.h"

#include <QString>
#include <optional>

namespace bravik::ops {

struct EntryLine
{
    QString summary;
    std::optional<GeoFix> position;
};

EntryLine summarizeEntry(const logbook::operations::StoredEntry &entry);
EntryLine summarizeLaunch(const logbook::launchlog::Record &launch);

// The first line of a text that is not blank, trimmed, at most `limit`
// characters (longer ones end in "…").
QString firstLine(const QString &text, int limit = 120);

// The field holding the entry's notes in that table (empty for none).
QString notesField(const QString &table);

// The file name alone of a path written on either platform.
QString fileNameOf(const QString &path);

// "ended 0", "ended with status 3", "not started: reason", "started, not
// ended yet" for a launch's run.
QString launchOutcome(const logbook::launchlog::Record &launch);
bool launchAborted(const logbook::launchlog::Record &launch);
// A run that ended with a status other than 0, or never started.
bool launchFailed(const logbook::launchlog::Record &launch);

} // namespace bravik::ops
