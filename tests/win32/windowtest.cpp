#include "windowtest.h"

#include "settingsbackend_win.h"
#include "wintext.h"

#include <gtest/gtest.h>
#include <ostream>
#include <random>

namespace {

constexpr wchar_t kTestsKey[] = L"Software\\ZEL-VANTO-tests";
Script *g_script = nullptr;

} // namespace

TestKey::TestKey(std::wstring path) : m_path(std::move(path))
{
    if (m_path.empty())
        m_path = kTestsKey + (L'\\' + std::to_wstring(std::random_device()()));
}

TestKey::~TestKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey); // once no other run's key is left in it
}

SettingsStore::Opener TestKey::opener() const
{
    return [path = m_path](std::string_view) {
        return platform::openRegistrySettings(HKEY_CURRENT_USER, path);
    };
}

void TestKey::seed(const std::string &key, const std::string &text) const
{
    ASSERT_TRUE(opener()({})->write(SettingsStore::kSection, {{key, text}}));
}

std::optional<std::string> TestKey::stored(const std::string &key) const
{
    return opener()({})->read(SettingsStore::kSection, key);
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

RECT placeOf(HWND control)
{
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&place), 2);
    return place;
}

Rgb pixel(HWND window, POINT point)
{
    if (window)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, point.x, point.y);
    ReleaseDC(window, dc);
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

bool rowHas(HWND window, int y, int left, int right, Rgb colour)
{
    pixel(window, {left, y}); // painted afresh once
    HDC dc = GetDC(window);
    int x = left;
    while (x < right && GetPixel(dc, x, y) != RGB(colour.red, colour.green, colour.blue))
        ++x;
    ReleaseDC(window, dc);
    return x < right;
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

bool operator==(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != 0;
}

void PrintTo(const RECT &rect, std::ostream *out)
{
    *out << '{' << rect.left << ',' << rect.top << ' ' << rect.right - rect.left << 'x'
         << rect.bottom - rect.top << '}';
}

Script::Script(std::deque<Step> steps)
    : m_steps(std::move(steps)), m_deadline(GetTickCount64() + 15000),
      m_timer(SetTimer(nullptr, 0, 20, &Script::onTimer))
{
    g_script = this;
}

Script::~Script()
{
    KillTimer(nullptr, m_timer);
    g_script = nullptr;
}

void CALLBACK Script::onTimer(HWND, UINT, UINT_PTR, DWORD)
{
    // A step may run a message loop of its own: no step starts while another runs.
    Script *script = g_script;
    if (!script || script->m_running || script->finished())
        return;
    if (GetTickCount64() > script->m_deadline && script->m_steps.size() > 1) {
        ADD_FAILURE() << "the script's step " << script->m_steps.size()
                      << " from the end never held";
        script->m_steps.erase(script->m_steps.begin(), script->m_steps.end() - 1);
    }
    script->m_running = true;
    if (script->m_steps.front()())
        script->m_steps.pop_front();
    script->m_running = false;
}

void Program::start()
{
    view.bind(main);
    view.onUnloaded([this] { ++unloads; });
    main.Form_Load();
    view.show();
}

Rgb Program::boxColour(int n) const
{
    const RECT place = placeOf(box(n));
    return pixel(hwnd(), {place.left + 4, place.top + 12});
}
