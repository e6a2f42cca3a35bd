#pragma once

#include "processprobe.h"
#include "settingsstore.h"
#include "win32mainwindow.h"
#include "zel_vanto_main.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <iosfwd>
#include <string>

// What the window tests share: a private registry key as the store, the main window wired as the
// program wires it, and ways to wait for and read what the windows show.

// A registry key for the store, removed afterwards: a fresh one under
// HKCU\Software\ZEL-VANTO-tests, or the one `path` names.
class TestKey
{
public:
    explicit TestKey(std::wstring path = {});
    ~TestKey();
    SettingsStore::Opener opener() const;
    void seed(const std::string &key, const std::string &text) const;
    std::optional<std::string> stored(const std::string &key) const; // in "Settings"

private:
    std::wstring m_path;
};

// Dispatches messages until `done` holds, for at most 10 s; whether it holds.
bool pumpUntil(const std::function<bool()> &done);
// A control's place in its parent's client area.
RECT placeOf(HWND control);
// The colour at `point` of the window's client area, painted afresh and read from the window's
// own surface, so that windows above it do not matter; with no window, at `point` on the screen.
Rgb pixel(HWND window, POINT point);
// Whether row `y` of the window's client area shows `colour` anywhere from `left` to `right`.
bool rowHas(HWND window, int y, int left, int right, Rgb colour);
std::wstring windowText(HWND window);
std::string ownImageName(); // this test program's

bool operator==(const RECT &a, const RECT &b);
void PrintTo(const RECT &rect, std::ostream *out);

// Runs steps one at a time from a thread timer, inside whatever message loop runs meanwhile (the
// settings window's modal loop). A step returns false to be run again a little later. After 15 s
// the test fails and the last step, which should end that loop, runs.
class Script
{
public:
    using Step = std::function<bool()>;
    explicit Script(std::deque<Step> steps);
    ~Script();
    bool finished() const { return m_steps.empty(); }

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD);
    std::deque<Step> m_steps;
    ULONGLONG m_deadline;
    UINT_PTR m_timer;
    bool m_running = false;
};

// The main window as the program wires it (real WMI probe and z-order) over a private key. Seed
// the key, then start().
struct Program
{
    TestKey key;
    SettingsStore store{key.opener()};
    ProcessProbe probe{platform::createProcessQuery()};
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("");
    Win32MainWindow view;
    ZEL_VANTO_MAIN main{view, store, probe, *zorder};
    int unloads = 0;

    void start(); // the load, then the window shown
    HWND hwnd() const { return view.hwnd(); }
    HWND box(int n) const { return GetDlgItem(hwnd(), Win32MainWindow::boxId(n)); }
    void tick(int n) { SendMessageW(hwnd(), WM_TIMER, UINT_PTR(n), 0); } // as slot n's timer
    // The background that box n shows, left of its centred text.
    Rgb boxColour(int n) const;
};

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlack{0, 0, 0};
