#pragma once

#include "controls.h"
#include "processprobe.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "win32mainwindow.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the window tests share: a private registry key as the store, the real WMI probe and
// z-order, the Win32 main window wired as the program wires it, and ways to wait for and read
// what the windows show.

// A registry key of its own under HKCU\Software\ZEL-VANTO-tests, removed afterwards. Its path
// `path` ends in the application's key, so seed() and stored() see what the program would see in
// HKCU\Software\VB and VBA Program Settings\ZEL-VANTO.
class TestKey
{
public:
    explicit TestKey(std::wstring path = {});
    ~TestKey();
    TestKey(const TestKey &) = delete;
    TestKey &operator=(const TestKey &) = delete;

    // The store's way to open the settings of an application, here.
    SettingsStore::Opener opener() const;
    void seed(const std::string &key, const std::string &text);
    // The text stored under `key` in "Settings", or nullopt.
    std::optional<std::string> stored(const std::string &key) const;

private:
    std::wstring m_path;
    bool m_owned;
};

// Dispatches messages until `done` holds or `timeoutMs` passed; whether it holds.
bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 10000);
void pump();

// A control's place in its parent's client area.
RECT placeOf(HWND control);
// The colour the window shows at `clientPoint`, painted afresh; read from the window's own
// surface, so that other windows above it do not matter.
Rgb pixel(HWND window, POINT clientPoint);
// The colour at `screenPoint` on the screen, as another program would see it.
Rgb screenPixel(POINT screenPoint);
// Whether any pixel of row `y` of the window's client area, from `left` to `right`, is `colour`.
bool rowHas(HWND window, int y, int left, int right, Rgb colour);
std::wstring windowText(HWND window);
// This test program's image name.
std::string ownImageName();

// Runs steps one at a time from a thread timer, inside whatever message loop runs meanwhile (the
// settings window's modal loop): a step returns false to be run again a little later, until it
// holds. A step that does not hold within 10 s fails the test and skips to the last step, which
// should end the loop.
class Script
{
public:
    using Step = std::function<bool()>;
    explicit Script(std::vector<Step> steps);
    ~Script();
    Script(const Script &) = delete;
    Script &operator=(const Script &) = delete;

    bool finished() const { return m_next >= m_steps.size(); }

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD);
    void run();

    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    DWORD m_stepStarted = 0;
    UINT_PTR m_timer = 0;
    bool m_running = false;
};

// The main window as the program wires it, over a private key. Seed the key, then start().
struct Program
{
    TestKey key;
    SettingsStore store{key.opener()};
    ProcessProbe probe{platform::createProcessQuery()};
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("");
    Win32MainWindow view;
    ZEL_VANTO_MAIN main{view, store, probe, *zorder};
    int unloads = 0;

    // The load, then the window shown and painted.
    void start();
    HWND hwnd() const { return view.hwnd(); }
    HWND box(int n) const { return GetDlgItem(hwnd(), Win32MainWindow::boxId(n)); }
    // Runs slot n's timer tick as WM_TIMER does.
    void tick(int n) { SendMessageW(hwnd(), WM_TIMER, UINT_PTR(n), 0); }
    // The background that box n shows, left of its centred text.
    Rgb boxColour(int n) const;
};

// Rectangles compare and print in the tests' messages.
bool operator==(const RECT &a, const RECT &b);
void PrintTo(const RECT &rect, std::ostream *out);

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlack{0, 0, 0};
