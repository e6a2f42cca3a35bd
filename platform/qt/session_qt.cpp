#include "session.h"

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

namespace platform {

namespace {

constexpr std::string_view kRunAnyway =
    "Start it from a desktop session, or on a virtual display with: xvfb-run -a zel-vanto";

// The connection that found the display reachable, held until the toolkit has its own.
xcb_connection_t *g_check = nullptr;

bool x11Reachable()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return false;
    }
    releaseWindowSystemCheck();
    g_check = connection;
    return true;
}

// Whether the toolkit can draw natively in a Wayland session here (the plugin is a package of
// its own).
bool waylandPluginInstalled()
{
    const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                       QStringLiteral("/platforms"));
    return !plugins.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty();
}

} // namespace

bool chooseWindowSystem(std::string &why)
{
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (!chosen.isEmpty() && !chosen.startsWith("xcb"))
        return true; // chosen on purpose: let it speak for itself
    const QByteArray display = qgetenv("DISPLAY");
    const bool wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty();
    if (!display.isEmpty() && x11Reachable()) {
        if (chosen.isEmpty())
            qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    if (chosen.isEmpty() && wayland && waylandPluginInstalled())
        return true;
    if (!display.isEmpty()) {
        why = "cannot open display " + display.toStdString() + ". ";
    } else if (wayland) {
        why = "no X11 display (DISPLAY is not set) and no Wayland support (install qt6-wayland). ";
    } else {
        why = "no display: DISPLAY is not set. ";
    }
    why += kRunAnyway;
    return false;
}

void releaseWindowSystemCheck()
{
    if (g_check)
        xcb_disconnect(std::exchange(g_check, nullptr));
}

namespace {

// How long the save may take before a further end request ends the program at once.
constexpr int kSaveGraceSeconds = 3;

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_endRequested = 0;
timespec g_firstRequest{};

// Only async-signal-safe calls here: the event loop does the work.
extern "C" void forwardSignal(int signalNumber)
{
    const int saved = errno;
    if (!g_endRequested) {
        g_endRequested = 1;
        ::clock_gettime(CLOCK_MONOTONIC, &g_firstRequest);
        const char byte = static_cast<char>(signalNumber);
        [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
    } else {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - g_firstRequest.tv_sec >= kSaveGraceSeconds) {
            // The save hangs: the user asks again, so end as the signal ends a program.
            ::signal(signalNumber, SIG_DFL);
            ::raise(signalNumber);
        }
    }
    errno = saved;
}

} // namespace

void onEndRequest(std::function<void()> onEndRequest)
{
    QObject *context = QCoreApplication::instance();
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
                         notifier->setEnabled(false); // only the first request is written
                         callback();
                     });
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

std::unique_ptr<Subscription> onSessionSave(std::function<void()> save)
{
    // The connection ends with its context, which the subscription owns.
    struct QtSubscription final : Subscription
    {
        QObject context;
    };
    auto subscription = std::make_unique<QtSubscription>();
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, &subscription->context,
                     [save = std::move(save)](QSessionManager &) { save(); });
    return subscription;
}

} // namespace platform
