#pragma once

#include "processprobe.h"
#include "settingsbackend_win.h"
#include "settingsstore.h"
#include "win32mainwindow.h"
#include "wintext.h"
#include "zel_vanto_main.h"

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

// What the Win32 tests share: a private registry key, other processes, the main window wired as
// the program wires it, and ways to wait for and read what the windows show.

inline constexpr wchar_t kTestsKey[] = L"Software\\ZEL-VANTO-tests";

// While the tests run, HKEY_CURRENT_USER in this process is a key of their own, so that nothing
// in them can read or write the user's real settings, whatever key a mistake would open.
struct PrivateCurrentUser : testing::Environment
{
    void SetUp() override
    {
        RegOpenCurrentUser(KEY_ALL_ACCESS, &user);
        ASSERT_EQ(RegCreateKeyExW(user, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &m_private, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_private), ERROR_SUCCESS);
        // What is written through HKEY_CURRENT_USER lands in the private key (both succeed).
        ASSERT_FALSE(RegSetKeyValueW(HKEY_CURRENT_USER, nullptr, L"redirected", REG_SZ, L"", 2) ||
                     RegGetValueW(m_private, nullptr, L"redirected", RRF_RT_REG_SZ, nullptr,
                                  nullptr, nullptr));
    }
    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(m_private);
        RegDeleteTreeW(user, m_path.c_str()); // the key too
        RegCloseKey(user);
    }
    // The user's own hive, for a test that runs the whole program in a prefix of its own.
    HKEY user = nullptr;
    HKEY m_private = nullptr;
    std::wstring m_path = L"Software\\ZEL-VANTO-tests-" + std::to_wstring(GetCurrentProcessId());
};
inline PrivateCurrentUser *const g_privateUser =
    static_cast<PrivateCurrentUser *>(testing::AddGlobalTestEnvironment(new PrivateCurrentUser));

// A registry key under `root`, removed afterwards: a fresh one under kTestsKey unless another is
// named.
struct TestKey
{
    ~TestKey()
    {
        RegDeleteTreeW(root, path.c_str()); // the key too
        RegDeleteKeyW(root, kTestsKey);     // once no other run's key is left in it
    }
    auto backend() const { return platform::openRegistrySettings(root, path); }
    // In the store's section.
    void seed(const std::vector<platform::StoredValue> &values) const
    {
        ASSERT_TRUE(backend()->write(SettingsStore::kSection, values));
    }
    auto stored(std::string_view key) const
    {
        return backend()->read(SettingsStore::kSection, key);
    }

    std::wstring path = kTestsKey + (L'\\' + std::to_wstring(std::random_device()()));
    HKEY root = HKEY_CURRENT_USER;
};

// Dispatches messages until `done` holds, for at most 10 s; whether it holds.
inline bool pumpUntil(const std::function<bool()> &done)
{
    for (const ULONGLONG deadline = GetTickCount64() + 10000;; Sleep(20)) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (done())
            return true;
        if (GetTickCount64() > deadline)
            return false;
    }
}

// Another process, ended (if it still runs) when this goes.
struct Child
{
    explicit Child(std::wstring commandLine)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &info));
    }
    ~Child()
    {
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }

    PROCESS_INFORMATION info{};
};

inline DWORD processOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The child's window once it has the foreground; none if it never gets it.
inline HWND foregroundOf(const Child &child)
{
    const auto has = [&] { return processOf(GetForegroundWindow()) == child.info.dwProcessId; };
    return pumpUntil(has) ? GetForegroundWindow() : nullptr;
}

// Keys pressed together and released, as the keyboard sends them: to the foreground window.
inline void press(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs(2 * keys.size()); // downs in order, ups in reverse
    for (std::size_t n = 0, last = inputs.size() - 1; n < keys.size(); ++n) {
        inputs[n].type = inputs[last - n].type = INPUT_KEYBOARD;
        inputs[n].ki.wVk = inputs[last - n].ki.wVk = keys.begin()[n];
        inputs[last - n].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Left, top, right, bottom: a control's place in its parent's client area, or on the screen a
// top-level window's that has no owner.
using Place = std::array<LONG, 4>;
inline Place placeOf(HWND window)
{
    RECT place{};
    GetWindowRect(window, &place);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&place), 2);
    return {place.left, place.top, place.right, place.bottom};
}

inline Rgb rgb(COLORREF colour)
{
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

// The colour at `point` of the window's client area, read from the window's own surface (so that
// windows above it do not matter) after painting it afresh; with no window, on the screen.
inline Rgb pixel(HWND window, POINT point)
{
    if (window)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, point.x, point.y);
    ReleaseDC(window, dc);
    return rgb(colour);
}

// What a window shows of itself, pixel by pixel, as it was last painted.
inline std::vector<Rgb> image(HWND window)
{
    RECT area{};
    GetClientRect(window, &area);
    std::vector<Rgb> pixels;
    HDC dc = GetDC(window);
    for (int y = 0; y < area.bottom; ++y)
        for (int x = 0; x < area.right; ++x)
            pixels.push_back(rgb(GetPixel(dc, x, y)));
    ReleaseDC(window, dc);
    return pixels;
}

// A point of box n (in the main window's client area) left of its centred text, at the window's
// DPI.
inline POINT boxPoint(HWND mainWindow, int n)
{
    const int dpi = static_cast<int>(GetDpiForWindow(mainWindow));
    return {twips::toPixels(60, dpi), twips::toPixels(240 + 360 * (n - 1) + 375 / 2, dpi)};
}

// Calls `open`, which runs a modal message loop (the settings window's), while a thread timer
// runs `steps` one at a time inside that loop. A step returns false to be run again a little
// later; after 15 s the test fails and the last step, which should end the loop, runs. Whether
// every step ran. A thread timer's callback has only globals to reach the steps by.
inline std::deque<std::function<bool()>> g_steps;
inline ULONGLONG g_deadline = 0;

// No step runs a message loop of its own, so none starts while another runs.
inline void CALLBACK runStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (GetTickCount64() > g_deadline && g_steps.size() > 1) {
        ADD_FAILURE() << "the step " << g_steps.size() << " from the end never held";
        g_steps.erase(g_steps.begin(), g_steps.end() - 1);
    }
    if (!g_steps.empty() && g_steps.front()())
        g_steps.pop_front();
}

inline bool runDuring(const std::function<void()> &open, std::deque<std::function<bool()>> steps)
{
    g_steps = std::move(steps);
    g_deadline = GetTickCount64() + 15000;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &runStep);
    open();
    KillTimer(nullptr, timer);
    return g_steps.empty();
}

// The main window as the program wires it (real WMI probe and z-order) over a private key seeded
// with `seeds`: loaded, then shown.
struct Program
{
    explicit Program(const std::vector<platform::StoredValue> &seeds = {})
    {
        key.seed(seeds);
        view.bind(main);
        main.Form_Load();
        view.show();
    }
    HWND hwnd() const { return view.hwnd(); }
    HWND box(int n) const { return GetDlgItem(hwnd(), Win32MainWindow::boxId(n)); }
    HWND title() const { return GetDlgItem(hwnd(), Win32MainWindow::kTitleId); }
    int dpi() const { return static_cast<int>(GetDpiForWindow(hwnd())); }
    LONG px(int twips) const { return twips::toPixels(twips, dpi()); }
    void tick(int n) { SendMessageW(hwnd(), WM_TIMER, UINT_PTR(n), 0); } // as slot n's timer
    // The background that box n shows, left of its centred text.
    Rgb boxColour(int n) const { return pixel(hwnd(), boxPoint(hwnd(), n)); }

    TestKey key;
    SettingsStore store{key.backend()};
    ProcessProbe probe{platform::createProcessQuery()};
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder();
    Win32MainWindow view;
    ZEL_VANTO_MAIN main{view, store, probe, *zorder};
};

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlack{0, 0, 0};
