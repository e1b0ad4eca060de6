#include "EntryListModel.h"

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
    return column;
}
} // namespace

EntryFetcher::~EntryFetcher() = default;

void EntryFetcher::fetch(quint64 generation, const DatabaseLocation &where, const QString &table,
                         const EntryFilter &filter, qint64 before, int limit, const StopFlag &stop)
{
    if (stop->load()) {   // given up before it began
        Q_EMIT done(generation, false, true, QString());
        return;
    }
    if (!m_database || m_database->location() != where) {
        m_query.reset();
        QString error;
        m_database = Database::open(where, &error);
        if (!m_database) {
            Q_EMIT done(generation, true, false, error);
            return;
        }
    }
    if (!m_query || m_queryGeneration != generation) {
        m_query = std::make_unique<EntryQuery>(*m_database, table, filter);
        m_queryGeneration = generation;
    }
    bool exhausted = false;
    const bool ok = m_query->fetch(before, limit, [&](const QList<Entry> &rows) {
        Q_EMIT rowsFound(generation, rows);
        Q_EMIT progressed(generation, m_query->progress());
    }, stop.get(), &exhausted);
    const bool stopped = stop->load();
    Q_EMIT done(generation, ok ? exhausted : true, stopped, ok ? QString() : m_query->error());
}

EntryListModel::EntryListModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_stop(std::make_shared<std::atomic_bool>(false))
{
    qRegisterMetaType<StopFlag>();
    qRegisterMetaType<DatabaseLocation>();
    qRegisterMetaType<EntryFilter>();
    qRegisterMetaType<QList<Entry>>();
    m_fetcher = new EntryFetcher;
    m_fetcher->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_fetcher, &QObject::deleteLater);
    connect(this, &EntryListModel::fetchRequested, m_fetcher, &EntryFetcher::fetch);
    connect(m_fetcher, &EntryFetcher::rowsFound, this, &EntryListModel::rowsArrived);
    connect(m_fetcher, &EntryFetcher::done, this, &EntryListModel::fetchDone);
    connect(m_fetcher, &EntryFetcher::progressed, this, [this](quint64 generation, double share) {
        if (generation == m_generation)
            Q_EMIT progressed(share);
    });
    m_thread.setObjectName(QStringLiteral("logbook list"));
    m_thread.start();
}

EntryListModel::~EntryListModel()
{
    m_stop->store(true);
    m_thread.quit();
    m_thread.wait();
}

void EntryListModel::setQuery(const DatabaseLocation &where, const QString &table, const EntryFilter &filter)
{
    beginResetModel();
    ++m_generation;
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
        m_columns << hiddenFields();
        for (const QString &c : m_columns)
            m_booleans << def->isBoolean(c);
    }
    m_exhausted = false;
    m_stopped = false;
    m_error.clear();
    endResetModel();
    // A search still running for the old filter ends at its next range.
    m_stop->store(true);
    m_busy = false;
    fetchMore();
}

void EntryListModel::stop()
{
    if (m_busy)
        m_stop->store(true);
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
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns.size())
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
        return section >= 0 && section < m_columns.size() ? QVariant(header(m_columns.at(section))) : QVariant();
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
    m_stop = std::make_shared<std::atomic_bool>(false);
    setBusy(true);
    Q_EMIT fetchRequested(m_generation, m_where, m_table, m_filter, m_rows.isEmpty() ? -1 : m_rows.last().key,
                          m_pageSize, m_stop);
}

void EntryListModel::rowsArrived(quint64 generation, const QList<Entry> &rows)
{
    if (generation != m_generation || rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows << rows;
    endInsertRows();
}

void EntryListModel::fetchDone(quint64 generation, bool exhausted, bool stopped, const QString &error)
{
    if (generation != m_generation)
        return;
    m_exhausted = exhausted;
    m_stopped = stopped && !exhausted;
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
