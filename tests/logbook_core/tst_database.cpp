// Opening the logbook: creating, upgrading and refusing files.
#include "LogbookFixture.h"

#include <QFile>
#include <QSqlRecord>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

class DatabaseTest : public QObject
{
    Q_OBJECT

    static QStringList columns(LogbookFile &file, const QString &table)
    {
        QStringList names;
        const int n = file.sql(QStringLiteral("SELECT COUNT(*) FROM pragma_table_info(?)"), {table}).toInt();
        for (int i = 0; i < n; ++i)
            names << file.sql(QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE cid = ?"), {table, i}).toString();
        return names;
    }

private Q_SLOTS:
    void createsEveryTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<QStringList>("samples");
        QTest::newRow("weather") << "WeatherObservation" << 17 << QStringList{"Latitude Minutes", "SwellDirection", "SkyDescription"};
        QTest::newRow("maintenance") << "VehicleMaintenance" << 6 << QStringList{"MaintenanceType", "Reason"};
        QTest::newRow("misc") << "Miscellaneous" << 3 << QStringList{"Note"};
        QTest::newRow("predive") << "Predive" << 29 << QStringList{"USBL Tx/Rx", "Main Housing Vaccuum", "PayloadCoordinator", "PayloadOperational"};
        QTest::newRow("mission") << "MissionData" << 19 << QStringList{"Mission Start Longitude", "Failure mode"};
        QTest::newRow("battery") << "BatteryCharge" << 13 << QStringList{"Batt1SN", "Bat1MinV"};
        QTest::newRow("tasks") << "TaskList" << 6 << QStringList{"TaskDescription", "DateCompleted"};
        QTest::newRow("purchases") << "Purchases" << 7 << QStringList{"Vendor", "Item"};
    }
    void createsEveryTable()
    {
        QFETCH(QString, table);
        QFETCH(int, fieldCount);
        QFETCH(QStringList, samples);
        LogbookFile file;
        QVERIFY(!QFile::exists(file.path));
        auto db = file.open();
        QVERIFY(db);
        const QStringList names = columns(file, table);
        QCOMPARE(names.size(), fieldCount + 1);
        QCOMPARE(names.first(), keyColumn());
        QCOMPARE(names.mid(1), findTable(table)->fields);
        for (const QString &s : samples)
            QVERIFY2(names.contains(s), qPrintable(s));
        QCOMPARE(file.sql(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name <> 'sqlite_sequence'")).toInt(), 8);
    }

    void openSettings()
    {
        LogbookFile file;
        auto db = file.open();
        QSqlQuery q(db->connection());
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
        QCOMPARE(q.value(0).toInt(), 2);   // FULL
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
        QCOMPARE(q.value(0).toInt(), Database::schemaVersion());
    }

    void eachDatabaseHasItsOwnConnection()
    {
        LogbookFile file;
        auto a = file.open();
        auto b = file.open();
        QVERIFY(a->connection().connectionName() != b->connection().connectionName());
        const QString nameOfB = b->connection().connectionName();
        b.reset();
        QVERIFY(!QSqlDatabase::contains(nameOfB));
        QVERIFY(a->connection().isOpen());
    }

    void upgradesOldLogbookInPlace()
    {
        LogbookFile file;
        QDir().mkpath(QFileInfo(file.path).absolutePath());
        QStringList oldWeather = findTable(QStringLiteral("WeatherObservation"))->fields;
        oldWeather.removeAll(QStringLiteral("SwellDirection"));
        oldWeather.removeAll(QStringLiteral("SkyDescription"));
        QStringList cols{QStringLiteral("\"%1\" INTEGER PRIMARY KEY AUTOINCREMENT").arg(keyColumn())};
        for (const QString &f : oldWeather)
            cols << QStringLiteral("\"%1\" TEXT").arg(f);
        cols << QStringLiteral("\"Their Own\" TEXT");
        file.sql(QStringLiteral("CREATE TABLE \"WeatherObservation\" (%1)").arg(cols.join(", ")));
        file.sql(QStringLiteral("INSERT INTO \"WeatherObservation\" (\"Notes\", \"Latitude\", \"Their Own\") VALUES ('calm', '34.5', 'kept')"));
        file.sql(QStringLiteral("CREATE TABLE \"Predive\" (\"%1\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Cruise\" TEXT)").arg(keyColumn()));
        file.sql(QStringLiteral("INSERT INTO \"Predive\" (\"Cruise\") VALUES ('C1')"));
        file.sql(QStringLiteral("CREATE TABLE \"Crew Extras\" (x TEXT)"));

        auto db = file.open();
        QVERIFY(db);
        QCOMPARE(columns(file, QStringLiteral("WeatherObservation")).mid(oldWeather.size() + 1),
                 (QStringList{"Their Own", "SwellDirection", "SkyDescription"}));
        QCOMPARE(columns(file, QStringLiteral("Predive")).size(), 30);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Notes\" || \"Latitude\" || \"Their Own\" || coalesce(\"SwellDirection\", '-') FROM \"WeatherObservation\"")).toString(),
                 QStringLiteral("calm34.5kept-"));
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Cruise\" || \"PayloadOperational\" FROM \"Predive\"")).toString(), QStringLiteral("C10"));
        QCOMPARE(file.count(QStringLiteral("Crew Extras")), 0);

        RecordCursor cursor(*db, QStringLiteral("WeatherObservation"));
        QVERIFY(cursor.open());
        cursor.setValue(QStringLiteral("SkyDescription"), QStringLiteral("Clear"));
        QVERIFY(cursor.save());
        QCOMPARE(file.sql(QStringLiteral("SELECT \"SkyDescription\" FROM \"WeatherObservation\"")).toString(), QStringLiteral("Clear"));
    }

    void rebuildsKeylessTableAroundKey()
    {
        LogbookFile file;
        QDir().mkpath(QFileInfo(file.path).absolutePath());
        file.sql(QStringLiteral("CREATE TABLE \"TaskList\" (\"ID\" INTEGER, \"Note\" TEXT, \"Date/Time\" TEXT, \"Cost\" REAL)"));
        for (const char *note : {"c", "a", "b"})
            file.sql(QStringLiteral("INSERT INTO \"TaskList\" (\"ID\", \"Note\", \"Cost\") VALUES (7, ?, 2.5)"), {QString::fromLatin1(note)});

        auto db = file.open();
        QVERIFY(db);
        QCOMPARE(file.sql(QStringLiteral("SELECT group_concat(\"Note\" || \"ID\" || \"Cost\", ' ') FROM \"TaskList\"")).toString(),
                 QStringLiteral("c72.5 a72.5 b72.5"));
        RecordCursor cursor(*db, QStringLiteral("TaskList"));
        QVERIFY(cursor.open());
        QStringList seen;
        for (int i = 0; i < 3; ++i, cursor.moveNext())
            seen << cursor.value(QStringLiteral("Note")).toString();
        QCOMPARE(seen, (QStringList{"c", "a", "b"}));   // the order they were stored in
        QVERIFY(cursor.isNewRow());
    }

    void refusesWhatItCannotOpen_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a database") << "QSQLITE" << "garbage" << "file is not a database";
        QTest::newRow("folder is a file") << "QSQLITE" << "blocker" << "Cannot create the database folder";
        QTest::newRow("unknown driver") << "QODBC" << "" << "\"QODBC\" is not supported";
    }
    void refusesWhatItCannotOpen()
    {
        QFETCH(QString, driver);
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("Logbook.sqlite"));
        QFile f(setup == "blocker" ? dir.filePath("blocker") : path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        if (setup == "blocker")
            path = dir.filePath(QStringLiteral("blocker/Logbook.sqlite"));
        QString error;
        auto db = Database::open({driver, path}, &error);
        QVERIFY(!db);
        QVERIFY2(error.contains(message), qPrintable(error));
        if (setup == "garbage") {   // the file is left as it was
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray(4096, 'x'));
        }
    }
};

QTEST_GUILESS_MAIN(DatabaseTest)
#include "tst_database.moc"
