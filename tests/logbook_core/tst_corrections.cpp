// Corrections that leave a trace, on a real logbook: the edit history of
// stored rows, stores refused when another program changed the row
// meanwhile, and void marks.  Nothing here ever deletes a row.
#include "LogbookFixture.h"

#include "RecordHistory.h"

#include <QRegularExpression>
#include <QSysInfo>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

namespace {

const QString kMisc = QStringLiteral("Miscellaneous");
const QString kNote = QStringLiteral("Note");

QList<history::Entry> historyOf(Database &db, const QString &table, qint64 key)
{
    QList<history::Entry> entries;
    QString error;
    if (!history::read(db, table, key, &entries, &error))
        qWarning("history: %s", qPrintable(error));
    return entries;
}

QString describe(const QList<history::Entry> &entries)
{
    QStringList out;
    for (const history::Entry &e : entries)
        out << QStringLiteral("%1:%2>%3").arg(e.field, e.oldValue, e.newValue);
    return out.join(QLatin1Char(' '));
}

} // namespace

class CorrectionsTest : public QObject
{
    Q_OBJECT

    // A stored row of Miscellaneous, seeded behind the cursor's back.
    static qint64 seedMisc(LogbookFile &file, const QString &note)
    {
        file.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"SubmittedBy\", \"Note\") VALUES ('d1', 'Ada', ?)"),
                 {note});
        return file.sql(QStringLiteral("SELECT MAX(\"BravikKey\") FROM \"Miscellaneous\"")).toLongLong();
    }

    static qint64 versionOf(LogbookFile &file, qint64 key)
    {
        return file.sql(QStringLiteral("SELECT \"RowVersion\" FROM \"Miscellaneous\" WHERE \"BravikKey\" = ?"), {key}).toLongLong();
    }

    // Makes the engine refuse every write of that kind to the table.
    static void refuse(LogbookFile &file, const QString &table, const QString &event)
    {
        if (file.isPostgres()) {
            file.sql(QStringLiteral("CREATE OR REPLACE FUNCTION refuse_it() RETURNS trigger LANGUAGE plpgsql AS "
                                    "$$ BEGIN RAISE EXCEPTION 'refused by the test'; END $$"));
            file.sql(QStringLiteral("CREATE TRIGGER refuse_it BEFORE %1 ON \"%2\" FOR EACH ROW EXECUTE FUNCTION refuse_it()")
                         .arg(event, table));
        } else {
            file.sql(QStringLiteral("CREATE TRIGGER refuse_it BEFORE %1 ON \"%2\" BEGIN SELECT RAISE(ABORT, 'refused by the test'); END")
                         .arg(event, table));
        }
    }
    static void allow(LogbookFile &file, const QString &table)
    {
        file.sql(file.isPostgres() ? QStringLiteral("DROP TRIGGER refuse_it ON \"%1\"").arg(table)
                                   : QStringLiteral("DROP TRIGGER refuse_it"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
        history::setOsUser(QStringLiteral("deckhand"));
    }

    // One history row per field whose value changed, with the value as
    // shown before and the value stored; a field typed back to what it was
    // leaves none.  Text and check-box fields alike.
    void historyPerChangedField_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QVariantList>("before");
        QTest::addColumn<QVariantList>("after");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one text") << "WeatherObservation" << QStringList{"WindSpeed"} << QVariantList{"12"}
                                  << QVariantList{"15"} << "WindSpeed:12>15";
        QTest::newRow("two of three") << "TaskList" << QStringList{"Note", "AssignedTo", "DateCompleted"}
                                      << QVariantList{"grease", "Ada", "8/3"} << QVariantList{"grease rudder", "Ada", ""}
                                      << "DateCompleted:8/3> Note:grease>grease rudder";
        QTest::newRow("check box") << "MissionData" << QStringList{"Successful", "Notes"} << QVariantList{false, "ok"}
                                   << QVariantList{true, "ok"} << "Successful:false>true";
        QTest::newRow("quotes and lines") << "Miscellaneous" << QStringList{"Note"} << QVariantList{"it's"}
                                          << QVariantList{"said \"no\"\nthen yes"} << "Note:it's>said \"no\"\nthen yes";
    }
    void historyPerChangedField()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QVariantList, before);
        QFETCH(QVariantList, after);
        QFETCH(QString, expected);
        LogbookFile file;
        auto db = file.open();
        QVERIFY(db);
        RecordCursor cursor(*db, table);
        QVERIFY(cursor.open());
        QVERIFY(cursor.beginNew());
        for (int i = 0; i < fields.size(); ++i)
            cursor.setValue(fields.at(i), before.at(i));
        QVERIFY(cursor.save());
        const qint64 key = cursor.currentKey();
        // The first store of a new row leaves no history.
        QVERIFY(historyOf(*db, table, key).isEmpty());
        QCOMPARE(cursor.rowVersion(), 0);

        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-1);
        for (int i = 0; i < fields.size(); ++i)
            cursor.setValue(fields.at(i), after.at(i));
        QVERIFY2(cursor.moveFirst(), qPrintable(cursor.lastError()));
        const QList<history::Entry> entries = historyOf(*db, table, key);
        QStringList got;
        for (const history::Entry &e : entries)
            got << QStringLiteral("%1:%2>%3").arg(e.field, e.oldValue, e.newValue);
        got.sort();
        QCOMPARE(got.join(QLatin1Char(' ')), expected);
        for (const history::Entry &e : entries) {
            const QDateTime at = QDateTime::fromString(e.changedAtUtc, Qt::ISODate);
            QVERIFY2(e.changedAtUtc.endsWith(QLatin1Char('Z')) && at >= start.addSecs(-1)
                         && at <= QDateTime::currentDateTimeUtc().addSecs(1), qPrintable(e.changedAtUtc));
            QCOMPARE(e.workstation, QSysInfo::machineHostName());
            QCOMPARE(e.osUser, QStringLiteral("deckhand"));
        }
        const QString where = QStringLiteral(" FROM \"%1\" WHERE \"BravikKey\" = ?").arg(table);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"RowVersion\"") + where, {key}).toInt(), 1);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"ChangedOn\"") + where, {key}).toString(), QSysInfo::machineHostName());
        QCOMPARE(file.sql(QStringLiteral("SELECT \"ChangedAtUtc\"") + where, {key}).toString(), entries.first().changedAtUtc);
        QCOMPARE(file.count(table), 1);

        // Typed again to the same values and left: nothing changes.
        QVERIFY(cursor.moveToKey(key));
        for (int i = 0; i < fields.size(); ++i)
            cursor.setValue(fields.at(i), after.at(i));
        QVERIFY(cursor.moveFirst());
        QCOMPARE(historyOf(*db, table, key).size(), entries.size());
        QCOMPARE(file.sql(QStringLiteral("SELECT \"RowVersion\"") + where, {key}).toInt(), 1);
    }

    // Newest first, each store's rows after the earlier ones.
    void historyNewestFirst()
    {
        LogbookFile file;
        auto db = file.open();
        const qint64 key = seedMisc(file, QStringLiteral("a"));
        RecordCursor cursor(*db, kMisc);
        QVERIFY(cursor.open());
        for (const char *note : {"b", "c", "d"}) {
            cursor.setValue(kNote, QString::fromLatin1(note));
            QVERIFY(cursor.save());
        }
        QCOMPARE(describe(historyOf(*db, kMisc, key)), QStringLiteral("Note:c>d Note:b>c Note:a>b"));
        QList<history::Entry> read;
        QVERIFY(cursor.readHistory(&read));
        QCOMPARE(describe(read), QStringLiteral("Note:c>d Note:b>c Note:a>b"));
        QCOMPARE(cursor.rowVersion(), 3);
        QCOMPARE(versionOf(file, key), 3);
        QVERIFY(cursor.beginNew());
        QVERIFY(cursor.readHistory(&read));
        QVERIFY(read.isEmpty());   // a new row has none
    }

    // A store the engine refuses writes no history; a history the engine
    // refuses takes the row's change back with it.  The edits stay, and
    // the next store once the engine allows it writes both.
    void refusedStoreWritesNoHistory_data()
    {
        QTest::addColumn<QString>("refusedTable");
        QTest::addColumn<QString>("event");
        QTest::newRow("row refused") << kMisc << "UPDATE";
        QTest::newRow("history refused") << "RecordHistory" << "INSERT";
    }
    void refusedStoreWritesNoHistory()
    {
        QFETCH(QString, refusedTable);
        QFETCH(QString, event);
        LogbookFile file;
        auto db = file.open();
        const qint64 key = seedMisc(file, QStringLiteral("12"));
        RecordCursor cursor(*db, kMisc);
        QVERIFY(cursor.open());
        refuse(file, refusedTable, event);
        cursor.setValue(kNote, QStringLiteral("15"));
        QVERIFY(!cursor.moveNext());
        QVERIFY2(cursor.lastError().contains(QLatin1String("refused by the test")), qPrintable(cursor.lastError()));
        QCOMPARE(cursor.value(kNote).toString(), QStringLiteral("15"));
        QVERIFY(cursor.isChanged());
        QCOMPARE(file.count(QStringLiteral("RecordHistory")), 0);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" FROM \"Miscellaneous\"")).toString(), QStringLiteral("12"));
        QCOMPARE(versionOf(file, key), 0);

        allow(file, refusedTable);
        QVERIFY2(cursor.save(), qPrintable(cursor.lastError()));
        QCOMPARE(describe(historyOf(*db, kMisc, key)), QStringLiteral("Note:12>15"));
        QCOMPARE(versionOf(file, key), 1);
    }

    // Two programs on the same row: the later store is refused, naming
    // where and when the row was changed; storing again goes over it, and
    // the history holds both changes.
    void conflictBetweenConnections()
    {
        LogbookFile file;
        auto dbA = file.open();
        auto dbB = file.open();
        QVERIFY(dbA && dbB);
        const qint64 key = seedMisc(file, QStringLiteral("12"));
        RecordCursor a(*dbA, kMisc), b(*dbB, kMisc);
        QVERIFY(a.open() && b.open());
        a.setValue(kNote, QStringLiteral("15"));
        QVERIFY(a.save());
        // Stored on another computer: as it says so in the row.
        file.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"ChangedOn\" = 'deck-2', \"ChangedAtUtc\" = '2026-12-08T04:29:18Z'"));

        b.setValue(kNote, QStringLiteral("18"));
        b.setValue(QStringLiteral("SubmittedBy"), QStringLiteral("Ben"));
        QVERIFY(!b.save());
        QCOMPARE(b.lastError(), QStringLiteral("This entry was changed on deck-2 at 2026-12-08 04:29:18 UTC since you opened "
                                               "it. Press Return to Main again to store your version over it, or move "
                                               "away to keep theirs."));
        QVERIFY(b.hasConflict());
        QCOMPARE(b.value(kNote).toString(), QStringLiteral("18"));
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" || \"SubmittedBy\" FROM \"Miscellaneous\"")).toString(),
                 QStringLiteral("15Ada"));
        QCOMPARE(historyOf(*dbA, kMisc, key).size(), 1);

        // Again: over theirs, compared with theirs.
        QVERIFY2(b.save(), qPrintable(b.lastError()));
        QVERIFY(!b.hasConflict());
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" || \"SubmittedBy\" FROM \"Miscellaneous\"")).toString(),
                 QStringLiteral("18Ben"));
        const QList<history::Entry> entries = historyOf(*dbA, kMisc, key);
        QStringList got;
        for (const history::Entry &e : entries)
            got << QStringLiteral("%1:%2>%3").arg(e.field, e.oldValue, e.newValue);
        got.sort();
        QCOMPARE(got, (QStringList{"Note:12>15", "Note:15>18", "SubmittedBy:Ada>Ben"}));
        QCOMPARE(versionOf(file, key), 2);
        QCOMPARE(file.count(kMisc), 1);

        // A's next store is the one refused now, and b's later stores go on.
        a.setValue(kNote, QStringLiteral("20"));
        QVERIFY(!a.save());
        QVERIFY(a.lastError().startsWith(QStringLiteral("This entry was changed on %1 at ").arg(QSysInfo::machineHostName())));
        b.setValue(kNote, QStringLiteral("19"));
        QVERIFY(b.save());
        QCOMPARE(versionOf(file, key), 3);
    }

    // Both typed the same: the later store has nothing to go over and is
    // taken as it stands, with one history row.
    void sameChangeOnBoth()
    {
        LogbookFile file;
        auto dbA = file.open();
        auto dbB = file.open();
        const qint64 key = seedMisc(file, QStringLiteral("12"));
        RecordCursor a(*dbA, kMisc), b(*dbB, kMisc);
        QVERIFY(a.open() && b.open());
        a.setValue(kNote, QStringLiteral("15"));
        QVERIFY(a.save());
        b.setValue(kNote, QStringLiteral("15"));
        QVERIFY2(b.moveNext(), qPrintable(b.lastError()));
        QVERIFY(!b.hasConflict());
        QCOMPARE(describe(historyOf(*dbA, kMisc, key)), QStringLiteral("Note:12>15"));
        QCOMPARE(versionOf(file, key), 1);
        // And b goes on from their version.
        QVERIFY(b.moveToKey(key));
        b.setValue(kNote, QStringLiteral("16"));
        QVERIFY(b.save());
        QCOMPARE(versionOf(file, key), 2);
    }

    // "Move away to keep theirs": after the refusal any move drops the
    // edits made here, stores nothing and leaves their version in place; a
    // move that stays on the row shows theirs.
    void moveAwayKeepsTheirs_data()
    {
        QTest::addColumn<int>("move");
        QTest::newRow("next") << 0;
        QTest::newRow("previous on the first row") << 1;
        QTest::newRow("first") << 2;
        QTest::newRow("last") << 3;
        QTest::newRow("begin new") << 4;
        QTest::newRow("to another key") << 5;
    }
    void moveAwayKeepsTheirs()
    {
        QFETCH(int, move);
        LogbookFile file;
        auto dbA = file.open();
        auto dbB = file.open();
        const qint64 key = seedMisc(file, QStringLiteral("12"));
        const qint64 other = seedMisc(file, QStringLiteral("other"));
        RecordCursor a(*dbA, kMisc), b(*dbB, kMisc);
        QVERIFY(a.open() && b.open());
        a.setValue(kNote, QStringLiteral("theirs"));
        QVERIFY(a.save());
        b.setValue(kNote, QStringLiteral("mine"));
        QVERIFY(!b.moveNext());
        QVERIFY(b.hasConflict());
        QCOMPARE(b.currentKey(), key);
        b.setValue(QStringLiteral("SubmittedBy"), QStringLiteral("typed after"));

        bool ok = false;
        switch (move) {
        case 0: ok = b.moveNext(); break;
        case 1: ok = b.movePrevious(); break;
        case 2: ok = b.moveFirst(); break;
        case 3: ok = b.moveLast(); break;
        case 4: ok = b.beginNew(); break;
        default: ok = b.moveToKey(other); break;
        }
        QVERIFY2(ok, qPrintable(b.lastError()));
        QVERIFY(!b.hasConflict());
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" || \"SubmittedBy\" FROM \"Miscellaneous\" WHERE \"BravikKey\" = ?"), {key})
                     .toString(), QStringLiteral("theirsAda"));
        QCOMPARE(describe(historyOf(*dbA, kMisc, key)), QStringLiteral("Note:12>theirs"));
        QCOMPARE(file.count(kMisc), 2);
        if (move == 1 || move == 2) {   // still on that row: theirs shown, nothing to store
            QCOMPARE(b.currentKey(), key);
            QCOMPARE(b.value(kNote).toString(), QStringLiteral("theirs"));
            QCOMPARE(b.value(QStringLiteral("SubmittedBy")).toString(), QStringLiteral("Ada"));
            QVERIFY(!b.isChanged());
        }
        // Back on it, an edit now goes in as usual.
        QVERIFY(b.moveToKey(key));
        QCOMPARE(b.value(kNote).toString(), QStringLiteral("theirs"));
        b.setValue(kNote, QStringLiteral("mine after all"));
        QVERIFY2(b.save(), qPrintable(b.lastError()));
        QCOMPARE(describe(historyOf(*dbA, kMisc, key)), QStringLiteral("Note:theirs>mine after all Note:12>theirs"));
    }

    // A void needs a reason; it marks the row, raises its version, leaves
    // a history row, and the row stays in the table and in navigation.
    void voidRow()
    {
        LogbookFile file;
        auto db = file.open();
        const qint64 first = seedMisc(file, QStringLiteral("one"));
        const qint64 second = seedMisc(file, QStringLiteral("two"));
        RecordCursor cursor(*db, kMisc);
        QVERIFY(cursor.open());
        QVERIFY(cursor.moveNext());
        QCOMPARE(cursor.currentKey(), second);

        for (const QString &none : {QString(), QStringLiteral("   ")}) {
            QVERIFY(!cursor.voidRow(none));
            QVERIFY2(cursor.lastError().contains(QLatin1String("needs a reason")), qPrintable(cursor.lastError()));
        }
        QCOMPARE(file.sql(QStringLiteral("SELECT COUNT(*) FROM \"Miscellaneous\" WHERE \"Voided\"")).toInt(), 0);
        QCOMPARE(file.count(QStringLiteral("RecordHistory")), 0);

        // Edits typed into the row are stored first.
        cursor.setValue(kNote, QStringLiteral("two, edited"));
        QVERIFY2(cursor.voidRow(QStringLiteral("Entered twice")), qPrintable(cursor.lastError()));
        QVERIFY(cursor.isVoided());
        QCOMPARE(cursor.voidReason(), QStringLiteral("Entered twice"));
        QCOMPARE(cursor.rowVersion(), 2);
        QCOMPARE(file.sql(QStringLiteral("SELECT \"Note\" || '|' || CAST(\"Voided\" AS TEXT) || '|' || \"VoidReason\" || '|' || "
                                         "CAST(\"RowVersion\" AS TEXT) FROM \"Miscellaneous\" WHERE \"BravikKey\" = ?"), {second})
                     .toString(), QStringLiteral("two, edited|%1|Entered twice|2").arg(file.booleanText(true)));
        QCOMPARE(describe(historyOf(*db, kMisc, second)), QStringLiteral("Voided:>Entered twice Note:two>two, edited"));
        QVERIFY(!cursor.voidRow(QStringLiteral("again")));
        QVERIFY(cursor.lastError().contains(QLatin1String("void already")));
        QCOMPARE(historyOf(*db, kMisc, second).size(), 2);

        // In navigation as any row; the first row is not void.
        QVERIFY(cursor.moveFirst());
        QCOMPARE(cursor.currentKey(), first);
        QVERIFY(!cursor.isVoided());
        QVERIFY(cursor.moveNext());
        QCOMPARE(cursor.currentKey(), second);
        QVERIFY(cursor.isVoided());
        QCOMPARE(cursor.voidReason(), QStringLiteral("Entered twice"));
        // A void row takes no edit: a store refuses it with a word, a move
        // drops it; only a restore makes the row take edits again.
        cursor.setValue(kNote, QStringLiteral("two, noted"));
        QVERIFY(!cursor.save());
        QVERIFY2(cursor.lastError().contains(QLatin1String("void, so it cannot be changed")), qPrintable(cursor.lastError()));
        QVERIFY(cursor.movePrevious());
        QVERIFY(cursor.moveNext());
        QCOMPARE(cursor.value(kNote).toString(), QStringLiteral("two, edited"));
        QCOMPARE(historyOf(*db, kMisc, second).size(), 2);
        QVERIFY(!cursor.restoreRow(QStringLiteral(" ")));
        QVERIFY2(cursor.restoreRow(QStringLiteral("Not a double after all")), qPrintable(cursor.lastError()));
        QVERIFY(!cursor.isVoided());
        QCOMPARE(cursor.rowVersion(), 3);
        QCOMPARE(describe(historyOf(*db, kMisc, second).mid(0, 1)),
                 QStringLiteral("Restored:Entered twice>Not a double after all"));
        cursor.setValue(kNote, QStringLiteral("two, noted"));
        QVERIFY(cursor.movePrevious());
        QCOMPARE(historyOf(*db, kMisc, second).size(), 4);
        QCOMPARE(file.count(kMisc), 2);

        // Nothing to void on a new row nobody typed into.
        QVERIFY(cursor.moveLast());
        QVERIFY(cursor.moveNext());
        QVERIFY(cursor.isNewRow());
        QVERIFY(!cursor.voidRow(QStringLiteral("nothing")));
        QVERIFY(cursor.lastError().contains(QLatin1String("not stored yet")));
        QCOMPARE(file.count(kMisc), 2);
    }

    // A row voided by another program meanwhile is not voided twice; the
    // cursor then shows it void.
    void voidedElsewhere()
    {
        LogbookFile file;
        auto dbA = file.open();
        auto dbB = file.open();
        const qint64 key = seedMisc(file, QStringLiteral("one"));
        RecordCursor a(*dbA, kMisc), b(*dbB, kMisc);
        QVERIFY(a.open() && b.open());
        QVERIFY(a.voidRow(QStringLiteral("wrong vehicle")));
        QVERIFY(!b.isVoided());
        QVERIFY(!b.voidRow(QStringLiteral("typo")));
        QVERIFY2(b.lastError().contains(QLatin1String("voided on another computer")), qPrintable(b.lastError()));
        QVERIFY(b.isVoided());
        QCOMPARE(b.voidReason(), QStringLiteral("wrong vehicle"));
        QCOMPARE(historyOf(*dbA, kMisc, key).size(), 1);
        QCOMPARE(versionOf(file, key), 1);
    }
};

QTEST_GUILESS_MAIN(CorrectionsTest)
#include "tst_corrections.moc"
