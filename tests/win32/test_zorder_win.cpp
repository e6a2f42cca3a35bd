#include "windowtest.h"

// "Always On Top" on the real main window, whose boxes have a topmost tooltip window: owned by
// the main window, that tooltip kept the main window below itself and Wine took the main
// window's own topmost mark away. The keeper's real timer ticks while another program's window
// has the foreground and the topmost mark.
TEST(ZOrder, KeeperMakesTheMainWindowTopmostAndTurningItOffLeavesTheMark)
{
    const auto isTopmost = [](HWND w) { return GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST; };
    Program program(std::vector<platform::StoredValue>{{"AlwaysOnTopTimer_TICKBOX", "1"}});
    program.view.box(1).setToolTip("services.exe: running");
    const Child notepad(L"notepad.exe");
    const HWND other = foregroundOf(notepad);
    ASSERT_TRUE(other) << "the other program never got the foreground";
    SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(isTopmost(other));

    EXPECT_TRUE(pumpUntil([&] { return isTopmost(program.hwnd()) && !isTopmost(other); }));
    // A window the main window owns (as it owns the settings window) is left alone.
    const HWND owned = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, program.hwnd(),
                                       nullptr, nullptr, nullptr);
    const auto id = [](HWND window) { return reinterpret_cast<platform::WindowId>(window); };
    EXPECT_TRUE(program.zorder->isOwnedBy(id(owned), id(program.hwnd())));
    EXPECT_FALSE(program.zorder->isOwnedBy(id(program.hwnd()), id(owned)));
    DestroyWindow(owned);
    // Raised, not activated: the other program keeps the keyboard.
    EXPECT_EQ(GetForegroundWindow(), other);

    // Off: the keeper stops, and nothing takes the main window's mark away.
    program.main.keeper().disableKeeper();
    SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Sleep(1200);
    pumpUntil([] { return true; });
    EXPECT_TRUE(isTopmost(program.hwnd()));
    EXPECT_TRUE(isTopmost(other));
}
