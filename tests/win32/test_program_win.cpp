#include "win32resources.h"
#include "windowtest.h"
#include "wintext.h"

#include <gtest/gtest.h>

// The whole zel-vanto.exe, started as its own process in this test's Wine prefix: its settings
// are seeded where the program keeps them, its window is found and read from the screen, and it
// is closed as the user closes it.

namespace {

// The build's Unix path as Wine's drive Z: shows it.
std::wstring programPath()
{
    std::wstring path = L"Z:" + platform::toUtf16(ZV_PROGRAM_PATH);
    for (wchar_t &c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

struct Found
{
    DWORD pid;
    HWND window = nullptr;
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM data)
{
    auto *found = reinterpret_cast<Found *>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (pid == found->pid && IsWindowVisible(window) &&
        std::wstring(name) == Win32MainWindow::kClassName) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// The background that box n shows on the screen.
Rgb boxOnScreen(HWND window, int n)
{
    POINT point{4, 16 + 24 * (n - 1) + 12};
    ClientToScreen(window, &point);
    return screenPixel(point);
}

// The first icon of the program's icon group: width, height, bits per pixel.
std::tuple<int, int, int> iconFormat(HMODULE program)
{
#pragma pack(push, 2)
    struct GroupEntry
    {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct Group
    {
        WORD reserved, type, count;
        GroupEntry entries[1];
    };
#pragma pack(pop)
    HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(ZV_IDI_PROGRAM), RT_GROUP_ICON);
    if (!found)
        return {};
    const auto *group = static_cast<const Group *>(LockResource(LoadResource(program, found)));
    return {group->entries[0].width, group->entries[0].height, group->entries[0].bitCount};
}

} // namespace

TEST(Program, RunsFromItsSettingsAndSavesThemWhenClosed)
{
    // Where the program keeps its settings, in this test's own Wine prefix.
    TestKey key(L"Software\\VB and VBA Program Settings\\ZEL-VANTO");
    key.seed("PROCESS_TEXTBOX_1", "services.exe"); // Wine's service manager always runs
    key.seed("PROCESS_TEXTBOX_2", "zv-not-running.exe");
    key.seed("PROCESS_TEXTBOX_3", "x' OR Name<>'"); // no process, whatever WQL would make of it
    key.seed("MainLeft", "1500");

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + programPath() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info))
        << GetLastError();
    Found found{info.dwProcessId};
    ASSERT_TRUE(pumpUntil([&] {
        EnumWindows(&findMainWindow, reinterpret_cast<LPARAM>(&found));
        return found.window != nullptr;
    }));

    EXPECT_TRUE(pumpUntil([&] {
        return boxOnScreen(found.window, 1) == kGreen && boxOnScreen(found.window, 2) == kRed &&
               boxOnScreen(found.window, 3) == kRed;
    }));
    RECT outer{};
    GetWindowRect(found.window, &outer);
    EXPECT_EQ(outer.left, 100);
    // Per-monitor DPI aware, from its manifest.
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(found.window)),
              DPI_AWARENESS_PER_MONITOR_AWARE);

    PostMessageW(found.window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(key.stored("PROCESS_TEXTBOX_3"), "x' OR Name<>'");
    EXPECT_EQ(key.stored("PROCESS_TEXTBOX_4"), "");
    EXPECT_EQ(key.stored("MainLeft"), "1500");
    EXPECT_EQ(key.stored("MainHeight"), "4230");

    // The icon as designed: 100 x 100 in 256 colours.
    HMODULE program = LoadLibraryExW(programPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(iconFormat(program), std::make_tuple(100, 100, 8));
    FreeLibrary(program);
}
