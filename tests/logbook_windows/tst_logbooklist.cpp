// The list window: its model's keyset pages (under Qt's model tester), the
// filter typed as a person types it, opening an entry in its record window,
// a long search stopped with its button, printing, and a cancelled export.
#include "EntryListModel.h"
#include "FileIdentity.h"
#include "RecordCursor.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "WindowTest.h"
#include "TestPostgres.h"
#include "WindowManager.h"
#include "frmLogbookList.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace bravik;
using namespace bravik::logbook;
using bravik::test::LogbookProbe;

class LogbookListTest : public QObject
{
    Q_OBJECT

    std::optional<test::WindowTest> m_window;

    void addNotes(int n, const QString &prefix = QStringLiteral("note "))
    {
        m_window->probe.sql(QStringLiteral("BEGIN"));
        for (int i = 1; i <= n; ++i)
            m_window->probe.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\", \"SubmittedBy\") VALUES (?, 'Ana')"),
                         {prefix + QString::number(i)});
        m_window->probe.sql(QStringLiteral("COMMIT"));
    }

private Q_SLOTS:
    void init()
    {
        m_window.emplace(logbook::registerWindows, QStringList{QStringLiteral("frmLogMain")});
        // Makes the logbook's tables.
        QVERIFY(Database::open({settings().databaseDriver, settings().database}, nullptr));
    }

    void cleanup() { m_window.reset(); }

    // Pages arrive as the view asks; rows added meanwhile by someone else
    // do not disturb them: every row once, newest first.
    void modelPagesUnderTester()
    {
        addNotes(25);
        EntryListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setPageSize(10);
        model.setQuery({settings().databaseDriver, settings().database}, QStringLiteral("Miscellaneous"), {});
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 10, 10000);
        QTRY_VERIFY(!model.isBusy());
        QVERIFY(model.canFetchMore());
        addNotes(3, QStringLiteral("later "));
        model.fetchMore();
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 20, 10000);
        QTRY_VERIFY(!model.isBusy());
        model.fetchMore();
        QTRY_VERIFY_WITH_TIMEOUT(model.isExhausted() && !model.isBusy(), 10000);
        QCOMPARE(model.rowCount(), 25);
        QVERIFY(!model.canFetchMore());
        const int note = model.headerData(0, Qt::Horizontal).toString() == QLatin1String("Date/Time") ? 2 : -1;
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Submitted By"));
        for (int r = 0; r < 25; ++r)
            QCOMPARE(model.data(model.index(r, note)).toString(), QStringLiteral("note %1").arg(25 - r));
    }

    void longTextShortenedWithTooltip()
    {
        const QString longText = QString(100, QLatin1Char('x')) + QStringLiteral("\nsecond line");
        m_window->probe.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\") VALUES (?)"), {longText});
        EntryListModel model;
        model.setQuery({settings().databaseDriver, settings().database}, QStringLiteral("Miscellaneous"), {});
        QTRY_COMPARE(model.rowCount(), 1);
        const QString shown = model.data(model.index(0, 2)).toString();
        QVERIFY(shown.size() <= 60);
        QVERIFY(shown.endsWith(QChar(0x2026)));
        QCOMPARE(model.data(model.index(0, 2), Qt::ToolTipRole).toString(), longText);
    }

    // Typed into the window: the filter narrows the list; a bad date says so.
    void filterTypedInTheWindow()
    {
        addNotes(5);
        m_window->probe.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\", \"SubmittedBy\") VALUES ('Battery 100% charged', 'Ben')"));
        auto *w = windows().show<frmLogbookList>();
        QVERIFY(w);
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_COMPARE(w->model()->rowCount(), 6);
        QTest::keyClicks(w->txtContains, QStringLiteral("0% CH"));
        QTest::keyClick(w->txtContains, Qt::Key_Return);
        QTRY_COMPARE(w->model()->rowCount(), 1);
        QTRY_VERIFY(!w->model()->isBusy());
        QCOMPARE(w->model()->data(w->model()->index(0, 1)).toString(), QStringLiteral("Ben"));
        QCOMPARE(w->lblStatus->text(), QStringLiteral("1 entry"));

        QTest::keyClicks(w->txtSince, QStringLiteral("yesterday"));
        QTest::keyClick(w->txtSince, Qt::Key_Return);
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY(m_window->seams.messages->texts.first().contains(QLatin1String("is not a date")));
    }

    // Open: the record window moves to that row, on the first Enter even
    // while that window is still opening; what was typed in the window's
    // own row is stored first, and the list shows the row's new values.
    void openLandsOnTheRow_data()
    {
        QTest::addColumn<bool>("windowOpen");
        QTest::newRow("record window open") << true;
        QTest::newRow("record window not open yet") << false;
    }
    void openLandsOnTheRow()
    {
        QFETCH(bool, windowOpen);
        addNotes(30);
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_COMPARE(w->model()->rowCount(), 30);
        QTRY_VERIFY(!w->model()->isBusy());
        QPlainTextEdit *note = nullptr;
        RecordWindow *record = nullptr;
        if (windowOpen) {
            record = qobject_cast<RecordWindow *>(windows().show(QStringLiteral("frmMisc")));
            QTRY_VERIFY(record->isOpen());
            QVERIFY(record->moveLast());
            QVERIFY(test::waitForLogbook());
            note = record->findChild<QPlainTextEdit *>(QStringLiteral("txtNote"));
            note->setFocus();
            QTest::keyClick(note, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(note, QStringLiteral(" edited"));
        }

        w->grdEntries->setFocus();
        w->grdEntries->setCurrentIndex(w->model()->index(17, 0));   // "note 13"
        QTest::keyClick(w->grdEntries, Qt::Key_Return);
        record = qobject_cast<RecordWindow *>(windows().existing(QStringLiteral("frmMisc")));
        QVERIFY(record);
        note = record->findChild<QPlainTextEdit *>(QStringLiteral("txtNote"));
        QTRY_COMPARE(note->toPlainText(), QStringLiteral("note 13"));
        QCOMPARE(record->cursor()->currentKey(), w->model()->keyAt(17));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        if (!windowOpen)
            return;
        QCOMPARE(m_window->probe.sql(QStringLiteral("SELECT \"Note\" FROM \"Miscellaneous\" ORDER BY \"BravikKey\" DESC LIMIT 1")).toString(),
                 QStringLiteral("note 30 edited"));
        // The list shows what this program stored, without a new search.
        QTRY_COMPARE(w->model()->data(w->model()->index(0, 2)).toString(), QStringLiteral("note 30 edited"));
        QVERIFY(!w->model()->data(w->model()->index(0, 0), Qt::DecorationRole).isNull());
    }

    // The columns fit the first page: each as wide as it needs, the notes
    // taking what is left, the Date/Time cell with room for the mark.
    void columnsSizedToTheFirstPage()
    {
        addNotes(5);
        m_window->probe.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"Date/Time\" = '12/08/2026 04:29:18', "
                                    "\"RowVersion\" = 1"));
        auto *w = windows().show<frmLogbookList>();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_COMPARE(w->model()->rowCount(), 5);
        QTRY_VERIFY(!w->model()->isBusy());
        QTableView *grid = w->grdEntries;
        const QFontMetrics metrics = grid->fontMetrics();
        const int dateText = metrics.horizontalAdvance(QStringLiteral("12/08/2026 04:29:18"));
        QVERIFY2(grid->columnWidth(0) >= dateText + 16, qPrintable(QString::number(grid->columnWidth(0))));
        QVERIFY(grid->columnWidth(1) < metrics.horizontalAdvance(QStringLiteral("Submitted By")) + 40);
        int all = 0;
        for (int c = 0; c < w->model()->columnCount(); ++c)
            all += grid->columnWidth(c);
        QVERIFY2(all >= grid->viewport()->width(), qPrintable(QStringLiteral("%1 < %2").arg(all).arg(grid->viewport()->width())));
        QVERIFY(grid->columnWidth(2) > grid->columnWidth(1));
    }

    void cancelledExportLeavesNoFile()
    {
        addNotes(50000);   // enough that the export is still running when Cancel is pressed
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        const QString path = m_window->settings.path(QStringLiteral("out.csv"));
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(w->cmdExportCsv, Qt::LeftButton);
        QProgressDialog *progress = w->exportProgress();
        QVERIFY(progress);
        auto *cancel = progress->findChild<QPushButton *>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);   // as the user does
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 20000);
        QVERIFY(!QFile::exists(path));

        // And whole when not cancelled.
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(w->cmdExportCsv, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 30000);
        QVERIFY(QFile::exists(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("\r\n"), 50001);
        QVERIFY(w->lblStatus->text().startsWith(QLatin1String("Exported to")));
    }

    // Marks five notes as corrected and voided the way the record windows
    // store it: 2 and 4 corrected, 3 and 4 voided (which raises the
    // version too).
    void correctSomeNotes()
    {
        addNotes(5);
        m_window->probe.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"RowVersion\" = 1, \"ChangedAtUtc\" = '2026-12-08T05:00:00Z' "
                                    "WHERE \"Note\" IN ('note 2', 'note 4')"));
        m_window->probe.sql(QStringLiteral("UPDATE \"Miscellaneous\" SET \"Voided\" = TRUE, \"VoidReason\" = 'wrong vehicle', "
                                    "\"RowVersion\" = \"RowVersion\" + 1 WHERE \"Note\" IN ('note 3', 'note 4')"));
    }

    // The list shows every row, voided ones too: corrected rows carry a
    // mark on their Date/Time cell, voided ones are grey with the reason.
    void correctedAndVoidedRowsShown()
    {
        correctSomeNotes();
        EntryListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setQuery({settings().databaseDriver, settings().database}, QStringLiteral("Miscellaneous"), {});
        QTRY_VERIFY(!model.isBusy() && model.rowCount() == 5);
        for (int r = 0; r < 5; ++r) {
            const QString note = model.data(model.index(r, 2)).toString();
            const bool voided = note == QLatin1String("note 3") || note == QLatin1String("note 4");
            const bool changed = note == QLatin1String("note 2") || voided;   // a void counts as a change
            const QModelIndex first = model.index(r, 0), other = model.index(r, 2);
            QCOMPARE(model.data(first, Qt::DecorationRole).isValid(), changed);
            QVERIFY(!model.data(other, Qt::DecorationRole).isValid());   // the mark is on the first cell only
            const QString tip = model.data(first, Qt::ToolTipRole).toString();
            QCOMPARE(tip.contains(QLatin1String("Changed after it was first stored")), changed);
            for (const QModelIndex &i : {first, other}) {
                const QVariant fg = model.data(i, Qt::ForegroundRole);
                QCOMPARE(fg.isValid(), voided);
                if (voided) {
                    const QColor c = fg.value<QBrush>().color();
                    QVERIFY2(c.saturation() < 30 && c.lightness() > 100 && c.lightness() < 200, qPrintable(c.name()));
                }
                QCOMPARE(model.data(i, Qt::ToolTipRole).toString().startsWith(QLatin1String("VOID: wrong vehicle")), voided);
            }
            QCOMPARE(model.data(other, Qt::ToolTipRole).toString().endsWith(note), true);
        }
    }

    // "Include void entries" decides whether the window's CSV export takes
    // the voided rows; the list shows them either way.
    void exportTakesVoidOnlyWhenChecked_data()
    {
        QTest::addColumn<bool>("check");
        QTest::newRow("left out") << false;
        QTest::newRow("included") << true;
    }
    void exportTakesVoidOnlyWhenChecked()
    {
        QFETCH(bool, check);
        correctSomeNotes();
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_VERIFY(!w->model()->isBusy() && w->model()->rowCount() == 5);
        auto *box = w->findChild<QCheckBox *>(QStringLiteral("chkIncludeVoid"));
        QVERIFY(box && !box->isChecked());
        if (check)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        QCOMPARE(box->isChecked(), check);
        QCOMPARE(w->model()->rowCount(), 5);
        const QString path = m_window->settings.path(QStringLiteral("void.csv"));
        m_window->seams.dialogs->answers.enqueue(path);
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdExportCsv")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 20000);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains("note 1") && bytes.contains("note 2") && bytes.contains("note 5"));
        QCOMPARE(bytes.contains("note 3"), check);
        QCOMPARE(bytes.contains("note 4"), check);
        QCOMPARE(bytes.count("\r\n"), check ? 6 : 4);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    // Print… prints what the list shows (its filter applied); cancelling
    // the dialog prints nothing and says nothing.
    void printShownEntries_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("printed") << true;
        QTest::newRow("cancelled") << false;
    }
    void printShownEntries()
    {
        QFETCH(bool, accept);
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (accept && pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        addNotes(12);
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_COMPARE(w->model()->rowCount(), 12);
        QTest::keyClicks(w->txtContains, QStringLiteral("NOTE 1"));
        QTest::keyClick(w->txtContains, Qt::Key_Return);
        QTRY_VERIFY(!w->model()->isBusy() && w->model()->rowCount() == 4);   // 1, 10, 11, 12

        const QString path = m_window->settings.path(QStringLiteral("printed.pdf"));
        m_window->seams.printing->answers.enqueue(accept ? path : QString());
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
        QCOMPARE(m_window->seams.printing->asked, 1);
        QCOMPARE(bool(w->exportProgress()), accept);   // printing runs behind a progress dialog
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 30000);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        QCOMPARE(QFile::exists(path), accept);
        if (!accept)
            return;
        QVERIFY2(w->lblStatus->text().startsWith(QLatin1String("Sent to the printer.")), qPrintable(w->lblStatus->text()));
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QString text = QString::fromUtf8(p.readAllStandardOutput()).simplified();
        QVERIFY2(text.contains(QStringLiteral("containing \"NOTE 1\"")), qPrintable(text.left(300)));
        for (int r = 0; r < w->model()->rowCount(); ++r) {
            const QString entry = QStringLiteral("Entry %1").arg(w->model()->keyAt(r));
            QVERIFY2(text.contains(entry + QLatin1Char(' ')) || text.endsWith(entry), qPrintable(entry));
            const QString note = w->model()->data(w->model()->index(r, 2), Qt::UserRole).toString();
            QVERIFY2(text.contains(note), qPrintable(note));
        }
        QVERIFY(!text.contains(QStringLiteral("note 5")));
        QVERIFY(!text.contains(QStringLiteral("note 2 ")));
    }

    // A long print keeps the window answering and stops at Cancel.
    void longPrintCancelled()
    {
        addNotes(3000);
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_VERIFY(!w->model()->isBusy() && w->model()->rowCount() > 0);
        m_window->seams.printing->answers.enqueue(m_window->settings.path(QStringLiteral("long.pdf")));
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(5);
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
        QProgressDialog *progress = w->exportProgress();
        QVERIFY(progress);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
        QVERIFY2(w->exportProgress(), "the print ended before Cancel could be pressed");
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 30000);
        QVERIFY2(w->lblStatus->text().startsWith(QLatin1String("Printing cancelled.")), qPrintable(w->lblStatus->text()));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }

    // The logbook's own file chosen as the output, spelt another way:
    // refused with a message, nothing written, the logbook as it was.
    void exportRefusesTheLogbook_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("csv") << "cmdExportCsv";
        QTest::newRow("pdf") << "cmdExportPdf";
        QTest::newRow("print to a file") << "cmdPrint";
    }
    void exportRefusesTheLogbook()
    {
        if (LogbookProbe::isPostgres())
            QSKIP("a server's logbook has no file to write over");
        QFETCH(QString, button);
        addNotes(3);
        const QFileInfo logbook(settings().database);
        const QString spelt = logbook.absolutePath() + QStringLiteral("/./../") + logbook.dir().dirName() + QLatin1Char('/')
                              + logbook.fileName();
        // Looked at without opening it: closing another handle on the file
        // would drop the engine's locks in this process.
        const auto look = [&logbook] {
            const QFileInfo now(logbook.absoluteFilePath());
            return QStringLiteral("%1 %2 %3").arg(fileIdentity(now.filePath()).file).arg(now.size())
                .arg(now.lastModified().toMSecsSinceEpoch());
        };
        const QString before = look();
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_VERIFY(!w->model()->isBusy() && w->model()->rowCount() == 3);
        m_window->seams.dialogs->answers.enqueue(spelt);
        m_window->seams.printing->answers.enqueue(spelt);
        QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 20000);
        QCOMPARE(m_window->seams.messages->texts.size(), 1);
        QVERIFY2(m_window->seams.messages->texts.first().startsWith(QStringLiteral("\"%1\" is the logbook file").arg(spelt)),
                 qPrintable(m_window->seams.messages->texts.first()));
        QCOMPARE(look(), before);
        QCOMPARE(m_window->probe.count(QStringLiteral("Miscellaneous")), 3);
    }

    // With "Include void entries" the list shows which rows are void and
    // why; without, the two columns go again.
    void voidColumnsShownWhenIncluded()
    {
        correctSomeNotes();
        auto *w = windows().show<frmLogbookList>();
        QAbstractItemModelTester tester(w->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_VERIFY(!w->model()->isBusy() && w->model()->rowCount() == 5);
        EntryListModel *model = w->model();
        auto headers = [model] {
            QStringList names;
            for (int c = 0; c < model->columnCount(); ++c)
                names << model->headerData(c, Qt::Horizontal).toString();
            return names;
        };
        const QStringList plain = headers();
        QVERIFY(!plain.contains(QStringLiteral("Voided")));
        QTest::mouseClick(w->chkIncludeVoid, Qt::LeftButton, {}, QPoint(4, w->chkIncludeVoid->height() / 2));
        const QStringList withVoid = plain + QStringList{QStringLiteral("Voided"), QStringLiteral("Void Reason")};
        QCOMPARE(headers(), withVoid);
        const int voided = int(plain.size()), reason = voided + 1;
        for (int r = 0; r < 5; ++r) {
            const QString note = model->data(model->index(r, 2)).toString();
            const bool isVoid = note == QLatin1String("note 3") || note == QLatin1String("note 4");
            QCOMPARE(model->data(model->index(r, voided)).toString(), isVoid ? QStringLiteral("Yes") : QStringLiteral("No"));
            QCOMPARE(model->data(model->index(r, reason)).toString(), isVoid ? QStringLiteral("wrong vehicle") : QString());
        }
        // A new search keeps them; unchecked, they go.
        QTest::keyClick(w->txtContains, Qt::Key_Return);
        QTRY_VERIFY(!model->isBusy() && model->rowCount() == 5);
        QCOMPARE(headers().size(), plain.size() + 2);
        QTest::mouseClick(w->chkIncludeVoid, Qt::LeftButton, {}, QPoint(4, w->chkIncludeVoid->height() / 2));
        QCOMPARE(headers(), plain);
    }

    // "Print…" to a PDF file leaves the margins of "Export PDF…".
    void printKeepsTheExportMargins()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        addNotes(3);
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_VERIFY(!w->model()->isBusy() && w->model()->rowCount() == 3);
        const QString printed = m_window->settings.path(QStringLiteral("printed.pdf")),
                      exported = m_window->settings.path(QStringLiteral("exported.pdf"));
        m_window->seams.printing->answers.enqueue(printed);
        QTest::mouseClick(w->cmdPrint, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 30000);
        m_window->seams.dialogs->answers.enqueue(exported);
        QTest::mouseClick(w->cmdExportPdf, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->exportProgress(), 30000);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
        // The leftmost and topmost word on the first page, in points.
        auto corner = [&](const QString &pdf) {
            QProcess p;
            p.start(pdftotext, {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                QStringLiteral("1"), pdf, QStringLiteral("-")});
            p.waitForFinished(30000);
            static const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\""));
            QPointF least(1e9, 1e9);
            for (auto m = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); m.hasNext();) {
                const auto match = m.next();
                least.setX(std::min(least.x(), match.captured(1).toDouble()));
                least.setY(std::min(least.y(), match.captured(2).toDouble()));
            }
            return least;
        };
        const QPointF a = corner(printed), b = corner(exported);
        const double mm = 72 / 25.4;
        QVERIFY2(b.x() >= 15 * mm && b.y() >= 15 * mm, qPrintable(QStringLiteral("%1 %2").arg(b.x()).arg(b.y())));
        QVERIFY2(std::abs(a.x() - b.x()) < 0.5 * mm && std::abs(a.y() - b.y()) < 0.5 * mm,
                 qPrintable(QStringLiteral("printed at %1, %2 pt; exported at %3, %4 pt").arg(a.x()).arg(a.y()).arg(b.x()).arg(b.y())));
    }

    // On a server that folds the case of A to Z only, the list says so.
    void noticeOfAPlainCaseServer()
    {
        if (!LogbookProbe::isPostgres())
            QSKIP("a server's text settings; a logbook file keeps its text as UTF-8");
        auto *w = windows().show<frmLogbookList>();
        QTRY_VERIFY(!w->model()->isBusy());
        QVERIFY(!w->lblNotice->isVisible());
        windows().reset();
        test::flushDeletes();
        test::PostgresDatabase server(QStringLiteral("ENCODING 'UTF8' LC_CTYPE 'C' LC_COLLATE 'C' TEMPLATE template0"));
        QVERIFY2(server.isValid(), qPrintable(server.error()));
        Settings s = settings();
        s.database = server.location();
        setSettings(s);
        logbook::registerWindows();
        w = windows().show<frmLogbookList>();
        QTRY_VERIFY(!w->model()->isBusy());
        QVERIFY(w->lblNotice->isVisible());
        QVERIFY2(w->lblNotice->text().contains(QStringLiteral("plain letters A to Z only")), qPrintable(w->lblNotice->text()));
        windows().reset();
        test::flushDeletes();
    }

    // A search through a large table for a text nowhere in it: the window
    // goes on answering, Stop ends the search, and a new one works.
    void stopALongSearchWithTheButton()
    {
        const QString padding = QStringLiteral(" Battery swap, tailcone checked, fins and antenna inspected, "
                                               "O-rings greased, vacuum held at 8 inHg for ten minutes, all good.");
        const int rows = 300000;
        m_window->probe.sql(QStringLiteral("INSERT INTO \"Miscellaneous\" (\"Note\", \"SubmittedBy\") "
                                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                    "SELECT 'note ' || i || ?, 'Ana' FROM n").arg(rows),
                     {padding});
        QCOMPARE(m_window->probe.count(QStringLiteral("Miscellaneous")), rows);
        auto *w = windows().show<frmLogbookList>();
        w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Miscellaneous")));
        QTRY_VERIFY_WITH_TIMEOUT(!w->model()->isBusy() && w->model()->rowCount() > 0, 20000);
        auto *stop = w->findChild<QPushButton *>(QStringLiteral("cmdStop"));
        QVERIFY(stop && !stop->isEnabled());

        int ticks = 0;
        QTimer timer;
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start();
        w->txtContains->setFocus();
        QTest::keyClicks(w->txtContains, QStringLiteral("zebra"));
        QTest::keyClick(w->txtContains, Qt::Key_Return);
        QVERIFY(w->model()->isBusy());
        QVERIFY(stop->isEnabled());
        QVERIFY(w->lblStatus->text().startsWith(QLatin1String("Searching")));
        // The event loop runs while the search does.
        const int before = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= before + 3, 5000);
        QVERIFY2(w->model()->isBusy(), "the search ended before Stop could be pressed");
        QTest::mouseClick(stop, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->model()->isBusy(), 10000);
        QVERIFY(w->model()->wasStopped());
        QCOMPARE(w->model()->rowCount(), 0);
        QCOMPARE(w->lblStatus->text(), QStringLiteral("Search stopped: 0 found. Press Find to search again."));
        QVERIFY(!stop->isEnabled());

        // A new search afterwards runs to its end.
        w->txtContains->clear();
        QTest::keyClicks(w->txtContains, QStringLiteral("note 29999"));
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdFind")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->model()->isBusy(), 60000);
        QVERIFY(!w->model()->wasStopped());
        QCOMPARE(w->model()->rowCount(), 11);   // 299990 to 299999, then 29999
        QCOMPARE(w->lblStatus->text(), QStringLiteral("11 entries"));
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    }
};

QTEST_MAIN(LogbookListTest)
#include "tst_logbooklist.moc"
