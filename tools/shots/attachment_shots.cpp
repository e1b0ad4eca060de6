// Pictures of a maintenance entry with two photos attached (the record
// window and its attachments window) and of the first page of the entries'
// PDF export with their thumbnails, for looking at them:
//   xvfb-run attachment-shots OUTPUT_FOLDER

#include "AttachmentListModel.h"
#include "AttachmentsWindow.h"
#include "EntryExport.h"
#include "RecordWindow.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "TestPhotos.h"
#include "WindowManager.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTableView>
#include <QTest>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: attachment-shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.absolutePath()))
        return 1;
    bravik::test::TempSettings settings;
    bravik::test::Seams seams;
    bravik::logbook::registerWindows();
    auto settle = [] { return bravik::test::waitForLogbook(); };
    auto wait = [](int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QApplication::processEvents();
    };

    auto *w = qobject_cast<bravik::logbook::RecordWindow *>(bravik::windows().window("frmMaintenance"));
    if (!w || !settle() || !w->beginNewRow() || !settle()) {
        std::fprintf(stderr, "the maintenance window did not open on a new entry\n");
        return 1;
    }
    bravik::windows().show("frmMaintenance");
    auto typeInto = [](QWidget *box, const QString &text) {
        box->setFocus();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
    };
    typeInto(w->findChild<QLineEdit *>("txtTime"), QStringLiteral("12/08/2026 09:12:00"));
    typeInto(w->findChild<QLineEdit *>("txtSubmittedBy"), QStringLiteral("Ada"));
    typeInto(w->findChild<QComboBox *>("cmbMType")->lineEdit(), QStringLiteral("Repair"));
    typeInto(w->findChild<QPlainTextEdit *>("txtReason"), QStringLiteral("Crack in the nose fairing, port side."));
    typeInto(w->findChild<QPlainTextEdit *>("txtNotes"),
             QStringLiteral("Fairing patched with epoxy; cure 24 h before the next dive."));

    // Two photos from the camera, one held sideways, and the repair sheet.
    const QStringList files{settings.path(QStringLiteral("IMG_0412.JPG")), settings.path(QStringLiteral("IMG_0413.JPG")),
                            settings.path(QStringLiteral("repair-sheet.pdf"))};
    bravik::test::writeBytes(files.at(0), bravik::test::jpegPhoto(1600, 1200, 1, QStringLiteral("2026:12:08 08:55:10"),
                                                                  QColor(230, 230, 225), QColor(60, 70, 80)));
    bravik::test::writeBytes(files.at(1), bravik::test::jpegPhoto(1600, 1200, 6, QStringLiteral("2026:12:08 08:56:42"),
                                                                  QColor(240, 200, 40), QColor(30, 90, 160)));
    bravik::test::writeBytes(files.at(2), QByteArray("%PDF-1.4\n% repair sheet\n"));
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &f : files)
        urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    QWidget *notes = w->findChild<QPlainTextEdit *>("txtNotes");
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    settle();
    // As a file manager drags them in and lets go.
    QDragEnterEvent enter(notes->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(notes, &enter);
    QDropEvent drop(QPointF(notes->rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(notes, &drop);
    // The entry is stored first, then the files.
    if (!QTest::qWaitFor([w] { return w->attachmentsWindow() != nullptr; }, 20000))
        qWarning("line %d: waited in vain; the picture may show the window unfinished", __LINE__);
    auto *a = w->attachmentsWindow();
    if (!a) {
        std::fprintf(stderr, "the drop attached nothing\n");
        for (const QString &m : seams.messages->texts)
            std::fprintf(stderr, "message: %s\n", qPrintable(m));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    while ((a->isStoring() || a->model()->rowCount() < 3) && clock.elapsed() < 20000)
        QApplication::processEvents();
    a->lstAttachments->resizeColumnsToContents();
    a->lstAttachments->selectRow(0);
    wait(500);
    int failures = 0;
    const QString entry = out.filePath(QStringLiteral("maintenance-entry.png"));
    failures += !w->grab().save(entry);
    std::printf("%s\n", qPrintable(entry));
    const QString list = out.filePath(QStringLiteral("attachments-window.png"));
    failures += !a->grab().save(list);
    std::printf("%s (%d files)\n", qPrintable(list), a->model()->rowCount());

    // The export's first page.
    bravik::windows().reset();
    bravik::test::flushDeletes();
    const QString pdf = out.filePath(QStringLiteral("maintenance-export.pdf"));
    bravik::logbook::ExportRequest request{{bravik::settings().databaseDriver, bravik::settings().database},
                                           QStringLiteral("VehicleMaintenance"),
                                           {},
                                           bravik::logbook::ExportRequest::Pdf};
    QString error;
    if (bravik::logbook::exportToFile(request, pdf, {}, &error) != bravik::logbook::ExportResult::Done) {
        std::fprintf(stderr, "export: %s\n", qPrintable(error));
        return 1;
    }
    const QString page = out.filePath(QStringLiteral("export-page"));
    failures += QProcess::execute(QStringLiteral("pdftoppm"),
                                  {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"),
                                   QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"), pdf, page})
                != 0;
    std::printf("%s.png\n", qPrintable(page));
    for (const QString &m : seams.messages->texts)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return failures ? 1 : 0;
}
