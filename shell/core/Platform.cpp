// The one place for calls that differ between Linux and Windows.
#include "Platform.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace bravik::platform {

QString missingDisplayReason()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (!qpa.isEmpty())
        return {};
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral("no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                              "start bravik-log from a desktop session");
#endif
    return {};
}

QString userName()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    if (name.isEmpty()) {
        // Started without a login environment (a service, a cron job):
        // the account itself.
        if (const passwd *account = ::getpwuid(::geteuid()))
            name = QString::fromLocal8Bit(account->pw_name);
    }
    return name;
#endif
}

bool processIsRunning(qint64 processId)
{
    if (processId <= 0)
        return false;
#ifdef Q_OS_WIN
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return false;
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
#else
    // Signal 0 only asks whether the process is there (EPERM: it is, but
    // belongs to someone else).
    return ::kill(pid_t(processId), 0) == 0 || errno == EPERM;
#endif
}

#ifdef Q_OS_UNIX
namespace {
int signalPipe[2] = {-1, -1};
void signalHandler(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}
} // namespace
#endif

void onTerminationRequest(QObject *context, void (*onQuit)())
{
#ifdef Q_OS_UNIX
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onQuit] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        onQuit();
    });
    struct sigaction sa = {};
    sa.sa_handler = signalHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
#else
    Q_UNUSED(context);
    Q_UNUSED(onQuit);
#endif
}

void startWritingBack(int fileHandle, qint64 offset, qint64 length)
{
#ifdef Q_OS_LINUX
    if (fileHandle >= 0 && length > 0)
        ::sync_file_range(fileHandle, offset, length, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(fileHandle);
    Q_UNUSED(offset);
    Q_UNUSED(length);
#endif
}

} // namespace bravik::platform
