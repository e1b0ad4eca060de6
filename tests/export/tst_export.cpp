// Exporting entries: CSV read back by an independent reader (Python's csv
// module) equals the table; the PDF's text holds every entry; a cancelled
// export leaves no file; the command line's exit statuses.
#include "Attachments.h"
#include "Csv.h"
#include "TestPhotos.h"
#include "EntryExport.h"
#include "LaunchLog.h"
#include "FileIdentity.h"
#include "LogbookFixture.h"
#include "LogbookService.h"
#include "NativeHandle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

namespace {

struct Run
{
    int status = -1;
    QByteArray out, err;
};

// The program with these arguments; its standard output into a file
// (a device) when one is named, started in `folder` when one is named.
Run runProgram(const QStringList &args, const QString &outputFile = {}, const QString &folder = {})
{
    QProcess p;
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
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
    // The logbook service's threads end as they do when the program quits,
    // and what the reports drew on them (their fonts) goes with them.
    void cleanupTestCase()
    {
        bool finished = false;
        LogbookService::shutdownAll(std::chrono::seconds(10), &finished);
        QVERIFY(finished);
    }

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
        // Enough rows in a table for the program's progress line.
        m_file.sql(QStringLiteral("INSERT INTO \"WeatherObservation\" (\"Notes\") WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                                  "SELECT i + 1 FROM n WHERE i < 10000) SELECT CASE WHEN i % 1000 = 0 THEN 'squall' ELSE "
                                  "'calm' END FROM n"));
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
    // texts and empty ones, quotes, commas, line ends and other letters,
    // voided rows left out or included, a filter, and enough rows to cross
    // the buffer's flushes and the server's batches.
    void csvSameAsRowByRow_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("contains");
        QTest::addColumn<bool>("includeVoid");
        QTest::newRow("check boxes") << "Predive" << "" << false;
        QTest::newRow("many rows") << "VehicleMaintenance" << "" << false;
        QTest::newRow("filtered") << "VehicleMaintenance" << "7, " << false;
        QTest::newRow("awkward texts") << "MissionData" << "" << false;
        QTest::newRow("awkward texts, void included") << "MissionData" << "" << true;
        QTest::newRow("awkward texts, filtered on a quote") << "MissionData" << "\"b" << true;
    }
    void csvSameAsRowByRow()
    {
        QFETCH(QString, table);
        QFETCH(QString, contains);
        QFETCH(bool, includeVoid);
        QSqlDatabase raw = m_file.raw();
        QSqlQuery q(raw);
        if (table == QLatin1String("MissionData")) {
            if (m_file.count(table) == 0) {
                QVERIFY(q.prepare(QStringLiteral("INSERT INTO \"MissionData\" (\"Notes\", \"Purpose\", \"Successful\", "
                                                 "\"Voided\", \"VoidReason\") VALUES (?, ?, ?, ?, ?)")));
                const QVariant none(QMetaType::fromType<QString>());
                for (int i = 0; i < kNotes.size(); ++i) {
                    q.bindValue(0, kNotes.at(i));
                    q.bindValue(1, i % 3 ? QVariant(QStringLiteral("a \"b\", c\r\nÅse")) : none);
                    q.bindValue(2, i % 3 == 2 ? QVariant(QMetaType::fromType<bool>()) : QVariant(i % 3 == 0));
                    q.bindValue(3, i % 4 == 1);
                    q.bindValue(4, i % 4 == 1 ? QVariant(QStringLiteral("twice, \"sure\"\nглубина")) : none);
                    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
                }
            }
        } else if (table == QLatin1String("Predive") && m_file.isPostgres()) {
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
        filter.includeVoid = includeVoid;
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
            QVERIFY(rows.size() > (table == QLatin1String("VehicleMaintenance") ? 100 : 2));
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

    // A pass over the rows stopped midway, by its reader or by the cancel
    // the logbook service sends when a job's time runs out (the engine's
    // words then): the connection is left as it was found, a transaction
    // it had open still open with its own rows, and the next pass reads
    // everything.
    void scanStoppedMidway_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("inTransaction");
        for (bool cancel : {false, true})
            for (bool inTransaction : {false, true})
                QTest::addRow("%s%s", cancel ? "cancelled" : "ended by the reader", inTransaction ? ", in a transaction" : "")
                    << cancel << inTransaction;
    }
    void scanStoppedMidway()
    {
        QFETCH(bool, cancel);
        QFETCH(bool, inTransaction);
        // Matching rows spread thinly: the server is busy on the next ones
        // while the first are read.
        if (m_file.count(QStringLiteral("TaskList")) < 200000)
            m_file.sql(QStringLiteral("INSERT INTO \"TaskList\" (\"Note\") WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < 200000) SELECT CASE WHEN i % 20 = 0 THEN 'squall' ELSE 'calm' END FROM n"));
        QSqlDatabase connection = m_db->connection();
        QSqlQuery q(connection);
        const QString mine = QStringLiteral("\"TaskList\" WHERE \"Note\" = 'squall of my own'");
        const QString insertMine = QStringLiteral("INSERT INTO \"TaskList\" (\"Note\") VALUES ('squall of my own')");
        if (inTransaction)
            QVERIFY(connection.transaction() && q.exec(insertMine));
        const auto canceller = native::cancellerFor(connection);
        EntryFilter squalls;
        squalls.contains = QStringLiteral("squall");
        int seen = 0;
        auto scan = [&](bool all) {
            EntryQuery query(*m_db, QStringLiteral("TaskList"), squalls);
            seen = 0;
            return query.scan([&](const QByteArrayView *, int) {
                if (++seen % 250 == 1 && cancel && !all)
                    canceller->cancel();
                return all || cancel;
            }) ? QString() : query.error();
        };
        const QString error = scan(false);
        QVERIFY(seen < 10000 + inTransaction);   // stopped midway
        QCOMPARE(error, !cancel ? QString() : m_file.isPostgres() ? QStringLiteral("ERROR:  canceling statement due to user request")
                                                                    : QStringLiteral("interrupted"));
        // A write now is seen elsewhere at once, unless the transaction is
        // still open; rolled back, its rows are gone.
        QVERIFY(q.exec(insertMine));
        QCOMPARE(m_file.sql(QStringLiteral("SELECT COUNT(*) FROM ") + mine).toInt(), inTransaction ? 0 : 1);
        QVERIFY(inTransaction ? connection.rollback() : q.exec(QStringLiteral("DELETE FROM ") + mine));
        QCOMPARE(scan(true), QString());
        QCOMPARE(seen, 10000);
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

    // The files attached to the entries exported: written beside the CSV,
    // named after the entry's key, in names that stay in the folder; a
    // void one left out.  The PDF shows the photo and names the others.
    void attachmentsBesideTheExport()
    {
        QList<qint64> keys;
        for (int i = 0; i < 2; ++i) {
            RecordCursor cursor(*m_db, QStringLiteral("Purchases"));
            QVERIFY(cursor.open());
            QVERIFY(cursor.beginNew());
            cursor.setValue(QStringLiteral("Item"), QStringLiteral("fairing %1").arg(i));
            QVERIFY(cursor.save());
            keys << m_file.sql(QStringLiteral("SELECT MAX(\"BravikKey\") FROM \"Purchases\"")).toLongLong();
        }
        const QByteArray photo = bravik::test::jpegPhoto(90, 60, 1, {});
        const QList<std::tuple<int, QString, QByteArray, bool>> files{
            {0, QStringLiteral("fairing.jpg"), photo, false},
            {1, QStringLiteral("$(rm -rf ~); ../invoice.pdf"), QByteArray("%PDF-1.4 invoice"), false},
            {1, QStringLiteral("Счёт 日本.txt"), QByteArray("total 120"), false},
            {1, QStringLiteral("wrong.txt"), QByteArray("not this one"), true},
        };
        for (const auto &[entry, name, bytes, voided] : files) {
            attachments::FileContent content;
            const QString path = m_file.dir.filePath(QStringLiteral("source"));
            QVERIFY(bravik::test::writeBytes(path, bytes));
            QString error;
            QVERIFY2(attachments::readFile(path, 50, {}, &content, &error), qPrintable(error));
            content.fileName = name;
            attachments::Attachment stored;
            QVERIFY2(attachments::store(*m_db, QStringLiteral("Purchases"), keys.at(entry), content,
                                        {QStringLiteral("Ada"), QStringLiteral("deck"), QDateTime::currentDateTimeUtc()}, {},
                                        &stored, &error),
                     qPrintable(error));
            if (voided)
                QVERIFY(attachments::voidAttachment(*m_db, stored.id, QStringLiteral("wrong file"), &error));
        }

        QVERIFY(QDir(m_file.dir.path()).mkpath(QStringLiteral("exported")));
        const QString folder = m_file.dir.filePath(QStringLiteral("exported/files"));
        const QStringList before = QDir(m_file.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const Run r = runProgram({"--export", "Purchases", "--output", m_file.dir.filePath(QStringLiteral("exported/purchases.csv")),
                                  "--attachments", folder, "--database", m_file.where().location});
        QVERIFY2(r.status == 0, r.err.constData());
        QVERIFY2(r.err.contains("3 attachments written"), r.err.constData());
        QStringList written = QDir(folder).entryList(QDir::Files);
        written.sort();
        QStringList expected{QStringLiteral("Purchases-%1-fairing.jpg").arg(keys.at(0)),
                             QStringLiteral("Purchases-%1-__rm_-rf_____.._invoice.pdf").arg(keys.at(1)),
                             QStringLiteral("Purchases-%1-Счёт_日本.txt").arg(keys.at(1))};
        expected.sort();
        QCOMPARE(written, expected);
        // Nothing landed anywhere else.
        QCOMPARE(QDir(m_file.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QFile photoOut(QDir(folder).filePath(QStringLiteral("Purchases-%1-fairing.jpg").arg(keys.at(0))));
        QVERIFY(photoOut.open(QIODevice::ReadOnly));
        QCOMPARE(photoOut.readAll(), photo);

        // The report: the photo drawn, the other files named.
        const QString pdf = m_file.dir.filePath(QStringLiteral("purchases.pdf"));
        ExportRequest request{m_file.where(), QStringLiteral("Purchases"), {}, ExportRequest::Pdf};
        QString error;
        QCOMPARE(exportToFile(request, pdf, {}, &error), ExportResult::Done);
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        const QString pdfimages = QStandardPaths::findExecutable(QStringLiteral("pdfimages"));
        if (pdftotext.isEmpty() || pdfimages.isEmpty())
            QSKIP("poppler-utils is not installed");
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput()).simplified();
        QVERIFY2(text.contains(QStringLiteral("Attachments")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("invoice.pdf")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("fairing.jpg")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("wrong.txt")), qPrintable(text));
        p.start(pdfimages, {QStringLiteral("-list"), pdf});
        QVERIFY(p.waitForFinished(30000));
        // A heading of two lines, then one line an image.
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(QLatin1Char('\n')).size(), 3);
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
        QTest::newRow("bad date") << QStringList{"--export", "Miscellaneous", "--since", "last week"} << 2 << "not a date";
        QTest::newRow("impossible date") << QStringList{"--export", "Miscellaneous", "--since", "2026-12-32"} << 2
                                         << "--since \"2026-12-32\" is not a date";
        QTest::newRow("empty date") << QStringList{"--export", "Miscellaneous", "--since", ""} << 2
                                    << "--since \"\" is not a date";
        QTest::newRow("empty output") << QStringList{"--export", "Miscellaneous", "--output", ""} << 2
                                      << "--output needs a file name";
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

    // The launch records export like any table: every field, newest first,
    // the range on their start; they have no submitter to filter on.
    void commandLineExportsLaunchRecords()
    {
        QString error;
        QVERIFY2(launchlog::insert(*m_db, QStringLiteral("launch-old"),
                                   {{QStringLiteral("Reviewer"), QStringLiteral("Ada")},
                                    {QStringLiteral("StartedAtUtc"), QStringLiteral("2026-12-07T10:00:00Z")},
                                    {QStringLiteral("MissionKey"), qint64(3)},
                                    {QStringLiteral("RunOutput"), QStringLiteral("line one\nline, two")}},
                                   &error),
                 qPrintable(error));
        QVERIFY2(launchlog::insert(*m_db, QStringLiteral("launch-new"),
                                   {{QStringLiteral("Reviewer"), QStringLiteral("Ben")},
                                    {QStringLiteral("StartedAtUtc"), QStringLiteral("2026-12-08T10:00:00Z")}},
                                   &error),
                 qPrintable(error));
        Run r = runProgram({"--export", launchlog::tableName(), "--database", m_file.where().location});
        QCOMPARE(r.status, 0);
        QList<QStringList> rows;
        QVERIFY2(csv::parse(r.out, &rows, &error), qPrintable(error));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), exportHeader(launchlog::tableName()));
        const auto at = [&](int row, const char *field) { return rows.at(row).at(rows.at(0).indexOf(QLatin1String(field))); };
        QCOMPARE(at(1, "EntryId"), QStringLiteral("launch-new"));
        QCOMPARE(at(2, "Reviewer"), QStringLiteral("Ada"));
        QCOMPARE(at(2, "MissionKey"), QStringLiteral("3"));
        QCOMPARE(at(2, "RunOutput"), QStringLiteral("line one\nline, two"));

        r = runProgram({"--export", launchlog::tableName(), "--since", "2026-12-08", "--contains", "BEN", "--database",
                        m_file.where().location});
        QCOMPARE(r.status, 0);
        QVERIFY2(csv::parse(r.out, &rows, &error), qPrintable(error));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(at(1, "Reviewer"), QStringLiteral("Ben"));

        r = runProgram({"--export", launchlog::tableName(), "--submitter", "Ben", "--database", m_file.where().location});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("launch records have no submitter"), r.err.constData());
    }

    // The logbook's files, however the path names them, are never written
    // over: refused, naming the path, the file as it was.
    void refusesTheLogbookAsOutput_data()
    {
        QTest::addColumn<QString>("path");   // in the test's folder, where "alias" links to sub/dir
        QTest::addColumn<QString>("file");   // what must stay as it is
        QTest::newRow("dots") << "sub/./dir/../dir/Logbook.sqlite" << "";
        QTest::newRow("folder link and ..") << "alias/../dir/Logbook.sqlite" << "";
        QTest::newRow("file link") << "file.link" << "";
        QTest::newRow("hard link") << "hard.link" << "";
        QTest::newRow("-wal through the folder link") << "alias/Logbook.sqlite-wal" << "-wal";
        QTest::newRow("-journal, not there") << "sub/dir/Logbook.sqlite-journal" << "-journal";
    }
    void refusesTheLogbookAsOutput()
    {
        if (m_file.isPostgres())
            QSKIP("a server's logbook has no file to write over");
        QFETCH(QString, path);
        QFETCH(QString, file);
        const QDir top(m_file.dir.path());
        if (!QFileInfo(top.filePath("alias")).isSymLink()) {
            QVERIFY(QFile::link(top.filePath("sub/dir"), top.filePath("alias")) && QFile::link(m_file.path, top.filePath("file.link")));
            QCOMPARE(::link(qPrintable(m_file.path), qPrintable(top.filePath("hard.link"))), 0);
        }
        // Looked at, not opened: closing another handle on the logbook's
        // files would drop the engine's locks in this process.
        const QFileInfo watched(m_file.path + file);
        const auto before = std::make_pair(fileIdentity(watched.filePath()), watched.lastModified());
        for (const char *format : {"csv", "pdf"}) {
            const Run r = runProgram({"--export", "Miscellaneous", "--format", format, "--output", top.filePath(path),
                                      "--database", m_file.path});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QStringLiteral("\"%1\" is the logbook file").arg(top.filePath(path)).toUtf8()), r.err.constData());
            QVERIFY(std::make_pair(fileIdentity(watched.filePath()), QFileInfo(watched.filePath()).lastModified()) == before);
        }
        QCOMPARE(m_file.count(QStringLiteral("Miscellaneous")), int(kNotes.size()));
    }

    // An entry longer than a page goes on over the next pages, whole: a
    // note of 14,121 characters in lines, and two of a megabyte each.
    void pdfContinuesLongEntries()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        auto text = [](char letter, int length, int wordsALine) {
            QString t;
            for (int i = 0; t.size() < length; ++i)
                t += QStringLiteral("%1%2%3").arg(letter).arg(i, 6, 10, QLatin1Char('0')).arg(i % wordsALine ? ' ' : '\n');
            return t.left(length);
        };
        const QStringList notes{text('k', 14121, 12), text('w', 1 << 20, 1 << 30), text('x', 1 << 20, 1 << 30)};
        m_file.sql(QStringLiteral("DELETE FROM \"BatteryCharge\""));
        for (const QString &note : notes)
            m_file.sql(QStringLiteral("INSERT INTO \"BatteryCharge\" (\"Notes\") VALUES (?)"), {note});
        const QString path = m_file.dir.filePath(QStringLiteral("long.pdf"));
        QString error;
        QCOMPARE(exportToFile({m_file.where(), QStringLiteral("BatteryCharge"), {}, ExportRequest::Pdf}, path, {}, &error),
                 ExportResult::Done);
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(120000));
        // Without the page numbers, and the blanks and line ends pdftotext lays out.
        static const QRegularExpression pageNumber(QStringLiteral("Page \\d+")), blank(QStringLiteral("\\s+"));
        const QString all = QString::fromUtf8(p.readAllStandardOutput()).remove(pageNumber).remove(blank);
        for (const QString &note : notes)
            QVERIFY2(all.contains(QString(note).remove(blank)), qPrintable(note.left(20)));
    }

    // Every write is checked: a failure names the file and the reason at
    // the start of a line (after a progress line), exit status 1; "-" is
    // standard output.  FULL is a device that takes nothing.
    void writesChecked_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("stdoutFull");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QString noSpace = QStringLiteral(" cannot be written: No space left on device");
        QTest::newRow("csv to a full device") << QStringList{"--output", "FULL"} << false << 1 << "\"FULL\"" + noSpace;
        QTest::newRow("pdf to a full device, with progress")
            << QStringList{"--contains", "squall", "--format", "pdf", "--output", "FULL", "--export", "WeatherObservation"}
            << false << 1 << "\"FULL\"" + noSpace;
        QTest::newRow("standard output full") << QStringList{} << true << 1 << "Standard output" + noSpace;
        QTest::newRow("- is standard output") << QStringList{"--output", "-"} << false << 0 << "";
        QTest::newRow("pdf to standard output") << QStringList{"--format", "pdf", "--output", "-"} << false << 0 << "";
        QTest::newRow("one entry") << QStringList{"--contains", "CR LF", "--output", "one.csv"} << false << 0 << "1 entry written to one.csv";
    }
    void writesChecked()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, stdoutFull);
        QFETCH(int, status);
        QFETCH(QString, says);
        // A node of /dev/full's own where one can be made: an export that
        // put a file in its place would not touch the system's.
        QString full = m_file.dir.filePath(QStringLiteral("full"));
        if (!QFileInfo::exists(full) && ::mknod(qPrintable(full), S_IFCHR | 0666, makedev(1, 7)) != 0)
            full = ::geteuid() ? QStringLiteral("/dev/full") : QString();
        if (full.isEmpty())
            QSKIP("no device node can be made here, and /dev/full is not to be risked as root");
        const Run r = runProgram(QStringList{"--export", "Miscellaneous", "--database", m_file.where().location}
                                     + args.replaceInStrings(QStringLiteral("FULL"), full),
                                 stdoutFull ? full : m_file.dir.filePath(QStringLiteral("out")), m_file.dir.path());
        QCOMPARE(r.status, status);
        const QRegularExpression said(QStringLiteral("(^|\\n)bravik-log: ") + QRegularExpression::escape(says.replace("FULL", full)));
        QVERIFY2(says.isEmpty() || said.match(QString::fromUtf8(r.err)).hasMatch(), r.err.constData());
        QVERIFY2(!QFileInfo(full).isFile() && !QFileInfo::exists(m_file.dir.filePath(QStringLiteral("-"))), "a file was made");
        QFile out(m_file.dir.filePath(QStringLiteral("out")));
        if (args.contains(QStringLiteral("-")))
            QVERIFY(out.open(QIODevice::ReadOnly) && out.read(4) == (args.contains(QStringLiteral("pdf")) ? "%PDF" : "Brav"));
    }

    // NUL bytes and bytes that are not UTF-8 (lone, cut, a surrogate, past
    // U+10FFFF) in a stored text or blob: the CSV is valid UTF-8 and holds
    // them as the list reads them.
    void csvOfBytesThatAreNotText()
    {
        if (m_file.isPostgres())
            QSKIP("a UTF-8 server keeps no such bytes in a text");
        m_file.sql(QStringLiteral("DELETE FROM \"TaskList\""));
        m_file.sql(QStringLiteral("INSERT INTO \"TaskList\" (\"Note\", \"TaskDescription\") VALUES (CAST(X'%1' AS TEXT), X'%1')")
                       .arg(QLatin1String("41004280FF43C3E282AC44EDA080F4908080C328")));
        const QString path = m_file.dir.filePath(QStringLiteral("bytes.csv"));
        QString error;
        QCOMPARE(exportToFile({m_file.where(), QStringLiteral("TaskList"), {}, ExportRequest::Csv}, path, {}, &error),
                 ExportResult::Done);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QStringDecoder strict(QStringDecoder::Utf8);
        QVERIFY2(!QString(strict.decode(bytes)).contains(QChar(0)) && !strict.hasError(), bytes.toHex().constData());
        auto db = m_file.open();
        EntryQuery query(*db, QStringLiteral("TaskList"), {});
        QList<QStringList> rows, shown{exportHeader(QStringLiteral("TaskList"))};
        bool exhausted = false;
        QVERIFY(query.fetch(-1, 10, [&](const QList<Entry> &es) { shown << (QStringList{QString::number(es.first().key)} + es.first().values); },
                            nullptr, &exhausted));
        QVERIFY(csv::parse(bytes, &rows, &error));
        QCOMPARE(rows, shown);
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
