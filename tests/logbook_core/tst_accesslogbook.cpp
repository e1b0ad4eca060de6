// The old Access logbook's reader: real Jet 3 and Jet 4 files through mdbtools, and the eight tables through rows
// shaped as mdb-export prints them (no program here writes an Access file).
#include "AccessLogbook.h"
#include "ClockText.h"
#include "Csv.h"
#include "Database.h"
#include "LogbookMerge.h"
#include "RecordCursor.h"
#include "Schema.h"

#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace bravik;
using namespace bravik::logbook;

namespace {

const access::DateText usClock = [](const QDateTime &t) { return clockText(t, QLocale(QLocale::English, QLocale::UnitedStates)); };

// A table as mdb-export prints it for the reader: names bare, text quoted (quotes doubled), check boxes 1/0, CR LF.
QByteArray exported(const QStringList &header, const QList<QVariantList> &rows)
{
    QByteArray out = header.join(',').toUtf8() + "\r\n";
    for (const QVariantList &row : rows) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << (v.typeId() == QMetaType::QString ? '"' + v.toString().replace("\"", "\"\"") + '"' : QString::number(v.toInt()));
        out += cells.join(',').toUtf8() + "\r\n";
    }
    return out;
}

access::Logbook mapped(const QString &table, const QByteArray &csv, const access::DateText &dates = usClock)
{
    access::Logbook book;
    QString error;
    if (!access::mapTable(table, csv, dates, &book, &error))
        book.problems << error;
    return book;
}

} // namespace

class AccessLogbookTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString copy(const QString &name)   // the reader never gets the project's own file
    {
        QFile::copy(QStringLiteral(BRAVIK_ACCESS_DATA "/") + name, m_dir.filePath(name));
        return m_dir.filePath(name);
    }
    // A real table as the reader exports it, some of its fields named as the logbook's.
    access::Logbook relabelled(const QString &file, const QString &table, const QString &as, const QList<QPair<QString, QString>> &names)
    {
        QByteArray csv;
        QString error;
        access::exportTable(copy(file), table, &csv, &error);
        const qsizetype end = csv.indexOf("\r\n");
        QByteArray header = csv.left(end);
        for (const auto &n : names)
            header.replace(n.first.toUtf8(), n.second.toUtf8());
        return mapped(as, header + csv.mid(end));
    }

private Q_SLOTS:
    // Tables listed (none is the logbook's); the shape the tables below copy; real rows through the mapping:
    // non-ASCII text, dates, a memo's line break.
    void realFiles()
    {
        access::Logbook jet3, jet4;
        QString error;
        QVERIFY2(access::read(copy("nwind.mdb"), usClock, &jet3, &error) && access::read(copy("DateTestDatabase.mdb"), usClock, &jet4, &error), qPrintable(error));
        QCOMPARE(jet3.format + jet4.format, QStringLiteral("JET3JET4"));
        QCOMPARE(jet3.otherTables, (QStringList{"Order Details", "Orders", "Products", "Shippers", "Categories", "Customers", "Employees", "Suppliers", QStringLiteral("Umsätze")}));
        QCOMPARE(jet4.tables, jet4.otherTables);
        QVERIFY(jet3.rows.isEmpty() && jet4.missingTables.size() == schema().size());

        QByteArray csv;
        QVERIFY2(access::exportTable(copy("nwind.mdb"), "Products", &csv, &error), qPrintable(error));
        QVERIFY(csv.contains("\r\n1,\"Chai\",1,1,\"10 boxes x 20 bags\",18.0000,39,0,10,0\r\n"));
        QVERIFY(access::exportTable(copy("nwind.mdb"), QStringLiteral("Umsätze"), &csv, &error));
        QVERIFY(csv.contains(",\"1994-11-16T00:00:00\",\"1994-12-28T00:00:00\",") && csv.contains("\"Marseille\",,\"13008\""));
        QList<QStringList> records;
        QVERIFY(access::exportTable(copy("nwind.mdb"), "Employees", &csv, &error) && csv::parse(csv, &records, &error));   // a picture field

        const access::Logbook customers = relabelled("nwind.mdb", "Customers", "Miscellaneous", {{"CompanyName", "Note"}});
        const auto koene = std::find_if(customers.rows.cbegin(), customers.rows.cend(), [](const access::Row &r) { return r.extra.value("CustomerID") == "KOENE"; });
        QVERIFY(koene != customers.rows.cend() && customers.unknownFields.contains({"Miscellaneous", "City"}));
        QCOMPARE(koene->values.value("Note").toString(), QStringLiteral("Königlich Essen"));

        const access::Logbook dates = relabelled("DateTestDatabase.mdb", "DateTest", "TaskList", {{"DateTimeCol", "Date/Time"}, {"LongTextCol", "Note"}});
        QCOMPARE(dates.rows.size(), 6);
        QCOMPARE(dates.rows[0].values.value("Date/Time").toString(), QStringLiteral("12/2/2021"));   // midnight: the date alone
        QCOMPARE(dates.rows[5].values.value("Note").toString(), QStringLiteral("New line\nin field"));
        QCOMPARE(dates.problems.size(), 3);   // rows 2 to 4 hold dates mdbtools cannot place
        QVERIFY2(dates.problems[0].startsWith("TaskList, row 2, \"Date/Time\"") && dates.problems[0].contains("1900-01-00T00:00:00"), qPrintable(dates.problems[0]));
    }

    void mapsTheEightTables_data()
    {
        QTest::addColumn<QString>("table");
        for (const TableDef &t : schema())
            QTest::newRow(qPrintable(t.name)) << t.name;
    }
    // Dates and check boxes as the windows show them, text as typed (an Access text field holds a clock text as
    // such), the unknown key reported and kept beside the row.
    void mapsTheEightTables()
    {
        QFETCH(QString, table);
        const TableDef &def = *findTable(table);
        QVariantList row{1}, typed{2};
        for (int i = 0; i < def.fields.size(); ++i) {
            const QString &f = def.fields[i];
            row << (def.isBoolean(f) ? QVariant(i % 2) : QVariant(f == "Date/Time" ? "2003-07-29T20:23:40" : f + " \"Ø\"\r\nline"));
            typed << (def.isBoolean(f) ? QVariant(-1) : QVariant(f == "Date/Time" ? "7/30/2003 6:01:02 AM" : ""));
        }
        const access::Logbook book = mapped(table.toUpper(), exported(QStringList{"ID"} + def.fields, {row, typed}));
        QCOMPARE(book.unknownFields, (QList<QPair<QString, QString>>{{table, "ID"}}));
        QVERIFY2(book.problems.isEmpty() && book.rows.size() == 2, qPrintable(book.problems.join('\n')));
        for (int i = 0; i < def.fields.size(); ++i) {
            const QString &f = def.fields[i];
            QCOMPARE(book.rows[0].values.value(f), def.isBoolean(f) ? QVariant(i % 2 == 1) : QVariant(f == "Date/Time" ? "7/29/2003 8:23:40 PM" : f + " \"Ø\"\nline"));
            QCOMPARE(book.rows[1].values.value(f), def.isBoolean(f) ? QVariant(true) : QVariant(typed[i + 1].toString()));
        }
        QCOMPARE(book.rows[1].extra, (QVariantMap{{"ID", "2"}}));
        // Brought in, the entries read back as the window shows them.
        QString error;
        auto db = Database::open({QStringLiteral("QSQLITE"), m_dir.filePath(table + ".sqlite")}, &error);
        MergeSummary merged;
        QVERIFY2(db && mergeAccessLogbook(book, *db, &merged, &error), qPrintable(error));
        RecordCursor shown(*db, table);
        QVERIFY(shown.open());
        for (const QString &f : def.fields)
            QCOMPARE(shown.value(f), book.rows[0].values.value(f));
    }

    // Same file, same ids, whatever the computer's date format; a changed row gets a new one and moves no other;
    // identical rows are told apart.
    void idsFollowTheFileAlone()
    {
        QList<QVariantList> rows{{"2003-07-29T20:23:40", "winch"}, {"2003-07-29T20:23:40", "winch"}, {"2003-07-30T08:00:00", "tide"}, {"", "fog"}};
        auto ids = [&](const access::DateText &dates = usClock) {
            QStringList out;
            for (const access::Row &row : mapped("Miscellaneous", exported({"Date/Time", "Note"}, rows), dates).rows)
                out << row.entryId;
            return out;
        };
        const QStringList first = ids();
        QCOMPARE(QSet<QString>(first.cbegin(), first.cend()).size(), 4);
        QCOMPARE(QUuid::fromString(first[0]).version(), QUuid::Sha1);
        QCOMPARE(ids([](const QDateTime &t) { return t.toString(Qt::ISODate); }), first);
        rows[2][1] = "tide, corrected";
        const QStringList changed = ids();
        QVERIFY(changed[2] != first[2] && !first.contains(changed[2]));
        QCOMPARE(changed, (QStringList{first[0], first[1], changed[2], first[3]}));
        rows.removeFirst();
        QCOMPARE(ids(), (QStringList{first[0], changed[2], first[3]}));   // the identical rows are one fewer
    }

    void oddInputIsReported()
    {
        access::Logbook book = mapped("Predive", exported({"GPS Fix Valid"}, {{"maybe"}}));
        QCOMPARE(book.rows[0].values.value("GPS Fix Valid"), QVariant(false));
        QCOMPARE(book.rows[0].extra.value("GPS Fix Valid"), QVariant("maybe"));
        QVERIFY(book.problems.value(0).startsWith("Predive, row 1, \"GPS Fix Valid\": \"maybe\" is not a check box value"));
        QCOMPARE(mapped("Crew Notes", "x\r\n1\r\n").otherTables, QStringList{"Crew Notes"});
        QVERIFY(mapped("TaskList", "Note,SubmittedBy\r\n\"a\"\r\n").problems.value(0).startsWith("Row 1 of the table \"TaskList\""));

        QString error, notAccess = m_dir.filePath("notes.mdb");
        QVERIFY(QFile::copy(QStringLiteral(BRAVIK_ACCESS_DATA "/README.md"), notAccess) && !access::read(notAccess, usClock, &book, &error));
        QVERIFY2(error.startsWith(QStringLiteral("The Access file \"%1\" cannot be read: ").arg(notAccess)), qPrintable(error));
        QCOMPARE(book.rows.size(), 1);   // left as it was
        QVERIFY(!access::read(m_dir.filePath("gone.mdb"), usClock, &book, &error) && error.contains("does not exist"));
    }

    // Real rows of a Jet 3 and a Jet 4 file brought into a logbook as entries: again adds nothing, a row changed
    // in Access comes in beside the old one and is counted, the fields the logbook lacks are named.
    void mergesIntoALogbook_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("fileTable");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("names");    // file's field > logbook's field
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("unknown");      // the note naming the fields not brought over
        QTest::addColumn<QString>("firstDate");    // Date/Time of the first row, as the windows show it
        QTest::newRow("Jet 3") << "nwind.mdb" << "Orders" << "Miscellaneous" << QStringList{"OrderDate>Date/Time", "ShipName>Note", "CustomerID>SubmittedBy"}
            << 830 << R"(Miscellaneous: fields this logbook does not have, not brought over: "OrderID", "EmployeeID", "RequiredDate", "ShippedDate", "ShipVia", "Freight", "ShipAddress", "ShipCity", "ShipRegion", "ShipPostalCode", "ShipCountry")"
            << "11/16/1994";
        QTest::newRow("Jet 4") << "DateTestDatabase.mdb" << "DateTest" << "TaskList" << QStringList{"DateTimeCol>Date/Time", "LongTextCol>Note"}
            << 6 << R"(TaskList: fields this logbook does not have, not brought over: "IDCol", "DateCol", "TimeCol", "ShortTextCol")" << "12/2/2021";
    }
    void mergesIntoALogbook()
    {
        QFETCH(QString, file);
        QFETCH(QString, fileTable);
        QFETCH(QString, table);
        QFETCH(QStringList, names);
        QFETCH(int, rows);
        QFETCH(QString, unknown);
        QFETCH(QString, firstDate);
        QList<QPair<QString, QString>> renamed;
        for (const QString &n : names)
            renamed << qMakePair(n.section('>', 0, 0), n.section('>', 1));
        access::Logbook book = relabelled(file, fileTable, table, renamed);
        noteMissingTables(&book);
        QCOMPARE(book.rows.size(), rows);
        QString error;
        auto db = Database::open({QStringLiteral("QSQLITE"), m_dir.filePath(file + ".sqlite")}, &error);
        QVERIFY2(db, qPrintable(error));
        MergeSummary first, again, changed;
        QVERIFY2(mergeAccessLogbook(book, *db, &first, &error), qPrintable(error));
        const QStringList lines = first.text().split('\n');
        QCOMPARE(lines.value(0), QStringLiteral("%1 new entries, 0 changed, 0 conflicts, nothing removed").arg(rows));
        QCOMPARE(lines.value(1), unknown);   // alike rows of one file are not taken for changed ones
        QVERIFY2(lines.contains(unknown), qPrintable(first.text()));
        QVERIFY2(first.text().contains("Tables of the logbook the file does not have: WeatherObservation, VehicleMaintenance"), qPrintable(first.text()));
        QSqlQuery q(db->connection());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT \"EntryId\"), (SELECT \"Date/Time\" FROM \"%1\" ORDER BY \"BravikKey\" LIMIT 1) FROM \"%1\"").arg(table)) && q.next());
        QCOMPARE(q.value(0).toInt(), rows);
        QCOMPARE(q.value(1).toInt(), rows);
        QCOMPARE(q.value(2).toString(), firstDate);
        q.finish();
        QVERIFY2(mergeAccessLogbook(book, *db, &again, &error), qPrintable(error));
        QVERIFY(again.text().startsWith("0 new entries, 0 changed, 0 conflicts, nothing removed\n"));
        book.rows[0].values.insert("Note", "changed in Access");   // as the reader gives a changed row: a new id
        book.rows[0].entryId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QVERIFY2(mergeAccessLogbook(book, *db, &changed, &error), qPrintable(error));
        QVERIFY2(changed.text().startsWith("1 new entry, 0 changed, 0 conflicts, nothing removed\n1 new entry has the Date/Time and SubmittedBy "
                                           "of an entry already here"),
                 qPrintable(changed.text()));
    }

    // A file with none of the logbook's tables is not taken for one; the logbook merged into stays as it was.
    void refusesAFileThatIsNoLogbook_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("Jet 3") << "nwind.mdb";
        QTest::newRow("Jet 4") << "DateTestDatabase.mdb";
    }
    void refusesAFileThatIsNoLogbook()
    {
        QFETCH(QString, file);
        QString error;
        const DatabaseLocation into{QStringLiteral("QSQLITE"), m_dir.filePath("into-" + file + ".sqlite")};
        QVERIFY(!mergeLogbooks({QStringLiteral("QSQLITE"), copy(file)}, into, &error, usClock));
        QVERIFY2(error.contains("is an Access file but not a logbook: it has none of the logbook's tables (WeatherObservation, "), qPrintable(error));
        auto db = Database::open(into, &error);
        QSqlQuery q(db->connection());
        QVERIFY(q.exec("SELECT COUNT(*) FROM \"Miscellaneous\"") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }

    void countsLikelyDuplicates()
    {
        auto count = [](const QStringList &rows) {
            QList<access::Row> given;
            for (const QString &r : rows)   // table|id|Date/Time|SubmittedBy
                given << access::Row{r.section('|', 0, 0), 0, r.section('|', 1, 1), {{"Date/Time", r.section('|', 2, 2)}, {"SubmittedBy", r.section('|', 3)}}, {}};
            return access::countLikelyDuplicates(given);
        };
        QCOMPARE(count({"Predive|a|7/29/2003|Ana", "Predive|b|7/29/2003|Ana", "Predive|c|7/29/2003|Ana"}), 2);   // changed twice in Access
        QCOMPARE(count({"Predive|a|7/29/2003|Ana", "Predive|a|7/29/2003|Ana"}), 0);   // the same row imported twice
        QCOMPARE(count({"Predive|a|7/29/2003|Ana", "TaskList|b|7/29/2003|Ana", "Predive|c|7/29/2003|Ben"}), 0);
        QCOMPARE(count({"Predive|a||Ana", "Predive|b||Ana"}), 0);   // no time, no judgement
    }
};

QTEST_GUILESS_MAIN(AccessLogbookTest)
#include "tst_accesslogbook.moc"
