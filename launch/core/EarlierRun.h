#pragma once

// The text a reviewer signed off the last time a file of the same name ran,
// read from the launch records so the review window can show what changed
// since.  "The same name" is the file's own name, whatever its folder: a
// script copied to another folder or another computer, or the missions
// folder seen from Windows and from Linux, is still the script the crew
// ran; the line changes themselves then show whether it is.

#include "ScriptChanges.h"

#include <QString>
#include <chrono>
#include <functional>

namespace bravik::logbook {
class Database;
class LogbookClient;
}

namespace bravik::launch {

struct EarlierRun
{
    enum class Kind { NotRunBefore, Found, NotAvailable };
    Kind kind = Kind::NotRunBefore;
    EarlierReview review;   // Found
    QString reason;         // NotAvailable: why, in the logbook's words

    static EarlierRun notRunBefore() { return {}; }
    static EarlierRun found(const EarlierReview &review) { return {Kind::Found, review, {}}; }
    static EarlierRun notAvailable(const QString &reason) { return {Kind::NotAvailable, {}, reason}; }
};

// On an open connection (a job's).
EarlierRun latestRun(logbook::Database &db, const QString &missionPath);

// The same as a job of `client`, within `deadline`; `done` gets the answer
// later on the client's thread, unless the client is gone by then.
void readLatestRun(logbook::LogbookClient &client, const QString &missionPath, std::chrono::milliseconds deadline,
                   std::function<void(const EarlierRun &)> done);

} // namespace bravik::launch
