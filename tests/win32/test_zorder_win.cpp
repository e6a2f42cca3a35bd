#include "zorder.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

HWND showNewWindow(int left)
{
    return CreateWindowExW(0, L"STATIC", L"zv", WS_OVERLAPPEDWINDOW | WS_VISIBLE, left, 100, 300,
                           200, nullptr, nullptr, nullptr, nullptr);
}

bool isTopmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

} // namespace

// The windows are left to process exit: DestroyWindow takes seconds under Wine without a window
// manager.
TEST(ZOrder, KeeperTickMovesTopmostMarkFromForegroundToMainWindow)
{
    HWND mainWindow = showNewWindow(50);
    HWND other = showNewWindow(400);
    ASSERT_TRUE(mainWindow && other);
    SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(other);
    ASSERT_TRUE(isTopmost(other) && !isTopmost(mainWindow));
    RECT before, after;
    GetWindowRect(mainWindow, &before);

    const auto zorder = platform::createZOrder("");
    ASSERT_NE(zorder, nullptr);
    const platform::WindowId foreground = zorder->foregroundWindow();
    ASSERT_EQ(foreground, reinterpret_cast<platform::WindowId>(other));
    zorder->clearTopmost(foreground);
    zorder->setTopmost(reinterpret_cast<platform::WindowId>(mainWindow));

    EXPECT_FALSE(isTopmost(other));
    EXPECT_TRUE(isTopmost(mainWindow));
    GetWindowRect(mainWindow, &after);
    EXPECT_TRUE(EqualRect(&before, &after)); // neither moved nor resized
}

// Whether the keeper's raise takes the foreground from another program's window: on Windows the
// foreground lock keeps it there (SetWindowPos without SWP_NOACTIVATE activates the window only
// within its own program's input). Wine 8 has no such lock and hands the raised window the
// foreground. The keeper's flags stay as they are either way; this records what the system at
// hand does, so that a change shows.
TEST(ZOrder, KeeperTickAndTheForegroundOfAnotherProgram)
{
    HWND mainWindow = showNewWindow(50);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    wchar_t command[] = L"notepad.exe";
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    WaitForInputIdle(info.hProcess, 10000);
    HWND other = nullptr;
    for (int i = 0; i < 500 && !other; ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        DWORD pid = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &pid);
        if (pid == info.dwProcessId)
            other = GetForegroundWindow();
        else
            Sleep(20);
    }
    ASSERT_NE(other, nullptr) << "the other program never got the foreground";

    const auto zorder = platform::createZOrder("");
    zorder->clearTopmost(zorder->foregroundWindow());
    zorder->setTopmost(reinterpret_cast<platform::WindowId>(mainWindow));
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);

    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    EXPECT_EQ(GetForegroundWindow(), wine ? mainWindow : other);
    EXPECT_TRUE(isTopmost(mainWindow));
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}
