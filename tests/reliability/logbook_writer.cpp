// Test helper: stores rows in a logbook through the record cursor, the way
// a record window does (begin a new row, fill it, leave it), and prints one
// line for each row only after its commit has returned:
//
//   stored TAG-N KEY
//
// The crash-cycle and concurrent-writer tests kill it or run several at
// once and then hold the logbook to every line it printed.
//
//   bravik-logbook-writer --driver QSQLITE|QPSQL --location LOC --tag TAG
//                         [--rows N] [--wait-for-go] [--retry]
//
// It prints "ready" once the logbook is open.  --wait-for-go then waits for
// a line on standard input, so several start writing at the same moment.
// A refused store ends it with status 3 and the engine's message, unless
// --retry is given: then it leaves the row again (as a user would, once
// the message is read) every 50 ms for up to a minute.
//
// Like the program's logbook service, it waits for another program's write
// lock by trying every few milliseconds, not with the engine's own growing
// pauses (with four writers taking turns, a pause of 100 ms can miss every
// turn for longer than the engine's five seconds); it gives up only after
// five minutes.

#include "Database.h"
#include "NativeHandle.h"
#include "RecordCursor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace bravik::logbook;

namespace {

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int usage()
{
    std::fprintf(stderr, "usage: bravik-logbook-writer --driver QSQLITE|QPSQL --location LOC --tag TAG "
                         "[--rows N] [--wait-for-go] [--retry]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DatabaseLocation where;
    QString tag;
    long long rows = 1000000;
    bool waitForGo = false, retry = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&]() { return i + 1 < args.size() ? args.at(++i) : QString(); };
        if (a == QLatin1String("--driver"))
            where.driver = value();
        else if (a == QLatin1String("--location"))
            where.location = value();
        else if (a == QLatin1String("--tag"))
            tag = value();
        else if (a == QLatin1String("--rows"))
            rows = value().toLongLong();
        else if (a == QLatin1String("--wait-for-go"))
            waitForGo = true;
        else if (a == QLatin1String("--retry"))
            retry = true;
        else
            return usage();
    }
    if (where.location.isEmpty() || tag.isEmpty() || rows <= 0)
        return usage();

    QString error;
    std::unique_ptr<Database> db;
    for (int attempt = 0; !db; ++attempt) {
        db = Database::open(where, &error);
        if (!db && (!retry || attempt >= 1200)) {
            std::fprintf(stderr, "refused: cannot open the logbook: %s\n", qPrintable(error));
            return 3;
        }
        if (!db)
            QThread::msleep(50);
    }
    QElapsedTimer running;
    running.start();
    native::setLockWait(db->connection(), [&running] { return running.hasExpired(300000); });
    RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
    if (!cursor.open()) {
        std::fprintf(stderr, "refused: cannot open the table: %s\n", qPrintable(cursor.lastError()));
        return 3;
    }
    say("ready");
    if (waitForGo) {
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            return 4;
    }

    for (long long n = 1; n <= rows; ++n) {
        const QString note = QStringLiteral("%1-%2").arg(tag).arg(n);
        if (!cursor.beginNew()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(cursor.lastError()));
            return 3;
        }
        cursor.setValue(QStringLiteral("Date/Time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
        cursor.setValue(QStringLiteral("SubmittedBy"), tag);
        cursor.setValue(QStringLiteral("Note"), note);
        int attempts = 0;
        while (!cursor.save()) {
            if (!retry || ++attempts > 1200) {
                std::fprintf(stderr, "refused: %s\n", qPrintable(cursor.lastError()));
                return 3;
            }
            QThread::msleep(50);
        }
        // Only now is the row known to be stored.
        say("stored " + note.toUtf8() + ' ' + QByteArray::number(cursor.currentKey()));
    }
    return 0;
}
