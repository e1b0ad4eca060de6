// The report's pages, laid out on a thread of their own, wait for a
// launch's pictures only when they come to it: pictures drawn before or
// while they wait, a launch that gets none, drawing that ends without them,
// a report given up while it waits (no file, and the thread ends).
#include "PdfText.h"
#include "ReportDrawing.h"

#include <QDeadlineTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>

using namespace bravik;
using namespace bravik::ops;

class TestReportPictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pagesWaitOnlyForWhatComes_data()
    {
        QTest::addColumn<bool>("expected");   // the launch is to get pictures
        QTest::addColumn<QString>("then");     // put, close, stop or nothing
        QTest::addColumn<int>("afterMs");      // -1: before the pages start
        QTest::addColumn<QString>("says");     // in the PDF; empty: no PDF
        QTest::newRow("drawn before") << true << "put" << -1 << "Pictures of launch 7";
        QTest::newRow("drawn while the pages wait") << true << "put" << 300 << "Pictures of launch 7";
        QTest::newRow("a launch without pictures") << false << "nothing" << 0 << "No pictures";
        QTest::newRow("drawing ended without them") << true << "close" << 300 << "No pictures";
        QTest::newRow("given up while waiting") << true << "stop" << 300 << "";
    }
    void pagesWaitOnlyForWhatComes()
    {
        QFETCH(bool, expected);
        QFETCH(QString, then);
        QFETCH(int, afterMs);
        QFETCH(QString, says);
        ReportContent report;
        report.span = TimeSpan::day(QDate(2026, 12, 8));
        LaunchDetail launch;
        launch.line.key = launch.line.launch.key = 7;
        report.launches << launch;
        LaunchPictures drawn;
        drawn.size = QSize(440, 275);
        for (QPicture *picture : {&drawn.depth, &drawn.track})
            QPainter(picture).drawText(QPointF(10, 20), QStringLiteral("Pictures of launch 7"));

        ReportPictures pictures(expected ? QList<qint64>{7} : QList<qint64>{});
        auto act = [&] {
            if (then == QLatin1String("put"))
                pictures.put(7, drawn);
            else if (then != QLatin1String("nothing"))
                pictures.close(then == QLatin1String("stop"));
        };
        if (afterMs < 0)
            act();
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("day.pdf"));
        bool ok = false;
        QString error;
        std::unique_ptr<QThread> pages(QThread::create([&] { ok = writeReportPdf(report, pictures, pdf, &error); }));
        pages->start();
        if (afterMs >= 0) {
            QTest::qWait(afterMs);
            act();
        }
        if (!pages->wait(QDeadlineTimer(30000))) {
            pictures.close(true);
            pages->wait();
            QFAIL("the pages' thread went on waiting");
        }
        QCOMPARE(ok, !says.isEmpty());
        QCOMPARE(QFile::exists(pdf), !says.isEmpty());
        QVERIFY2(says.isEmpty() ? error.contains(QStringLiteral("stopped")) : test::pdfText(pdf).contains(says),
                 qPrintable(error + test::pdfText(pdf)));
    }
};

QTEST_MAIN(TestReportPictures)
#include "tst_reportpictures.moc"
