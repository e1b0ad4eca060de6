#pragma once

#include <QByteArrayView>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace bravik::logbook::native {

// Stops the statement running on one connection, from any thread.  For a
// server this sends a cancel request over a connection of its own, which
// may take as long as the network does: call it off the user-interface
// thread.
class Canceller
{
public:
    virtual ~Canceller() = default;
    virtual void cancel() = 0;
    // The connection is about to close; cancel() does nothing from now on.
    virtual void forget() {}
};

// The canceller of an open connection (nullptr for an engine without
// one).  Called on the connection's own thread.
std::shared_ptr<Canceller> cancellerFor(const QSqlDatabase &db);

// A file's lock waits: while another program holds the write lock, a
// statement keeps trying until giveUp() says to stop (then the engine
// reports the file busy).  Called on the connection's own thread; giveUp
// is called there too, while the statement waits.  No effect on a server.
void setLockWait(const QSqlDatabase &db, std::function<bool()> giveUp);

// Reads the rows of a SELECT ('?' placeholders, `bound` in their order)
// in one forward pass, handing each row's columns as UTF-8 text straight
// from the engine's own buffers (no copy, no conversion): a NULL is empty,
// and the columns that `booleans` marks are "true" or "false".  A text in
// a file that is not valid UTF-8 or holds a NUL is handed over as Qt's
// driver reads it, in UTF-8, with U+FFFD for a NUL (a server sends UTF-8
// only).  The texts are valid only during the call.  `row` returning false ends the pass early (not a
// failure).
//
// SQLite reads its file as it goes.  A server sends the rows a few
// thousand at a time through a cursor, inside a transaction of its own,
// or a savepoint of the one the connection has open; the connection is
// left as it was found, also when the statement fails or is cancelled
// (Failed, with the engine's words).
//
// Unsupported where the texts would not be Qt's (a server's column of a
// type Qt's driver converts, such as a date or a number with a fraction),
// while a statement of Qt's is still being read on the connection, and on
// any other engine: the caller reads through Qt instead.
enum class ScanResult { Done, Ended, Failed, Unsupported };
using TextRow = std::function<bool(const QByteArrayView *columns, int count)>;
ScanResult scanText(const QSqlDatabase &db, const QString &sql, const QVariantList &bound,
                    const QList<bool> &booleans, const TextRow &row, QString *error);

// Runs one statement on a server with its bytes passed as they are, not as
// text: '?' placeholders, `bound` in their order (a QByteArray goes as
// binary bytes, anything else as its text), and the first column of the
// first row (a bytea) read back as binary bytes into *value, *found telling
// whether there was a row.  So a large file is neither escaped nor
// unescaped on its way.  Unsupported on a file, where Qt's driver binds
// bytes as they are already: the caller goes through Qt.
enum class BytesResult { Done, Failed, Unsupported };
BytesResult execWithBytes(const QSqlDatabase &db, const QString &sql, const QVariantList &bound, QByteArray *value,
                          bool *found, QString *error);

// The server a PostgreSQL location names, for telling the user ("deck",
// "127.0.0.1:5433", "service bravik"); empty when it names none.
QString serverName(const QString &location);

} // namespace bravik::logbook::native
