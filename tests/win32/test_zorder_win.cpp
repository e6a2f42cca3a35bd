#include "windowtest.h"
#include "zorder.h"

// One keeper tick while another program's window has the foreground and the topmost mark. The
// windows are left to process exit: DestroyWindow takes seconds under Wine without a window
// manager.
TEST(ZOrder, KeeperTickMovesTopmostMarkFromAnotherProgramToMainWindow)
{
    const auto isTopmost = [](HWND window) {
        return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    };
    const HWND mainWindow = CreateWindowExW(0, L"STATIC", L"zv", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                            50, 100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    const Child notepad(L"notepad.exe");
    HWND other = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        DWORD pid = 0;
        GetWindowThreadProcessId(other = GetForegroundWindow(), &pid);
        return pid == notepad.info.dwProcessId;
    })) << "the other program never got the foreground";
    SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(isTopmost(other) && !isTopmost(mainWindow));
    const Place before = placeOf(mainWindow);

    const auto zorder = platform::createZOrder();
    ASSERT_EQ(zorder->foregroundWindow(), reinterpret_cast<platform::WindowId>(other));
    zorder->clearTopmost(zorder->foregroundWindow());
    zorder->setTopmost(reinterpret_cast<platform::WindowId>(mainWindow));
    pumpUntil([] { return true; });
    EXPECT_FALSE(isTopmost(other));
    EXPECT_TRUE(isTopmost(mainWindow));
    EXPECT_EQ(placeOf(mainWindow), before); // neither moved nor resized
    // Raised, not activated: the other program keeps the keyboard.
    EXPECT_EQ(GetForegroundWindow(), other);
}
