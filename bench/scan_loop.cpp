// The least work a process probe can do on Linux: once a second, list /proc and open and read
// every /proc/PID/stat. The program bench measures the program against this as its yardstick.
//
//   scan_loop [INTERVAL_MS]     runs until SIGTERM or SIGINT, then prints what it did
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onStop(int)
{
    g_stop = 1;
}

// One pass over the process table; returns how many live processes it saw.
long scanOnce()
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return -1;
    const int procFd = ::dirfd(proc);
    char path[32];
    char stat[512];
    long live = 0;
    while (const dirent *item = ::readdir(proc)) {
        const char *pid = item->d_name;
        const std::size_t digits = std::strspn(pid, "0123456789");
        if (digits == 0 || digits > 10 || pid[digits] != '\0')
            continue;
        std::memcpy(path, pid, digits);
        std::memcpy(path + digits, "/stat", sizeof "/stat");
        const int fd = ::openat(procFd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t got = ::read(fd, stat, sizeof stat);
        ::close(fd);
        if (got <= 0)
            continue;
        // Look at the state, so that the read is used as the probe uses it.
        const char *close = static_cast<const char *>(::memrchr(stat, ')', std::size_t(got)));
        if (close && close + 2 < stat + got && close[2] != 'Z' && close[2] != 'X')
            ++live;
    }
    ::closedir(proc);
    return live;
}

} // namespace

int main(int argc, char **argv)
{
    const long intervalMs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    struct sigaction action
    {
    };
    action.sa_handler = onStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    long scans = 0;
    long lastLive = 0;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (!g_stop) {
        lastLive = scanOnce();
        ++scans;
        // Absolute deadlines: the rate stays one scan per interval however long a scan takes.
        next.tv_nsec += (intervalMs % 1000) * 1000000L;
        next.tv_sec += intervalMs / 1000 + next.tv_nsec / 1000000000L;
        next.tv_nsec %= 1000000000L;
        while (!g_stop &&
               clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
    std::printf("scan_loop: %ld scans, %ld live processes in the last\n", scans, lastLive);
    return 0;
}
