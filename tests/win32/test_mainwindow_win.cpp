#include "win32settingswindow.h"
#include "windowtest.h"

#include <oleacc.h>

// The Win32 main window over the real WMI probe and a private registry key, driven through its
// messages and read back from its controls and pixels. The sequences themselves are the core's,
// tested there on fakes.

TEST(MainWindow, LaysOutTheDesignAtItsDpiAndAfterADpiChange)
{
    Program program;
    const HWND window = program.hwnd();
    const int dpi = static_cast<int>(GetDpiForWindow(program.hwnd()));
    const auto px = [&dpi](int twips) { return LONG{twips::toPixels(twips, dpi)}; };
    // At 1000 twips, with a client area of 1575 x 3870 twips.
    EXPECT_EQ(std::pair(placeOf(window)[0], placeOf(window)[1]), std::pair(px(1000), px(1000)));
    EXPECT_EQ(program.view.clientSize(), (PixelSize{px(1575), px(3870)}));
    EXPECT_NE(GetClassLongPtrW(window, GCLP_HICONSM), 0); // the program's icon
    EXPECT_EQ(placeOf(program.title()), (Place{0, 0, px(1575), px(255)}));
    EXPECT_EQ(placeOf(program.box(10)), (Place{0, px(3480), px(1575), px(3480) + px(375)}));
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(IsWindowVisible(program.box(n)) != 0, n <= 5) << n;
        EXPECT_EQ(SendMessageW(program.box(n), EM_GETLIMITTEXT, 0, 0), layout::kMaxNameLength);
    }
    // The keyboard starts in box 1; Tab goes down the visible boxes, to the title strip and
    // round again.
    HWND focus = GetFocus();
    for (int n : {1, 2, 3, 4, 5, 0, 1}) {
        EXPECT_EQ(focus, n ? program.box(n) : program.title()) << n;
        focus = GetNextDlgTabItem(window, focus, FALSE);
    }
    // Unpolled, a box has the system's window colour; the title strip is green text on black.
    const COLORREF system = GetSysColor(COLOR_WINDOW);
    EXPECT_EQ(program.boxColour(1), (Rgb{GetRValue(system), GetGValue(system), GetBValue(system)}));
    EXPECT_EQ(pixel(window, {1, 1}), kBlack);
    EXPECT_TRUE(rowHas(window, px(255) / 2, 0, px(1575), kGreen));

    // On a screen of half as many dots again the window takes the size the system suggests, the
    // controls their places and fonts at that DPI.
    const int next = dpi * 3 / 2;
    RECT suggested{10, 20, 180, 420};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(next, next),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(placeOf(window), (Place{10, 20, 180, 420}));
    const auto at = [next](int twips) { return LONG{twips::toPixels(twips, next)}; };
    EXPECT_EQ(placeOf(program.box(2)), (Place{0, at(600), at(1575), at(600) + at(375)}));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(program.box(2), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_EQ(std::pair(font.lfHeight, font.lfWeight), // 8.25 pt, bold
              std::pair(-LONG(std::lround(8.25 * next / 72)), LONG{FW_BOLD}));
}

// The name is drawn on the box's colour: without the background colour set for the text, the
// system's white would show as a band behind it.
TEST(MainWindow, TheNameIsDrawnOnTheBoxColourWithoutABandBehindIt)
{
    Program program(std::vector<platform::StoredValue>{{"PROCESS_TEXTBOX_1", "services.exe"}});
    program.tick(1);
    ASSERT_EQ(program.boxColour(1), kGreen);
    SetFocus(program.title()); // no caret in the box
    RECT client{};
    GetClientRect(program.box(1), &client);
    // The rows through the middle of the line of text, wherever the box puts the line.
    HDC dc = GetDC(program.box(1));
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(program.box(1), WM_GETFONT, 0, 0)));
    RECT line = client;
    DrawTextW(dc, L"x", 1, &line, DT_CALCRECT | DT_SINGLELINE);
    ReleaseDC(program.box(1), dc);
    int text = 0;
    for (LONG y = 0; y < std::min(line.bottom, client.bottom); ++y) {
        for (LONG x = 1; x < client.right - 1; ++x) {
            // Green, black text, or the two blended: never any red or blue.
            const Rgb colour = pixel(program.box(1), {x, y}, x == 1);
            EXPECT_EQ(colour.red + colour.blue, 0) << x << "," << y;
            if (colour != kGreen)
                ++text;
        }
    }
    EXPECT_GT(text, 10); // the text is there
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
        MSG message;
        while (!PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE))
            Sleep(5);
        return GetTickCount64() - start;
    };
    timer.setInterval(50);
    timer.start();
    EXPECT_LT(nextTick(), 500u);
    timer.setInterval(1000);
    EXPECT_GE(nextTick(), 800u);
    EXPECT_TRUE(timer.isRunning());
    DestroyWindow(window);
}

TEST(MainWindow, TicksPaintTheBoxesPureGreenOrRed)
{
    Program program(
        {{"PROCESS_TEXTBOX_1", "services.exe"}, {"PROCESS_TEXTBOX_2", "zv-not-running.exe"}});
    for (int n : {1, 2, 3})
        program.tick(n);
    EXPECT_EQ(program.boxColour(1), kGreen);
    EXPECT_EQ(program.boxColour(2), kRed);
    EXPECT_EQ(program.boxColour(3), kRed); // empty

    // A name typed into a box counts from its next tick; the real timers tick by themselves.
    SetWindowTextW(program.box(1), L"zv-not-running.exe");
    SetWindowTextW(program.box(2), L"services.exe");
    EXPECT_TRUE(
        pumpUntil([&] { return program.boxColour(1) == kRed && program.boxColour(2) == kGreen; }));
}

TEST(MainWindow, RestoresItsPlaceAndSavesWhatItShowsAtThePauseAndAtSessionEnd)
{
    // WQL that would match every process, quotes, non-ASCII, an unpaired surrogate, 100,000
    // characters.
    const std::vector<platform::StoredValue> names = {
        {"PROCESS_TEXTBOX_7", "x' OR Name<>'"},
        {"PROCESS_TEXTBOX_8", "\"quoted\" C:\\path"},
        {"PROCESS_TEXTBOX_9", platform::toUtf8(L"lone \xd800 surrogate")},
        {"PROCESS_TEXTBOX_10", "\u00e9\u4e2d" + std::string(100'000, 'z')}};
    // 3000 and 1500 twips; 2100 x 4500 twips of client area with the design's frame allowances.
    std::vector<platform::StoredValue> seeds = {
        {"MainLeft", "3000"}, {"MainTop", "1500"}, {"MainWidth", "2220"}, {"MainHeight", "4860"}};
    seeds.insert(seeds.end(), names.begin(), names.end());
    Program program(seeds);
    const int dpi = static_cast<int>(GetDpiForWindow(program.hwnd()));
    const auto px = [dpi](int twips) { return twips::toPixels(twips, dpi); };
    const auto tw = [dpi](int pixels) {
        return std::to_string(std::lround(twips::fromPixels(pixels, dpi)));
    };
    EXPECT_EQ(program.view.outerCorner(), (PixelPoint{px(3000), px(1500)}));
    EXPECT_EQ(program.view.clientSize(), (PixelSize{px(2100), px(4500)}));
    SetWindowTextW(program.box(1), L"paused.exe"); // an edit, as typing makes
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_1"), std::nullopt);
    EXPECT_TRUE(pumpUntil([&] { return program.key.stored("PROCESS_TEXTBOX_1") == "paused.exe"; }));

    // Moved and resized, then maximised: the window keeps its normal place and size.
    const Place outer = placeOf(program.hwnd());
    SetWindowPos(program.hwnd(), nullptr, 300, 200, outer[2] - outer[0] + 20,
                 outer[3] - outer[1] + 40, SWP_NOZORDER);
    ShowWindow(program.hwnd(), SW_MAXIMIZE);
    // Asked whether the session may end, it saves; another program may yet cancel the end.
    SetWindowTextW(program.box(2), L"asked.exe");
    EXPECT_EQ(SendMessageW(program.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "asked.exe");
    SendMessageW(program.hwnd(), WM_ENDSESSION, FALSE, 0);
    SetWindowTextW(program.box(2), L"ended.exe");
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "asked.exe");
    SendMessageW(program.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(program.key.stored("PROCESS_TEXTBOX_2"), "ended.exe");
    // The client area grew by 20 x 40 pixels.
    std::vector<platform::StoredValue> saved = {{"MainLeft", tw(300)},
                                                {"MainTop", tw(200)},
                                                {"MainWidth", tw(px(2220) + 20)},
                                                {"MainHeight", tw(px(4860) + 40)}};
    saved.insert(saved.end(), names.begin(), names.end());
    for (const auto &[key, text] : saved)
        EXPECT_EQ(program.key.stored(key), text) << key;
}

namespace {

// What a screen reader reads of a control through its accessible object.
struct Heard
{
    std::wstring name, description, action;
    long role = 0, state = 0;
};

Heard hear(HWND control, bool press = false)
{
    Heard heard;
    IAccessible *object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          IID_IAccessible, reinterpret_cast<void **>(&object))))
        return heard;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    const auto text = [&](HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR *)) {
        BSTR got = nullptr;
        std::wstring read = SUCCEEDED((object->*get)(self, &got)) && got ? got : L"";
        SysFreeString(got);
        return read;
    };
    const auto number = [&](HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT *)) {
        VARIANT got{};
        return SUCCEEDED((object->*get)(self, &got)) && got.vt == VT_I4 ? got.lVal : -1L;
    };
    heard = {text(&IAccessible::get_accName), text(&IAccessible::get_accDescription),
             text(&IAccessible::get_accDefaultAction), number(&IAccessible::get_accRole),
             number(&IAccessible::get_accState)};
    if (press)
        object->accDoDefaultAction(self);
    object->Release();
    return heard;
}

} // namespace

// Catches a box without its name or its state in words, a title strip that is no push button or
// cannot be pressed by an assistive tool, read as Windows' oleacc hands them out.
TEST(MainWindow, AssistiveToolsReadNamesRolesAndStatesAndPressTheTitleStrip)
{
    Program program(std::vector<platform::StoredValue>{{"PROCESS_TEXTBOX_2", "services.exe"}});
    EXPECT_EQ(hear(program.box(2)).description, L"not checked yet");
    // Only the focused box tells of its change (box 3 turns red unheard), as a change of its
    // description; a WinEvent hook's callback has only globals to report to.
    static std::vector<HWND> told;
    const HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_DESCRIPTIONCHANGE, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND changed, LONG, LONG, DWORD, DWORD) {
            told.push_back(changed);
        },
        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    SetFocus(program.box(2));
    program.tick(2);
    program.tick(3);
    EXPECT_TRUE(pumpUntil([] { return !told.empty(); }));
    pumpUntil([] { return true; }); // what else was told meanwhile
    UnhookWinEvent(hook);
    EXPECT_EQ(told, std::vector<HWND>{program.box(2)});
    const Heard box = hear(program.box(2));
    EXPECT_EQ(box.name, L"Process watcher 2");
    EXPECT_EQ(box.description, L"running");
    EXPECT_EQ(box.role, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(hear(program.box(3)).description, L"not running");
    EXPECT_TRUE(hear(program.box(7)).state & STATE_SYSTEM_INVISIBLE);

    const Heard title = hear(program.title());
    EXPECT_EQ(title.name, L"ZEL-VANTO settings");
    EXPECT_EQ(title.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(title.action, L"Press");
    bool opened = false;
    const auto press = [&] {
        hear(program.title(), true); // posts the click: a modal window must not block the tool
        EXPECT_TRUE(pumpUntil(
            [&] { return opened && !FindWindowW(Win32SettingsWindow::kClassName, nullptr); }));
    };
    EXPECT_TRUE(runDuring(press, {[&] {
                              const HWND settings =
                                  FindWindowW(Win32SettingsWindow::kClassName, nullptr);
                              opened = settings && PostMessageW(settings, WM_CLOSE, 0, 0);
                              return opened;
                          }}));
}
