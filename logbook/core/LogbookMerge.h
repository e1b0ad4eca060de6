#pragma once

#include "AccessLogbook.h"
#include "Database.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace bravik::logbook {

// What a merge did to the logbook merged into.
struct MergeSummary
{
    qint64 added = 0;       // entries (and launch records) it did not have
    qint64 changed = 0;     // entries it had that took changes made in the other
    qint64 conflicts = 0;   // fields changed in both to different values, found now
    qint64 attachments = 0; // attachments it did not have
    // From an Access logbook: the new entries that look like another entry
    // of their table (same Date/Time and SubmittedBy), and what did not
    // come over as it stood there, a line each.
    qint64 likelyDuplicates = 0;
    QStringList notes;
    // The entries it had that took changes, by table and key there, so a
    // window showing one can show its new values.
    QList<std::pair<QString, qint64>> changedEntries;

    // "312 new entries, 14 changed, 2 conflicts, nothing removed", then a
    // line for the likely duplicates and each note, when there are any.
    QString text() const;
};

// Brings the entries of the logbook `from` into `into`, matched by their
// EntryId, as one transaction on `into` (a failure or a kill leaves it as
// it was); `from` is only read.
//
// - An entry only in `from` is added with its stamp, every field, its void
//   mark and its history.
// - An entry in both takes the history rows `into` lacks: the changes made
//   in `from` since the two last agreed.  A field changed only there takes
//   its value from there (the row's RowVersion goes up, so a window showing
//   it refuses a stale store); a field changed in both to different values
//   keeps the value of `into`, and the other is kept in a MergeConflict
//   row.  A void made in either stays, with its reason.
// - Launch records come by their EntryId, linked to the mission log entry
//   of `into` with the same EntryId; merge conflicts come by theirs, a
//   settled one settling the same conflict here.
// - Attachments come by their EntryId, their bytes only where the content
//   is not there yet (attachments::merge).
// Merging again changes nothing; merging back the other way leaves both
// with the same entries, values and history.
//
// `parts` splits it in two for a thin link: the entries (with their
// history, launch records and conflicts) as one transaction, then the
// attachments as another, so the text arrives before the files.
enum class MergeParts { Everything, Entries, Attachments };
bool mergeLogbook(Database &from, Database &into, MergeSummary *summary, QString *error,
                  MergeParts parts = MergeParts::Everything);

// Brings the rows of an Access logbook, as read (access::read), into
// `into` as entries, in one transaction: a row whose EntryId `into` holds
// already (from an earlier import of the same file) is left alone, so
// importing again adds nothing.  The entries come without a stamp
// (StampedAtUtc, Workstation: the file has none) and without history.
bool mergeAccessLogbook(const access::Logbook &book, Database &into, MergeSummary *summary, QString *error);

// The command's merge: refuses the same logbook twice (however its path
// is spelt), a logbook file that is not there (it is never made), and a
// logbook whose tables a newer program made; then runs mergeLogbook() as
// one long job of the logbook service of `into`, which is made when it
// does not exist.  An Access file (.mdb, .accdb) as `from` is read there
// (access::read, its dates written by `dateText`: the clock's text) and
// brought in by mergeAccessLogbook(); one with none of the logbook's
// tables is refused.  The summary, or nothing with *error.
std::optional<MergeSummary> mergeLogbooks(const DatabaseLocation &from, const DatabaseLocation &into,
                                          QString *error, const access::DateText &dateText = {});

} // namespace bravik::logbook
