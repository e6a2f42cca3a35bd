#include "win32settingswindow.h"
#include "windowtest.h"

#include <algorithm>

// The whole zel-vanto.exe as its own process in this test's Wine prefix, started beside another
// program that has the foreground: its settings seeded where the program keeps them, its windows
// read from the screen and driven by the keyboard, closed as the user closes it.
// Catches a program that does not take the keyboard when it starts, a settings window that lets
// the foreground pass to the other program when it closes (its owner enabled too late) by any
// way of closing it, and a typed name not saved at the end.
TEST(Program, TakesTheKeyboardKeepsItOverItsSettingsAndSavesWhenClosed)
{
    // Under Wine the prefix, and so the user's settings, are the tests' own. On a real desktop
    // the program would read and write the user's real settings: it takes no other place.
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "runs the whole program only in a Wine prefix of its own";
    const TestKey key{L"Software\\VB and VBA Program Settings\\ZEL-VANTO", g_privateUser->user};
    key.seed({{"PROCESS_TEXTBOX_1", "services.exe"}, // the service manager: always runs
              {"PROCESS_TEXTBOX_2", "zv-not-running.exe"}});
    const auto focusOf = [](HWND window) { // in the window's thread
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        return info.hwndFocus;
    };
    const Child notepad(L"notepad.exe");
    ASSERT_TRUE(foregroundOf(notepad)) << "the other program never got the foreground";

    // A Unix path under Wine, whose drive Z: is /.
    std::wstring path = platform::toUtf16(ZV_PROGRAM_PATH);
    path.insert(0, path.front() == L'/' ? L"Z:" : L"");
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const Child program(L'"' + path + L'"');
    HWND window = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        // Never a window of a copy of the program that the test did not start.
        window = FindWindowW(Win32MainWindow::kClassName, nullptr);
        return processOf(window) == program.info.dwProcessId && IsWindowVisible(window);
    }));
    const auto onScreen = [&](int n) {
        POINT point = boxPoint(window, n); // where Program::boxColour reads
        ClientToScreen(window, &point);
        return pixel(nullptr, point);
    };
    EXPECT_TRUE(pumpUntil([&] { return onScreen(1) == kGreen && onScreen(2) == kRed; }));
    // Per-monitor DPI aware, from its manifest.
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(window)),
              DPI_AWARENESS_PER_MONITOR_AWARE);

    const HWND title = GetDlgItem(window, Win32MainWindow::kTitleId);
    const HWND box1 = GetDlgItem(window, Win32MainWindow::boxId(1));
    EXPECT_TRUE(
        pumpUntil([&] { return GetForegroundWindow() == window && focusOf(window) == box1; }));
    press({VK_END});
    press({'Z'});
    press({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(pumpUntil([&] { return focusOf(window) == title; }));
    HWND settings = nullptr;
    const auto ok = [] { // from "Enable Process Watcher - 1"
        for (int n = 1; n <= 10; ++n)
            press({VK_TAB});
        press({VK_SPACE});
    };
    const auto altF4 = [] { press({VK_MENU, VK_F4}); };
    const auto closeControl = [&] { PostMessageW(settings, WM_SYSCOMMAND, SC_CLOSE, 0); };
    const std::pair<const char *, std::function<void()>> closings[] = {
        {"OK", ok}, {"Alt+F4", altF4}, {"its close control", closeControl}};
    for (const auto &[way, close] : closings) {
        press({VK_SPACE}); // on the title strip
        ASSERT_TRUE(pumpUntil([&] {
            settings = GetForegroundWindow();
            return settings != window && processOf(settings) == program.info.dwProcessId &&
                   focusOf(settings) == GetDlgItem(settings, Win32SettingsWindow::enableBoxId(1));
        })) << way;
        close();
        EXPECT_TRUE(pumpUntil([&] {
            return !IsWindowVisible(settings) && GetForegroundWindow() == window &&
                   focusOf(window) == title;
        })) << "closed by "
            << way;
    }

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(program.info.hProcess, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(key.stored("PROCESS_TEXTBOX_1"), "services.exez"); // typed at start
}
