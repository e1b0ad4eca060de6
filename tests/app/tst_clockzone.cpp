// The line under the main window's clock names the computer's time zone
// when it is not UTC.
#include "ClockText.h"

#include <QTest>
#include <ctime>

class ClockZoneTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void zoneNote_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<QString>("note");
        QTest::newRow("utc") << QByteArray("UTC") << QString();
        QTest::newRow("pacific winter") << QByteArray("America/Los_Angeles")
                                        << QStringLiteral("This computer's clock is UTC\u221208:00, not GMT");
        QTest::newRow("india") << QByteArray("Asia/Kolkata") << QStringLiteral("This computer's clock is UTC+05:30, not GMT");
        QTest::newRow("posix rule") << QByteArray("XST-3") << QStringLiteral("This computer's clock is UTC+03:00, not GMT");
    }
    void zoneNote()
    {
        QFETCH(QByteArray, tz);
        QFETCH(QString, note);
        qputenv("TZ", tz);
        tzset();
        const QDateTime winter(QDate(2026, 12, 8), QTime(4, 29, 18), Qt::UTC);
        QCOMPARE(bravik::clockZoneNote(winter), note);
        qunsetenv("TZ");
        tzset();
    }
};

QTEST_GUILESS_MAIN(ClockZoneTest)
#include "tst_clockzone.moc"
