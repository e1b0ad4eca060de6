#pragma once

// The predive checklists as the launch check reads them: the latest ones
// with a submission stamp (StampedAtUtc), newest first, voided ones left
// out.  One small bound-parameter query on the caller's connection.

#include <QList>
#include <QString>
#include <QStringList>

namespace bravik::logbook {

class Database;

namespace predivelog {

struct StoredChecklist
{
    qint64 key = -1;
    QString stampedAt;    // the stamp as stored (ISO 8601 UTC text)
    QString submittedBy;
    QList<bool> ticked;   // one per box asked for, in that order
};

// Up to `limit` checklists, not voided, whose stamp is not empty and not
// after `latest` (ISO 8601 UTC text), newest stamp first; with the
// check boxes `boxes`.  False with the engine's words.
bool latestStamped(Database &db, const QStringList &boxes, const QString &latest, int limit,
                   QList<StoredChecklist> *rows, QString *error);

} // namespace predivelog
} // namespace bravik::logbook
