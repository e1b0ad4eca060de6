// Four programs store 500 rows each into one logbook at the same moment:
// every row is stored exactly once and none is refused (a lock held by
// another program is waited for, not reported).  Runs on a SQLite file and,
// as tst_concurrent_writers_pg, on the PostgreSQL test server.

#include "WriterRuns.h"

#include "../logbook_core/LogbookFixture.h"

#include <QTest>
#include <memory>
#include <vector>

using namespace bravik::logbook;
using namespace bravik::logbook::test;

class ConcurrentWriters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void fourWriters()
    {
        constexpr int writers = 4;
        constexpr int rowsEach = 500;
        LogbookFile file;
        const DatabaseLocation where = file.where();

        // They open the logbook together too: the first creates the tables.
        std::vector<std::unique_ptr<WriterRun>> runs;
        for (int w = 0; w < writers; ++w)
            runs.push_back(std::make_unique<WriterRun>(
                where, QStringLiteral("w%1").arg(w),
                QStringList{QStringLiteral("--rows"), QString::number(rowsEach), QStringLiteral("--wait-for-go")}));
        for (auto &run : runs) {
            QVERIFY2(run->process().waitForStarted(30000), qPrintable(run->process().errorString()));
            QVERIFY2(run->waitFor([&] { return run->isReady(); }, 120000), qPrintable(run->errors()));
        }
        for (auto &run : runs) {
            run->process().write("go\n");
            run->process().closeWriteChannel();
        }
        QDeadlineTimer deadline(600000);
        bool running = true;
        while (running && !deadline.hasExpired()) {
            running = false;
            for (auto &run : runs) {
                run->pump(20);
                running |= run->process().state() != QProcess::NotRunning;
            }
        }
        QVERIFY2(!running, "the writers did not finish within ten minutes");

        QHash<QString, qint64> printed;
        for (auto &run : runs) {
            run->finish();
            QVERIFY2(run->process().exitStatus() == QProcess::NormalExit && run->process().exitCode() == 0,
                     qPrintable(QStringLiteral("a writer was refused (status %1): %2")
                                    .arg(run->process().exitCode())
                                    .arg(run->errors())));
            QVERIFY2(run->reportedTwice().isEmpty(), qPrintable(run->reportedTwice().join(u' ')));
            QCOMPARE(run->storedCount(), rowsEach);
            for (auto it = run->stored().cbegin(); it != run->stored().cend(); ++it)
                printed.insert(it.key(), it.value());
        }
        QCOMPARE(printed.size(), writers * rowsEach);
        int rows = 0;
        const QString problems = checkLogbook(where, printed, &rows);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QCOMPARE(rows, writers * rowsEach);
    }
};

QTEST_GUILESS_MAIN(ConcurrentWriters)
#include "tst_concurrent_writers.moc"
