// How long the process probe takes, in microseconds, next to the least work any /proc scan must
// do and to running pgrep. Each case runs on the machine's own process table and again with a
// thousand (--extra) idle processes started by this program, so that the cost per process shows.
//
//   zv_probe_bench [--extra N] [--reps N] [--sample-ms N]
//
// Ten more processes run under the names of a second tick, so that a question answered true by
// re-checking the process behind the previous true answer can be timed beside a fresh scan.
//
// Cases are timed round-robin, one sample of each per repetition, so that a load change on the
// machine hits all of them alike; the ratios are taken within each repetition. Wall time is what
// the user waits; CPU time (ours plus pgrep's) is shown next to it because on a shared machine
// it barely moves when other work takes the processor.

#include "processprobe.h"
#include "processquery_linux.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using platform::LinuxProcessQuery;
using SteadyClock = std::chrono::steady_clock;

namespace {

// Names a user might type into the ten slots; none of them runs, so every query walks the whole
// listing, which is the case that costs most.
const QStringList kTickNames = {
    QStringLiteral("zvb-editor.exe"), QStringLiteral("zvb-player.exe"),
    QStringLiteral("zvb-backup"),     QStringLiteral("zvb-sync-agent"),
    QStringLiteral("zvb-mail.exe"),   QStringLiteral("zvb-build-server.exe"), // over 15 bytes
    QStringLiteral("zvb-chat"),       QStringLiteral("zvb-vpn-client.exe"),
    QStringLiteral("zvb-indexer"),    QStringLiteral("zvb-notes.exe"),
};

// The same tick with names outside ASCII, which take the Unicode comparison; five of them are
// longer than the 15 bytes the kernel keeps.
const QStringList kTickNamesUnicode = {
    QStringLiteral("zvb-éditeur.exe"), QStringLiteral("zvb-spïeler.exe"),
    QStringLiteral("zvb-sïcherung"),   QStringLiteral("zvb-sÿnc-agent"),
    QStringLiteral("zvb-poštá.exe"),   QStringLiteral("zvb-übersetzer-server.exe"),
    QStringLiteral("zvb-çhat"),        QStringLiteral("zvb-vpn-kliënt.exe"),
    QStringLiteral("zvb-índice"),      QStringLiteral("zvb-nötizen.exe"),
};

// Names that run: the benchmark starts a process under each. As in the first tick, two are
// longer than the kernel keeps, so their re-check reads argv[0] and the executable too.
const QStringList kRunningNames = {
    QStringLiteral("zvr-editor.exe"), QStringLiteral("zvr-player.exe"),
    QStringLiteral("zvr-backup"),     QStringLiteral("zvr-sync-agent"),
    QStringLiteral("zvr-mail.exe"),   QStringLiteral("zvr-build-server.exe"), // over 15 bytes
    QStringLiteral("zvr-chat"),       QStringLiteral("zvr-vpn-client.exe"),
    QStringLiteral("zvr-indexer"),    QStringLiteral("zvr-notes.exe"),
};
constexpr int kRunningLong = 5; // index of a running name over 15 bytes

// What the extra processes call themselves. Every tenth takes a name the kernel cuts to 15 bytes,
// as it does for many processes of a desktop session, since such names make the probe look
// further.
const char kIdleName[] = "zvb-idle";
const char kIdleLongName[] = "zvb-idle-long-name"; // seen as "zvb-idle-long-n"
constexpr int kTruncatedEvery = 10;

volatile std::sig_atomic_t g_idleGroup = 0; // process group of the extra processes, 0 when none
volatile std::size_t g_sink = 0;            // keeps the optimiser from dropping timed work

// ---------------------------------------------------------------------------------------------
// The extra processes

// On SIGINT and the like, take the idle processes down before dying. Processes that outlive us
// anyway (SIGKILL) get SIGKILL from the kernel through PR_SET_PDEATHSIG.
void killIdleGroupAndDie(int signal)
{
    const pid_t group = static_cast<pid_t>(g_idleGroup);
    if (group > 0) {
        ::kill(-group, SIGKILL);
        // Reap them too, or they linger as zombies until init gets round to them.
        while (::waitpid(-group, nullptr, 0) > 0 || errno == EINTR) {
        }
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

const int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void installSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = &killIdleGroupAndDie;
    sigemptyset(&action.sa_mask);
    for (const int signal : kFatalSignals)
        ::sigaction(signal, &action, nullptr);
}

// Forked children that only sleep in pause(), all in one process group of their own so that a
// single kill() ends them.
class IdleProcesses
{
public:
    explicit IdleProcesses(int count)
    {
        const pid_t parent = ::getpid();
        m_pids.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid < 0) {
                std::fprintf(stderr, "fork failed after %d idle processes: %s\n", i,
                             std::strerror(errno));
                break;
            }
            if (pid == 0)
                idle(parent, m_group, i % kTruncatedEvery == kTruncatedEvery - 1);
            // Both sides set the group, so it is right whichever runs first.
            if (m_group == 0)
                m_group = pid;
            ::setpgid(pid, m_group);
            m_pids.push_back(pid);
            g_idleGroup = m_group;
        }
    }

    ~IdleProcesses() { stop(); }

    IdleProcesses(const IdleProcesses &) = delete;
    IdleProcesses &operator=(const IdleProcesses &) = delete;

    std::size_t count() const { return m_pids.size(); }

    void stop()
    {
        if (m_pids.empty())
            return;
        ::kill(-m_group, SIGKILL);
        for (const pid_t pid : m_pids)
            ::kill(pid, SIGKILL); // in case one had not joined the group yet
        for (const pid_t pid : m_pids) {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        m_pids.clear();
        g_idleGroup = 0;
    }

private:
    [[noreturn]] static void idle(pid_t parent, pid_t group, bool longName)
    {
        // Only async-signal-safe calls here: the parent links Qt.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(0); // the parent died before the line above took effect
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        for (const int signal : kFatalSignals)
            ::sigaction(signal, &action, nullptr);
        ::setpgid(0, group);
        ::prctl(PR_SET_NAME, longName ? kIdleLongName : kIdleName);
        for (;;)
            ::pause();
    }

    std::vector<pid_t> m_pids;
    pid_t m_group = 0;
};

// /bin/sleep run through a symbolic link named after each of kRunningNames: the kernel takes
// its name from the link, argv[0] is the link's path.
class RunningProcesses
{
public:
    RunningProcesses()
    {
        char dir[] = "/tmp/zvb-running-XXXXXX";
        if (!::mkdtemp(dir))
            return;
        m_dir = dir;
        const pid_t parent = ::getpid();
        for (const QString &name : kRunningNames) {
            std::string link = m_dir + "/" + name.toStdString();
            if (::symlink("/bin/sleep", link.c_str()) != 0)
                continue;
            m_links.push_back(link);
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL); // kept across exec
                if (::getppid() != parent)
                    ::_exit(0);
                char *const argv[] = {link.data(), const_cast<char *>("infinity"), nullptr};
                ::execv(link.c_str(), argv);
                ::_exit(127);
            }
            if (pid > 0)
                m_pids.push_back(pid);
        }
    }

    ~RunningProcesses()
    {
        for (const pid_t pid : m_pids)
            ::kill(pid, SIGKILL);
        for (const pid_t pid : m_pids) {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        for (const std::string &link : m_links)
            ::unlink(link.c_str());
        if (!m_dir.empty())
            ::rmdir(m_dir.c_str());
    }

    RunningProcesses(const RunningProcesses &) = delete;
    RunningProcesses &operator=(const RunningProcesses &) = delete;

    // Waits until every name is seen running (the children have to exec first).
    bool waitUntilRunning() const
    {
        for (int attempt = 0; attempt < 500; ++attempt) {
            LinuxProcessQuery query;
            if (std::all_of(
                    kRunningNames.begin(), kRunningNames.end(),
                    [&query](const QString &name) { return query.isRunning(name.toStdString()); }))
                return true;
            ::usleep(10 * 1000);
        }
        return false;
    }

private:
    std::string m_dir;
    std::vector<std::string> m_links;
    std::vector<pid_t> m_pids;
};

// ---------------------------------------------------------------------------------------------
// Reference work

// The least any scan must do: list /proc and read each process's stat once. Answers how many
// processes it read.
std::size_t readEveryStat()
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    const int procFd = ::dirfd(proc);
    char path[32];
    char stat[512];
    std::size_t read = 0;
    while (const dirent *item = ::readdir(proc)) {
        const char *pidText = item->d_name;
        if (pidText[0] < '0' || pidText[0] > '9')
            continue;
        const std::size_t length = std::strlen(pidText);
        if (length > 10)
            continue;
        std::memcpy(path, pidText, length);
        std::memcpy(path + length, "/stat", sizeof "/stat");
        const int fd = ::openat(procFd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::read(fd, stat, sizeof stat) > 0)
            ++read;
        ::close(fd);
    }
    ::closedir(proc);
    return read;
}

std::string findOnPath(const char *program)
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// `pgrep -x name`, output thrown away; answers its exit status (0 found, 1 not found).
int runPgrep(const std::string &pgrep, const char *name)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        char *const argv[] = {const_cast<char *>("pgrep"), const_cast<char *>("-x"),
                              const_cast<char *>(name), nullptr};
        ::execv(pgrep.c_str(), argv);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---------------------------------------------------------------------------------------------
// Timing

struct Case
{
    Case(std::string l, std::function<void()> o) : label(std::move(l)), op(std::move(o)) {}

    std::string label;
    std::function<void()> op;   // one operation
    std::size_t batch = 1;      // operations per sample
    std::vector<double> wallUs; // per operation, one value per repetition
    std::vector<double> cpuUs;
};

// CPU time of this thread plus that of reaped children (pgrep), in microseconds. Unlike wall
// time it does not grow while other people's builds hold the CPU.
double cpuNowUs()
{
    timespec own = {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &own);
    rusage children = {};
    ::getrusage(RUSAGE_CHILDREN, &children);
    const auto us = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec);
    };
    return static_cast<double>(own.tv_sec) * 1e6 + static_cast<double>(own.tv_nsec) / 1e3 +
           us(children.ru_utime) + us(children.ru_stime);
}

struct Sample
{
    double wallUs = 0; // per operation
    double cpuUs = 0;
};

Sample timeBatch(const Case &c, std::size_t batch)
{
    const double cpuStart = cpuNowUs();
    const auto start = SteadyClock::now();
    for (std::size_t i = 0; i < batch; ++i)
        c.op();
    const std::chrono::duration<double, std::micro> took = SteadyClock::now() - start;
    const double cpu = cpuNowUs() - cpuStart;
    const auto n = static_cast<double>(batch);
    return {took.count() / n, cpu / n};
}

// Sizes each case's batch so that one sample takes about `sampleMs`.
void calibrate(std::vector<Case> &cases, double sampleMs)
{
    for (Case &c : cases) {
        std::size_t batch = 1;
        double us = 0;
        for (;;) {
            us = timeBatch(c, batch).wallUs;
            if (us * static_cast<double>(batch) >= 5000.0 || batch >= (std::size_t{1} << 24))
                break;
            batch *= 4;
        }
        c.batch = std::max<std::size_t>(1, static_cast<std::size_t>(sampleMs * 1000.0 / us));
    }
}

void run(std::vector<Case> &cases, int reps)
{
    for (int r = 0; r < reps; ++r) {
        for (Case &c : cases) {
            const Sample s = timeBatch(c, c.batch);
            c.wallUs.push_back(s.wallUs);
            c.cpuUs.push_back(s.cpuUs);
        }
    }
}

struct Spread
{
    double median = 0;
    double min = 0;
    double max = 0;
};

Spread spreadOf(std::vector<double> values)
{
    Spread s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

std::vector<double> ratios(const std::vector<double> &top, const std::vector<double> &bottom)
{
    std::vector<double> out;
    for (std::size_t i = 0; i < std::min(top.size(), bottom.size()); ++i)
        out.push_back(top[i] / bottom[i]);
    return out;
}

// ---------------------------------------------------------------------------------------------
// One process table

// The cases in the order measureTable() lists them.
enum CaseIndex
{
    kFresh,
    kReused,
    kTick,
    kBare,
    kPgrep,
    kUnicodeTick,
    kGreen,
    kGreenLong,
    kGreenTick
};

// A probe of its own on a clock of its own, for the cases whose names run: their ticks come a
// second apart, as the slots ask, and no other case's clock makes the probe forget the processes
// it re-checks.
struct GreenProbe
{
    GreenProbe()
    {
        auto owned = std::make_unique<LinuxProcessQuery>([this] { return now; });
        query = owned.get();
        probe = std::make_unique<ProcessProbe>(std::move(owned));
    }
    GreenProbe(const GreenProbe &) = delete;
    GreenProbe &operator=(const GreenProbe &) = delete;

    // One slot's tick.
    bool ask(const QString &name)
    {
        now += std::chrono::seconds(1);
        return probe->IsProcessRunning(name.toStdString());
    }

    // Ten slots ticking together; answers how many names run.
    std::size_t askAll(const QStringList &names)
    {
        now += std::chrono::seconds(1);
        std::size_t found = 0;
        for (const QString &name : names)
            found += probe->IsProcessRunning(name.toStdString());
        return found;
    }

    SteadyClock::time_point now{};
    LinuxProcessQuery *query = nullptr;
    std::unique_ptr<ProcessProbe> probe;
};

struct TableResult
{
    std::string title;
    std::size_t processes = 0;
    std::vector<Case> cases;
    bool checksPassed = true;
};

bool check(TableResult &result, bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "CHECK FAILED (%s): %s\n", result.title.c_str(), what);
        result.checksPassed = false;
    }
    return ok;
}

TableResult measureTable(const std::string &title, bool idleRunning, int reps, double sampleMs,
                         const std::string &pgrep)
{
    TableResult result;
    result.title = title;

    // The probe as the program builds it, but on a clock this benchmark moves by hand.
    SteadyClock::time_point now{};
    auto ownedQuery = std::make_unique<LinuxProcessQuery>([&now] { return now; });
    LinuxProcessQuery *query = ownedQuery.get();
    ProcessProbe realProbe(std::move(ownedQuery));
    // The slots hold their names as UTF-8 already; the conversion here stays out of the timing.
    struct
    {
        ProcessProbe &probe;
        std::map<QString, std::string> utf8;
        bool IsProcessRunning(const QString &name)
        {
            auto found = utf8.find(name);
            if (found == utf8.end())
                found = utf8.emplace(name, name.toStdString()).first;
            return probe.IsProcessRunning(found->second);
        }
    } probe{realProbe, {}};

    // The probe must see the idle processes exactly when they run, and none of the slot names.
    now += std::chrono::seconds(1);
    check(result, probe.IsProcessRunning(QString::fromLatin1(kIdleName).toUpper()) == idleRunning,
          "probe disagrees about the idle processes");
    check(result,
          probe.IsProcessRunning(QString::fromLatin1(kIdleLongName).left(15)) == idleRunning,
          "probe disagrees about the idle processes with cut names");
    now += std::chrono::seconds(1);
    for (const QString &name : kTickNames + kTickNamesUnicode)
        check(result, !probe.IsProcessRunning(name), "a slot name is running");
    // pgrep also lists zombies, which a killed earlier run may have left for init to reap.
    if (idleRunning)
        check(result, runPgrep(pgrep, kIdleName) == 0, "pgrep does not see the idle processes");

    const QString single = kTickNames.front();
    const QByteArray singleUtf8 = single.toUtf8();
    std::size_t processes = 0;

    // The first question of each green probe scans and remembers what it found.
    GreenProbe green;
    GreenProbe greenLong;
    GreenProbe greenTick;
    check(result, green.ask(kRunningNames.front()), "a running name is not found");
    check(result, greenLong.ask(kRunningNames[kRunningLong]), "a long running name is not found");
    check(result, greenTick.askAll(kRunningNames) == 10, "a running name is not found");

    result.cases = {
        {"(a) IsProcessRunning, fresh scan",
         [&] {
             now += std::chrono::seconds(1);
             g_sink = g_sink + probe.IsProcessRunning(single);
         }},
        {"(b) IsProcessRunning, reused scan",
         [&] { g_sink = g_sink + probe.IsProcessRunning(single); }},
        {"(c) ten-slot tick (1 scan + 9 reuses)",
         [&] {
             now += std::chrono::seconds(1);
             for (const QString &name : kTickNames)
                 g_sink = g_sink + probe.IsProcessRunning(name);
         }},
        {"(d) bare loop: read every /proc/PID/stat", [&] { processes = readEveryStat(); }},
        {"(e) pgrep -x NAME (fork/exec/wait)",
         [&] {
             g_sink = g_sink + static_cast<std::size_t>(runPgrep(pgrep, singleUtf8.constData()));
         }},
        {"(c') ten-slot tick, non-ASCII names",
         [&] {
             now += std::chrono::seconds(1);
             for (const QString &name : kTickNamesUnicode)
                 g_sink = g_sink + probe.IsProcessRunning(name);
         }},
        {"(f) IsProcessRunning, true, re-checked",
         [&] { g_sink = g_sink + green.ask(kRunningNames.front()); }},
        {"(f') the same, name over 15 bytes",
         [&] { g_sink = g_sink + greenLong.ask(kRunningNames[kRunningLong]); }},
        {"(g) ten-slot tick, all ten names run",
         [&] { g_sink = g_sink + greenTick.askAll(kRunningNames); }},
    };

    calibrate(result.cases, sampleMs);

    // The scan counter proves what each case measures: one scan per fresh query and per tick,
    // none for a reused answer.
    const auto countScans = [&](std::size_t index, std::size_t ops,
                                const LinuxProcessQuery *counted) {
        const std::size_t before = counted->scanCount();
        for (std::size_t i = 0; i < ops; ++i)
            result.cases[index].op();
        return counted->scanCount() - before;
    };
    check(result, countScans(kFresh, 7, query) == 7, "(a) does not scan once per query");
    check(result, countScans(kReused, 7, query) == 0, "(b) scans");
    check(result, countScans(kTick, 7, query) == 7, "(c) does not scan once per tick");
    check(result, countScans(kUnicodeTick, 7, query) == 7, "(c') does not scan once per tick");
    check(result, countScans(kGreen, 7, green.query) == 0, "(f) scans");
    check(result, countScans(kGreenLong, 7, greenLong.query) == 0, "(f') scans");
    check(result, countScans(kGreenTick, 7, greenTick.query) == 0, "(g) scans");

    run(result.cases, reps);
    result.processes = processes;
    return result;
}

// ---------------------------------------------------------------------------------------------
// Report

void printTable(const TableResult &t)
{
    std::printf("\n%s: %zu processes in /proc\n", t.title.c_str(), t.processes);
    std::printf("  %-41s | %-37s | %-28s | %s\n", "", "wall time, us per operation",
                "CPU time, us per operation", "");
    std::printf("  %-41s | %9s %9s %9s %6s | %9s %9s %9s | %s\n", "case", "median", "min", "max",
                "spread", "median", "min", "max", "ops/sample");
    for (const Case &c : t.cases) {
        const Spread w = spreadOf(c.wallUs);
        const Spread p = spreadOf(c.cpuUs);
        std::printf("  %-41s | %9.2f %9.2f %9.2f %5.0f%% | %9.2f %9.2f %9.2f | %zu\n",
                    c.label.c_str(), w.median, w.min, w.max, 100.0 * (w.max - w.min) / w.median,
                    p.median, p.min, p.max, c.batch);
    }
}

void printRatio(const TableResult &t, const char *label, CaseIndex top, CaseIndex bottom,
                double target)
{
    const Spread w = spreadOf(ratios(t.cases[top].wallUs, t.cases[bottom].wallUs));
    const Spread p = spreadOf(ratios(t.cases[top].cpuUs, t.cases[bottom].cpuUs));
    if (target <= 0) {
        std::printf(
            "  %-36s    %3s | wall %5.0f [%5.0f .. %5.0f]        | CPU %5.0f [%5.0f .. %5.0f]\n",
            label, "", w.median, w.min, w.max, p.median, p.min, p.max);
        return;
    }
    std::printf(
        "  %-36s <= %.1f | wall %5.3f [%5.3f .. %5.3f] %-6s | CPU %5.3f [%5.3f .. %5.3f] %s\n",
        label, target, w.median, w.min, w.max, w.median <= target ? "met" : "MISSED", p.median,
        p.min, p.max, p.median <= target ? "met" : "MISSED");
}

void printRatios(const TableResult &t)
{
    std::printf("  ratio, target, median [min .. max] over the repetitions:\n");
    printRatio(t, "(c) ten-slot tick / (a) one scan", kTick, kFresh, 1.2);
    printRatio(t, "(a) one scan / (d) bare loop", kFresh, kBare, 1.3);
    printRatio(t, "(c') non-ASCII tick / (a) one scan", kUnicodeTick, kFresh, 1.2);
    printRatio(t, "(a) one scan / (f) re-check", kFresh, kGreen, 0);
    printRatio(t, "(c) tick / (g) all-running tick", kTick, kGreenTick, 0);
}

int parseInt(const char *text, int fallback)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end && *end == '\0' && value >= 0 && value <= 100000) ? static_cast<int>(value)
                                                                  : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    int extra = 1000;
    int reps = 15;
    int sampleMs = 100;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--extra" && i + 1 < argc)
            extra = parseInt(argv[++i], extra);
        else if (arg == "--reps" && i + 1 < argc)
            reps = std::max(1, parseInt(argv[++i], reps));
        else if (arg == "--sample-ms" && i + 1 < argc)
            sampleMs = std::max(1, parseInt(argv[++i], sampleMs));
        else {
            std::fprintf(stderr, "usage: %s [--extra N] [--reps N] [--sample-ms N]\n", argv[0]);
            return 2;
        }
    }

    const std::string pgrep = findOnPath("pgrep");
    if (pgrep.empty()) {
        std::fprintf(stderr, "pgrep not found on PATH\n");
        return 2;
    }
    installSignalHandlers();

    // Idle processes of an interrupted earlier run may still wait for init to reap them; they
    // would swell the first table.
    for (int i = 0; i < 50 && runPgrep(pgrep, kIdleName) == 0; ++i)
        ::usleep(100 * 1000);
    if (runPgrep(pgrep, kIdleName) == 0)
        std::fprintf(stderr, "warning: processes named %s exist already\n", kIdleName);

    double load[3] = {};
    if (::getloadavg(load, 3) == 3)
        std::printf("load average at start: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    std::printf("%d repetitions, about %d ms per sample; times are per operation\n", reps,
                sampleMs);

    // The running names run through both tables.
    RunningProcesses running;
    if (!running.waitUntilRunning()) {
        std::fprintf(stderr, "the processes of the running names did not start\n");
        return 2;
    }

    std::vector<TableResult> tables;
    tables.push_back(measureTable("machine's own process table", false, reps, sampleMs, pgrep));
    if (extra > 0) {
        IdleProcesses idle(extra);
        // Let every child reach pause() so the table is steady while we time it.
        ::usleep(200 * 1000);
        tables.push_back(
            measureTable("with " + std::to_string(idle.count()) + " extra idle processes", true,
                         reps, sampleMs, pgrep));
        idle.stop();
    }

    for (const TableResult &t : tables) {
        printTable(t);
        printRatios(t);
    }

    if (::getloadavg(load, 3) == 3)
        std::printf("\nload average at end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);

    // Leave nothing behind: the idle processes must be gone from the table again.
    const std::size_t after = readEveryStat();
    std::printf("processes in /proc after stopping the idle ones: %zu\n", after);

    bool ok = true;
    for (const TableResult &t : tables)
        ok = ok && t.checksPassed;
    return ok ? 0 : 1;
}
