#include "ClockText.h"

#include <QtTest>

using bravik::clockText;

class TestClockText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void text_data();
    void text();
    void fourDigitYearWhateverTheLocale_data();
    void fourDigitYearWhateverTheLocale();
};

void TestClockText::text_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("expected");

    const QDate d(2003, 7, 29);
    QTest::newRow("us evening") << "en_US" << QDateTime(d, QTime(20, 23, 40)) << "7/29/2003 8:23:40 PM";
    QTest::newRow("us midnight is the date alone") << "en_US" << QDateTime(d, QTime(0, 0, 0)) << "7/29/2003";
    QTest::newRow("us first second after midnight") << "en_US" << QDateTime(d, QTime(0, 0, 1)) << "7/29/2003 12:00:01 AM";
    QTest::newRow("us noon") << "en_US" << QDateTime(d, QTime(12, 0, 0)) << "7/29/2003 12:00:00 PM";
    QTest::newRow("us milliseconds dropped") << "en_US" << QDateTime(d, QTime(9, 5, 7, 999)) << "7/29/2003 9:05:07 AM";
    QTest::newRow("us new year") << "en_US" << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << "1/1/2000";
    QTest::newRow("german") << "de_DE" << QDateTime(d, QTime(20, 23, 40)) << "29.07.2003 20:23:40";
    QTest::newRow("german midnight") << "de_DE" << QDateTime(d, QTime(0, 0, 0)) << "29.07.2003";
    QTest::newRow("british") << "en_GB" << QDateTime(d, QTime(8, 3, 4)) << "29/07/2003 08:03:04";
}

void TestClockText::text()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, expected);
    QCOMPARE(clockText(when, QLocale(locale)), expected);
}

void TestClockText::fourDigitYearWhateverTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    for (const char *name : {"en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "nb_NO", "pt_BR", "ko_KR"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestClockText::fourDigitYearWhateverTheLocale()
{
    QFETCH(QString, locale);
    const QLocale loc(locale);
    const QString t = clockText(QDateTime(QDate(1987, 11, 3), QTime(14, 15, 16)), loc);
    QVERIFY2(t.contains(QLatin1String("1987")), qPrintable(t));
    // The time part has no zone name, whatever the locale's long format says.
    QVERIFY2(!t.contains(QLatin1String("UTC")) && !t.contains(QLatin1String("GMT")), qPrintable(t));
    QVERIFY2(t.contains(QLatin1String("15")) && t.contains(QLatin1String("16")), qPrintable(t));
    QVERIFY2(!t.contains(QChar(0x202F)) && !t.endsWith(QLatin1Char(' ')), qPrintable(t));
}

QTEST_GUILESS_MAIN(TestClockText)
#include "tst_clocktext.moc"
