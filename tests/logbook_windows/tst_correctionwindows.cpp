// "History", "Void Entry…" and the refusal of a store over another
// program's change, driven through the record windows as a person does:
// typing into the boxes, moving the focus away, clicking the buttons.

#include "Database.h"
#include "LogbookProbe.h"
#include "RecordBinder.h"
#include "RecordCursor.h"
#include "RecordHistory.h"
#include "RecordHistoryWindow.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "TestPostgres.h"
#include "Twips.h"
#include "WindowManager.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <QTreeWidget>
#include <memory>

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

    std::unique_ptr<test::TempSettings> m_settings;
    std::unique_ptr<test::Seams> m_seams;
    std::unique_ptr<LogbookProbe> m_probe;

    void seed(const QString &table, const QList<QStringList> &rows)
    {
        QString error;
        {
            auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
            QVERIFY2(db, qPrintable(error));
        }
        for (const QStringList &row : rows)
            m_probe->sql(QStringLiteral("INSERT INTO \"%1\" (\"Date/Time\", \"SubmittedBy\") VALUES (?, ?)").arg(table),
                         {row.at(0), row.at(1)});
    }

    static void click(QWidget *w, const char *button)
    {
        auto *b = w->findChild<QAbstractButton *>(QString::fromLatin1(button));
        QVERIFY2(b, button);
        QVERIFY2(b->isEnabled(), button);
        QTest::mouseClick(b, Qt::LeftButton);
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
        if (w)
            QTest::qWaitForWindowExposed(w);
        return w;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init()
    {
        m_settings = std::make_unique<test::TempSettings>();
        m_seams = std::make_unique<test::Seams>();
        m_probe = std::make_unique<LogbookProbe>();
        windows().reset();
        logbook::registerWindows();
        test::registerStub("frmLogMain");
    }

    void cleanup()
    {
        windows().reset();
        test::flushDeletes();
        m_probe.reset();
        m_seams.reset();
        m_settings.reset();
    }

    // The two buttons and the banner sit in a row of their own inside the
    // window, clear of every other control.
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
        QVERIFY(history && voidButton && banner);
        QCOMPARE(history->text(), QStringLiteral("History"));
        QCOMPARE(voidButton->text(), QStringLiteral("Void Entry\u2026"));
        QVERIFY(!banner->isVisible());
        const QRect client = w->rect();
        for (QWidget *mine : QList<QWidget *>{history, voidButton, banner}) {
            QVERIFY2(client.contains(mine->geometry()), qPrintable(mine->objectName()));
            for (QWidget *other : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (other == history || other == voidButton || other == banner || other->isHidden())
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

        // Cancelled, then an empty reason: nothing changes.
        m_seams->prompts->answers << QString() << QStringLiteral("  ");
        click(w, "cmdVoid");
        click(w, "cmdVoid");
        QCOMPARE(m_seams->prompts->labels.size(), 2);
        QCOMPARE(m_seams->messages->texts, QStringList{"A void entry needs a reason. The entry was not voided."});
        QCOMPARE(m_probe->sql(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"Voided\"").arg(table)).toInt(), 0);
        QVERIFY(!banner->isVisible());

        m_seams->prompts->answers << QStringLiteral("Entered twice");
        click(w, "cmdVoid");
        QCOMPARE(m_seams->messages->texts.size(), 1);
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QStringLiteral("VOID: Entered twice"));
        QCOMPARE(boxText(box), QStringLiteral("edited"));
        const QString field = logbook::RecordBinder::fieldOf(box);
        QCOMPARE(m_probe->field(table, field, 1).toString(), QStringLiteral("edited"));
        QCOMPARE(m_probe->field(table, "VoidReason", 1).toString(), QStringLiteral("Entered twice"));
        QVERIFY(m_probe->field(table, "Voided", 1).toBool());
        QVERIFY(!m_probe->field(table, "Voided", 0).toBool());
        QCOMPARE(m_probe->field(table, "RowVersion", 1).toInt(), 2);

        click(w, "cmdFirst");
        QCOMPARE(time->text(), QStringLiteral("d1"));
        QVERIFY(!banner->isVisible());
        click(w, "cmdLast");
        QCOMPARE(time->text(), QStringLiteral("d2"));
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QStringLiteral("VOID: Entered twice"));

        // Voided once is enough.
        click(w, "cmdVoid");
        QCOMPARE(m_seams->prompts->labels.size(), 3);
        QCOMPARE(m_seams->messages->texts.last(), QStringLiteral("This entry is void already (Entered twice)."));
        QVERIFY(w->close());
        test::flushDeletes();
        QCOMPARE(m_probe->count(table), 2);
    }

    // A new row nobody typed into: nothing to void, no reason asked.
    void voidOnNewRow()
    {
        RecordWindow *w = show("frmMisc");
        QVERIFY(w->moveLast() && w->beginNewRow());
        click(w, "cmdVoid");
        QVERIFY(m_seams->prompts->labels.isEmpty());
        QCOMPARE(m_seams->messages->texts, QStringList{"This entry is not stored yet, so there is nothing to void."});
        QVERIFY(w->close());
        test::flushDeletes();
        QCOMPARE(m_probe->count("Miscellaneous"), 0);
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
        // The unsaved edits are not history yet.
        logbook::frmRecordHistory *h = w->historyWindow();
        QVERIFY(h && h->isVisible());
        QTRY_COMPARE(h->lstHistory->topLevelItemCount(), 1);
        auto row = [&](int i) {
            QStringList texts;
            for (int c = 0; c < 6; ++c)
                texts << h->lstHistory->topLevelItem(i)->text(c);
            return texts;
        };
        QCOMPARE(row(0).mid(1, 3), (QStringList{"Note", "", "grease"}));
        QVERIFY2(row(0).at(0).endsWith(QLatin1String(" UTC")), qPrintable(row(0).at(0)));
        QCOMPARE(row(0).mid(4), (QStringList{QSysInfo::machineHostName(), history::osUser()}));
        QCOMPARE(h->lstHistory->headerItem()->text(0), QStringLiteral("When (UTC)"));

        // Stored by a move, then back: newest first.
        click(w, "cmdNext");
        QTRY_VERIFY(h->lblHistory->text().contains(QLatin1String("not changed")));
        QCOMPARE(h->lstHistory->topLevelItemCount(), 0);
        click(w, "cmdPrevious");
        QTRY_COMPARE(h->lstHistory->topLevelItemCount(), 3);
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
        const QString at = m_probe->field("Miscellaneous", "ChangedAtUtc").toString();

        click(w, "cmdQuit");
        test::flushDeletes();
        QCOMPARE(windows().existing("frmMisc"), w);
        QVERIFY(!windows().existing("frmLogMain"));
        QCOMPARE(m_seams->messages->texts,
                 QStringList{QStringLiteral("This entry was changed on %1 at %2 since you opened it. Press Return to Main "
                                            "again to store your version over it, or move away to keep theirs.")
                                 .arg(QSysInfo::machineHostName(), history::readableTime(at))});
        QCOMPARE(note->toPlainText(), QStringLiteral("ours"));
        QCOMPARE(m_probe->field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));

        click(w, "cmdQuit");
        test::flushDeletes();
        QVERIFY(!windows().existing("frmMisc"));
        QVERIFY(windows().existing("frmLogMain"));
        QCOMPARE(m_seams->messages->texts.size(), 1);
        QCOMPARE(m_probe->field("Miscellaneous", "Note").toString(), QStringLiteral("ours"));
        QList<history::Entry> entries;
        QVERIFY(history::read(*other, "Miscellaneous", m_probe->field("Miscellaneous", "BravikKey").toLongLong(),
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
        QCOMPARE(m_seams->messages->texts.size(), 1);
        QVERIFY(m_seams->messages->texts.first().startsWith("This entry was changed on "));
        QCOMPARE(time->text(), QStringLiteral("d1"));
        QCOMPARE(note->toPlainText(), QStringLiteral("ours"));

        click(w, "cmdNext");
        QCOMPARE(m_seams->messages->texts.size(), 1);
        QCOMPARE(time->text(), QStringLiteral("d2"));
        QCOMPARE(m_probe->field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));
        click(w, "cmdPrevious");
        QCOMPARE(note->toPlainText(), QStringLiteral("theirs"));
        QVERIFY(!w->cursor()->isChanged());
        QVERIFY(w->close());
        test::flushDeletes();
        QCOMPARE(m_probe->field("Miscellaneous", "Note").toString(), QStringLiteral("theirs"));
        QCOMPARE(m_probe->field("Miscellaneous", "RowVersion").toInt(), 1);
        QCOMPARE(m_probe->count("Miscellaneous"), 2);
    }
};

QTEST_MAIN(TestCorrectionWindows)
#include "tst_correctionwindows.moc"
