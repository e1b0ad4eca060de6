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

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
