#pragma once

#include "Attachments.h"
#include "Database.h"

#include <QImage>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace bravik::logbook {

class LogbookClient;

// The attachments of one table's entries, through the logbook service:
// every request is a job of this front's own client, answered later on
// the caller's thread, so a window never waits.  A file is read and stored
// as one long job (its progress told by progressed()); stop() withdraws
// it, and what it had stored is rolled back.  Requests run in the order
// they are given.
class AttachmentFront : public QObject
{
    Q_OBJECT
public:
    AttachmentFront(const DatabaseLocation &where, const QString &table, QObject *parent = nullptr);
    ~AttachmentFront() override;

    const QString &table() const;
    LogbookClient &client() const;

    struct Listed
    {
        attachments::Attachment attachment;
        QImage thumbnail;   // null for what is no image
    };
    using ListDone = std::function<void(bool ok, const QList<Listed> &listed, const QString &error)>;
    using AddDone = std::function<void(bool ok, const attachments::Attachment &stored, const QString &error)>;
    using ReadDone = std::function<void(bool ok, const QByteArray &bytes, const QString &error)>;
    using Done = std::function<void(bool ok, const QString &error)>;

    // The entry's attachments, with a thumbnail of `edge` pixels for images.
    void list(qint64 key, int edge, ListDone done);
    // Reads the file and stores it as an attachment of the entry.  Refused
    // (ok false, the reason) when the file is too large or unreadable, or
    // the entry void; withdrawn by stop() (ok false, error empty when it
    // was stopped).
    void add(qint64 key, const QString &path, int maxMegabytes, const attachments::Added &added, AddDone done);
    // The bytes of an attachment.
    void read(const attachments::Attachment &a, ReadDone done);
    void voidAttachment(const QString &id, const QString &reason, Done done);

    bool isBusy() const;
    // Stops the job running now and drops the queued ones; false when a
    // store is already being committed (it lands).
    bool stop();

    // Writes bytes to a new file at `path` whole or not at all; read-only
    // when asked.  False with the system's reason.
    static bool writeFile(const QString &path, const QByteArray &bytes, bool readOnly, QString *error);
    // A read-only copy of an attachment in a folder of the program's own
    // that is removed when the program ends; its path, or empty with *error.
    static QString temporaryCopy(const attachments::Attachment &a, const QByteArray &bytes, QString *error);

Q_SIGNALS:
    // The share of the file stored so far, 0 to 1.
    void progressed(double share);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace bravik::logbook
