// The daily report and the cruise event log through the program's command
// line, as a crew runs them without a display: the PDF's text (poppler's
// pdftotext) holds every entry of the day that is not void and nothing of
// another day, its pictures are there (their words), the event log reads back
// in Python's csv module with the positions in decimal degrees, and the
// exit statuses.  On a SQLite file and (tst_ops_report_pg) a PostgreSQL
// server.
#include "Attachments.h"
#include "DayAtSea.h"
#include "TestPhotos.h"
#include "LogbookFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

using bravik::logbook::test::LogbookFile;

namespace {

struct Run
{
    int status = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &args, bool withoutDisplay = true)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (withoutDisplay) {
        for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(v));
    }
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The box on the page of the first `word` in pdftotext's -bbox output, or
// of the word `after` places on from it.
QRectF wordBox(const QString &bbox, const QString &word, int after = 0)
{
    static const QRegularExpression re(
        QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)<"));
    QList<QRegularExpressionMatch> words;
    for (const QRegularExpressionMatch &m : re.globalMatch(bbox))
        words << m;
    for (qsizetype i = 0; i + after < words.size(); ++i)
        if (const QRegularExpressionMatch &m = words.at(i + after); words.at(i).captured(5) == word)
            return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                          QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    return {};
}

} // namespace

class TestOpsReport : public QObject
{
    Q_OBJECT

    LogbookFile m_file;
    bravik::test::DayAtSea m_day;

    Run bravik(QStringList args)
    {
        args << QStringLiteral("--database") << (m_file.isPostgres() ? m_file.where().location : m_file.path)
             << QStringLiteral("--config") << m_file.dir.filePath(QStringLiteral("none.ini"));
        return run(QStringLiteral(BRAVIK_LOG_EXE), args);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString skip = LogbookFile::skipReason(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
        QVERIFY(m_file.open());
        m_day.fill([this](const QString &sql, const QVariantList &bound) { return m_file.sql(sql, bound); },
                   QStringLiteral(BRAVIK_MISSION_GOLDEN_DIR));
    }

    void reportHoldsTheDayAndItsPictures()
    {
        const QString pdf = m_file.dir.filePath(QStringLiteral("day.pdf"));
        const Run r = bravik({QStringLiteral("--report"), QStringLiteral("2026-12-08"), QStringLiteral("--output"), pdf});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const Run text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QCOMPARE(text.status, 0);
        const QString flat = text.out.simplified();
        for (const QString &tag : m_day.dayTags)
            QVERIFY2(flat.contains(tag), qPrintable(tag));
        for (const QString &tag : m_day.otherTags)
            QVERIFY2(!flat.contains(tag), qPrintable(tag));
        for (const char *section : {"Totals", "Timeline", "Launches", "Weather observations", "Battery charges",
                                    "Maintenance done", "Tasks opened", "Tasks closed", "Grease the elevator", "Notes"})
            QVERIFY2(flat.contains(QLatin1String(section)), section);
        // Two launches, one aborted 20 minutes after its start.
        QVERIFY(flat.contains(QStringLiteral("Launches 2")));
        QVERIFY(flat.contains(QStringLiteral("Aborts 1")));
        QVERIFY(flat.contains(QStringLiteral("2026-12-08 13:20 UTC (aborted)")));
        // Each launch's depth and track pictures, drawn on the page (their
        // own words are in the text: the title and the north mark), and
        // the packs' chart.
        QCOMPARE(flat.count(QStringLiteral("Depth against time")), 2);
        QCOMPARE(flat.count(QRegularExpression(QStringLiteral("N\\s*↑"))), 2);
        // Their texts in proportion to the pictures, a little smaller than
        // the report's own (a picture is narrower on paper than on screen),
        // never several times larger.
        const Run boxes = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QCOMPARE(boxes.status, 0);
        const double title = wordBox(boxes.out, QStringLiteral("Depth")).height();
        const double body = wordBox(boxes.out, QStringLiteral("Reviewer")).height();
        QVERIFY2(title > body * 0.5 && title < body, qPrintable(QStringLiteral("%1 against %2").arg(title).arg(body)));
        // A timeline line's text starts just after its time, not a third
        // of the page further on.
        const QRectF time = wordBox(boxes.out, QStringLiteral("07:30")), after = wordBox(boxes.out, QStringLiteral("07:30"), 1);
        QVERIFY2(after.left() > time.right() && after.left() - time.right() < time.width(),
                 qPrintable(QStringLiteral("%1 after %2").arg(after.left()).arg(time.right())));
        QCOMPARE(flat.count(QStringLiteral("Minimum and maximum voltage of each charge")), 1);
    }

    void eventLogReadBack()
    {
        const QString csv = m_file.dir.filePath(QStringLiteral("events.csv"));
        const Run r = bravik({QStringLiteral("--event-log"), QStringLiteral("--since"), QStringLiteral("2026-12-08T08:00"),
                              QStringLiteral("--until"), QStringLiteral("2026-12-08T09:00"), QStringLiteral("--output"), csv});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        // Python's csv module reads it back.
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("python3")),
                {QStringLiteral("-c"), QStringLiteral("import csv, json, sys\n"
                                                      "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))))"),
                 csv});
        QVERIFY(p.waitForFinished(30000));
        const QJsonArray rows = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
        QStringList seen;
        for (const QJsonValue &row : rows) {
            const QJsonArray f = row.toArray();
            seen << QStringList{f.at(0).toString(), f.at(1).toString(), f.at(5).toString(), f.at(6).toString()}.join(QLatin1Char('|'));
        }
        QCOMPARE(seen, (QStringList{"UtcTime|Kind|Latitude|Longitude",
                                    "2026-12-08T08:00:00Z|Weather Observation|36.754167|-121.841667",
                                    "2026-12-08T08:40:00Z|Run Mission|36.754167|-121.841667",
                                    "2026-12-08T09:00:00Z|Launch|36.754167|-121.841667"}));
    }

    void exitStatuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QString out = QStringLiteral("%1/out.pdf").arg(m_file.dir.path());
        QTest::newRow("help") << QStringList{"--report", "--help"} << 0 << "";
        QTest::newRow("a range") << QStringList{"--report", "--since", "2026-12-07", "--until", "2026-12-09", "--output", out} << 0 << "";
        QTest::newRow("no output") << QStringList{"--report", "2026-12-08"} << 2 << "--output";
        QTest::newRow("no day") << QStringList{"--event-log"} << 2 << "Name the day";
        QTest::newRow("unknown option") << QStringList{"--report", "2026-12-08", "--colour", "--output", out} << 2 << "--colour";
        QTest::newRow("not a date") << QStringList{"--report", "8/12", "--output", out} << 1 << "8/12";
        QTest::newRow("backwards") << QStringList{"--event-log", "--since", "2026-12-09", "--until", "2026-12-08"} << 1 << "ends before";
        QTest::newRow("folder missing") << QStringList{"--report", "2026-12-08", "--output", "/nonexistent/day.pdf"} << 1
                                        << "/nonexistent/day.pdf";
    }
    void exitStatuses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        const Run r = bravik(args);
        QVERIFY2(r.status == status, qPrintable(r.err));
        QVERIFY2(r.err.contains(says) || r.out.contains(says), qPrintable(r.err));
    }

    void refusesTheLogbookItself()
    {
        if (m_file.isPostgres())
            QSKIP("a file only");
        const qint64 before = QFileInfo(m_file.path).size();
        const Run r = bravik({QStringLiteral("--event-log"), QStringLiteral("2026-12-08"), QStringLiteral("--output"), m_file.path});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("is the logbook file")), qPrintable(r.err));
        QCOMPARE(QFileInfo(m_file.path).size(), before);
        const Run missing = run(QStringLiteral(BRAVIK_LOG_EXE),
                                {QStringLiteral("--report"), QStringLiteral("2026-12-08"), QStringLiteral("--output"),
                                 m_file.dir.filePath(QStringLiteral("x.pdf")), QStringLiteral("--database"),
                                 m_file.dir.filePath(QStringLiteral("nothing.sqlite"))});
        QCOMPARE(missing.status, 1);
        QVERIFY(!QFile::exists(m_file.dir.filePath(QStringLiteral("nothing.sqlite"))));
    }

    // A maintenance entry's photo shows under it as a picture, its other
    // file by name; a void attachment not at all.
    void reportShowsAttachments()
    {
        const QString pdf = m_file.dir.filePath(QStringLiteral("attached.pdf"));
        auto images = [&pdf] {
            const Run list = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
            return list.out.trimmed().split(QLatin1Char('\n')).size() - 2;   // after two heading lines
        };
        Run r = bravik({QStringLiteral("--report"), QStringLiteral("2026-12-08"), QStringLiteral("--output"), pdf});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const int before = images();
        auto db = m_file.open();
        QVERIFY(db);
        const qint64 key = m_file.sql(QStringLiteral("SELECT MIN(\"BravikKey\") FROM \"VehicleMaintenance\" WHERE \"StampedAtUtc\" LIKE '2026-12-08%'")).toLongLong();
        QVERIFY(key > 0);
        const QList<QPair<QString, QByteArray>> files{{QStringLiteral("elevator.jpg"), bravik::test::jpegPhoto(64, 48, 1, {})},
                                                      {QStringLiteral("grease-log.txt"), QByteArray("greased 08:10")},
                                                      {QStringLiteral("wrong-boat.txt"), QByteArray("not ours")}};
        for (const auto &[name, bytes] : files) {
            bravik::logbook::attachments::FileContent f{name, {}, bytes, {}, {}};
            const QString source = m_file.dir.filePath(QStringLiteral("source"));
            QVERIFY(bravik::test::writeBytes(source, bytes));
            QString error;
            QVERIFY2(bravik::logbook::attachments::readFile(source, 50, {}, &f, &error), qPrintable(error));
            f.fileName = name;
            bravik::logbook::attachments::Attachment stored;
            QVERIFY2(bravik::logbook::attachments::store(*db, QStringLiteral("VehicleMaintenance"), key, f,
                                                         {QStringLiteral("Ada"), QStringLiteral("deck"), QDateTime::currentDateTimeUtc()},
                                                         {}, &stored, &error),
                     qPrintable(error));
            if (name.startsWith(QLatin1String("wrong")))
                QVERIFY(bravik::logbook::attachments::voidAttachment(*db, stored.id, QStringLiteral("other boat"), &error));
        }
        r = bravik({QStringLiteral("--report"), QStringLiteral("2026-12-08"), QStringLiteral("--output"), pdf});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QString flat = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).out.simplified();
        QCOMPARE(images(), before + 1);
        QVERIFY2(flat.contains(QStringLiteral("Attached: grease-log.txt (13 bytes)")), qPrintable(flat));
        QVERIFY(!flat.contains(QStringLiteral("wrong-boat")));
    }
};

QTEST_GUILESS_MAIN(TestOpsReport)
#include "tst_opsreport.moc"
