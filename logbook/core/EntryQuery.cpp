#include "EntryQuery.h"

#include "Database.h"
#include "Dialect.h"
#include "LaunchLog.h"
#include "MergeConflicts.h"
#include "NativeHandle.h"
#include "Schema.h"
#include "TextFold.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>
#include <algorithm>
#include <optional>
#include <vector>

namespace bravik::logbook {

QString EntryFilter::describe() const
{
    QStringList parts;
    if (!contains.isEmpty())
        parts << QStringLiteral("containing \"%1\"").arg(contains);
    if (!submitter.isEmpty())
        parts << QStringLiteral("submitted by %1").arg(submitter);
    if (!since.isEmpty())
        parts << QStringLiteral("stamped from %1").arg(since);
    if (!until.isEmpty())
        parts << QStringLiteral("stamped until %1").arg(until);
    if (inConflict)
        parts << QStringLiteral("in conflict");
    QString text = parts.isEmpty() ? QStringLiteral("all entries") : parts.join(QStringLiteral(", "));
    if (includeVoid)
        text += QStringLiteral(", void entries included");
    return text;
}

bool EntryFilter::parseBound(const QString &text, bool endOfRange, QString *bound)
{
    const QString t = text.trimmed();
    static const QRegularExpression dateOnly(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (dateOnly.match(t).hasMatch()) {
        const QDate day = QDate::fromString(t, Qt::ISODate);
        if (!day.isValid())
            return false;
        *bound = QDateTime(day, endOfRange ? QTime(23, 59, 59) : QTime(0, 0, 0), Qt::UTC)
                     .toString(Qt::ISODate);
        return true;
    }
    static const QRegularExpression dateTime(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})[T ](\\d{2}:\\d{2})(:\\d{2})?Z?$"));
    const auto m = dateTime.match(t);
    if (!m.hasMatch())
        return false;
    const QDate day = QDate::fromString(m.captured(1), Qt::ISODate);
    QTime time = QTime::fromString(m.captured(2) + (m.captured(3).isEmpty() ? QStringLiteral(":00") : m.captured(3)),
                                   QStringLiteral("HH:mm:ss"));
    if (!day.isValid() || !time.isValid())
        return false;
    if (endOfRange && m.captured(3).isEmpty())
        time = time.addSecs(59);
    *bound = QDateTime(day, time, Qt::UTC).toString(Qt::ISODate);
    return true;
}

namespace {
// A NUL stored in a text shows as U+FFFD, as the export writes it.
QString shownText(QString text)
{
    if (text.contains(QChar(0)))
        text.replace(QChar(0), QChar::ReplacementCharacter);
    return text;
}
} // namespace

struct EntryQuery::Private
{
    Database &database;
    const TableDef *def = nullptr;
    QString table;            // the table read; empty when there is none of the name
    bool launches = false;    // the launch records: no submitter, no void, started at
    EntryFilter filter;
    QStringList columns;
    QList<bool> booleans;
    QString select;           // up to WHERE … (range, filter), ORDER BY, LIMIT
    QString scanSelect;       // the filter only, newest first, no limit
    QVariantList filterValues;
    std::optional<QSqlQuery> query;
    bool haveBounds = false;
    qint64 lowest = 0, highest = -1;
    double progress = 0;
    QString error;

    Private(Database &db, const QString &name, const EntryFilter &f)
        : database(db)
        , def(findTable(name))
        , launches(name == launchlog::tableName())
        , filter(f)
    {
        if (launches) {
            // Read like the entries: newest first, every field, the time
            // span on the start.  They are never void and have no
            // submitter.
            table = name;
            columns = launchlog::fields();
            for (int i = 0; i < columns.size(); ++i)
                booleans << false;
        } else if (def) {
            table = def->name;
            columns << QStringLiteral("Date/Time") << QStringLiteral("SubmittedBy");
            for (const QString &field : def->fields)
                if (!columns.contains(field))
                    columns << field;
            columns << hiddenFields();
            // With voided rows among them, each row says whether it is void
            // and why, so an exported file tells them apart too.
            if (filter.includeVoid)
                columns << voidedColumn() << voidReasonColumn();
            for (const QString &c : columns)
                booleans << (def->isBoolean(c) || c == voidedColumn());
        } else {
            return;
        }

        const Dialect &dialect = database.dialect();
        registerTextFold(database.connection());
        QStringList names{Dialect::quote(keyColumn())};
        for (const QString &c : columns)
            names << Dialect::quote(c);
        const QString key = Dialect::quote(keyColumn());
        // The export reads the key and the columns; the list also whether
        // a row was corrected or voided, from the same row.
        const QString exported = names.join(QStringLiteral(", "));
        if (launches)
            names << QStringLiteral("0") << dialect.booleanDefault << QStringLiteral("''");
        else
            names << Dialect::quote(rowVersionColumn()) << Dialect::quote(voidedColumn())
                  << Dialect::quote(voidReasonColumn());
        QStringList where{QStringLiteral("%1 < ? AND %1 >= ?").arg(key)};
        if (!filter.includeVoid && !launches)
            where << QStringLiteral("NOT COALESCE(%1, %2)").arg(Dialect::quote(voidedColumn()), dialect.booleanDefault);
        if (!filter.contains.isEmpty()) {
            QStringList any;
            for (int i = 0; i < columns.size(); ++i) {
                if (booleans.at(i) || columns.at(i) == stampedAtColumn() || launchlog::integerFields().contains(columns.at(i)))
                    continue;
                any << dialect.findText.arg(dialect.foldText.arg(Dialect::quote(columns.at(i))),
                                            dialect.foldText.arg(QStringLiteral("?")));
                filterValues << filter.contains;
            }
            where << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
        }
        if (!filter.submitter.isEmpty() && !launches) {
            where << dialect.foldText.arg(Dialect::quote(QStringLiteral("SubmittedBy"))) + QStringLiteral(" = ")
                         + dialect.foldText.arg(QStringLiteral("?"));
            filterValues << filter.submitter;
        }
        const QString stamp = Dialect::quote(launches ? QStringLiteral("StartedAtUtc") : stampedAtColumn());
        if (!filter.since.isEmpty() || !filter.until.isEmpty())
            where << stamp + QStringLiteral(" <> ''");
        if (!filter.since.isEmpty()) {
            where << stamp + QStringLiteral(" >= ?");
            filterValues << filter.since;
        }
        if (!filter.until.isEmpty()) {
            where << stamp + QStringLiteral(" <= ?");
            filterValues << filter.until;
        }
        if (filter.inConflict && !launches) {
            where << conflicts::openConflictCondition(Dialect::quote(table) + QLatin1Char('.') + Dialect::quote(entryIdColumn()));
            filterValues << table;
        }
        select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 DESC LIMIT ?")
                     .arg(names.join(QStringLiteral(", ")), Dialect::quote(table),
                          where.join(QStringLiteral(" AND ")), key);
        const QStringList filterOnly = where.mid(1);
        scanSelect = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 DESC")
                         .arg(exported, Dialect::quote(table),
                              filterOnly.isEmpty() ? QString()
                                                   : QStringLiteral(" WHERE ") + filterOnly.join(QStringLiteral(" AND ")),
                              key);
    }

    bool fail(const QSqlQuery &q)
    {
        error = Database::errorText(q.lastError());
        return false;
    }

    bool readBounds()
    {
        QSqlQuery q(database.connection());
        q.setForwardOnly(true);
        const QString key = Dialect::quote(keyColumn());
        // Two subqueries: each is one step down the key's index, where
        // MIN and MAX side by side make SQLite read the whole table.
        if (!q.exec(QStringLiteral("SELECT (SELECT MIN(%1) FROM %2), (SELECT MAX(%1) FROM %2)")
                        .arg(key, Dialect::quote(table))))
            return fail(q);
        if (q.next() && !q.value(0).isNull()) {
            lowest = q.value(0).toLongLong();
            highest = q.value(1).toLongLong();
        } else {
            lowest = 0;
            highest = -1;
        }
        q.finish();
        haveBounds = true;
        return true;
    }
};

EntryQuery::EntryQuery(Database &database, const QString &table, const EntryFilter &filter)
    : d(std::make_unique<Private>(database, table, filter))
{
    if (d->table.isEmpty())
        d->error = QStringLiteral("The logbook has no table \"%1\".").arg(table);
}

EntryQuery::~EntryQuery() = default;

bool EntryQuery::isValid() const { return !d->table.isEmpty(); }
QStringList EntryQuery::columns() const { return d->columns; }
QList<bool> EntryQuery::booleanColumns() const { return d->booleans; }
double EntryQuery::progress() const { return d->progress; }
QString EntryQuery::error() const { return d->error; }

qint64 EntryQuery::tableRows()
{
    if (d->table.isEmpty())
        return 0;
    QSqlQuery q(d->database.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(Dialect::quote(d->table))) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

double EntryQuery::Position::progress() const
{
    if (exhausted)
        return 1;
    if (!started)
        return 0;
    const double whole = double(std::max<qint64>(1, highest - lowest + 1));
    return std::clamp((highest + 1 - high) / whole, 0.0, 1.0);
}

bool EntryQuery::fetchRange(Position &position, int limit, const RowsFound &found)
{
    if (d->table.isEmpty())
        return false;
    if (!position.started) {
        // The key range is read once: rows added later lie above it and
        // show when the list is opened again.
        if (!d->haveBounds && !d->readBounds())
            return false;
        position.started = true;
        position.lowest = d->lowest;
        position.highest = d->highest;
        position.high = position.high < 0 ? d->highest + 1 : std::min(position.high, d->highest + 1);
        // Without a filter one range covers the table; with one the search
        // goes in ranges that grow while nothing is found, so a stop is
        // heard within one range.
        position.span = d->filter.isEmpty() ? (d->highest - d->lowest + 1) : 4096;
    }
    if (position.high <= position.lowest || limit <= 0) {
        position.exhausted = position.high <= position.lowest;
        return true;
    }
    if (!d->query) {
        QSqlQuery q(d->database.connection());
        q.setForwardOnly(true);
        if (!q.prepare(d->select))
            return d->fail(q);
        d->query = std::move(q);
    }
    QSqlQuery &q = *d->query;
    const qint64 low = std::max(position.lowest, position.high - position.span);
    int i = 0;
    q.bindValue(i++, position.high);
    q.bindValue(i++, low);
    for (const QVariant &v : d->filterValues)
        q.bindValue(i++, v);
    q.bindValue(i++, limit);
    if (!q.exec()) {
        d->fail(q);
        q.finish();
        return false;
    }
    QList<Entry> rows;
    while (q.next()) {
        Entry e;
        e.key = q.value(0).toLongLong();
        e.values.reserve(d->columns.size());
        const int n = int(d->columns.size());
        for (int c = 0; c < n; ++c) {
            const QVariant v = q.value(c + 1);
            if (d->booleans.at(c))
                e.values << (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            else
                e.values << shownText(v.toString());
        }
        e.changed = q.value(n + 1).toLongLong() > 0;
        e.voided = q.value(n + 2).toBool();
        e.voidReason = shownText(q.value(n + 3).toString());
        rows << e;
    }
    if (q.lastError().isValid()) {
        d->fail(q);
        q.finish();
        return false;
    }
    q.finish();
    if (rows.size() == limit) {
        position.high = rows.last().key;   // more may lie below it
    } else {
        position.high = low;
        position.span = std::min<qint64>(position.span * 2, 262144);
    }
    position.exhausted = position.high <= position.lowest;
    d->progress = position.progress();
    if (!rows.isEmpty())
        found(rows);
    return true;
}

bool EntryQuery::fetch(qint64 before, int limit, const RowsFound &found, const std::atomic_bool *stop,
                       bool *exhausted)
{
    *exhausted = false;
    Position position;
    position.high = before;
    int wanted = limit;
    while (wanted > 0) {
        if (stop && stop->load())
            return true;
        const bool ok = fetchRange(position, wanted, [&](const QList<Entry> &rows) {
            wanted -= int(rows.size());
            found(rows);
        });
        if (!ok)
            return false;
        if (position.exhausted)
            break;
    }
    *exhausted = position.exhausted;
    return true;
}

bool EntryQuery::scan(const TextRow &row)
{
    if (d->table.isEmpty())
        return false;
    QList<bool> booleans{false};
    booleans << d->booleans;
    QString error;
    switch (native::scanText(d->database.connection(), d->scanSelect, d->filterValues, booleans, row, &error)) {
    case native::ScanResult::Done:
    case native::ScanResult::Ended:
        return true;
    case native::ScanResult::Failed:
        d->error = error;
        return false;
    case native::ScanResult::Unsupported:
        break;
    }
    // Through Qt a page at a time, so a server's whole result is never held.
    const int columns = int(d->columns.size()) + 1;
    std::vector<QByteArray> texts(static_cast<size_t>(columns));
    std::vector<QByteArrayView> views(static_cast<size_t>(columns));
    qint64 before = -1;
    bool exhausted = false, ended = false;
    while (!exhausted && !ended) {
        qint64 last = -1;
        const bool ok = fetch(before, 2000, [&](const QList<Entry> &rows) {
            for (const Entry &e : rows) {
                if (ended)
                    return;
                texts[0] = QByteArray::number(e.key);
                for (int c = 1; c < columns; ++c)
                    texts[size_t(c)] = e.values.at(c - 1).toUtf8();
                for (int c = 0; c < columns; ++c)
                    views[size_t(c)] = texts[size_t(c)];
                ended = !row(views.data(), columns);
            }
            last = rows.last().key;
        }, nullptr, &exhausted);
        if (!ok)
            return false;
        if (last < 0)
            break;
        before = last;
    }
    return true;
}

} // namespace bravik::logbook
