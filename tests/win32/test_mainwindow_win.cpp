#include "windowtest.h"

#include <algorithm>
#include <oleacc.h>

// The Win32 main window over the real WMI probe and a private registry key, driven through its
// messages and read back from its controls and pixels. The sequences themselves are the core's,
// tested there on fakes.

// Name, description and role of a control, read as Windows' oleacc hands them out.
static std::tuple<std::wstring, std::wstring, long> hear(HWND control)
{
    IAccessible *object = nullptr;
    AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void **>(&object));
    if (!object)
        return {};
    VARIANT self{}, role{};
    self.vt = VT_I4; // and lVal CHILDID_SELF, 0
    BSTR name = nullptr, description = nullptr;
    object->get_accName(self, &name);
    object->get_accDescription(self, &description);
    object->get_accRole(self, &role);
    std::tuple heard{std::wstring(name ? name : L""), std::wstring(description ? description : L""),
                     role.vt == VT_I4 ? role.lVal : -1L};
    SysFreeString(name);
    SysFreeString(description);
    object->Release();
    return heard;
}

// Catches a box without the name length limit, a wrong tab order, a title strip without its
// focus frame or not told as a push button, a box told without its name or state or told of
// without the focus, a band of the system's white behind a name (the text's background colour
// not set), a place not restored, not saved at the session's end or saved maximised.
TEST(MainWindow, LaysOutPaintsTellsRestoresAndSaves)
{
    // 3000 and 1500 twips; 2100 x 4500 twips of client area with the design's frame allowances.
    Program program(
        {{"MainLeft", "3000"}, {"MainTop", "1500"}, {"MainWidth", "2220"}, {"MainHeight", "4860"}});
    SetWindowTextW(program.box(1), L"services.exe");
    SetWindowTextW(program.box(2), L"zv-not-running.exe");
    const HWND window = program.hwnd();
    const auto px = [&](int twips) { return program.px(twips); };
    EXPECT_EQ(placeOf(program.box(10)), (Place{0, px(3480), px(1575), px(3480) + px(375)}));
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(IsWindowVisible(program.box(n)) != 0, n <= 5) << n;
        EXPECT_EQ(SendMessageW(program.box(n), EM_GETLIMITTEXT, 0, 0), layout::kMaxNameLength);
    }
    // The keyboard starts in box 1; Tab goes down the visible boxes, to the title strip and
    // round again.
    for (HWND focus = GetFocus(); int n : {1, 2, 3, 4, 5, 0, 1}) {
        EXPECT_EQ(focus, n ? program.box(n) : program.title()) << n;
        focus = GetNextDlgTabItem(window, focus, FALSE);
    }
    // Unpolled, a box has the system's window colour; the title strip is black, framed in green
    // only while it has the focus.
    EXPECT_EQ(program.boxColour(1), rgb(GetSysColor(COLOR_WINDOW)));
    EXPECT_EQ(pixel(window, {1, 1}), kBlack);

    // Ticks paint the boxes pure green or red. Only the focused box tells of its change (box 2
    // turns red unheard), as a change of its description; a WinEvent hook's callback has only
    // globals to report to.
    static std::vector<HWND> told;
    const HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_DESCRIPTIONCHANGE, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND changed, LONG, LONG, DWORD, DWORD) {
            told.push_back(changed);
        },
        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    for (int n : {1, 2, 3})
        program.tick(n);
    EXPECT_TRUE(pumpUntil([] { return !told.empty(); }));
    pumpUntil([] { return true; }); // what else was told meanwhile
    UnhookWinEvent(hook);
    EXPECT_EQ(told, std::vector<HWND>{program.box(1)});
    EXPECT_EQ(hear(program.box(1)),
              std::tuple(L"Process watcher 1", L"running", long{ROLE_SYSTEM_TEXT}));
    EXPECT_EQ(program.boxColour(1), kGreen);
    EXPECT_EQ(program.boxColour(2), kRed);
    EXPECT_EQ(program.boxColour(3), kRed); // empty
    SetFocus(program.title());             // no caret in the box
    EXPECT_EQ(pixel(window, {1, 1}), kGreen);
    EXPECT_EQ(hear(program.title()),
              std::tuple(L"ZEL-VANTO settings", L"", long{ROLE_SYSTEM_PUSHBUTTON}));
    // The name is drawn on the box's colour.
    // Green, black text, or the two blended: never any red or blue; and the text is there.
    const std::vector<Rgb> shown = image(program.box(1));
    EXPECT_EQ(std::ranges::count_if(shown, [](Rgb c) { return c.red + c.blue != 0; }), 0);
    EXPECT_GT(shown.size() - std::ranges::count(shown, kGreen), 10u);

    // The place is restored; the names are saved when the session ends (asked first, and again
    // at the end), with the normal place.
    const auto tw = [&](int pixels) {
        return std::to_string(std::lround(twips::fromPixels(pixels, program.dpi())));
    };
    EXPECT_EQ(program.view.outerCorner(), (PixelPoint{px(3000), px(1500)}));
    EXPECT_EQ(program.view.clientSize(), (PixelSize{px(2100), px(4500)}));

    // Moved and grown by 20 x 40 pixels, then maximised: the window keeps its normal place.
    const Place outer = placeOf(program.hwnd());
    SetWindowPos(program.hwnd(), nullptr, 300, 200, outer[2] - outer[0] + 20,
                 outer[3] - outer[1] + 40, SWP_NOZORDER);
    ShowWindow(program.hwnd(), SW_MAXIMIZE);
    SetWindowTextW(program.box(2), L"asked.exe");
    EXPECT_EQ(SendMessageW(program.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "asked.exe");
    SetWindowTextW(program.box(2), L"ended.exe");
    SendMessageW(program.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "ended.exe");
    EXPECT_EQ(program.key.stored("MainLeft"), tw(300));
    EXPECT_EQ(program.key.stored("MainTop"), tw(200));
    EXPECT_EQ(program.key.stored("MainWidth"), tw(px(2220) + 20)); // the client area grew
    EXPECT_EQ(program.key.stored("MainHeight"), tw(px(4860) + 40));
}

// A timer whose interval is set while it runs starts afresh with the new one; keeping the old
// one, a slot switched on while others run would tick at its short first interval for ever.
TEST(MainWindow, ATimerRestartsWithTheIntervalSetWhileItRuns)
{
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    Win32Timer timer(window, 7);
    const auto nextTick = [window] {
        const ULONGLONG start = GetTickCount64();
        for (MSG message; !PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE);)
            Sleep(5);
        return GetTickCount64() - start;
    };
    timer.setInterval(50);
    timer.start();
    EXPECT_LT(nextTick(), 500u);
    timer.setInterval(1000);
    EXPECT_GE(nextTick(), 800u);
    DestroyWindow(window);
}
