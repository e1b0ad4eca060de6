#include "RecordCursor.h"

#include "Database.h"
#include "RecordHistory.h"
#include "RecordRows.h"

#include <QSysInfo>
#include <QtGlobal>
#include <optional>

namespace bravik::logbook {

namespace {

// A table the program does not know has no fields; its first query
// reports the engine's message.
TableDef tableNamed(const QString &table)
{
    const TableDef *known = findTable(table);
    return known ? *known : TableDef{table, {}, {}, true, {}};
}

} // namespace

struct RecordCursor::Private
{
    enum class State { NoRow, Stored, New };
    using Step = RecordRows::Step;

    Database &database;
    TableDef def;
    bool hasCorrections = false;   // a table of the logbook's own
    RecordRows rows;
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
    qint64 committedKey = -1;      // the row the last write committed
    FileIdentity openedFile;       // the logbook file the rows shown came from
    std::function<bool()> commitGate;
    RecordCursor::SameTransaction alsoWrite;   // saveWith()'s write, for one store

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
    // The history's insert, kept prepared.
    std::optional<QSqlQuery> historyInsert;

    Private(Database &db, const QString &table)
        : database(db)
        , def(tableNamed(table))
        , hasCorrections(findTable(table) != nullptr)
        , rows(db, def, hasCorrections)
        , generation(db.generation())
    {
        clearValues();
    }

    QVariant emptyValue(const QString &field) const { return def.emptyValue(field); }
    QVariant normalised(const QString &field, const QVariant &v) const { return def.normalised(field, v); }

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
        rows.forgetPrepared();
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

    // Runs one single-row read (`rowKey` for the steps that need one).
    // Returns false on an engine failure; else *found tells whether a row
    // came back, and the row is current.
    bool fetch(Step step, qint64 rowKey, bool *found)
    {
        if (!ensureConnected())
            return false;
        if (fetchOnce(step, rowKey, found))
            return true;
        return reconnectAfterFailure() && fetchOnce(step, rowKey, found);
    }

    bool fetchOnce(Step step, qint64 rowKey, bool *found)
    {
        StoredRow row;
        if (!rows.read(step, rowKey, &row, found, &lastError))
            return false;
        if (*found) {
            state = State::Stored;
            key = row.key;
            changed.clear();
            for (int i = 0; i < def.fields.size(); ++i)
                values.insert(def.fields.at(i), normalised(def.fields.at(i), row.fields.at(i)));
            if (!shown.isEmpty())
                shown.clear();
            version = row.version;
            voided = row.voided;
            voidReason = row.voidReason;
            conflict = false;
            theirs.clear();
        }
        return true;
    }

    // Appends a row with the given fields; *newKey gets its key.
    bool insert(const QStringList &fields, qint64 *newKey)
    {
        return rows.insert(fields, values, newKey, &lastError);
    }

    // The one who asked for the write still waits for it.
    bool mayCommit()
    {
        if (!commitGate || commitGate())
            return true;
        lastError = QStringLiteral("Storing this entry was given up before it was stored.");
        return false;
    }

    // Writes the changed fields of the current row in one transaction.
    // The row counts as stored only once the commit has returned.
    bool write()
    {
        if ((changed.isEmpty() && !alsoWrite) || state == State::NoRow)
            return true;
        if (state == State::Stored && voided) {
            lastError = QStringLiteral("This entry is void, so it cannot be changed. \"Restore Entry…\" makes "
                                       "it an ordinary entry again.");
            return false;
        }
        if (!ensureConnected())
            return false;
        // A logbook file removed or replaced under the program takes nothing.
        if (!database.fileIsInPlace(openedFile, &lastError))
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
        WriteTransaction tx(database);
        if (!tx.begin(&lastError))
            return false;
        auto rollback = [&]() {
            tx.rollback();
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
            if (changes.isEmpty() && alsoWrite) {
                // Nothing of the row to write, but what goes with it was
                // decided on the row as read.
                const Outcome o = checkVersion();
                if (o == Outcome::Failed || o == Outcome::Conflict)
                    return rollback();
                present = o != Outcome::Missing;
            } else if (changes.isEmpty()) {
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
        if (alsoWrite && deletedElsewhere) {
            lastError = QStringLiteral("This entry was deleted by someone else; nothing was stored.");
            return rollback();
        }
        if (alsoWrite && !alsoWrite(database, &lastError))
            return rollback();
        if (!mayCommit())
            return rollback();
        *commitSent = true;
        *keptAsNew = deletedElsewhere;
        if (!tx.commit(&lastError))
            return rollback();
        committedKey = storedKey;

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
        return rows.exists(rowKey, present, &lastError);
    }

    // The version-checked store of the changed fields with their history,
    // inside the caller's transaction.
    Outcome update(const QStringList &fields, const QList<history::Change> &changes)
    {
        const QString at = RecordCursor::stampText(QDateTime::currentDateTimeUtc());
        const QString where = RecordCursor::thisWorkstation();
        const RecordRows::Written w = rows.update(key, version, fields, values, at, where, &lastError);
        if (w == RecordRows::Written::Failed)
            return Outcome::Failed;
        if (w == RecordRows::Written::Untouched)
            return whyNotStored();
        if (!history::write(database, def.name, key, changes, at, where, history::osUser(), &lastError,
                            &historyInsert)) {
            historyInsert.reset();
            return Outcome::Failed;
        }
        return Outcome::Stored;
    }

    // The row as stored now: Same when it is there, Missing or Failed.
    Outcome readNow(StoredRow *row)
    {
        bool found = false;
        if (!rows.readCurrent(key, row, &found, &lastError))
            return Outcome::Failed;
        return found ? Outcome::Same : Outcome::Missing;
    }

    // The row is still as read: its version has not moved on.
    Outcome checkVersion()
    {
        StoredRow row;
        const Outcome read = readNow(&row);
        if (read != Outcome::Same || row.version == version)
            return read;
        // Changed elsewhere since: the row shows it now, and what was
        // decided on the old one is not written.
        const Outcome o = takeTheirs(row);
        if (o == Outcome::Same)
            lastError = history::conflictText(row.changedOn, row.changedAt);
        return o == Outcome::Same ? Outcome::Conflict : o;
    }

    // After a store that touched no row: the row is gone, or it was changed
    // elsewhere since it was shown.  Then the row as stored there is what
    // the next store goes over, and what a move keeps.
    Outcome whyNotStored()
    {
        StoredRow row;
        const Outcome read = readNow(&row);
        return read == Outcome::Same ? takeTheirs(row) : read;
    }

    Outcome takeTheirs(const StoredRow &row)
    {
        theirs.clear();
        for (int i = 0; i < def.fields.size(); ++i)
            theirs.insert(def.fields.at(i), normalised(def.fields.at(i), row.fields.at(i)));
        version = row.version;
        voided = row.voided;
        voidReason = row.voidReason;
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
        lastError = history::conflictText(row.changedOn, row.changedAt);
        return Outcome::Conflict;
    }

    // Leaving the row: stores it, unless its last store was refused
    // because it was changed elsewhere; then the edits made here are
    // dropped and the row as stored there is kept.
    bool leave(RecordCursor *self)
    {
        if (state == State::Stored && voided && !changed.isEmpty()) {
            // A void entry takes no edits (the window lets none in).
            self->discardChanges();
            return true;
        }
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
    d->openedFile = d->database.openedFile();
    d->state = Private::State::NoRow;
    d->key = -1;
    d->clearValues();
    bool found = false;
    if (!d->fetch(Private::Step::First, -1, &found)) {
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

QStringList RecordCursor::changedFields() const
{
    QStringList out;
    for (const QString &field : d->def.fields)
        if (d->changed.contains(field))
            out << field;
    return out;
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
    d->committedKey = -1;
    const bool ok = d->write();
    // Stored also when the row went elsewhere and was kept as a new one.
    if (d->committedKey >= 0)
        Q_EMIT stored(d->committedKey);
    if (!ok) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    return true;
}

bool RecordCursor::saveWith(SameTransaction alsoWrite)
{
    d->alsoWrite = std::move(alsoWrite);
    const bool ok = save();
    d->alsoWrite = {};
    return ok;
}

bool RecordCursor::storeDecision(const QString &field, const QVariant &value, SameTransaction alsoWrite)
{
    if (d->state != Private::State::Stored) {
        d->lastError = QStringLiteral("This entry is not stored yet.");
        return false;
    }
    if (isChanged() && !save())
        return false;
    if (!field.isEmpty())
        setValue(field, value);
    if (saveWith(std::move(alsoWrite)))
        return true;
    discardChanges();
    d->conflict = false;
    d->theirs.clear();
    return false;
}

void RecordCursor::setCommitGate(std::function<bool()> gate)
{
    d->commitGate = std::move(gate);
}

void RecordCursor::discardChanges()
{
    for (const QString &field : std::as_const(d->changed))
        d->values.insert(field, d->shown.value(field, d->emptyValue(field)));
    d->changed.clear();
    d->shown.clear();
    if (d->state == Private::State::New) {
        d->newRowStampedAt = {};
        d->newRowWorkstation.clear();
    }
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
    if (!d->fetch(Private::Step::At, key, &found)) {
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
    if (!d->fetch(first ? Private::Step::First : Private::Step::Last, -1, &found)) {
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
        ok = d->fetch(Private::Step::Last, -1, &found);
        break;
    case Private::State::Stored:
        ok = d->fetch(Private::Step::Before, d->key, &found);
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
    if (!d->fetch(Private::Step::After, d->key, &found)) {
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
    return markVoid(true, reason);
}

bool RecordCursor::restoreRow(const QString &reason)
{
    return markVoid(false, reason);
}

bool RecordCursor::markVoid(bool voiding, const QString &reason)
{
    auto refuse = [this](const QString &message) {
        d->lastError = message;
        Q_EMIT failed(message);
        return false;
    };
    if (reason.trimmed().isEmpty())
        return refuse(voiding ? QStringLiteral("A void entry needs a reason. The entry was not voided.")
                              : QStringLiteral("Restoring a void entry needs a reason. The entry stays void."));
    // Edits typed into the row are stored first, as on any move.
    if (!save())
        return false;
    if (d->state != Private::State::Stored)
        return refuse(voiding ? QStringLiteral("This entry is not stored yet, so there is nothing to void.")
                              : QStringLiteral("This entry is not stored yet, so there is nothing to restore."));
    if (voiding && d->voided)
        return refuse(QStringLiteral("This entry is void already (%1).").arg(d->voidReason));
    if (!voiding && !d->voided)
        return refuse(QStringLiteral("This entry is not void, so there is nothing to restore."));
    if (!d->ensureConnected()) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    if (!d->database.fileIsInPlace(d->openedFile, &d->lastError)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    WriteTransaction tx(d->database);
    if (!tx.begin(&d->lastError)) {
        Q_EMIT failed(d->lastError);
        return false;
    }
    const QString at = stampText(QDateTime::currentDateTimeUtc());
    const QString where = thisWorkstation();
    // The history keeps both reasons: a void's as its new value, a
    // restore's beside the void's it ends.
    const history::Change change = voiding ? history::Change{voidedColumn(), QString(), reason}
                                           : history::Change{history::restoredField(), d->voidReason, reason};
    QString message;
    bool stored = false;
    switch (d->rows.setVoid(d->key, voiding, reason, at, where, &message)) {
    case RecordRows::Written::Failed:
        break;
    case RecordRows::Written::Untouched: {
        bool present = false;
        if (!d->rowExists(d->key, &present))
            message = d->lastError;
        else if (!present)
            message = QStringLiteral("This entry is no longer in the logbook; someone may have deleted it.");
        else
            message = voiding ? QStringLiteral("This entry was voided on another computer already.")
                              : QStringLiteral("This entry was restored on another computer already.");
        break;
    }
    case RecordRows::Written::Touched:
        if (!history::write(d->database, d->def.name, d->key, {change}, at, where, history::osUser(), &message))
            break;
        if (!d->mayCommit())
            message = d->lastError;
        else
            stored = true;
        break;
    }
    if (stored && !tx.commit(&d->lastError)) {
        message = d->lastError;
        stored = false;
    }
    if (!stored) {
        tx.rollback();
        d->lastError = message;
        // Show the entry as it is stored now (voided elsewhere, say).
        bool found = false;
        if (d->fetch(Private::Step::At, d->key, &found) && found)
            Q_EMIT rowShown();
        d->lastError = message;
        Q_EMIT failed(message);
        return false;
    }
    Q_EMIT this->stored(d->key);
    bool found = false;
    if (!d->fetch(Private::Step::At, d->key, &found) || !found) {
        // Stored; only reading it back failed.
        d->version += 1;
        d->voided = voiding;
        d->voidReason = voiding ? reason : QString();
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
