#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace bravik::test {

// A PostgreSQL server of the test's own, in a temporary folder, reached
// only through a socket there, so stopping and starting it disturbs no
// other test.  Built from the installed server programs (initdb, pg_ctl);
// as root it runs as the "postgres" user, as the server insists.
class TempServer
{
public:
    TempServer()
    {
        m_bin = findBin();
        if (m_bin.isEmpty()) {
            m_error = QStringLiteral("no PostgreSQL server programs (initdb, pg_ctl) are installed");
            return;
        }
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        if (isRoot()) {
            if (!run(QStringLiteral("chown"), {QStringLiteral("postgres:postgres"), m_dir.path()}, false))
                return;
            m_chowned = true;
        }
        if (!run(m_bin + QStringLiteral("/initdb"),
                 {QStringLiteral("-D"), data(), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                  QStringLiteral("bravik"), QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8")}))
            return;
        start();
    }
    ~TempServer()
    {
        if (QFileInfo::exists(data() + QStringLiteral("/postmaster.pid")))
            run(m_bin + QStringLiteral("/pg_ctl"),
                {QStringLiteral("-D"), data(), QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                 QStringLiteral("stop")});
    }

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    QString location() const
    {
        return QStringLiteral("host=%1 port=5432 user=bravik dbname=postgres").arg(m_dir.path());
    }

    // The server's local socket (what a proxy in front of it forwards to).
    QString socket() const { return m_dir.filePath(QStringLiteral(".s.PGSQL.5432")); }

    // The port is fixed (only the socket's name carries it): PGPORT, which
    // pg_virtualenv sets for its own server, must not move this one.
    bool start()
    {
        return run(m_bin + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("log")),
                    QStringLiteral("-o"),
                    // The port names the socket file: fixed, whatever PGPORT says.
                    QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -c port=5432 -c fsync=off")
                        .arg(m_dir.path()),
                    QStringLiteral("-w"), QStringLiteral("start")});
    }
    // "fast": the way a server is shut down for maintenance; clients get
    // "terminating connection due to administrator command".  "immediate":
    // as if the machine lost power; clients find the connection closed.
    bool stop(const QString &mode = QStringLiteral("fast"))
    {
        return run(m_bin + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), data(), QStringLiteral("-m"), mode, QStringLiteral("-w"),
                    QStringLiteral("stop")});
    }

    // "immediate": the server stops as if the machine lost power (no
    // checkpoint; it recovers from its write-ahead log) and starts again.
    bool restartImmediate()
    {
        return run(m_bin + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("log")),
                    QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("restart")});
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }

    // The temporary folder belongs to whoever runs the test.
    bool isRoot() const { return QFileInfo(m_dir.path()).ownerId() == 0 || m_chowned; }

    static QString findBin()
    {
        QStringList candidates;
        const QString config = qEnvironmentVariable("PG_CONFIG");
        if (!config.isEmpty())
            candidates << QFileInfo(config).absolutePath();
        QDir lib(QStringLiteral("/usr/lib/postgresql"));
        QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
        for (const QString &v : versions)
            candidates << lib.filePath(v + QStringLiteral("/bin"));
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pg_ctl"));
        if (!onPath.isEmpty())
            candidates << QFileInfo(onPath).absolutePath();
        for (const QString &c : candidates) {
            if (QFileInfo(c + QStringLiteral("/initdb")).isExecutable() && QFileInfo(c + QStringLiteral("/pg_ctl")).isExecutable())
                return c;
        }
        return {};
    }

    bool run(const QString &program, const QStringList &arguments, bool asServerUser = true)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        if (asServerUser && isRoot())
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + arguments);
        else
            p.start(program, arguments);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_error = QStringLiteral("%1 failed: %2").arg(QFileInfo(program).fileName(), QString::fromLocal8Bit(p.readAll()));
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_error;
    bool m_chowned = false;
};

} // namespace bravik::test
