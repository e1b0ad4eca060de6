// Test helper: one exchange of a logbook file with a shared logbook, as
// the program makes it in the background; the crash test kills it at
// random moments.
//
//   logbook-sync-once LOCAL-FILE SERVER-DRIVER SERVER-LOCATION
//
// Ends with status 0 when the exchange went through both ways, 1 when not
// (the reason on standard error).
#include "LogbookService.h"
#include "LogbookSync.h"

#include <QCoreApplication>
#include <cstdio>

using namespace bravik::logbook;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: logbook-sync-once LOCAL-FILE SERVER-DRIVER SERVER-LOCATION\n");
        return 2;
    }
    LogbookSync sync({QStringLiteral("QSQLITE"), QString::fromLocal8Bit(argv[1])},
                     {QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])}, std::chrono::hours(1));
    int status = 1;
    QObject::connect(&sync, &LogbookSync::exchanged, &app, [&](bool ok) {
        status = ok ? 0 : 1;
        if (!ok)
            std::fprintf(stderr, "%s\n", qPrintable(sync.status().lastError));
        app.quit();
    });
    sync.start();
    app.exec();
    LogbookService::shutdownAll(std::chrono::seconds(5));
    return status;
}
