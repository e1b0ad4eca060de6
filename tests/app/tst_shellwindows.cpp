#include "Settings.h"
#include "ShellWindows.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace bravik;

class TestShellWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void singleInstanceAndFreshContentsAfterUnload();
    void splashHandsOverToMainWindow();
    void mainWindowAtCreation();
    void clockTicksAndOverwritesTypedText();
    void exitYesLeavesNoWindow();
    void exitNoBringsFreshMainWindow();
    void enterAnswersTheFocusedButton();
    void recordWindowKeepsProgramAliveAfterYes();
    void invalidCategories_data();
    void invalidCategories();
    void oneNoticeOnly();

private:
    frmLogMain *main() { return windows().existing<frmLogMain>(); }
    int quits = 0;
    std::optional<test::WindowTest> m_window;
};

void TestShellWindows::init()
{
    m_window.emplace(registerShellWindows);
    quits = 0;
}

void TestShellWindows::cleanup()
{
    m_window.reset();
}

void TestShellWindows::singleInstanceAndFreshContentsAfterUnload()
{
    auto *first = windows().show<frmLogMain>();
    QVERIFY(first);
    QCOMPARE(windows().show<frmLogMain>(), first);
    QCOMPARE(windows().window<frmLogMain>(), first);

    first->cmbEventType->setEditText(QStringLiteral("Purchases"));
    first->cmbSubmittedBy->setEditText(QStringLiteral("Ben"));
    QPointer<frmLogMain> gone = first;
    QVERIFY(first->close());
    QVERIFY(!windows().existing<frmLogMain>());
    test::flushDeletes();
    QVERIFY(gone.isNull());

    // Touching a control of an unloaded window loads it afresh.
    auto *again = windows().window<frmLogMain>();
    QVERIFY(again);
    QVERIFY(!again->isVisible());
    QCOMPARE(again->cmbEventType->currentText(), QStringLiteral("Log Entry Category"));
    QCOMPARE(again->cmbSubmittedBy->currentText(), QString());
}

void TestShellWindows::splashHandsOverToMainWindow()
{
    auto *splash = windows().show<frmWelcome>();
    QCOMPARE(splash->windowTitle(), QStringLiteral("Automated Logbook"));
    QCOMPARE(splash->Label1->text(), QStringLiteral("Bravik AUV Log Utility"));
    QCOMPARE(splash->Label1->font().bold(), true);
    QCOMPARE(splash->imgEel->pixmap().size(), QSize(100, 50));
    QCOMPARE(splash->Timer1->interval(), 750);
    QVERIFY(splash->Timer1->isSingleShot());
    QVERIFY(!main());
    QTRY_VERIFY_WITH_TIMEOUT(main() && main()->isVisible(), 3000);
    QVERIFY(!windows().existing<frmWelcome>());
    QCOMPARE(windows().loadedWindows(), QStringList{"frmLogMain"});
}

void TestShellWindows::mainWindowAtCreation()
{
    auto *w = windows().show<frmLogMain>();
    QCOMPARE(w->windowTitle(), QStringLiteral("Team Bravik Event  Log"));
    QCOMPARE(w->txtTime->text(), QString());  // empty until the first tick
    QCOMPARE(w->cmbEventType->count(), 9);
    QCOMPARE(w->cmbEventType->itemText(0), QStringLiteral("Vehicle Maintenance"));
    QCOMPARE(w->cmbEventType->itemText(5), QStringLiteral("Build Mission"));
    QCOMPARE(w->cmbEventType->itemText(8), QStringLiteral("Miscellaneous"));
    QCOMPARE(w->cmbEventType->currentIndex(), -1);
    QCOMPARE(w->cmbEventType->currentText(), QStringLiteral("Log Entry Category"));
    QCOMPARE(w->cmbSubmittedBy->count(), settings().crewRoster.size());
    QCOMPARE(w->cmbSubmittedBy->currentText(), QString());
    QVERIFY(w->cmbEventType->isEditable() && w->cmbSubmittedBy->isEditable());
    QCOMPARE(w->Timer2->interval(), 1000);
    QCOMPARE(w->cmdSubmitEntry->text(), QStringLiteral("Submit Log Entry"));
    QCOMPARE(w->cmdQuit->text(), QStringLiteral("Exit Log"));
    QVERIFY(!w->cmdQuit->isDefault() && !w->cmdSubmitEntry->isDefault());
    // No caption is cut off, whatever the fonts on this machine.
    for (QLabel *label : {w->Label1, w->lblSubmittedby})
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    for (int i = 0; i < w->cmbEventType->count(); ++i)
        QVERIFY2(w->cmbEventType->width() > w->fontMetrics().horizontalAdvance(w->cmbEventType->itemText(i)),
                 qPrintable(w->cmbEventType->itemText(i)));
    QVERIFY(w->cmbEventType->geometry().right() < w->Image1->x());

    // Tab order: Exit Log, category, Submit, clock, submitter; then the
    // band below them, which the window grew to hold.
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->cmdQuit));
    const QList<QWidget *> expected{w->cmbEventType, w->cmdSubmitEntry, w->txtTime, w->cmbSubmittedBy,
                                    w->cmdOperations, w->cmdChart, w->cmdQuit};
    QVERIFY(w->cmdOperations->y() > w->cmdFindEntries->geometry().bottom());
    QVERIFY(w->cmdOperations->geometry().bottom() < w->height());
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *f = QApplication::focusWidget();
        QVERIFY2(f == next || f->parentWidget() == next,
                 qPrintable(QStringLiteral("focus on %1, expected %2").arg(f->objectName(), next->objectName())));
    }
}

void TestShellWindows::clockTicksAndOverwritesTypedText()
{
    auto *w = windows().show<frmLogMain>();
    w->txtTime->setText(QStringLiteral("typed by hand"));
    QTRY_VERIFY_WITH_TIMEOUT(w->txtTime->text() != QLatin1String("typed by hand"), 2500);
    const QString t = w->txtTime->text();
    QVERIFY2(t.contains(QString::number(QDate::currentDate().year())), qPrintable(t));
}

void TestShellWindows::exitYesLeavesNoWindow()
{
    auto *w = windows().show<frmLogMain>();
    QTest::mouseClick(w->cmdQuit, Qt::LeftButton);
    QVERIFY(!main());
    auto *q = windows().existing<frmQuitDialog>();
    QVERIFY(q && q->isVisible());
    QCOMPARE(q->windowTitle(), QStringLiteral("Quit vehicle log?"));
    QCOMPARE(q->lblQuestion->text(), QStringLiteral("Do you really want to exit?"));
    QTest::mouseClick(q->cmdYes, Qt::LeftButton);
    QVERIFY(windows().loadedWindows().isEmpty());
}

void TestShellWindows::exitNoBringsFreshMainWindow()
{
    auto *w = windows().show<frmLogMain>();
    w->cmbEventType->setEditText(QStringLiteral("Task List"));
    w->cmbSubmittedBy->setEditText(QStringLiteral("Cai"));
    w->tick();
    QTest::mouseClick(w->cmdQuit, Qt::LeftButton);
    auto *q = windows().existing<frmQuitDialog>();
    QVERIFY(q);
    QTest::mouseClick(q->cmdNo, Qt::LeftButton);
    QVERIFY(!windows().existing<frmQuitDialog>());
    auto *fresh = main();
    QVERIFY(fresh && fresh->isVisible());
    QCOMPARE(fresh->cmbEventType->currentText(), QStringLiteral("Log Entry Category"));
    QCOMPARE(fresh->cmbSubmittedBy->currentText(), QString());
    QCOMPARE(fresh->txtTime->text(), QString());
}

void TestShellWindows::enterAnswersTheFocusedButton()
{
    auto *w = windows().show<frmLogMain>();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    auto *q = windows().existing<frmQuitDialog>();
    QVERIFY(q);
    QVERIFY(QTest::qWaitForWindowActive(q));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(q->cmdYes));
    QTest::keyClick(q->cmdYes, Qt::Key_Return);
    QVERIFY(windows().loadedWindows().isEmpty());
}

void TestShellWindows::recordWindowKeepsProgramAliveAfterYes()
{
    // Any other window stands in for a record window left open.
    windows().registerWindow(QStringLiteral("frmMisc"), [] { return new ManagedWindow; });
    windows().show(QStringLiteral("frmMisc"));
    auto *w = windows().show<frmLogMain>();
    QTest::mouseClick(w->cmdQuit, Qt::LeftButton);
    QTest::mouseClick(windows().existing<frmQuitDialog>()->cmdYes, Qt::LeftButton);
    QCOMPARE(windows().loadedWindows(), QStringList{"frmMisc"});
}

void TestShellWindows::invalidCategories_data()
{
    QTest::addColumn<QString>("category");
    QTest::newRow("prompt") << "Log Entry Category";
    QTest::newRow("empty") << "";
    QTest::newRow("lower case") << "vehicle maintenance";
    QTest::newRow("trailing blank") << "Purchases ";
    QTest::newRow("leading blank") << " Task List";
}

void TestShellWindows::invalidCategories()
{
    QFETCH(QString, category);
    auto *w = windows().show<frmLogMain>();
    w->cmbEventType->setEditText(category);
    QTest::mouseClick(w->cmdSubmitEntry, Qt::LeftButton);
    auto *notice = windows().existing<frmInvalidEntry>();
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->windowTitle(), QStringLiteral("Invalid log entry type"));
    QCOMPARE(notice->Label1->text(), QStringLiteral("Invalid log entry type"));
    QCOMPARE(windows().loadedWindows(), (QStringList{"frmInvalidEntry", "frmLogMain"}));
    // The main window keeps its texts.
    QCOMPARE(w->cmbEventType->currentText(), category);

    QTest::mouseClick(notice->OKButton, Qt::LeftButton);
    QVERIFY(!windows().existing<frmInvalidEntry>());
    QCOMPARE(main(), w);
}

void TestShellWindows::oneNoticeOnly()
{
    auto *w = windows().show<frmLogMain>();
    w->cmbEventType->setEditText(QStringLiteral("nonsense"));
    QTest::mouseClick(w->cmdSubmitEntry, Qt::LeftButton);
    auto *notice = windows().existing<frmInvalidEntry>();
    QTest::mouseClick(w->cmdSubmitEntry, Qt::LeftButton);
    QCOMPARE(windows().existing<frmInvalidEntry>(), notice);
    int notices = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("frmInvalidEntry") && top->isVisible())
            ++notices;
    QCOMPARE(notices, 1);

    // OK after the main window was closed builds a fresh one.
    w->close();
    QTest::mouseClick(notice->OKButton, Qt::LeftButton);
    QVERIFY(main() && main()->isVisible());
    QCOMPARE(main()->cmbEventType->currentText(), QStringLiteral("Log Entry Category"));
}

QTEST_MAIN(TestShellWindows)
#include "tst_shellwindows.moc"
