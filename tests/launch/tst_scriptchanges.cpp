// The line diff the review window shows against the last run of a file name.
#include "ScriptChanges.h"

#include <QtTest>

using namespace bravik::launch;

class TestScriptChanges : public QObject
{
    Q_OBJECT

private slots:
    void diffs_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("marks"); // one letter per line: = same, - removed, + added
        QTest::addColumn<QList<int>>("added");
        QTest::newRow("same, line ends differ") << "a\r\nb\r\n" << "a\nb" << "==" << QList<int>();
        QTest::newRow("one line changed") << "a\nb\nc\n" << "a\nB\nc\n" << "=-+=" << QList<int>{2};
        QTest::newRow("line inserted") << "a\nc\n" << "a\nb\nc\n" << "=+=" << QList<int>{2};
        QTest::newRow("line removed at the end") << "a\nb\nc\n" << "a\nb\n" << "==-" << QList<int>();
        QTest::newRow("block moved down") << "x\na\nb\ny\n" << "a\nb\nx\ny\n" << "-==+=" << QList<int>{3};
        QTest::newRow("from nothing") << "" << "a\nb\n" << "++" << QList<int>{1, 2};
        QTest::newRow("to nothing") << "a\n" << "" << "-" << QList<int>();
        QTest::newRow("repeated lines") << "}\n\n}\n\n" << "}\n\n}\n}\n\n" << "===+=" << QList<int>{4};
    }
    void diffs()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, marks);
        QFETCH(QList<int>, added);
        const ScriptChanges c = compareScripts(before, after);
        QString got;
        for (const LineChange &l : c.lines)
            got += l.kind == LineChange::Kind::Same ? QLatin1Char('=') : (l.kind == LineChange::Kind::Added ? QLatin1Char('+') : QLatin1Char('-'));
        QCOMPARE(got, marks);
        QCOMPARE(c.addedLines(), added);
        QCOMPARE(c.added, int(marks.count(QLatin1Char('+'))));
        QCOMPARE(c.removed, int(marks.count(QLatin1Char('-'))));
        // Replaying the changes on the old text gives the new one.
        QStringList rebuilt;
        for (const LineChange &l : c.lines)
            if (l.kind != LineChange::Kind::Removed)
                rebuilt << l.text;
        QCOMPARE(rebuilt, scriptLines(after));
    }

    void hunksAndCounts()
    {
        QStringList a, b;
        for (int i = 1; i <= 30; ++i)
            a << QStringLiteral("line %1").arg(i);
        b = a;
        b[4] = QStringLiteral("line five");
        b.insert(20, QStringLiteral("new"));
        const ScriptChanges c = compareScripts(a.join(QLatin1Char('\n')), b.join(QLatin1Char('\n')));
        QCOMPARE(c.countText(), QStringLiteral("2 lines added, 1 removed"));
        QCOMPARE(c.hunks(1), QStringLiteral("@@ line 4 @@\n  line 4\n- line 5\n+ line five\n  line 6\n"
                                            "@@ line 20 @@\n  line 20\n+ new\n  line 21"));
        QCOMPARE(compareScripts(QStringLiteral("a"), QStringLiteral("a")).countText(), QStringLiteral("no line changed"));
    }
};

QTEST_APPLESS_MAIN(TestScriptChanges)
#include "tst_scriptchanges.moc"
