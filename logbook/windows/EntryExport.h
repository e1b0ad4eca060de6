#pragma once

#include "Database.h"
#include "EntryQuery.h"

#include <QDateTime>
#include <QString>
#include <functional>

class QIODevice;
class QPagedPaintDevice;

namespace bravik::logbook {

// Writes the entries of one table that pass a filter, newest first, as
// CSV or as a PDF report, streaming a page of rows at a time through its
// own connection, so memory does not grow with the table.
struct ExportRequest
{
    enum Format { Csv, Pdf };
    DatabaseLocation where;
    QString table;
    EntryFilter filter;
    Format format = Csv;
    QDateTime exportedAt = QDateTime::currentDateTimeUtc();
};

// Called after each batch with the rows written so far and the table's
// row count; returning false cancels.
using ExportProgress = std::function<bool(qint64 written, qint64 total)>;

enum class ExportResult { Done, Cancelled, Failed };

// To a file: written whole or not at all (a cancelled or failed export
// leaves the file as it was, or absent).
ExportResult exportToFile(const ExportRequest &request, const QString &path, const ExportProgress &progress,
                          QString *error, qint64 *rows = nullptr);
// CSV to an open device (standard output).
ExportResult exportCsv(const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                       QString *error, qint64 *rows = nullptr);
// The report drawn on pages (a PDF writer or a printer).
ExportResult exportReport(const ExportRequest &request, QPagedPaintDevice *device, const ExportProgress &progress,
                          QString *error, qint64 *rows = nullptr);

// The header row's names: BravikKey, then the query's columns (with
// Voided and VoidReason last when void entries are included).
QStringList exportHeader(const QString &table, bool includeVoid = false);

} // namespace bravik::logbook
