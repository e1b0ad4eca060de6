#include "RecordFront.h"

#include "LogbookService.h"
#include "RecordCursor.h"
#include "RecordRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QPointer>
#include <QTimer>

namespace bravik::logbook {

namespace {

using Request = RecordFront::Request;
using Edits = QList<QPair<QString, QVariant>>;

// A row as the front shows it, and as the service's cursor has it after a
// job.
struct RowState
{
    bool hasRow = false;
    bool isNew = false;
    QStringList changed;   // the fields changed and not stored yet
    qint64 key = -1;
    QHash<QString, QVariant> values;
    qint64 version = 0;
    bool voided = false;
    QString voidReason;
    bool conflict = false;
    QList<conflicts::Open> conflicts;   // open merge conflicts of the stored row
};

// What one job takes to the service.
struct Job
{
    Request what = Request::Open;
    QString table;
    qint64 key = -1;          // MoveToKey, HistoryValues
    QString text;             // Void, Restore: the reason
    RecordFront::Stamp stamp; // Entry
    Edits edits;              // every changed field of the row shown
    // The row the window shows: after a job that was given up on, the
    // cursor is brought back to it first.
    bool resync = false;
    bool hasRow = false;
    bool isNew = false;
    qint64 rowKey = -1;
    bool conflict = false;
    QString settledField;     // Settle: the field set and its value (none: kept as it is)
    QVariant settledValue;
};

// What the job brings back.
struct Outcome
{
    bool ran = false;       // the cursor was there to run it
    bool ok = false;
    QString error;
    bool hasSnapshot = false;
    RowState row;
    QList<history::Entry> history;
    QList<qint64> stored;   // rows written and committed
    QString oldValue, newValue;
};

// The client's state on the service's side: the cursor on the service's
// connection, and the job running it now (for the commit gate).
struct CursorState
{
    std::unique_ptr<RecordCursor> cursor;
    JobContext *context = nullptr;
};

QList<RecordFront *> &liveFronts()
{
    static QList<RecordFront *> fronts;
    return fronts;
}

QString keptText(const QString &message)
{
    return message + QLatin1Char('\n')
           + QCoreApplication::translate("RecordFront",
                                         "Waiting for it was stopped; the entry is kept here and can be stored again.");
}

RowState snapshot(const RecordCursor &cursor)
{
    RowState r;
    r.hasRow = cursor.hasRow();
    r.isNew = cursor.isNewRow();
    r.changed = cursor.changedFields();
    r.key = cursor.currentKey();
    for (const QString &field : cursor.table().fields)
        r.values.insert(field, cursor.value(field));
    r.version = cursor.rowVersion();
    r.voided = cursor.isVoided();
    r.voidReason = cursor.voidReason();
    r.conflict = cursor.hasConflict();
    return r;
}

// The row with the merge conflicts still open on it.
RowState snapshotWithConflicts(JobContext &c, const RecordCursor &cursor)
{
    RowState r = snapshot(cursor);
    QString error;
    if (r.hasRow && !r.isNew && !conflicts::openOf(c.database(), cursor.table().name, r.key, &r.conflicts, &error))
        qWarning("The merge conflicts of %s could not be read: %s", qPrintable(cursor.table().name), qPrintable(error));
    return r;
}

bool isMove(Request what)
{
    switch (what) {
    case Request::First:
    case Request::Previous:
    case Request::Next:
    case Request::Last:
    case Request::BeginNew:
    case Request::MoveToKey:
    case Request::Entry:
        return true;
    default:
        return false;
    }
}

// After a job that was given up on: the cursor may have moved on, or begun
// a new row, before the job ended, while the window still shows the row it
// had.  The cursor goes back to that row; a store the job found refused
// (changed elsewhere) is told before anything else.
bool realign(RecordCursor &cursor, const Job &job, Outcome *out)
{
    bool samePlace = false;
    if (!job.hasRow)
        samePlace = !cursor.hasRow();
    else if (job.isNew)
        samePlace = cursor.isNewRow();
    else
        samePlace = cursor.currentKey() == job.rowKey;
    bool extraEdits = false;
    for (const QString &field : cursor.changedFields()) {
        const bool sent = std::any_of(job.edits.begin(), job.edits.end(),
                                      [&field](const auto &e) { return e.first == field; });
        if (!sent)
            extraEdits = true;
    }
    if (!samePlace || extraEdits) {
        cursor.discardChanges();
        bool ok = true;
        if (job.hasRow && !job.isNew && cursor.currentKey() != job.rowKey)
            ok = cursor.moveToKey(job.rowKey);
        else if (job.hasRow && job.isNew && !cursor.isNewRow())
            ok = cursor.beginNew();
        if (!ok) {
            out->error = cursor.lastError();
            return false;
        }
    }
    return true;
}

Outcome runJob(JobContext &c, const Job &job)
{
    Outcome out;
    auto &state = c.state<CursorState>([] { return new CursorState; });
    if (job.what == Request::Open) {
        // The logbook file was removed, moved or replaced since this
        // connection opened it: a window opening now works on the file
        // that stands there now, and none is made in place of a missing
        // one.  (Windows opened before store nothing into another file.)
        QString error;
        if (!c.database().fileIsInPlace(&error)) {
            if (QFileInfo::exists(c.location().location)) {
                if (!c.database().reopen(&error)) {
                    out.error = error;
                    return out;
                }
            } else {
                Database::open(c.location(), &error);
                out.error = error;
                return out;
            }
        }
    }
    if (job.what == Request::Open && !state.cursor) {
        state.cursor = std::make_unique<RecordCursor>(c.database(), job.table);
        CursorState *s = &state;
        state.cursor->setCommitGate([s] { return !s->context || s->context->mayCommit(); });
    }
    if (!state.cursor) {
        out.error = QStringLiteral("The logbook is not open.");
        return out;
    }
    RecordCursor &cursor = *state.cursor;
    state.context = &c;
    out.ran = true;
    const auto connection = QObject::connect(&cursor, &RecordCursor::stored, [&out](qint64 key) {
        if (!out.stored.contains(key))
            out.stored << key;
    });
    auto finish = [&]() {
        QObject::disconnect(connection);
        state.context = nullptr;
        if (!out.ok && out.error.isEmpty())
            out.error = cursor.lastError();
    };

    if (job.what == Request::Open) {
        out.ok = cursor.open();
        if (out.ok) {
            out.hasSnapshot = true;
            out.row = snapshotWithConflicts(c, cursor);
        }
        finish();
        return out;
    }
    if (job.resync && !realign(cursor, job, &out)) {
        finish();
        return out;
    }
    for (const auto &[field, value] : job.edits)
        cursor.setValue(field, value);
    if (job.resync && cursor.hasConflict() && !job.conflict) {
        // The store given up on found the entry changed elsewhere.
        out.error = cursor.lastError();
        out.hasSnapshot = true;
        out.row = snapshot(cursor);
        finish();
        return out;
    }

    switch (job.what) {
    case Request::Save:
        out.ok = cursor.save();
        break;
    case Request::History:
        out.ok = cursor.readHistory(&out.history);
        break;
    case Request::HistoryValues:
        out.ok = history::readValues(c.database(), job.key, &out.oldValue, &out.newValue, &out.error);
        break;
    case Request::Void:
        out.ok = cursor.voidRow(job.text);
        break;
    case Request::Restore:
        out.ok = cursor.restoreRow(job.text);
        break;
    case Request::Settle: {
        const QString at = RecordCursor::stampText(QDateTime::currentDateTimeUtc());
        const QString id = job.text;
        out.ok = cursor.storeDecision(job.settledField, job.settledValue, [id, at](Database &db, QString *error) {
            return conflicts::settle(db, id, at, RecordCursor::thisWorkstation(), error);
        });
        break;
    }
    default: {
        // A move stores the row first, unless its last store was refused
        // for a change made elsewhere: then the move keeps that change.
        out.ok = cursor.hasConflict() || cursor.save();
        if (!out.ok)
            break;
        switch (job.what) {
        case Request::First: out.ok = cursor.moveFirst(); break;
        case Request::Previous: out.ok = cursor.movePrevious(); break;
        case Request::Next: out.ok = cursor.moveNext(); break;
        case Request::Last: out.ok = cursor.moveLast(); break;
        case Request::BeginNew: out.ok = cursor.beginNew(); break;
        case Request::MoveToKey: out.ok = cursor.moveToKey(job.key); break;
        case Request::Entry:
            out.ok = cursor.beginNew();
            if (out.ok) {
                for (const auto &[field, value] : job.stamp.fields)
                    cursor.setValue(field, value);
                cursor.stampNewRow(job.stamp.utc, job.stamp.workstation);
            }
            break;
        default: break;
        }
    }
    }
    out.hasSnapshot = true;
    out.row = job.what == Request::History || job.what == Request::HistoryValues ? snapshot(cursor)
                                                                                  : snapshotWithConflicts(c, cursor);
    finish();
    return out;
}

// "record" writes kept at quitting: each row of the table as the window
// left it unstored.
QJsonObject rowForKeeping(const TableDef &def, qint64 key, const QHash<QString, QVariant> &values,
                          const QStringList &changed, const QDateTime &stampedAt, const QString &workstation)
{
    QJsonObject v;
    for (const QString &field : def.fields)
        v.insert(field, QJsonValue::fromVariant(values.value(field)));
    QJsonObject row;
    row.insert(QStringLiteral("key"), key);
    row.insert(QStringLiteral("values"), v);
    row.insert(QStringLiteral("changed"), QJsonArray::fromStringList(changed));
    if (stampedAt.isValid()) {
        row.insert(QStringLiteral("stampedAt"), RecordCursor::stampText(stampedAt));
        row.insert(QStringLiteral("workstation"), workstation);
    }
    return row;
}

QString describeRow(const TableDef &def, const QHash<QString, QVariant> &values, const QStringList &fields)
{
    QStringList parts;
    for (const QString &field : fields) {
        QString v = values.value(field).toString();
        v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        parts << QStringLiteral("%1 = \"%2\"").arg(field, v);
    }
    return def.name + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

bool storeKept(Database &db, const QJsonObject &data, QString *error)
{
    const QString table = data.value(QStringLiteral("table")).toString();
    const TableDef *def = findTable(table);
    if (!def) {
        *error = QStringLiteral("the logbook has no table %1").arg(table);
        return false;
    }
    for (const QJsonValue &r : data.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject row = r.toObject();
        const qint64 key = row.value(QStringLiteral("key")).toInteger(-1);
        const QJsonObject values = row.value(QStringLiteral("values")).toObject();
        QStringList fields;
        for (const QJsonValue &f : row.value(QStringLiteral("changed")).toArray())
            fields << f.toString();
        RecordCursor cursor(db, table);
        bool asNew = key < 0;
        if (!asNew && !cursor.moveToKey(key)) {
            // Gone since: what the window showed is kept as a new entry.
            bool present = true;
            QString lookFailed;   // the move's failure is the one told
            if (!RecordRows(db, *def, true).exists(key, &present, &lookFailed)) {
                *error = cursor.lastError();
                return false;
            }
            if (present) {
                *error = cursor.lastError();
                return false;
            }
            asNew = true;
            fields = def->fields;
        }
        if (asNew && !cursor.beginNew()) {
            *error = cursor.lastError();
            return false;
        }
        for (const QString &field : fields)
            cursor.setValue(field, values.value(field).toVariant());
        if (asNew && row.contains(QStringLiteral("stampedAt")))
            cursor.stampNewRow(QDateTime::fromString(row.value(QStringLiteral("stampedAt")).toString(), Qt::ISODate),
                               row.value(QStringLiteral("workstation")).toString());
        if (!cursor.save()) {
            *error = cursor.lastError();
            return false;
        }
    }
    return true;
}

} // namespace

struct RecordFront::Item
{
    enum Kind { Req, Edit, Callback } kind = Req;
    Request what = Request::Open;
    Done done;
    ValuesDone valuesDone;
    QString field;
    QVariant value;
    qint64 key = -1;
    QString text;
    Stamp stamp;
};

struct RecordFront::Private
{
    enum class OpenState { NotAsked, Opening, Open, Failed };

    DatabaseLocation where;
    TableDef def;
    std::unique_ptr<LogbookClient> client;

    OpenState openState = OpenState::NotAsked;
    RowState row;
    QSet<QString> changed;
    // The hidden stamp of the new row shown, when a submission began it.
    QDateTime rowStampedAt;
    QString rowWorkstation;
    QString lastError;
    QList<history::Entry> history;
    QList<Item> queue;
    bool inFlight = false;
    // The last job was given up on: the next one brings the cursor back to
    // the row shown here.
    bool resync = false;

    QVariant emptyValue(const QString &field) const { return def.emptyValue(field); }
    QVariant normalised(const QString &field, const QVariant &v) const { return def.normalised(field, v); }
    void clearRow()
    {
        row.values.clear();
        for (const QString &field : def.fields)
            row.values.insert(field, emptyValue(field));
        changed.clear();
    }
    void applyEdit(const QString &field, const QVariant &value)
    {
        if (!row.hasRow) {
            clearRow();
            row.hasRow = true;
            row.isNew = true;
            row.key = -1;
        }
        row.values.insert(field, normalised(field, value));
        changed.insert(field);
    }
    QStringList changedFields() const
    {
        QStringList out;
        for (const QString &field : def.fields)
            if (changed.contains(field))
                out << field;
        return out;
    }
    bool busy() const { return inFlight || !queue.isEmpty(); }
};

RecordFront::RecordFront(const DatabaseLocation &where, const QString &table, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    registerKeptWrites();
    d->where = where;
    const TableDef *known = findTable(table);
    d->def = known ? *known : TableDef{table, {}, {}, true, {}};
    d->clearRow();
    d->client = std::make_unique<LogbookClient>(where);
    connect(d->client.get(), &LogbookClient::waitingChanged, this, &RecordFront::waitingChanged);
    liveFronts() << this;
}

RecordFront::~RecordFront()
{
    liveFronts().removeAll(this);
}

const TableDef &RecordFront::table() const { return d->def; }
const DatabaseLocation &RecordFront::location() const { return d->where; }
LogbookClient &RecordFront::client() const { return *d->client; }
QString RecordFront::waitingText() const { return d->client->waitingText(); }

bool RecordFront::isOpen() const { return d->openState == Private::OpenState::Open; }
bool RecordFront::openFailed() const { return d->openState == Private::OpenState::Failed; }
bool RecordFront::isBusy() const { return d->busy(); }
bool RecordFront::isWaiting() const { return d->client->isWaiting(); }
bool RecordFront::hasRow() const { return d->row.hasRow; }
bool RecordFront::isNewRow() const { return d->row.hasRow && d->row.isNew; }
bool RecordFront::isChanged() const { return !d->changed.isEmpty(); }
qint64 RecordFront::currentKey() const { return d->row.hasRow && !d->row.isNew ? d->row.key : -1; }
QVariant RecordFront::value(const QString &field) const { return d->row.values.value(field); }
QString RecordFront::lastError() const { return d->lastError; }
qint64 RecordFront::rowVersion() const { return d->row.version; }
bool RecordFront::isVoided() const { return d->row.hasRow && d->row.voided; }
QString RecordFront::voidReason() const { return d->row.voidReason; }
bool RecordFront::hasConflict() const { return d->row.conflict; }
QList<history::Entry> RecordFront::history() const { return d->history; }
QStringList RecordFront::changedFields() const { return d->changedFields(); }

void RecordFront::setValue(const QString &field, const QVariant &value)
{
    if (!d->def.fields.contains(field)) {
        qWarning("RecordFront: table %s has no field %s", qPrintable(d->def.name), qPrintable(field));
        return;
    }
    if (d->busy()) {
        Item it;
        it.kind = Item::Edit;
        it.field = field;
        it.value = value;
        d->queue << it;
        return;
    }
    d->applyEdit(field, value);
}

bool RecordFront::request(Request what, Done done)
{
    return ask(what, std::move(done));
}

bool RecordFront::ask(Request what, Done done, qint64 key, const QString &text)
{
    Item it;
    it.what = what;
    it.key = key;
    it.text = text;
    it.done = std::move(done);
    return enqueue(std::move(it));
}

bool RecordFront::moveToKey(qint64 key, Done done)
{
    return ask(Request::MoveToKey, std::move(done), key);
}

bool RecordFront::beginEntry(const Stamp &stamp, Done done)
{
    Item it;
    it.what = Request::Entry;
    it.stamp = stamp;
    it.done = std::move(done);
    return enqueue(std::move(it));
}

bool RecordFront::readHistory(Done done)
{
    return request(Request::History, std::move(done));
}

bool RecordFront::readHistoryValues(qint64 historyKey, ValuesDone done)
{
    Item it;
    it.what = Request::HistoryValues;
    it.key = historyKey;
    it.valuesDone = std::move(done);
    return enqueue(std::move(it));
}

bool RecordFront::voidEntry(const QString &reason, Done done)
{
    return ask(Request::Void, std::move(done), -1, reason);
}

bool RecordFront::restoreEntry(const QString &reason, Done done)
{
    return ask(Request::Restore, std::move(done), -1, reason);
}

QList<conflicts::Open> RecordFront::openConflicts() const
{
    return d->row.hasRow && !d->row.isNew ? d->row.conflicts : QList<conflicts::Open>{};
}

bool RecordFront::settleConflict(const QString &id, bool keepOther, Done done)
{
    Item it;
    it.what = Request::Settle;
    it.text = id;
    it.done = std::move(done);
    for (const conflicts::Open &c : std::as_const(d->row.conflicts)) {
        if (c.id == id && keepOther) {
            it.field = c.field;
            it.value = d->normalised(c.field, c.otherValue);
        }
    }
    return enqueue(std::move(it));
}

bool RecordFront::enqueue(Item item)
{
    if (item.what != Request::Open && d->openState == Private::OpenState::Failed) {
        // Refused at once; the answer still comes later.
        Done done = std::move(item.done);
        ValuesDone values = std::move(item.valuesDone);
        QTimer::singleShot(0, this, [done, values] {
            if (done)
                done(false);
            if (values)
                values(false, {}, {});
        });
        return false;
    }
    if (item.what == Request::Open && d->openState != Private::OpenState::Open)
        d->openState = Private::OpenState::Opening;
    d->queue << std::move(item);
    pump();
    return true;
}

void RecordFront::whenSettled(Done done)
{
    Item it;
    it.kind = Item::Callback;
    it.done = std::move(done);
    if (d->busy()) {
        d->queue << std::move(it);
        return;
    }
    QTimer::singleShot(0, this, [done = std::move(it.done)] {
        if (done)
            done(true);
    });
}

void RecordFront::pump()
{
    while (!d->inFlight && !d->queue.isEmpty()) {
        Item it = d->queue.takeFirst();
        if (it.kind == Item::Edit) {
            d->applyEdit(it.field, it.value);
            continue;
        }
        if (it.kind == Item::Callback) {
            if (it.done)
                it.done(true);
            continue;
        }
        send(std::move(it));
    }
    if (!d->busy())
        Q_EMIT settled();
}

void RecordFront::send(Item item)
{
    Job job;
    job.what = item.what;
    job.table = d->def.name;
    job.key = item.key;
    job.text = item.text;
    job.stamp = item.stamp;
    job.settledField = item.field;
    job.settledValue = item.value;
    for (const QString &field : d->changedFields())
        job.edits.append({field, d->row.values.value(field)});
    job.resync = d->resync;
    job.hasRow = d->row.hasRow;
    job.isNew = d->row.isNew;
    job.rowKey = d->row.key;
    job.conflict = d->row.conflict;

    // A job that may store is a write the window waits on: given up on,
    // it never lands later.  What it would store is kept at quitting.
    JobOptions options;
    const bool storesRow = isChanged() && !(d->row.conflict && isMove(item.what));
    const bool writes = item.what == Request::Void || item.what == Request::Restore || item.what == Request::Entry
                        || item.what == Request::Settle
                        || (storesRow && item.what != Request::History && item.what != Request::HistoryValues
                            && item.what != Request::Open);
    if (writes) {
        options.write = JobOptions::Write::Awaited;
        QJsonArray rows;
        QStringList texts;
        if (storesRow) {
            rows << rowForKeeping(d->def, currentKey(), d->row.values, d->changedFields(), d->rowStampedAt,
                                  d->rowWorkstation);
            texts << unstoredText();
        }
        if (item.what == Request::Entry) {
            QHash<QString, QVariant> values;
            QStringList fields;
            for (const auto &[field, value] : item.stamp.fields) {
                values.insert(field, d->normalised(field, value));
                fields << field;
            }
            rows << rowForKeeping(d->def, -1, values, fields, item.stamp.utc, item.stamp.workstation);
            texts << describeRow(d->def, values, fields);
        }
        if (!rows.isEmpty()) {
            options.kept.kind = QStringLiteral("record");
            options.kept.data = QJsonObject{{QStringLiteral("table"), d->def.name}, {QStringLiteral("rows"), rows}};
            options.kept.text = texts.join(QStringLiteral("; "));
        }
    }

    d->inFlight = true;
    const Request what = item.what;
    auto done = std::make_shared<Item>(std::move(item));
    // The answer comes only while the client, and so this front, is there.
    d->client->run(options, [job](JobContext &c) { return runJob(c, job); },
                   [this, what, done](const Answer<Outcome> &answer) {
        const Outcome &o = answer.value;
        bool ok = false;
        QString error;
        const bool ran = answer.status == JobStatus::Done && o.ran;
        if (ran) {
            ok = o.ok;
            error = o.error;
        } else if (answer.status == JobStatus::Done || answer.status == JobStatus::Failed) {
            error = answer.error.isEmpty() ? o.error : answer.error;
        } else {
            // Given up on: a store not committed was rolled back.
            error = isChanged() && what != Request::Open ? keptText(answer.error) : answer.error;
        }
        d->resync = answer.status == JobStatus::Withdrawn || answer.status == JobStatus::TimedOut
                    || (d->resync && !(ran && o.hasSnapshot));
        d->inFlight = false;
        const bool wasOpen = what == Request::Open;
        if (wasOpen)
            d->openState = ok ? Private::OpenState::Open : Private::OpenState::Failed;
        if (ran && o.hasSnapshot) {
            const bool sameRow = o.row.hasRow == d->row.hasRow && o.row.isNew == d->row.isNew && o.row.key == d->row.key;
            d->row = o.row;
            d->changed = QSet<QString>(o.row.changed.begin(), o.row.changed.end());
            if (what == Request::Entry && ok) {
                d->rowStampedAt = done->stamp.utc;
                d->rowWorkstation = done->stamp.workstation;
            } else if (!sameRow || !o.row.isNew) {
                d->rowStampedAt = {};
                d->rowWorkstation.clear();
            }
        }
        if (what == Request::History && ok)
            d->history = o.history;
        d->lastError = error;
        for (qint64 key : o.stored)
            d->client->service().announceChanged(d->def.name, key);
        // Edits made while it ran belong to the row it left current.
        while (!d->queue.isEmpty() && d->queue.first().kind == Item::Edit) {
            const Item it = d->queue.takeFirst();
            d->applyEdit(it.field, it.value);
        }
        QList<Item> dropped;
        if (ok) {
            if (wasOpen)
                Q_EMIT opened(true);
            if (what != Request::Save && what != Request::History && what != Request::HistoryValues)
                Q_EMIT rowShown();
        } else {
            // The requests after a refused one are dropped; their edits stay.
            const QList<Item> rest = std::move(d->queue);
            d->queue.clear();
            for (const Item &it : rest) {
                if (it.kind == Item::Edit)
                    d->applyEdit(it.field, it.value);
                else
                    dropped << it;
            }
            if (wasOpen)
                Q_EMIT opened(false);
            else if (ran && o.hasSnapshot)
                Q_EMIT rowShown();   // the row as the logbook has it now (voided elsewhere, say)
            Q_EMIT failed(error);
        }
        if (done->done)
            done->done(ok);
        if (done->valuesDone)
            done->valuesDone(ok, o.oldValue, o.newValue);
        for (const Item &it : std::as_const(dropped)) {
            if (it.done)
                it.done(false);
            if (it.valuesDone)
                it.valuesDone(false, {}, {});
        }
        pump();
    });
}

bool RecordFront::stopWaiting()
{
    return d->client->stopWaiting();
}

QString RecordFront::unstoredText() const
{
    const QStringList fields = changedFields();
    if (fields.isEmpty() || !d->row.hasRow)
        return {};
    return describeRow(d->def, d->row.values, fields);
}

void RecordFront::registerKeptWrites()
{
    static const bool once = [] {
        LogbookService::registerKeptHandler(QStringLiteral("record"), storeKept);
        return true;
    }();
    Q_UNUSED(once);
}

QList<RecordFront *> RecordFront::all() { return liveFronts(); }
std::chrono::milliseconds RecordFront::waitingAfter() { return LogbookService::waitingAfter(); }

} // namespace bravik::logbook
