// Moving a logbook: every row of every table copied, order and keys kept,
// a target that already holds rows refused; SQLite to PostgreSQL and back
// when the test runs on a server, SQLite to SQLite otherwise.
#include "LogbookCopy.h"
#include "LogbookFixture.h"
#include "Schema.h"

#include <QProcess>
#include <QSqlRecord>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

namespace {

// Every row of every logbook table, each as "key|field=value|…" with the
// fields in name order and check boxes as true/false, so two logbooks on
// different engines compare equal when they hold the same rows.
QStringList dump(const DatabaseLocation &where)
{
    QStringList lines;
    QString error;
    auto db = Database::open(where, &error);
    if (!db)
        return {QStringLiteral("cannot open: ") + error};
    for (const TableDef &def : schema()) {
        QList<Column> columns;
        db->columns(def.name, &columns, &error);
        std::sort(columns.begin(), columns.end(), [](const Column &a, const Column &b) { return a.name < b.name; });
        QStringList names;
        for (const Column &c : columns)
            names << Dialect::quote(c.name);
        QSqlQuery q(db->connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names.join(", "), Dialect::quote(def.name), Dialect::quote(keyColumn()))))
            return {q.lastError().text()};
        while (q.next()) {
            QStringList parts{def.name};
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant v = q.value(i);
                QString text = v.isNull() ? QStringLiteral("NULL")
                               : columns.at(i).kind == Column::Kind::Boolean ? (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                                                             : v.toString();
                parts << columns.at(i).name + QLatin1Char('=') + text;
            }
            lines << parts.join(QLatin1Char('|'));
        }
    }
    return lines;
}

} // namespace

class LogbookCopyTest : public QObject
{
    Q_OBJECT

    // A logbook file with rows in several tables: gaps in the keys, check
    // boxes, quotes, non-ASCII text, missing values and a field of the
    // crew's own.
    static void fillSource(LogbookFile &file)
    {
        auto db = file.open();
        QVERIFY(db);
        file.sql(QStringLiteral("ALTER TABLE \"TaskList\" ADD COLUMN \"Their Own\" INTEGER"));
        for (int i = 1; i <= 5; ++i)
            file.sql(QStringLiteral("INSERT INTO \"TaskList\" (\"Note\", \"Their Own\", \"Date/Time\") VALUES (?, ?, ?)"),
                     {QStringLiteral("task %1").arg(i), i * 10, i == 2 ? QVariant() : QVariant(QStringLiteral("7/29/2003"))});
        file.sql(QStringLiteral("DELETE FROM \"TaskList\" WHERE \"Note\" IN ('task 2', 'task 4')"));
        file.sql(QStringLiteral("INSERT INTO \"Predive\" (\"USBL Tx/Rx\", \"GPS Fix Valid\", \"DVL Operational\") VALUES ('19/27', 1, 0)"));
        file.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES (?)"), {QStringLiteral("O'Brien said \"go\"; Ærø 36°45′ 北")});
        file.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES ('')"));
        file.sql(QStringLiteral("INSERT INTO \"LaunchRecord\" (\"MissionKey\", \"Reviewer\", \"ReviewedText\") VALUES (3, 'Ada', ?)"),
                 {QStringLiteral("behavior setpoint {\r\n}\r\n")});
        // An entry changed after its first store, with its history.
        file.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"RowVersion\" = 1, \"Voided\" = TRUE, \"VoidReason\" = 'twice' WHERE \"Note\" = ''"));
        file.sql(QStringLiteral("INSERT INTO \"RecordHistory\" (\"TableName\", \"RowKey\", \"Field\", \"OldValue\", \"NewValue\", "
                                "\"ChangedAtUtc\", \"Workstation\", \"OsUser\") VALUES ('Miscellaneous', 2, 'Voided', '', 'twice', "
                                "'2026-12-08T04:29:18Z', 'deck-1', 'ada')"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void copiesBothWays()
    {
        LogbookFile sqlite;   // the source is always a file
        sqlite.schema.reset();
        fillSource(sqlite);
        LogbookFile middle;   // a server when the test runs on one
        if (!middle.isPostgres())
            middle.path = middle.dir.filePath(QStringLiteral("middle.sqlite"));
        const DatabaseLocation back{QStringLiteral("QSQLITE"), sqlite.dir.filePath(QStringLiteral("back.sqlite"))};

        QStringList lines;
        QString error;
        QVERIFY2(copyLogbook(sqlite.where(), middle.where(), [&](const QString &l) { lines << l; }, &error), qPrintable(error));
        QVERIFY2(copyLogbook(middle.where(), back, nullptr, &error), qPrintable(error));

        const QStringList original = dump(sqlite.where());
        QCOMPARE(original.size(), 3 + 1 + 2);
        QVERIFY2(original.first().startsWith(QLatin1String("WeatherObservation")) == false, qPrintable(original.first()));
        QCOMPARE(dump(middle.where()), original);
        QCOMPARE(dump(back), original);
        QVERIFY(lines.contains(QStringLiteral("TaskList: 3 rows")));
        QCOMPARE(lines.last(), QStringLiteral("Copied 8 rows in 14 tables."));
        for (const DatabaseLocation &w : {middle.where(), back}) {
            auto copy = Database::open(w, &error);
            QVERIFY2(copy, qPrintable(error));
            QSqlQuery h(copy->connection());
            QVERIFY(h.exec(QStringLiteral("SELECT \"Field\" || \"NewValue\" || \"Workstation\" || \"OsUser\" || CAST(\"RowKey\" AS TEXT) "
                                          "FROM \"RecordHistory\"")) && h.next());
            QCOMPARE(h.value(0).toString(), QStringLiteral("Voidedtwicedeck-1ada2"));
            QVERIFY(!h.next());
        }
        // The launch records come along with their keys.
        QCOMPARE(middle.sql(QStringLiteral("SELECT \"Reviewer\" FROM \"LaunchRecord\" WHERE \"MissionKey\" = 3")).toString(), QStringLiteral("Ada"));
        {
            auto copy = Database::open(back, &error);
            QVERIFY2(copy, qPrintable(error));
            QSqlQuery q(copy->connection());
            QVERIFY(q.exec(QStringLiteral("SELECT \"ReviewedText\" FROM \"LaunchRecord\"")) && q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("behavior setpoint {\r\n}\r\n"));
        }

        // The next row typed on the copy follows the copied keys.
        auto db = middle.open();
        RecordCursor cursor(*db, QStringLiteral("TaskList"));
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveLast());
        const qint64 lastKey = cursor.currentKey();
        QCOMPARE(lastKey, 5);
        QVERIFY(cursor.beginNew());
        cursor.setValue(QStringLiteral("Note"), QStringLiteral("after the move"));
        QVERIFY2(cursor.save(), qPrintable(cursor.lastError()));
        QVERIFY(cursor.currentKey() > lastKey);
    }

    // Entries stored by the program keep their ids in the copy, and so do
    // their history rows: a copy is a starting point for later merges.
    void keepsEntryIds()
    {
        LogbookFile source;
        source.schema.reset();
        {
            auto db = source.open();
            QVERIFY(db);
            RecordCursor cursor(*db, QStringLiteral("MissionData"));
            QVERIFY(cursor.open());
            cursor.setValue(QStringLiteral("Max Depth"), QStringLiteral("20"));
            QVERIFY(cursor.save());
            cursor.setValue(QStringLiteral("Max Depth"), QStringLiteral("25"));
            QVERIFY(cursor.save());
            QVERIFY(cursor.voidRow(QStringLiteral("typed twice")));
        }
        LogbookFile target;
        if (!target.isPostgres())
            target.path = target.dir.filePath(QStringLiteral("target.sqlite"));
        QString error;
        QVERIFY2(copyLogbook(source.where(), target.where(), nullptr, &error), qPrintable(error));
        const auto ids = [](LogbookFile &file, const QString &table) {
            QStringList out;
            QSqlQuery q(file.raw());
            q.exec(QStringLiteral("SELECT \"EntryId\" FROM \"%1\" ORDER BY \"BravikKey\"").arg(table));
            while (q.next())
                out << q.value(0).toString();
            return out;
        };
        for (const QString &table : {QStringLiteral("MissionData"), historyTable()}) {
            const QStringList kept = ids(source, table);
            QCOMPARE(kept.size(), table == historyTable() ? 2 : 1);
            QVERIFY(!kept.contains(QString()));
            QCOMPARE(ids(target, table), kept);
        }
    }

    void refusesTargetWithRows()
    {
        LogbookFile source;
        source.schema.reset();
        fillSource(source);
        LogbookFile target;
        if (!target.isPostgres())
            target.path = target.dir.filePath(QStringLiteral("target.sqlite"));
        { auto db = target.open(); QVERIFY(db); }
        target.sql(QStringLiteral("INSERT INTO \"Purchases\" (\"Vendor\") VALUES ('kept')"));
        QString error;
        QVERIFY(!copyLogbook(source.where(), target.where(), nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("\"Purchases\" (1 row)")) && error.contains(QLatin1String("nothing was copied")),
                 qPrintable(error));
        QCOMPARE(target.count(QStringLiteral("TaskList")), 0);
        QCOMPARE(target.sql(QStringLiteral("SELECT \"Vendor\" FROM \"Purchases\"")).toString(), QStringLiteral("kept"));
    }

    void refusesWhatCannotBeCopied()
    {
        LogbookFile file;
        file.schema.reset();
        QString error;
        const DatabaseLocation missing{QStringLiteral("QSQLITE"), file.dir.filePath(QStringLiteral("typo.sqlite"))};
        QVERIFY(!copyLogbook(missing, file.where(), nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("does not exist")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(missing.location));   // no empty logbook made from a typo
        fillSource(file);
        QVERIFY(!copyLogbook(file.where(), file.where(), nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("the same")), qPrintable(error));
    }

#ifdef BRAVIK_LOG_EXE
    // The command line, as a crew runs it on a computer without a display.
    void commandLine()
    {
        LogbookFile source;
        source.schema.reset();
        fillSource(source);
        LogbookFile target;
        if (!target.isPostgres())
            target.path = target.dir.filePath(QStringLiteral("target.sqlite"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(BRAVIK_LOG_EXE), {QStringLiteral("--copy-logbook"), source.path, target.where().location});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(p.exitCode() == 0, qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("Copied 8 rows in 14 tables.")), qPrintable(out));
        QCOMPARE(dump(target.where()), dump(source.where()));

        // Again into the now full logbook: refused, non-zero.
        p.start(QStringLiteral(BRAVIK_LOG_EXE), {QStringLiteral("--copy-logbook"), source.path, target.where().location});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QLatin1String("already holds rows")));
    }
#endif
};

QTEST_GUILESS_MAIN(LogbookCopyTest)
#include "tst_logbookcopy.moc"
