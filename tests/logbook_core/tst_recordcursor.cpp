// The record cursor on a real logbook file: navigation and its edges,
// save-on-leave, what reaches the file, and engine failures.
#include "LogbookFixture.h"

#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QSignalSpy>
#include <QSysInfo>
#include <QThread>
#include <QTimeZone>

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

    // The rows' values of one field (or expression), in the table's order.
    static QString column(LogbookFile &file, const QString &table, const QString &expression)
    {
        return file.sql(QStringLiteral("SELECT group_concat(v, ',') FROM (SELECT %1 AS v FROM \"%2\" ORDER BY \"BravikKey\") s")
                            .arg(expression, table)).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

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

    // The hidden stamp: a row begun by "next" past the last row gets the
    // time and computer of its first store; the submission's stamp is kept
    // as given; neither changes when the row is edited later.
    void hiddenStampWrittenOnceOnFirstStore()
    {
        LogbookFile file;
        auto db = file.open();
        fill(file, QStringLiteral("Miscellaneous"), QStringLiteral("Note"), 1);
        RecordCursor cursor(*db, QStringLiteral("Miscellaneous"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveNext());   // past the last row: a new row
        QVERIFY(cursor.isNewRow());
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("after next"));
        QVERIFY(cursor.save());
        const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
        const auto stampOf = [&](const QString &note) {
            return file.sql(QStringLiteral("SELECT \"StampedAtUtc\" || '|' || \"Workstation\" FROM \"Miscellaneous\" WHERE \"Note\" = ?"),
                            {note}).toString();
        };
        const QString first = stampOf(QStringLiteral("after next"));
        const QStringList parts = first.split(QLatin1Char('|'));
        QCOMPARE(parts.size(), 2);
        QVERIFY2(parts.at(0).endsWith(QLatin1Char('Z')) && parts.at(0).size() == 20, qPrintable(first));
        const QDateTime stamped = QDateTime::fromString(parts.at(0), Qt::ISODate);
        QVERIFY2(stamped >= before && stamped <= after, qPrintable(first));
        QCOMPARE(parts.at(1), QSysInfo::machineHostName());
        QVERIFY(!parts.at(1).isEmpty());

        // Edited later: the stamp stays.
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("after next, edited"));
        QVERIFY(cursor.movePrevious());
        QCOMPARE(stampOf(QStringLiteral("after next, edited")), first);
        // The original row has none and gets none from an edit.
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("old, edited"));
        cursor.stampNewRow(QDateTime::currentDateTimeUtc(), QStringLiteral("ignored"));   // not a new row
        QVERIFY(cursor.save());
        QVERIFY(file.sql(QStringLiteral("SELECT \"StampedAtUtc\" FROM \"Miscellaneous\" WHERE \"Note\" = 'old, edited'")).isNull());

        // A stamp given for the new row (as the submission does) is written as given.
        QVERIFY(cursor.moveLast());
        QVERIFY(cursor.beginNew());
        cursor.stampNewRow(QDateTime(QDate(2026, 12, 8), QTime(4, 29, 18), Qt::UTC), QStringLiteral("deck-pc"));
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("submitted"));
        QVERIFY(cursor.save());
        QCOMPARE(stampOf(QStringLiteral("submitted")), QStringLiteral("2026-12-08T04:29:18Z|deck-pc"));
        // An untouched new row with a stamp is still dropped.
        QVERIFY(cursor.beginNew());
        cursor.stampNewRow(QDateTime::currentDateTimeUtc(), QStringLiteral("deck-pc"));
        QVERIFY(cursor.moveFirst());
        QCOMPARE(file.count(QStringLiteral("Miscellaneous")), 3);
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
        QString sql = QStringLiteral("SELECT ");
        for (const char *f : {"GPS Fix Valid", "DVL Operational", "PayloadOperational", "AHRS Operational"})
            sql += QStringLiteral("CAST(\"%1\" AS TEXT) || ").arg(QLatin1String(f));
        sql += QStringLiteral("'' FROM \"Predive\"");
        // An untouched box is false.
        QCOMPARE(file.sql(sql).toString(), file.booleanText(true) + file.booleanText(false) + file.booleanText(true)
                                               + file.booleanText(false));
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
        const QString pair = QStringLiteral("coalesce(\"%1\", 'null') || '/' || coalesce(\"%2\", 'null')");
        QCOMPARE(column(file, table, pair.arg(hidden[0], hidden[1])), QStringLiteral("34.5/-121.9,null/null"));
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
        if (file.isPostgres()) {
            // No transaction of the cursor's stays open on the server.
            QSqlQuery q(db->connection());
            QVERIFY(q.exec(QStringLiteral("SELECT pg_backend_pid()")) && q.next());
            const int pid = q.value(0).toInt();
            q.finish();
            QCOMPARE(file.sql(QStringLiteral("SELECT state FROM pg_stat_activity WHERE pid = ?"), {pid}).toString(),
                     QStringLiteral("idle"));
            QVERIFY(cursor.moveLast());
            QCOMPARE(cursor.value(QStringLiteral("Note")).toString(), QStringLiteral("4"));
            return;
        }
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
        if (bravik::test::postgresRequested()) {
            QTest::newRow("refused insert")
                << "CREATE TRIGGER \"refuse\" BEFORE INSERT ON \"Miscellaneous\" FOR EACH ROW EXECUTE FUNCTION refuse()"
                << "DROP TRIGGER \"refuse\" ON \"Miscellaneous\"" << "disk is full";
            QTest::newRow("table dropped")
                << "ALTER TABLE \"Miscellaneous\" RENAME TO \"Gone\""
                << "ALTER TABLE \"Gone\" RENAME TO \"Miscellaneous\"" << "relation \"Miscellaneous\" does not exist";
            return;
        }
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
        if (file.isPostgres())
            file.sql(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                    "'BEGIN RAISE EXCEPTION ''disk is full''; END'"));
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
        const DatabaseLocation where = file.where();
        std::unique_ptr<QThread> other(QThread::create([where, &locked]() {
            {
                QSqlDatabase conn = QSqlDatabase::addDatabase(where.driver, QStringLiteral("other"));
                QString error;
                connection::configure(conn, where, &error);
                conn.open();
                QSqlQuery(conn).exec(Dialect::forDriver(where.driver)->beginWrite);
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
        QCOMPARE(column(file, QStringLiteral("Miscellaneous"), QStringLiteral("\"Note\"")), QStringLiteral("other,B after wait"));
    }

    // Two crew computers submitting to the same table at the same moment
    // get two rows; neither is lost.
    void simultaneousSubmissions()
    {
        LogbookFile file;
        { auto db = file.open(); QVERIFY(db); }
        const DatabaseLocation where = file.where();
        constexpr int kPrograms = 2;
        constexpr int kRounds = 5;
        // One gate a round, so a quick program cannot take a slower one's
        // turn in the next round.
        QSemaphore ready;
        std::vector<QSemaphore> go(kRounds);
        QMutex lock;
        QStringList errors;
        QList<qint64> keys;
        std::vector<std::unique_ptr<QThread>> programs;
        for (int p = 0; p < kPrograms; ++p) {
            programs.emplace_back(QThread::create([&, p]() {
                QString error;
                auto db = Database::open(where, &error);
                std::unique_ptr<RecordCursor> cursor;
                if (db) {
                    cursor = std::make_unique<RecordCursor>(*db, QStringLiteral("TaskList"));
                    if (!cursor->open())
                        error = cursor->lastError();
                }
                for (int round = 0; round < kRounds; ++round) {
                    bool ok = false;
                    qint64 key = -1;
                    if (error.isEmpty()) {
                        cursor->moveLast();
                        cursor->beginNew();
                        cursor->setValue(QStringLiteral("Date/Time"), QStringLiteral("round %1").arg(round));
                        cursor->setValue(QStringLiteral("SubmittedBy"), QStringLiteral("computer %1").arg(p));
                    }
                    ready.release();
                    go[round].acquire();   // everyone presses "Submit" at once
                    if (error.isEmpty()) {
                        ok = cursor->save();
                        key = cursor->currentKey();
                        if (!ok)
                            error = cursor->lastError();
                    }
                    QMutexLocker locked(&lock);
                    if (!ok)
                        errors << error;
                    keys << key;
                }
                cursor.reset();
            }));
            programs.back()->start();
        }
        for (int round = 0; round < kRounds; ++round) {
            ready.acquire(kPrograms);
            go[round].release(kPrograms);
        }
        for (auto &p : programs)
            p->wait();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(file.count(QStringLiteral("TaskList")), kPrograms * kRounds);
        QCOMPARE(QSet<qint64>(keys.begin(), keys.end()).size(), kPrograms * kRounds);
        for (int p = 0; p < kPrograms; ++p)
            QCOMPARE(file.sql(QStringLiteral("SELECT COUNT(*) FROM \"TaskList\" WHERE \"SubmittedBy\" = ?"),
                              {QStringLiteral("computer %1").arg(p)}).toInt(), kRounds);
    }
};

QTEST_GUILESS_MAIN(RecordCursorTest)
#include "tst_recordcursor.moc"
