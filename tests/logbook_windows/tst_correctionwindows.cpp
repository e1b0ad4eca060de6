// "History", "Void Entry…", "Restore Entry…" and the refusal of a store
// over another program's change, driven through the record windows as a
// person does: typing into the boxes, moving the focus away, clicking the
// buttons, and waiting for the window to answer.

#include "Database.h"
#include "RecordBinder.h"
#include "RecordCursor.h"
#include "RecordHistory.h"
#include "RecordHistoryModel.h"
#include "RecordHistoryWindow.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "Twips.h"
#include "WindowManager.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace bravik;
using bravik::logbook::RecordWindow;
using bravik::test::LogbookProbe;
namespace history = bravik::logbook::history;

namespace {

const QStringList kRecordWindows{"frmPredive",       "frmWeatherObservation", "frmMission", "frmMaintenance",
                                 "frmBatteryCharge", "frmTaskList",           "frmPurchases", "frmMisc"};

QString tableOf(const QString &window)
{
    static const QHash<QString, QString> tables{
        {"frmPredive", "Predive"},           {"frmWeatherObservation", "WeatherObservation"},
        {"frmMission", "MissionData"},       {"frmMaintenance", "VehicleMaintenance"},
        {"frmBatteryCharge", "BatteryCharge"}, {"frmTaskList", "TaskList"},
        {"frmPurchases", "Purchases"},       {"frmMisc", "Miscellaneous"}};
    return tables.value(window);
}

QString someTextControl(const QString &window)
{
    static const QHash<QString, QString> controls{
        {"frmPredive", "txtCruise"},       {"frmWeatherObservation", "txtWindSpeed"},
        {"frmMission", "txtDataDirectory"}, {"frmMaintenance", "txtNotes"},
        {"frmBatteryCharge", "txtBatteryLogFile"}, {"frmTaskList", "txtNote"},
        {"frmPurchases", "txtVendor"},     {"frmMisc", "txtNote"}};
    return controls.value(window);
}

} // namespace

class TestCorrectionWindows : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    void seed(const QString &table, const QList<QStringList> &rows)
    {
        QString error;
        {
            auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
            QVERIFY2(db, qPrintable(error));
        }
        for (const QStringList &row : rows)
            m_window->probe.sql(QStringLiteral("INSERT INTO \"%1\" (\"Date/Time\", \"SubmittedBy\") VALUES (?, ?)").arg(table),
                         {row.at(0), row.at(1)});
    }

    // Clicks a button once the window takes input again, and waits for
    // the logbook to answer, as a person waits for the window.
    static void click(QWidget *w, const char *button)
    {
        auto *b = w->findChild<QAbstractButton *>(QString::fromLatin1(button));
        QVERIFY2(b, button);
        QVERIFY(test::waitForLogbook());
        QVERIFY2(b->isEnabled() && b->isVisible(), button);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(test::waitForLogbook());
    }

    // Types into a box and moves the focus away, as a person does.
    static void type(QWidget *box, const QString &text)
    {
        box->setFocus();
        if (auto *e = qobject_cast<QLineEdit *>(box))
            e->selectAll();
        else if (auto *p = qobject_cast<QPlainTextEdit *>(box))
            p->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
    }

    static QString boxText(QWidget *box)
    {
        return logbook::RecordBinder::controlValue(box).toString();
    }

    RecordWindow *show(const QString &name)
    {
        auto *w = qobject_cast<RecordWindow *>(windows().show(name));
        if (w && !QTest::qWaitForWindowExposed(w))
            return nullptr;
        if (w && !QTest::qWaitFor([w] { return w->isOpen(); }, 20000))
            return nullptr;
        return w;
    }

    // The rows of the history list as shown, six cells each.
    static QStringList historyRow(logbook::frmRecordHistory *h, int row)
    {
        QStringList texts;
        for (int c = 0; c < logbook::RecordHistoryModel::ColumnCount; ++c)
            texts << h->model()->index(row, c).data().toString();
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")});
    }

    void cleanup() { m_window.reset(); }

    // "History", "Void Entry…", "Attachments…" and the banner sit in a row
    // of their own inside the window, clear of every other control.
    void correctionRowPlaced_data()
    {
        QTest::addColumn<QString>("window");
        for (const QString &w : kRecordWindows)
            QTest::newRow(qPrintable(w)) << w;
    }
    void correctionRowPlaced()
    {
        QFETCH(QString, window);
        RecordWindow *w = show(window);
        QVERIFY(w);
        auto *history = w->findChild<QPushButton *>("cmdHistory");
        auto *voidButton = w->findChild<QPushButton *>("cmdVoid");
        auto *banner = w->findChild<QLabel *>("lblVoid");
        auto *attachments = w->findChild<QPushButton *>("cmdAttachments");
        QVERIFY(history && voidButton && banner && attachments);
        QCOMPARE(history->text(), QStringLiteral("History"));
        QCOMPARE(voidButton->text(), QStringLiteral("Void Entry\u2026"));
        QCOMPARE(attachments->text(), QStringLiteral("Attachments\u2026"));
        QCOMPARE(attachments->y(), history->y());
        QVERIFY(!banner->isVisible());
        const QRect client = w->rect();
        const QList<QWidget *> row{history, voidButton, banner, attachments};
        for (QWidget *mine : row) {
            QVERIFY2(client.contains(mine->geometry()), qPrintable(mine->objectName()));
            for (QWidget *other : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (row.contains(other) || other->isHidden())
                    continue;
                QVERIFY2(!other->geometry().intersects(mine->geometry()),
                         qPrintable(mine->objectName() + QStringLiteral(" on ") + other->objectName()));
            }
        }
    }

    // "Void Entry…" on a stored row: the reason asked for, the typed edit
    // stored first, the banner shown; the row stays in navigation and the
    // banner comes back with it.
    void voidThroughTheWindow_data()
    {
        QTest::addColumn<QString>("window");
        for (const QString &w : kRecordWindows)
            QTest::newRow(qPrintable(w)) << w;
    }
    void voidThroughTheWindow()
    {
        QFETCH(QString, window);
        const QString table = tableOf(window);
        seed(table, {{"d1", "Ada"}, {"d2", "Ben"}});
        RecordWindow *w = show(window);
        QVERIFY(w);
        auto *banner = w->findChild<QLabel *>("lblVoid");
        auto *time = w->findChild<QLineEdit *>("txtTime");
        click(w, "cmdNext");
        QCOMPARE(time->text(), QStringLiteral("d2"));
        QWidget *box = w->findChild<QWidget *>(someTextControl(window));
        QVERIFY(box);
        type(box, "edited");

        // Cancelled: nothing changes.  An empty reason keeps the prompt
        // open with a word, until a reason is typed.
        m_window->seams.prompts->answers << QString();
        click(w, "cmdVoid");
        QCOMPARE(m_window->seams.prompts->labels.size(), 1);
        QCOMPARE(m_window->probe.sql(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"Voided\"").arg(table)).toInt(), 0);
        QVERIFY(!banner->isVisible());

        m_window->seams.prompts->answers << QStringLiteral("  ") << QStringLiteral("Entered twice");
        click(w, "cmdVoid");
        QCOMPARE(m_window->seams.prompts->labels.size(), 3);
        QVERIFY(!m_window->seams.prompts->labels.at(1).contains(QLatin1String("needs a reason")));
        QVERIFY2(m_window->seams.prompts->labels.at(2).endsWith(QLatin1String("\n\nA void entry needs a reason.")),
                 qPrintable(m_window->seams.prompts->labels.at(2)));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QStringLiteral("VOID: Entered twice\nA void entry is read-only."));
        QCOMPARE(boxText(box), QStringLiteral("edited"));
        const QString field = logbook::RecordBinder::fieldOf(box);
        QCOMPARE(m_window->probe.field(table, field, 1).toString(), QStringLiteral("edited"));
        QCOMPARE(m_window->probe.field(table, "VoidReason", 1).toString(), QStringLiteral("Entered twice"));
        QVERIFY(m_window->probe.field(table, "Voided", 1).toBool());
        QVERIFY(!m_window->probe.field(table, "Voided", 0).toBool());
        QCOMPARE(m_window->probe.field(table, "RowVersion", 1).toInt(), 2);

        click(w, "cmdFirst");
        QCOMPARE(time->text(), QStringLiteral("d1"));
        QVERIFY(!banner->isVisible());
        click(w, "cmdLast");
        QCOMPARE(time->text(), QStringLiteral("d2"));
        QVERIFY(banner->isVisible());
        QVERIFY(banner->text().startsWith(QLatin1String("VOID: Entered twice\n")));
        QVERIFY(!w->findChild<QPushButton *>("cmdVoid")->isVisible());
        QVERIFY(w->close());
        test::flushDeletes();
        QCOMPARE(m_window->probe.count(table), 2);
    }

    // A reason of a megabyte, pasted into the prompt, is stored whole.
    void longVoidReasonStoredWhole()
    {
        seed("Miscellaneous", {{"d1", "Ada"}});
        RecordWindow *w = show("frmMisc");
        QVERIFY(w);
        QString reason;
        for (int i = 0; reason.size() < (1 << 20); ++i)
            reason += QStringLiteral("wrong vehicle, take %1; ").arg(i);
        reason = reason.left(1 << 20).trimmed();
        m_window->seams.prompts->throughDialog = true;
        m_window->seams.prompts->answers << reason;
        click(w, "cmdVoid");
        QCOMPARE(m_window->seams.prompts->labels.size(), 1);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QTRY_VERIFY(m_window->probe.field("Miscellaneous", "Voided").toBool());
        const QString stored = m_window->probe.field("Miscellaneous", "VoidReason").toString();
        QCOMPARE(stored.size(), reason.size());
        QVERIFY(stored == reason);
        QVERIFY(w->findChild<QLabel *>("lblVoid")->isVisible());
        QVERIFY(w->close());
    }

    // A void entry's boxes take nothing typed; "Restore Entry…" (with a
    // reason the history keeps) makes it an ordinary entry again.
    void voidEntryReadOnlyUntilRestored_data()
    {
        QTest::addColumn<QString>("window");
        for (const QString &w : kRecordWindows)
            QTest::newRow(qPrintable(w)) << w;
    }
    void voidEntryReadOnlyUntilRestored()
    {
        QFETCH(QString, window);
        const QString table = tableOf(window);
        seed(table, {{"d1", "Ada"}});
        m_window->probe.sql(QStringLiteral("UPDATE \"%1\" SET \"Voided\" = TRUE, \"VoidReason\" = 'wrong vehicle', "
                                    "\"RowVersion\" = 1").arg(table));
        RecordWindow *w = show(window);
        QVERIFY(w);
        QWidget *box = w->findChild<QWidget *>(someTextControl(window));
        auto *restore = w->findChild<QPushButton *>("cmdRestore");
        QVERIFY(restore->isVisible());
        QCOMPARE(restore->text(), QStringLiteral("Restore Entry\u2026"));
        type(box, "typed into a void entry");
        QCOMPARE(boxText(box), QString());
        QVERIFY(!w->cursor()->isChanged());

        m_window->seams.prompts->answers << QString() << QStringLiteral("") << QStringLiteral("right vehicle after all");
        click(w, "cmdRestore");   // cancelled
        QVERIFY(w->cursor()->isVoided());
        click(w, "cmdRestore");
        QVERIFY2(m_window->seams.prompts->labels.last().endsWith(QLatin1String("Restoring an entry needs a reason.")),
                 qPrintable(m_window->seams.prompts->labels.last()));
        QVERIFY(!w->cursor()->isVoided());
        QVERIFY(!w->findChild<QLabel *>("lblVoid")->isVisible());
        QVERIFY(w->findChild<QPushButton *>("cmdVoid")->isVisible());
        QVERIFY(!m_window->probe.field(table, "Voided").toBool());
        QCOMPARE(m_window->probe.sql(QStringLiteral("SELECT \"OldValue\" || '>' || \"NewValue\" FROM \"RecordHistory\" "
                                             "WHERE \"Field\" = 'Restored'")).toString(),
                 QStringLiteral("wrong vehicle>right vehicle after all"));

        type(box, "now it takes it");
        QCOMPARE(boxText(box), QStringLiteral("now it takes it"));
        const QString field = logbook::RecordBinder::fieldOf(box);
        w->close();
        QTRY_VERIFY(!windows().existing(window));
        QCOMPARE(m_window->probe.field(table, field).toString(), QStringLiteral("now it takes it"));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    // A new row nobody typed into: nothing to void, no reason asked.
    void voidOnNewRow()
    {
        RecordWindow *w = show("frmMisc");
        QVERIFY(w->moveLast() && w->beginNewRow());
        QVERIFY(test::waitForLogbook());
        click(w, "cmdVoid");
        QVERIFY(m_window->seams.prompts->labels.isEmpty());
        QCOMPARE(m_window->seams.messages->texts, QStringList{"This entry is not stored yet, so there is nothing to void."});
        QVERIFY(w->close());
        test::flushDeletes();
        QCOMPARE(m_window->probe.count("Miscellaneous"), 0);
    }

    // "History" lists the row's changes newest first; it follows the row
    // as the window moves; a new row has none.
    void historyWindow()
    {
        seed("TaskList", {{"d1", "Ada"}, {"d2", "Ben"}});
        RecordWindow *w = show("frmTaskList");
        QVERIFY(w);
        history::setOsUser(QStringLiteral("deckhand"));
        auto *note = w->findChild<QPlainTextEdit *>("txtNote");
        type(note, "grease");
        click(w, "cmdNext");
        click(w, "cmdPrevious");
        type(note, "grease rudder");
        type(w->findChild<QLineEdit *>("txtSubmittedBy"), "Cai");
        click(w, "cmdHistory");
        // The unsaved edits are not history yet, and the window says so.
        logbook::frmRecordHistory *h = w->historyWindow();
        QVERIFY(h && h->isVisible());
        QAbstractItemModelTester tester(h->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTRY_COMPARE(h->model()->rowCount(), 1);
        auto row = [&](int i) { return historyRow(h, i); };
        QVERIFY2(h->lblHistory->text().contains(QLatin1String("not stored yet, so they are not in the history yet")),
                 qPrintable(h->lblHistory->text()));
        QCOMPARE(row(0).mid(1, 3), (QStringList{"Note", "", "grease"}));
        QVERIFY2(row(0).at(0).endsWith(QLatin1String(" UTC")), qPrintable(row(0).at(0)));
        QCOMPARE(row(0).mid(4), (QStringList{QSysInfo::machineHostName(), history::osUser()}));
        QCOMPARE(h->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("When (UTC)"));

        // Stored by a move, then back: newest first.
        click(w, "cmdNext");
        QTRY_VERIFY(h->lblHistory->text().contains(QLatin1String("not changed")));
        QCOMPARE(h->model()->rowCount(), 0);
        click(w, "cmdPrevious");
        QTRY_COMPARE(h->model()->rowCount(), 3);
        QVERIFY(!h->lblHistory->text().contains(QLatin1String("not stored yet")));
        QStringList order;
        for (int i = 0; i < 3; ++i)
            order << row(i).at(1);
        QCOMPARE(order.last(), QStringLiteral("Note"));
        QCOMPARE(QSet<QString>(order.begin(), order.end()), (QSet<QString>{"Note", "SubmittedBy"}));
        for (int i = 0; i < 2; ++i) {
            const QStringList r = row(i);
            QVERIFY2((r.mid(1, 3) == QStringList{"Note", "grease", "grease rudder"})
                         || (r.mid(1, 3) == QStringList{"SubmittedBy", "Ada", "Cai"}), qPrintable(r.join('|')));
        }

        // A new row: not stored, so no history.
        click(w, "cmdLast");
        click(w, "cmdNext");
        QVERIFY(w->cursor()->isNewRow());
        QTRY_VERIFY(h->lblHistory->text().contains(QLatin1String("not stored yet")));
        QVERIFY(w->close());
        test::flushDeletes();
    }

    // Another program stores the row while it is shown here: "Return to
    // Main" is refused with where and when, the typed text stays; pressed
    // again it stores ours over theirs, and the history has both.
    void conflictOnReturnToMain()
    {
        seed("Miscellaneous", {{"d1", "Ada"}});
        RecordWindow *w = show("frmMisc");
        QVERIFY(w);
        auto *note = w->findChild<QPlainTextEdit *>("txtNote");
        type(note, "ours");

        QString error;
        auto other = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
        QVERIFY2(other, qPrintable(error));
        {
            logbook::RecordCursor theirs(*other, "Miscellaneous");
            QVERIFY(theirs.open());
            theirs.setValue("Note", "theirs");
            QVERIFY(theirs.save());
        }
        const QString at = m_window->probe.field("Miscellaneous", "ChangedAtUtc").toString();

        click(w, "cmdQuit");
        QTRY_COMPARE(m_window->seams.messages->texts.size(), 1);
        test::flushDeletes();
        QCOMPARE(windows().existing("frmMisc"), w);
        QVERIFY(!windows().existing("frmLogMain"));
        QCOMPARE(m_window->seams.messages->texts,
                 QStringList{QStringLiteral("This entry was changed on %1 at %2 since you opened it. Press Return to Main "
                                            "again to store your version over it, or move away to keep theirs.")
                                 .arg(QSysInfo::machineHostName(), history::readableTime(at))});
        QCOMPARE(note->toPlainText(), QStringLiteral("ours"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));

        click(w, "cmdQuit");
        QTRY_VERIFY(!windows().existing("frmMisc"));
        test::flushDeletes();
        QVERIFY(windows().existing("frmLogMain"));
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("ours"));
        QList<history::Entry> entries;
        QVERIFY(history::read(*other, "Miscellaneous", m_window->probe.field("Miscellaneous", "BravikKey").toLongLong(),
                              &entries, &error));
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).oldValue + ">" + entries.at(0).newValue, QStringLiteral("theirs>ours"));
        QCOMPARE(entries.at(1).oldValue + ">" + entries.at(1).newValue, QStringLiteral(">theirs"));
    }

    // The same refusal on a move; moving again keeps theirs, drops ours,
    // and coming back shows theirs.
    void conflictMoveAwayKeepsTheirs()
    {
        seed("Miscellaneous", {{"d1", "Ada"}, {"d2", "Ben"}});
        RecordWindow *w = show("frmMisc");
        QVERIFY(w);
        auto *note = w->findChild<QPlainTextEdit *>("txtNote");
        auto *time = w->findChild<QLineEdit *>("txtTime");
        type(note, "ours");
        QString error;
        auto other = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
        QVERIFY2(other, qPrintable(error));
        logbook::RecordCursor theirs(*other, "Miscellaneous");
        QVERIFY(theirs.open());
        theirs.setValue("Note", "theirs");
        QVERIFY(theirs.save());

        click(w, "cmdNext");
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(m_window->seams.messages->texts.first().startsWith("This entry was changed on "));
        QCOMPARE(time->text(), QStringLiteral("d1"));
        QCOMPARE(note->toPlainText(), QStringLiteral("ours"));

        click(w, "cmdNext");
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QCOMPARE(time->text(), QStringLiteral("d2"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));
        click(w, "cmdPrevious");
        QCOMPARE(note->toPlainText(), QStringLiteral("theirs"));
        QVERIFY(!w->cursor()->isChanged());
        QVERIFY(w->close());
        test::flushDeletes();
        QCOMPARE(m_window->probe.field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));
        QCOMPARE(m_window->probe.field("Miscellaneous", "RowVersion").toInt(), 1);
        QCOMPARE(m_window->probe.count("Miscellaneous"), 2);
    }

    // History of an entry with two values of a megabyte each: it opens
    // without holding up the window, each value shortened to a line in the
    // list, and the pane shows the selected change whole.
    void historyOfLongValues()
    {
        seed("Miscellaneous", {{"d1", "Ada"}});
        QString first, second;
        while (first.size() < (1 << 20)) {
            first += QStringLiteral("port thruster noisy at 300 rpm ");
            second += QStringLiteral("thruster bearing replaced, quiet ");
        }
        first += QStringLiteral("\nend of the first");
        second += QStringLiteral("\nend of the second");
        {
            QString error;
            auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
            logbook::RecordCursor c(*db, "Miscellaneous");
            QVERIFY(c.open());
            c.setValue("Note", first);
            QVERIFY(c.save());
            c.setValue("Note", second);
            QVERIFY(c.save());
        }
        RecordWindow *w = show("frmMisc");
        QVERIFY(w);
        // (Laying out the megabyte in the window's own note box takes its
        // while; History is timed from here.)
        QVERIFY(test::waitForLogbook());
        QTest::qWait(50);
        QElapsedTimer clock;
        qint64 longest = 0;
        QTimer tick;
        clock.start();
        QObject::connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, clock.restart()); });
        tick.start(10);
        click(w, "cmdHistory");
        logbook::frmRecordHistory *h = w->historyWindow();
        QTRY_COMPARE(h->model()->rowCount(), 2);
        const QString shown = historyRow(h, 0).at(3);
        QVERIFY2(shown.size() <= logbook::RecordHistoryModel::cellLength() + 1 && shown.endsWith(QChar(0x2026)),
                 qPrintable(shown.left(100)));
        QVERIFY(h->model()->index(0, 3).data(Qt::ToolTipRole).toString().size() < 1000);

        // Clicked (the newest is at the top): the pane has both values,
        // read whole; the buttons copy them exactly.
        QTest::mouseClick(h->lstHistory->viewport(), Qt::LeftButton, {},
                          h->lstHistory->visualRect(h->model()->index(0, 1)).center());
        QTRY_VERIFY(h->cmdCopyNew->isEnabled());
        QCOMPARE(h->txtNewValue->toPlainText().remove(QLatin1Char('\n')), QString(second).remove(QLatin1Char('\n')));
        QCOMPARE(h->txtOldValue->toPlainText().remove(QLatin1Char('\n')), QString(first).remove(QLatin1Char('\n')));
        QVERIFY(h->lblPieces->isVisible());
        QTest::keyClick(h->lstHistory, Qt::Key_Down);
        QTRY_COMPARE(h->txtOldValue->toPlainText(), QString());
        QTRY_VERIFY(h->cmdCopyNew->isEnabled());
        QTest::mouseClick(h->cmdCopyNew, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), first);
        QTest::qWait(50);
        qInfo("longest stall with History open: %lld ms", longest);
        QVERIFY2(longest < 300, qPrintable(QString::number(longest)));
    }
};

QTEST_MAIN(TestCorrectionWindows)
#include "tst_correctionwindows.moc"
