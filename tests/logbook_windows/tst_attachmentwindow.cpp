// "Attachments…" on the record windows, driven as a person does: clicks on
// the buttons, files chosen in the (scripted) file dialog, files dropped
// on the entry; open in the viewer, save a copy, void with a reason; and a
// server that stops answering while a large file is stored.

#include "AttachmentListModel.h"
#include "AttachmentsWindow.h"
#include "FreezableProxy.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestPhotos.h"
#include "TestPostgres.h"
#include "WindowManager.h"
#include "WindowTest.h"

#include <QAbstractItemModelTester>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace bravik;
using bravik::logbook::frmAttachments;
using bravik::logbook::RecordWindow;

namespace {

const QStringList kRecordWindows{"frmPredive",       "frmWeatherObservation", "frmMission", "frmMaintenance",
                                 "frmBatteryCharge", "frmTaskList",           "frmPurchases", "frmMisc"};

// Drops the files on a widget as a file manager would.
void drop(QWidget *target, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    QVERIFY(dropped.isAccepted());
}

} // namespace

class TestAttachmentWindow : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    RecordWindow *show(const QString &name)
    {
        auto *w = qobject_cast<RecordWindow *>(windows().show(name));
        if (w && !QTest::qWaitForWindowExposed(w))
            return nullptr;
        if (w && !QTest::qWaitFor([w] { return w->isOpen(); }, 20000))
            return nullptr;
        return w;
    }

    static void click(QWidget *w, const char *button)
    {
        auto *b = w->findChild<QAbstractButton *>(QString::fromLatin1(button));
        QVERIFY2(b, button);
        QTRY_VERIFY2(b->isEnabled() && b->isVisible(), button);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_window->settings.path(name);
        if (!test::writeBytes(path, bytes))
            qWarning("cannot write %s", qPrintable(path));
        return path;
    }

    void seedEntry(bool voided)
    {
        {
            QString error;
            auto db = logbook::Database::open({settings().databaseDriver, settings().database}, &error);
            QVERIFY2(db, qPrintable(error));
        }
        m_window->probe.sql(QStringLiteral("INSERT INTO \"VehicleMaintenance\" (\"Date/Time\", \"SubmittedBy\", \"Notes\", "
                                           "\"EntryId\", \"Voided\", \"VoidReason\") VALUES ('12/8/2026 09:00:00', "
                                           "'Ada', 'fairing', ?, ?, ?)"),
                            {logbook::newEntryId(), voided, voided ? QStringLiteral("wrong boat") : QString()});
    }

    static int rows(frmAttachments *a) { return a ? a->model()->rowCount() : -1; }

private Q_SLOTS:
    void initTestCase()
    {
        if (test::postgresRequested() && !test::postgresSkipReason().isEmpty())
            QSKIP(qPrintable(test::postgresSkipReason()));
    }

    void init() { m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")}); }

    void cleanup() { m_window.reset(); }

    // Add by the file dialog, list with thumbnails, open in the viewer, save
    // a copy, void with a reason: all by clicks.
    void addOpenSaveVoid()
    {
        seedEntry(false);
        RecordWindow *w = show("frmMaintenance");
        QVERIFY(w);
        click(w, "cmdAttachments");
        frmAttachments *a = w->attachmentsWindow();
        QVERIFY(a && a->isVisible());
        QAbstractItemModelTester tester(a->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTRY_COMPARE(a->lblStatus->text(), QStringLiteral("No files are attached to this entry."));

        const QByteArray photo = test::jpegPhoto(120, 80, 6, "2026:12:08 09:12:00");
        const QByteArray notImage("no picture here");
        for (const QString &path : {file(QStringLiteral("crack.jpg"), photo), file(QStringLiteral("fake.jpg"), notImage)}) {
            m_window->seams.dialogs->answers.enqueue(path);
            click(a, "cmdAdd");
            QTRY_VERIFY_WITH_TIMEOUT(!a->isStoring(), 20000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(rows(a), 2, 20000);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        auto *model = a->model();
        QCOMPARE(model->index(0, logbook::AttachmentListModel::Name).data().toString(), QStringLiteral("crack.jpg"));
        QCOMPARE(model->index(0, logbook::AttachmentListModel::TakenAt).data().toString(), QStringLiteral("2026-12-08 09:12:00"));
        const QPixmap thumb = model->index(0, 0).data(Qt::DecorationRole).value<QPixmap>();
        QVERIFY(!thumb.isNull());
        QVERIFY(thumb.height() > thumb.width());   // upright
        QVERIFY(model->index(1, 0).data(Qt::DecorationRole).isNull());

        // Open: a read-only copy handed to the desktop.
        QTest::mouseClick(a->lstAttachments->viewport(), Qt::LeftButton, {},
                          a->lstAttachments->visualRect(model->index(0, 1)).center());
        click(a, "cmdOpen");
        QTRY_COMPARE_WITH_TIMEOUT(m_window->seams.urls->opened.size(), 1, 20000);
        const QString viewed = m_window->seams.urls->opened.first().toLocalFile();
        QFile copy(viewed);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), photo);
        QVERIFY(!(copy.permissions() & QFile::WriteOwner));

        // Save a copy where the dialog says.
        const QString saved = m_window->settings.path(QStringLiteral("kept.jpg"));
        m_window->seams.dialogs->answers.enqueue(saved);
        click(a, "cmdSaveCopy");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(saved).size() == photo.size(), 20000);

        // Void: a blank reason is asked again, then it stays listed, greyed.
        m_window->seams.prompts->answers.enqueue(QStringLiteral(" "));
        m_window->seams.prompts->answers.enqueue(QStringLiteral("blurred"));
        click(a, "cmdVoidAttachment");
        QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() == 2 && model->attachment(0).voided, 20000);
        QCOMPARE(m_window->seams.prompts->labels.size(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("crack.jpg (VOID: blurred)"));
        QCOMPARE(model->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        QCOMPARE(m_window->probe.count("Attachment"), 2);
        QCOMPARE(m_window->probe.sql("SELECT \"VoidReason\" FROM \"Attachment\" WHERE \"FileName\" = 'crack.jpg'").toString(),
                 QStringLiteral("blurred"));
    }

    // A file dropped on the entry is attached at once; a new entry is
    // stored first; a void entry takes none.
    void dropOnEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("attached");
        QTest::newRow("stored entry") << "stored" << 1;
        QTest::newRow("new entry, typed") << "new" << 1;
        QTest::newRow("void entry") << "void" << 0;
    }

    void dropOnEntry()
    {
        QFETCH(QString, entry);
        QFETCH(int, attached);
        if (entry != QLatin1String("new"))
            seedEntry(entry == QLatin1String("void"));
        RecordWindow *w = show("frmMaintenance");
        QVERIFY(w);
        auto *notes = w->findChild<QPlainTextEdit *>("txtNotes");
        if (entry == QLatin1String("new")) {
            QVERIFY(w->beginNewRow());
            QVERIFY(test::waitForLogbook());
            notes->setFocus();
            QTest::keyClicks(notes, "cracked fairing");
        }
        const QString path = file(QStringLiteral("Фото 1.jpg"), test::jpegPhoto(40, 30, 1, {}));
        drop(notes, {path});
        QVERIFY(test::waitForLogbook());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->probe.count("Attachment"), attached, 20000);
        QCOMPARE(m_window->probe.count("VehicleMaintenance"), 1);
        if (entry == QLatin1String("new"))
            QCOMPARE(m_window->probe.field("VehicleMaintenance", "Notes").toString(), QStringLiteral("cracked fairing"));
        if (attached) {
            QVERIFY(w->attachmentsWindow() && w->attachmentsWindow()->isVisible());
            QTRY_COMPARE_WITH_TIMEOUT(rows(w->attachmentsWindow()), 1, 20000);
            QVERIFY(m_window->seams.messages->texts.isEmpty());
            // The text of the drop did not land in the box.
            QVERIFY(!notes->toPlainText().contains("file:"));
        } else {
            QCOMPARE(m_window->seams.messages->texts.size(), 1);
            QVERIFY(m_window->seams.messages->texts.first().contains("void"));
            // Its banner stands where "Attachments…" is on other entries.
            QVERIFY(!w->findChild<QPushButton *>("cmdAttachments")->isVisible());
        }
    }

    // The server stops answering while a large file is stored: the window
    // goes on answering, Stop ends it at once, and nothing of it is kept.
    void frozenServerWhileStoring()
    {
        if (!test::postgresRequested())
            QSKIP("a server only");
        test::FreezableProxy proxy;
        QString error;
        QVERIFY2(proxy.start(QStringLiteral("127.0.0.1:") + qEnvironmentVariable("PGPORT", QStringLiteral("5432")), &error),
                 qPrintable(error));
        seedEntry(false);
        Settings viaProxy = settings();
        viaProxy.database += QStringLiteral(" host=127.0.0.1 port=%1 connect_timeout=10").arg(proxy.port());
        setSettings(viaProxy);
        RecordWindow *w = show("frmMaintenance");
        QVERIFY(w);
        click(w, "cmdAttachments");
        frmAttachments *a = w->attachmentsWindow();
        QTRY_COMPARE(a->lblStatus->text(), QStringLiteral("No files are attached to this entry."));
        QByteArray big(50 * 1024 * 1024, 'v');
        const QString path = file(QStringLiteral("vehicle.log"), big);
        big.clear();
        proxy.freeze();
        m_window->seams.dialogs->answers.enqueue(path);
        click(a, "cmdAdd");
        QTRY_VERIFY_WITH_TIMEOUT(a->prgStore->value() >= 800, 20000);   // read; the store hangs
        QVERIFY(a->cmdStop->isVisible());
        // The windows answer meanwhile.
        QElapsedTimer answered;
        answered.start();
        QTest::mouseClick(a->cmdStop, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!a->isStoring(), 1000);
        QVERIFY(answered.elapsed() < 1000);
        QVERIFY(!a->prgStore->isVisible());
        QVERIFY2(a->lblStatus->text().contains("stopped; nothing of it was stored"), qPrintable(a->lblStatus->text()));
        proxy.thaw();
        w->close();
        QVERIFY(test::waitForLogbook());
        QTRY_COMPARE(m_window->probe.count("Attachment"), 0);
        QCOMPARE(m_window->probe.count("AttachmentContent"), 0);
    }
};

QTEST_MAIN(TestAttachmentWindow)
#include "tst_attachmentwindow.moc"
