#include "windowtest.h"

#include "wintext.h"

#include <gtest/gtest.h>
#include <random>

namespace {

constexpr wchar_t kTestsKey[] = L"Software\\ZEL-VANTO-tests";

// The steps that runDuring() runs; a thread timer's callback has nothing else to reach them by.
std::deque<Step> g_steps;
ULONGLONG g_deadline = 0;
bool g_stepRunning = false;

void CALLBACK runStep(HWND, UINT, UINT_PTR, DWORD)
{
    // A step may run a message loop of its own: no step starts while another runs.
    if (g_stepRunning || g_steps.empty())
        return;
    if (GetTickCount64() > g_deadline && g_steps.size() > 1) {
        ADD_FAILURE() << "the step " << g_steps.size() << " from the end never held";
        g_steps.erase(g_steps.begin(), g_steps.end() - 1);
    }
    g_stepRunning = true;
    if (g_steps.front()())
        g_steps.pop_front();
    g_stepRunning = false;
}

} // namespace

TestKey::TestKey(std::wstring keyPath) : path(std::move(keyPath))
{
    if (path.empty())
        path = kTestsKey + (L'\\' + std::to_wstring(std::random_device()()));
}

TestKey::~TestKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey); // once no other run's key is left in it
}

std::unique_ptr<platform::SettingsBackend> TestKey::backend() const
{
    return platform::openRegistrySettings(HKEY_CURRENT_USER, path);
}

void TestKey::seed(const std::vector<platform::StoredValue> &values) const
{
    ASSERT_TRUE(backend()->write(SettingsStore::kSection, values));
}

std::optional<std::string> TestKey::stored(const std::string &key) const
{
    return backend()->read(SettingsStore::kSection, key);
}

Child::Child(std::wstring commandLine, DWORD flags)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                               nullptr, &startup, &info));
}

Child::~Child()
{
    end();
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

void Child::end() const
{
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
}

std::wstring ownPath()
{
    wchar_t path[MAX_PATH];
    return {path, GetModuleFileNameW(nullptr, path, MAX_PATH)};
}

std::string ownImageName()
{
    const std::wstring path = ownPath();
    return platform::toUtf8(path.substr(path.rfind(L'\\') + 1));
}

bool pumpUntil(const std::function<bool()> &done)
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            return true;
        if (GetTickCount64() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

Place placeOf(HWND window)
{
    RECT place{};
    GetWindowRect(window, &place);
    // A top-level window without an owner has no parent: its place stays on the screen.
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&place), 2);
    return {place.left, place.top, place.right, place.bottom};
}

Rgb pixel(HWND window, POINT point, bool repaint)
{
    if (window && repaint)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, point.x, point.y);
    ReleaseDC(window, dc);
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

bool rowHas(HWND window, int y, int left, int right, Rgb colour)
{
    for (int x = left; x < right; ++x) {
        if (pixel(window, {x, y}, x == left) == colour)
            return true;
    }
    return false;
}

bool runDuring(const std::function<void()> &open, std::deque<Step> steps)
{
    g_steps = std::move(steps);
    g_deadline = GetTickCount64() + 15000;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &runStep);
    open();
    KillTimer(nullptr, timer);
    return g_steps.empty();
}
