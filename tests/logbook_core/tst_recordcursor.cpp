// The record cursor on a real logbook file: navigation and its edges,
// save-on-leave, what reaches the file, and engine failures.
#include "LogbookFixture.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

class RecordCursorTest : public QObject
{
    Q_OBJECT

    // Appends rows whose `Note` (or first field) is "1".."n" behind the
    // cursor's back, in one transaction.
    static void fill(LogbookFile &file, const QString &table, const QString &field, int n)
    {
        file.sql(QStringLiteral("BEGIN"));
        for (int i = 1; i <= n; ++i)
            file.sql(QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?)").arg(table, field), {QString::number(i)});
        file.sql(QStringLiteral("COMMIT"));
    }

private Q_SLOTS:
    void emptyTable()
    {
        LogbookFile file;
        auto db = file.open();
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QVERIFY(cursor.open());
        QVERIFY(!cursor.hasRow());
        QVERIFY(cursor.moveLast());
        QVERIFY(!cursor.hasRow());
        QVERIFY(cursor.movePrevious());
        QVERIFY(cursor.moveNext());
        QVERIFY(!cursor.hasRow());
        QVERIFY(cursor.beginNew());
        QVERIFY(cursor.isNewRow());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("first"));
        QVERIFY(cursor.save());
        QVERIFY(!cursor.isNewRow());
        QVERIFY(cursor.currentKey() > 0);
        QCOMPARE(file.count(QStringLiteral("Miscellaneous")), 1);
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("nextBeginsNew");
        for (const TableDef &t : schema())
            QTest::newRow(qPrintable(t.name)) << t.name << QStringLiteral("SubmittedBy") << (t.name != QStringLiteral("Purchases"));
    }
    void navigation()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(bool, nextBeginsNew);
        LogbookFile file;
        auto db = file.open();
        fill(file, table, field, 3);
        RecordCursor cursor(*db, table);
        QSignalSpy shown(&cursor, &RecordCursor::rowShown);
        QVERIFY(cursor.open());
        QCOMPARE(cursor.value(field).toString(), QStringLiteral("1"));
        QVERIFY(cursor.movePrevious());   // on the first row: stays
        QCOMPARE(cursor.value(field).toString(), QStringLiteral("1"));
        QVERIFY(cursor.moveNext());
        QCOMPARE(cursor.value(field).toString(), QStringLiteral("2"));
        QVERIFY(cursor.moveLast());
        QCOMPARE(cursor.value(field).toString(), QStringLiteral("3"));
        QVERIFY(cursor.movePrevious());
        QCOMPARE(cursor.value(field).toString(), QStringLiteral("2"));
        QVERIFY(cursor.moveFirst());
        QCOMPARE(cursor.value(field).toString(), QStringLiteral("1"));
        QVERIFY(cursor.moveLast());
        shown.clear();
        QVERIFY(cursor.moveNext());   // past the last row
        QCOMPARE(cursor.isNewRow(), nextBeginsNew);
        QCOMPARE(shown.count(), nextBeginsNew ? 1 : 0);
        QCOMPARE(cursor.value(field).toString(), nextBeginsNew ? QString() : QStringLiteral("3"));
        QVERIFY(cursor.moveFirst());   // the untouched new row is dropped
        QCOMPARE(file.count(table), 3);
    }

    void untouchedNewRowIsDropped_data()
    {
        QTest::addColumn<int>("leave");
        QTest::newRow("first") << 0;
        QTest::newRow("previous") << 1;
        QTest::newRow("next") << 2;
        QTest::newRow("last") << 3;
        QTest::newRow("begin new") << 4;
        QTest::newRow("save") << 5;
    }
    void untouchedNewRowIsDropped()
    {
        QFETCH(int, leave);
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("TaskList"), QStringLiteral("Note"), 2);
        RecordCursor cursor(*db, QStringLiteral("TaskList"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.beginNew());
        bool ok = false;
        switch (leave) {
        case 0: ok = cursor.moveFirst(); break;
        case 1: ok = cursor.movePrevious(); break;
        case 2: ok = cursor.moveNext(); break;
        case 3: ok = cursor.moveLast(); break;
        case 4: ok = cursor.beginNew(); break;
        default: ok = cursor.save(); break;
        }
        QVERIFY(ok);
        QCOMPARE(file.count(QStringLiteral("TaskList")), 2);
        if (leave == 1)   // a new row sits after the last one
            QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("2"));
        if (leave == 2)
            QVERIFY(cursor.isNewRow());
    }

    void nextOnChangedNewRowStoresItAndBeginsAnother()
    {
        LogbookFile file;
        auto db = file.open();
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("typed"));
        QVERIFY(cursor.moveNext());
        QVERIFY(cursor.isNewRow());
        QVERIFY(!cursor.isChanged());
        QCOMPARE(file.count(QStringLiteral("Miscellaneous")), 1);
        // The row typed into with no stamp keeps its stamp fields empty.
        QVERIFY(file.sql(QStringLiteral("SELECT \"Date/Time\" FROM \"Miscellaneous\"")).isNull());
        QVERIFY(cursor.movePrevious());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("typed"));
    }

    void submissionStampIsStored()
    {
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("VehicleMaintenance"), QStringLiteral("Notes"), 1);
        RecordCursor cursor(*db, QStringLiteral("VehicleMaintenance"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveLast());
        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Date/Time"), QStringLiteral("7/29/2003 8:23:40 PM"));
        cursor.setValue(QStringLiteral("SubmittedBy"), QStringLiteral("Ana"));
        QVERIFY(cursor.save());
        QCOMPARE(file.count(QStringLiteral("VehicleMaintenance")), 2);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"SubmittedBy\" FROM \"VehicleMaintenance\" WHERE \"Date/Time\" = ?"),
                          {QStringLiteral("7/29/2003 8:23:40 PM")}).toString(), QStringLiteral("Ana"));
    }

    void lastReachesRow300()
    {
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("Miscellaneous"), QStringLiteral("Note"), 300);
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveLast());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("300"));
        QVERIFY(cursor.movePrevious());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("299"));
    }

    void onlyChangedFieldsAreWritten()
    {
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("Purchases"), QStringLiteral("Vendor"), 2);
        RecordCursor cursor(*db, QStringLiteral("Purchases"));
        QVERIFY(cursor.open());
        file.sql(QStringLiteral("UPDATE \"Purchases\" SET \"Item\" = 'set elsewhere'"));
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("mine"));
        QVERIFY(cursor.moveNext());
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" || '|' || \"Item\" || '|' || \"Vendor\" FROM \"Purchases\" WHERE \"Note\" IS NOT NULL")).toString(),
                 QStringLiteral("mine|set elsewhere|1"));
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("slash") << "Predive" << "USBL Tx/Rx" << "19/27";
        QTest::newRow("blank") << "MissionData" << "Failure mode" << "Lost Dynamic Control";
        QTest::newRow("quotes") << "Miscellaneous" << "Date/Time" << "O'Brien said \"go\"; --";
        QTest::newRow("non-ASCII") << "TaskList" << "TaskDescription" << "Ærø – 36°45′ N, 北 ✓";
        QTest::newRow("lines") << "BatteryCharge" << "Notes" << "line 1\r\nline 2\n";
        QTest::newRow("empty") << "Purchases" << "SubmittedBy" << "";
        QTest::newRow("swell direction") << "WeatherObservation" << "SwellDirection" << "NW";
        QTest::newRow("sky") << "WeatherObservation" << "SkyDescription" << "Overcast";
        QTest::newRow("payload coordinator") << "Predive" << "PayloadCoordinator" << "Ben";
    }
    void valuesRoundTrip()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, text);
        LogbookFile file;
        {
            auto db = file.open();
            RecordCursor cursor(*db, table);
            QVERIFY(cursor.open());
            QVERIFY(cursor.beginNew());
            cursor.setValue(field, text);
            QVERIFY(cursor.save());
        }
        auto db = file.open();
        RecordCursor cursor(*db, table);
        QVERIFY(cursor.open());
        QVERIFY(cursor.hasRow());
        QCOMPARE(cursor.value(field).toString(), text);
        // Stored as a text, even an empty one.
        QCOMPARE(file.sql(QStringLiteral("SELECT typeof(\"%1\") FROM \"%2\"").arg(field, table)).toString(), QStringLiteral("text"));
    }

    void checkBoxesStoreTrueFalse()
    {
        LogbookFile file;
        {
            auto db = file.open();
            RecordCursor cursor(*db, QStringLiteral("Predive"));
            QVERIFY(cursor.open());
            QVERIFY(cursor.beginNew());
            cursor.setValue(QStringLiteral("GPS Fix Valid"), true);
            cursor.setValue(QStringLiteral("DVL Operational"), false);
            cursor.setValue(QStringLiteral("PayloadOperational"), true);
            QVERIFY(cursor.save());
        }
        const QString sql = QStringLiteral("SELECT \"GPS Fix Valid\" || \"DVL Operational\" || \"PayloadOperational\" || \"AHRS Operational\" FROM \"Predive\"");
        QCOMPARE(file.sql(sql).toString(), QStringLiteral("1010"));   // an untouched box is false
        auto db = file.open();
        RecordCursor cursor(*db, QStringLiteral("Predive"));
        QVERIFY(cursor.open());
        QCOMPARE(cursor.value(QStringLiteral("PayloadOperational")), QVariant(true));
        QCOMPARE(cursor.value(QStringLiteral("AHRS Operational")), QVariant(false));
    }

    void hiddenPositionFieldsNeverWritten_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("weather") << "WeatherObservation" << QStringList{"Latitude", "Longitude"};
        QTest::newRow("mission") << "MissionData" << QStringList{"Mission Start Latitude", "Mission Start Longitude"};
    }
    void hiddenPositionFieldsNeverWritten()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, hidden);
        LogbookFile file;
        auto db = file.open();
        file.sql(QStringLiteral("INSERT INTO \"%1\" (\"%2\", \"%3\") VALUES ('34.5', '-121.9')").arg(table, hidden[0], hidden[1]));
        RecordCursor cursor(*db, table);
        QVERIFY(cursor.open());
        for (const QString &field : cursor.table().fields) {
            if (!hidden.contains(field))
                cursor.setValue(field, QStringLiteral("x"));
        }
        QVERIFY(cursor.moveNext());   // stores the edit, begins a new row
        for (const QString &field : cursor.table().fields) {
            if (!hidden.contains(field))
                cursor.setValue(field, QStringLiteral("y"));
        }
        QVERIFY(cursor.save());
        const QString pair = QStringLiteral("SELECT group_concat(coalesce(\"%2\", 'null') || '/' || coalesce(\"%3\", 'null'), ' ') FROM \"%1\"");
        QCOMPARE(file.sql(pair.arg(table, hidden[0], hidden[1])).toString(), QStringLiteral("34.5/-121.9 null/null"));
    }

    void noReadLeftOpenBetweenMoves()
    {
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("Miscellaneous"), QStringLiteral("Note"), 3);
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveNext());
        file.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES ('4')"));
        // A full checkpoint is blocked (busy = 1) by any open read.
        QCOMPARE(file.sql(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")).toInt(), 0);
        QVERIFY(cursor.moveLast());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("4"));
    }

    void engineFailureKeepsValues_data()
    {
        QTest::addColumn<QString>("sabotage");
        QTest::addColumn<QString>("repair");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused insert")
            << "CREATE TRIGGER \"refuse\" BEFORE INSERT ON \"Miscellaneous\" BEGIN SELECT RAISE(ABORT, 'disk is full'); END"
            << "DROP TRIGGER \"refuse\"" << "disk is full";
        QTest::newRow("table dropped")
            << "ALTER TABLE \"Miscellaneous\" RENAME TO \"Gone\""
            << "ALTER TABLE \"Gone\" RENAME TO \"Miscellaneous\"" << "no such table";
    }
    void engineFailureKeepsValues()
    {
        QFETCH(QString, sabotage);
        QFETCH(QString, repair);
        QFETCH(QString, message);
        LogbookFile file;
        auto db = file.open();
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QSignalSpy failed(&cursor, &RecordCursor::failed);
        QVERIFY(cursor.open());
        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("precious"));
        file.sql(sabotage);
        QVERIFY(!cursor.moveFirst());
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.at(0).at(0).toString().contains(message), qPrintable(failed.at(0).at(0).toString()));
        QCOMPARE(cursor.lastError(), failed.at(0).at(0).toString());
        QVERIFY(cursor.isNewRow());
        QVERIFY(cursor.isChanged());
        QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("precious"));
        file.sql(repair);
        QVERIFY(cursor.save());   // once the engine accepts it again
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" FROM \"Miscellaneous\"")).toString(), QStringLiteral("precious"));
    }

    void openOnMissingTableFails()
    {
        LogbookFile file;
        auto db = file.open();
        file.sql(QStringLiteral("DROP TABLE \"TaskList\""));
        RecordCursor cursor(*db, QStringLiteral("TaskList"));
        QSignalSpy failed(&cursor, &RecordCursor::failed);
        QVERIFY(!cursor.open());
        QCOMPARE(failed.count(), 1);
        QVERIFY(!cursor.hasRow());
    }

    void rowDeletedElsewhereIsKeptAsNewRow()
    {
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("TaskList"), QStringLiteral("Note"), 3);
        RecordCursor cursor(*db, QStringLiteral("TaskList"));
        QSignalSpy failed(&cursor, &RecordCursor::failed);
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveNext());
        const qint64 oldKey = cursor.currentKey();
        cursor.setValue(QStringLiteral("AssignedTo"), QStringLiteral("Ana"));
        file.sql(QStringLiteral("DELETE FROM \"TaskList\" WHERE \"Note\" = '2'"));
        QVERIFY(!cursor.moveNext());
        QCOMPARE(failed.count(), 1);
        QVERIFY(cursor.currentKey() > oldKey);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" || \"AssignedTo\" FROM \"TaskList\" WHERE \"AssignedTo\" IS NOT NULL")).toString(),
                 QStringLiteral("2Ana"));
        QCOMPARE(file.count(QStringLiteral("TaskList")), 3);
        QVERIFY(cursor.moveNext());   // the kept row is now the last
        QVERIFY(cursor.isNewRow());
    }

    void twoProgramsOnOneFile()
    {
        LogbookFile file;
        auto dbA = file.open();
        auto dbB = file.open();
        RecordCursor a(*dbA, QStringLiteral("Miscellaneous"));
        RecordCursor b(*dbB, QStringLiteral("Miscellaneous"));
        QVERIFY(a.open());
        QVERIFY(b.open());
        QVERIFY(a.beginNew());
        QVERIFY(b.beginNew());
        a.setValue(QStringLiteral("Note"), QStringLiteral("from A"));
        b.setValue(QStringLiteral("Note"), QStringLiteral("from B"));
        QVERIFY(a.save());
        QVERIFY(b.save());
        QVERIFY(a.currentKey() != b.currentKey());
        QVERIFY(a.moveNext());   // past A's row lies B's
        QCOMPARE(a.value(QStringLiteral("Note")).toString(), QStringLiteral("from B"));

        // Another program holding the write lock for a moment: B waits
        // for it instead of failing with "database is locked".
        QSemaphore locked;
        std::unique_ptr<QThread> other(QThread::create([&file, &locked]() {
            {
                QSqlDatabase conn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                conn.setDatabaseName(file.path);
                conn.open();
                QSqlQuery(conn).exec(QStringLiteral("BEGIN IMMEDIATE"));
                QSqlQuery(conn).exec(QStringLiteral("UPDATE \"Miscellaneous\" SET \"Note\" = 'other'"));
                locked.release();
                QThread::msleep(300);
                QSqlQuery(conn).exec(QStringLiteral("COMMIT"));
                conn.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        }));
        other->start();
        locked.acquire();
        b.setValue(QStringLiteral("Note"), QStringLiteral("B after wait"));
        QVERIFY(b.save());
        other->wait();
        QCOMPARE(file.sql(QStringLiteral("SELECT group_concat(\"Note\", ',') FROM \"Miscellaneous\"")).toString(),
                 QStringLiteral("other,B after wait"));
    }
};

QTEST_GUILESS_MAIN(RecordCursorTest)
#include "tst_recordcursor.moc"
