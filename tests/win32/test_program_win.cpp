#include "windowtest.h"

#include <algorithm>

// The whole zel-vanto.exe as its own process in this test's Wine prefix: its settings seeded
// where the program keeps them, its window read from the screen, closed as the user closes it.
TEST(Program, RunsFromItsSettingsAndSavesThemWhenClosed)
{
    // Under Wine the prefix, and so the user's settings, are the tests' own. On a real desktop
    // the program would read and write the user's real settings: it takes no other place.
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "runs the whole program only in a Wine prefix of its own";
    const TestKey key{L"Software\\VB and VBA Program Settings\\ZEL-VANTO", g_privateUser->user};
    key.seed({{"PROCESS_TEXTBOX_1", "services.exe"}, // the service manager: always runs
              {"PROCESS_TEXTBOX_2", "zv-not-running.exe"},
              {"MainLeft", "1500"}});
    // A Unix path under Wine, whose drive Z: is /.
    std::wstring path = platform::toUtf16(ZV_PROGRAM_PATH);
    path.insert(0, path.front() == L'/' ? L"Z:" : L"");
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const Child program(L'"' + path + L'"');
    HWND window = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        // Never a window of a copy of the program that the test did not start.
        window = FindWindowW(Win32MainWindow::kClassName, nullptr);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == program.info.dwProcessId && IsWindowVisible(window);
    }));
    const auto onScreen = [window](int n) {
        POINT point = boxPoint(window, n); // where Program::boxColour reads
        ClientToScreen(window, &point);
        return pixel(nullptr, point);
    };
    EXPECT_TRUE(pumpUntil([&] { return onScreen(1) == kGreen && onScreen(2) == kRed; }));
    EXPECT_EQ(placeOf(window)[0], twips::toPixels(1500, int(GetDpiForWindow(window))));
    // Per-monitor DPI aware, from its manifest.
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(window)),
              DPI_AWARENESS_PER_MONITOR_AWARE);

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(program.info.hProcess, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(key.stored("PROCESS_TEXTBOX_3"), ""); // saved when closed
    EXPECT_EQ(key.stored("MainLeft"), "1500");
}
