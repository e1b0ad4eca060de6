#include "EntryQuery.h"

#include "Database.h"
#include "Dialect.h"
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

struct EntryQuery::Private
{
    Database &database;
    const TableDef *def = nullptr;
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

    Private(Database &db, const QString &table, const EntryFilter &f)
        : database(db)
        , def(findTable(table))
        , filter(f)
    {
        if (!def)
            return;
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

        const Dialect &dialect = database.dialect();
        registerTextFold(database.connection());
        QStringList names{Dialect::quote(keyColumn())};
        for (const QString &c : columns)
            names << Dialect::quote(c);
        const QString key = Dialect::quote(keyColumn());
        // The export reads the key and the columns; the list also whether
        // a row was corrected or voided, from the same row.
        const QString exported = names.join(QStringLiteral(", "));
        names << Dialect::quote(rowVersionColumn()) << Dialect::quote(voidedColumn())
              << Dialect::quote(voidReasonColumn());
        QStringList where{QStringLiteral("%1 < ? AND %1 >= ?").arg(key)};
        if (!filter.includeVoid)
            where << QStringLiteral("NOT COALESCE(%1, %2)").arg(Dialect::quote(voidedColumn()), dialect.booleanDefault);
        if (!filter.contains.isEmpty()) {
            QStringList any;
            for (int i = 0; i < columns.size(); ++i) {
                if (booleans.at(i) || columns.at(i) == stampedAtColumn())
                    continue;
                any << dialect.findText.arg(dialect.foldText.arg(Dialect::quote(columns.at(i))),
                                            dialect.foldText.arg(QStringLiteral("?")));
                filterValues << filter.contains;
            }
            where << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
        }
        if (!filter.submitter.isEmpty()) {
            where << dialect.foldText.arg(Dialect::quote(QStringLiteral("SubmittedBy"))) + QStringLiteral(" = ")
                         + dialect.foldText.arg(QStringLiteral("?"));
            filterValues << filter.submitter;
        }
        const QString stamp = Dialect::quote(stampedAtColumn());
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
        select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 DESC LIMIT ?")
                     .arg(names.join(QStringLiteral(", ")), Dialect::quote(def->name),
                          where.join(QStringLiteral(" AND ")), key);
        const QStringList filterOnly = where.mid(1);
        scanSelect = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 DESC")
                         .arg(exported, Dialect::quote(def->name),
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
                        .arg(key, Dialect::quote(def->name))))
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
    if (!d->def)
        d->error = QStringLiteral("The logbook has no table \"%1\".").arg(table);
}

EntryQuery::~EntryQuery() = default;

bool EntryQuery::isValid() const { return d->def != nullptr; }
QStringList EntryQuery::columns() const { return d->columns; }
QList<bool> EntryQuery::booleanColumns() const { return d->booleans; }
double EntryQuery::progress() const { return d->progress; }
QString EntryQuery::error() const { return d->error; }

qint64 EntryQuery::tableRows()
{
    if (!d->def)
        return 0;
    QSqlQuery q(d->database.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(Dialect::quote(d->def->name))) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

bool EntryQuery::fetch(qint64 before, int limit, const RowsFound &found, const std::atomic_bool *stop,
                       bool *exhausted)
{
    *exhausted = false;
    if (!d->def)
        return false;
    // The key range is read once: rows added later lie above it and show
    // when the list is opened again.
    if (!d->haveBounds && !d->readBounds())
        return false;
    if (!d->query) {
        QSqlQuery q(d->database.connection());
        q.setForwardOnly(true);
        if (!q.prepare(d->select))
            return d->fail(q);
        d->query = std::move(q);
    }
    QSqlQuery &q = *d->query;
    qint64 high = before < 0 ? d->highest + 1 : std::min(before, d->highest + 1);
    // Without a filter one range covers the table; with one the search
    // goes in ranges that grow while nothing is found, so a stop is heard
    // within one range.
    qint64 span = d->filter.isEmpty() ? (d->highest - d->lowest + 1) : 4096;
    int wanted = limit;
    const double whole = double(std::max<qint64>(1, d->highest - d->lowest + 1));
    while (wanted > 0 && high > d->lowest) {
        if (stop && stop->load())
            return true;
        const qint64 low = std::max(d->lowest, high - span);
        int i = 0;
        q.bindValue(i++, high);
        q.bindValue(i++, low);
        for (const QVariant &v : d->filterValues)
            q.bindValue(i++, v);
        q.bindValue(i++, wanted);
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
                    e.values << v.toString();
            }
            e.changed = q.value(n + 1).toLongLong() > 0;
            e.voided = q.value(n + 2).toBool();
            e.voidReason = q.value(n + 3).toString();
            rows << e;
        }
        if (q.lastError().isValid()) {
            d->fail(q);
            q.finish();
            return false;
        }
        q.finish();
        wanted -= int(rows.size());
        if (wanted == 0) {
            high = rows.last().key;   // more may lie below it
            d->progress = (d->highest + 1 - high) / whole;
            found(rows);
            *exhausted = high <= d->lowest;
            return true;
        }
        high = low;
        d->progress = (d->highest + 1 - high) / whole;
        if (!rows.isEmpty())
            found(rows);
        span = std::min<qint64>(span * 2, 262144);
    }
    *exhausted = high <= d->lowest;
    return true;
}

bool EntryQuery::scan(const TextRow &row)
{
    if (!d->def)
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
