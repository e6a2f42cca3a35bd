// Measures zel-vanto.exe as it runs, from beside it (under Wine here; as well on Windows):
//   1. the time from CreateProcess to the first painted window (the title strip green on black
//      on the screen), over several starts;
//   2. the CPU time (user + kernel, GetProcessTimes) of the program over a window of SECONDS with
//      ten enabled slots, and beside it, in a window of the same length, the CPU time of
//      zv_wql_loop making the same ten WQL queries a second; under Wine also what the Linux
//      kernel counts for each, and for the wineserver, which serves every process of the prefix;
//   3. private bytes (GetProcessMemoryInfo PrivateUsage) ten seconds into each window, and under
//      Wine Linux's private memory of the process.
//
//   zv_program_bench PROGRAM LOOP [--window SECONDS] [--runs N] [--starts N]
//
// It writes the program's settings (HKCU\Software\VB and VBA Program Settings\ZEL-VANTO): run it
// in a prefix or an account of its own.
#include "processquery.h"
#include "wintext.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <psapi.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Five names that run while it measures (Wine's own services, and this bench), five that do not.
const wchar_t *const kNames[10] = {
    L"services.exe",         L"zvb-editor.exe", L"winedevice.exe", L"zvb-player.exe",
    L"plugplay.exe",         L"zvb-backup.exe", L"svchost.exe",    L"zvb-sync-agent.exe",
    L"zv_program_bench.exe", L"zvb-mail.exe"};

double nowMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void writeSettings()
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER,
                    L"Software\\VB and VBA Program Settings\\ZEL-VANTO\\Settings", 0, nullptr, 0,
                    KEY_SET_VALUE, nullptr, &key, nullptr);
    const auto set = [key](const std::wstring &name, const std::wstring &text) {
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                       DWORD((text.size() + 1) * sizeof(wchar_t)));
    };
    for (int n = 1; n <= 10; ++n) {
        set(L"ENABLE_PW_" + std::to_wstring(n), L"1");
        set(L"PROCESS_TEXTBOX_" + std::to_wstring(n), kNames[n - 1]);
    }
    set(L"AlwaysOnTopTimer_TICKBOX", L"0");
    RegCloseKey(key);
}

COLORREF screenPixel(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    HDC dc = GetDC(nullptr);
    const COLORREF colour = GetPixel(dc, point.x, point.y);
    ReleaseDC(nullptr, dc);
    return colour;
}

// The program's main window once its title strip shows on the screen: black, with green text.
HWND paintedWindow(DWORD pid)
{
    HWND window = FindWindowW(L"ZEL_VANTO_MAIN", nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (!window || owner != pid || !IsWindowVisible(window) ||
        screenPixel(window, 1, 1) != RGB(0, 0, 0))
        return nullptr;
    for (int x = 20; x < 85; ++x) {
        if (screenPixel(window, x, 8) == RGB(0, 255, 0))
            return window;
    }
    return nullptr;
}

// How many boxes show green and red on the screen: a check that every slot polls.
std::pair<int, int> boxColours(HWND window)
{
    int green = 0, red = 0;
    for (int n = 1; n <= 10; ++n) {
        const COLORREF colour = screenPixel(window, 4, 16 + 24 * (n - 1) + 12);
        green += colour == RGB(0, 255, 0);
        red += colour == RGB(255, 0, 0);
    }
    return {green, red};
}

struct Process
{
    PROCESS_INFORMATION info{};

    explicit Process(std::wstring command)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            std::fwprintf(stderr, L"cannot start %ls\n", command.c_str());
            std::exit(2);
        }
    }
    ~Process()
    {
        if (WaitForSingleObject(info.hProcess, 20000) != WAIT_OBJECT_0)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }

    double cpuSeconds() const
    {
        FILETIME created, ended, kernel, user;
        GetProcessTimes(info.hProcess, &created, &ended, &kernel, &user);
        const auto seconds = [](FILETIME t) {
            return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
        };
        return seconds(kernel) + seconds(user);
    }

    double privateMiB() const
    {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(info.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                             sizeof counters);
        return double(counters.PrivateUsage) / (1024.0 * 1024.0);
    }
};

// Under Wine, Linux's view of a process through drive Z:, found by its name (/proc/PID/comm,
// which Linux cuts to 15 bytes) among the processes of this bench's own prefix: another prefix
// on the machine has a wineserver too, and may run the program. GetProcessTimes and
// GetProcessMemoryInfo of another running process tell next to nothing there: Wine 8 answers
// about 0 s of CPU and 0 bytes of PrivateUsage.
class LinuxProcess
{
public:
    explicit LinuxProcess(const std::string &name)
    {
        char prefix[MAX_PATH] = {};
        if (!GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH))
            return;
        const std::string ours = std::string("WINEPREFIX=") + prefix;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            const std::string pid = found.cFileName;
            std::string comm, variable;
            if (pid.find_first_not_of("0123456789") != std::string::npos ||
                !std::getline(std::ifstream("Z:\\proc\\" + pid + "\\comm"), comm) ||
                comm.rfind(name, 0) != 0)
                continue;
            std::ifstream environment("Z:\\proc\\" + pid + "\\environ", std::ios::binary);
            while (std::getline(environment, variable, '\0') && variable != ours) {
            }
            if (variable == ours) {
                m_dir = "Z:\\proc\\" + pid + "\\";
                break;
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    // User and system time (utime + stime, in USER_HZ of 100 a second).
    std::optional<double> cpuSeconds() const
    {
        std::string stat;
        if (m_dir.empty() || !std::getline(std::ifstream(m_dir + "stat"), stat))
            return std::nullopt;
        std::istringstream fields(stat.substr(stat.rfind(')') + 2)); // from field 3 on
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            ticks += i >= 14 ? std::atof(field.c_str()) : 0;
        return ticks / 100.0;
    }

    // Private_Clean + Private_Dirty of smaps_rollup, in MiB.
    std::optional<double> privateMiB() const
    {
        std::ifstream rollup(m_dir + "smaps_rollup");
        std::string line;
        double sum = 0;
        bool found = false;
        while (std::getline(rollup, line)) {
            if (line.rfind("Private_Clean:", 0) == 0 || line.rfind("Private_Dirty:", 0) == 0) {
                sum += std::atof(line.c_str() + line.find(':') + 1);
                found = true;
            }
        }
        return found ? std::optional(sum / 1024.0) : std::nullopt;
    }

private:
    std::string m_dir;
};

struct Window
{
    double cpu = 0;                   // GetProcessTimes, seconds in the window
    std::optional<double> linuxCpu;   // the same process as Linux counts it
    std::optional<double> wineserver; // the wineserver's, in the same window
    double privateMiB = 0;            // PrivateUsage
    std::optional<double> linuxPrivateMiB;
};

template <typename T> std::optional<T> minus(std::optional<T> a, std::optional<T> b)
{
    return a && b ? std::optional(*a - *b) : std::nullopt;
}

// CPU over `seconds`, memory ten seconds in.
Window measure(const Process &process, const std::string &linuxName, int seconds)
{
    const LinuxProcess linux(linuxName), server("wineserver");
    Window result;
    const double cpu0 = process.cpuSeconds();
    const auto linux0 = linux.cpuSeconds();
    const auto server0 = server.cpuSeconds();
    const double start = nowMs();
    Sleep(10000);
    result.privateMiB = process.privateMiB();
    result.linuxPrivateMiB = linux.privateMiB();
    Sleep(DWORD(std::max(0.0, start + seconds * 1000.0 - nowMs())));
    result.cpu = process.cpuSeconds() - cpu0;
    result.linuxCpu = minus(linux.cpuSeconds(), linux0);
    result.wineserver = minus(server.cpuSeconds(), server0);
    return result;
}

std::wstring quoted(const std::wstring &text)
{
    return L"\"" + text + L"\"";
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void row(const char *label, const std::vector<double> &values, const char *unit)
{
    if (values.empty())
        return;
    std::printf("%-44s %9.3f %s  [%.3f .. %.3f]\n", label, median(values), unit,
                *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()));
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: zv_program_bench PROGRAM LOOP [--window SECONDS] "
                              L"[--runs N] [--starts N]\n");
        return 2;
    }
    const std::wstring program = argv[1], loop = argv[2];
    int window = 60, runs = 1, starts = 7;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        const int value = _wtoi(argv[i + 1]);
        if (option == L"--window")
            window = std::max(value, 11);
        else if (option == L"--runs")
            runs = value;
        else if (option == L"--starts")
            starts = value;
    }
    constexpr int kSettleMs = 2000; // after the window shows, before the CPU window opens
    writeSettings();

    // 1. Start-up; the first start warms the caches and is not counted.
    std::vector<double> startMs;
    for (int s = 0; s <= starts; ++s) {
        const double t0 = nowMs();
        Process started(quoted(program));
        HWND shown = nullptr;
        while (!(shown = paintedWindow(started.info.dwProcessId)) && nowMs() - t0 < 30000)
            Sleep(1);
        if (!shown) {
            std::fprintf(stderr, "the program painted no window within 30 s\n");
            return 1;
        }
        if (s > 0)
            startMs.push_back(nowMs() - t0);
        PostMessageW(shown, WM_CLOSE, 0, 0);
    }

    // 2 and 3. The program, then the loop, each alone in its window.
    // Each figure: the program's, the loop's.
    std::vector<double> cpu[2], linuxCpu[2], server[2], privateBytes[2], linuxPrivate[2], ratio;
    for (int run = 1; run <= runs; ++run) {
        std::wstring loopCommand =
            quoted(loop) + L" " + std::to_wstring(kSettleMs / 1000 + window + 1);
        for (const wchar_t *name : kNames)
            loopCommand += L" " + std::wstring(name);
        Window measured[2];
        {
            Process running(quoted(program));
            HWND shown = nullptr;
            while (!(shown = paintedWindow(running.info.dwProcessId)))
                Sleep(10);
            Sleep(kSettleMs);
            measured[0] = measure(running, "zel-vanto.exe", window);
            const auto [green, red] = boxColours(shown);
            if (green != 5 || red != 5)
                std::fprintf(stderr, "warning: %d boxes green and %d red, not 5 and 5\n", green,
                             red);
            PostMessageW(shown, WM_CLOSE, 0, 0);
        }
        {
            Process running(loopCommand);
            Sleep(kSettleMs);
            measured[1] = measure(running, "zv_wql_loop.exe", window);
        }
        for (int i = 0; i < 2; ++i) {
            cpu[i].push_back(measured[i].cpu);
            privateBytes[i].push_back(measured[i].privateMiB);
            if (measured[i].linuxCpu)
                linuxCpu[i].push_back(*measured[i].linuxCpu);
            if (measured[i].wineserver)
                server[i].push_back(*measured[i].wineserver);
            if (measured[i].linuxPrivateMiB)
                linuxPrivate[i].push_back(*measured[i].linuxPrivateMiB);
        }
        // The kernel's count where there is one: under Wine it is the only complete one.
        const auto &counted = linuxCpu[1].empty() ? cpu : linuxCpu;
        ratio.push_back(counted[0].back() / counted[1].back());
        std::printf("run %d: CPU in %d s, program %.3f s, loop %.3f s: ratio %.2f\n", run, window,
                    counted[0].back(), counted[1].back(), ratio.back());
    }

    std::printf("\nResults: %d run(s) of %d s, ten enabled slots (five running names); %d "
                "starts\n",
                runs, window, starts);
    std::printf("%-44s %9s    %s\n", "measure", "median", "[min .. max]");
    row("CPU, zel-vanto.exe (GetProcessTimes)", cpu[0], "s");
    row("CPU, zv_wql_loop.exe (GetProcessTimes)", cpu[1], "s");
    row("CPU, zel-vanto.exe (Linux /proc)", linuxCpu[0], "s");
    row("CPU, zv_wql_loop.exe (Linux /proc)", linuxCpu[1], "s");
    row("CPU ratio program / loop (target <= 1.2)", ratio, "x");
    row("CPU, wineserver while the program ran", server[0], "s");
    row("CPU, wineserver while the loop ran", server[1], "s");
    row("PrivateUsage, zel-vanto.exe", privateBytes[0], "MiB");
    row("PrivateUsage, zv_wql_loop.exe", privateBytes[1], "MiB");
    row("Private (Linux), zel-vanto.exe", linuxPrivate[0], "MiB");
    row("Private (Linux), zv_wql_loop.exe", linuxPrivate[1], "MiB");
    row("Start to painted window", startMs, "ms");
    std::printf("start-up times (ms):");
    for (double ms : startMs)
        std::printf(" %.1f", ms);
    std::printf("\n");
    return 0;
}
