// A second program on the same logbook file, for the tests of waiting.
//
//   logbook-wait-helper hold FILE MS [SQL]
//                                         take the write lock (and run SQL
//                                         under it), say "held", keep it MS
//                                         milliseconds, then commit
//   logbook-wait-helper write FILE N TAG  store N rows in Miscellaneous the
//                                         way a record window does, each
//                                         its own commit; every refusal is
//                                         printed, the exit code is 1 then
#include "Database.h"
#include "LogbookService.h"
#include "RecordFront.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>

using namespace bravik::logbook;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args.at(1) == QLatin1String("hold")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        db.setDatabaseName(args.at(2));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=20000"));
        if (!db.open())
            return 2;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            std::printf("cannot lock: %s\n", qPrintable(q.lastError().text()));
            return 2;
        }
        if (args.size() >= 5 && !q.exec(args.at(4))) {
            std::printf("cannot change: %s\n", qPrintable(q.lastError().text()));
            return 2;
        }
        std::printf("held\n");
        std::fflush(stdout);
        QThread::msleep(args.at(3).toULong());
        q.exec(QStringLiteral("COMMIT"));
        return 0;
    }
    if (args.size() >= 5 && args.at(1) == QLatin1String("write")) {
        int failures = 0;
        {
        RecordFront front({QStringLiteral("QSQLITE"), args.at(2)}, QStringLiteral("Miscellaneous"));
        QObject::connect(&front, &RecordFront::failed, [&failures](const QString &message) {
            ++failures;
            std::printf("refused: %s\n", qPrintable(message));
            std::fflush(stdout);
        });
        // Each answer comes through the event loop.
        auto settle = [&front] {
            QElapsedTimer clock;
            clock.start();
            while (front.isBusy()) {
                if (clock.elapsed() > 60000) {
                    std::printf("refused: no answer within 60 s\n");
                    std::exit(1);
                }
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            }
        };
        front.request(RecordFront::Request::Open);
        settle();
        const int rows = args.at(3).toInt();
        for (int i = 1; i <= rows; ++i) {
            front.request(RecordFront::Request::BeginNew);
            settle();
            front.setValue(QStringLiteral("Note"), QStringLiteral("%1 %2").arg(args.at(4)).arg(i));
            front.setValue(QStringLiteral("SubmittedBy"), args.at(4));
            front.request(RecordFront::Request::Save);
            settle();
        }
        }
        LogbookService::shutdownAll(std::chrono::seconds(10));
        return failures ? 1 : 0;
    }
    std::fprintf(stderr, "usage: logbook-wait-helper hold FILE MS [SQL] | write FILE N TAG\n");
    return 2;
}
