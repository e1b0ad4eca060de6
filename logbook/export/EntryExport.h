#pragma once

#include "Database.h"
#include "EntryQuery.h"

#include <QDateTime>
#include <QString>
#include <functional>

class QIODevice;
class QPagedPaintDevice;

namespace bravik::logbook {

class JobContext;

// Writes the entries of one table that pass a filter, newest first, as
// CSV or as a PDF report, streaming a page of rows at a time, so memory
// does not grow with the table.
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

// These run inside a job of the logbook service, on its connection `db`.
//
// To a file: written whole or not at all (a cancelled or failed export
// leaves the file as it was, or absent); a device or a pipe (/dev/stdout)
// is written as it is.  Refused, with nothing written, where the file is
// the logbook's own.  A write that fails fails the export, with a message
// naming the file and the reason.
ExportResult exportToFile(Database &db, const ExportRequest &request, const QString &path,
                          const ExportProgress &progress, QString *error, qint64 *rows = nullptr);
// CSV or PDF to an open device (standard output); a write that fails, or
// a file's buffer that cannot be written out at the end, fails the export
// with a message naming the file and the reason.
ExportResult exportToDevice(Database &db, const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                            QString *error, qint64 *rows = nullptr);
// CSV to an open device.
ExportResult exportCsv(Database &db, const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                       QString *error, qint64 *rows = nullptr);
// The report drawn on pages (a PDF writer or a printer); an entry taller
// than what is left of a page goes on over the next pages.  `abandon` is
// called before the pages are closed when the report did not finish (a
// printer withdraws the print run there).
ExportResult exportReport(Database &db, const ExportRequest &request, QPagedPaintDevice *device,
                          const ExportProgress &progress, QString *error, qint64 *rows = nullptr,
                          const std::function<void()> &abandon = {});

using ExportWork = std::function<ExportResult(Database &db, const ExportProgress &progress, QString *error)>;
// The body of an export's job: `work` on the job's connection, its progress
// told to the job's client, a stop of the client heard as a cancel (as is
// `progress` returning false, when given).
ExportResult runExportJob(JobContext &c, const ExportWork &work, const ExportProgress &progress, QString *error);

// For a command-line tool, which has nothing else to do meanwhile: runs
// `work` as one long job of the logbook service of request.where and waits
// for it.  `progress` is called on the service's thread while this waits;
// returning false cancels.
ExportResult exportThroughService(const ExportRequest &request, const ExportWork &work, const ExportProgress &progress,
                                  QString *error);
// exportToFile and exportToDevice through the service, waited for.
ExportResult exportToFile(const ExportRequest &request, const QString &path, const ExportProgress &progress,
                          QString *error, qint64 *rows = nullptr);
ExportResult exportToDevice(const ExportRequest &request, QIODevice *out, const ExportProgress &progress,
                            QString *error, qint64 *rows = nullptr);

// Writes the files attached to the entries the request's filter passes
// (void ones only with includeVoid) into `folder`, made when missing, each
// named "<table>-<key>-<file name>" with the entry's BravikKey as in the
// CSV, in names safe on every system (a second file of one name gets
// "-2").  *files counts them.
ExportResult exportAttachments(Database &db, const ExportRequest &request, const QString &folder, qint64 *files,
                               QString *error);

// The report's page margins, on paper as in a PDF file.
void setReportMargins(QPagedPaintDevice *device);

// The header row's names: BravikKey, then the query's columns (with
// Voided and VoidReason last when void entries are included).
QStringList exportHeader(const QString &table, bool includeVoid = false);

} // namespace bravik::logbook
