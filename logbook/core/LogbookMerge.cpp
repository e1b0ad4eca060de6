#include "LogbookMerge.h"

#include "EntryIds.h"
#include "FileIdentity.h"
#include "AttachmentMerge.h"
#include "LaunchLog.h"
#include "RecordCursor.h"
#include "RecordHistory.h"
#include "RecordRows.h"
#include "Schema.h"
#include "WaitForJob.h"

#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <atomic>
#include <memory>

namespace bravik::logbook {

namespace {

// One history row of the logbook merged from; rowKey is its key there.
struct HistoryRow
{
    QString id;
    QString table;
    qint64 rowKey = -1;
    QVariantList values;   // historyFields(), as read
};

// An entry both logbooks hold that has history rows the one merged into lacks.
struct Shared
{
    qint64 fromKey = -1;
    qint64 intoKey = -1;
    QHash<QString, QVariant> values;   // the fields, Voided and VoidReason in the logbook merged from
};

// The rows a history entry names: its table and that table's key.
using RowRef = QPair<QString, qint64>;

const int kField = 2, kChangedAt = 5, kWorkstation = 6;   // in historyFields()

// The schema name of the file merged from, when attached.
const QString kAttached = QStringLiteral("bravik_merged_from");

// How many values one statement adding entries binds, at most.
const int kBoundPerStatement = 2000;

class Merger
{
public:
    Merger(Database &from, Database &into, MergeParts parts)
        : src(from), dst(into), parts(parts)
    {
    }

    bool run(MergeSummary *summary, QString *error)
    {
        err = error;
        QSqlQuery fromTx(src.connection()), intoTx(dst.connection());
        if (!fromTx.exec(src.dialect().beginSnapshot))
            return failOn(src, fromTx);
        // Two logbook files: the new entries are copied by the engine
        // itself, the other file attached for the merge.
        if (src.dialect().fileBased && src.dialect().driver == dst.dialect().driver && !dst.dialect().attachFile.isEmpty()) {
            QSqlQuery attach(dst.connection());
            attached = attach.prepare(dst.dialect().attachFile.arg(kAttached))
                       && (attach.bindValue(0, src.location().location), attach.exec());
        }
        if (!intoTx.exec(dst.dialect().beginWrite)) {
            QSqlQuery(src.connection()).exec(QStringLiteral("ROLLBACK"));
            detach();
            return failOn(dst, intoTx);
        }
        QSqlDatabase into = dst.connection();
        bool ok = true;
        if (parts != MergeParts::Attachments) {
            ok = entryids::giveMissing(into, err) && readIntoIds() && readFromHistory();
            for (const TableDef &def : schema()) {
                if (ok)
                    ok = mergeTable(def);
            }
            ok = ok && mergeLaunchRecords() && mergeConflicts();
        }
        if (parts != MergeParts::Entries)
            ok = ok && attachments::merge(src, dst, &done.attachments, err);
        QSqlQuery(src.connection()).exec(QStringLiteral("ROLLBACK"));
        if (ok && !intoTx.exec(QStringLiteral("COMMIT")))
            ok = failOn(dst, intoTx);
        if (!ok)
            QSqlQuery(into).exec(QStringLiteral("ROLLBACK"));
        detach();
        if (!ok) {
            *err += QStringLiteral("\nNothing was merged.");
            return false;
        }
        *summary = done;
        return true;
    }

private:
    void detach()
    {
        if (attached)
            QSqlQuery(dst.connection()).exec(dst.dialect().detachFile.arg(kAttached));
        attached = false;
    }

    bool failOn(Database &db, const QSqlQuery &q)
    {
        *err = db.failureText(q.lastError());
        return false;
    }

    bool prepare(QSqlQuery &q, Database &db, const QString &sql)
    {
        q = QSqlQuery(db.connection());
        q.setForwardOnly(true);
        return q.prepare(sql) || failOn(db, q);
    }

    // An insert of one row into a table of the logbook merged into,
    // prepared once into `slot`.
    bool prepareInsert(std::optional<QSqlQuery> &slot, const QString &table, const QStringList &fields)
    {
        if (slot)
            return true;
        QStringList names;
        for (const QString &f : fields)
            names << Dialect::quote(f);
        slot.emplace();
        return prepare(*slot, dst, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(Dialect::quote(table), names.join(QStringLiteral(", ")),
                                            QStringList(fields.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
    }

    // Every entry id and history id the logbook merged into holds.
    bool readIntoIds()
    {
        const QString id = Dialect::quote(entryIdColumn()), key = Dialect::quote(keyColumn());
        for (const TableDef &def : schema()) {
            QSqlQuery q(dst.connection());
            q.setForwardOnly(true);
            if (!q.exec(QStringLiteral("SELECT %1, %2 FROM %3").arg(id, key, Dialect::quote(def.name))))
                return failOn(dst, q);
            QHash<QString, qint64> &keys = intoKeys[def.name];
            while (q.next())
                keys.insert(q.value(0).toString(), q.value(1).toLongLong());
        }
        QSqlQuery q(dst.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2").arg(id, Dialect::quote(historyTable()))))
            return failOn(dst, q);
        while (q.next())
            intoHistory.insert(q.value(0).toString());
        return true;
    }

    // The history of the logbook merged from: every id, and the rows the
    // other lacks by the entry they belong to.
    bool readFromHistory()
    {
        QStringList columns{Dialect::quote(keyColumn()), Dialect::quote(entryIdColumn())};
        for (const QString &f : historyFields())
            columns << Dialect::quote(f);
        QSqlQuery q(src.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                        .arg(columns.join(QStringLiteral(", ")), Dialect::quote(historyTable()),
                             Dialect::quote(keyColumn()))))
            return failOn(src, q);
        const int n = int(historyFields().size());
        while (q.next()) {
            HistoryRow row;
            QStringList texts;
            for (int i = 0; i < n; ++i) {
                row.values << q.value(i + 2);
                texts << row.values.last().toString();
            }
            row.id = q.value(1).toString();
            if (row.id.isEmpty())
                row.id = entryids::forHistory(q.value(0).toLongLong(), texts);
            fromHistory.insert(row.id);
            if (intoHistory.contains(row.id))
                continue;
            row.table = texts.at(0);
            row.rowKey = q.value(3).toLongLong();
            pending[{row.table, row.rowKey}].append(row);
        }
        return q.lastError().isValid() ? failOn(src, q) : true;
    }

    bool writeHistory(const QList<HistoryRow> &rows, qint64 intoKey)
    {
        if (!prepareInsert(historyInsert, historyTable(), historyFields() + QStringList{entryIdColumn()}))
            return false;
        QSqlQuery &q = *historyInsert;
        for (const HistoryRow &row : rows) {
            for (int i = 0; i < row.values.size(); ++i)
                q.bindValue(i, i == 1 ? QVariant(intoKey) : row.values.at(i));
            q.bindValue(int(row.values.size()), row.id);
            if (!q.exec())
                return failOn(dst, q);
            intoHistory.insert(row.id);
        }
        return true;
    }

    // One table: the entries the other lacks are added, the shared ones
    // with changes here are merged field by field.
    bool mergeTable(const TableDef &def)
    {
        QList<Column> fromColumns, intoColumns;
        if (!src.columns(def.name, &fromColumns, err) || !dst.columns(def.name, &intoColumns, err))
            return false;
        // Every field both have (the tables' own extra fields too), the key
        // apart: a new entry gets a key of this logbook.
        QStringList names;
        QList<Column::Kind> kinds;
        for (const Column &c : fromColumns) {
            if (c.name == keyColumn())
                continue;
            for (const Column &t : intoColumns) {
                if (t.name.compare(c.name, Qt::CaseInsensitive) == 0) {
                    names << c.name;
                    kinds << t.kind;
                }
            }
        }
        const auto at = [&](const QString &name) { return int(names.indexOf(name)) + 1; };
        const int idAt = at(entryIdColumn());
        if (idAt == 0) {
            *err = QStringLiteral("The table \"%1\" has no field \"%2\".").arg(def.name, entryIdColumn());
            return false;
        }
        // First only the ids: most entries are held here already and
        // unchanged there, and are not read whole.
        QHash<qint64, QString> &ids = fromIds[def.name];
        QSet<qint64> derived;
        if (!readIds(def, &ids, &derived))
            return false;
        const QHash<QString, qint64> &keys = intoKeys[def.name];
        qint64 firstWork = -1, lastKey = 0;
        QSet<qint64> work;               // keys there of the entries read whole below
        QHash<QString, qint64> added;    // entry id -> key there, of the entries new here
        for (auto it = ids.cbegin(); it != ids.cend(); ++it) {
            const bool isNew = !keys.contains(it.value());
            if (isNew)
                added.insert(it.value(), it.key());
            if ((isNew && (!attached || derived.contains(it.key()))) || (!isNew && pending.contains({def.name, it.key()}))) {
                work.insert(it.key());
                firstWork = firstWork < 0 ? it.key() : std::min(firstWork, it.key());
            }
        }
        if (added.isEmpty() && work.isEmpty())
            return true;
        QStringList quoted;
        for (const QString &n : names)
            quoted << Dialect::quote(n);
        if (!lastKeyHere(def, &lastKey) || (attached && added.size() > derived.size() && !copyNew(def, quoted)))
            return false;

        QSqlQuery read;
        if (!prepare(read, src, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 >= ? ORDER BY %1")
                                    .arg(Dialect::quote(keyColumn()), quoted.join(QStringLiteral(", ")),
                                         Dialect::quote(def.name))))
            return false;
        read.bindValue(0, firstWork);
        if (!work.isEmpty() && !read.exec())
            return failOn(src, read);

        // New entries go in many to a statement; their keys are read back
        // once they are all in.
        Batch batch{def.name, quoted, std::max(1, kBoundPerStatement / int(names.size())), {}, {}, 0};
        QList<Shared> shared;
        while (!work.isEmpty() && read.next()) {
            const qint64 fromKey = read.value(0).toLongLong();
            if (!work.contains(fromKey))
                continue;
            const QString id = ids.value(fromKey);
            const auto held = keys.constFind(id);
            if (held == keys.constEnd()) {
                for (int i = 0; i < kinds.size(); ++i)
                    batch.values << (i + 1 == idAt ? QVariant(id) : Database::coerced(read.value(i + 1), kinds.at(i)));
                if (++batch.rows == batch.perStatement && !flush(batch))
                    return false;
                continue;
            }
            Shared s{fromKey, *held, {}};
            for (const QString &f : def.fields + QStringList{voidedColumn(), voidReasonColumn()})
                if (const int c = at(f))
                    s.values.insert(f, read.value(c));
            shared.append(s);
        }
        if (read.lastError().isValid())
            return failOn(src, read);
        read.finish();
        if (!flush(batch) || !keysOfAdded(def, lastKey, added))
            return false;
        for (const Shared &s : shared) {
            if (!mergeEntry(def, s))
                return false;
        }
        return true;
    }

    // The entries with an id of their own there that are not here, copied
    // by the engine from the attached file in their order.
    bool copyNew(const TableDef &def, const QStringList &quoted)
    {
        const QString table = Dialect::quote(def.name), id = Dialect::quote(entryIdColumn());
        QSqlQuery q(dst.connection());
        if (!q.exec(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM %3.%1 s WHERE COALESCE(s.%4, '') <> '' "
                                   "AND NOT EXISTS (SELECT 1 FROM main.%1 m WHERE m.%4 = s.%4) ORDER BY s.%5")
                        .arg(table, quoted.join(QStringLiteral(", ")), kAttached, id, Dialect::quote(keyColumn()))))
            return failOn(dst, q);
        done.added += q.numRowsAffected();
        return true;
    }

    // New entries of one table waiting for their statement.
    struct Batch
    {
        QString table;
        QStringList columns;
        int perStatement = 1;
        QHash<int, QSqlQuery> statements;   // by rows
        QVariantList values;
        int rows = 0;
    };

    bool flush(Batch &b)
    {
        if (b.rows == 0)
            return true;
        QSqlQuery &q = b.statements[b.rows];
        if (q.lastQuery().isEmpty()) {
            const QString row = QStringLiteral("(") + QStringList(b.columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))
                                + QStringLiteral(")");
            if (!prepare(q, dst, QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                     .arg(Dialect::quote(b.table), b.columns.join(QStringLiteral(", ")),
                                          QStringList(b.rows, row).join(QStringLiteral(", ")))))
                return false;
        }
        for (int i = 0; i < b.values.size(); ++i)
            q.bindValue(i, b.values.at(i));
        if (!q.exec())
            return failOn(dst, q);
        q.finish();
        done.added += b.rows;
        b.values.clear();
        b.rows = 0;
        return true;
    }

    bool lastKeyHere(const TableDef &def, qint64 *key)
    {
        QSqlQuery q(dst.connection());
        if (!q.exec(QStringLiteral("SELECT MAX(%1) FROM %2").arg(Dialect::quote(keyColumn()), Dialect::quote(def.name))) || !q.next())
            return failOn(dst, q);
        *key = q.value(0).toLongLong();
        return true;
    }

    // The keys the entries just added got here; their history follows them.
    bool keysOfAdded(const TableDef &def, qint64 lastKey, const QHash<QString, qint64> &added)
    {
        if (added.isEmpty())
            return true;
        QSqlQuery q(dst.connection());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 > ?")
                           .arg(Dialect::quote(keyColumn()), Dialect::quote(entryIdColumn()), Dialect::quote(def.name))))
            return failOn(dst, q);
        q.bindValue(0, lastKey);
        if (!q.exec())
            return failOn(dst, q);
        QHash<qint64, qint64> history;   // key there -> key here, of the added entries with history
        QHash<QString, qint64> &keys = intoKeys[def.name];
        while (q.next()) {
            const QString id = q.value(1).toString();
            keys.insert(id, q.value(0).toLongLong());
            const auto from = added.constFind(id);
            if (from != added.constEnd() && pending.contains({def.name, *from}))
                history.insert(*from, q.value(0).toLongLong());
        }
        if (q.lastError().isValid())
            return failOn(dst, q);
        for (auto it = history.cbegin(); it != history.cend(); ++it) {
            if (!writeHistory(pending.take({def.name, it.key()}), it.value()))
                return false;
        }
        return true;
    }

    // The entry ids of a table there, by key; an entry without one gets
    // the one derived from its stamp.
    bool readIds(const TableDef &def, QHash<qint64, QString> *ids, QSet<qint64> *derived)
    {
        const QString key = Dialect::quote(keyColumn()), id = Dialect::quote(entryIdColumn());
        QSqlQuery q(src.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1, %2 FROM %3").arg(key, id, Dialect::quote(def.name))))
            return failOn(src, q);
        ids->reserve(ids->size() + 1024);
        bool missing = false;
        while (q.next()) {
            const QString entryId = q.value(1).toString();
            missing = missing || entryId.isEmpty();
            ids->insert(q.value(0).toLongLong(), entryId);
        }
        if (q.lastError().isValid())
            return failOn(src, q);
        if (!missing)
            return true;
        QStringList stamp;
        for (const QString &f : {stampedAtColumn(), workstationColumn(), QStringLiteral("Date/Time"), QStringLiteral("SubmittedBy")})
            stamp << Dialect::quote(f);
        if (!q.exec(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 IS NULL OR %4 = ''")
                        .arg(key, stamp.join(QStringLiteral(", ")), Dialect::quote(def.name), id)))
            return failOn(src, q);
        while (q.next()) {
            derived->insert(q.value(0).toLongLong());
            ids->insert(q.value(0).toLongLong(),
                        entryids::forEntry(def.name, q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                                           q.value(3).toString(), q.value(4).toString()));
        }
        return q.lastError().isValid() ? failOn(src, q) : true;
    }

    // A field's value as the history writes it.
    static QString valueText(const TableDef &def, const QString &field, const QVariant &v)
    {
        if (def.isBoolean(field))
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        return v.toString();
    }

    // An entry both hold, with changes made in the logbook merged from.
    bool mergeEntry(const TableDef &def, const Shared &s)
    {
        const QList<HistoryRow> theirs = pending.take({def.name, s.fromKey});
        // The entry here, and the changes made here since the two last agreed.
        const QStringList read = def.fields + QStringList{voidedColumn(), voidReasonColumn()};
        QHash<QString, QVariant> ours;
        {
            QSqlQuery &q = rowQueries[def.name];
            if (q.lastQuery().isEmpty()) {
                QStringList columns;
                for (const QString &f : read)
                    columns << Dialect::quote(f);
                if (!prepare(q, dst, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                         .arg(columns.join(QStringLiteral(", ")), Dialect::quote(def.name),
                                              Dialect::quote(keyColumn()))))
                    return false;
            }
            q.bindValue(0, s.intoKey);
            if (!q.exec() || !q.next())
                return failOn(dst, q);
            for (int i = 0; i < read.size(); ++i)
                ours.insert(read.at(i), q.value(i));
            q.finish();
        }
        QHash<QString, QPair<QString, QString>> oursChanged;   // field -> (workstation, time) of the last change here
        {
            if (!historyRead) {
                historyRead.emplace();
                if (!prepare(*historyRead, dst,
                             QStringLiteral("SELECT %1, \"Field\", \"Workstation\", \"ChangedAtUtc\" FROM %2 "
                                            "WHERE \"TableName\" = ? AND \"RowKey\" = ? ORDER BY %3")
                                 .arg(Dialect::quote(entryIdColumn()), Dialect::quote(historyTable()),
                                      Dialect::quote(keyColumn()))))
                    return false;
            }
            QSqlQuery &q = *historyRead;
            q.bindValue(0, def.name);
            q.bindValue(1, s.intoKey);
            if (!q.exec())
                return failOn(dst, q);
            while (q.next()) {
                if (!fromHistory.contains(q.value(0).toString()))
                    oursChanged.insert(q.value(1).toString(), {q.value(2).toString(), q.value(3).toString()});
            }
            q.finish();
        }
        QHash<QString, QPair<QString, QString>> theirsChanged;
        for (const HistoryRow &row : theirs)
            theirsChanged.insert(row.values.at(kField).toString(),
                                 {row.values.at(kWorkstation).toString(), row.values.at(kChangedAt).toString()});

        QStringList sets;
        QVariantList bound;
        for (const QString &field : def.fields) {
            const auto change = theirsChanged.constFind(field);
            if (change == theirsChanged.constEnd())
                continue;
            const QString here = valueText(def, field, ours.value(field)),
                          there = valueText(def, field, s.values.value(field));
            if (here == there)
                continue;
            const auto mine = oursChanged.constFind(field);
            if (mine == oursChanged.constEnd()) {
                sets << Dialect::quote(field) + QStringLiteral(" = ?");
                bound << (def.isBoolean(field) ? QVariant(s.values.value(field).toBool()) : QVariant(there));
                continue;
            }
            if (!addConflict({newEntryId(), def.name, fromIds[def.name].value(s.fromKey), field, here,
                              mine->first, mine->second, there, change->first, change->second, QVariant(), QVariant()}))
                return false;
            ++done.conflicts;
        }
        // A void made in either logbook stays, with its reason.
        const bool theirVoid = theirsChanged.contains(voidedColumn()) || theirsChanged.contains(history::restoredField());
        if (theirVoid) {
            const bool ourVoid = oursChanged.contains(voidedColumn()) || oursChanged.contains(history::restoredField());
            const bool oursVoided = ours.value(voidedColumn()).toBool(), theirsVoided = s.values.value(voidedColumn()).toBool();
            const bool voided = ourVoid ? (oursVoided || theirsVoided) : theirsVoided;
            const QVariant reason = !voided ? QVariant(QMetaType::fromType<QString>())
                                    : (ourVoid && oursVoided) ? ours.value(voidReasonColumn())
                                                              : s.values.value(voidReasonColumn());
            if (voided != oursVoided || reason.toString() != ours.value(voidReasonColumn()).toString()) {
                sets << Dialect::quote(voidedColumn()) + QStringLiteral(" = ?") << Dialect::quote(voidReasonColumn()) + QStringLiteral(" = ?");
                bound << voided << reason;
            }
        }
        if (!sets.isEmpty()) {
            // The row changed here: a window showing it refuses a store
            // made over the values it showed.
            const HistoryRow &last = theirs.last();
            sets << QStringLiteral("%1 = %1 + 1").arg(Dialect::quote(rowVersionColumn()))
                 << Dialect::quote(changedAtColumn()) + QStringLiteral(" = ?")
                 << Dialect::quote(changedOnColumn()) + QStringLiteral(" = ?");
            bound << last.values.at(kChangedAt) << last.values.at(kWorkstation) << s.intoKey;
            QSqlQuery q(dst.connection());
            if (!q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                               .arg(Dialect::quote(def.name), sets.join(QStringLiteral(", ")), Dialect::quote(keyColumn()))))
                return failOn(dst, q);
            for (int i = 0; i < bound.size(); ++i)
                q.bindValue(i, bound.at(i));
            if (!q.exec())
                return failOn(dst, q);
        }
        ++done.changed;
        done.changedEntries.append({def.name, s.intoKey});
        return writeHistory(theirs, s.intoKey);
    }

    bool addConflict(const QVariantList &values)
    {
        if (!prepareInsert(conflictInsert, mergeConflictTable(), mergeConflictFields()))
            return false;
        QSqlQuery &q = *conflictInsert;
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values.at(i).isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(values.at(i).toString()));
        return q.exec() || failOn(dst, q);
    }

    // The launch records, by their id, each linked to the mission log
    // entry of this logbook that has the same id as its own there.  A
    // record is only ever completed, so a field empty here takes the
    // value from there.
    bool mergeLaunchRecords()
    {
        QList<launchlog::Record> theirs, ours;
        if (!launchlog::all(src, &theirs, err) || !launchlog::all(dst, &ours, err))
            return false;
        QHash<QString, const launchlog::Record *> byId;
        for (const launchlog::Record &r : ours)
            byId.insert(r.id(), &r);
        const QString missionKey = QStringLiteral("MissionKey");
        const QString missions = QStringLiteral("MissionData");
        for (launchlog::Record r : theirs) {
            const QVariant key = r.values.value(missionKey);
            const QString missionId = key.isValid() ? fromIds[missions].value(key.toLongLong()) : QString();
            const auto mapped = intoKeys[missions].constFind(missionId);
            r.values.insert(missionKey, missionId.isEmpty() || mapped == intoKeys[missions].constEnd() ? QVariant() : QVariant(*mapped));
            const launchlog::Record *here = byId.value(r.id());
            if (!here) {
                if (!launchlog::insert(dst, r.id(), r.values, err))
                    return false;
                ++done.added;
                continue;
            }
            QVariantMap fill;
            for (auto it = r.values.cbegin(); it != r.values.cend(); ++it) {
                if (!it.value().toString().isEmpty() && here->values.value(it.key()).toString().isEmpty())
                    fill.insert(it.key(), it.value());
            }
            if (fill.isEmpty())
                continue;
            if (!launchlog::update(dst, r.id(), fill, err))
                return false;
            ++done.changed;
        }
        return true;
    }

    // The conflicts found by earlier merges, by their id: new ones come
    // along, and one settled there is settled here too.
    bool mergeConflicts()
    {
        const QStringList fields = mergeConflictFields();
        QStringList columns;
        for (const QString &f : fields)
            columns << Dialect::quote(f);
        const QString select = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), Dialect::quote(mergeConflictTable()));
        const int settledAt = int(fields.indexOf(QStringLiteral("SettledAtUtc")));
        QHash<QString, bool> settledHere;
        {
            QSqlQuery q(dst.connection());
            q.setForwardOnly(true);
            if (!q.exec(select))
                return failOn(dst, q);
            while (q.next())
                settledHere.insert(q.value(0).toString(), !q.value(settledAt).toString().isEmpty());
        }
        QSqlQuery q(src.connection());
        q.setForwardOnly(true);
        if (!q.exec(select))
            return failOn(src, q);
        while (q.next()) {
            QVariantList values;
            for (int i = 0; i < fields.size(); ++i)
                values << q.value(i);
            const bool settled = !values.at(settledAt).toString().isEmpty();
            const auto here = settledHere.constFind(values.first().toString());
            if (here == settledHere.constEnd()) {
                if (!addConflict(values))
                    return false;
            } else if (settled && !*here) {
                QSqlQuery set(dst.connection());
                if (!set.prepare(QStringLiteral("UPDATE %1 SET \"SettledAtUtc\" = ?, \"SettledOn\" = ? WHERE %2 = ?")
                                     .arg(Dialect::quote(mergeConflictTable()), Dialect::quote(entryIdColumn()))))
                    return failOn(dst, set);
                set.bindValue(0, values.at(settledAt));
                set.bindValue(1, values.at(settledAt + 1));
                set.bindValue(2, values.first());
                if (!set.exec())
                    return failOn(dst, set);
            }
        }
        return q.lastError().isValid() ? failOn(src, q) : true;
    }

    Database &src;
    Database &dst;
    MergeParts parts;
    bool attached = false;   // the file merged from, to the connection of the one merged into
    QString *err = nullptr;
    MergeSummary done;
    QHash<QString, QHash<QString, qint64>> intoKeys;   // table -> entry id -> key here
    QHash<QString, QHash<qint64, QString>> fromIds;    // table -> key there -> entry id
    QSet<QString> intoHistory, fromHistory;            // history ids
    QHash<RowRef, QList<HistoryRow>> pending;          // history rows this logbook lacks, by entry there
    std::optional<QSqlQuery> historyInsert, conflictInsert, historyRead;
    QHash<QString, QSqlQuery> rowQueries;              // an entry here by its key, by table
};

QString counted(qint64 n, const char *one, const char *many)
{
    return n == 1 ? QStringLiteral("1 ") + QLatin1String(one) : QStringLiteral("%1 ").arg(n) + QLatin1String(many);
}

bool isAccessFile(const DatabaseLocation &where)
{
    const QString suffix = QFileInfo(where.location).suffix().toLower();
    return where.driver == QLatin1String("QSQLITE") && (suffix == QLatin1String("mdb") || suffix == QLatin1String("accdb"));
}

// The texts naming the database a server connection reaches.
bool identify(Database &db, QStringList *names, QString *error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(db.dialect().identifyDatabase) || !q.next()) {
        *error = db.failureText(q.lastError());
        return false;
    }
    for (int i = 0; i < q.record().count(); ++i)
        *names << q.value(i).toString();
    return true;
}

// Why INTO is not to be merged into: its tables were made by a newer
// program (empty when it may be).
QString newerRefusal(Database &db, QString *error)
{
    int version = 0;
    if (!db.storedSchemaVersion(&version, error))
        return *error;
    if (version <= Database::schemaVersion())
        return {};
    return QStringLiteral("The logbook \"%1\" was made by a newer version of this program (its tables are at "
                          "version %2; this one knows version %3 and older). Nothing was merged; merge "
                          "with the newer program.")
        .arg(db.location().location)
        .arg(version)
        .arg(Database::schemaVersion());
}

const QString kSame = QStringLiteral("The logbook to merge from and the one to merge into are the same logbook; "
                                     "nothing was merged.");

// Why the two logbooks, both open, are not to be merged (empty when they are).
QString refusal(Database &from, Database &into, QString *error)
{
    for (Database *db : {&from, &into}) {
        if (const QString no = newerRefusal(*db, error); !no.isEmpty())
            return no;
    }
    if (!from.dialect().identifyDatabase.isEmpty() && from.dialect().driver == into.dialect().driver) {
        QStringList a, b;
        if (!identify(from, &a, error) || !identify(into, &b, error))
            return *error;
        if (a == b)
            return kSame;
    }
    return {};
}

// What of an Access logbook did not come over as it stood there.
QStringList accessNotes(const access::Logbook &book)
{
    QStringList notes;
    QMap<QString, QStringList> unknown;   // by table, in the file's order
    for (const auto &[table, field] : book.unknownFields)
        unknown[table] << QLatin1Char('"') + field + QLatin1Char('"');
    for (auto it = unknown.cbegin(); it != unknown.cend(); ++it)
        notes << QStringLiteral("%1: fields this logbook does not have, not brought over: %2")
                     .arg(it.key(), it.value().join(QStringLiteral(", ")));
    if (!book.missingTables.isEmpty())
        notes << QStringLiteral("Tables of the logbook the file does not have: %1")
                     .arg(book.missingTables.join(QStringLiteral(", ")));
    if (!book.otherTables.isEmpty())
        notes << QStringLiteral("Tables that are not the logbook's, not brought over: %1")
                     .arg(book.otherTables.join(QStringLiteral(", ")));
    notes << book.problems;
    return notes;
}

// One table's entries of an Access logbook: the ones `into` lacks are added.
bool addAccessRows(Database &into, const TableDef &def, const QList<const access::Row *> &rows,
                   QList<access::Row> *existing, QList<access::Row> *added, QString *error)
{
    const QString table = Dialect::quote(def.name), id = Dialect::quote(entryIdColumn());
    const QString dateTime = QStringLiteral("Date/Time"), submittedBy = QStringLiteral("SubmittedBy");
    QSet<QString> held;
    {
        QSqlQuery q(into.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1, %2, %3 FROM %4")
                        .arg(id, Dialect::quote(dateTime), Dialect::quote(submittedBy), table))) {
            *error = into.failureText(q.lastError());
            return false;
        }
        while (q.next()) {
            held.insert(q.value(0).toString());
            existing->append(access::Row{def.name, 0, q.value(0).toString(),
                                         {{dateTime, q.value(1).toString()}, {submittedBy, q.value(2).toString()}}, {}});
        }
    }
    QHash<QString, QSqlQuery> inserts;   // by the fields a row has
    for (const access::Row *row : rows) {
        if (held.contains(row->entryId))
            continue;
        QStringList fields;
        for (const QString &f : def.fields)
            if (row->values.contains(f))
                fields << f;
        const QString shape = fields.join(QLatin1Char('\n'));
        QSqlQuery &q = inserts[shape];
        if (q.lastQuery().isEmpty()) {
            q = QSqlQuery(into.connection());
            QStringList names{id};
            for (const QString &f : fields)
                names << Dialect::quote(f);
            if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(table, names.join(QStringLiteral(", ")),
                                    QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))))) {
                *error = into.failureText(q.lastError());
                return false;
            }
        }
        q.bindValue(0, row->entryId);
        for (int i = 0; i < fields.size(); ++i)
            q.bindValue(i + 1, def.normalised(fields.at(i), row->values.value(fields.at(i))));
        if (!q.exec()) {
            *error = into.failureText(q.lastError());
            return false;
        }
        held.insert(row->entryId);
        added->append(*row);
    }
    return true;
}

} // namespace

QString MergeSummary::text() const
{
    // The attachments only when some came, so a merge without any reads as before.
    const QString files = attachments > 0 ? QStringLiteral(", ") + counted(attachments, "attachment", "attachments")
                                          : QString();
    QString text = QStringLiteral("%1%4, %2 changed, %3, nothing removed")
                       .arg(counted(added, "new entry", "new entries"))
                       .arg(changed)
                       .arg(counted(conflicts, "conflict", "conflicts"), files);
    if (likelyDuplicates == 1)
        text += QStringLiteral("\n1 new entry has the Date/Time and SubmittedBy of an entry already here: likely a "
                               "row changed in Access since an earlier import, which comes in as a new entry");
    else if (likelyDuplicates > 1)
        text += QStringLiteral("\n%1 new entries have the Date/Time and SubmittedBy of an entry already here: likely "
                               "rows changed in Access since an earlier import, which come in as new entries")
                    .arg(likelyDuplicates);
    for (const QString &note : notes)
        text += QLatin1Char('\n') + note;
    return text;
}

bool mergeAccessLogbook(const access::Logbook &book, Database &into, MergeSummary *summary, QString *error)
{
    WriteTransaction tx(into);
    if (!tx.begin(error))
        return false;
    QSqlDatabase db = into.connection();
    QList<access::Row> existing, added;
    bool ok = entryids::giveMissing(db, error);
    for (const TableDef &def : schema()) {
        QList<const access::Row *> rows;
        for (const access::Row &row : book.rows)
            if (row.table == def.name)
                rows << &row;
        if (ok && !rows.isEmpty())
            ok = addAccessRows(into, def, rows, &existing, &added, error);
    }
    if (!ok || !tx.commit(error)) {
        tx.rollback();
        *error += QStringLiteral("\nNothing was merged.");
        return false;
    }
    MergeSummary done;
    done.added = added.size();
    // A row changed in Access since an earlier import comes as a new entry
    // beside the one it was: made at the same moment by the same person.
    const auto key = [](const access::Row &r) {
        return r.table + QLatin1Char('\n') + r.values.value(QStringLiteral("Date/Time")).toString() + QLatin1Char('\n')
               + r.values.value(QStringLiteral("SubmittedBy")).toString();
    };
    QSet<QString> before;
    for (const access::Row &r : std::as_const(existing))
        before.insert(key(r));
    for (const access::Row &r : std::as_const(added))
        done.likelyDuplicates += !r.values.value(QStringLiteral("Date/Time")).toString().isEmpty() && before.contains(key(r));
    done.notes = accessNotes(book);
    *summary = done;
    return true;
}

bool mergeLogbook(Database &from, Database &into, MergeSummary *summary, QString *error, MergeParts parts)
{
    Merger merger(from, into, parts);
    return merger.run(summary, error);
}

std::optional<MergeSummary> mergeLogbooks(const DatabaseLocation &from, const DatabaseLocation &into, QString *error,
                                          const access::DateText &dateText)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (isAccessFile(from)) {
        // Read on the service's thread too: the reader's programs can take
        // their time on a large file.
        const access::DateText dates = dateText ? dateText : [](const QDateTime &t) { return t.toString(Qt::ISODate); };
        auto reached = std::make_shared<std::atomic_bool>(false);
        std::optional<MergeSummary> merged = waitForLongJob<MergeSummary>(
            into,
            [file = from.location, dates, reached](JobContext &c, QString *why) -> std::optional<MergeSummary> {
                reached->store(true);
                if (const QString no = newerRefusal(c.database(), why); !no.isEmpty()) {
                    *why = no;
                    return std::nullopt;
                }
                access::Logbook book;
                if (!access::read(file, dates, &book, why)) {
                    *why += QStringLiteral(" Nothing was merged.");
                    return std::nullopt;
                }
                if (book.missingTables.size() == schema().size()) {
                    *why = QStringLiteral("\"%1\" is an Access file but not a logbook: it has none of the logbook's "
                                          "tables (%2). Nothing was merged.")
                               .arg(file, book.missingTables.join(QStringLiteral(", ")));
                    return std::nullopt;
                }
                MergeSummary summary;
                if (!mergeAccessLogbook(book, c.database(), &summary, why))
                    return std::nullopt;
                return summary;
            },
            error);
        if (!merged && !reached->load())
            *error = QStringLiteral("The logbook to merge into cannot be opened: %1").arg(*error);
        return merged;
    }
    const Dialect *fromDialect = Dialect::forDriver(from.driver);
    if (fromDialect && fromDialect->fileBased) {
        if (!QFileInfo(from.location).isFile()) {
            *error = QStringLiteral("The logbook file \"%1\" does not exist; nothing was merged.").arg(from.location);
            return std::nullopt;
        }
        const FileIdentity file = fileIdentity(from.location);
        if (into.driver == from.driver && file == fileIdentity(into.location)) {
            *error = kSame;
            return std::nullopt;
        }
    }
    if (from == into) {
        *error = kSame;
        return std::nullopt;
    }
    // One long job of the service of the logbook merged into, which reads
    // the other on a second connection of the same thread.
    auto reached = std::make_shared<std::atomic_bool>(false);
    std::optional<MergeSummary> merged = waitForLongJob<MergeSummary>(
        into,
        [from, reached](JobContext &c, QString *why) -> std::optional<MergeSummary> {
            reached->store(true);
            QString openError;
            Database *source = c.otherDatabase(from, &openError);
            if (!source) {
                *why = QStringLiteral("The logbook to merge from cannot be opened: %1").arg(openError);
                return std::nullopt;
            }
            if (const QString no = refusal(*source, c.database(), why); !no.isEmpty()) {
                *why = no;
                return std::nullopt;
            }
            MergeSummary summary;
            if (!mergeLogbook(*source, c.database(), &summary, why))
                return std::nullopt;
            return summary;
        },
        error);
    if (!merged && !reached->load())
        *error = QStringLiteral("The logbook to merge into cannot be opened: %1").arg(*error);
    return merged;
}

} // namespace bravik::logbook
