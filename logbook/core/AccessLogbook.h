#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>

namespace bravik::logbook::access {

// Reads the crew's old Access logbook (an .mdb file of Jet 3 or Jet 4, the
// eight tables and their fields as the logbook has them) so its rows can
// join this logbook as entries.  The file is read through the mdbtools
// programs (mdb-ver, mdb-tables, mdb-export), each in a process of its own
// with a time limit: a damaged file that makes the reader crash or loop
// costs the import, never the program.

// One row of one of the logbook's tables, as the record windows show it.
struct Row
{
    QString table;     // the logbook's name of the table ("Predive")
    int position = 0;  // 0-based, in the file's order
    // A UUID (text, no braces) derived from the table, every value of the
    // row as the file holds it, and how many identical rows come before it
    // in the table: reading the same file again gives the same ids, a row
    // changed in Access gets a new one, and a row deleted or added there
    // moves no other row's id.
    QString entryId;
    // The logbook's fields the file has: check-box fields as bool, every
    // other field as the text the window shows (a date of the file as the
    // clock would write it, line breaks as LF).
    QVariantMap values;
    // What the row holds beyond the logbook's fields, so nothing is lost:
    // the file's own fields the logbook does not know, and a value a
    // check-box field could not take, each as the text the file gave.
    QVariantMap extra;
};

struct Logbook
{
    QString format;                 // "JET3", "JET4", … as mdb-ver names it
    QStringList tables;             // every table of the file, in its order
    QStringList otherTables;        // tables of the file that are not the logbook's
    QStringList missingTables;      // the logbook's tables the file lacks
    QList<QPair<QString, QString>> unknownFields;   // (table, field) the logbook does not know
    // Values that could not be shown as the windows would, one line each
    // ("Predive, row 4, \"GPS Fix Valid\": \"maybe\" is not a check box
    // value; it comes in unticked and is kept beside the row").
    QStringList problems;
    QList<Row> rows;                // the logbook's tables, each in the file's order
};

// How a date of the file is written in the windows: the clock's text for
// that moment (the windows pass bravik::clockText with the computer's
// locale).
using DateText = std::function<QString(const QDateTime &)>;

// Reads the Access file at `path`.  False with a message when the file
// cannot be read (missing, not an Access file, mdbtools not installed, a
// reader that failed or took too long); nothing is returned half then.
bool read(const QString &path, const DateText &dateText, Logbook *into, QString *error);

// The arguments of mdb-export that give a table in the shape the mapping
// reads: CSV with a header line, records ended by CR LF, text fields in
// double quotes (quotes doubled), dates as ISO 8601 ("2003-07-29T20:23:40"),
// check boxes as 1 and 0, binary fields as hexadecimal digits.
QStringList exportArguments(const QString &path, const QString &table);

// Runs mdb-export with those arguments (with the reader's time limit):
// the table as CSV text in `exported`, or false with a message.
bool exportTable(const QString &path, const QString &table, QByteArray *exported, QString *error);

// Maps one table of the file, as mdb-export printed it with
// exportArguments(), into `into`: a table of the logbook gives rows, its
// unknown fields and odd values are reported; any other table is only
// listed in otherTables.  False with a message when the text is not such
// CSV; `into` is then left as it was.
bool mapTable(const QString &fileTable, QByteArrayView exported, const DateText &dateText, Logbook *into,
              QString *error);

// After every table was mapped: the logbook's tables the file lacks.
void noteMissingTables(Logbook *into);

// How many rows look like another entry of the same table made at the same
// moment by the same person under a different id (same `Date/Time` and
// `SubmittedBy`): what is left after a row was changed in Access since an
// earlier import.  Rows without a `Date/Time` are never counted.
int countLikelyDuplicates(const QList<Row> &rows);

} // namespace bravik::logbook::access
