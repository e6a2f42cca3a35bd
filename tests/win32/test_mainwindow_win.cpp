#include "windowtest.h"
#include "wintext.h"

#include <gtest/gtest.h>

// The Win32 main window over the real WMI probe and a private registry key, driven through its
// messages and read back from its controls and pixels. The sequences themselves are the core's
// and are tested there on fakes.

namespace {

LONG_PTR style(HWND window, int which = GWL_STYLE)
{
    return GetWindowLongPtrW(window, which);
}

} // namespace

TEST(MainWindow, LaysOutTheDesignAt96Dpi)
{
    Program program;
    program.start();
    const HWND window = program.hwnd();
    ASSERT_EQ(GetDpiForWindow(window), 96u);

    RECT client{}, outer{};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    // 1000 twips = 67 pixels; 1575 x 3870 twips of client area = 105 x 258 pixels.
    EXPECT_EQ(client, (RECT{0, 0, 105, 258}));
    EXPECT_EQ(outer.left, 67);
    EXPECT_EQ(outer.top, 67);
    EXPECT_EQ(windowText(window), L"ZEL-VANTO");
    EXPECT_NE(GetClassLongPtrW(window, GCLP_HICON), 0); // the program's icon, large and small
    EXPECT_NE(GetClassLongPtrW(window, GCLP_HICONSM), 0);
    // A tool window with a resizable border and a close button only.
    EXPECT_TRUE(style(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(style(window) & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_THICKFRAME | WS_SYSMENU);

    const HWND title = GetDlgItem(window, Win32MainWindow::kTitleId);
    EXPECT_EQ(placeOf(title), (RECT{0, 0, 105, 17}));
    EXPECT_EQ(windowText(title), L"ZEL-VANTO");
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE("box " + std::to_string(n));
        const HWND box = program.box(n);
        // 240 + 360 (n - 1) twips down, 375 high: 16 + 24 (n - 1), 25 pixels.
        EXPECT_EQ(placeOf(box), (RECT{0, 16 + 24 * (n - 1), 105, 16 + 24 * (n - 1) + 25}));
        EXPECT_EQ(IsWindowVisible(box) != 0, n <= 5);
        EXPECT_TRUE(style(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        EXPECT_TRUE(style(box) & ES_CENTER);
        EXPECT_GE(SendMessageW(box, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
    }
    // The keyboard starts in box 1; Tab goes down the visible boxes and round again.
    EXPECT_EQ(GetFocus(), program.box(1));
    HWND next = program.box(1);
    for (int n : {2, 3, 4, 5, 1}) {
        next = GetNextDlgTabItem(window, next, FALSE);
        EXPECT_EQ(next, program.box(n)) << "after box " << n - 1;
    }

    // Until its first tick a box has the system's window colour; the title strip is green text
    // on black.
    EXPECT_EQ(program.boxColour(1),
              Rgb(GetRValue(GetSysColor(COLOR_WINDOW)), GetGValue(GetSysColor(COLOR_WINDOW)),
                  GetBValue(GetSysColor(COLOR_WINDOW))));
    EXPECT_EQ(pixel(window, {1, 1}), kBlack);
    EXPECT_TRUE(rowHas(window, 8, 0, 105, kGreen));

    // Moved to a screen of 144 DPI: the window takes the size the system suggests, and the
    // controls their places and fonts at the new DPI.
    RECT suggested{10, 20, 180, 420};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer, suggested);
    // 600, 1575 and 375 twips at 144 DPI: 60, 157.5 and 37.5 pixels.
    EXPECT_EQ(placeOf(program.box(2)), (RECT{0, 60, 158, 60 + 38}));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(program.box(2), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_EQ(font.lfHeight, -17); // 8.25 pt at 144 DPI: 16.5 pixels
    EXPECT_EQ(font.lfWeight, FW_BOLD);
}

TEST(MainWindow, TicksPaintTheBoxesPureGreenOrRed)
{
    Program program;
    program.key.seed("PROCESS_TEXTBOX_1", ownImageName());
    program.key.seed("PROCESS_TEXTBOX_2", "zv-not-running.exe");
    program.start();

    for (int n : {1, 2, 3})
        program.tick(n);
    EXPECT_EQ(program.boxColour(1), kGreen);
    EXPECT_EQ(program.boxColour(2), kRed);
    EXPECT_EQ(program.boxColour(3), kRed); // empty

    // A name typed into a box counts from its next tick.
    SetWindowTextW(program.box(2), platform::toUtf16(ownImageName()).c_str());
    SetWindowTextW(program.box(1), L"zv-not-running.exe");
    program.tick(1);
    program.tick(2);
    EXPECT_EQ(program.boxColour(1), kRed);
    EXPECT_EQ(program.boxColour(2), kGreen);
    // Only the background changes.
    HDC dc = GetDC(program.box(2));
    SendMessageW(program.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(program.box(2)));
    EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
    ReleaseDC(program.box(2), dc);

    // The real timers tick by themselves, once a second.
    SetWindowTextW(program.box(3), platform::toUtf16(ownImageName()).c_str());
    EXPECT_TRUE(pumpUntil([&] { return program.boxColour(3) == kGreen; }));
}

TEST(MainWindow, RestoresAndSavesPlaceSizeAndNamesVerbatim)
{
    // Names of every kind: WQL that would match every process, quotes, non-ASCII, an unpaired
    // surrogate, 100,000 characters.
    std::wstring longName(100'000, L'z');
    longName.replace(0, 6, L"\u00e9\u4e2d-long");
    const std::vector<std::string> names = {"x' OR Name<>'", "\"quoted\" C:\\path",
                                            platform::toUtf8(L"lone \xd800 surrogate"),
                                            platform::toUtf8(longName), "  spaced  "};
    Program program;
    // 200 and 100 pixels; 140 x 300 pixels of client area with the design's frame allowances.
    program.key.seed("MainLeft", "3000");
    program.key.seed("MainTop", "1500");
    program.key.seed("MainWidth", "2220");
    program.key.seed("MainHeight", "4860");
    for (std::size_t i = 0; i < names.size(); ++i)
        program.key.seed("PROCESS_TEXTBOX_" + std::to_string(i + 6), names[i]);
    program.start();

    EXPECT_EQ(program.view.outerCorner(), (PixelPoint{200, 100}));
    EXPECT_EQ(program.view.clientSize(), (PixelSize{140, 300}));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(windowText(program.box(int(i) + 6)), platform::toUtf16(names[i])) << i + 6;

    // Unchanged, everything goes back as it was read; moved, resized and typed into, as it is.
    SendMessageW(program.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.key.stored("MainWidth"), "2220");
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_" + std::to_string(i + 6)), names[i]);

    Program moved;
    moved.start();
    RECT outer{};
    GetWindowRect(moved.hwnd(), &outer);
    SetWindowPos(moved.hwnd(), nullptr, 300, 200, outer.right - outer.left + 20,
                 outer.bottom - outer.top + 40, SWP_NOZORDER);
    SetWindowTextW(moved.box(1), L"typed.exe");
    SendMessageW(moved.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(moved.unloads, 1);
    EXPECT_EQ(moved.key.stored("MainLeft"), "4500");
    EXPECT_EQ(moved.key.stored("MainTop"), "3000");
    // The client area grew by 20 x 40 pixels: 300 x 600 twips.
    EXPECT_EQ(moved.key.stored("MainWidth"), "1995");
    EXPECT_EQ(moved.key.stored("MainHeight"), "4830");
    EXPECT_EQ(moved.key.stored("PROCESS_TEXTBOX_1"), "typed.exe");
}

TEST(MainWindow, EndOfSessionSavesWhatTheUnloadSaves)
{
    Program program;
    program.start();
    SetWindowTextW(program.box(2), L"asked.exe");
    EXPECT_EQ(SendMessageW(program.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "asked.exe");
    EXPECT_EQ(program.key.stored("MainLeft"), "1000");

    // Cancelled by another program; the session goes on, and ends later.
    SendMessageW(program.hwnd(), WM_ENDSESSION, FALSE, 0);
    SetWindowTextW(program.box(2), L"ended.exe");
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "asked.exe");
    SendMessageW(program.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "ended.exe");
}
