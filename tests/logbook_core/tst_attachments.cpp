// Files kept with entries: added through the logbook service, listed, read
// back byte for byte, one copy per content, refused when too large,
// unreadable or on a void entry, voided with a reason; a stopped store or
// a killed program leaves nothing half-stored; copies and merges carry them.

#include "AttachmentFront.h"
#include "LogbookCopy.h"
#include "LogbookMerge.h"
#include "LogbookFixture.h"
#include "LogbookService.h"
#include "TestPhotos.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace bravik::logbook;
using bravik::logbook::test::LogbookFile;

namespace {

struct Added
{
    bool done = false;
    bool ok = false;
    attachments::Attachment stored;
    QString error;
};

} // namespace

class TestAttachments : public QObject
{
    Q_OBJECT

    std::unique_ptr<LogbookFile> m_file;

    // A stored entry of the table; its key.
    qint64 entry(const QString &table = QStringLiteral("VehicleMaintenance"), bool voided = false)
    {
        m_file->sql(QStringLiteral("INSERT INTO \"%1\" (\"Date/Time\", \"SubmittedBy\", \"EntryId\", \"Voided\", "
                                   "\"VoidReason\") VALUES ('12/8/2026 10:00:00', 'Ada', ?, ?, ?)")
                        .arg(table),
                    {newEntryId(), voided, voided ? QStringLiteral("wrong boat") : QString()});
        return m_file->sql(QStringLiteral("SELECT MAX(\"BravikKey\") FROM \"%1\"").arg(table)).toLongLong();
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_file->dir.filePath(name);
        if (!bravik::test::writeBytes(path, bytes))
            qWarning("cannot write %s", qPrintable(path));
        return path;
    }

    static attachments::Added by() { return {QStringLiteral("Ada"), QStringLiteral("deck-1"), QDateTime::currentDateTimeUtc()}; }

    static std::shared_ptr<Added> add(AttachmentFront &front, qint64 key, const QString &path, int maxMegabytes = 50)
    {
        auto result = std::make_shared<Added>();
        front.add(key, path, maxMegabytes, by(), [result](bool ok, const attachments::Attachment &a, const QString &e) {
            *result = {true, ok, a, e};
        });
        return result;
    }

    static QList<AttachmentFront::Listed> list(AttachmentFront &front, qint64 key)
    {
        QList<AttachmentFront::Listed> listed;
        bool done = false;
        front.list(key, 64, [&](bool ok, const QList<AttachmentFront::Listed> &l, const QString &error) {
            if (!ok)
                qWarning("list: %s", qPrintable(error));
            listed = l;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 20000))
            qWarning("no list");
        return listed;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString why = LogbookFile::skipReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }

    void init()
    {
        m_file = std::make_unique<LogbookFile>();
        QVERIFY(m_file->open());
    }

    void cleanup()
    {
        LogbookService::shutdownAll(std::chrono::seconds(10));
        m_file.reset();
    }

    // Added, listed with who and when, read back byte for byte.
    void addListRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("mediaType");
        QTest::addColumn<QSize>("thumbnail");   // empty: none
        QTest::addColumn<QString>("takenAt");
        // 80 × 40, turned a quarter by its EXIF orientation: upright it stands.
        QTest::newRow("photo") << "fairing.jpg" << bravik::test::jpegPhoto(80, 40, 6, "2026:12:08 10:41:07")
                               << "image/jpeg" << QSize(32, 64) << "2026-12-08T10:41:07";
        QTest::newRow("upright photo without a time") << "IMG_0001.JPG" << bravik::test::jpegPhoto(80, 40, 1, {})
                                                      << "image/jpeg" << QSize(64, 32) << "";
        QTest::newRow("name in another script") << QStringLiteral("Журнал заряда 充電.txt") << QByteArray("12.6 V\n")
                                                << "text/plain" << QSize() << "";
        QTest::newRow("shell characters") << QStringLiteral("$(rm -rf ~); `id` & 'x' | y.log") << QByteArray("log\n")
                                          << "" << QSize() << "";
        QTest::newRow("not an image named .jpg") << "broken.jpg" << QByteArray("this is no JPEG at all\n") << ""
                                                 << QSize() << "";
        QTest::newRow("empty file") << "empty.csv" << QByteArray() << "" << QSize() << "";
    }

    void addListRead()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, mediaType);
        QFETCH(QSize, thumbnail);
        QFETCH(QString, takenAt);
        const qint64 key = entry();
        AttachmentFront front(m_file->where(), QStringLiteral("VehicleMaintenance"));
        auto added = add(front, key, file(name, bytes));
        QTRY_VERIFY_WITH_TIMEOUT(added->done, 20000);
        QVERIFY2(added->ok, qPrintable(added->error));

        const QList<AttachmentFront::Listed> listed = list(front, key);
        QCOMPARE(listed.size(), 1);
        const attachments::Attachment &a = listed.first().attachment;
        QCOMPARE(a.fileName, name);
        QCOMPARE(a.size, qint64(bytes.size()));
        QCOMPARE(a.addedBy, QStringLiteral("Ada"));
        QCOMPARE(a.workstation, QStringLiteral("deck-1"));
        QVERIFY(!a.addedAtUtc.isEmpty());
        QCOMPARE(a.takenAt, takenAt);
        QCOMPARE(a.id, added->stored.id);
        QVERIFY(!a.voided);
        if (!mediaType.isEmpty())
            QCOMPARE(a.mediaType, mediaType);
        const QImage t = listed.first().thumbnail;
        QCOMPARE(t.isNull(), thumbnail.isEmpty());
        if (!thumbnail.isEmpty()) {
            QCOMPARE(t.size(), thumbnail);
            // Upright: the photo's left half (red) is at the top once it is
            // turned, the right half (blue) at the bottom.
            const bool turned = t.height() > t.width();
            QVERIFY(qRed(t.pixel(turned ? QPoint(t.width() / 2, 4) : QPoint(4, t.height() / 2))) > 150);
            QVERIFY(qBlue(t.pixel(turned ? QPoint(t.width() / 2, t.height() - 4) : QPoint(t.width() - 4, t.height() / 2))) > 150);
        }

        bool read = false;
        QByteArray back;
        front.read(a, [&](bool ok, const QByteArray &b, const QString &e) {
            QVERIFY2(ok, qPrintable(e));
            back = b;
            read = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(read, 20000);
        QCOMPARE(back, bytes);
    }

    // An entry stored by a program that gives no ids takes its derived id
    // with its first file, and the file is listed with it.
    void entryWithoutId()
    {
        m_file->sql(QStringLiteral("INSERT INTO \"TaskList\" (\"Date/Time\", \"SubmittedBy\") VALUES ('t', 'Old')"));
        const qint64 key = m_file->sql(QStringLiteral("SELECT MAX(\"BravikKey\") FROM \"TaskList\"")).toLongLong();
        AttachmentFront front(m_file->where(), QStringLiteral("TaskList"));
        auto added = add(front, key, file(QStringLiteral("task.txt"), "do it"));
        QTRY_VERIFY_WITH_TIMEOUT(added->done, 20000);
        QVERIFY2(added->ok, qPrintable(added->error));
        QCOMPARE(list(front, key).size(), 1);
        const QString id = m_file->sql(QStringLiteral("SELECT \"EntryId\" FROM \"TaskList\" WHERE \"BravikKey\" = ?"), {key}).toString();
        QVERIFY(!id.isEmpty());
        QCOMPARE(added->stored.rowEntryId, id);
    }

    // The same file attached to two entries is kept once.
    void identicalContentOnce()
    {
        const QString path = file(QStringLiteral("invoice.pdf"), QByteArray(300000, 'x'));
        AttachmentFront front(m_file->where(), QStringLiteral("Purchases"));
        const qint64 first = entry(QStringLiteral("Purchases")), second = entry(QStringLiteral("Purchases"));
        auto a = add(front, first, path), b = add(front, second, path), c = add(front, second, path);
        QTRY_VERIFY_WITH_TIMEOUT(a->done && b->done && c->done, 20000);
        QVERIFY(a->ok && b->ok && c->ok);
        QCOMPARE(m_file->count(QStringLiteral("Attachment")), 3);
        QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), 1);
        QCOMPARE(list(front, second).size(), 2);
        QCOMPARE(list(front, first).size(), 1);
    }

    // Refused with the reason, and nothing stored.
    void refused_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("says");
        QTest::newRow("larger than the limit") << "large" << "at most 1 MB ([attachments] maxMegabytes)";
        QTest::newRow("deleted before it was read") << "gone" << "the file is not there";
        QTest::newRow("a folder") << "folder" << "it is not a file";
        if (getuid() != 0)
            QTest::newRow("no permission to read") << "locked" << "ermission denied";
        QTest::newRow("a void entry") << "void" << "This entry is void";
        QTest::newRow("an entry deleted meanwhile") << "no entry" << "no longer in the logbook";
    }

    void refused()
    {
        QFETCH(QString, what);
        QFETCH(QString, says);
        qint64 key = entry(QStringLiteral("Miscellaneous"), what == QLatin1String("void"));
        QString path = file(QStringLiteral("ok.txt"), "fine");
        if (what == QLatin1String("large"))
            path = file(QStringLiteral("big.bin"), QByteArray(1024 * 1024 + 1, 'b'));
        else if (what == QLatin1String("gone"))
            QFile::remove(path);
        else if (what == QLatin1String("folder"))
            path = m_file->dir.path();
        else if (what == QLatin1String("locked"))
            QFile::setPermissions(path, QFile::WriteOwner);
        else if (what == QLatin1String("no entry"))
            key += 1000;
        AttachmentFront front(m_file->where(), QStringLiteral("Miscellaneous"));
        auto added = add(front, key, path, 1);
        QTRY_VERIFY_WITH_TIMEOUT(added->done, 20000);
        QVERIFY(!added->ok);
        QVERIFY2(added->error.contains(says), qPrintable(added->error));
        QCOMPARE(m_file->count(QStringLiteral("Attachment")), 0);
        QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), 0);
    }

    // Voided with a reason it stays, marked; without one it is refused.
    void voidWithReason_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("voided");
        QTest::newRow("with a reason") << "wrong fairing" << true;
        QTest::newRow("without a reason") << "  " << false;
    }

    void voidWithReason()
    {
        QFETCH(QString, reason);
        QFETCH(bool, voided);
        const qint64 key = entry();
        AttachmentFront front(m_file->where(), QStringLiteral("VehicleMaintenance"));
        auto added = add(front, key, file(QStringLiteral("a.txt"), "a"));
        QTRY_VERIFY_WITH_TIMEOUT(added->done, 20000);
        std::optional<bool> answer;
        QString error;
        front.voidAttachment(added->stored.id, reason, [&](bool ok, const QString &e) {
            answer = ok;
            error = e;
        });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 20000);
        QVERIFY2(*answer == voided, qPrintable(error + QStringLiteral(" / reason [%1]").arg(reason)));
        const QList<AttachmentFront::Listed> listed = list(front, key);
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.first().attachment.voided, voided);
        QCOMPARE(listed.first().attachment.voidReason, voided ? reason : QString());
        if (!voided)
            QVERIFY2(error.contains("needs a reason"), qPrintable(error));
    }

    // A large file: progress is told; a stop while it is read leaves
    // nothing stored, and the next store goes through whole.  (A server
    // frozen during the store: tst_attachmentwindow.)
    void stoppedStoreLeavesNothing()
    {
        const qint64 key = entry();
        const QString path = file(QStringLiteral("vehicle.log"), QByteArray(40 * 1024 * 1024, 'v'));
        AttachmentFront front(m_file->where(), QStringLiteral("VehicleMaintenance"));
        QSignalSpy progress(&front, &AttachmentFront::progressed);
        auto added = add(front, key, path);
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), 10000);
        QVERIFY(!added->done);
        QVERIFY(front.stop());
        QTRY_VERIFY_WITH_TIMEOUT(added->done, 1000);   // answered at once
        QVERIFY(!added->ok);
        QVERIFY2(added->error.isEmpty(), qPrintable(added->error));
        LogbookService::shutdownAll(std::chrono::seconds(20));
        QCOMPARE(m_file->count(QStringLiteral("Attachment")), 0);
        QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), 0);

        AttachmentFront again(m_file->where(), QStringLiteral("VehicleMaintenance"));
        QSignalSpy more(&again, &AttachmentFront::progressed);
        auto stored = add(again, key, path);
        QTRY_VERIFY_WITH_TIMEOUT(stored->done, 60000);
        QVERIFY2(stored->ok, qPrintable(stored->error));
        QCOMPARE(more.last().first().toDouble(), 1.0);
        QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), 1);
    }

    // A copy carries every attachment and its bytes; a merge brings the
    // attachments the other lacks, each content once, and a void made there.
    void copyAndMergeCarry()
    {
        const DatabaseLocation source{QStringLiteral("QSQLITE"), m_file->dir.filePath(QStringLiteral("boat.sqlite"))};
        auto boat = Database::open(source, nullptr);
        QVERIFY(boat);
        const QString entryId = newEntryId();
        bravik::test::runSql(boat->connection(),
                             QStringLiteral("INSERT INTO \"VehicleMaintenance\" (\"Date/Time\", \"EntryId\") VALUES ('t', ?)"),
                             {entryId});
        const qint64 key = bravik::test::runSql(boat->connection(), QStringLiteral("SELECT MAX(\"BravikKey\") FROM \"VehicleMaintenance\"")).toLongLong();
        const QByteArray photo = bravik::test::jpegPhoto(60, 40, 1, {});
        AttachmentFront onBoat(source, QStringLiteral("VehicleMaintenance"));
        auto a = add(onBoat, key, file(QStringLiteral("one.jpg"), photo));
        auto b = add(onBoat, key, file(QStringLiteral("two.jpg"), photo));
        QTRY_VERIFY_WITH_TIMEOUT(a->done && b->done, 20000);
        QVERIFY(a->ok && b->ok);

        QString error;
        QVERIFY2(copyLogbook(source, m_file->where(), {}, &error), qPrintable(error));
        QCOMPARE(m_file->count(QStringLiteral("Attachment")), 2);
        QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), 1);
        AttachmentFront ashore(m_file->where(), QStringLiteral("VehicleMaintenance"));
        const qint64 keyAshore = m_file->sql(QStringLiteral("SELECT \"BravikKey\" FROM \"VehicleMaintenance\" WHERE \"EntryId\" = ?"), {entryId}).toLongLong();
        const QList<AttachmentFront::Listed> copied = list(ashore, keyAshore);
        QCOMPARE(copied.size(), 2);
        QCOMPARE(copied.first().thumbnail.isNull(), false);

        // On the boat: a third file, and the second voided.
        auto c = add(onBoat, key, file(QStringLiteral("charger.txt"), "13.1 V"));
        std::optional<bool> voided;
        onBoat.voidAttachment(b->stored.id, QStringLiteral("same photo twice"), [&](bool ok, const QString &) { voided = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(c->done && voided.has_value(), 20000);
        QVERIFY(c->ok && *voided);
        {
            // Over a thin link the entries go first, the files after them.
            auto ashoreDb = Database::open(m_file->where(), &error);
            QVERIFY2(ashoreDb, qPrintable(error));
            MergeSummary entries;
            QVERIFY2(mergeLogbook(*boat, *ashoreDb, &entries, &error, MergeParts::Entries), qPrintable(error));
            QCOMPARE(entries.attachments, 0);
            QCOMPARE(m_file->count(QStringLiteral("Attachment")), 2);
        }
        for (int round = 0; round < 2; ++round) {
            auto merged = mergeLogbooks(source, m_file->where(), &error);
            QVERIFY2(merged, qPrintable(error));
            QCOMPARE(merged->attachments, round == 0 ? 1 : 0);
            QCOMPARE(m_file->count(QStringLiteral("Attachment")), 3);
            QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), 2);
        }
        QCOMPARE(m_file->sql(QStringLiteral("SELECT \"VoidReason\" FROM \"Attachment\" WHERE \"EntryId\" = ?"), {b->stored.id}).toString(),
                 QStringLiteral("same photo twice"));
        boat.reset();
    }

    // A program killed while it stores files leaves each one whole or not
    // at all: every attachment has all its bytes, and no bytes are kept
    // without an attachment.
    void killedWhileStoring()
    {
        const qint64 key = entry();
        const quint32 seed = qEnvironmentVariableIsSet("BRAVIK_ATTACHMENT_KILL_SEED")
                                 ? qEnvironmentVariable("BRAVIK_ATTACHMENT_KILL_SEED").toUInt()
                                 : QRandomGenerator::global()->generate();
        const int cycles = qEnvironmentVariableIntValue("BRAVIK_ATTACHMENT_KILL_CYCLES") > 0
                               ? qEnvironmentVariableIntValue("BRAVIK_ATTACHMENT_KILL_CYCLES") : 20;
        qInfo("kill cycles: %d, seed %u (BRAVIK_ATTACHMENT_KILL_SEED)", cycles, seed);
        QRandomGenerator random(seed);
        for (int cycle = 0; cycle < cycles; ++cycle) {
            QProcess helper;
            helper.start(QStringLiteral(STORE_HELPER), {m_file->where().driver, m_file->where().location,
                                                        QString::number(key), QStringLiteral("8")});
            QVERIFY(helper.waitForStarted());
            QVERIFY(helper.waitForReadyRead(20000));   // one stored: the next one is on its way
            QTest::qWait(int(random.bounded(400)));
            helper.kill();   // SIGKILL
            QVERIFY(helper.waitForFinished());
            LogbookService::shutdownAll(std::chrono::seconds(5));
            m_file->open();   // a server ends the killed program's transaction; a file rolls back its journal
            const int attached = m_file->count(QStringLiteral("Attachment"));
            QVERIFY(attached > 0);
            QCOMPARE(m_file->count(QStringLiteral("AttachmentContent")), attached);
            QCOMPARE(m_file->sql(QStringLiteral("SELECT COUNT(*) FROM \"Attachment\" a JOIN \"AttachmentContent\" c ON "
                                                "c.\"Sha256\" = a.\"Sha256\" WHERE c.\"Size\" = a.\"Size\" AND "
                                                "LENGTH(c.\"Bytes\") = a.\"Size\"")).toInt(),
                     attached);
            if (!m_file->isPostgres())
                QCOMPARE(m_file->sql(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            // The next cycle starts from none, so the logbook stays small.
            m_file->sql(QStringLiteral("DELETE FROM \"Attachment\""));
            m_file->sql(QStringLiteral("DELETE FROM \"AttachmentContent\""));
        }
    }
};

QTEST_MAIN(TestAttachments)
#include "tst_attachments.moc"
