#pragma once

// Files kept with an entry, in the logbook itself: one row of the table
// "Attachment" for every file attached (its own EntryId, the entry's table
// and EntryId, file name, media type, size, SHA-256, when, by whom and on
// which computer it was added, when a photo was taken, a void mark and
// reason), and the bytes once per content in "AttachmentContent", keyed
// by their SHA-256, so one file attached twice is kept once.  Nothing is
// ever deleted: a mistaken attachment is voided with a reason and stays.
//
// Every statement on the two tables is here; each takes the caller's
// connection (a job of the logbook service).  An attachment and its bytes
// are stored in one transaction, so a failure, a stop or a kill leaves
// neither.

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace bravik::logbook {

class Database;
struct Dialect;

namespace attachments {

QString tableName();          // "Attachment"
QString contentTable();       // "AttachmentContent"
QStringList fields();         // of "Attachment", its EntryId first
QStringList contentFields();  // "Sha256", "Size", "Bytes"

// Creates the two tables (or adds the fields they lack) inside the schema
// upgrade's transaction.  False with the engine's message.
bool createMissing(QSqlDatabase &db, const Dialect &dialect, const QStringList &existingTables, QString *error);

struct Attachment
{
    qint64 key = -1;
    QString id;           // its own EntryId
    QString table;        // the entry's table
    QString rowEntryId;   // the entry's EntryId
    QString fileName;
    QString mediaType;    // "image/jpeg"
    qint64 size = 0;
    QString sha256;       // lower-case hex
    QString addedAtUtc;   // ISO 8601 UTC
    QString addedBy;
    QString workstation;
    QString takenAt;      // a photo's own time as it says ("2026-12-08T10:41:07"), or empty
    bool voided = false;
    QString voidReason;
    qint64 entryKey = -1; // the entry's key in its table, when read with it

    bool isImage() const { return mediaType.startsWith(QLatin1String("image/")); }
};

// Who adds it, where and when.
struct Added
{
    QString by;
    QString workstation;
    QDateTime utc;
};

// A file read from the disk and checked, ready to be stored.
struct FileContent
{
    QString fileName;
    QString mediaType;
    QByteArray bytes;
    QString sha256;
    QString takenAt;
};

// The largest file taken, from `[attachments] maxMegabytes`.
qint64 limitBytes(int maxMegabytes);

// Reads a file to attach: refused with a message when it is no file, not
// readable (the system's reason), or larger than maxMegabytes (the
// message names the limit).  `progress` gets the share read; when it
// answers false the read stops (false, error empty).
bool readFile(const QString &path, int maxMegabytes, const std::function<bool(double)> &progress, FileContent *out,
              QString *error);

// The entry with that key in that table: its EntryId and void mark.
// False with a message when it is not there.
bool entryOf(Database &db, const QString &table, qint64 key, QString *entryId, bool *voided, QString *error);

// Stores the file as an attachment of that entry, its bytes only when the
// logbook has no copy of that content yet, all in one transaction.  A void
// entry takes none.  `mayCommit` is asked just before the commit: false
// rolls everything back.  False with the engine's message (empty when
// mayCommit said no).
bool store(Database &db, const QString &table, qint64 key, const FileContent &file, const Added &added,
           const std::function<bool()> &mayCommit, Attachment *stored, QString *error);

// The attachments of that entry, as they were added; void ones too.
bool forEntry(Database &db, const QString &table, qint64 key, QList<Attachment> *out, QString *error);
// The attachments of every entry of one table, by entry, as they were added.
bool forTable(Database &db, const QString &table, QList<Attachment> *out, QString *error);
// Every attachment of the logbook, by table and entry, as they were added.
bool all(Database &db, QList<Attachment> *out, QString *error);

// Keeps bytes as the content of that SHA-256, inside the caller's
// transaction (their one copy: the caller looked that there is none).
bool putContent(Database &db, const QString &sha256, const QByteArray &bytes, QString *error);
// The bytes kept for that content; false with a message when none are.
bool content(Database &db, const QString &sha256, QByteArray *bytes, QString *error);

// Marks the attachment void with a reason (it stays listed).  False with a
// message when it is not there.
bool voidAttachment(Database &db, const QString &id, const QString &reason, QString *error);

// A picture of at most edge × edge pixels, upright as the photo's EXIF
// orientation says; null for what is not an image Qt can read.
QImage thumbnail(const QByteArray &bytes, int edge);
// The image itself, upright; null when it is none.
QImage uprightImage(const QByteArray &bytes);
// When a photo was taken, from its EXIF data ("2026-12-08T10:41:07"), or
// empty when it does not say.
QString takenAt(const QByteArray &bytes);

// "512 bytes", "12.4 KB", "3.1 MB".
QString sizeText(qint64 bytes);

// A file name that stays inside the folder it is written to on every
// system: no folder separators, no parent folder, no control or shell
// characters; letters of any script kept.
QString safeFileName(const QString &name);
// The name an export gives an attachment beside its CSV, so a reader
// matches it to its row: "<table>-<key>-<file name>".
QString exportName(const Attachment &a, qint64 entryKey);

} // namespace attachments
} // namespace bravik::logbook
