#include "RecordCursor.h"

#include "Database.h"
#include "Dialect.h"
#include "RecordHistory.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QtGlobal>
#include <optional>

namespace bravik::logbook {

namespace {

// One prepared single-row read, kept prepared between moves but reset
// after each so no read statement stays open.
struct RowQuery
{
    QString sql;
    std::optional<QSqlQuery> query;
};

} // namespace

struct RecordCursor::Private
{
    enum class State { NoRow, Stored, New };

    Database &database;
    TableDef def;
    State state = State::NoRow;
    qint64 key = -1;
    QHash<QString, QVariant> values;
    QDateTime newRowStampedAt;   // set by the submission for its new row
    QString newRowWorkstation;
    QSet<QString> changed;
    QString lastError;
    quint64 generation = 0;
    qint64 attemptedKey = -1;      // the key the last insert got, before its commit
    qint64 unknownInsertKey = -1;  // a new row whose commit went unanswered

    RowQuery first, last, next, previous, byKey;

    // The row as it was read or last stored here: the values the changed
    // fields had before they were changed (the others are still as read),
    // how often it was changed after its first store, and whether it is
    // void.  A store changes it only where RowVersion is still this one,
    // so a change made elsewhere meanwhile is never overwritten unseen.
    QHash<QString, QVariant> shown;
    qint64 version = 0;
    bool voided = false;
    QString voidReason;
    // The last store was refused because the row was changed elsewhere:
    // storing again goes over that change, a move keeps it.
    bool conflict = false;
    QHash<QString, QVariant> theirs;
    bool hasCorrections = false;   // a table of the logbook's own
    // Stores of a changed row, kept prepared by their set of fields, and
    // the history's insert.
    QHash<QString, QSqlQuery> updates;
    std::optional<QSqlQuery> historyInsert;

    Private(Database &db, const QString &table)
        : database(db)
        , generation(db.generation())
    {
        // A table the program does not know has no fields; its first
        // query reports the engine's message.
        const TableDef *known = findTable(table);
        def = known ? *known : TableDef{table, {}, {}, true};
        QStringList columns{Dialect::quote(keyColumn())};
        for (const QString &field : def.fields)
            columns << Dialect::quote(field);
        hasCorrections = known != nullptr;
        if (known) {
            for (const QString &field : {rowVersionColumn(), voidedColumn(), voidReasonColumn()})
                columns << Dialect::quote(field);
        }
        const QString select = QStringLiteral("SELECT %1 FROM %2 ")
                                   .arg(columns.join(QStringLiteral(", ")), Dialect::quote(def.name));
        const QString key = Dialect::quote(keyColumn());
        first.sql = select + QStringLiteral("ORDER BY %1 LIMIT 1").arg(key);
        last.sql = select + QStringLiteral("ORDER BY %1 DESC LIMIT 1").arg(key);
        next.sql = select + QStringLiteral("WHERE %1 > ? ORDER BY %1 LIMIT 1").arg(key);
        previous.sql = select + QStringLiteral("WHERE %1 < ? ORDER BY %1 DESC LIMIT 1").arg(key);
        byKey.sql = select + QStringLiteral("WHERE %1 = ?").arg(key);
        clearValues();
    }

    QVariant emptyValue(const QString &field) const
    {
        return def.isBoolean(field) ? QVariant(false) : QVariant(QString());
    }

    QVariant normalised(const QString &field, const QVariant &v) const
    {
        if (def.isBoolean(field))
            return QVariant(v.toBool());
        // An emptied text is stored as an empty text, not as a missing one.
        const QString text = v.toString();
        return QVariant(text.isNull() ? QString::fromLatin1("") : text);
    }

    void clearValues()
    {
        values.clear();
        for (const QString &field : def.fields)
            values.insert(field, emptyValue(field));
        changed.clear();
        shown.clear();
        version = 0;
        voided = false;
        voidReason.clear();
        conflict = false;
        theirs.clear();
        newRowStampedAt = {};
        newRowWorkstation.clear();
    }

    void forgetPrepared()
    {
        for (RowQuery *rq : {&first, &last, &next, &previous, &byKey})
            rq->query.reset();
        updates.clear();
        historyInsert.reset();
    }

    // A server connection that broke (server restarted or gone, network
    // lost) is opened again before the next statement; the statements
    // prepared on the old one went with it.
    bool ensureConnected()
    {
        if (generation != database.generation()) {
            forgetPrepared();
            generation = database.generation();
        }
        if (!database.isBroken())
            return true;
        forgetPrepared();
        QString error;
        const bool ok = database.reopen(&error);
        generation = database.generation();
        if (!ok)
            lastError = error;
        return ok;
    }

    // After a failure: true when the connection had broken and is open
    // again, so the work can be repeated.  Otherwise lastError keeps the
    // server's message (with the reconnect's, when that failed too).
    bool reconnectAfterFailure()
    {
        if (!database.isBroken())
            return false;
        forgetPrepared();
        QString error;
        const bool ok = database.reopen(&error);
        generation = database.generation();
        if (!ok && !error.isEmpty() && !lastError.contains(error))
            lastError += QLatin1Char('\n') + error;
        return ok;
    }

    // Runs one single-row read.  Returns false on an engine failure; else
    // *found tells whether a row came back, and the row is current.
    bool fetch(RowQuery &rq, const QVariant &bound, bool *found)
    {
        if (!ensureConnected())
            return false;
        if (fetchOnce(rq, bound, found))
            return true;
        return reconnectAfterFailure() && fetchOnce(rq, bound, found);
    }

    bool fetchOnce(RowQuery &rq, const QVariant &bound, bool *found)
    {
        *found = false;
        if (!rq.query) {
            QSqlQuery q(database.connection());
            q.setForwardOnly(true);
            if (!q.prepare(rq.sql)) {
                lastError = database.failureText(q.lastError());
                return false;
            }
            rq.query = std::move(q);
        }
        QSqlQuery &q = *rq.query;
        if (bound.isValid())
            q.bindValue(0, bound);
        if (!q.exec()) {
            lastError = database.failureText(q.lastError());
            q.finish();
            return false;
        }
        if (q.next()) {
            *found = true;
            state = State::Stored;
            key = q.value(0).toLongLong();
            changed.clear();
            for (int i = 0; i < def.fields.size(); ++i)
                values.insert(def.fields.at(i), normalised(def.fields.at(i), q.value(i + 1)));
            if (!shown.isEmpty())
                shown.clear();
            const int n = int(def.fields.size()) + 1;
            const bool known = hasCorrections;
            version = known ? q.value(n).toLongLong() : 0;
            voided = known && q.value(n + 1).toBool();
            voidReason = known ? q.value(n + 2).toString() : QString();
            conflict = false;
            theirs.clear();
        } else if (q.lastError().isValid()) {
            lastError = database.failureText(q.lastError());
            q.finish();
            return false;
        }
        q.finish();
        return true;
    }

    bool exec(QSqlQuery &q, const QString &sql)
    {
        if (!q.exec(sql)) {
            lastError = database.failureText(q.lastError());
            return false;
        }
        return true;
    }

    // Appends a row with the given fields; *newKey gets its key.
    bool insert(const QStringList &fields, qint64 *newKey)
    {
        QSqlQuery q(database.connection());
        const Dialect &dialect = database.dialect();
        QStringList names, marks;
        for (const QString &field : fields) {
            names << Dialect::quote(field);
            marks << QStringLiteral("?");
        }
        QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(Dialect::quote(def.name), names.join(QStringLiteral(", ")),
                               marks.join(QStringLiteral(", ")));
        if (dialect.insertReturnsKey)
            sql += QStringLiteral(" RETURNING ") + Dialect::quote(keyColumn());
        if (!q.prepare(sql)) {
            lastError = database.failureText(q.lastError());
            return false;
        }
        for (int i = 0; i < fields.size(); ++i)
            q.bindValue(i, values.value(fields.at(i)));
        if (!q.exec()) {
            lastError = database.failureText(q.lastError());
            return false;
        }
        if (dialect.insertReturnsKey) {
            if (!q.next()) {
                lastError = database.failureText(q.lastError());
                return false;
            }
            *newKey = q.value(0).toLongLong();
        } else {
            *newKey = q.lastInsertId().toLongLong();
        }
        q.finish();
        return true;
    }

    // Writes the changed fields of the current row in one transaction.
    // The row counts as stored only once the commit has returned.
    bool write()
    {
        if (changed.isEmpty() || state == State::NoRow)
            return true;
        if (!ensureConnected())
            return false;
        // A logbook file removed or replaced under the program takes nothing.
        if (!database.fileIsInPlace(&lastError))
            return false;
        if (!settleUnknownInsert())
            return false;

        bool commitSent = false;
        bool keptAsNew = false;
        bool ok = writeOnce(&commitSent, &keptAsNew);
        if (!ok && database.isBroken()) {
            if (commitSent) {
                // The server may have stored the row before the connection
                // went; the next attempt looks before storing it again.
                if (state == State::New || keptAsNew)
                    unknownInsertKey = attemptedKey;
                lastError += QStringLiteral(
                    "\nThe connection was lost while the entry was being stored; it is kept here "
                    "and stored when you leave it again.");
                reconnectAfterFailure();
                return false;
            }
            ok = reconnectAfterFailure() && writeOnce(&commitSent, &keptAsNew);
        }
        if (!ok)
            return false;
        if (keptAsNew) {
            lastError = QStringLiteral(
                "This entry was deleted by someone else before your changes were stored. "
                "Everything shown in it has been stored again as a new entry.");
            return false;
        }
        return true;
    }

    // A new row whose commit went unanswered: if the server did store it,
    // the current row is that stored row from now on.
    bool settleUnknownInsert()
    {
        if (unknownInsertKey < 0)
            return true;
        bool present = false;
        if (!rowExists(unknownInsertKey, &present))
            return false;
        if (present) {
            state = State::Stored;
            key = unknownInsertKey;
        }
        unknownInsertKey = -1;
        return true;
    }

    bool writeOnce(bool *commitSent, bool *keptAsNew)
    {
        *commitSent = false;
        *keptAsNew = false;
        attemptedKey = -1;
        QSqlQuery tx(database.connection());
        if (!exec(tx, database.dialect().beginWrite))
            return false;
        auto rollback = [&]() {
            QSqlQuery(database.connection()).exec(QStringLiteral("ROLLBACK"));
            return false;
        };

        // Changed fields in the table's order, so the SQL is stable.
        QStringList fields;
        for (const QString &field : def.fields) {
            if (changed.contains(field))
                fields << field;
        }

        qint64 storedKey = key;
        bool deletedElsewhere = false;
        bool changedNow = false;
        if (state == State::New) {
            // A new row is stamped once, on its first store.
            const QDateTime when = newRowStampedAt.isValid() ? newRowStampedAt : QDateTime::currentDateTimeUtc();
            values.insert(stampedAtColumn(), RecordCursor::stampText(when));
            values.insert(workstationColumn(),
                          newRowStampedAt.isValid() ? newRowWorkstation : RecordCursor::thisWorkstation());
            fields << hiddenFields();
            if (!insert(fields, &storedKey))
                return rollback();
            attemptedKey = storedKey;
        } else {
            // Only what differs from the row as shown is a change.
            QList<history::Change> changes;
            for (const QString &field : fields) {
                const auto was = shown.constFind(field);
                const QString before = historyText(field, was != shown.constEnd() ? *was : values.value(field));
                const QString after = historyText(field, values.value(field));
                if (before != after)
                    changes.append({field, before, after});
            }
            bool present = true;
            if (changes.isEmpty()) {
                // Nothing to write; only a row gone meanwhile needs storing.
                if (!rowExists(key, &present))
                    return rollback();
            } else {
                const Outcome o = update(fields, changes);
                if (o == Outcome::Failed)
                    return rollback();
                if (o == Outcome::Conflict) {
                    rollback();
                    return false;
                }
                present = o != Outcome::Missing;
                changedNow = o == Outcome::Stored;
            }
            if (!present) {
                // Someone else deleted the row while it was shown here.
                // Keep everything the user saw and typed as a new row.
                deletedElsewhere = true;
                QStringList keep;
                for (const QString &field : def.fields) {
                    const QVariant v = values.value(field);
                    if (changed.contains(field) || (def.isBoolean(field) ? v.toBool() : !v.toString().isEmpty()))
                        keep << field;
                }
                if (!insert(keep, &storedKey))
                    return rollback();
                attemptedKey = storedKey;
            }
        }
        *commitSent = true;
        *keptAsNew = deletedElsewhere;
        if (!exec(tx, QStringLiteral("COMMIT")))
            return rollback();

        const bool wasNew = state == State::New || deletedElsewhere;
        state = State::Stored;
        key = storedKey;
        changed.clear();
        shown.clear();
        conflict = false;
        theirs.clear();
        if (wasNew) {
            version = 0;
            voided = false;
            voidReason.clear();
        } else if (changedNow) {
            ++version;
        }
        return true;
    }

    enum class Outcome { Stored, Same, Missing, Conflict, Failed };

    // A field's value as the history writes it.
    QString historyText(const QString &field, const QVariant &v) const
    {
        if (def.isBoolean(field))
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        return v.toString();
    }

    bool rowExists(qint64 rowKey, bool *present)
    {
        QSqlQuery q(database.connection());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                           .arg(Dialect::quote(def.name), Dialect::quote(keyColumn())))) {
            lastError = database.failureText(q.lastError());
            return false;
        }
        q.bindValue(0, rowKey);
        if (!q.exec()) {
            lastError = database.failureText(q.lastError());
            return false;
        }
        *present = q.next();
        q.finish();
        return true;
    }

    // The version-checked store of the changed fields with their history,
    // inside the caller's transaction.
    Outcome update(const QStringList &fields, const QList<history::Change> &changes)
    {
        const QString at = RecordCursor::stampText(QDateTime::currentDateTimeUtc());
        const QString where = RecordCursor::thisWorkstation();
        QStringList sets;
        for (const QString &field : fields)
            sets << Dialect::quote(field) + QStringLiteral(" = ?");
        for (const QString &field : {rowVersionColumn(), changedAtColumn(), changedOnColumn()})
            sets << Dialect::quote(field) + QStringLiteral(" = ?");
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND %4 = ?")
                                .arg(Dialect::quote(def.name), sets.join(QStringLiteral(", ")),
                                     Dialect::quote(keyColumn()), Dialect::quote(rowVersionColumn()));
        auto found = updates.find(sql);
        if (found == updates.end()) {
            QSqlQuery fresh(database.connection());
            if (!fresh.prepare(sql)) {
                lastError = database.failureText(fresh.lastError());
                return Outcome::Failed;
            }
            found = updates.insert(sql, fresh);
        }
        QSqlQuery &q = *found;
        int i = 0;
        for (const QString &field : fields)
            q.bindValue(i++, values.value(field));
        q.bindValue(i++, version + 1);
        q.bindValue(i++, at);
        q.bindValue(i++, where);
        q.bindValue(i++, key);
        q.bindValue(i++, version);
        if (!q.exec()) {
            lastError = database.failureText(q.lastError());
            q.finish();
            updates.erase(found);
            return Outcome::Failed;
        }
        const int touched = q.numRowsAffected();
        q.finish();
        if (touched == 0)
            return whyNotStored();
        if (!history::write(database, def.name, key, changes, at, where, history::osUser(), &lastError,
                            &historyInsert)) {
            historyInsert.reset();
            return Outcome::Failed;
        }
        return Outcome::Stored;
    }

    // After a store that touched no row: the row is gone, or it was changed
    // elsewhere since it was shown.  Then the row as stored there is what
    // the next store goes over, and what a move keeps.
    Outcome whyNotStored()
    {
        QStringList columns;
        for (const QString &field : def.fields)
            columns << Dialect::quote(field);
        for (const QString &field : {rowVersionColumn(), voidedColumn(), voidReasonColumn(), changedAtColumn(),
                                     changedOnColumn()})
            columns << Dialect::quote(field);
        QSqlQuery q(database.connection());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                           .arg(columns.join(QStringLiteral(", ")), Dialect::quote(def.name),
                                Dialect::quote(keyColumn())))) {
            lastError = database.failureText(q.lastError());
            return Outcome::Failed;
        }
        q.bindValue(0, key);
        if (!q.exec()) {
            lastError = database.failureText(q.lastError());
            return Outcome::Failed;
        }
        if (!q.next())
            return Outcome::Missing;
        const int n = int(def.fields.size());
        theirs.clear();
        for (int i = 0; i < n; ++i)
            theirs.insert(def.fields.at(i), normalised(def.fields.at(i), q.value(i)));
        version = q.value(n).toLongLong();
        voided = q.value(n + 1).toBool();
        voidReason = q.value(n + 2).toString();
        const QString changedAt = q.value(n + 3).toString();
        const QString changedOn = q.value(n + 4).toString();
        q.finish();
        // Our store goes over theirs: the history compares with theirs, and
        // the fields nobody changed here show theirs.
        bool differs = false;
        for (const QString &field : def.fields) {
            if (changed.contains(field) && historyText(field, theirs.value(field)) != historyText(field, values.value(field)))
                differs = true;
            shown.insert(field, theirs.value(field));
            if (!changed.contains(field))
                values.insert(field, theirs.value(field));
        }
        if (!differs) {
            // They stored what was typed here (or this store's own commit
            // went unanswered and did land): nothing is lost either way.
            theirs.clear();
            return Outcome::Same;
        }
        conflict = true;
        lastError = history::conflictText(changedOn, changedAt);
        return Outcome::Conflict;
    }

    // Leaving the row: stores it, unless its last store was refused
    // because it was changed elsewhere; then the edits made here are
    // dropped and the row as stored there is kept.
    bool leave(RecordCursor *self)
    {
        if (conflict) {
            for (const QString &field : def.fields)
                values.insert(field, theirs.value(field));
            shown.clear();
            changed.clear();
            conflict = false;
            theirs.clear();
            return true;
        }
        return self->save();
    }
};

RecordCursor::RecordCursor(Database &database, const QString &table, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(database, table))
{
}

RecordCursor::~RecordCursor() = default;

const TableDef &RecordCursor::table() const
{
    return d->def;
}

bool RecordCursor::open()
{
    d->state = Private::State::NoRow;
    d->key = -1;
    d->clearValues();
    bool found = false;
    if (!d->fetch(d->first, QVariant(), &found)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    Q_EMIT rowShown();
    return true;
}

bool RecordCursor::hasRow() const
{
    return d->state != Private::State::NoRow;
}

bool RecordCursor::isNewRow() const
{
    return d->state == Private::State::New;
}

bool RecordCursor::isChanged() const
{
    return !d->changed.isEmpty();
}

qint64 RecordCursor::currentKey() const
{
    return d->state == Private::State::Stored ? d->key : -1;
}

QVariant RecordCursor::value(const QString &field) const
{
    return d->values.value(field);
}

void RecordCursor::setValue(const QString &field, const QVariant &value)
{
    if (!d->def.fields.contains(field)) {
        qWarning("RecordCursor: table %s has no field %s", qPrintable(d->def.name), qPrintable(field));
        return;
    }
    if (d->state == Private::State::NoRow) {
        d->clearValues();
        d->state = Private::State::New;
        d->key = -1;
    }
    // The value as shown, before the first change, for the history.
    if (!d->changed.contains(field) && !d->shown.contains(field))
        d->shown.insert(field, d->values.value(field));
    d->values.insert(field, d->normalised(field, value));
    d->changed.insert(field);
}

bool RecordCursor::save()
{
    if (!d->write()) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    return true;
}

bool RecordCursor::beginNew()
{
    if (!d->leave(this))
        return false;
    d->clearValues();
    d->state = Private::State::New;
    d->key = -1;
    Q_EMIT rowShown();
    return true;
}

bool RecordCursor::moveToKey(qint64 key)
{
    if (!d->leave(this))
        return false;
    bool found = false;
    if (!d->fetch(d->byKey, key, &found)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    if (!found) {
        d->lastError = QStringLiteral("This entry is no longer in the logbook; someone may have deleted it.");
        Q_EMIT failed(d->lastError);
        return false;
    }
    Q_EMIT rowShown();
    return true;
}

bool RecordCursor::moveFirst()
{
    return moveToEnd(true);
}

bool RecordCursor::moveLast()
{
    return moveToEnd(false);
}

bool RecordCursor::moveToEnd(bool first)
{
    if (!d->leave(this))
        return false;
    bool found = false;
    if (!d->fetch(first ? d->first : d->last, QVariant(), &found)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    if (!found) {
        // The table is empty: an untouched new row is dropped.
        d->state = Private::State::NoRow;
        d->key = -1;
        d->clearValues();
    }
    Q_EMIT rowShown();
    return true;
}

bool RecordCursor::movePrevious()
{
    if (!d->leave(this))
        return false;
    bool found = false;
    bool ok = false;
    switch (d->state) {
    case Private::State::NoRow:
        return true;
    case Private::State::New:
        // A new row sits after the last one.
        ok = d->fetch(d->last, QVariant(), &found);
        break;
    case Private::State::Stored:
        ok = d->fetch(d->previous, d->key, &found);
        break;
    }
    if (!ok) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    if (found)
        Q_EMIT rowShown();
    return true;   // not found: on the first row (or an empty table), stay
}

bool RecordCursor::moveNext()
{
    if (!d->leave(this))
        return false;
    if (d->state != Private::State::Stored)
        return true;   // an untouched new row, or no row: nothing after it
    bool found = false;
    if (!d->fetch(d->next, d->key, &found)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    if (found) {
        Q_EMIT rowShown();
        return true;
    }
    if (!d->def.nextPastLastBeginsNew)
        return true;   // on the last row of a table that does not grow this way: stay
    return beginNew();
}

void RecordCursor::stampNewRow(const QDateTime &utc, const QString &workstation)
{
    if (d->state != Private::State::New)
        return;
    d->newRowStampedAt = utc.toUTC();
    d->newRowWorkstation = workstation;
}

QString RecordCursor::stampText(const QDateTime &when)
{
    // Whole seconds: Qt's ISO form leaves out the milliseconds.
    return when.toUTC().toString(Qt::ISODate);
}

QString RecordCursor::thisWorkstation()
{
    return QSysInfo::machineHostName();
}

bool RecordCursor::voidRow(const QString &reason)
{
    auto refuse = [this](const QString &message) {
        d->lastError = message;
        Q_EMIT failed(message);
        return false;
    };
    if (reason.trimmed().isEmpty())
        return refuse(QStringLiteral("A void entry needs a reason. The entry was not voided."));
    // Edits typed into the row are stored first, as on any move.
    if (!save())
        return false;
    if (d->state != Private::State::Stored)
        return refuse(QStringLiteral("This entry is not stored yet, so there is nothing to void."));
    if (d->voided)
        return refuse(QStringLiteral("This entry is void already (%1).").arg(d->voidReason));
    if (!d->ensureConnected()) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    if (!d->database.fileIsInPlace(&d->lastError)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    QSqlDatabase db = d->database.connection();
    QSqlQuery tx(db);
    if (!d->exec(tx, d->database.dialect().beginWrite)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    const QString at = stampText(QDateTime::currentDateTimeUtc());
    const QString where = thisWorkstation();
    QString message;
    bool stored = false;
    {
        QSqlQuery q(db);
        // A void is not a change of the fields: it marks the entry as it is
        // stored now, whoever changed it last.
        const QString sql = QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?, %4 = %4 + 1, %5 = ?, %6 = ? "
                                           "WHERE %7 = ? AND NOT %2")
                                .arg(Dialect::quote(d->def.name), Dialect::quote(voidedColumn()),
                                     Dialect::quote(voidReasonColumn()), Dialect::quote(rowVersionColumn()),
                                     Dialect::quote(changedAtColumn()), Dialect::quote(changedOnColumn()),
                                     Dialect::quote(keyColumn()));
        if (!q.prepare(sql)) {
            message = d->database.failureText(q.lastError());
        } else {
            q.bindValue(0, true);
            q.bindValue(1, reason);
            q.bindValue(2, at);
            q.bindValue(3, where);
            q.bindValue(4, d->key);
            if (!q.exec()) {
                message = d->database.failureText(q.lastError());
            } else if (q.numRowsAffected() == 0) {
                bool present = false;
                if (!d->rowExists(d->key, &present))
                    message = d->lastError;
                else
                    message = present ? QStringLiteral("This entry was voided on another computer already.")
                                      : QStringLiteral("This entry is no longer in the logbook; someone may have deleted it.");
            } else if (!history::write(d->database, d->def.name, d->key,
                                       {{voidedColumn(), QString(), reason}}, at, where, history::osUser(), &message)) {
            } else {
                stored = true;
            }
        }
    }
    if (stored && !d->exec(tx, QStringLiteral("COMMIT"))) {
        message = d->lastError;
        stored = false;
    }
    if (!stored) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        d->lastError = message;
        // Show the entry as it is stored now (voided elsewhere, say).
        bool found = false;
        if (d->fetch(d->byKey, d->key, &found) && found)
            Q_EMIT rowShown();
        d->lastError = message;
        Q_EMIT failed(message);
        return false;
    }
    bool found = false;
    if (!d->fetch(d->byKey, d->key, &found) || !found) {
        // Stored; only reading it back failed.
        d->version += 1;
        d->voided = true;
        d->voidReason = reason;
    }
    Q_EMIT rowShown();
    return true;
}

bool RecordCursor::readHistory(QList<history::Entry> *entries)
{
    entries->clear();
    if (d->state != Private::State::Stored)
        return true;
    if (!d->ensureConnected())
        return false;
    if (history::read(d->database, d->def.name, d->key, entries, &d->lastError))
        return true;
    if (d->reconnectAfterFailure())
        return history::read(d->database, d->def.name, d->key, entries, &d->lastError);
    return false;
}

qint64 RecordCursor::rowVersion() const { return d->version; }
bool RecordCursor::isVoided() const { return d->voided; }
QString RecordCursor::voidReason() const { return d->voidReason; }
bool RecordCursor::hasConflict() const { return d->conflict; }

QString RecordCursor::lastError() const
{
    return d->lastError;
}

} // namespace bravik::logbook
