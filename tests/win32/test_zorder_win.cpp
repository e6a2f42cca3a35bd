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
