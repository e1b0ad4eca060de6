// The logbook file under the program: deleted, moved or replaced while a
// record window holds an entry, and damaged on disk.

#include "Database.h"
#include "FieldLogWindows.h"
#include "RecordCursor.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace bravik;
using bravik::logbook::RecordWindow;
using bravik::test::LogbookProbe;

class TestLogbookFile : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    QString logbook() const { return settings().database; }

    // The window once its table has answered (opened or refused).
    static RecordWindow *shown(const QString &name)
    {
        auto *w = qobject_cast<RecordWindow *>(windows().show(name));
        if (!w || !QTest::qWaitFor([w] { return w->isOpen() || w->openFailed(); }, 20000))
            return nullptr;
        return w;
    }

    RecordWindow *newEntry(const QString &name, const QString &clock)
    {
        auto *w = qobject_cast<RecordWindow *>(windows().window(name));
        if (!w || !w->moveLast() || !w->beginNewRow() || !test::waitForLogbook())
            return nullptr;
        QTest::keyClicks(w->findChild<QLineEdit *>("txtTime"), clock);
        windows().show(name);
        return w;
    }

    static void click(QWidget *w, const char *button)
    {
        QTest::mouseClick(w->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
        QVERIFY(test::waitForLogbook());
    }

    // Another file of the same content takes the logbook's place, as a
    // restore from a copy or a synchronising tool does.
    static bool replaceWithCopy(const QString &path)
    {
        const QString copy = path + QStringLiteral(".copy");
        return QFile::copy(path, copy) && QFile::remove(path) && QFile::rename(copy, path);
    }

private Q_SLOTS:
    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")});
        if (LogbookProbe::isPostgres())
            QSKIP("a server logbook has no file to remove, replace or damage");
    }

    void cleanup() { m_window.reset(); }

    void fileGoneOrReplaced_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("deleted") << "deleted";
        QTest::newRow("moved") << "moved";
        QTest::newRow("replaced") << "replaced";
    }

    void fileGoneOrReplaced()
    {
        QFETCH(QString, what);
        RecordWindow *w = newEntry("frmMisc", "t1");
        QVERIFY(w && w->isOpen());
        auto *note = w->findChild<QPlainTextEdit *>("txtNote");
        QTest::keyClicks(note, "keep me");
        const QString path = logbook();
        const QString movedTo = path + QStringLiteral(".moved");
        if (what == QLatin1String("deleted"))
            QVERIFY(QFile::remove(path));
        else if (what == QLatin1String("moved"))
            QVERIFY(QFile::rename(path, movedTo));
        else
            QVERIFY(replaceWithCopy(path));

        // "Return to Main": refused with the path and what happened; the
        // window stays with everything typed.
        click(w, "cmdQuit");
        test::flushDeletes();
        QCOMPARE(windows().existing("frmMisc"), w);
        QVERIFY(w->isVisible());
        QVERIFY(!windows().existing("frmLogMain"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        const QString message = m_window->seams.messages->texts.first();
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
        QVERIFY2(message.contains("was removed or replaced while the program was running"), qPrintable(message));
        QVERIFY2(message.contains("This entry was not stored"), qPrintable(message));
        QCOMPARE(note->toPlainText(), QStringLiteral("keep me"));
        QCOMPARE(w->findChild<QLineEdit *>("txtTime")->text(), QStringLiteral("t1"));
        QVERIFY(w->cursor()->isChanged());
        // A move is refused the same way.
        w->moveFirst();
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 2);
        QCOMPARE(note->toPlainText(), QStringLiteral("keep me"));

        // The next record window makes no new, empty logbook in its place.
        m_window->seams.messages->texts.clear();
        auto *tasks = shown("frmTaskList");
        QVERIFY(tasks);
        if (what == QLatin1String("replaced")) {
            // It works on the file that is there now, which got nothing.
            QVERIFY(tasks->isOpen());
            LogbookProbe probe;
            QCOMPARE(probe.count("Miscellaneous"), 0);
        } else {
            QVERIFY(!tasks->isOpen());
            QVERIFY(!QFileInfo::exists(path));
            QCOMPARE(m_window->seams.messages->texts.size(), 1);
            QVERIFY2(m_window->seams.messages->texts.first().contains(QDir::toNativeSeparators(path)),
                     qPrintable(m_window->seams.messages->texts.first()));
            QVERIFY2(m_window->seams.messages->texts.first().contains("No new, empty logbook"),
                     qPrintable(m_window->seams.messages->texts.first()));
        }
        windows().unload("frmTaskList");

        if (what == QLatin1String("moved")) {
            // Put back, the entry goes in at the next try.
            QVERIFY(QFile::rename(movedTo, path));
            m_window->seams.messages->texts.clear();
            click(w, "cmdQuit");
            QTRY_VERIFY(!windows().existing("frmMisc"));
            test::flushDeletes();
            QVERIFY(m_window->seams.messages->texts.isEmpty());
            LogbookProbe probe;
            QCOMPARE(probe.count("Miscellaneous"), 1);
            QCOMPARE(probe.field("Miscellaneous", "Note").toString(), QStringLiteral("keep me"));
        }
    }

    void databaseTellsFileIdentity()
    {
        QString error;
        auto db = logbook::Database::open({settings().databaseDriver, logbook()}, &error);
        QVERIFY2(db, qPrintable(error));
        QVERIFY(db->fileIsInPlace(&error));
        // Written over in place, it is still the same file.
        {
            QFile f(logbook());
            QVERIFY(f.open(QIODevice::ReadWrite));
        }
        QVERIFY(db->fileIsInPlace(&error));
        QVERIFY(replaceWithCopy(logbook()));
        QVERIFY(!db->fileIsInPlace(&error));
        QVERIFY(error.contains("another file stands at that place now"));
        QVERIFY(QFile::remove(logbook()));
        QVERIFY(!db->fileIsInPlace(&error));
        QVERIFY(error.contains("there is no file at that place now"));
        db.reset();

        // Opened once, a logbook that is gone is not made again.
        QVERIFY(!logbook::Database::open({settings().databaseDriver, logbook()}, &error));
        QVERIFY(!QFileInfo::exists(logbook()));
        // A logbook never opened before is made on its first opening.
        const QString fresh = m_window->settings.path("other/BravikDatabase.sqlite");
        QVERIFY2(logbook::Database::open({settings().databaseDriver, fresh}, &error), qPrintable(error));
        QVERIFY(QFileInfo::exists(fresh));
    }

    void damagedFileNamedWithAdvice()
    {
        // A logbook with enough entries to fill many pages.
        {
            QString error;
            auto db = logbook::Database::open({settings().databaseDriver, logbook()}, &error);
            QVERIFY2(db, qPrintable(error));
            LogbookProbe probe;
            for (int i = 0; i < 300; ++i)
                probe.sql("INSERT INTO \"Miscellaneous\" (\"Date/Time\", \"Note\") VALUES (?, ?)",
                          {QStringLiteral("d%1").arg(i), QString(200, QLatin1Char('n'))});
            const int root = probe.sql("SELECT rootpage FROM sqlite_master WHERE name = 'Miscellaneous'").toInt();
            const int pageSize = probe.sql("PRAGMA page_size").toInt();
            QVERIFY(root > 1 && pageSize >= 512);
            probe.close();
            db.reset();
            // The header and the table list stay whole; the table's pages do not.
            QFile f(logbook());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(root - 1) * pageSize));
            f.write(QByteArray(pageSize, '\x55'));
        }

        auto *w = shown("frmMisc");
        QVERIFY(w);
        QVERIFY(!w->isOpen());
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        const QString message = m_window->seams.messages->texts.first();
        QVERIFY2(message.contains(QDir::toNativeSeparators(logbook())), qPrintable(message));
        QVERIFY2(message.contains("is damaged"), qPrintable(message));
        QVERIFY2(message.contains("database disk image is malformed"), qPrintable(message));
        QVERIFY2(message.contains("copy of the logbook"), qPrintable(message));
        QVERIFY2(message.contains("README") && message.contains(".recover"), qPrintable(message));
        QVERIFY(!w->findChild<QPlainTextEdit *>("txtNote")->isEnabled());
    }
};

QTEST_MAIN(TestLogbookFile)
#include "tst_logbookfile.moc"
