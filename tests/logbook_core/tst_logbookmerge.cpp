// Merging logbooks: a boat laptop's file (A, a copy of the ship's logbook)
// and the ship's logbook (B: a server when the test runs on one, so A into
// B is a file into a server and B into A the other way).
#include "LaunchLog.h"
#include "LogbookCopy.h"
#include "LogbookFixture.h"
#include "LogbookMerge.h"
#include "EntryQuery.h"
#include "MergeConflicts.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlRecord>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

class LogbookMergeTest : public QObject
{
    Q_OBJECT

    // The ship's logbook with a mission entry and a note, and the laptop's copy of it.
    struct Pair
    {
        LogbookFile a, b;
        Pair()
        {
            a.schema.reset();
            auto db = b.open();
            for (const auto &[table, field, value] : {std::tuple{"MissionData", "Max Depth", "10"}, {"Miscellaneous", "Note", "x"}}) {
                RecordCursor c(*db, QString::fromLatin1(table));
                c.open();
                c.setValue(QString::fromLatin1(field), QString::fromLatin1(value));
                c.save();
            }
            QString error;
            if (!copyLogbook(b.where(), a.where(), nullptr, &error))
                qWarning("%s", qPrintable(error));
        }
        LogbookFile &side(QChar s) { return s == QLatin1Char('A') ? a : b; }
    };

    // "Max Depth=20" on the mission entry, "void=why", "new=text" (a note of the boat's).
    static void edit(LogbookFile &file, const QString &op)
    {
        auto db = file.open();
        const QString field = op.section(QLatin1Char('='), 0, 0), value = op.section(QLatin1Char('='), 1);
        RecordCursor c(*db, field == QLatin1String("new") ? QStringLiteral("Miscellaneous") : QStringLiteral("MissionData"));
        QVERIFY(c.open());
        if (field == QLatin1String("void"))
            QVERIFY(c.voidRow(value));
        else if (field == QLatin1String("new")) {
            QVERIFY(c.beginNew());
            c.setValue(QStringLiteral("Note"), value);
            c.stampNewRow(QDateTime::currentDateTimeUtc(), QStringLiteral("BOAT-LAPTOP"));
        } else
            c.setValue(field, value);
        QVERIFY2(c.save(), qPrintable(c.lastError()));
    }

    // What a check names: a field of the mission entry, its void reason, notes, open conflicts, history rows.
    static QString look(LogbookFile &file, const QString &what)
    {
        const QString m = QStringLiteral("(SELECT MIN(\"BravikKey\") FROM \"MissionData\")");
        if (what == QLatin1String("void"))
            return file.sql(QStringLiteral("SELECT COALESCE(\"VoidReason\", '') FROM \"MissionData\" WHERE \"BravikKey\" = ") + m).toString();
        if (what == QLatin1String("notes"))
            return file.sql(QStringLiteral("SELECT COUNT(*) FROM \"Miscellaneous\"")).toString();
        if (what == QLatin1String("conflicts"))
            return file.sql(QStringLiteral("SELECT group_concat(\"KeptValue\" || '/' || \"OtherValue\", ' ') FROM \"MergeConflict\" "
                                           "WHERE \"SettledAtUtc\" IS NULL")).toString();
        if (what == QLatin1String("history"))
            return file.sql(QStringLiteral("SELECT COUNT(*) FROM \"RecordHistory\" WHERE \"TableName\" = 'MissionData' AND \"RowKey\" = ") + m).toString();
        return file.sql(QStringLiteral("SELECT \"%1\" FROM \"MissionData\" WHERE \"BravikKey\" = %2").arg(what, m)).toString();
    }

    // Every entry and history row by id, with what it holds: equal for two logbooks that hold the same.
    static QStringList dump(LogbookFile &file)
    {
        QStringList lines;
        for (const TableDef &t : schema()) {
            QStringList cols{QStringLiteral("e.\"EntryId\""), QStringLiteral("e.\"StampedAtUtc\""), QStringLiteral("e.\"Workstation\""),
                             QStringLiteral("CASE WHEN e.\"Voided\" THEN 'void ' || e.\"VoidReason\" ELSE '' END")};
            for (const QString &f : t.fields)
                cols << (t.isBoolean(f) ? QStringLiteral("CASE WHEN e.\"%1\" THEN 'yes' ELSE 'no' END") : QStringLiteral("e.\"%1\"")).arg(f);
            QSqlQuery q(file.raw());
            q.exec(QStringLiteral("SELECT %1, h.\"EntryId\", h.\"Field\", h.\"NewValue\", h.\"ChangedAtUtc\", h.\"Workstation\" FROM \"%2\" e "
                                  "LEFT JOIN \"RecordHistory\" h ON h.\"TableName\" = '%2' AND h.\"RowKey\" = e.\"BravikKey\"")
                       .arg(cols.join(QStringLiteral(", ")), t.name));
            while (q.next()) {
                QStringList parts;
                for (int i = 0; i < q.record().count(); ++i)
                    parts << q.value(i).toString();
                lines << parts.join(QLatin1Char('|'));
            }
        }
        lines.sort();
        return lines;
    }

    static QString merge(LogbookFile &from, LogbookFile &into)
    {
        QString error;
        const auto summary = mergeLogbooks(from.where(), into.where(), &error);
        return summary ? summary->text() : error;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void merges_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QStringList>("merges");     // "A>B: what it prints"
        QTest::addColumn<QStringList>("expected");   // "B Max Depth=20"
        QTest::addColumn<bool>("staleRefused");      // a store from a window that showed B's entry before
        const QString none = QStringLiteral("0 new entries, 0 changed, 0 conflicts, nothing removed");
        QTest::newRow("new on either side") << QStringList{"A new=boat", "B new=ship"}
            << QStringList{"A>B: 1 new entry, 0 changed, 0 conflicts, nothing removed", "B>A: 1 new entry, 0 changed, 0 conflicts, nothing removed"}
            << QStringList{"A notes=3", "B notes=3"} << false;
        QTest::newRow("changed on one side, merged twice") << QStringList{"A Max Depth=20"}
            << QStringList{"A>B: 0 new entries, 1 changed, 0 conflicts, nothing removed", "A>B: " + none}
            << QStringList{"B Max Depth=20", "B history=1", "B conflicts="} << true;
        QTest::newRow("different fields on both") << QStringList{"A Max Depth=20", "B Notes=ship"}
            << QStringList{"A>B: 0 new entries, 1 changed, 0 conflicts, nothing removed", "B>A: 0 new entries, 1 changed, 0 conflicts, nothing removed"}
            << QStringList{"A Max Depth=20", "A Notes=ship", "B Max Depth=20", "B Notes=ship"} << true;
        QTest::newRow("same field on both, the conflict travels back") << QStringList{"A Max Depth=20", "B Max Depth=25"}
            << QStringList{"A>B: 0 new entries, 1 changed, 1 conflict, nothing removed", "B>A: 0 new entries, 1 changed, 0 conflicts, nothing removed", "A>B: " + none}
            << QStringList{"B Max Depth=25", "B conflicts=25/20", "A Max Depth=25", "A conflicts=25/20", "B history=2"} << false;
        QTest::newRow("same value on both") << QStringList{"A Max Depth=20", "B Max Depth=20"}
            << QStringList{"A>B: 0 new entries, 1 changed, 0 conflicts, nothing removed"} << QStringList{"B conflicts=", "B history=2"} << false;
        QTest::newRow("void against edit") << QStringList{"A void=typed twice", "B Notes=ship"}
            << QStringList{"A>B: 0 new entries, 1 changed, 0 conflicts, nothing removed", "B>A: 0 new entries, 1 changed, 0 conflicts, nothing removed"}
            << QStringList{"A void=typed twice", "B void=typed twice", "A Notes=ship"} << true;
    }
    void merges()
    {
        QFETCH(QStringList, edits);
        QFETCH(QStringList, merges);
        QFETCH(QStringList, expected);
        QFETCH(bool, staleRefused);
        Pair p;
        for (const QString &e : edits)
            edit(p.side(e.at(0)), e.mid(2));
        auto shown = p.b.open();
        RecordCursor window(*shown, QStringLiteral("MissionData"));
        QVERIFY(window.open());
        for (const QString &m : merges)
            QCOMPARE(m.left(5) + merge(p.side(m.at(0)), p.side(m.at(2))), m);
        for (const QString &e : expected)
            QCOMPARE(e.left(2) + e.mid(2).section(QLatin1Char('='), 0, 0) + QLatin1Char('=')
                         + look(p.side(e.at(0)), e.mid(2).section(QLatin1Char('='), 0, 0)), e);
        if (merges.size() > 1 && merges.at(0).at(0) != merges.at(1).at(0))
            QCOMPARE(dump(p.a), dump(p.b));   // both ways: the same entries, stamps, values and history
        window.setValue(QStringLiteral("Water Depth"), QStringLiteral("99"));
        QCOMPARE(!window.save(), staleRefused);
    }

    void launchRecordFollowsItsMissionById()
    {
        Pair p;
        edit(p.b, QStringLiteral("new=ship"));   // the keys of the two logbooks part
        auto db = p.a.open();
        RecordCursor c(*db, QStringLiteral("MissionData"));
        QVERIFY(c.beginNew());
        c.setValue(QStringLiteral("Purpose"), QStringLiteral("Mapping"));
        QVERIFY(c.save());
        QString error;
        QVERIFY2(launchlog::insert(*db, newEntryId(), {{QStringLiteral("MissionKey"), c.currentKey()}}, &error), qPrintable(error));
        edit(p.b, QStringLiteral("new=ship again"));
        p.b.sql(QStringLiteral("INSERT INTO \"MissionData\" (\"Purpose\") VALUES ('ship only')"));
        QCOMPARE(merge(p.a, p.b), QStringLiteral("2 new entries, 0 changed, 0 conflicts, nothing removed"));
        QCOMPARE(p.b.sql(QStringLiteral("SELECT m.\"Purpose\" FROM \"LaunchRecord\" r JOIN \"MissionData\" m ON m.\"BravikKey\" = r.\"MissionKey\"")).toString(),
                 QStringLiteral("Mapping"));
        QCOMPARE(merge(p.b, p.a), QStringLiteral("3 new entries, 0 changed, 0 conflicts, nothing removed"));
        QCOMPARE(p.a.sql(QStringLiteral("SELECT COUNT(*) FROM \"LaunchRecord\" r JOIN \"MissionData\" m ON m.\"BravikKey\" = r.\"MissionKey\" "
                                        "WHERE m.\"Purpose\" = 'Mapping'")).toInt(), 1);
    }

    void settledConflictTravels()
    {
        Pair p;
        edit(p.a, QStringLiteral("Max Depth=20"));
        edit(p.b, QStringLiteral("Max Depth=25"));
        merge(p.a, p.b);
        QCOMPARE(merge(p.b, p.a), QStringLiteral("0 new entries, 1 changed, 0 conflicts, nothing removed"));
        p.a.sql(QStringLiteral("UPDATE \"MergeConflict\" SET \"SettledAtUtc\" = '2026-12-09T10:00:00Z', \"SettledOn\" = 'BOAT-LAPTOP'"));
        merge(p.b, p.a);   // an open one there does not open it again here
        QCOMPARE(look(p.a, QStringLiteral("conflicts")), QString());
        merge(p.a, p.b);
        QCOMPARE(p.b.sql(QStringLiteral("SELECT \"SettledOn\" FROM \"MergeConflict\"")).toString(), QStringLiteral("BOAT-LAPTOP"));
    }

    // A conflict settled by a person: the field, its history row and the
    // settlement in one store, refused over a change made elsewhere; the
    // value chosen and the settlement travel with the next merge.
    void settles_data()
    {
        QTest::addColumn<bool>("keepOther");
        QTest::addColumn<bool>("changedElsewhere");
        QTest::addColumn<QString>("value");     // Max Depth afterwards, on both once merged back
        QTest::addColumn<int>("history");       // the entry's history rows in B
        QTest::newRow("keep this computer's value") << false << false << "25" << 2;
        QTest::newRow("keep the other value") << true << false << "20" << 3;
        QTest::newRow("the entry changed meanwhile") << true << true << "30" << 3;
    }
    void settles()
    {
        QFETCH(bool, keepOther);
        QFETCH(bool, changedElsewhere);
        QFETCH(QString, value);
        QFETCH(int, history);
        Pair p;
        edit(p.a, QStringLiteral("Max Depth=20"));
        edit(p.b, QStringLiteral("Max Depth=25"));
        merge(p.a, p.b);
        auto db = p.b.open();
        const auto inConflict = [&db] {
            EntryFilter f;
            f.inConflict = true;
            EntryQuery q(*db, QStringLiteral("MissionData"), f);
            int n = 0;
            bool exhausted = false;
            q.fetch(-1, 10, [&n](const QList<Entry> &rows) { n += int(rows.size()); }, nullptr, &exhausted);
            return n;
        };
        QCOMPARE(inConflict(), 1);
        RecordCursor window(*db, QStringLiteral("MissionData"));
        QVERIFY(window.open());
        QList<conflicts::Open> open;
        QString error;
        QVERIFY2(conflicts::openOf(*db, QStringLiteral("MissionData"), window.currentKey(), &open, &error), qPrintable(error));
        QCOMPARE(open.size(), 1);
        QVERIFY2(conflicts::lineText(open.first(), window.value(QStringLiteral("Max Depth")).toString())
                     .startsWith(QLatin1String("Changed on two computers: Max Depth is 25 here, 20 from ")),
                 qPrintable(conflicts::lineText(open.first(), QStringLiteral("25"))));
        if (changedElsewhere)
            edit(p.b, QStringLiteral("Max Depth=30"));
        const bool settled = window.storeDecision(keepOther ? QStringLiteral("Max Depth") : QString(), open.first().otherValue,
                                                  [&open](Database &d, QString *e) {
                                                      return conflicts::settle(d, open.first().id, QStringLiteral("2026-12-09T10:00:00Z"),
                                                                               QStringLiteral("SHIP-DESK"), e);
                                                  });
        QCOMPARE(settled, !changedElsewhere);
        QCOMPARE(look(p.b, QStringLiteral("Max Depth")), value);
        QCOMPARE(window.value(QStringLiteral("Max Depth")).toString(), value);   // the row as stored now
        QCOMPARE(look(p.b, QStringLiteral("history")).toInt(), history);
        QCOMPARE(inConflict(), changedElsewhere ? 1 : 0);
        if (changedElsewhere)
            return;
        QCOMPARE(merge(p.b, p.a), QStringLiteral("0 new entries, 1 changed, 0 conflicts, nothing removed"));
        QCOMPARE(look(p.a, QStringLiteral("Max Depth")), value);
        QCOMPARE(p.a.sql(QStringLiteral("SELECT \"SettledOn\" FROM \"MergeConflict\"")).toString(), QStringLiteral("SHIP-DESK"));
        QCOMPARE(dump(p.a), dump(p.b));
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("message");
        QTest::newRow("the same logbook by another name") << "same" << "are the same logbook";
        QTest::newRow("a logbook file that is not there") << "missing" << "does not exist";
        QTest::newRow("made by a newer program") << "newer" << "newer version of this program";
        QTest::newRow("an Access file that is not there") << "access" << "does not exist";
    }
    void refuses()
    {
        QFETCH(QString, why);
        QFETCH(QString, message);
        Pair p;
        edit(p.a, QStringLiteral("new=boat"));
        DatabaseLocation from = p.a.where();
        const DatabaseLocation into = p.b.where();
        if (why == QLatin1String("same")) {
            from = into;
            from.location = p.b.isPostgres() ? QStringLiteral("connect_timeout=9 ") + into.location : p.b.dir.filePath(QStringLiteral("link.sqlite"));
            QVERIFY(p.b.isPostgres() || QFile::link(into.location, from.location));
        } else if (why != QLatin1String("newer")) {
            from.location = p.a.dir.filePath(why == QLatin1String("access") ? QStringLiteral("BravikDatabase97.mdb") : QStringLiteral("typo.sqlite"));
        } else {
            p.a.sql(QStringLiteral("PRAGMA user_version = 99"));
        }
        QString error;
        QVERIFY(!mergeLogbooks(from, into, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(look(p.b, QStringLiteral("notes")), QStringLiteral("1"));
        if (why == QLatin1String("missing") || why == QLatin1String("access"))
            QVERIFY(!QFile::exists(from.location));   // never made
    }

#ifdef BRAVIK_LOG_EXE
    static int runMerge(const QStringList &args, QString *out = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral(BRAVIK_LOG_EXE), QStringList{QStringLiteral("--merge-logbook")} + args);
        p.waitForFinished(60000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }

    // The command as a crew runs it; a missing INTO is made.
    void commandLine()
    {
        Pair p;
        edit(p.a, QStringLiteral("new=boat"));
        QString out;
        const QString fresh = p.a.dir.filePath(QStringLiteral("fresh.sqlite"));
        QCOMPARE(runMerge({p.a.path, fresh}, &out), 0);
        QCOMPARE(out, QStringLiteral("3 new entries, 0 changed, 0 conflicts, nothing removed\n"));
        QCOMPARE(runMerge({p.a.path, p.b.where().location}, &out), 0);
        QCOMPARE(out, QStringLiteral("1 new entry, 0 changed, 0 conflicts, nothing removed\n"));
        QCOMPARE(runMerge({p.a.path, p.a.path}, &out), 1);
        QCOMPARE(runMerge({p.a.path}, &out), 2);
        QVERIFY2(out.contains(QLatin1String("needs two values: FROM and INTO")), qPrintable(out));
    }

    // A merge killed at any moment leaves the logbook as it was or as
    // merged; run again it ends with every entry once.
    void killedMergeLeavesNoHalf()
    {
        if (bravik::test::postgresRequested())
            QSKIP("the file's own integrity is what is checked");
        Pair p;
        const int entries = 3000;
        p.a.sql(QStringLiteral("BEGIN"));
        for (int i = 0; i < entries; ++i)
            p.a.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\", \"EntryId\") VALUES (?, ?)"), {QString::number(i), newEntryId()});
        p.a.sql(QStringLiteral("COMMIT"));
        const int cycles = qEnvironmentVariableIntValue("BRAVIK_MERGE_KILL_CYCLES") > 0 ? qEnvironmentVariableIntValue("BRAVIK_MERGE_KILL_CYCLES") : 50;
        const quint32 seed = qEnvironmentVariableIsSet("BRAVIK_MERGE_KILL_SEED") ? qEnvironmentVariable("BRAVIK_MERGE_KILL_SEED").toUInt()
                                                                                 : QRandomGenerator::global()->generate();
        QElapsedTimer whole;   // kills fall anywhere within the time a whole merge takes
        whole.start();
        QCOMPARE(runMerge({p.a.path, p.a.dir.filePath(QStringLiteral("measure.sqlite"))}), 0);
        const qint64 span = whole.elapsed();
        qInfo("kill cycles: %d, seed %u (BRAVIK_MERGE_KILL_SEED), within %lld ms", cycles, seed, span);
        QRandomGenerator random(seed);
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const QString into = p.a.dir.filePath(QStringLiteral("into-%1.sqlite").arg(cycle));
            QVERIFY(QFile::copy(p.b.path, into));
            QProcess merge;
            merge.start(QStringLiteral(BRAVIK_LOG_EXE), {QStringLiteral("--merge-logbook"), p.a.path, into});
            QVERIFY(merge.waitForStarted());
            QTest::qWait(int(random.bounded(span)));
            merge.kill();   // SIGKILL
            merge.waitForFinished();
            QCOMPARE(runMerge({p.a.path, into}), 0);
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), into);
            db.setDatabaseName(into);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT \"EntryId\"), (SELECT integrity_check FROM pragma_integrity_check) "
                                          "FROM \"Miscellaneous\"")) && q.next());
            QCOMPARE(q.value(0).toInt(), entries + 1);
            QCOMPARE(q.value(1).toInt(), entries + 1);
            QCOMPARE(q.value(2).toString(), QStringLiteral("ok"));
            q.finish();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(into);
        }
    }
#endif
};

QTEST_GUILESS_MAIN(LogbookMergeTest)
#include "tst_logbookmerge.moc"
