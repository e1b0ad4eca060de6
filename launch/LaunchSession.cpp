#include "LaunchSession.h"

#include "Database.h"
#include "LaunchLog.h"
#include "LaunchStatus.h"
#include "Seams.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace bravik::launch {

LaunchSession &LaunchSession::instance()
{
    static LaunchSession *s = new LaunchSession; // lives as long as the program
    return *s;
}

LaunchSession::LaunchSession()
{
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &LaunchSession::poll);
}

LaunchSession::~LaunchSession() = default;

logbook::Database *LaunchSession::database(QString *error)
{
    const Settings &s = settings();
    if (m_dbDriver != s.databaseDriver || m_dbLocation != s.database) {
        // Another logbook: the launches of this session are not in it.
        if (!m_dbDriver.isEmpty())
            reset();
        m_dbDriver = s.databaseDriver;
        m_dbLocation = s.database;
    }
    if (m_db && m_db->isBroken() && !m_db->reopen(error))
        return nullptr;
    if (!m_db) {
        m_db = logbook::Database::open({s.databaseDriver, s.database}, error);
    }
    return m_db.get();
}

qint64 LaunchSession::latestKey()
{
    // No connection is made here: the abort asks this before its command
    // starts, and nothing may delay that.
    const Settings &s = settings();
    if (m_dbDriver != s.databaseDriver || m_dbLocation != s.database)
        return -1;
    return m_latest;
}

qint64 LaunchSession::begin(const QVariantMap &values, QString *error)
{
    logbook::Database *db = database(error);
    if (!db)
        return -1;
    const qint64 key = logbook::launchlog::insert(*db, values, error);
    if (key >= 0)
        m_latest = key;
    return key;
}

bool LaunchSession::update(qint64 key, const QVariantMap &values, QString *error)
{
    if (key < 0) {
        *error = QStringLiteral("no launch record was written for this launch");
        return false;
    }
    logbook::Database *db = database(error);
    return db && logbook::launchlog::update(*db, key, values, error);
}

QString LaunchSession::statusFileFor(qint64 key, const QString &what)
{
    const QString folder = settings().launchFolder;
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    const QString id = key >= 0 ? QString::number(key)
                                : QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmsszzz"))
                                      + QStringLiteral("-%1").arg(QCoreApplication::applicationPid());
    return QDir(folder).filePath(QStringLiteral("launch-%1-%2.json").arg(id, what));
}

void LaunchSession::watch(qint64 key, const QString &statusFile, bool abort)
{
    if (statusFile.isEmpty())
        return;
    m_watches.append({key, statusFile, abort, {}, false});
    if (!m_timer.isActive())
        m_timer.start();
}

void LaunchSession::setRunLine(const QString &line)
{
    if (line == m_runLine)
        return;
    m_runLine = line;
    emit runLineChanged(line);
}

void LaunchSession::reset()
{
    m_timer.stop();
    m_watches.clear();
    m_db.reset();
    m_latest = -1;
    m_runLine.clear();
}

void LaunchSession::poll()
{
    bool pending = false;
    for (Watch &w : m_watches) {
        if (w.done)
            continue;
        QFile f(w.file);
        QByteArray bytes;
        if (f.open(QIODevice::ReadOnly))
            bytes = f.read(16 * kRecordedOutputBytes);
        const std::optional<CommandStatus> status = CommandStatus::fromJson(bytes);
        if (!status || bytes == w.last) {
            pending = true;
            continue;
        }
        w.last = bytes;
        const bool ended = status->state != CommandStatus::State::Running;
        const QString prefix = w.abort ? QStringLiteral("Abort") : QStringLiteral("Run");
        QVariantMap values;
        if (!w.abort && status->processId > 0)
            values.insert(QStringLiteral("ProcessId"), status->processId);
        if (status->state == CommandStatus::State::FailedToStart) {
            values.insert(prefix + QStringLiteral("ExitStatus"), QStringLiteral("not started"));
            values.insert(prefix + QStringLiteral("Output"), status->line());
        } else {
            if (ended)
                values.insert(prefix + QStringLiteral("ExitStatus"), status->exitStatus);
            values.insert(prefix + QStringLiteral("Output"), status->output);
        }
        if (!w.abort && w.key == m_latest)
            setRunLine(status->line());
        QString error;
        if (w.key >= 0 && !update(w.key, values, &error))
            inform(nullptr, QStringLiteral("What the %1 command did could not be written to the launch record:\n%2")
                                .arg(w.abort ? QStringLiteral("stop") : QStringLiteral("run"), error));
        w.done = ended;
        if (!ended)
            pending = true;
    }
    if (!pending)
        m_timer.stop();
}

QString utcNow()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString commandText(const QString &program, const QStringList &arguments)
{
    auto quoted = [](const QString &a) {
        if (!a.isEmpty() && !a.contains(QRegularExpression(QStringLiteral("[\\s\"'\\\\$`;&|<>(){}*?!#~]"))))
            return a;
        QString q = a;
        q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
        return QLatin1Char('\'') + q + QLatin1Char('\'');
    };
    QStringList parts{quoted(QDir::toNativeSeparators(program))};
    for (const QString &a : arguments)
        parts << quoted(a);
    return parts.join(QLatin1Char(' '));
}

} // namespace bravik::launch
