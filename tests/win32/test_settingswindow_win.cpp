#include "win32settingswindow.h"
#include "windowtest.h"

// The Win32 settings window, opened from the main window's title strip. While it runs its modal
// loop, the test acts from steps that runDuring() runs inside that loop.

using Settings = Win32SettingsWindow;

static HWND control(int id)
{
    return GetDlgItem(FindWindowW(Settings::kClassName, nullptr), id);
}

// Catches captions that do not fit at the DPI, a window that is not modal, Escape or Enter
// acting in it, a wrong tab order, a check box whose focus rectangle goes when Space ticks it.
TEST(SettingsWindow, CaptionsFitAndItIsModalWithTabOnly)
{
    Program program;
    std::vector<Rgb> focused; // box 2 ticked off by Space, with the focus
    const auto inspect = [&] {
        const HWND window = FindWindowW(Settings::kClassName, nullptr);
        const int dpi = static_cast<int>(GetDpiForWindow(window));
        EXPECT_EQ(GetWindow(window, GW_OWNER), program.hwnd());
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
            EXPECT_LE(size.cx + MulDiv(13 + 4, dpi, 96), placeOf(box)[2] - placeOf(box)[0]) << n;
        }
        // Focus on box 1; Tab runs through boxes 1 to 10, OK, "Always On Top", and round.
        HWND next = GetFocus();
        for (int n = 1; n <= 13; ++n, next = GetNextDlgTabItem(window, next, FALSE))
            EXPECT_EQ(GetDlgCtrlID(next), n == 11   ? Settings::kOkId
                                          : n == 12 ? Settings::kAlwaysOnTopId
                                                    : Settings::enableBoxId(n == 13 ? 1 : n));
        return true;
    };
    const auto post = [](int key) { return PostMessageW(GetFocus(), WM_KEYDOWN, WPARAM(key), 0); };
    EXPECT_TRUE(runDuring(
        [&] { SendMessageW(program.title(), BM_CLICK, 0, 0); },
        {inspect,
         // Modal: the main window takes no input, but its timers go on.
         [&] { return !IsWindowEnabled(program.hwnd()); },
         [&] { return program.main.watcherSlots().slot(1).state() != SlotState::NotPolled; },
         // Escape and Enter go through the dialog manager, as Tab does, and do nothing.
         [&] { return post(VK_ESCAPE) && post(VK_RETURN) && post(VK_TAB); },
         [] { return GetFocus() == control(Settings::enableBoxId(2)); },
         [] { return press({VK_SPACE}), true; },
         [&] {
             const HWND box = control(Settings::enableBoxId(2));
             focused = image(box);
             return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED;
         },
         [] { return press({VK_TAB}), true; },
         [&] { // the focus rectangle was there, and went with the focus
             return GetFocus() != control(Settings::enableBoxId(2)) &&
                    image(control(Settings::enableBoxId(2))) != focused;
         },
         [&] {
             // A click acts at once on the main window.
             SendMessageW(control(Settings::enableBoxId(7)), BM_CLICK, 0, 0);
             return IsWindowVisible(program.box(7));
         },
         [&] { return SendMessageW(control(Settings::kOkId), BM_CLICK, 0, 0) || true; }}));
    EXPECT_TRUE(IsWindowEnabled(program.hwnd()));
}
