#include "AttachmentFront.h"

#include "LogbookService.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace bravik::logbook {

using attachments::Attachment;

struct AttachmentFront::Private
{
    QString table;
    std::unique_ptr<LogbookClient> client;
};

AttachmentFront::AttachmentFront(const DatabaseLocation &where, const QString &table, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->table = table;
    d->client = std::make_unique<LogbookClient>(where);
    connect(d->client.get(), &LogbookClient::progressed, this, &AttachmentFront::progressed);
}

AttachmentFront::~AttachmentFront() = default;

const QString &AttachmentFront::table() const { return d->table; }
LogbookClient &AttachmentFront::client() const { return *d->client; }

namespace {

QString answerError(const JobAnswer &a, const QString &own)
{
    if (a.status == JobStatus::Withdrawn)
        return {};
    return !a.error.isEmpty() ? a.error : own;
}

JobOptions longRead()
{
    JobOptions o;
    o.lane = JobOptions::Lane::Long;
    return o;
}

} // namespace

void AttachmentFront::list(qint64 key, int edge, ListDone done)
{
    struct Result
    {
        QList<Listed> listed;
        QString error;
        bool ok = false;
    };
    const QString table = d->table;
    d->client->run(longRead(), [table, key, edge](JobContext &c) {
        Result r;
        QList<Attachment> found;
        if (!attachments::forEntry(c.database(), table, key, &found, &r.error))
            return r;
        for (const Attachment &a : found) {
            if (c.stopRequested())
                return r;
            Listed l{a, {}};
            QByteArray bytes;
            if (a.isImage() && attachments::content(c.database(), a.sha256, &bytes, &r.error))
                l.thumbnail = attachments::thumbnail(bytes, edge);
            r.listed << l;
        }
        r.error.clear();
        r.ok = true;
        return r;
    }, [done](const Answer<Result> &a) {
        const bool ok = a.ok() && a.value.ok;
        done(ok, a.value.listed, ok ? QString() : answerError(a, a.value.error));
    });
}

void AttachmentFront::add(qint64 key, const QString &path, int maxMegabytes, const attachments::Added &added,
                          AddDone done)
{
    struct Result
    {
        Attachment stored;
        QString error;
        bool ok = false;
    };
    JobOptions o;
    o.lane = JobOptions::Lane::Long;
    o.write = JobOptions::Write::Awaited;
    const QString table = d->table;
    d->client->run(o, [table, key, path, maxMegabytes, added](JobContext &c) {
        Result r;
        attachments::FileContent file;
        // Reading the file is most of the work on a local logbook: it
        // carries the progress up to nine tenths, the store the rest.
        const bool read = attachments::readFile(path, maxMegabytes, [&c](double share) {
            c.progress(share * 0.9);
            return !c.stopRequested();
        }, &file, &r.error);
        if (!read || c.stopRequested())
            return r;
        r.ok = attachments::store(c.database(), table, key, file, added, [&c] { return c.mayCommit(); }, &r.stored,
                                  &r.error);
        if (r.ok)
            c.progress(1.0);
        return r;
    }, [done](const Answer<Result> &a) {
        const bool ok = a.ok() && a.value.ok;
        done(ok, a.value.stored, ok ? QString() : answerError(a, a.value.error));
    });
}

void AttachmentFront::read(const Attachment &attachment, ReadDone done)
{
    struct Result
    {
        QByteArray bytes;
        QString error;
        bool ok = false;
    };
    const QString sha = attachment.sha256;
    d->client->run(longRead(), [sha](JobContext &c) {
        Result r;
        r.ok = attachments::content(c.database(), sha, &r.bytes, &r.error);
        return r;
    }, [done](const Answer<Result> &a) {
        const bool ok = a.ok() && a.value.ok;
        done(ok, a.value.bytes, ok ? QString() : answerError(a, a.value.error));
    });
}

void AttachmentFront::voidAttachment(const QString &id, const QString &reason, Done done)
{
    struct Result
    {
        QString error;
        bool ok = false;
    };
    JobOptions o;
    o.write = JobOptions::Write::Awaited;
    d->client->run(o, [id, reason](JobContext &c) {
        Result r;
        QSqlDatabase conn = c.database().connection();
        QSqlQuery tx(conn);
        if (!tx.exec(c.database().dialect().beginWrite)) {
            r.error = Database::errorText(tx.lastError());
            return r;
        }
        r.ok = attachments::voidAttachment(c.database(), id, reason, &r.error) && c.mayCommit()
               && QSqlQuery(conn).exec(QStringLiteral("COMMIT"));
        if (!r.ok) {
            QSqlQuery(conn).exec(QStringLiteral("ROLLBACK"));
            if (r.error.isEmpty())
                r.error = Database::errorText(conn.lastError());
        }
        return r;
    }, [done](const Answer<Result> &a) {
        const bool ok = a.ok() && a.value.ok;
        done(ok, ok ? QString() : answerError(a, a.value.error));
    });
}

bool AttachmentFront::isBusy() const { return d->client->isBusy(); }

bool AttachmentFront::stop() { return d->client->stopWaiting(); }

bool AttachmentFront::writeFile(const QString &path, const QByteArray &bytes, bool readOnly, QString *error)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        *error = QStringLiteral("\"%1\" cannot be written: %2").arg(path, out.errorString());
        return false;
    }
    if (readOnly)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

QString AttachmentFront::temporaryCopy(const Attachment &a, const QByteArray &bytes, QString *error)
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/bravik-attachments-XXXXXX"));
    if (!folder.isValid()) {
        *error = QStringLiteral("No folder for a temporary copy can be made: %1").arg(folder.errorString());
        return {};
    }
    // A folder of its own for each attachment, so two files of one name
    // do not meet and the file keeps its name for the viewer.
    const QString place = folder.filePath(a.id);
    QDir().mkpath(place);
    const QString path = place + QLatin1Char('/') + attachments::safeFileName(a.fileName);
    if (QFile::exists(path))
        return path;
    return writeFile(path, bytes, true, error) ? path : QString();
}

} // namespace bravik::logbook
