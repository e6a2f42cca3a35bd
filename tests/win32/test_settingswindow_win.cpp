#include "layout.h"
#include "win32settingswindow.h"
#include "windowtest.h"

// The Win32 settings window, opened from the main window's title strip. While it runs its modal
// loop, the test acts from steps that runDuring() runs inside that loop.

namespace {

using Settings = Win32SettingsWindow;

HWND control(int id)
{
    return GetDlgItem(windowOf(GetCurrentProcessId(), Settings::kClassName), id);
}

} // namespace

// Opened by a click on the title strip and closed by its caption's close control, or opened by
// Enter on the focused title strip and closed by OK. Either way the focus comes back, and the
// unload stores the place the window was moved to.
class SettingsWindow : public testing::TestWithParam<bool>
{
};

TEST_P(SettingsWindow, IsLaidOutAndModalAndSavesItsPlace)
{
    // Where the design places them, at the window's DPI.
    namespace design = layout::settingsWindow;
    const std::pair<int, const layout::Control &> places[] = {
        {Settings::kCreatorId, design::creator()},
        {Settings::enableBoxId(1), design::enableBox(1)},
        {Settings::enableBoxId(10), design::enableBox(10)},
        {Settings::kOkId, design::okButton()},
    };
    Program program;
    if (GetParam())
        SetFocus(program.title());
    const auto inspect = [&] {
        const HWND window = windowOf(GetCurrentProcessId(), Settings::kClassName);
        const int dpi = static_cast<int>(GetDpiForWindow(window));
        const auto px = [dpi](int twips) { return LONG{twips::toPixels(twips, dpi)}; };
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(px(7230), px(4515)));
        EXPECT_EQ(GetWindow(window, GW_OWNER), program.hwnd());
        for (const auto &[id, design] : places) {
            const twips::Place &place = design.place;
            EXPECT_EQ(placeOf(control(id)),
                      (Place{px(place.left), px(place.top), px(place.left) + px(place.width),
                             px(place.top) + px(place.height)}))
                << id;
        }
        // Each check box's caption fits beside its box at any DPI: fonts do not scale exactly.
        for (int n = 1; n <= 10; ++n) {
            const HWND box = control(Settings::enableBoxId(n));
            wchar_t text[64];
            const int length = GetWindowTextW(box, text, 64);
            HDC dc = GetDC(box);
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
            SIZE size{};
            GetTextExtentPoint32W(dc, text, length, &size);
            ReleaseDC(box, dc);
            const Place place = placeOf(box);
            EXPECT_LE(size.cx + MulDiv(13 + 4, dpi, 96), place[2] - place[0]) << n;
        }
        EXPECT_EQ(pixel(window, {px(150), px(150)}), kBlack); // labels green on black
        EXPECT_TRUE(rowHas(window, px(360), px(120), px(3855), kGreen));
        // Focus on box 1; Tab runs through boxes 1 to 10, OK, "Always On Top", and round.
        HWND next = GetFocus();
        for (int n = 1; n <= 13; ++n) {
            const int id = n == 11   ? Settings::kOkId
                           : n == 12 ? Settings::kAlwaysOnTopId
                                     : Settings::enableBoxId(n == 13 ? 1 : n);
            EXPECT_EQ(GetDlgCtrlID(next), id);
            next = GetNextDlgTabItem(window, next, FALSE);
        }
        return true;
    };
    const auto open = [&] {
        // Enter on a focused button reaches its window as the dialog manager's IDOK.
        GetParam() ? SendMessageW(program.hwnd(), WM_COMMAND, IDOK, 0)
                   : SendMessageW(program.title(), BM_CLICK, 0, 0);
    };
    const auto press = [](int key) { return PostMessageW(GetFocus(), WM_KEYDOWN, WPARAM(key), 0); };
    EXPECT_TRUE(runDuring(
        open, {inspect,
               // Modal: the main window takes no input, but its timers go on.
               [&] { return !IsWindowEnabled(program.hwnd()); },
               [&] { return program.main.watcherSlots().slot(1).state() != SlotState::NotPolled; },
               // Escape and Enter go through the dialog manager, as Tab does, and do nothing.
               [&] { return press(VK_ESCAPE) && press(VK_RETURN) && press(VK_TAB); },
               [] { return GetFocus() == control(Settings::enableBoxId(2)); },
               [&] {
                   EXPECT_EQ(program.key.stored("SettingsScreenTop"), std::nullopt); // still open
                   // A click acts at once on the main window.
                   SendMessageW(control(Settings::enableBoxId(7)), BM_CLICK, 0, 0);
                   EXPECT_TRUE(IsWindowVisible(program.box(7)));
                   SendMessageW(control(Settings::kCreatorId), WM_LBUTTONDBLCLK, 0, 0);
                   EXPECT_EQ(std::size_t(GetWindowTextLengthW(control(Settings::kCreatorId))),
                             platform::toUtf16(layout::settingsWindow::kContactAddress).size());
                   SetWindowPos(GetParent(control(Settings::kOkId)), nullptr, 150, 90, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER);
                   return true;
               },
               [&] {
                   GetParam() ? SendMessageW(control(Settings::kOkId), BM_CLICK, 0, 0)
                              : SendMessageW(GetParent(control(Settings::kOkId)), WM_SYSCOMMAND,
                                             SC_CLOSE, 0);
                   return true;
               }}));
    EXPECT_TRUE(IsWindowEnabled(program.hwnd()));
    // The main window has the foreground again, and the focus is back on the title strip, where
    // Enter or the click (as on any button) put it.
    EXPECT_TRUE(pumpUntil(
        [&] { return GetForegroundWindow() == program.hwnd() && GetFocus() == program.title(); }));
    // 150 and 90 pixels in twips.
    const int dpi = static_cast<int>(GetDpiForWindow(program.hwnd()));
    EXPECT_EQ(program.key.stored("SettingsScreenLeft"),
              std::to_string(std::lround(twips::fromPixels(150, dpi))));
    EXPECT_EQ(program.key.stored("SettingsScreenTop"),
              std::to_string(std::lround(twips::fromPixels(90, dpi))));
}

INSTANTIATE_TEST_SUITE_P(Opened, SettingsWindow, testing::Bool(), [](const auto &param) {
    return std::string(param.param ? "ByKeyboardClosedByOk" : "ByClickClosedByCloseControl");
});
