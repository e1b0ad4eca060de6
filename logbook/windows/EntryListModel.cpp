#include "EntryListModel.h"

#include "LogbookService.h"
#include "Schema.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace bravik::logbook {

namespace {
constexpr int kCellLength = 60;

// The mark of a corrected row: a pencil on the Date/Time cell.
QIcon changedMark()
{
    static const QIcon icon = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QFont f = p.font();
        f.setPixelSize(14);
        p.setFont(f);
        p.setPen(QColor(40, 70, 160));
        p.drawText(pixmap.rect(), Qt::AlignCenter, QString(QChar(0x270E)));
        return QIcon(pixmap);
    }();
    return icon;
}

QString header(const QString &column)
{
    if (column == QLatin1String("SubmittedBy"))
        return QStringLiteral("Submitted By");
    if (column == stampedAtColumn())
        return QStringLiteral("Stamped (UTC)");
    if (column == voidReasonColumn())
        return QStringLiteral("Void Reason");
    return column;
}
} // namespace

EntryListModel::EntryListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    qRegisterMetaType<DatabaseLocation>();
    qRegisterMetaType<EntryFilter>();
    qRegisterMetaType<QList<Entry>>();
    qRegisterMetaType<Entry>();
}

// Jobs still queued are dropped with the client; one running ends unanswered.
EntryListModel::~EntryListModel() = default;

bool EntryListModel::isWaiting() const { return m_client && m_busy && m_client->isWaiting(); }

QString EntryListModel::waitingText() const { return m_client ? m_client->waitingText() : QString(); }

void EntryListModel::setQuery(const DatabaseLocation &where, const QString &table, const EntryFilter &filter)
{
    beginResetModel();
    ++m_generation;
    if (m_client && m_where == where) {
        // A search still running for the old filter is given up.
        m_client->stopWaiting();
    } else {
        m_client = std::make_unique<LogbookClient>(where);
        connect(m_client.get(), &LogbookClient::waitingChanged, this, &EntryListModel::waitingChanged);
    }
    if (m_where != where || !m_listening) {
        if (m_listening)
            disconnect(m_listening);
        m_listening = connect(&LogbookService::at(where), &LogbookService::changed, this, &EntryListModel::rowStored);
    }
    m_where = where;
    m_table = table;
    m_filter = filter;
    m_filter.includeVoid = true;
    m_rows.clear();
    m_columns.clear();
    m_booleans.clear();
    if (const TableDef *def = findTable(table)) {
        m_columns << QStringLiteral("Date/Time") << QStringLiteral("SubmittedBy");
        for (const QString &f : def->fields)
            if (!m_columns.contains(f))
                m_columns << f;
        // The query reads whether each row is void, and why, last.
        m_columns << hiddenFields() << voidedColumn() << voidReasonColumn();
        for (const QString &c : m_columns)
            m_booleans << (def->isBoolean(c) || c == voidedColumn());
    }
    m_position = {};
    m_exhausted = false;
    m_stopped = false;
    m_error.clear();
    m_busy = false;
    endResetModel();
    // The first page, unless a view asked for it as the reset ended.
    fetchMore();
}

void EntryListModel::stop()
{
    if (!m_busy)
        return;
    // The range being read now is given up (its rows were not shown yet);
    // what was found before it stays.
    ++m_generation;
    m_client->stopWaiting();
    finishPage(true, QString());
}

qint64 EntryListModel::keyAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).key : -1;
}

int EntryListModel::rowOfKey(qint64 key) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).key == key)
            return i;
    return -1;
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EntryListModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || m_columns.isEmpty())
        return 0;
    return int(m_columns.size()) - (m_voidColumnsShown ? 0 : 2);
}

void EntryListModel::setVoidColumnsShown(bool shown)
{
    if (shown == m_voidColumnsShown)
        return;
    if (m_columns.isEmpty()) {
        m_voidColumnsShown = shown;
        return;
    }
    const int first = int(m_columns.size()) - 2;
    if (shown)
        beginInsertColumns({}, first, first + 1);
    else
        beginRemoveColumns({}, first, first + 1);
    m_voidColumnsShown = shown;
    if (shown)
        endInsertColumns();
    else
        endRemoveColumns();
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCount())
        return {};
    const Entry &entry = m_rows.at(index.row());
    const QString &value = entry.values.at(index.column());
    const bool boolean = m_booleans.at(index.column());
    const bool markCell = index.column() == 0;
    switch (role) {
    case Qt::DisplayRole: {
        if (boolean)
            return value == QLatin1String("true") ? QStringLiteral("Yes") : QStringLiteral("No");
        // Long texts shortened to their first line in the cell.
        QString shown = value.section(QLatin1Char('\n'), 0, 0).trimmed();
        if (shown.size() > kCellLength)
            shown = shown.left(kCellLength - 1) + QChar(0x2026);
        else if (shown.size() < value.trimmed().size())
            shown += QStringLiteral(" ") + QChar(0x2026);
        return shown;
    }
    case Qt::ToolTipRole: {
        QStringList lines;
        if (entry.voided)
            lines << QStringLiteral("VOID: %1").arg(entry.voidReason);
        if (entry.changed && markCell)
            lines << QStringLiteral("Changed after it was first stored");
        if (!boolean && !value.isEmpty())
            lines << value;
        return lines.isEmpty() ? QVariant() : QVariant(lines.join(QLatin1Char('\n')));
    }
    case Qt::DecorationRole:
        return entry.changed && markCell ? QVariant(changedMark()) : QVariant();
    case Qt::ForegroundRole:
        return entry.voided ? QVariant(QBrush(QColor(140, 140, 140))) : QVariant();
    case Qt::FontRole:
        if (entry.voided) {
            QFont f;
            f.setItalic(true);
            return f;
        }
        return {};
    case Qt::UserRole:
        return value;
    default:
        return {};
    }
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? QVariant(header(m_columns.at(section))) : QVariant();
    return section + 1;
}

bool EntryListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_busy && !m_exhausted && !m_stopped && m_error.isEmpty() && !m_table.isEmpty();
}

void EntryListModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    m_wanted = m_pageSize;
    setBusy(true);
    nextRange();
}

void EntryListModel::nextRange()
{
    struct Range
    {
        QList<Entry> rows;
        EntryQuery::Position position;
    };
    const quint64 generation = m_generation;
    JobOptions options;
    options.lane = JobOptions::Lane::Long;
    m_client->run(
        options,
        [table = m_table, filter = m_filter, position = m_position, wanted = m_wanted](JobContext &c) {
            Range range;
            range.position = position;
            EntryQuery query(c.database(), table, filter);
            if (!query.fetchRange(range.position, wanted, [&](const QList<Entry> &rows) { range.rows << rows; }))
                c.fail(query.error());
            return range;
        },
        [this, generation](const Answer<Range> &answer) {
            if (generation != m_generation)
                return;
            if (!answer.ok()) {
                finishPage(answer.status == JobStatus::Withdrawn,
                           answer.status == JobStatus::Withdrawn ? QString() : answer.error);
                return;
            }
            const QList<Entry> &rows = answer.value.rows;
            if (!rows.isEmpty()) {
                beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
                m_rows << rows;
                endInsertRows();
            }
            m_position = answer.value.position;
            m_wanted -= int(rows.size());
            m_exhausted = m_position.exhausted;
            Q_EMIT progressed(m_position.progress());
            if (m_wanted > 0 && !m_exhausted)
                nextRange();
            else
                finishPage(false, QString());
        });
}

void EntryListModel::rowStored(const QString &table, qint64 key)
{
    if (table != m_table || rowOfKey(key) < 0 || !m_client)
        return;
    const quint64 generation = m_generation;
    m_client->run(
        JobOptions{},
        [table = m_table, key](JobContext &c) {
            // Whatever the filter: the row is shown already, now with its
            // new values.
            EntryFilter all;
            all.includeVoid = true;
            EntryQuery one(c.database(), table, all);
            Entry found;
            bool exhausted = false;
            one.fetch(key + 1, 1, [&](const QList<Entry> &rows) {
                for (const Entry &e : rows)
                    if (e.key == key)
                        found = e;
            }, nullptr, &exhausted);
            return found;
        },
        [this, generation](const Answer<Entry> &answer) {
            const int row = rowOfKey(answer.value.key);
            if (generation != m_generation || !answer.ok() || row < 0)
                return;
            m_rows[row] = answer.value;
            Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
        });
}

void EntryListModel::finishPage(bool stopped, const QString &error)
{
    if (!error.isEmpty())
        m_exhausted = true;
    m_stopped = stopped && !m_exhausted;
    m_error = error;
    setBusy(false);
    Q_EMIT pageFinished(error);
}

void EntryListModel::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

} // namespace bravik::logbook
