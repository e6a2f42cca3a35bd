#pragma once

#include "processprobe.h"
#include "settingsbackend_win.h"
#include "settingsstore.h"
#include "win32mainwindow.h"
#include "zel_vanto_main.h"

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <string>

// What the Win32 tests share: a private registry key, other processes, the main window wired as
// the program wires it, and ways to wait for and read what the windows show.

// A registry key, removed afterwards: a fresh one under HKCU\Software\ZEL-VANTO-tests, or the one
// `path` names.
struct TestKey
{
    explicit TestKey(std::wstring path = {});
    ~TestKey();
    std::unique_ptr<platform::SettingsBackend> backend() const;
    void seed(const std::vector<platform::StoredValue> &values) const; // in "Settings"
    std::optional<std::string> stored(const std::string &key) const;

    std::wstring path;
};

// Another process, ended (if it still runs) when this goes.
struct Child
{
    explicit Child(std::wstring commandLine, DWORD flags = 0);
    ~Child();
    void end() const; // at once, and waits until it has ended

    PROCESS_INFORMATION info{};
};

std::wstring ownPath();     // this test program's
std::string ownImageName(); // its file name

// Dispatches messages until `done` holds, for at most 10 s; whether it holds.
bool pumpUntil(const std::function<bool()> &done);

// Left, top, right, bottom: a control's place in its parent's client area, or a top-level
// window's on the screen.
using Place = std::array<LONG, 4>;
Place placeOf(HWND window);
// The colour at `point` of the window's client area, read from the window's own surface (so that
// windows above it do not matter) after painting it afresh; with no window, on the screen.
Rgb pixel(HWND window, POINT point, bool repaint = true);
// Whether row `y` of the window's client area shows `colour` anywhere from `left` to `right`.
bool rowHas(HWND window, int y, int left, int right, Rgb colour);

// Calls `open`, which runs a modal message loop (the settings window's), while a thread timer
// runs `steps` one at a time inside that loop. A step returns false to be run again a little
// later; after 15 s the test fails and the last step, which should end the loop, runs. Whether
// every step ran.
using Step = std::function<bool()>;
bool runDuring(const std::function<void()> &open, std::deque<Step> steps);

// The main window as the program wires it (real WMI probe and z-order) over a private key seeded
// with `seeds`: loaded, then shown.
struct Program
{
    TestKey key;
    SettingsStore store{[this](std::string_view) { return key.backend(); }};
    ProcessProbe probe{platform::createProcessQuery()};
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("");
    Win32MainWindow view;
    ZEL_VANTO_MAIN main{view, store, probe, *zorder};

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
    void tick(int n) { SendMessageW(hwnd(), WM_TIMER, UINT_PTR(n), 0); } // as slot n's timer
    // The background that box n shows, left of its centred text.
    Rgb boxColour(int n) const
    {
        return pixel(hwnd(), {placeOf(box(n))[0] + 4, placeOf(box(n))[1] + 12});
    }
};

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlack{0, 0, 0};
