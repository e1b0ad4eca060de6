#include "LaunchListModel.h"

#include "LogbookService.h"

namespace bravik::launch {

using namespace bravik::logbook;

namespace {

const char *const kFieldOf[LaunchListModel::ColumnCount] = {"StartedAtUtc", "Reviewer",      "RunFile",
                                                            "StartResult",  "RunExitStatus", "AbortedAtUtc"};

} // namespace

LaunchListModel::LaunchListModel(const DatabaseLocation &where, std::chrono::milliseconds deadline, QObject *parent)
    : QAbstractTableModel(parent)
    , m_where(where)
    , m_deadline(deadline)
    , m_client(std::make_unique<LogbookClient>(where))
{
}

LaunchListModel::~LaunchListModel() = default;

void LaunchListModel::showMission(qint64 missionKey)
{
    m_missionKey = missionKey;
    if (missionKey < 0) {
        // A row not stored yet has no launches; a read still on its way
        // for another row is of no use now.
        m_client->stopWaiting();
        m_again = false;
        m_error.clear();
        beginResetModel();
        m_records.clear();
        endResetModel();
        QMetaObject::invokeMethod(this, [this] { Q_EMIT answered(true); }, Qt::QueuedConnection);
        return;
    }
    refresh();
}

void LaunchListModel::refresh()
{
    if (m_missionKey < 0)
        return;
    if (m_reading) {
        m_again = true;
        return;
    }
    read();
}

void LaunchListModel::read()
{
    m_reading = true;
    m_again = false;
    const qint64 key = m_missionKey;
    JobOptions options;
    options.deadline = m_deadline;
    m_client->run(
        options,
        [key](JobContext &c) {
            QList<launchlog::Record> records;
            QString error;
            if (!launchlog::forMission(c.database(), key, &records, &error))
                c.fail(error);
            return records;
        },
        [this, key](const Answer<QList<launchlog::Record>> &a) {
            m_reading = false;
            if (key != m_missionKey || m_again) {
                // Asked again meanwhile (another row, or records changed).
                if (m_missionKey >= 0)
                    read();
                return;
            }
            if (a.ok()) {
                m_error.clear();
                beginResetModel();
                m_records = a.value;
                endResetModel();
            } else {
                m_error = a.error;
            }
            Q_EMIT answered(a.ok());
        });
}

int LaunchListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int LaunchListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LaunchListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const launchlog::Record &r = m_records.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return r.text(QLatin1String(kFieldOf[index.column()]));
    case RecordTextRole:
        return recordText(r);
    case IdRole:
        return r.id();
    default:
        return {};
    }
}

QVariant LaunchListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    static const QStringList titles{QStringLiteral("Started (UTC)"), QStringLiteral("Reviewer"), QStringLiteral("File"),
                                    QStringLiteral("Start"),         QStringLiteral("Exit"),     QStringLiteral("Aborted (UTC)")};
    return titles.at(section);
}

QString LaunchListModel::recordText(const launchlog::Record &r)
{
    QStringList whole;
    for (const QString &f : launchlog::fields()) {
        if (f == QLatin1String("ReviewedText"))
            continue;
        const QString v = r.text(f);
        whole << QStringLiteral("%1: %2").arg(
            f, v.contains(QLatin1Char('\n')) ? QStringLiteral("\n  ") + QString(v).replace(QLatin1Char('\n'), QStringLiteral("\n  "))
                                             : v);
    }
    whole << QStringLiteral("ReviewedText:") << r.text(QStringLiteral("ReviewedText"));
    return whole.join(QLatin1Char('\n'));
}

} // namespace bravik::launch
