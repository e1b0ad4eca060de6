#include "RecordKinds.h"

#include <algorithm>

namespace bravik::logbook {

const QList<RecordKind> &recordKinds()
{
    static const QList<RecordKind> kinds = [] {
        QList<RecordKind> list;
        for (const TableDef &t : schema())
            if (t.kind)
                list << *t.kind;
        std::sort(list.begin(), list.end(), [](const RecordKind &a, const RecordKind &b) { return a.id < b.id; });
        return list;
    }();
    return kinds;
}

const RecordKind &recordKind(RecordKind::Id id)
{
    return recordKinds().at(int(id));
}

namespace {
template <class Pick>
const RecordKind *find(const QString &wanted, Pick pick)
{
    for (const RecordKind &k : recordKinds()) {
        if (pick(k) == wanted)
            return &k;
    }
    return nullptr;
}
} // namespace

const RecordKind *kindForCategory(const QString &category)
{
    return find(category, [](const RecordKind &k) { return k.category; });
}

const RecordKind *kindForTable(const QString &table)
{
    return find(table, [](const RecordKind &k) { return k.table; });
}

const RecordKind *kindForWindow(const QString &window)
{
    return find(window, [](const RecordKind &k) { return k.window; });
}

} // namespace bravik::logbook
