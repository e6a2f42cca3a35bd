// Time from a program's start to the moment its window is painted on the X screen.
//
//   paint_wait [--rect X,Y,W,H] [--timeout SECONDS] [--interval-ms N] -- COMMAND [ARGS...]
//       starts COMMAND, polls the screen until the rectangle shows the title strip (green text on
//       black), prints "first_paint_ms N pid P", then ends COMMAND (SIGTERM, SIGKILL after 10 s)
//   paint_wait [--rect ...] [--timeout SECONDS] --wait
//       only waits for the strip; prints "first_paint_ms N" counted from the call
//
// The strip counts as painted when every pixel in it is black or a shade of pure green (the
// text's anti-aliasing over black) and both enough black and enough full green are there: no
// other state of the screen looks like that. Exit status 0 on success, 1 on timeout, 2 on error.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

struct Rect
{
    int x = 68, y = 87, w = 105, h = 17; // openbox frame at (67,67): client at +1,+20
};

volatile std::sig_atomic_t g_stop = 0;

void onStop(int)
{
    g_stop = 1;
}

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void sleepMs(double ms)
{
    timespec t{time_t(ms / 1000), long((ms - double(time_t(ms / 1000)) * 1000) * 1e6)};
    while (!g_stop && nanosleep(&t, &t) == -1 && errno == EINTR) {
    }
}

class Screen
{
public:
    bool open()
    {
        int number = 0;
        m_connection = xcb_connect(nullptr, &number);
        if (xcb_connection_has_error(m_connection)) {
            std::fprintf(stderr, "paint_wait: cannot connect to the X server\n");
            return false;
        }
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < number && it.rem; ++i)
            xcb_screen_next(&it);
        m_root = it.data->root;
        // Read pixels as 32-bit little-endian BGRX, which is what Xvfb at depth 24 gives.
        bool ok = it.data->root_depth == 24 && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
        bool formatOk = false;
        for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
            if (f.data->depth == 24 && f.data->bits_per_pixel == 32)
                formatOk = true;
        }
        if (!ok || !formatOk) {
            std::fprintf(stderr, "paint_wait: needs a depth-24, 32-bpp LSB-first screen\n");
            return false;
        }
        return true;
    }

    ~Screen()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    // 1 painted, 0 not yet, -1 the server failed us.
    int painted(const Rect &r)
    {
        xcb_generic_error_t *error = nullptr;
        xcb_get_image_reply_t *image = xcb_get_image_reply(
            m_connection,
            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(r.x),
                          int16_t(r.y), uint16_t(r.w), uint16_t(r.h), ~0u),
            &error);
        if (!image) {
            std::free(error);
            return -1;
        }
        const auto *bytes = xcb_get_image_data(image);
        const int length = xcb_get_image_data_length(image);
        int black = 0;
        int green = 0;
        bool onlyGreenShades = length == r.w * r.h * 4;
        for (int i = 0; onlyGreenShades && i + 3 < length; i += 4) {
            const int b = bytes[i], g = bytes[i + 1], red = bytes[i + 2];
            if (red != 0 || b != 0)
                onlyGreenShades = false;
            else if (g == 0)
                ++black;
            else if (g == 255)
                ++green;
        }
        std::free(image);
        const int pixels = r.w * r.h;
        return onlyGreenShades && black * 2 >= pixels && green >= 10 ? 1 : 0;
    }

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: paint_wait [--rect X,Y,W,H] [--timeout S] [--interval-ms N] "
                         "(--wait | -- COMMAND [ARGS...])\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    Rect rect;
    double timeoutS = 30;
    double intervalMs = 2;
    bool waitOnly = false;
    int commandAt = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rect" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &rect.x, &rect.y, &rect.w, &rect.h) != 4)
                return usage();
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeoutS = std::atof(argv[++i]);
        } else if (arg == "--interval-ms" && i + 1 < argc) {
            intervalMs = std::atof(argv[++i]);
        } else if (arg == "--wait") {
            waitOnly = true;
        } else if (arg == "--" && i + 1 < argc) {
            commandAt = i + 1;
            break;
        } else {
            return usage();
        }
    }
    if (waitOnly == (commandAt >= 0))
        return usage();

    // Interrupted, it still ends the program it started rather than leave it behind.
    struct sigaction action
    {
    };
    action.sa_handler = onStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    Screen screen;
    if (!screen.open())
        return 2;

    pid_t child = -1;
    if (!waitOnly) {
        // A window left from an earlier start would be taken for this one's.
        const double clearBy = nowMs() + 10000;
        while (screen.painted(rect) != 0) {
            if (g_stop)
                return 2;
            if (nowMs() > clearBy) {
                std::fprintf(stderr, "paint_wait: the strip already looks painted\n");
                return 2;
            }
            sleepMs(10);
        }
    }

    const double start = nowMs();
    if (!waitOnly) {
        child = fork();
        if (child == 0) {
            signal(SIGTERM, SIG_DFL);
            signal(SIGINT, SIG_DFL);
            signal(SIGHUP, SIG_DFL);
            execvp(argv[commandAt], argv + commandAt);
            std::perror("paint_wait: exec");
            _exit(127);
        }
        if (child < 0) {
            std::perror("paint_wait: fork");
            return 2;
        }
    }

    int status = 1;
    for (;;) {
        const int state = screen.painted(rect);
        const double elapsed = nowMs() - start;
        if (state == 1) {
            if (child > 0)
                std::printf("first_paint_ms %.1f pid %d\n", elapsed, int(child));
            else
                std::printf("first_paint_ms %.1f\n", elapsed);
            status = 0;
            break;
        }
        if (state < 0) {
            std::fprintf(stderr, "paint_wait: cannot read the screen\n");
            status = 2;
            break;
        }
        if (child > 0 && waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "paint_wait: the program ended before it painted\n");
            return 2;
        }
        if (g_stop) {
            std::fprintf(stderr, "paint_wait: interrupted\n");
            status = 2;
            break;
        }
        if (elapsed > timeoutS * 1000) {
            std::fprintf(stderr, "paint_wait: nothing painted within %.0f s\n", timeoutS);
            break;
        }
        sleepMs(intervalMs);
    }

    if (child > 0) {
        kill(child, SIGTERM);
        const double killBy = nowMs() + 10000;
        while (waitpid(child, nullptr, WNOHANG) != child) {
            if (nowMs() > killBy) {
                kill(child, SIGKILL);
                waitpid(child, nullptr, 0);
                break;
            }
            sleepMs(5);
        }
    }
    return status;
}
