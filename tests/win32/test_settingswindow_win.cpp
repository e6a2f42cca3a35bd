#include "layout.h"
#include "win32settingswindow.h"
#include "windowtest.h"
#include "wintext.h"

#include <gtest/gtest.h>

// The Win32 settings window, opened by a click on the main window's title strip. While it runs
// its modal loop, the test acts from a Script.

namespace {

using Settings = Win32SettingsWindow;

HWND control(int id)
{
    return GetDlgItem(FindWindowW(Settings::kClassName, nullptr), id);
}

// Opens the settings window as a click on the title strip does and runs `steps` while it is
// open; returns once it has closed.
void openSettings(Program &program, std::deque<Script::Step> steps)
{
    Script script(std::move(steps));
    SendMessageW(GetDlgItem(program.hwnd(), Win32MainWindow::kTitleId), BM_CLICK, 0, 0);
    EXPECT_TRUE(script.finished());
}

// As the close control of the caption does.
bool close()
{
    SendMessageW(FindWindowW(Settings::kClassName, nullptr), WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

} // namespace

TEST(SettingsWindow, LaysOutTheDesignAt96DpiWithItsTabOrder)
{
    // Twips / 15, as the design places them.
    const std::pair<int, RECT> places[] = {
        {Settings::labelId(1), {8, 8, 257, 40}},
        {Settings::labelId(2), {264, 8, 473, 40}},
        {Settings::kCreatorId, {8, 48, 473, 78}},
        {Settings::labelId(3), {8, 80, 257, 111}},
        {Settings::labelId(4), {264, 80, 473, 111}},
        {Settings::enableBoxId(1), {64, 120, 217, 137}},
        {Settings::enableBoxId(5), {64, 216, 217, 233}},
        {Settings::enableBoxId(6), {296, 120, 449, 137}},
        {Settings::enableBoxId(10), {296, 216, 457, 233}},
        {Settings::kAlwaysOnTopId, {96, 256, 201, 289}},
        {Settings::kOkId, {304, 256, 441, 289}},
    };
    Program program;
    program.start();
    openSettings(
        program,
        {[&] {
             const HWND window = FindWindowW(Settings::kClassName, nullptr);
             RECT client{};
             GetClientRect(window, &client);
             EXPECT_EQ(client, (RECT{0, 0, 482, 301}));
             EXPECT_EQ(GetWindow(window, GW_OWNER), program.hwnd());
             EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME);
             for (const auto &[id, place] : places)
                 EXPECT_EQ(placeOf(control(id)), place) << id;
             // Labels green on black; no control answers Enter or Escape.
             EXPECT_EQ(pixel(window, {10, 10}), kBlack);
             EXPECT_TRUE(rowHas(window, 24, 8, 257, kGreen));
             EXPECT_EQ(control(IDOK), nullptr);
             EXPECT_EQ(control(IDCANCEL), nullptr);
             EXPECT_EQ(GetWindowLongPtrW(control(Settings::kOkId), GWL_STYLE) & BS_TYPEMASK,
                       BS_PUSHBUTTON);
             // Focus on box 1; Tab runs through boxes 1 to 10, OK, "Always On
             // Top".
             HWND next = GetFocus();
             EXPECT_EQ(next, control(Settings::enableBoxId(1)));
             for (int n = 2; n <= 13; ++n) {
                 const int id = n <= 10   ? Settings::enableBoxId(n)
                                : n == 11 ? Settings::kOkId
                                : n == 12 ? Settings::kAlwaysOnTopId
                                          : Settings::enableBoxId(1);
                 EXPECT_EQ(GetDlgCtrlID(next = GetNextDlgTabItem(window, next, FALSE)), id);
             }
             return true;
         },
         [] { return close(); }});
}

// Each way the window closes runs the unload, which stores the place it was moved to.
class SettingsWindowCloses : public testing::TestWithParam<const char *>
{
};

TEST_P(SettingsWindowCloses, ModallyWhileTheMainWindowTicks)
{
    Program program;
    program.start();
    const auto press = [](int key) {
        PostMessageW(GetFocus(), WM_KEYDOWN, WPARAM(key), 0);
        return true;
    };
    openSettings(
        program,
        {// Modal: the main window takes no input, but its timers go on.
         [&] { return !IsWindowEnabled(program.hwnd()); },
         [&] { return program.main.watcherSlots().slot(1).state() != SlotState::NotPolled; },
         // Escape and Enter go through the dialog manager, as Tab does, and do nothing.
         [&] { return press(VK_ESCAPE) && press(VK_RETURN) && press(VK_TAB); },
         [] { return GetFocus() == control(Settings::enableBoxId(2)); },
         [&] {
             EXPECT_EQ(program.key.stored("SettingsScreenTop"), std::nullopt); // still open
             // A click acts at once on the main window and the store.
             SendMessageW(control(Settings::enableBoxId(7)), BM_CLICK, 0, 0);
             EXPECT_TRUE(IsWindowVisible(program.box(7)));
             EXPECT_TRUE(program.view.slotTimer(7).isRunning());
             EXPECT_EQ(program.key.stored("ENABLE_PW_7"), "1");
             SendMessageW(control(Settings::kCreatorId), WM_LBUTTONDBLCLK, 0, 0);
             EXPECT_EQ(windowText(control(Settings::kCreatorId)),
                       platform::toUtf16(layout::settingsWindow::kContactAddress));
             SetWindowPos(GetParent(control(Settings::kOkId)), nullptr, 150, 90, 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER);
             return true;
         },
         [this] {
             if (GetParam() == std::string("OK"))
                 SendMessageW(control(Settings::kOkId), BM_CLICK, 0, 0);
             return GetParam() == std::string("OK") || close();
         }});
    EXPECT_EQ(FindWindowW(Settings::kClassName, nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(program.hwnd()));
    EXPECT_EQ(program.key.stored("SettingsScreenLeft"), "2250");
    EXPECT_EQ(program.key.stored("SettingsScreenTop"), "1350");
}

INSTANTIATE_TEST_SUITE_P(By, SettingsWindowCloses, testing::Values("OK", "CloseControl"),
                         [](const auto &param) { return std::string(param.param); });
