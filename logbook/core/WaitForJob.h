#pragma once

#include "LogbookService.h"

#include <QEventLoop>
#include <QString>
#include <optional>

namespace bravik::logbook {

// For a command-line tool, which has nothing else to do while the logbook
// works: runs `work(JobContext &, QString *error)` as one long job of the
// logbook service of `where` and waits for its answer with an event loop.
// The value, or nothing with *error saying why (the engine's words, or the
// work's own).
template <class T, class Work>
std::optional<T> waitForLongJob(const DatabaseLocation &where, Work work, QString *error)
{
    LogbookClient client(where);
    JobOptions options;
    options.lane = JobOptions::Lane::Long;
    struct Result
    {
        std::optional<T> value;
        QString error;
    };
    std::optional<Answer<Result>> answer;
    QEventLoop loop;
    client.run(options,
               [work](JobContext &c) mutable {
                   Result r;
                   r.value = work(c, &r.error);
                   return r;
               },
               [&](const Answer<Result> &a) {
                   answer = a;
                   loop.quit();
               });
    loop.exec();
    if (answer && answer->ok() && answer->value.value)
        return std::move(answer->value.value);
    *error = answer && !answer->error.isEmpty() ? answer->error : answer ? answer->value.error : QString();
    if (error->isEmpty())
        *error = QStringLiteral("The logbook gave no answer.");
    return std::nullopt;
}

} // namespace bravik::logbook
