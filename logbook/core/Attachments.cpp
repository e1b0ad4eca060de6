#include "Attachments.h"

#include "Database.h"
#include "Dialect.h"
#include "EntryIds.h"
#include "NativeHandle.h"
#include "Schema.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <libexif/exif-data.h>

namespace bravik::logbook::attachments {

namespace {

const QString kTable = QStringLiteral("Attachment");
const QString kContent = QStringLiteral("AttachmentContent");
const QStringList kIntegerFields{QStringLiteral("Size")};

bool failed(const QSqlQuery &q, QString *error)
{
    if (error)
        *error = Database::errorText(q.lastError());
    return false;
}

bool run(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    return q.exec(sql) || failed(q, error);
}

QString definition(const Dialect &dialect, const QString &field)
{
    const QString name = Dialect::quote(field);
    if (field == QLatin1String("Size"))
        return name + QLatin1Char(' ') + dialect.integerType + QStringLiteral(" NOT NULL DEFAULT 0");
    if (field == voidedColumn())
        return name + QLatin1Char(' ') + dialect.booleanType + QStringLiteral(" NOT NULL DEFAULT ")
               + dialect.booleanDefault;
    if (field == QLatin1String("Bytes"))
        return name + QLatin1Char(' ') + dialect.blobType;
    return name + QLatin1Char(' ') + dialect.textType;
}

bool createTable(QSqlDatabase &db, const Dialect &dialect, const QString &table, const QStringList &columns,
                 const QStringList &existing, QString *error)
{
    if (!existing.contains(table, Qt::CaseInsensitive)) {
        QStringList defs{Dialect::quote(keyColumn()) + QLatin1Char(' ') + dialect.keyColumnType};
        for (const QString &f : columns)
            defs << definition(dialect, f);
        return run(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(Dialect::quote(table), defs.join(QStringLiteral(", "))),
                   error);
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(dialect.listColumns))
        return failed(q, error);
    q.bindValue(0, table);
    if (!q.exec())
        return failed(q, error);
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    q.finish();
    for (const QString &f : columns) {
        if (!present.contains(f, Qt::CaseInsensitive)
            && !run(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(Dialect::quote(table), definition(dialect, f)),
                    error))
            return false;
    }
    return true;
}

QString selectList()
{
    QStringList names;
    for (const QString &f : fields())
        names << QStringLiteral("a.") + Dialect::quote(f);
    return QStringLiteral("a.") + Dialect::quote(keyColumn()) + QStringLiteral(", ") + names.join(QStringLiteral(", "));
}

Attachment fromRow(const QSqlQuery &q)
{
    Attachment a;
    int i = 0;
    a.key = q.value(i++).toLongLong();
    a.id = q.value(i++).toString();
    a.table = q.value(i++).toString();
    a.rowEntryId = q.value(i++).toString();
    a.fileName = q.value(i++).toString();
    a.mediaType = q.value(i++).toString();
    a.size = q.value(i++).toLongLong();
    a.sha256 = q.value(i++).toString();
    a.addedAtUtc = q.value(i++).toString();
    a.addedBy = q.value(i++).toString();
    a.workstation = q.value(i++).toString();
    a.takenAt = q.value(i++).toString();
    a.voided = q.value(i++).toBool();
    a.voidReason = q.value(i++).toString();
    a.entryKey = q.value(i++).toLongLong();
    return a;
}

// The attachments of one table's entries (of one entry when entryId is
// given), with the entry's key.
bool readOf(Database &db, const QString &table, const QString &entryId, QList<Attachment> *out, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT %1, t.%2 FROM %3 a JOIN %4 t ON t.%5 = a.\"RowEntryId\" WHERE a.\"TableName\" = ?")
                      .arg(selectList(), Dialect::quote(keyColumn()), Dialect::quote(kTable), Dialect::quote(table),
                           Dialect::quote(entryIdColumn()));
    if (!entryId.isEmpty())
        sql += QStringLiteral(" AND a.\"RowEntryId\" = ?");
    sql += QStringLiteral(" ORDER BY t.%1, a.%1").arg(Dialect::quote(keyColumn()));
    if (!q.prepare(sql))
        return failed(q, error);
    q.bindValue(0, table);
    if (!entryId.isEmpty())
        q.bindValue(1, entryId);
    if (!q.exec())
        return failed(q, error);
    while (q.next())
        out->append(fromRow(q));
    return !q.lastError().isValid() || failed(q, error);
}

} // namespace

bool putContent(Database &db, const QString &sha256, const QByteArray &bytes, QString *error)
{
    const QString sql = QStringLiteral("INSERT INTO %1 (\"Sha256\", \"Size\", \"Bytes\") VALUES (?, ?, ?)")
                            .arg(Dialect::quote(kContent));
    const QVariantList bound{sha256, qint64(bytes.size()), bytes};
    // A server takes the bytes as they are (Qt's driver would send them
    // escaped as text, twice their size); a file through Qt's driver.
    switch (native::execWithBytes(db.connection(), sql, bound, nullptr, nullptr, error)) {
    case native::BytesResult::Done: return true;
    case native::BytesResult::Failed: return false;
    case native::BytesResult::Unsupported: break;
    }
    QSqlQuery put(db.connection());
    if (!put.prepare(sql))
        return failed(put, error);
    for (int i = 0; i < bound.size(); ++i)
        put.bindValue(i, bound.at(i));
    return put.exec() || failed(put, error);
}

namespace {

QString exifText(ExifData *data, ExifTag tag)
{
    ExifEntry *entry = exif_data_get_entry(data, tag);
    if (!entry)
        return {};
    char buffer[64] = {};
    exif_entry_get_value(entry, buffer, sizeof buffer);
    return QString::fromLatin1(buffer).trimmed();
}

} // namespace

QString tableName() { return kTable; }
QString contentTable() { return kContent; }

QStringList fields()
{
    return {entryIdColumn(),
            QStringLiteral("TableName"),
            QStringLiteral("RowEntryId"),
            QStringLiteral("FileName"),
            QStringLiteral("MediaType"),
            QStringLiteral("Size"),
            QStringLiteral("Sha256"),
            QStringLiteral("AddedAtUtc"),
            QStringLiteral("AddedBy"),
            workstationColumn(),
            QStringLiteral("TakenAt"),
            voidedColumn(),
            voidReasonColumn()};
}

QStringList contentFields()
{
    return {QStringLiteral("Sha256"), QStringLiteral("Size"), QStringLiteral("Bytes")};
}

bool createMissing(QSqlDatabase &db, const Dialect &dialect, const QStringList &existingTables, QString *error)
{
    return createTable(db, dialect, kTable, fields(), existingTables, error)
           && createTable(db, dialect, kContent, contentFields(), existingTables, error)
           && run(db, QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"AttachmentEntryId\" ON %1 (%2)")
                          .arg(Dialect::quote(kTable), Dialect::quote(entryIdColumn())), error)
           && run(db, QStringLiteral("CREATE INDEX IF NOT EXISTS \"AttachmentRow\" ON %1 (\"TableName\", \"RowEntryId\")")
                          .arg(Dialect::quote(kTable)), error)
           && run(db, QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"AttachmentContentSha256\" ON %1 (\"Sha256\")")
                          .arg(Dialect::quote(kContent)), error);
}

qint64 limitBytes(int maxMegabytes)
{
    return qint64(maxMegabytes) * 1024 * 1024;
}

bool readFile(const QString &path, int maxMegabytes, const std::function<bool(double)> &progress, FileContent *out,
              QString *error)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists()) {
        *error = QStringLiteral("\"%1\" cannot be attached: the file is not there.").arg(path);
        return false;
    }
    if (!info.isFile()) {
        *error = QStringLiteral("\"%1\" cannot be attached: it is not a file.").arg(path);
        return false;
    }
    if (info.size() > limitBytes(maxMegabytes)) {
        *error = QStringLiteral("\"%1\" cannot be attached: it is %2, and a file may be at most %3 MB "
                                "([attachments] maxMegabytes).")
                     .arg(name, sizeText(info.size()))
                     .arg(maxMegabytes);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("\"%1\" cannot be attached: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray bytes;
    bytes.reserve(info.size());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    constexpr qint64 kChunk = 1 << 20;
    const qint64 expected = qMax<qint64>(1, info.size());
    for (;;) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                *error = QStringLiteral("\"%1\" cannot be attached: %2").arg(path, file.errorString());
                return false;
            }
            break;
        }
        bytes += chunk;
        hash.addData(chunk);
        // A file that grew while it was read is held to the limit too.
        if (bytes.size() > limitBytes(maxMegabytes)) {
            *error = QStringLiteral("\"%1\" cannot be attached: it is larger than %2 MB ([attachments] maxMegabytes).")
                         .arg(name)
                         .arg(maxMegabytes);
            return false;
        }
        if (progress && !progress(qMin(1.0, double(bytes.size()) / double(expected)))) {
            error->clear();
            return false;
        }
    }
    out->fileName = name;
    out->sha256 = QString::fromLatin1(hash.result().toHex());
    // By content first, so a photo named .txt or a text named .jpg is what it is.
    out->mediaType = QMimeDatabase().mimeTypeForFileNameAndData(name, bytes).name();
    out->takenAt = out->mediaType.startsWith(QLatin1String("image/")) ? takenAt(bytes) : QString();
    out->bytes = std::move(bytes);
    return true;
}

bool entryOf(Database &db, const QString &table, qint64 key, QString *entryId, bool *voided, QString *error)
{
    if (!findTable(table)) {
        *error = QStringLiteral("\"%1\" is not a table of the logbook.").arg(table);
        return false;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?")
                       .arg(Dialect::quote(entryIdColumn()), Dialect::quote(voidedColumn()), Dialect::quote(table),
                            Dialect::quote(keyColumn()))))
        return failed(q, error);
    q.bindValue(0, key);
    if (!q.exec())
        return failed(q, error);
    if (!q.next()) {
        *error = q.lastError().isValid() ? Database::errorText(q.lastError())
                                         : QStringLiteral("The entry is no longer in the logbook.");
        return false;
    }
    *entryId = q.value(0).toString();
    *voided = q.value(1).toBool();
    return true;
}

bool store(Database &db, const QString &table, qint64 key, const FileContent &file, const Added &added,
           const std::function<bool()> &mayCommit, Attachment *stored, QString *error)
{
    QSqlDatabase conn = db.connection();
    QSqlQuery tx(conn);
    if (!tx.exec(db.dialect().beginWrite))
        return failed(tx, error);
    auto rollback = [&] {
        QSqlQuery(conn).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    Attachment a;
    bool voided = false;
    if (!entryOf(db, table, key, &a.rowEntryId, &voided, error))
        return rollback();
    // A row stored by a program that gives no ids gets its derived one
    // first, so the file stays with it through copies and merges.
    if (a.rowEntryId.isEmpty()
        && (!entryids::giveMissing(conn, error) || !entryOf(db, table, key, &a.rowEntryId, &voided, error)))
        return rollback();
    if (voided) {
        *error = QStringLiteral("This entry is void: it takes no new attachments.");
        return rollback();
    }
    // The bytes once per content.
    QSqlQuery have(conn);
    have.setForwardOnly(true);
    if (!have.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE \"Sha256\" = ?").arg(Dialect::quote(kContent))))
        return failed(have, error) || rollback();
    have.bindValue(0, file.sha256);
    if (!have.exec())
        return failed(have, error) || rollback();
    const bool present = have.next();
    have.finish();
    if (!present) {
        if (!putContent(db, file.sha256, file.bytes, error))
            return rollback();
    }
    a.id = newEntryId();
    a.table = table;
    a.fileName = file.fileName;
    a.mediaType = file.mediaType;
    a.size = file.bytes.size();
    a.sha256 = file.sha256;
    a.addedAtUtc = added.utc.toUTC().toString(Qt::ISODate);
    a.addedBy = added.by;
    a.workstation = added.workstation;
    a.takenAt = file.takenAt;
    a.entryKey = key;
    QStringList names, marks;
    for (const QString &f : fields()) {
        if (f == voidedColumn() || f == voidReasonColumn())
            continue;
        names << Dialect::quote(f);
        marks << QStringLiteral("?");
    }
    QSqlQuery row(conn);
    if (!row.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(Dialect::quote(kTable), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
        return failed(row, error) || rollback();
    const QVariantList values{a.id,      a.table,       a.rowEntryId, a.fileName,    a.mediaType,
                              a.size,    a.sha256,      a.addedAtUtc, a.addedBy,     a.workstation,
                              a.takenAt};
    for (int i = 0; i < values.size(); ++i)
        row.bindValue(i, values.at(i));
    if (!row.exec())
        return failed(row, error) || rollback();
    if (mayCommit && !mayCommit()) {
        error->clear();
        return rollback();
    }
    if (!tx.exec(QStringLiteral("COMMIT"))) {
        failed(tx, error);
        return rollback();
    }
    if (stored)
        *stored = a;
    return true;
}

bool forEntry(Database &db, const QString &table, qint64 key, QList<Attachment> *out, QString *error)
{
    QString entryId;
    bool voided = false;
    if (!entryOf(db, table, key, &entryId, &voided, error))
        return false;
    return readOf(db, table, entryId.isEmpty() ? QStringLiteral("-") : entryId, out, error);
}

bool forTable(Database &db, const QString &table, QList<Attachment> *out, QString *error)
{
    return readOf(db, table, QString(), out, error);
}

bool all(Database &db, QList<Attachment> *out, QString *error)
{
    for (const TableDef &t : schema()) {
        if (!readOf(db, t.name, QString(), out, error))
            return false;
    }
    return true;
}

bool content(Database &db, const QString &sha256, QByteArray *bytes, QString *error)
{
    const QString sql = QStringLiteral("SELECT \"Bytes\" FROM %1 WHERE \"Sha256\" = ?").arg(Dialect::quote(kContent));
    bool found = false;
    switch (native::execWithBytes(db.connection(), sql, {sha256}, bytes, &found, error)) {
    case native::BytesResult::Done:
        if (!found)
            *error = QStringLiteral("The logbook holds no copy of this file.");
        return found;
    case native::BytesResult::Failed:
        return false;
    case native::BytesResult::Unsupported:
        break;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT \"Bytes\" FROM %1 WHERE \"Sha256\" = ?").arg(Dialect::quote(kContent))))
        return failed(q, error);
    q.bindValue(0, sha256);
    if (!q.exec())
        return failed(q, error);
    if (!q.next()) {
        *error = q.lastError().isValid() ? Database::errorText(q.lastError())
                                         : QStringLiteral("The logbook holds no copy of this file.");
        return false;
    }
    *bytes = q.value(0).toByteArray();
    return true;
}

bool voidAttachment(Database &db, const QString &id, const QString &reason, QString *error)
{
    if (reason.trimmed().isEmpty()) {
        *error = QStringLiteral("A void attachment needs a reason.");
        return false;
    }
    QSqlQuery q(db.connection());
    if (!q.prepare(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE %4 = ?")
                       .arg(Dialect::quote(kTable), Dialect::quote(voidedColumn()), Dialect::quote(voidReasonColumn()),
                            Dialect::quote(entryIdColumn()))))
        return failed(q, error);
    q.bindValue(0, true);
    q.bindValue(1, reason);
    q.bindValue(2, id);
    if (!q.exec())
        return failed(q, error);
    if (q.numRowsAffected() != 1) {
        *error = QStringLiteral("The attachment is no longer in the logbook.");
        return false;
    }
    return true;
}

QImage uprightImage(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

QImage thumbnail(const QByteArray &bytes, int edge)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    // A large photo is scaled while it is read, not after.
    if (size.isValid() && (size.width() > edge * 2 || size.height() > edge * 2)) {
        reader.setScaledSize(size.scaled(edge * 2, edge * 2, Qt::KeepAspectRatio));
    }
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QString takenAt(const QByteArray &bytes)
{
    ExifData *data = exif_data_new_from_data(reinterpret_cast<const unsigned char *>(bytes.constData()),
                                             unsigned(qMin<qsizetype>(bytes.size(), 0x7fffffff)));
    if (!data)
        return {};
    QString text = exifText(data, EXIF_TAG_DATE_TIME_ORIGINAL);
    if (text.isEmpty())
        text = exifText(data, EXIF_TAG_DATE_TIME);
    exif_data_unref(data);
    // "2026:12:08 10:41:07" as the camera's clock said it.
    const QDateTime when = QDateTime::fromString(text, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString safeFileName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        const bool unsafe = c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
                            || QStringLiteral("/\\:*?\"<>|$`;&!'{}()[]~#%^").contains(c);
        safe += unsafe || c.isSpace() ? QLatin1Char('_') : c;
    }
    // No hidden file, no parent folder, nothing a system keeps for itself.
    while (safe.startsWith(QLatin1Char('.')) || safe.startsWith(QLatin1Char('-')))
        safe.remove(0, 1);
    while (safe.endsWith(QLatin1Char('.')))
        safe.chop(1);
    if (safe.isEmpty())
        safe = QStringLiteral("file");
    // A name no longer than file systems take (255 bytes in UTF-8).
    while (safe.toUtf8().size() > 200)
        safe.chop(1);
    return safe;
}

QString exportName(const Attachment &a, qint64 entryKey)
{
    return safeFileName(QStringLiteral("%1-%2-%3").arg(a.table).arg(entryKey).arg(a.fileName));
}

} // namespace bravik::logbook::attachments
