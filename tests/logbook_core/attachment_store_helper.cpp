// For the kill test of tst_attachments: stores a file of MEGABYTES as an
// attachment of the entry with KEY in VehicleMaintenance, again and again
// with a different last byte each time, until it is killed.
//   attachment-store-helper DRIVER LOCATION KEY MEGABYTES

#include "Attachments.h"
#include "Database.h"

#include <QCoreApplication>
#include <cstdio>

using namespace bravik::logbook;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: attachment-store-helper DRIVER LOCATION KEY MEGABYTES\n");
        return 2;
    }
    QString error;
    auto db = Database::open({args.at(1), args.at(2)}, &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    attachments::FileContent file;
    file.fileName = QStringLiteral("vehicle.log");
    file.mediaType = QStringLiteral("text/plain");
    file.bytes = QByteArray(args.at(4).toInt() * 1024 * 1024, 'x');
    for (int i = 0;; ++i) {
        file.bytes[file.bytes.size() - 1] = char(i);
        file.sha256 = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(i);   // a key of its own for each content
        if (!attachments::store(*db, QStringLiteral("VehicleMaintenance"), args.at(3).toLongLong(), file,
                                {QStringLiteral("helper"), QStringLiteral("helper"), QDateTime::currentDateTimeUtc()}, {},
                                nullptr, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("stored %d\n", i);
        std::fflush(stdout);
    }
}
