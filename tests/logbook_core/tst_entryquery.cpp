// Reading a table's entries for the list and the export: keyset pages,
// newest first, and the filters, on a real logbook.
#include "EntryQuery.h"
#include "LogbookFixture.h"

#include <QSet>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

class EntryQueryTest : public QObject
{
    Q_OBJECT

    static void add(LogbookFile &file, const QString &note, const QString &submitter = QStringLiteral("Ana"),
                    const QVariant &stamp = QVariant())
    {
        file.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\", \"SubmittedBy\", \"StampedAtUtc\") "
                                "VALUES ('7/29/2003 8:23:40 PM', ?, ?, ?)"),
                 {note, submitter, stamp.isValid() ? stamp : QVariant(QMetaType::fromType<QString>())});
    }

    // Every note the filter lets through, newest first, in pages of `page`.
    static QStringList notes(Database &db, const EntryFilter &filter, int page = 3)
    {
        EntryQuery query(db, QStringLiteral("Miscellaneous"), filter);
        const int noteColumn = query.columns().indexOf(QStringLiteral("Note"));
        QStringList out;
        qint64 before = -1;
        bool exhausted = false;
        for (int guard = 0; !exhausted && guard < 1000; ++guard) {
            QList<Entry> got;
            if (!query.fetch(before, page, [&](const QList<Entry> &rows) { got << rows; }, nullptr, &exhausted)) {
                qWarning("%s", qPrintable(query.error()));
                return {QStringLiteral("<failed>")};
            }
            if (got.size() > page)
                return {QStringLiteral("<page too long>")};
            for (const Entry &e : got)
                out << e.values.at(noteColumn);
            if (!got.isEmpty())
                before = got.last().key;
            else if (!exhausted)
                return {QStringLiteral("<empty page before the end>")};
        }
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void columnsComeStampFirst()
    {
        LogbookFile file;
        auto db = file.open();
        EntryQuery query(*db, QStringLiteral("BatteryCharge"), {});
        QCOMPARE(query.columns().mid(0, 3), (QStringList{"Date/Time", "SubmittedBy", "LogfileName"}));
        QCOMPARE(query.columns().mid(query.columns().size() - 2), (QStringList{"StampedAtUtc", "Workstation"}));
        QCOMPARE(query.columns().size(), 13 + 2);
        EntryQuery unknown(*db, QStringLiteral("NoSuchTable"), {});
        QVERIFY(!unknown.isValid());
        bool exhausted = false;
        QVERIFY(!unknown.fetch(-1, 10, [](const QList<Entry> &) {}, nullptr, &exhausted));
    }

    // Page boundaries while someone else adds and deletes rows: every row
    // there at the start comes exactly once, newest first; nothing is
    // skipped at a boundary.
    void pagesWhileAnotherConnectionWrites_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("page");
        QTest::newRow("exact pages") << 12 << 4;
        QTest::newRow("short last page") << 13 << 4;
        QTest::newRow("one page") << 3 << 10;
        QTest::newRow("page of one") << 5 << 1;
        QTest::newRow("empty") << 0 << 4;
    }
    void pagesWhileAnotherConnectionWrites()
    {
        QFETCH(int, rows);
        QFETCH(int, page);
        LogbookFile file;
        auto db = file.open();
        for (int i = 1; i <= rows; ++i)
            add(file, QString::number(i));
        EntryQuery query(*db, QStringLiteral("Miscellaneous"), {});
        const int noteColumn = query.columns().indexOf(QStringLiteral("Note"));
        QStringList seen;
        QSet<qint64> keys;
        qint64 before = -1;
        bool exhausted = false;
        int pages = 0;
        while (!exhausted && pages < 100) {
            QList<Entry> got;
            QVERIFY2(query.fetch(before, page, [&](const QList<Entry> &r) { got << r; }, nullptr, &exhausted),
                     qPrintable(query.error()));
            QVERIFY(got.size() <= page);
            for (const Entry &e : got) {
                QVERIFY(!keys.contains(e.key));
                keys << e.key;
                seen << e.values.at(noteColumn);
            }
            if (!got.isEmpty())
                before = got.last().key;
            ++pages;
            add(file, QStringLiteral("added %1").arg(pages));   // someone else, between pages
        }
        QStringList expected;
        for (int i = rows; i >= 1; --i)
            expected << QString::number(i);
        QCOMPARE(seen, expected);
    }

    void filters_data()
    {
        QTest::addColumn<QString>("contains");
        QTest::addColumn<QString>("submitter");
        QTest::addColumn<QString>("since");
        QTest::addColumn<QString>("until");
        QTest::addColumn<QStringList>("expected");   // newest first
        QTest::newRow("none") << "" << "" << "" << "" << QStringList{"Ünïcode ÅSE", "it's", "a_b", "100% done", "1000 done", "axb", "battery low"};
        QTest::newRow("case") << "BATTERY" << "" << "" << "" << QStringList{"battery low"};
        QTest::newRow("percent literal") << "0%" << "" << "" << "" << QStringList{"100% done"};
        QTest::newRow("underscore literal") << "a_b" << "" << "" << "" << QStringList{"a_b"};
        QTest::newRow("quote") << "'s" << "" << "" << "" << QStringList{"it's"};
        QTest::newRow("non-ascii lower finds upper") << "åse" << "" << "" << "" << QStringList{"Ünïcode ÅSE"};
        QTest::newRow("non-ascii upper finds lower") << "ÜNÏ" << "" << "" << "" << QStringList{"Ünïcode ÅSE"};
        QTest::newRow("other field") << "ben" << "" << "" << "" << QStringList{"axb"};
        QTest::newRow("no match") << "zebra" << "" << "" << "" << QStringList{};
        QTest::newRow("submitter any case") << "" << "BEN" << "" << "" << QStringList{"axb"};
        QTest::newRow("submitter whole name") << "" << "Be" << "" << "" << QStringList{};
        QTest::newRow("since") << "" << "" << "2026-12-02" << "" << QStringList{"it's", "a_b"};
        QTest::newRow("until") << "" << "" << "" << "2026-12-01" << QStringList{"100% done"};
        QTest::newRow("range of a day") << "" << "" << "2026-12-02" << "2026-12-02" << QStringList{"a_b"};
        QTest::newRow("text and range") << "done" << "" << "2026-11-30" << "2026-12-31" << QStringList{"100% done"};
    }
    void filters()
    {
        QFETCH(QString, contains);
        QFETCH(QString, submitter);
        QFETCH(QString, since);
        QFETCH(QString, until);
        QFETCH(QStringList, expected);
        LogbookFile file;
        auto db = file.open();
        add(file, QStringLiteral("battery low"));
        add(file, QStringLiteral("axb"), QStringLiteral("Ben"));
        add(file, QStringLiteral("1000 done"), QStringLiteral("Ana"), QStringLiteral(""));
        add(file, QStringLiteral("100% done"), QStringLiteral("Ana"), QStringLiteral("2026-12-01T10:00:00Z"));
        add(file, QStringLiteral("a_b"), QStringLiteral("Ana"), QStringLiteral("2026-12-02T23:59:59Z"));
        add(file, QStringLiteral("it's"), QStringLiteral("Ana"), QStringLiteral("2026-12-03T00:00:00Z"));
        add(file, QStringLiteral("Ünïcode ÅSE"));
        EntryFilter f;
        f.contains = contains;
        f.submitter = submitter;
        if (!since.isEmpty())
            QVERIFY(EntryFilter::parseBound(since, false, &f.since));
        if (!until.isEmpty())
            QVERIFY(EntryFilter::parseBound(until, true, &f.until));
        // Small pages, so a search crosses page boundaries too.
        QCOMPARE(notes(*db, f, 1), expected);
        QCOMPARE(notes(*db, f, 50), expected);
    }

    // Voided rows leave the pages and the export's pass unless asked for,
    // at every page boundary and together with a text filter; each row
    // says whether it was corrected or voided.
    void voidedRows_data()
    {
        QTest::addColumn<bool>("includeVoid");
        QTest::addColumn<QString>("contains");
        QTest::newRow("left out") << false << "";
        QTest::newRow("included") << true << "";
        QTest::newRow("left out, filtered") << false << "1";
        QTest::newRow("included, filtered") << true << "1";
    }
    void voidedRows()
    {
        QFETCH(bool, includeVoid);
        QFETCH(QString, contains);
        LogbookFile file;
        auto db = file.open();
        for (int i = 1; i <= 20; ++i)
            add(file, QStringLiteral("n%1").arg(i));
        // Every third voided (which raises its version), every fifth corrected.
        file.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"Voided\" = TRUE, \"VoidReason\" = 'dup', \"RowVersion\" = 1 "
                                "WHERE \"BravikKey\" % 3 = 0"));
        file.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"RowVersion\" = \"RowVersion\" + 1 WHERE \"BravikKey\" % 5 = 0"));
        QStringList expected;
        for (int i = 20; i >= 1; --i)
            if ((includeVoid || i % 3 != 0) && QStringLiteral("n%1").arg(i).contains(contains))
                expected << QStringLiteral("n%1").arg(i);
        EntryFilter f;
        f.includeVoid = includeVoid;
        f.contains = contains;
        QCOMPARE(notes(*db, f, 1), expected);
        QCOMPARE(notes(*db, f, 4), expected);

        EntryQuery query(*db, QStringLiteral("Miscellaneous"), f);
        const int noteColumn = query.columns().indexOf(QStringLiteral("Note"));
        bool exhausted = false;
        QList<Entry> all;
        QVERIFY(query.fetch(-1, 100, [&](const QList<Entry> &rows) { all << rows; }, nullptr, &exhausted));
        for (const Entry &e : all) {
            QCOMPARE(e.voided, e.key % 3 == 0);
            QCOMPARE(e.voidReason, e.voided ? QStringLiteral("dup") : QString());
            QCOMPARE(e.changed, e.key % 3 == 0 || e.key % 5 == 0);
        }
        // The export's single pass: the same rows, the key first.
        QStringList scanned;
        QVERIFY(query.scan([&](const QByteArrayView *fields, int count) {
            if (count != query.columns().size() + 1)
                return false;
            scanned << QString::fromUtf8(fields[noteColumn + 1]);
            return true;
        }));
        QCOMPARE(scanned, expected);
    }

    // A long search hands over what it finds as it goes and stops when asked.
    void searchStopsWhenAsked()
    {
        LogbookFile file;
        auto db = file.open();
        file.sql(QStringLiteral("BEGIN"));
        for (int i = 0; i < 20000; ++i)
            add(file, i == 5 ? QStringLiteral("needle") : QStringLiteral("hay"));
        file.sql(QStringLiteral("COMMIT"));
        EntryFilter f;
        f.contains = QStringLiteral("needle");
        EntryQuery query(*db, QStringLiteral("Miscellaneous"), f);
        std::atomic_bool stop{false};
        int batches = 0;
        bool exhausted = false;
        QVERIFY(query.fetch(-1, 10, [&](const QList<Entry> &) { ++batches; }, &stop, &exhausted));
        QVERIFY(exhausted);
        QCOMPARE(batches, 1);
        QCOMPARE(query.progress(), 1.0);

        EntryQuery stopped(*db, QStringLiteral("Miscellaneous"), f);
        stop = true;
        QVERIFY(stopped.fetch(-1, 10, [&](const QList<Entry> &) { ++batches; }, &stop, &exhausted));
        QVERIFY(!exhausted);
        QVERIFY(stopped.progress() < 1.0);
    }

    void parseBound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("end");
        QTest::addColumn<QString>("bound");   // empty: refused
        QTest::newRow("date") << "2026-12-08" << false << "2026-12-08T00:00:00Z";
        QTest::newRow("date end") << "2026-12-08" << true << "2026-12-08T23:59:59Z";
        QTest::newRow("minutes") << "2026-12-08T04:29" << true << "2026-12-08T04:29:59Z";
        QTest::newRow("full") << "2026-12-08T04:29:18Z" << false << "2026-12-08T04:29:18Z";
        QTest::newRow("blank") << " 2026-12-08 04:29:18 " << false << "2026-12-08T04:29:18Z";
        QTest::newRow("no such day") << "2026-02-30" << false << "";
        QTest::newRow("words") << "last week" << false << "";
        QTest::newRow("us date") << "12/8/2026" << false << "";
    }
    void parseBound()
    {
        QFETCH(QString, text);
        QFETCH(bool, end);
        QFETCH(QString, bound);
        QString got;
        QCOMPARE(EntryFilter::parseBound(text, end, &got), !bound.isEmpty());
        if (!bound.isEmpty())
            QCOMPARE(got, bound);
    }
};

QTEST_GUILESS_MAIN(EntryQueryTest)
#include "tst_entryquery.moc"
