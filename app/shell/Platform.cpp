// The one place for calls that differ between Linux and Windows.
#include "Platform.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
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

} // namespace bravik::platform
