#include "Seams.h"

#include <QtTest>

// The real command runner: starts without a shell, never waits, and says
// why when a program cannot be started.
class TestCommandRunner : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void start_data();
    void start();
#ifdef Q_OS_UNIX
    void scriptWithoutInterpreterLine();
#endif
};

void TestCommandRunner::start_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QString>("reason");
#ifdef Q_OS_UNIX
    QTest::newRow("bare name on the PATH") << "true" << true << "";
    QTest::newRow("full path") << "/bin/true" << true << "";
#endif
    QTest::newRow("bare name not on the PATH") << "no-such-bravik-program" << false << "PATH";
    QTest::newRow("missing file") << "@TMP@/absent" << false << "does not exist";
    QTest::newRow("folder") << "@TMP@" << false << "folder";
    QTest::newRow("not executable") << "@TMP@/plain.txt" << false << "";
}

void TestCommandRunner::start()
{
    QFETCH(QString, program);
    QFETCH(bool, started);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("echo hello\n");
    plain.close();
    program.replace(QLatin1String("@TMP@"), dir.path());

    QString error;
    QElapsedTimer clock;
    clock.start();
    const bool ok = bravik::commandRunner().start(program, {}, &error);
    QCOMPARE(ok, started);
    QVERIFY(clock.elapsed() < 5000);
    if (!started) {
        QVERIFY2(!error.isEmpty(), "a failed start says why");
        QVERIFY2(error.contains(reason), qPrintable(error));
    }
}

#ifdef Q_OS_UNIX
void TestCommandRunner::scriptWithoutInterpreterLine()
{
    // A shell script as crews write them, without a "#!" line, in a folder
    // whose name a shell would take apart.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("run it; $(touch pwned) 'x'"));
    QVERIFY(QDir().mkpath(folder));
    const QString script = QDir(folder).filePath(QStringLiteral("runmission"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("out=\"$(dirname \"$0\")/ran\"\n"
            "printf '%s\\n' \"$0\" \"$@\" > \"$out.part\"\n"
            "mv \"$out.part\" \"$out\"\n");
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    QString error;
    const QStringList arguments{QStringLiteral("/missions/my transit.cfg"), QStringLiteral("$(touch pwned2)")};
    QVERIFY2(bravik::commandRunner().start(script, arguments, &error), qPrintable(error));
    const QString ran = QDir(folder).filePath(QStringLiteral("ran"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ran), 20000);
    QFile out(ran);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(out.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList{script} + arguments);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("pwned2"))));
    QVERIFY(!QDir::current().exists(QStringLiteral("pwned")) && !QDir::current().exists(QStringLiteral("pwned2")));
}
#endif

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
