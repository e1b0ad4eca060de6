// The land of a chart gathered from its rows into outlines covers exactly
// the rows' stretches, nothing more, whatever the rows do: a coast, an
// island that joins the land, a bay that splits it, rows without land,
// stretches that move apart.  And a coast takes a few points a row.
// Rows: "a-b,c-d|…", one row of height 1 after the other from y = 0.
#include "LandOutline.h"

#include <QtTest>

using namespace bravik::chart;

namespace {

QList<QList<std::pair<double, double>>> rowsOf(const QString &text)
{
    QList<QList<std::pair<double, double>>> rows;
    for (const QString &row : text.split(QLatin1Char('|'))) {
        QList<std::pair<double, double>> stretches;
        for (const QString &s : row.split(QLatin1Char(','), Qt::SkipEmptyParts))
            stretches.append({s.section(QLatin1Char('-'), 0, 0).toDouble(), s.section(QLatin1Char('-'), 1, 1).toDouble()});
        rows << stretches;
    }
    return rows;
}

} // namespace

class TestLandOutline : public QObject
{
    Q_OBJECT

private slots:
    void coversTheRowsExactly_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("atMost");   // points of the outlines
        QTest::newRow("a coast") << "0-20|1-20|1-20|3-20|2-20|2.5-20|2.5-20|4-20" << 20;
        QTest::newRow("an island joins the land") << "10-20|2-4,10-20|2-5,9-20|2-20|3-20" << 30;
        QTest::newRow("a bay splits the land") << "0-20|0-8,12-20|0-7,13-20|0-20" << 30;
        QTest::newRow("rows without land") << "5-10||5-10|" << 12;
        QTest::newRow("stretches that move apart") << "0-5|5-10|12-14|0-20" << 30;
    }
    void coversTheRowsExactly()
    {
        QFETCH(QString, rows);
        QFETCH(int, atMost);
        const auto given = rowsOf(rows);
        LandOutline outline;
        for (qsizetype y = 0; y < given.size(); ++y)
            outline.addRow(double(y), 1.0, given.at(y));
        const QPainterPath land = outline.path();
        // Every quarter unit across each row, and above and below them all.
        for (qsizetype y = -1; y <= given.size(); ++y)
            for (double x = -1.125; x < 22; x += 0.25) {
                bool onLand = false;
                for (const auto &[from, to] : given.value(y))
                    onLand = onLand || (from < x && x < to);
                QVERIFY2(land.contains(QPointF(x, y + 0.5)) == onLand, qPrintable(QStringLiteral("%1, %2").arg(x).arg(y)));
            }
        QVERIFY2(land.elementCount() <= atMost, qPrintable(QString::number(land.elementCount())));
    }
};

QTEST_MAIN(TestLandOutline)
#include "tst_landoutline.moc"
