#include "EntryExport.h"

#include "Attachments.h"

#include "LaunchLog.h"

#include "Csv.h"
#include "LogbookService.h"
#include "WaitForJob.h"
#include "OutputPath.h"
#include "Platform.h"
#include "RecordKinds.h"
#include "Schema.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextDocument>
#include <QUrl>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace bravik::logbook {

namespace {

// The report lays out each entry as a small document, a few hundred a
// second: a batch that size keeps a cancel heard within a moment.
constexpr int kBatch = 200;

// Runs the query page by page; `write` gets each batch.
ExportResult stream(Database &db, const ExportRequest &request, const ExportProgress &progress, QString *error,
                    const std::function<bool(const QStringList &columns)> &begin,
                    const std::function<void(const QList<Entry> &)> &write, qint64 *rowsOut)
{
    EntryQuery query(db, request.table, request.filter);
    if (!query.isValid()) {
        *error = query.error();
        return ExportResult::Failed;
    }
    if (!begin(query.columns()))
        return ExportResult::Failed;   // begin says why
    const qint64 total = query.tableRows();
    qint64 written = 0;
    qint64 before = -1;
    bool exhausted = false;
    while (!exhausted) {
        qint64 last = -1;
        const bool ok = query.fetch(before, kBatch, [&](const QList<Entry> &rows) {
            write(rows);
            written += rows.size();
            last = rows.last().key;
        }, nullptr, &exhausted);
        if (!ok) {
            *error = query.error();
            return ExportResult::Failed;
        }
        if (rowsOut)
            *rowsOut = written;
        if (progress && !progress(written, total))
            return ExportResult::Cancelled;
        if (last < 0)
            break;
        before = last;
    }
    return ExportResult::Done;
}

// Where a laid-out document taller than a page is cut into pages (the
// first cut at 0, the first page `firstHeight` high): a page's height
// below the last cut, or higher, at the top of a line that would cross it,
// so no line is split between pages.
QList<qreal> pageCuts(const QTextDocument &doc, qreal firstHeight, qreal pageHeight)
{
    std::vector<std::pair<qreal, qreal>> lines;   // top and bottom of every line, table cells too
    const QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const qreal blockTop = layout->blockBoundingRect(block).top();
        const QTextLayout *text = block.layout();
        for (int i = 0; i < text->lineCount(); ++i) {
            const QTextLine line = text->lineAt(i);
            lines.emplace_back(blockTop + line.y(), blockTop + line.y() + line.height());
        }
    }
    std::sort(lines.begin(), lines.end());
    const qreal height = doc.size().height();
    QList<qreal> cuts{0};
    size_t first = 0;   // the first line not above the last cut
    for (qreal room = firstHeight; cuts.last() + room < height; room = pageHeight) {
        const qreal start = cuts.last();
        qreal cut = start + room;
        while (first < lines.size() && lines[first].first < start)
            ++first;
        // Moved up until no line below the page's start crosses it.
        for (bool moved = true; moved;) {
            moved = false;
            for (size_t i = first; i < lines.size() && lines[i].first < cut; ++i) {
                if (lines[i].first > start && lines[i].second > cut) {
                    cut = lines[i].first;
                    moved = true;
                    break;
                }
            }
        }
        cuts << cut;
    }
    return cuts;
}

// Draws the lines of a laid-out document that begin in [top, bottom),
// moved up by `top`.  Line by line: a clip would hide the lines around
// the slice on paper, but leave their text in a PDF file.
void drawLines(QPainter &painter, const QTextDocument &doc, qreal top, qreal bottom)
{
    const QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QPointF origin = layout->blockBoundingRect(block).topLeft();
        const QTextLayout *text = block.layout();
        for (int i = 0; i < text->lineCount(); ++i) {
            const QTextLine line = text->lineAt(i);
            const qreal y = origin.y() + line.y();
            if (y >= top && y < bottom)
                line.draw(&painter, QPointF(origin.x(), origin.y() - top));
        }
    }
}

QString captionOf(const QString &table)
{
    const RecordKind *kind = kindForTable(table);
    return kind ? kind->category : table;
}

// "<file> cannot be written: <reason>", for a file or standard output.
QString writeFailure(const QIODevice *out)
{
    const auto *file = qobject_cast<const QFileDevice *>(out);
    QString reason = out->errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        reason = QStringLiteral("the system gave no reason");
    if (!file || file->fileName().isEmpty())
        return QStringLiteral("Standard output cannot be written: %1").arg(reason);
    return QStringLiteral("\"%1\" cannot be written: %2").arg(QDir::toNativeSeparators(file->fileName()), reason);
}

// A file's own buffer written out, and nothing failed on the way.
bool flushed(QIODevice *out)
{
    auto *file = qobject_cast<QFileDevice *>(out);
    return !file || (file->flush() && file->error() == QFileDevice::NoError);
}

QString displayValue(const QString &value, bool boolean)
{
    if (boolean)
        return value == QLatin1String("true") ? QStringLiteral("Yes") : QStringLiteral("No");
    return value;
}

} // namespace

QStringList exportHeader(const QString &table, bool includeVoid)
{
    QStringList header{keyColumn()};
    if (const TableDef *def = findTable(table)) {
        header << QStringLiteral("Date/Time") << QStringLiteral("SubmittedBy");
        for (const QString &f : def->fields)
            if (!header.contains(f))
                header << f;
        header << hiddenFields();
        if (includeVoid)
            header << voidedColumn() << voidReasonColumn();
    } else if (table == launchlog::tableName()) {
        header << launchlog::fields();
    }
    return header;
}

ExportResult exportCsv(Database &db, const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                       QString *error, qint64 *rows)
{
    EntryQuery query(db, request.table, request.filter);
    if (!query.isValid()) {
        *error = query.error();
        return ExportResult::Failed;
    }
    if (out->write(csv::record(QStringList{keyColumn()} + query.columns())) < 0) {
        *error = writeFailure(out);
        return ExportResult::Failed;
    }
    const qint64 total = query.tableRows();
    // One forward pass into a large buffer, written out when full; the
    // progress (and a cancel) is heard every few thousand rows.
    constexpr qsizetype kFlushAt = 1 << 20;
    constexpr qint64 kProgressEvery = 4096;
    QByteArray buffer;
    buffer.reserve(kFlushAt + 64 * 1024);
    qint64 written = 0;
    bool writeFailed = false, cancelled = false;
    // A file's bytes are handed to the system as they go, and its writing
    // to the disk begun, so the sync at the end is short: a store in a
    // record window meanwhile waits for its own sync behind it.
    auto *file = qobject_cast<QFileDevice *>(out);
    qint64 handedOver = file ? file->pos() : 0;
    auto flush = [&] {
        if (buffer.isEmpty())
            return true;
        writeFailed = out->write(buffer) != buffer.size();
        buffer.resize(0);
        if (!writeFailed && file && file->handle() >= 0 && file->flush()) {
            const qint64 at = file->pos();
            platform::startWritingBack(file->handle(), handedOver, at - handedOver);
            handedOver = at;
        }
        return !writeFailed;
    };
    const bool ok = query.scan([&](const QByteArrayView *fields, int count) {
        for (int i = 0; i < count; ++i) {
            if (i)
                buffer += ',';
            csv::appendField(buffer, fields[i]);
        }
        buffer += "\r\n";
        ++written;
        if (buffer.size() >= kFlushAt && !flush())
            return false;
        if (written % kProgressEvery == 0) {
            if (rows)
                *rows = written;
            if (progress && !progress(written, total)) {
                cancelled = true;
                return false;
            }
        }
        return true;
    });
    if (!ok) {
        *error = query.error();
        return ExportResult::Failed;
    }
    if (writeFailed || (!cancelled && (!flush() || !flushed(out)))) {
        *error = writeFailure(out);
        return ExportResult::Failed;
    }
    if (rows)
        *rows = written;
    if (cancelled || (progress && !progress(written, total)))
        return ExportResult::Cancelled;
    return ExportResult::Done;
}

// An entry's attachments in its report: photos as thumbnails an inch and a
// half wide, four to a row, their names below; other files by name and
// size.  The pictures become resources of `doc`.
static QString attachmentsHtml(Database &db, const QList<attachments::Attachment> &list, QTextDocument *doc)
{
    if (list.isEmpty())
        return {};
    constexpr int kShown = 144;   // CSS pixels: an inch and a half on paper
    constexpr int kPerRow = 4;
    QString pictures, others;
    int inRow = 0;
    for (const attachments::Attachment &a : list) {
        QImage thumb;
        if (a.isImage()) {
            QByteArray bytes;
            QString ignored;
            if (attachments::content(db, a.sha256, &bytes, &ignored))
                thumb = attachments::thumbnail(bytes, kShown * 3);
        }
        QString name = a.fileName.toHtmlEscaped();
        if (a.voided)
            name += QStringLiteral(" (VOID: %1)").arg(a.voidReason.toHtmlEscaped());
        if (thumb.isNull()) {
            others += QStringLiteral("<li>%1 (%2, %3)</li>")
                          .arg(name, attachments::sizeText(a.size).toHtmlEscaped(), a.mediaType.toHtmlEscaped());
            continue;
        }
        const QString url = QStringLiteral("attachment:%1").arg(a.id);
        doc->addResource(QTextDocument::ImageResource, QUrl(url), thumb);
        const QSize shown = thumb.size().scaled(kShown, kShown, Qt::KeepAspectRatio);
        if (inRow == kPerRow) {
            pictures += QStringLiteral("</tr><tr>");
            inRow = 0;
        }
        const QString taken = a.takenAt.isEmpty() ? QString()
                                                  : QStringLiteral("<br>taken %1").arg(QString(a.takenAt).replace(QLatin1Char('T'), QLatin1Char(' ')));
        pictures += QStringLiteral("<td width='%4' align='center' valign='bottom' style='padding:3px'><img src='%1' "
                                   "width='%2' height='%3'><br><small>%5%6</small></td>")
                        .arg(url)
                        .arg(shown.width())
                        .arg(shown.height())
                        .arg(kShown + 12)
                        .arg(name, taken);
        ++inRow;
    }
    QString html = QStringLiteral("<p style='margin-top:4px'><i>Attachments</i></p>");
    if (!pictures.isEmpty())
        html += QStringLiteral("<table cellspacing='0'><tr>%1</tr></table>").arg(pictures);
    if (!others.isEmpty())
        html += QStringLiteral("<ul style='margin-top:2px'>%1</ul>").arg(others);
    return html;
}

// Values longer than this are printed below their field's name rather than
// in its cell.
constexpr int kLongValue = 2000;

void setReportMargins(QPagedPaintDevice *device)
{
    device->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}

ExportResult exportReport(Database &db, const ExportRequest &request, QPagedPaintDevice *device,
                          const ExportProgress &progress, QString *error, qint64 *rows,
                          const std::function<void()> &abandon)
{
    QPainter painter;
    QList<bool> booleans;
    QStringList columns;
    int page = 1;
    qreal y = 0;
    QRectF area;
    QFont body(QStringLiteral("Sans Serif"));
    body.setPointSizeF(9);

    auto footer = [&]() {
        painter.save();
        painter.setFont(body);
        painter.drawText(QRectF(area.left(), area.bottom() + 4, area.width(), painter.fontMetrics().height() * 1.5),
                         Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Page %1").arg(page));
        painter.restore();
    };
    auto nextPage = [&]() {
        footer();
        device->newPage();
        ++page;
        y = area.top();
    };
    auto drawDocument = [&](QTextDocument &doc) {
        // Laid out at the page's resolution, so points are points on paper.
        doc.documentLayout()->setPaintDevice(device);
        doc.setDefaultFont(body);
        doc.setTextWidth(area.width());
        const qreal h = doc.size().height();
        // An entry that fits on a page starts on a fresh one rather than be
        // cut; a longer one starts where the page has room for a few lines.
        const qreal fewLines = 4 * QFontMetricsF(body, device).lineSpacing();
        if (y > area.top() && y + h > area.bottom() && (h <= area.height() || area.bottom() - y < fewLines))
            nextPage();
        if (h <= area.height()) {
            painter.save();
            painter.translate(area.left(), y);
            doc.drawContents(&painter, QRectF(0, 0, area.width(), area.bottom() - y));
            painter.restore();
            y += h;
            return;
        }
        // Taller than a page: drawn from where it starts a page at a time,
        // each page cut above the first line that would cross its end.
        const QList<qreal> cuts = pageCuts(doc, area.bottom() - y, area.height());
        for (qsizetype i = 0; i < cuts.size(); ++i) {
            if (i > 0)
                nextPage();
            const qreal top = cuts.at(i), bottom = i + 1 < cuts.size() ? cuts.at(i + 1) : h;
            painter.save();
            painter.translate(area.left(), y);
            drawLines(painter, doc, top, bottom);
            painter.restore();
            y += bottom - top;
        }
    };

    // The entries' attachments, read once: photos drawn as thumbnails under
    // their entry, other files listed by name.
    QHash<qint64, QList<attachments::Attachment>> attachedTo;
    if (findTable(request.table)) {
        QList<attachments::Attachment> found;
        if (!attachments::forTable(db, request.table, &found, error))
            return ExportResult::Failed;
        for (const attachments::Attachment &a : found) {
            if (!a.voided || request.filter.includeVoid)
                attachedTo[a.entryKey] << a;
        }
    }

    const ExportResult result = stream(db, request, progress, error,
        [&](const QStringList &cols) {
            columns = cols;
            const TableDef *def = findTable(request.table);
            for (const QString &c : cols)
                booleans << (def && def->isBoolean(c));
            if (!painter.begin(device)) {
                *error = QStringLiteral("The report could not be started on the printer.");
                return false;
            }
            // The page less a footer line for the page number.
            const QRect full = painter.viewport();
            const int footerHeight = int(QFontMetricsF(body, device).height() * 2);
            area = QRectF(full.left(), full.top(), full.width(), full.height() - footerHeight);
            y = area.top();
            QTextDocument title;
            title.setHtml(QStringLiteral("<h2>Bravik logbook: %1</h2><p>Table %2, %3.<br>Exported %4 UTC.</p><hr>")
                              .arg(captionOf(request.table).toHtmlEscaped(), request.table.toHtmlEscaped(),
                                   request.filter.describe().toHtmlEscaped(),
                                   request.exportedAt.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
            drawDocument(title);
            return true;
        },
        [&](const QList<Entry> &batch) {
            for (const Entry &e : batch) {
                const QString mark = e.voided ? QStringLiteral(" &mdash; VOID: %1").arg(e.voidReason.toHtmlEscaped())
                                              : QString();
                QString html = QStringLiteral("<p style='margin-top:6px'><b>Entry %1</b>%2</p><table cellspacing='0' cellpadding='1'>")
                                   .arg(e.key)
                                   .arg(mark);
                for (int i = 0; i < columns.size(); ++i) {
                    const QString v = displayValue(e.values.at(i), booleans.at(i));
                    if (v.isEmpty())
                        continue;
                    if (v.size() <= kLongValue) {
                        html += QStringLiteral("<tr><td width='30%'><i>%1</i></td><td>%2</td></tr>")
                                    .arg(columns.at(i).toHtmlEscaped(),
                                         v.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
                        continue;
                    }
                    // A long value goes below its name across the page's
                    // width, a paragraph a line: a table cell of a megabyte
                    // takes minutes to lay out, paragraphs take moments.
                    html += QStringLiteral("</table><p style='margin-top:2px'><i>%1</i></p>").arg(columns.at(i).toHtmlEscaped());
                    for (const QString &line : v.split(QLatin1Char('\n')))
                        html += QStringLiteral("<p style='margin:0'>%1</p>").arg(line.toHtmlEscaped());
                    html += QStringLiteral("<table cellspacing='0' cellpadding='1'>");
                }
                html += QStringLiteral("</table>");
                QTextDocument doc;
                if (!attachedTo.isEmpty())
                    html += attachmentsHtml(db, attachedTo.value(e.key), &doc);
                doc.setHtml(html);
                drawDocument(doc);
            }
        }, rows);
    if (painter.isActive()) {
        // A cancelled print is withdrawn where the printing system can.
        if (abandon && result != ExportResult::Done)
            abandon();
        footer();
        painter.end();
    }
    return result;
}

ExportResult exportToDevice(Database &db, const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                            QString *error, qint64 *rows)
{
    if (request.format == ExportRequest::Csv)
        return exportCsv(db, request, out, progress, error, rows);
    ExportResult result;
    {
        QPdfWriter pdf(out);
        pdf.setTitle(QStringLiteral("Bravik logbook: %1").arg(captionOf(request.table)));
        pdf.setCreator(QStringLiteral("Bravik AUV Log Utility"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        setReportMargins(&pdf);
        result = exportReport(db, request, &pdf, progress, error, rows);
    }
    if (result == ExportResult::Done && !flushed(out)) {
        *error = writeFailure(out);
        return ExportResult::Failed;
    }
    return result;
}

ExportResult exportToFile(Database &db, const ExportRequest &request, const QString &path,
                          const ExportProgress &progress, QString *error, qint64 *rows)
{
    if (const QString problem = outputPathProblem(request.where, path); !problem.isEmpty()) {
        *error = problem;
        return ExportResult::Failed;
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        // A device or a pipe takes the export as it comes: nothing can be
        // put in its place.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            *error = writeFailure(&file);
        return file.isOpen() ? exportToDevice(db, request, &file, progress, error, rows) : ExportResult::Failed;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = writeFailure(&file);
        return ExportResult::Failed;
    }
    const ExportResult result = exportToDevice(db, request, &file, progress, error, rows);
    if (result != ExportResult::Done) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        *error = writeFailure(&file);
        return ExportResult::Failed;
    }
    return ExportResult::Done;
}

ExportResult runExportJob(JobContext &c, const ExportWork &work, const ExportProgress &progress, QString *error)
{
    return work(c.database(), [&](qint64 written, qint64 total) {
        if (total > 0)
            c.progress(double(written) / double(total));
        return !c.stopRequested() && (!progress || progress(written, total));
    }, error);
}

ExportResult exportThroughService(const ExportRequest &request, const ExportWork &work, const ExportProgress &progress,
                                  QString *error)
{
    const std::optional<ExportResult> result = waitForLongJob<ExportResult>(
        request.where, [&work, &progress](JobContext &c, QString *why) -> std::optional<ExportResult> {
            const ExportResult r = runExportJob(c, work, progress, why);
            return r == ExportResult::Failed ? std::nullopt : std::optional<ExportResult>(r);
        },
        error);
    return result.value_or(ExportResult::Failed);
}

ExportResult exportToFile(const ExportRequest &request, const QString &path, const ExportProgress &progress,
                          QString *error, qint64 *rows)
{
    return exportThroughService(request, [&](Database &db, const ExportProgress &p, QString *e) {
        return exportToFile(db, request, path, p, e, rows);
    }, progress, error);
}

ExportResult exportToDevice(const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                            QString *error, qint64 *rows)
{
    return exportThroughService(request, [&](Database &db, const ExportProgress &p, QString *e) {
        return exportToDevice(db, request, out, p, e, rows);
    }, progress, error);
}

} // namespace bravik::logbook

namespace bravik::logbook {

ExportResult exportAttachments(Database &db, const ExportRequest &request, const QString &folder, qint64 *files,
                               QString *error)
{
    if (files)
        *files = 0;
    if (!findTable(request.table))
        return ExportResult::Done;   // launch records have none
    // The entries the export holds.
    EntryQuery query(db, request.table, request.filter);
    QSet<qint64> keys;
    if (!query.scan([&keys](const QByteArrayView *fields, int count) {
            if (count > 0)
                keys.insert(QByteArray(fields[0].data(), fields[0].size()).toLongLong());
            return true;
        })) {
        *error = query.error();
        return ExportResult::Failed;
    }
    QList<attachments::Attachment> found;
    if (!attachments::forTable(db, request.table, &found, error))
        return ExportResult::Failed;
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        *error = QStringLiteral("The folder \"%1\" for the attachments cannot be made.").arg(folder);
        return ExportResult::Failed;
    }
    QSet<QString> used;
    for (const attachments::Attachment &a : found) {
        if (!keys.contains(a.entryKey) || (a.voided && !request.filter.includeVoid))
            continue;
        // "VehicleMaintenance-12-crack.jpg"; a second of that name
        // "VehicleMaintenance-12-crack-2.jpg".
        const QString name = attachments::exportName(a, a.entryKey);
        QString unique = name;
        for (int n = 2; used.contains(unique.toLower()); ++n) {
            const QFileInfo parts(name);
            const QString suffix = parts.completeSuffix();
            unique = suffix.isEmpty() ? QStringLiteral("%1-%2").arg(name).arg(n)
                                      : QStringLiteral("%1-%2.%3").arg(parts.baseName()).arg(n).arg(suffix);
        }
        used.insert(unique.toLower());
        const QString path = dir.absoluteFilePath(unique);
        if (QFileInfo(path).absolutePath() != dir.absolutePath()) {
            *error = QStringLiteral("The attachment \"%1\" would be written outside %2; nothing of it was written.")
                         .arg(a.fileName, folder);
            return ExportResult::Failed;
        }
        QByteArray bytes;
        if (!attachments::content(db, a.sha256, &bytes, error))
            return ExportResult::Failed;
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            *error = QStringLiteral("The attachment \"%1\" cannot be written to %2: %3").arg(a.fileName, path, out.errorString());
            return ExportResult::Failed;
        }
        if (files)
            ++*files;
    }
    return ExportResult::Done;
}

} // namespace bravik::logbook
