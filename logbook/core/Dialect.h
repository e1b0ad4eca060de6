#pragma once

#include <QString>
#include <QStringList>

namespace bravik::logbook {

// Everything that differs between the database engines the logbook runs
// on, in one place.  The rest of the layer writes plain SQL with quoted
// identifiers and bound parameters and asks this struct for the few
// engine-specific pieces.
struct Dialect
{
    QString driver;                 // Qt driver name: "QSQLITE", "QPSQL"
    bool fileBased = false;         // the location is a file path
    QStringList fileCompanions;     // suffixes of the files the engine keeps beside it
    QString connectOptions;         // QSqlDatabase::setConnectOptions
    QStringList sessionStatements;  // run once right after connecting
    // The engine's code for "another connection holds the lock" where it
    // can come back at once, without the connection's own lock wait (a
    // file switching to its write-ahead log while another program opens
    // it too); empty when it never does.  Such a statement is tried again
    // for up to lockWaitMs.
    QString busyCode;
    int lockWaitMs = 0;

    QString keyColumnType;          // the hidden auto-increment key
    QString textType;               // every text field
    QString booleanType;            // check-box fields
    QString booleanDefault;         // value of a check box nobody touched
    QString integerType;            // for copying a table's own extra fields
    QString realType;
    QString blobType;
    QString storageOrder;           // orders a key-less table's rows as stored

    // The tables a connection sees (one name a row), and the fields of one
    // table (name and declared type a row, in order; the table's name is
    // bound).
    QString listTables;
    QString listColumns;

    // After rows were inserted with keys of their own: makes the next new
    // row's key follow the largest one.  %1 is the quoted table, %2 the
    // quoted key; the
    // table's name and the key's name are bound.  Empty when the engine
    // does this by itself.
    QString followKeys;

    QString beginWrite;             // starts a transaction that writes
    QString beginSnapshot;          // starts one that reads one moment's rows throughout
    bool insertReturnsKey = false;  // INSERT ... RETURNING key, else lastInsertId()

    // The schema version: read with one query giving one integer (or no
    // row); prepareVersion runs first inside the upgrade transaction (it
    // may create the version's home and must make concurrent upgrades
    // wait for each other).
    QStringList prepareVersion;
    QString readVersion;
    QStringList writeVersion;       // %1 is the new version number

    // One row: the server's text encoding, its character type and the
    // database's name (empty for an engine whose texts are always Unicode).  Case folding
    // reaches beyond A to Z only with textEncoding and a character type
    // other than the plain ones in plainCharacterTypes.
    QString readTextSettings;
    QString textEncoding;
    QStringList plainCharacterTypes;

    // Attaches a second logbook file (its path bound) to a connection as
    // the schema %1, and detaches it again, so rows move from one to the
    // other inside the engine (empty when the engine cannot).
    QString attachFile;
    QString detachFile;

    // One row of texts naming the database a connection reaches, equal for
    // two connections exactly when they reach the same logbook (empty for
    // a file-based engine: the file's identity tells).
    QString identifyDatabase;

    // Case-insensitive text matching for the list's filters: foldText
    // folds the case of %1 (any letters, not only A to Z); findText is
    // true when %2 occurs in %1, taken literally (no wildcards).
    QString foldText;
    QString findText;

    // The dialect of a Qt driver, or nullptr when the logbook cannot use it.
    static const Dialect *forDriver(const QString &driver);

    // "name" with embedded quotes doubled: a table or field name as SQL.
    static QString quote(const QString &identifier);
};

} // namespace bravik::logbook
