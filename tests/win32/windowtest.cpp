#include "windowtest.h"

#include "settingsbackend_win.h"
#include "wintext.h"

#include <gtest/gtest.h>
#include <ostream>
#include <random>

namespace {

constexpr wchar_t kTestsKey[] = L"Software\\ZEL-VANTO-tests";

Rgb toRgb(COLORREF colour)
{
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

} // namespace

TestKey::TestKey(std::wstring path) : m_path(std::move(path)), m_owned(m_path.empty())
{
    if (m_owned) {
        std::random_device random;
        m_path = std::wstring(kTestsKey) + L'\\' + std::to_wstring(random()) + L"\\ZEL-VANTO";
    }
}

TestKey::~TestKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str());
    if (m_owned) {
        const std::wstring run = m_path.substr(0, m_path.rfind(L'\\'));
        RegDeleteKeyW(HKEY_CURRENT_USER, run.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey); // only when no other run's key is left
    }
}

SettingsStore::Opener TestKey::opener() const
{
    // The application's key is the path itself, whatever application the store names.
    return [path = m_path](std::string_view) {
        return platform::openRegistrySettings(HKEY_CURRENT_USER, path);
    };
}

void TestKey::seed(const std::string &key, const std::string &text)
{
    ASSERT_TRUE(platform::openRegistrySettings(HKEY_CURRENT_USER, m_path)
                    ->write(SettingsStore::kSection, {{key, text}}));
}

std::optional<std::string> TestKey::stored(const std::string &key) const
{
    return platform::openRegistrySettings(HKEY_CURRENT_USER, m_path)
        ->read(SettingsStore::kSection, key);
}

bool operator==(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != 0;
}

void PrintTo(const RECT &rect, std::ostream *out)
{
    *out << '{' << rect.left << ',' << rect.top << ' ' << rect.right - rect.left << 'x'
         << rect.bottom - rect.top << '}';
}

void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool pumpUntil(const std::function<bool()> &done, int timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        pump();
        if (done())
            return true;
        if (GetTickCount64() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

RECT placeOf(HWND control)
{
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&place), 2);
    return place;
}

Rgb pixel(HWND window, POINT clientPoint)
{
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, clientPoint.x, clientPoint.y);
    ReleaseDC(window, dc);
    return toRgb(colour);
}

Rgb screenPixel(POINT screenPoint)
{
    HDC dc = GetDC(nullptr);
    const COLORREF colour = GetPixel(dc, screenPoint.x, screenPoint.y);
    ReleaseDC(nullptr, dc);
    return toRgb(colour);
}

bool rowHas(HWND window, int y, int left, int right, Rgb colour)
{
    pixel(window, {left, y}); // painted afresh once
    HDC dc = GetDC(window);
    bool found = false;
    for (int x = left; x < right && !found; ++x)
        found = toRgb(GetPixel(dc, x, y)) == colour;
    ReleaseDC(window, dc);
    return found;
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ownImageName()
{
    wchar_t path[MAX_PATH];
    const std::wstring full(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return platform::toUtf8(full.substr(full.rfind(L'\\') + 1));
}

namespace {
Script *g_script = nullptr;
}

Script::Script(std::vector<Step> steps) : m_steps(std::move(steps))
{
    g_script = this;
    m_stepStarted = GetTickCount();
    m_timer = SetTimer(nullptr, 0, 20, &Script::onTimer);
}

Script::~Script()
{
    KillTimer(nullptr, m_timer);
    g_script = nullptr;
}

void CALLBACK Script::onTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_script && g_script->m_timer == id)
        g_script->run();
}

void Script::run()
{
    // A step may run a message loop of its own (a click that opens a window): no step starts
    // while another runs.
    if (m_running || finished())
        return;
    m_running = true;
    const std::size_t step = m_next;
    if (m_steps[step]()) {
        ++m_next;
        m_stepStarted = GetTickCount();
    } else if (GetTickCount() - m_stepStarted > 10000) {
        ADD_FAILURE() << "step " << step + 1 << " of the script did not hold within 10 s";
        m_next = m_steps.size() - 1;
        m_stepStarted = GetTickCount();
    }
    m_running = false;
}

void Program::start()
{
    view.bind(main);
    view.onUnloaded([this] { ++unloads; });
    main.Form_Load();
    view.show();
    pump();
}

Rgb Program::boxColour(int n) const
{
    const RECT place = placeOf(box(n));
    return pixel(hwnd(), {place.left + 4, place.top + 12});
}
