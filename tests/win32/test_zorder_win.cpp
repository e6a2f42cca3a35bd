#include "platform/zorder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

HWND showNewWindow(int left)
{
    static const ATOM registered = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = DefWindowProcW;
        description.lpszClassName = L"ZvZOrderTest";
        return RegisterClassW(&description);
    }();
    if (!registered)
        return nullptr;
    HWND window = CreateWindowExW(0, L"ZvZOrderTest", L"zv", WS_OVERLAPPEDWINDOW, left, 100, 300,
                                  200, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
}

bool isTopmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

bool isAbove(HWND upper, HWND lower)
{
    HWND window = GetTopWindow(nullptr);
    while (window && window != upper && window != lower)
        window = GetWindow(window, GW_HWNDNEXT);
    return window == upper;
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
    ASSERT_TRUE(isAbove(other, mainWindow));
    RECT mainPlace, place;
    GetWindowRect(mainWindow, &mainPlace);

    const auto zorder = platform::createZOrder("");
    ASSERT_NE(zorder, nullptr);
    const platform::WindowId foreground = zorder->foregroundWindow();
    ASSERT_EQ(foreground, reinterpret_cast<platform::WindowId>(other));
    zorder->clearTopmost(foreground);
    zorder->setTopmost(reinterpret_cast<platform::WindowId>(mainWindow));

    EXPECT_FALSE(isTopmost(other));
    EXPECT_TRUE(isTopmost(mainWindow));
    EXPECT_TRUE(isAbove(mainWindow, other));
    GetWindowRect(mainWindow, &place);
    EXPECT_TRUE(EqualRect(&place, &mainPlace));
}
