#include "LaunchSession.h"

#include "EarlierRun.h"
#include "LaunchRecorder.h"
#include "LogbookService.h"
#include "LaunchStatus.h"
#include "Platform.h"
#include "Seams.h"
#include "Settings.h"
#include "WindowManager.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <cstdio>

namespace bravik::launch {

namespace {

using Records = LaunchRecorder::Records;

// A recovered run whose command is no longer running, while its status
// file still says it is, gets this long for the recorder's last word.
constexpr qint64 kGoneGraceMs = 5000;
// A record whose program ended before it could tell whether the run
// command started, with no status file this long after the press of "Run
// Mission": it never started (the start comes within the record's bound,
// the recorder's first word at once after it).
constexpr qint64 kNeverStartedAfterSeconds = 20;

qint64 steadyMs()
{
    return QDeadlineTimer::current().deadline();
}

// The record's fields as a status file tells them.
QVariantMap statusValues(const CommandStatus &status, bool abort, bool startNotTold)
{
    const QString prefix = abort ? QStringLiteral("Abort") : QStringLiteral("Run");
    QVariantMap values;
    if (!abort && status.processId > 0)
        values.insert(QStringLiteral("ProcessId"), status.processId);
    if (status.state == CommandStatus::State::FailedToStart) {
        values.insert(prefix + QStringLiteral("ExitStatus"), QStringLiteral("not started"));
        values.insert(prefix + QStringLiteral("Output"), status.line());
    } else {
        if (status.state == CommandStatus::State::Ended)
            values.insert(prefix + QStringLiteral("ExitStatus"), status.exitStatus);
        values.insert(prefix + QStringLiteral("Output"), status.output);
    }
    // The recorder wrote the file: the run command was started.
    if (startNotTold && !abort)
        values.insert(QStringLiteral("StartResult"), QStringLiteral("started"));
    return values;
}

} // namespace

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

LaunchRecorder *LaunchSession::recorder()
{
    const Settings &s = settings();
    if (m_dbDriver != s.databaseDriver || m_dbLocation != s.database) {
        // Another logbook: the launches of this session are not in it.
        if (!m_dbDriver.isEmpty())
            reset();
        m_dbDriver = s.databaseDriver;
        m_dbLocation = s.database;
    }
    if (!m_recorder) {
        m_recorder = std::make_unique<LaunchRecorder>(logbook::DatabaseLocation{s.databaseDriver, s.database},
                                                      deadline());
        connect(m_recorder.get(), &LaunchRecorder::changed, this, &LaunchSession::recordChanged);
    }
    return m_recorder.get();
}

void LaunchSession::readEarlierRun(const QString &missionPath, std::function<void(const EarlierRun &)> done)
{
    const Settings &s = settings();
    const logbook::DatabaseLocation where{s.databaseDriver, s.database};
    if (!m_reader || m_reader->location() != where)
        m_reader = std::make_unique<logbook::LogbookClient>(where);
    readLatestRun(*m_reader, missionPath, deadline(), std::move(done));
}

void LaunchSession::startUp()
{
    LaunchRecorder::registerKeptHandler();
    recover();
}

QString LaunchSession::latestId()
{
    // No connection is made here: the abort asks this before its command
    // starts, and nothing may delay that.
    const Settings &s = settings();
    if (m_dbDriver != s.databaseDriver || m_dbLocation != s.database)
        return {};
    return m_latest;
}

bool LaunchSession::hasRecord(const QString &id) const
{
    return m_recorder && !id.isEmpty() && !m_recorder->refused(id);
}

bool LaunchSession::isBusy() const
{
    return m_recorder && m_recorder->isBusy();
}

bool LaunchSession::isWatching() const
{
    return m_timer.isActive();
}

std::chrono::milliseconds LaunchSession::deadline()
{
    return std::chrono::milliseconds(settings().statementTimeoutMs > 0 ? settings().statementTimeoutMs : 20000);
}

std::chrono::milliseconds LaunchSession::recordBound()
{
    return std::min(deadline(), std::chrono::milliseconds(5000));
}

QString LaunchSession::startNotToldText()
{
    return QStringLiteral("not known: the program ended before it could tell whether the run command started");
}

void LaunchSession::begin(const QString &id, const QVariantMap &values, Done done)
{
    LaunchRecorder *r = recorder();
    m_latest = id;
    m_begun.insert(id);
    r->insert(id, values, std::move(done));
}

void LaunchSession::update(const QString &id, const QVariantMap &values, Done done)
{
    if (id.isEmpty() || !m_recorder) {
        if (done)
            QMetaObject::invokeMethod(this, [done] { done(false, logbook::launchlog::noRecordText()); },
                                      Qt::QueuedConnection);
        return;
    }
    m_recorder->update(id, values, std::move(done));
}

void LaunchSession::quit()
{
    if (m_quitting)
        return;
    poll();
    m_quitting = true;
    m_timer.stop();
}

void LaunchSession::tell(const QString &text)
{
    if (m_quitting) {
        std::fprintf(stderr, "bravik-log: %s\n", qPrintable(text));
        std::fflush(stderr);
        return;
    }
    inform(nullptr, text);
}

QString LaunchSession::statusFileFor(const QString &id, const QString &what)
{
    const QString folder = settings().launchFolder;
    if (id.isEmpty() || folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    return QDir(folder).filePath(QStringLiteral("launch-%1-%2.json").arg(id, what));
}

void LaunchSession::watch(const QString &id, const QString &statusFile, bool abort)
{
    Watch w;
    w.id = id;
    w.file = statusFile;
    w.abort = abort;
    watch(w);
}

void LaunchSession::watch(Watch w)
{
    if (w.file.isEmpty() || m_quitting)
        return;
    m_watches.append(w);
    if (!m_timer.isActive())
        m_timer.start();
}

bool LaunchSession::isWatched(const QString &id, bool abort) const
{
    for (const Watch &w : m_watches)
        if (w.id == id && w.abort == abort)
            return true;
    return false;
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
    m_begun.clear();
    m_recorder.reset();
    m_reader.reset();
    m_dbDriver.clear();
    m_dbLocation.clear();
    m_latest.clear();
    m_runLine.clear();
    m_quitting = false;
}

void LaunchSession::recover()
{
    if (m_quitting)
        return;
    recorder()->readUnfinished(QSysInfo::machineHostName(), [this](bool ok, const Records &records, const QString &error) {
        if (!ok) {
            std::fprintf(stderr, "bravik-log: the launch records of earlier runs could not be read: %s\n",
                         qPrintable(error));
            std::fflush(stderr);
            Q_EMIT recovered();
            return;
        }
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QString running;   // the newest launch whose command still runs
        for (const logbook::launchlog::Record &r : records) {
            const QString id = r.id();
            for (const bool abort : {false, true}) {
                const QString prefix = abort ? QStringLiteral("Abort") : QStringLiteral("Run");
                const QString file = r.text(prefix + QStringLiteral("StatusFile"));
                // This run's own launches are watched from their start.
                if (id.isEmpty() || file.isEmpty() || !r.text(prefix + QStringLiteral("ExitStatus")).isEmpty()
                    || isWatched(id, abort) || m_begun.contains(id))
                    continue;
                const bool startNotTold = !abort && r.text(QStringLiteral("StartResult")) == startNotToldText();
                const std::optional<CommandStatus> status = readStatusFile(file);
                if (!status) {
                    // No status file: the run command was never started, once
                    // the recorder has had time enough to write it; until then
                    // the file is watched for.
                    const QDateTime pressed = QDateTime::fromString(r.text(QStringLiteral("StartedAtUtc")), Qt::ISODate);
                    if (!startNotTold || !pressed.isValid())
                        continue;
                    const qint64 left = kNeverStartedAfterSeconds - pressed.secsTo(now);
                    if (left <= 0) {
                        update(id, {{QStringLiteral("RunExitStatus"), QStringLiteral("not started")}});
                        continue;
                    }
                    Watch w;
                    w.id = id;
                    w.file = file;
                    w.startNotTold = true;
                    w.neverStartedAtMs = steadyMs() + left * 1000;
                    watch(w);
                    continue;
                }
                if (status->state != CommandStatus::State::Running) {
                    update(id, statusValues(*status, abort, startNotTold));
                    continue;
                }
                Watch w;
                w.id = id;
                w.file = file;
                w.abort = abort;
                w.startNotTold = startNotTold;
                if (status->processId > 0 && !platform::processIsRunning(status->processId))
                    w.goneSinceMs = steadyMs();
                watch(w);
                if (!abort)
                    running = id;
            }
        }
        if (!running.isEmpty() && m_latest.isEmpty()) {
            // Still running from before: the abort is at hand for it.
            m_latest = running;
            setRunLine(QStringLiteral("running"));
            windows().show(QStringLiteral("frmAbortMission"));
        }
        Q_EMIT recovered();
    });
}

void LaunchSession::poll()
{
    if (m_quitting)
        return;
    bool pending = false;
    for (Watch &w : m_watches) {
        if (w.done)
            continue;
        QFile f(w.file);
        QByteArray bytes;
        if (f.open(QIODevice::ReadOnly))
            bytes = f.read(16 * kRecordedOutputBytes);
        const std::optional<CommandStatus> status = CommandStatus::fromJson(bytes);
        const QString prefix = w.abort ? QStringLiteral("Abort") : QStringLiteral("Run");
        if (!status && w.neverStartedAtMs >= 0 && steadyMs() > w.neverStartedAtMs) {
            // Its program ended before it started the run command.
            update(w.id, {{QStringLiteral("RunExitStatus"), QStringLiteral("not started")}});
            w.done = true;
            continue;
        }
        if (!status || bytes == w.last) {
            if (status && status->state == CommandStatus::State::Running && w.goneSinceMs >= 0
                && steadyMs() - w.goneSinceMs > kGoneGraceMs) {
                // Its command ended and nothing is left to tell how.
                QVariantMap values{{prefix + QStringLiteral("ExitStatus"), QStringLiteral("unknown")}};
                if (w.startNotTold)
                    values.insert(QStringLiteral("StartResult"), QStringLiteral("started"));
                update(w.id, values);
                if (!w.abort && w.id == m_latest)
                    setRunLine(QStringLiteral("ended, exit status unknown"));
                w.done = true;
                continue;
            }
            pending = true;
            continue;
        }
        w.last = bytes;
        const bool ended = status->state != CommandStatus::State::Running;
        if (!w.abort && w.id == m_latest)
            setRunLine(status->line());
        if (hasRecord(w.id)) {
            const QString what = w.abort ? QStringLiteral("stop") : QStringLiteral("run");
            update(w.id, statusValues(*status, w.abort, w.startNotTold), [this, what](bool ok, const QString &error) {
                if (!ok)
                    tell(QStringLiteral("What the %1 command did could not be written to the launch record:\n%2")
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
