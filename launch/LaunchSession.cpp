#include "LaunchSession.h"

#include "LaunchLog.h"
#include "LaunchWriter.h"
#include "LaunchStatus.h"
#include "Seams.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

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

logbook::LaunchWriter *LaunchSession::writer()
{
    const Settings &s = settings();
    if (m_dbDriver != s.databaseDriver || m_dbLocation != s.database) {
        // Another logbook: the launches of this session are not in it.
        if (!m_dbDriver.isEmpty())
            reset();
        m_dbDriver = s.databaseDriver;
        m_dbLocation = s.database;
    }
    if (!m_writer)
        m_writer = std::make_unique<logbook::LaunchWriter>(logbook::DatabaseLocation{s.databaseDriver, s.database},
                                                           std::chrono::milliseconds(s.statementTimeoutMs));
    return m_writer.get();
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

qint64 LaunchSession::keyOf(qint64 ticket) const
{
    return m_writer && ticket > 0 ? m_writer->keyOf(ticket) : -1;
}

bool LaunchSession::hasRecord(qint64 ticket) const
{
    return m_writer && ticket > 0 && !m_writer->refused(ticket);
}

std::chrono::milliseconds LaunchSession::recordBound()
{
    const qint64 timeout = settings().statementTimeoutMs > 0 ? settings().statementTimeoutMs : 20000;
    return std::chrono::milliseconds(qMin<qint64>(timeout, 5000));
}

qint64 LaunchSession::begin(const QVariantMap &values, Inserted done)
{
    logbook::LaunchWriter *w = writer();
    m_latest = w->insert(values, std::move(done));
    return m_latest;
}

void LaunchSession::update(qint64 ticket, const QVariantMap &values, Updated done)
{
    if (ticket <= 0 || !m_writer) {
        if (done)
            done(false, QStringLiteral("no launch record was written for this launch"));
        return;
    }
    m_writer->update(ticket, values, std::move(done));
}

QStringList LaunchSession::finishForQuit(std::chrono::milliseconds limit, bool *finished)
{
    m_timer.stop();
    if (finished)
        *finished = true;
    if (!m_writer)
        return {};
    const QStringList lost = m_writer->quit(limit, finished);
    for (const QString &line : lost)
        std::fprintf(stderr, "bravik-log: not written: %s\n", qPrintable(line));
    std::fflush(stderr);
    // The writer's thread may still be stuck in a statement: it is left to
    // end with the program.
    (void)m_writer.release();
    m_latest = -1;
    return lost;
}

QString LaunchSession::statusFileFor(qint64 ticket, const QString &what)
{
    const qint64 key = keyOf(ticket);
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
    m_writer.reset();
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
        if (hasRecord(w.key)) {
            const QString what = w.abort ? QStringLiteral("stop") : QStringLiteral("run");
            update(w.key, values, [what](bool ok, const QString &error) {
                if (!ok)
                    inform(nullptr, QStringLiteral("What the %1 command did could not be written to the launch record:\n%2")
                                        .arg(what, error));
            });
        }
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
