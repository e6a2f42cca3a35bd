#include "session.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace platform {

bool windowSystemAvailable(QString &why)
{
    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (!qpa.isEmpty() && !qpa.startsWith("xcb"))
        return true; // another platform chosen on purpose: let it speak for itself
    if (qpa.isEmpty() && !qgetenv("WAYLAND_DISPLAY").isEmpty())
        return true;
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        why = QStringLiteral("no display: DISPLAY is not set. Start it from a desktop session, "
                             "or on a virtual display with: xvfb-run -a zel-vanto");
        return false;
    }
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reached) {
        why = QStringLiteral("cannot open display %1. Start it from a desktop session, or on a "
                             "virtual display with: xvfb-run -a zel-vanto")
                  .arg(QString::fromLocal8Bit(display));
    }
    return reached;
}

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void forwardSignal(int signalNumber)
{
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void onEndRequest(QObject *context, std::function<void()> onEndRequest)
{
    // A signal handler may do almost nothing; it writes one byte, and the event loop does the
    // rest.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        std::perror("zel-vanto: SIGTERM, SIGINT and SIGHUP will end the program without saving");
        return;
    }
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [notifier, callback = std::move(onEndRequest)] {
                         char byte = 0;
                         [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
                         // Once is enough; a second signal ends the program the usual way.
                         notifier->setEnabled(false);
                         for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
                             std::signal(signalNumber, SIG_DFL);
                         callback();
                     });
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

} // namespace platform
