// Reading a mission file for review and refusing what cannot be shown.
#include "MissionFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace bravik::launch;

class TestMissionFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

private slots:
    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QString three = QStringLiteral("behavior setpoint {\r\n  depth = 5\r\n}\r\n");
        QTest::newRow("three lines, CR LF after the last") << QByteArray("behavior setpoint {\r\n  depth = 5\r\n}\r\n") << three;
        QTest::newRow("three lines, no end after the last") << QByteArray("behavior setpoint {\r\n  depth = 5\r\n}") << three;
        QTest::newRow("lone CR ends a line") << QByteArray("behavior setpoint {\r  depth = 5\r}\r") << three;
        QTest::newRow("mixed CR and CR LF") << QByteArray("behavior setpoint {\r  depth = 5\r\n}") << three;
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("lone LF does not end a line") << QByteArray("a\nb\nc\n") << QStringLiteral("a\nb\nc\n\r\n");
        QTest::newRow("LF CR is a LF in a line, then an end") << QByteArray("a\n\rb") << QStringLiteral("a\n\r\nb\r\n");
        QTest::newRow("blank lines are kept") << QByteArray("\r\n\r\na\r\n\r\n") << QStringLiteral("\r\n\r\na\r\n\r\n");
        QTest::newRow("CR CR LF is an empty line") << QByteArray("a\r\r\nb") << QStringLiteral("a\r\n\r\nb\r\n");
        QTest::newRow("one line without end") << QByteArray("x") << QStringLiteral("x\r\n");
        QTest::newRow("UTF-8 BOM dropped, text kept") << QByteArray("\xEF\xBB\xBF" "d\xC3\xA9p\r\n") << QStringLiteral("d\u00E9p\r\n");
        // Only the first mark is the encoding's; a second is a character of the text.
        QTest::newRow("second BOM is kept") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\n\n") << QStringLiteral("\uFEFF\n\n\r\n");
        QTest::newRow("Latin-1 byte is kept") << QByteArray("d\xE9p") << QStringLiteral("d\u00E9p\r\n");
    }
    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(reviewText(bytes), shown);
        const MissionText read = readMissionForReview(write(QStringLiteral("m.cfg"), bytes));
        QVERIFY2(read.ok(), qPrintable(read.message));
        QCOMPARE(read.text, shown);
        QVERIFY(read.message.isEmpty());
    }

    void refused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("problem");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing chosen") << QString() << int(MissionText::NoPath) << QStringLiteral("No mission file has been chosen");
        QTest::newRow("missing") << dir.filePath(QStringLiteral("gone.cfg")) << int(MissionText::Missing) << QStringLiteral("does not exist");
        QTest::newRow("folder") << dir.path() << int(MissionText::Folder) << QStringLiteral("folder");
        QTest::newRow("NUL bytes")
            << write(QStringLiteral("binary.cfg"), QByteArray("behavior\0\x01\x02", 11))
            << int(MissionText::Binary) << QStringLiteral("binary");
        QTest::newRow("UTF-16 text is not a script")
            << write(QStringLiteral("wide.cfg"), QByteArray("\xFF\xFE" "a\0b\0", 6))
            << int(MissionText::Binary) << QStringLiteral("binary");
        QTest::newRow("one byte over the limit")
            << write(QStringLiteral("big.cfg"), QByteArray(kMaxMissionBytes + 1, 'a'))
            << int(MissionText::TooLarge) << QStringLiteral("too large");
#ifdef Q_OS_UNIX
        const QString fifo = dir.filePath(QStringLiteral("pipe.cfg"));
        if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0)
            QTest::newRow("named pipe is never opened") << fifo << int(MissionText::NotAFile) << QStringLiteral("not an ordinary file");
        QTest::newRow("device") << QStringLiteral("/dev/zero") << int(MissionText::NotAFile) << QStringLiteral("not an ordinary file");
#endif
    }
    void refused()
    {
        QFETCH(QString, path);
        QFETCH(int, problem);
        QFETCH(QString, reason);
        const MissionText read = readMissionForReview(path);
        QCOMPARE(int(read.problem), problem);
        QVERIFY(!read.ok());
        QVERIFY(read.text.isEmpty());
        QVERIFY2(read.message.contains(reason), qPrintable(read.message));
        if (!path.isEmpty())
            QVERIFY2(read.message.contains(QDir::toNativeSeparators(path)), qPrintable(read.message));
    }

    void exactlyAtTheLimitIsShown()
    {
        const QString path = write(QStringLiteral("limit.cfg"), QByteArray(100, 'a'));
        QVERIFY(readMissionForReview(path, 100).ok());
        QCOMPARE(int(readMissionForReview(path, 99).problem), int(MissionText::TooLarge));
    }

    void unreadableFile()
    {
#ifdef Q_OS_UNIX
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        const QString path = write(QStringLiteral("locked.cfg"), "a\r\n");
        QFile::setPermissions(path, QFileDevice::WriteOwner);
        const MissionText read = readMissionForReview(path);
        QCOMPARE(int(read.problem), int(MissionText::Unreadable));
        QVERIFY(read.message.contains(path));
#else
        QSKIP("needs Unix permissions");
#endif
    }
};

QTEST_GUILESS_MAIN(TestMissionFile)
#include "tst_missionfile.moc"
