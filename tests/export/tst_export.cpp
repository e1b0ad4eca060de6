// Exporting entries: CSV read back by an independent reader (Python's csv
// module) equals the table; the PDF's text holds every entry; a cancelled
// export leaves no file; the command line's exit statuses.
#include "Csv.h"
#include "EntryExport.h"
#include "LogbookFixture.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

namespace {

struct Run
{
    int status = -1;
    QByteArray out, err;
};

Run runProgram(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));   // the program needs no display
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRAVIK_LOG_EXE), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The notes typed by the crew, with everything CSV must carry.
const QStringList kNotes{
    QStringLiteral("plain"),
    QStringLiteral("comma, inside"),
    QStringLiteral("a \"quoted\" word"),
    QStringLiteral("two lines\r\nwith CR LF"),
    QStringLiteral("line feed\nonly"),
    QStringLiteral("Ünïcode ÅSE, глубина 12 m"),
    QStringLiteral(" leading and trailing blank "),
    QStringLiteral(""),
};

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

    LogbookFile m_file;
    std::unique_ptr<Database> m_db;

    // The whole table as the export should show it, header first, newest first.
    QList<QStringList> expectedTable()
    {
        QList<QStringList> rows{exportHeader(QStringLiteral("Miscellaneous"))};
        QSqlQuery q(m_file.raw());
        q.exec(QStringLiteral("SELECT \"BravikKey\", \"Date/Time\", \"SubmittedBy\", \"Note\", \"StampedAtUtc\", \"Workstation\" "
                              "FROM \"Miscellaneous\" ORDER BY \"BravikKey\" DESC"));
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < 6; ++i)
                r << q.value(i).toString();
            rows << r;
        }
        return rows;
    }

    // Python's csv module reads the file; true when it equals `expected`.
    static bool pythonReadsAs(const QString &csvPath, const QList<QStringList> &expected, QString *why)
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty()) {
            *why = QStringLiteral("python3 not found");
            return false;
        }
        QJsonArray all;
        for (const QStringList &r : expected)
            all.append(QJsonArray::fromStringList(r));
        QProcess p;
        p.start(python, {QStringLiteral("-c"),
                         QStringLiteral("import csv, json, sys\n"
                                        "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8', errors='strict')))\n"
                                        "want = json.load(sys.stdin)\n"
                                        "print(json.dumps(rows))\n"
                                        "sys.exit(0 if rows == want else 1)\n"),
                         csvPath});
        p.waitForStarted();
        p.write(QJsonDocument(all).toJson());
        p.closeWriteChannel();
        p.waitForFinished(30000);
        *why = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString skip = LogbookFile::skipReason();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
        m_db = m_file.open();
        QVERIFY(m_db);
        for (int i = 0; i < kNotes.size(); ++i) {
            RecordCursor cursor(*m_db, QStringLiteral("Miscellaneous"));
            QVERIFY(cursor.open());
            QVERIFY(cursor.beginNew());
            cursor.setValue(QStringLiteral("Date/Time"), QStringLiteral("12/8/2026 4:29:%1 AM").arg(i, 2, 10, QLatin1Char('0')));
            cursor.setValue(QStringLiteral("SubmittedBy"), i % 2 ? QStringLiteral("Ben") : QStringLiteral("Ana"));
            cursor.setValue(QStringLiteral("Note"), kNotes.at(i));
            QVERIFY(cursor.save());
        }
    }

    void csvReadBackEqualsTable()
    {
        const QString path = m_file.dir.filePath(QStringLiteral("misc.csv"));
        ExportRequest request{m_file.where(), QStringLiteral("Miscellaneous"), {}, ExportRequest::Csv};
        QString error;
        qint64 rows = 0;
        QCOMPARE(exportToFile(request, path, {}, &error, &rows), ExportResult::Done);
        QCOMPARE(rows, qint64(kNotes.size()));
        const QList<QStringList> expected = expectedTable();
        QCOMPARE(expected.first().first(), QStringLiteral("BravikKey"));
        QString why;
        QVERIFY2(pythonReadsAs(path, expected, &why), qPrintable(why));
        // Our own reader agrees, and line breaks inside fields are kept.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains("\"two lines\r\nwith CR LF\""));
        QVERIFY(bytes.contains("\"a \"\"quoted\"\" word\""));
        QList<QStringList> back;
        QVERIFY(csv::parse(bytes, &back, &error));
        QCOMPARE(back, expected);
    }

    // The export writes straight from the engine's texts; what it writes is
    // byte for byte what the row-by-row writer makes of the rows the list
    // reads: check boxes stored every way a logbook may hold them, missing
    // texts, a filter, and enough rows to cross the buffer's flushes.
    void csvSameAsRowByRow_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("contains");
        QTest::newRow("check boxes") << "Predive" << "";
        QTest::newRow("many rows") << "VehicleMaintenance" << "";
        QTest::newRow("filtered") << "VehicleMaintenance" << "7, ";
    }
    void csvSameAsRowByRow()
    {
        QFETCH(QString, table);
        QFETCH(QString, contains);
        QSqlDatabase raw = m_file.raw();
        QSqlQuery q(raw);
        if (table == QLatin1String("Predive") && m_file.isPostgres()) {
            QVERIFY(q.exec(QStringLiteral("INSERT INTO \"Predive\" (\"Cruise\", \"GPS Fix Valid\", \"DVL Operational\") VALUES "
                                          "('a \"b\"', true, false), (NULL, NULL, true)")));
        } else if (table == QLatin1String("Predive")) {
            // SQLite keeps whatever it was given: 1, 0, NULL, texts, a real.
            QVERIFY2(q.exec(QStringLiteral("INSERT INTO \"Predive\" (\"Cruise\", \"GPS Fix Valid\", \"DVL Operational\", \"AHRS Operational\") VALUES "
                                           "('a \"b\"', 1, 0, NULL), (NULL, 'true', 'false', 'FALSE'), (' x', '0', '', 0.5), ('y', 2, -1, 'yes')")),
                     qPrintable(q.lastError().text()));
        } else if (!m_file.isPostgres() || contains.isEmpty()) {
            QVERIFY(raw.transaction());
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO \"VehicleMaintenance\" (\"Notes\", \"Reason\", \"SubmittedBy\") VALUES (?, ?, ?)")));
            for (int i = 0; i < 12000; ++i) {
                q.bindValue(0, QStringLiteral("run %1, \"tail\"\r\nÅse %2").arg(i).arg(QString(i % 97, QLatin1Char('z'))));
                q.bindValue(1, i % 3 ? QVariant(QStringLiteral(" padded ")) : QVariant(QMetaType(QMetaType::QString)));
                q.bindValue(2, QStringLiteral("Ana"));
                QVERIFY(q.exec());
            }
            QVERIFY(raw.commit());
        }
        EntryFilter filter;
        filter.contains = contains;
        QString error;
        QList<QByteArray> expected;
        {
            QByteArray all;
            auto db = m_file.open();
            QVERIFY(db);
            EntryQuery query(*db, table, filter);
            all += csv::record(QStringList{QStringLiteral("BravikKey")} + query.columns());
            qint64 before = -1;
            bool exhausted = false;
            while (!exhausted) {
                qint64 last = -1;
                QVERIFY(query.fetch(before, 500, [&](const QList<Entry> &rows) {
                    for (const Entry &e : rows)
                        all += csv::record(QStringList{QString::number(e.key)} + e.values);
                    last = rows.last().key;
                }, nullptr, &exhausted));
                if (last < 0)
                    break;
                before = last;
            }
            expected << all;
        }
        {
            QList<QStringList> rows;
            QVERIFY(csv::parse(expected.first(), &rows, &error));
            QVERIFY(rows.size() > (table == QLatin1String("Predive") ? 2 : 100));
        }
        const QString path = m_file.dir.filePath(QStringLiteral("same.csv"));
        ExportRequest request{m_file.where(), table, filter, ExportRequest::Csv};
        qint64 calls = 0, lastWritten = -1;
        QCOMPARE(exportToFile(request, path, [&](qint64 written, qint64) { ++calls; lastWritten = written; return true; },
                              &error), ExportResult::Done);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray got = f.readAll();
        QCOMPARE(got.size(), expected.first().size());
        QVERIFY(got == expected.first());
        QVERIFY(calls >= 1);
        QList<QStringList> back;
        QVERIFY(csv::parse(got, &back, &error));
        QCOMPARE(lastWritten, qint64(back.size() - 1));   // the last report counts every row
    }

    // A voided entry stays in its table but leaves the exports unless they
    // are asked for it: in the core and through the program, CSV and PDF.
    void voidedEntriesLeftOutUnlessAsked_data()
    {
        QTest::addColumn<bool>("throughProgram");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("includeVoid");
        for (bool program : {false, true})
            for (int format : {int(ExportRequest::Csv), int(ExportRequest::Pdf)})
                for (bool include : {false, true})
                    QTest::addRow("%s %s %s", program ? "program" : "core", format == ExportRequest::Csv ? "csv" : "pdf",
                                  include ? "with void" : "without void")
                        << program << format << include;
    }
    void voidedEntriesLeftOutUnlessAsked()
    {
        QFETCH(bool, throughProgram);
        QFETCH(int, format);
        QFETCH(bool, includeVoid);
        QSqlDatabase raw = m_file.raw();
        QSqlQuery q(raw);
        QVERIFY(q.exec(QStringLiteral("DELETE FROM \"Purchases\"")));   // the test's own table, afresh
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO \"Purchases\" (\"Item\", \"SubmittedBy\") VALUES (?, 'Ana')")));
        for (const char *item : {"O-ring kit", "Wrong pinger", "Spare rudder", "Duplicate order"}) {
            q.bindValue(0, QString::fromLatin1(item));
            QVERIFY(q.exec());
        }
        // Voided as the record window does it; one more row only corrected.
        QVERIFY(q.exec(QStringLiteral("UPDATE \"Purchases\" SET \"Voided\" = TRUE, \"VoidReason\" = 'ordered twice', "
                                      "\"RowVersion\" = \"RowVersion\" + 1 WHERE \"Item\" IN ('Wrong pinger', 'Duplicate order')")));
        QVERIFY(q.exec(QStringLiteral("UPDATE \"Purchases\" SET \"Vendor\" = 'Deck Supply', \"RowVersion\" = 2 "
                                      "WHERE \"Item\" = 'Spare rudder'")));
        const QStringList kept{QStringLiteral("O-ring kit"), QStringLiteral("Spare rudder")};
        const QStringList voided{QStringLiteral("Wrong pinger"), QStringLiteral("Duplicate order")};

        const bool csvFormat = format == ExportRequest::Csv;
        const QString path = m_file.dir.filePath(csvFormat ? QStringLiteral("void.csv") : QStringLiteral("void.pdf"));
        QFile::remove(path);
        if (throughProgram) {
            QStringList args{"--export", "Purchases", "--format", csvFormat ? "csv" : "pdf", "--output", path,
                             "--database", m_file.where().location};
            if (includeVoid)
                args << "--include-void";
            const Run r = runProgram(args);
            QVERIFY2(r.status == 0, r.err.constData());
        } else {
            ExportRequest request{m_file.where(), QStringLiteral("Purchases"), {}, ExportRequest::Format(format)};
            request.filter.includeVoid = includeVoid;
            QString error;
            QCOMPARE(exportToFile(request, path, {}, &error), ExportResult::Done);
        }
        QString text;
        if (csvFormat) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QList<QStringList> rows;
            QString error;
            QVERIFY(csv::parse(f.readAll(), &rows, &error));
            // With void entries, two more columns say which are void and why.
            QCOMPARE(rows.first(), exportHeader(QStringLiteral("Purchases"), includeVoid));
            QCOMPARE(rows.first().contains(QStringLiteral("VoidReason")), includeVoid);
            const int item = int(rows.first().indexOf(QStringLiteral("Item")));
            const int isVoid = int(rows.first().indexOf(QStringLiteral("Voided")));
            const int reason = int(rows.first().indexOf(QStringLiteral("VoidReason")));
            QStringList items;
            for (const QStringList &r : rows.mid(1)) {
                items << r.at(item);
                if (includeVoid) {
                    const bool v = voided.contains(r.at(item));
                    QCOMPARE(r.at(isVoid), v ? QStringLiteral("true") : QStringLiteral("false"));
                    QCOMPARE(r.at(reason), v ? QStringLiteral("ordered twice") : QString());
                }
            }
            QStringList want = includeVoid ? QStringList{voided.at(1), kept.at(1), voided.at(0), kept.at(0)} : QStringList{kept.at(1), kept.at(0)};
            QCOMPARE(items, want);
            return;
        }
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        text = QString::fromUtf8(p.readAllStandardOutput()).simplified();
        for (const QString &k : kept)
            QVERIFY2(text.contains(k), qPrintable(k));
        for (const QString &v : voided)
            QVERIFY2(text.contains(v) == includeVoid, qPrintable(v));
        QCOMPARE(text.contains(QStringLiteral("void entries included")), includeVoid);
        QCOMPARE(int(text.count(QStringLiteral("VOID: ordered twice"))), includeVoid ? 2 : 0);
    }

    void pdfHoldsEveryEntry()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString path = m_file.dir.filePath(QStringLiteral("misc.pdf"));
        ExportRequest request{m_file.where(), QStringLiteral("Miscellaneous"), {}, ExportRequest::Pdf};
        QString error;
        QCOMPARE(exportToFile(request, path, {}, &error), ExportResult::Done);
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        // pdftotext lays words out with blanks and line breaks of its own.
        const QString text = QString::fromUtf8(p.readAllStandardOutput()).simplified();
        QVERIFY2(text.contains(QStringLiteral("Bravik logbook: Miscellaneous")), qPrintable(text.left(300)));
        QVERIFY(text.contains(QStringLiteral("all entries")));
        QVERIFY(text.contains(QStringLiteral("Page 1")));
        const QList<QStringList> expected = expectedTable();
        for (const QStringList &row : expected.mid(1)) {
            QVERIFY2(text.contains(QStringLiteral("Entry %1").arg(row.at(0))), qPrintable(row.at(0)));
            const QString note = row.at(3).simplified();
            QVERIFY2(text.contains(note), qPrintable(note));
        }
    }

    void cancelledExportLeavesNoFile_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("fileThereBefore");
        QTest::newRow("csv, new file") << int(ExportRequest::Csv) << false;
        QTest::newRow("pdf, new file") << int(ExportRequest::Pdf) << false;
        QTest::newRow("csv over an older file") << int(ExportRequest::Csv) << true;
    }
    void cancelledExportLeavesNoFile()
    {
        QFETCH(int, format);
        QFETCH(bool, fileThereBefore);
        const QString path = m_file.dir.filePath(QStringLiteral("cancelled.out"));
        QFile::remove(path);
        if (fileThereBefore) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("older export");
        }
        ExportRequest request{m_file.where(), QStringLiteral("Miscellaneous"), {}, ExportRequest::Format(format)};
        QString error;
        int calls = 0;
        QCOMPARE(exportToFile(request, path, [&](qint64, qint64) { return ++calls < 1; }, &error),
                 ExportResult::Cancelled);
        QVERIFY(calls > 0);
        QCOMPARE(QFile::exists(path), fileThereBefore);
        if (fileThereBefore) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("older export"));
        }
        QDir dir(m_file.dir.path());
        for (const QString &name : dir.entryList(QDir::Files))
            QVERIFY2(!name.startsWith(QLatin1String("cancelled.out.")), qPrintable(name));   // no leftover temporary
    }

    // The command line, through the real program, without a display.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");   // on standard error
        QTest::newRow("no table") << QStringList{"--export"} << 2 << "needs a value";
        QTest::newRow("bad format") << QStringList{"--export", "Miscellaneous", "--format", "xls"} << 2 << "csv or pdf";
        QTest::newRow("unknown option") << QStringList{"--export", "Miscellaneous", "--colour"} << 2 << "Unknown option --colour";
        QTest::newRow("unknown table") << QStringList{"--export", "Weather"} << 1 << "no table \"Weather\"";
        QTest::newRow("bad date") << QStringList{"--export", "Miscellaneous", "--since", "last week"} << 1 << "not a date";
        QTest::newRow("pdf without file") << QStringList{"--export", "Miscellaneous", "--format", "pdf"} << 2 << "needs --output";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        const Run r = runProgram(QStringList{"--database", m_file.where().location} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(QString::fromUtf8(r.err).contains(says), r.err.constData());
        QVERIFY(r.out.isEmpty());
    }

    void commandLineHelp_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--export --help") << QStringList{"--export", "--help"};
        QTest::newRow("--export TABLE --help") << QStringList{"--export", "Miscellaneous", "--help"};
        QTest::newRow("-h") << QStringList{"--export", "-h"};
    }
    void commandLineHelp()
    {
        QFETCH(QStringList, args);
        const Run r = runProgram(args);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Usage: bravik-log --export TABLE"), r.out.constData());
        QVERIFY2(r.out.contains("Exit status: 0 done, 1 refused, 2 usage."), r.out.constData());
        QVERIFY2(r.err.isEmpty(), r.err.constData());
    }

    void commandLineCsvToStandardOutput()
    {
        const Run r = runProgram({"--export", "Miscellaneous", "--submitter", "ana", "--contains", "\"QUOTED\"",
                                  "--database", m_file.where().location});
        QCOMPARE(r.status, 0);
        QList<QStringList> rows;
        QString error;
        QVERIFY2(csv::parse(r.out, &rows, &error), qPrintable(error));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).at(3), QStringLiteral("a \"quoted\" word"));
        QCOMPARE(rows.at(1).at(2), QStringLiteral("Ana"));
    }

    void commandLinePdfAndRange()
    {
        const QString path = m_file.dir.filePath(QStringLiteral("cli.pdf"));
        Run r = runProgram({"--export", "Miscellaneous", "--format", "pdf", "--output", path, "--since", "2000-01-01",
                            "--database", m_file.where().location});
        QCOMPARE(r.status, 0);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("%PDF"));
        // Nothing stamped in the future: only the header row.
        r = runProgram({"--export", "Miscellaneous", "--since", "2999-01-01", "--database", m_file.where().location});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("BravikKey,Date/Time,SubmittedBy,Note,StampedAtUtc,Workstation\r\n"));
    }

    void commandLineRefusesMissingLogbook()
    {
        if (m_file.isPostgres())
            QSKIP("a file logbook only");
        const QString path = m_file.dir.filePath(QStringLiteral("no/such.sqlite"));
        const Run r = runProgram({"--export", "Miscellaneous", "--database", path});
        QCOMPARE(r.status, 1);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(ExportTest)
#include "tst_export.moc"
