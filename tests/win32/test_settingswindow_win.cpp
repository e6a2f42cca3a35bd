#include "layout.h"
#include "win32settingswindow.h"
#include "windowtest.h"
#include "wintext.h"

#include <gtest/gtest.h>

// The Win32 settings window, opened by a click on the main window's title strip. While it runs
// its modal loop, the test acts from a Script.

namespace {

constexpr int kOk = Win32SettingsWindow::kOkId;
constexpr int kOnTop = Win32SettingsWindow::kAlwaysOnTopId;

int enable(int n)
{
    return Win32SettingsWindow::enableBoxId(n);
}

HWND settingsWindow()
{
    return FindWindowW(Win32SettingsWindow::kClassName, nullptr);
}

HWND control(int id)
{
    return GetDlgItem(settingsWindow(), id);
}

// Opens the settings window as a click on the title strip does and runs `steps` while it is
// open; returns once it has closed.
void openSettings(Program &program, std::vector<Script::Step> steps)
{
    Script script(std::move(steps));
    SendMessageW(GetDlgItem(program.hwnd(), Win32MainWindow::kTitleId), WM_LBUTTONDOWN, MK_LBUTTON,
                 0);
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(settingsWindow(), nullptr); // gone once closed
}

void press(int key)
{
    PostMessageW(GetFocus(), WM_KEYDOWN, WPARAM(key), 0);
    PostMessageW(GetFocus(), WM_KEYUP, WPARAM(key), 0);
}

} // namespace

TEST(SettingsWindow, LaysOutTheDesignAt96DpiWithItsTabOrder)
{
    struct Expected
    {
        int id;
        RECT place; // pixels in the client area
        const wchar_t *caption;
    };
    // Twips / 15, as the design places them.
    const Expected controls[] = {
        {Win32SettingsWindow::labelId(1), {8, 8, 257, 40}, L"TARNWICK - ZEL-VANTO"},
        {Win32SettingsWindow::labelId(2), {264, 8, 473, 40}, L"Sentrovia"},
        {Win32SettingsWindow::kCreatorId, {8, 48, 473, 78}, L"Created By Corvane"},
        {Win32SettingsWindow::labelId(3), {8, 80, 257, 111}, L"Version 1.0"},
        {Win32SettingsWindow::labelId(4), {264, 80, 473, 111}, L"!!! FREEWARE !!!"},
        {enable(1), {64, 120, 217, 137}, L"Enable Process Watcher - 1"},
        {enable(5), {64, 216, 217, 233}, L"Enable Process Watcher - 5"},
        {enable(6), {296, 120, 449, 137}, L"Enable Process Watcher - 6"},
        {enable(10), {296, 216, 457, 233}, L"Enable Process Watcher - 10"},
        {kOnTop, {96, 256, 201, 289}, L"Always On Top"},
        {kOk, {304, 256, 441, 289}, L"OK"},
    };
    Program program;
    program.start();
    openSettings(
        program,
        {[&] {
             const HWND window = settingsWindow();
             RECT client{};
             GetClientRect(window, &client);
             EXPECT_EQ(client.right, 482);
             EXPECT_EQ(client.bottom, 301);
             EXPECT_EQ(windowText(window), L"ZEL-VANTO - SETTINGS");
             EXPECT_EQ(GetWindow(window, GW_OWNER), program.hwnd());
             EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
             EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME);
             for (const Expected &c : controls) {
                 SCOPED_TRACE(testing::PrintToString(std::wstring(c.caption)));
                 EXPECT_EQ(placeOf(control(c.id)), c.place);
                 EXPECT_EQ(windowText(control(c.id)), c.caption);
             }
             // The labels are green on black; Enter and Escape reach no control.
             EXPECT_EQ(pixel(window, {10, 10}), kBlack);
             EXPECT_TRUE(rowHas(window, 24, 8, 257, kGreen));
             EXPECT_EQ(GetDlgItem(window, IDOK), nullptr);
             EXPECT_EQ(GetDlgItem(window, IDCANCEL), nullptr);
             EXPECT_EQ(GetWindowLongPtrW(control(kOk), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

             // Focus on box 1; Tab runs through boxes 1 to 10, OK, "Always On Top".
             EXPECT_EQ(GetFocus(), control(enable(1)));
             HWND next = control(enable(1));
             for (int id : {enable(2), enable(3), enable(4), enable(5), enable(6), enable(7),
                            enable(8), enable(9), enable(10), kOk, kOnTop, enable(1)}) {
                 next = GetNextDlgTabItem(window, next, FALSE);
                 EXPECT_EQ(GetDlgCtrlID(next), id);
             }
             return true;
         },
         [] {
             SendMessageW(settingsWindow(), WM_CLOSE, 0, 0);
             return true;
         }});
}

// The ways the window closes: each runs the unload, which stores the place where it was moved.
class SettingsWindowCloses : public testing::TestWithParam<const char *>
{
};

TEST_P(SettingsWindowCloses, ModallyWhileTheMainWindowTicks)
{
    const std::string how = GetParam();
    Program program;
    program.key.seed("SettingsScreenLeft", "1500"); // 100 pixels
    program.start();
    openSettings(
        program,
        {// Modal: the main window takes no input but its timers go on.
         [&] {
             EXPECT_FALSE(IsWindowEnabled(program.hwnd()));
             const RECT outer = [] {
                 RECT r{};
                 GetWindowRect(settingsWindow(), &r);
                 return r;
             }();
             EXPECT_EQ(outer.left, 100);
             EXPECT_EQ(outer.top, 67);
             return true;
         },
         [&] { return program.main.watcherSlots().slot(1).state() != SlotState::NotPolled; },
         // Escape and Enter go through the dialog manager, as Tab does, and do nothing.
         [] {
             press(VK_ESCAPE);
             press(VK_RETURN);
             press(VK_TAB);
             return true;
         },
         [] { return GetFocus() == control(enable(2)); },
         [&] {
             EXPECT_TRUE(IsWindowVisible(settingsWindow()));
             EXPECT_EQ(program.key.stored("SettingsScreenTop"), std::nullopt);
             // A click acts at once on the main window and the store.
             SendMessageW(control(enable(7)), BM_CLICK, 0, 0);
             EXPECT_TRUE(IsWindowVisible(program.box(7)));
             EXPECT_TRUE(program.view.slotTimer(7).isRunning());
             EXPECT_EQ(program.key.stored("ENABLE_PW_7"), "1");
             SendMessageW(control(Win32SettingsWindow::kCreatorId), WM_LBUTTONDBLCLK, MK_LBUTTON,
                          0);
             EXPECT_EQ(windowText(control(Win32SettingsWindow::kCreatorId)),
                       platform::toUtf16(layout::settingsWindow::kContactAddress));
             SetWindowPos(settingsWindow(), nullptr, 150, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
             return true;
         },
         [&] {
             if (how == "OK")
                 SendMessageW(control(kOk), BM_CLICK, 0, 0);
             else
                 SendMessageW(settingsWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
             return true;
         }});
    EXPECT_TRUE(IsWindowEnabled(program.hwnd()));
    EXPECT_EQ(program.key.stored("SettingsScreenLeft"), "2250");
    EXPECT_EQ(program.key.stored("SettingsScreenTop"), "1350");
    EXPECT_EQ(program.key.stored("AlwaysOnTopTimer_TICKBOX"), "0");
}

INSTANTIATE_TEST_SUITE_P(By, SettingsWindowCloses, testing::Values("OK", "CloseControl"));
