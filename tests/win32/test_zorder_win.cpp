#include "zorder.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

bool isTopmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

} // namespace

// One keeper tick while another program's window has the foreground and the topmost mark. The
// windows are left to process exit: DestroyWindow takes seconds under Wine without a window
// manager.
TEST(ZOrder, KeeperTickMovesTopmostMarkFromAnotherProgramToMainWindow)
{
    HWND mainWindow = CreateWindowExW(0, L"STATIC", L"zv", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                                      100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    wchar_t command[] = L"notepad.exe";
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    HWND other = nullptr;
    for (int i = 0; i < 500 && !other; ++i, Sleep(20)) {
        pump();
        DWORD pid = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &pid);
        other = pid == info.dwProcessId ? GetForegroundWindow() : nullptr;
    }
    ASSERT_NE(other, nullptr) << "the other program never got the foreground";
    SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(isTopmost(other) && !isTopmost(mainWindow));
    RECT before, after;
    GetWindowRect(mainWindow, &before);

    const auto zorder = platform::createZOrder("");
    ASSERT_EQ(zorder->foregroundWindow(), reinterpret_cast<platform::WindowId>(other));
    zorder->clearTopmost(zorder->foregroundWindow());
    zorder->setTopmost(reinterpret_cast<platform::WindowId>(mainWindow));
    pump();
    EXPECT_FALSE(isTopmost(other));
    EXPECT_TRUE(isTopmost(mainWindow));
    GetWindowRect(mainWindow, &after);
    EXPECT_TRUE(EqualRect(&before, &after)); // neither moved nor resized

    // Raised, not activated: the other program keeps the keyboard.
    EXPECT_EQ(GetForegroundWindow(), other);
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}
