#include "EntryExport.h"

#include "Csv.h"
#include "RecordKinds.h"
#include "Schema.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>

namespace bravik::logbook {

namespace {

// The report lays out each entry as a small document, a few hundred a
// second: a batch that size keeps a cancel heard within a moment.
constexpr int kBatch = 200;

// Runs the query page by page; `write` gets each batch.
ExportResult stream(const ExportRequest &request, const ExportProgress &progress, QString *error,
                    const std::function<bool(const QStringList &columns)> &begin,
                    const std::function<bool(const QList<Entry> &)> &write, qint64 *rowsOut)
{
    QString openError;
    auto db = Database::open(request.where, &openError);
    if (!db) {
        *error = openError;
        return ExportResult::Failed;
    }
    EntryQuery query(*db, request.table, request.filter);
    if (!query.isValid()) {
        *error = query.error();
        return ExportResult::Failed;
    }
    if (!begin(query.columns())) {
        *error = QStringLiteral("The export could not be written.");
        return ExportResult::Failed;
    }
    const qint64 total = query.tableRows();
    qint64 written = 0;
    qint64 before = -1;
    bool exhausted = false;
    bool writeFailed = false;
    while (!exhausted) {
        qint64 last = -1;
        const bool ok = query.fetch(before, kBatch, [&](const QList<Entry> &rows) {
            if (writeFailed)
                return;
            writeFailed = !write(rows);
            written += rows.size();
            last = rows.last().key;
        }, nullptr, &exhausted);
        if (!ok) {
            *error = query.error();
            return ExportResult::Failed;
        }
        if (writeFailed) {
            *error = QStringLiteral("The export could not be written.");
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

QString captionOf(const QString &table)
{
    const RecordKind *kind = kindForTable(table);
    return kind ? kind->category : table;
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
    }
    return header;
}

ExportResult exportCsv(const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                       QString *error, qint64 *rows)
{
    QString openError;
    auto db = Database::open(request.where, &openError);
    if (!db) {
        *error = openError;
        return ExportResult::Failed;
    }
    EntryQuery query(*db, request.table, request.filter);
    if (!query.isValid()) {
        *error = query.error();
        return ExportResult::Failed;
    }
    const QString cannotWrite = QStringLiteral("The export could not be written.");
    if (out->write(csv::record(QStringList{keyColumn()} + query.columns())) < 0) {
        *error = cannotWrite;
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
    auto flush = [&] {
        if (buffer.isEmpty())
            return true;
        writeFailed = out->write(buffer) != buffer.size();
        buffer.resize(0);
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
    if (writeFailed || (!cancelled && !flush())) {
        *error = cannotWrite;
        return ExportResult::Failed;
    }
    if (rows)
        *rows = written;
    if (cancelled || (progress && !progress(written, total)))
        return ExportResult::Cancelled;
    return ExportResult::Done;
}

ExportResult exportReport(const ExportRequest &request, QPagedPaintDevice *device, const ExportProgress &progress,
                          QString *error, qint64 *rows)
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
    auto drawDocument = [&](QTextDocument &doc) {
        // Laid out at the page's resolution, so points are points on paper.
        doc.documentLayout()->setPaintDevice(device);
        doc.setDefaultFont(body);
        doc.setTextWidth(area.width());
        const qreal h = doc.size().height();
        if (y > area.top() && y + h > area.bottom()) {
            footer();
            device->newPage();
            ++page;
            y = area.top();
        }
        painter.save();
        painter.translate(area.left(), y);
        doc.drawContents(&painter, QRectF(0, 0, area.width(), area.bottom() - y));
        painter.restore();
        y += h;
    };

    const ExportResult result = stream(request, progress, error,
        [&](const QStringList &cols) {
            columns = cols;
            const TableDef *def = findTable(request.table);
            for (const QString &c : cols)
                booleans << (def && def->isBoolean(c));
            if (!painter.begin(device))
                return false;
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
                    html += QStringLiteral("<tr><td width='30%'><i>%1</i></td><td>%2</td></tr>")
                                .arg(columns.at(i).toHtmlEscaped(),
                                     v.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
                }
                html += QStringLiteral("</table>");
                QTextDocument doc;
                doc.setHtml(html);
                drawDocument(doc);
            }
            return true;
        }, rows);
    if (painter.isActive()) {
        // A cancelled print is withdrawn where the printing system can.
        if (auto *printer = dynamic_cast<QPrinter *>(device); printer && result != ExportResult::Done)
            printer->abort();
        footer();
        painter.end();
    }
    return result;
}

ExportResult exportToFile(const ExportRequest &request, const QString &path, const ExportProgress &progress,
                          QString *error, qint64 *rows)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return ExportResult::Failed;
    }
    ExportResult result;
    if (request.format == ExportRequest::Csv) {
        result = exportCsv(request, &file, progress, error, rows);
    } else {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("Bravik logbook: %1").arg(captionOf(request.table)));
        pdf.setCreator(QStringLiteral("Bravik AUV Log Utility"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        result = exportReport(request, &pdf, progress, error, rows);
    }
    if (result != ExportResult::Done) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return ExportResult::Failed;
    }
    return ExportResult::Done;
}

} // namespace bravik::logbook
