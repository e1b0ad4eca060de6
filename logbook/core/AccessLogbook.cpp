#include "AccessLogbook.h"

#include "Csv.h"
#include "Schema.h"

#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>
#include <numeric>

namespace bravik::logbook::access {

namespace {

// The name space of the ids derived from Access rows; fixed for good, or
// every later import would bring every row in again.
const QUuid kRowNamespace(QStringLiteral("6a0bbfa8-6147-4c40-b852-b5dc0953fac5"));

// How long one mdbtools program may take: a whole table of years of
// entries is read in well under a second.
constexpr int kReaderLimitMs = 120000;

// The date text mdb-export is asked for; a clock text never has the "T".
const char *const kDateFormat = "%Y-%m-%dT%H:%M:%S";

const TableDef *logbookTable(const QString &fileTable)
{
    if (const TableDef *t = findTable(fileTable))
        return t;
    for (const TableDef &t : schema()) {
        // Access matches names without regard to case.
        if (t.name.compare(fileTable, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

QString logbookField(const TableDef &table, const QString &fileField)
{
    for (const QString &f : table.fields) {
        if (f == fileField)
            return f;
    }
    for (const QString &f : table.fields) {
        if (f.compare(fileField, Qt::CaseInsensitive) == 0)
            return f;
    }
    return {};
}

// A part of the identity: its length first, so no two different rows can
// ever give the same bytes.
void appendPart(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out += QByteArray::number(utf8.size());
    out += ':';
    out += utf8;
}

// True and the check box's state for the values Access and mdb-export
// give a Yes/No field (1/0, -1 from a number field, the words).
bool readCheckBox(const QString &raw, bool *ticked)
{
    static const QStringList yes{QStringLiteral("1"), QStringLiteral("-1"), QStringLiteral("true"),
                                 QStringLiteral("yes"), QStringLiteral("on")};
    static const QStringList no{QString(), QStringLiteral("0"), QStringLiteral("false"), QStringLiteral("no"),
                                QStringLiteral("off")};
    const QString t = raw.trimmed();
    if (yes.contains(t, Qt::CaseInsensitive)) {
        *ticked = true;
        return true;
    }
    if (no.contains(t, Qt::CaseInsensitive)) {
        *ticked = false;
        return true;
    }
    return false;
}

enum class DateRead { NotADate, Date, Unreadable };

// A date of the file, as mdb-export wrote it for exportArguments().
DateRead readDate(const QString &raw, QDateTime *when)
{
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})$"));
    const QRegularExpressionMatch m = iso.match(raw);
    if (!m.hasMatch())
        return DateRead::NotADate;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return DateRead::Unreadable;   // mdbtools gives day 0 for dates it cannot place
    // The file's dates are the clock's own, as the computer showed them:
    // nothing is converted.
    *when = QDateTime(date, time);
    return DateRead::Date;
}

struct Process
{
    QByteArray out;
    QString error;
};

bool runReader(const QString &program, const QStringList &arguments, Process *result)
{
    const QString exe = QStandardPaths::findExecutable(program);
    if (exe.isEmpty()) {
        result->error = QStringLiteral("The Access logbook is read with the mdbtools programs, and %1 is not "
                                       "installed (Debian package mdbtools).")
                            .arg(program);
        return false;
    }
    QProcess p;
    p.start(exe, arguments);
    if (!p.waitForStarted(10000)) {
        result->error = QStringLiteral("%1 cannot be started: %2").arg(program, p.errorString());
        return false;
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(kReaderLimitMs)) {
        p.kill();
        p.waitForFinished(5000);
        result->error = QStringLiteral("%1 did not finish within %2 seconds; the file may be damaged.")
                            .arg(program)
                            .arg(kReaderLimitMs / 1000);
        return false;
    }
    result->out = p.readAllStandardOutput();
    const QString said = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        const QString how = p.exitStatus() != QProcess::NormalExit
                                ? QStringLiteral("crashed")
                                : QStringLiteral("failed (exit status %1)").arg(p.exitCode());
        result->error = said.isEmpty() ? QStringLiteral("%1 %2.").arg(program, how)
                                       : QStringLiteral("%1 %2: %3").arg(program, how, said);
        return false;
    }
    return true;
}

} // namespace

QStringList exportArguments(const QString &path, const QString &table)
{
    const QString dates = QString::fromLatin1(kDateFormat);
    return {QStringLiteral("-R"), QStringLiteral("\\r\\n"), QStringLiteral("-D"), dates, QStringLiteral("-T"), dates,
            QStringLiteral("-b"), QStringLiteral("hex"), path, table};
}

bool exportTable(const QString &path, const QString &table, QByteArray *exported, QString *error)
{
    Process p;
    // An absolute path never reads as one of the program's options.
    if (!runReader(QStringLiteral("mdb-export"), exportArguments(QFileInfo(path).absoluteFilePath(), table), &p)) {
        *error = QStringLiteral("The table \"%1\" of the Access file \"%2\" cannot be read: %3").arg(table, path, p.error);
        return false;
    }
    *exported = p.out;
    return true;
}

bool mapTable(const QString &fileTable, QByteArrayView exported, const DateText &dateText, Logbook *into,
              QString *error)
{
    const TableDef *table = logbookTable(fileTable);
    if (!table) {
        into->tables << fileTable;
        into->otherTables << fileTable;
        return true;
    }
    QList<QStringList> records;
    QString why;
    if (!csv::parse(exported, &records, &why)) {
        *error = QStringLiteral("The table \"%1\" of the Access file cannot be read: %2").arg(fileTable, why);
        return false;
    }
    if (records.isEmpty()) {
        *error = QStringLiteral("The table \"%1\" of the Access file came without its field names.").arg(fileTable);
        return false;
    }
    const QStringList header = records.takeFirst();
    QStringList fields;   // the logbook's name of each column, empty when it has none
    QList<QPair<QString, QString>> unknown;
    for (const QString &name : header) {
        fields << logbookField(*table, name);
        if (fields.last().isEmpty())
            unknown.append({table->name, name});
    }
    // The columns in one order for the identity, whatever order the file has.
    QList<int> byName(header.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(), [&](int a, int b) { return header.at(a).toUtf8() < header.at(b).toUtf8(); });

    QHash<QByteArray, int> seen;   // identity → rows with it so far
    QList<Row> rows;
    QStringList problems;
    for (int r = 0; r < records.size(); ++r) {
        const QStringList &record = records.at(r);
        if (record.size() != header.size()) {
            *error = QStringLiteral("Row %1 of the table \"%2\" of the Access file has %3 fields where the table has %4.")
                         .arg(r + 1)
                         .arg(fileTable)
                         .arg(record.size())
                         .arg(header.size());
            return false;
        }
        QByteArray identity("bravik access row\n");
        appendPart(identity, table->name);
        for (int c : byName) {
            appendPart(identity, header.at(c));
            appendPart(identity, record.at(c));
        }
        const int before = seen.value(identity);
        seen.insert(identity, before + 1);
        identity += '#' + QByteArray::number(before);

        Row row;
        row.table = table->name;
        row.position = r;
        row.entryId = QUuid::createUuidV5(kRowNamespace, identity).toString(QUuid::WithoutBraces);
        for (int c = 0; c < header.size(); ++c) {
            const QString &raw = record.at(c);
            const QString &field = fields.at(c);
            auto where = [&] { return QStringLiteral("%1, row %2, \"%3\"").arg(table->name).arg(r + 1).arg(header.at(c)); };
            if (field.isEmpty()) {
                row.extra.insert(header.at(c), raw);
            } else if (table->isBoolean(field)) {
                bool ticked = false;
                if (!readCheckBox(raw, &ticked)) {
                    row.extra.insert(field, raw);
                    problems << QStringLiteral("%1: \"%2\" is not a check box value; it comes in unticked and is "
                                               "kept beside the row.")
                                    .arg(where(), raw);
                }
                row.values.insert(field, ticked);
            } else {
                QDateTime when;
                switch (readDate(raw, &when)) {
                case DateRead::Date: row.values.insert(field, dateText(when)); break;
                case DateRead::Unreadable:
                    problems << QStringLiteral("%1: mdbtools could not read the date in the file (it gave \"%2\"); "
                                               "it comes in as that text.")
                                    .arg(where(), raw);
                    row.values.insert(field, raw);
                    break;
                case DateRead::NotADate:
                    // Access keeps Windows line ends; the windows here break lines with LF alone.
                    row.values.insert(field, QString(raw).replace(QLatin1String("\r\n"), QLatin1String("\n")));
                    break;
                }
            }
        }
        rows << row;
    }
    into->tables << fileTable;
    into->unknownFields << unknown;
    into->rows << rows;
    into->problems << problems;
    return true;
}

void noteMissingTables(Logbook *into)
{
    into->missingTables.clear();
    for (const TableDef &t : schema()) {
        const bool found = std::any_of(into->tables.cbegin(), into->tables.cend(), [&](const QString &name) {
            return t.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!found)
            into->missingTables << t.name;
    }
}

bool read(const QString &path, const DateText &dateText, Logbook *into, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("The Access file \"%1\" does not exist.").arg(path);
        return false;
    }
    Logbook book;
    Process p;
    auto fail = [&]() {
        *error = QStringLiteral("The Access file \"%1\" cannot be read: %2").arg(path, p.error);
        return false;
    };
    const QString file = QFileInfo(path).absoluteFilePath();
    if (!runReader(QStringLiteral("mdb-ver"), {file}, &p))
        return fail();
    book.format = QString::fromUtf8(p.out).trimmed();
    if (!runReader(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), file}, &p))
        return fail();
    const QStringList names = QString::fromUtf8(p.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString name : names) {
        if (name.endsWith(QLatin1Char('\r')))
            name.chop(1);
        if (!logbookTable(name)) {
            book.tables << name;
            book.otherTables << name;
            continue;
        }
        QByteArray exported;
        if (!exportTable(file, name, &exported, error) || !mapTable(name, exported, dateText, &book, error))
            return false;
    }
    noteMissingTables(&book);
    *into = book;
    return true;
}

int countLikelyDuplicates(const QList<Row> &rows)
{
    const QString dateTime = QStringLiteral("Date/Time"), submittedBy = QStringLiteral("SubmittedBy");
    QHash<QString, QSet<QString>> ids;
    for (const Row &row : rows) {
        const QString when = row.values.value(dateTime).toString();
        if (when.isEmpty())
            continue;
        const QString key = row.table + QChar(0x1f) + when + QChar(0x1f) + row.values.value(submittedBy).toString();
        ids[key].insert(row.entryId);
    }
    int count = 0;
    for (const QSet<QString> &group : std::as_const(ids))
        count += int(group.size()) - 1;
    return count;
}

} // namespace bravik::logbook::access
