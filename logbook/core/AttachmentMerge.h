#pragma once

#include <QString>

namespace bravik::logbook {

class Database;

namespace attachments {

// Brings the attachments of `from` into `into` inside the merge's
// transaction on `into`, once its entries are merged: an attachment
// `into` lacks comes by its EntryId, its bytes only when `into` holds no
// copy of that content yet (by SHA-256), so a file is sent once however
// often it is attached; a void made in either stays, with its reason.
// *added counts the attachments brought.  False with the engine's message.
bool merge(Database &from, Database &into, qint64 *added, QString *error);

} // namespace attachments
} // namespace bravik::logbook
