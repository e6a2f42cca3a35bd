#include "designwindow.h"

#include "win32controls.h"
#include "win32resources.h"
#include "wintext.h"

#include <cmath>

namespace win32 {

namespace {

HICON programIcon(int metricX, int metricY)
{
    // Shared: loaded once for the process and never freed. Null where the executable has none
    // (tests).
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZV_IDI_PROGRAM), IMAGE_ICON,
                   GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_SHARED));
}

void registerClass(const DesignWindow::Frame &frame, WNDPROC procedure)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, frame.className, &existing))
        return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // The system's button-face colour, as both windows are designed.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = frame.className;
    if (frame.programIcon) {
        windowClass.hIcon = programIcon(SM_CXICON, SM_CYICON);
        windowClass.hIconSm = programIcon(SM_CXSMICON, SM_CYSMICON);
    }
    RegisterClassExW(&windowClass);
}

// A monitor's dots per inch. What says it lives in a library the program does not link (Windows
// 8.1 on), so it is looked up at run time; without it every monitor has the system's DPI.
int monitorDpi(HMONITOR monitor)
{
    using GetDpiForMonitorFn = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
    static const GetDpiForMonitorFn getDpiForMonitor = [] {
        const HMODULE shcore = LoadLibraryW(L"shcore.dll");
        const FARPROC found = shcore ? GetProcAddress(shcore, "GetDpiForMonitor") : nullptr;
        return reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void *>(found));
    }();
    constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor && getDpiForMonitor(monitor, kEffectiveDpi, &x, &y) == S_OK && x > 0)
        return static_cast<int>(x);
    const UINT system = GetDpiForSystem();
    return system ? static_cast<int>(system) : twips::kDefaultDpi;
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto &areas = *reinterpret_cast<std::vector<ScreenArea> *>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info))
        return TRUE;
    const RECT &work = info.rcWork;
    const ScreenArea area{{work.left, work.top, work.right - work.left, work.bottom - work.top},
                          monitorDpi(monitor)};
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        areas.insert(areas.begin(), area);
    else
        areas.push_back(area);
    return TRUE;
}

} // namespace

DesignWindow::DesignWindow(const Frame &frame, MessageHandler &handler) : m_handler(handler)
{
    registerClass(frame, &DesignWindow::windowProc);
    m_labelBrush = CreateSolidBrush(colorRef(layout::kLabelBackground));
    m_hwnd = CreateWindowExW(frame.exStyle, frame.className,
                             platform::toUtf16(frame.caption).c_str(), frame.style, 0, 0, 0, 0,
                             frame.owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    // From here on the messages come here; those of the creation had the default handling.
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_fontDpi = dpi();
}

DesignWindow::~DesignWindow()
{
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hwnd); // and its controls
    for (const auto &[design, handle] : m_fonts)
        DeleteObject(handle);
    DeleteObject(m_labelBrush);
}

HWND DesignWindow::addControl(const layout::Control &design, const wchar_t *windowClass,
                              DWORD style, DWORD exStyle, int id)
{
    const PixelRect place = toPixels(design.place, m_fontDpi);
    // The design's controls overlap by a pixel where their borders coincide: each paints only
    // what no control above it covers.
    HWND control = CreateWindowExW(
        exStyle, windowClass, platform::toUtf16(design.caption).c_str(),
        style | WS_CHILD | WS_CLIPSIBLINGS, place.x, place.y, place.width, place.height, m_hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font(design.font)), FALSE);
    m_controls.push_back({control, &design});
    if (!design.accessibleName.empty())
        setAccessibleName(control, design.accessibleName);
    return control;
}

HWND DesignWindow::control(std::string_view name) const
{
    for (const Control &known : m_controls) {
        if (known.design->name == name)
            return known.hwnd;
    }
    return nullptr;
}

int DesignWindow::dpi() const
{
    const UINT dpi = GetDpiForWindow(m_hwnd);
    return dpi ? static_cast<int>(dpi) : twips::kDefaultDpi;
}

std::vector<ScreenArea> DesignWindow::screens()
{
    std::vector<ScreenArea> areas;
    EnumDisplayMonitors(nullptr, nullptr, &addMonitor, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

void DesignWindow::place(PixelPoint outerCorner, PixelSize clientSize)
{
    const PixelSize frame = frameSize();
    int width = clientSize.width + frame.width;
    int height = clientSize.height + frame.height;
    constexpr UINT kMoveOnly = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    const int dpiBefore = dpi();
    SetWindowPos(m_hwnd, nullptr, outerCorner.x, outerCorner.y, width, height, kMoveOnly);
    // A frame drawn by someone else (a window manager under Wine) may differ from what the
    // system computed: size the client area by what it really got. Unless the move took the
    // window to a monitor of another DPI, which has scaled it already (WM_DPICHANGED).
    const PixelSize got = this->clientSize();
    if (got != clientSize && dpi() == dpiBefore) {
        width += clientSize.width - got.width;
        height += clientSize.height - got.height;
        SetWindowPos(m_hwnd, nullptr, outerCorner.x, outerCorner.y, width, height, kMoveOnly);
    }
}

namespace {

// The normal place of a maximised or minimised window. A tool window's normal place is in
// screen coordinates.
std::optional<RECT> normalPlace(HWND window)
{
    if (!IsZoomed(window) && !IsIconic(window))
        return std::nullopt;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return std::nullopt;
    return placement.rcNormalPosition;
}

} // namespace

PixelSize DesignWindow::frameSize() const
{
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_STYLE)),
                             FALSE, static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE)),
                             static_cast<UINT>(dpi()));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

PixelPoint DesignWindow::outerCorner() const
{
    RECT outer{};
    if (const std::optional<RECT> normal = normalPlace(m_hwnd))
        outer = *normal;
    else
        GetWindowRect(m_hwnd, &outer);
    return {outer.left, outer.top};
}

PixelSize DesignWindow::clientSize() const
{
    if (const std::optional<RECT> normal = normalPlace(m_hwnd)) {
        const PixelSize frame = frameSize();
        return {(normal->right - normal->left) - frame.width,
                (normal->bottom - normal->top) - frame.height};
    }
    RECT client{};
    GetClientRect(m_hwnd, &client);
    return {client.right, client.bottom};
}

void DesignWindow::focus(HWND control)
{
    m_focus = control;
    if (GetActiveWindow() == m_hwnd)
        SetFocus(control);
}

void DesignWindow::focus(std::string_view name)
{
    if (HWND known = control(name))
        focus(known);
}

std::string DesignWindow::focused() const
{
    HWND now = GetFocus();
    if (!now || !IsChild(m_hwnd, now))
        now = m_focus;
    for (const Control &known : m_controls) {
        if (known.hwnd == now)
            return known.design->name;
    }
    return {};
}

LRESULT CALLBACK DesignWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *window = reinterpret_cast<DesignWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return window ? window->handle(message, wParam, lParam)
                  : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT DesignWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        if (isLabel(reinterpret_cast<HWND>(lParam))) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, colorRef(layout::kLabelText));
            SetBkColor(dc, colorRef(layout::kLabelBackground));
            return reinterpret_cast<LRESULT>(m_labelBrush);
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            // Where the focus was goes back there when the window is active again.
            if (HWND focused = GetFocus(); focused && IsChild(m_hwnd, focused))
                m_focus = focused;
        } else if (m_focus && IsWindowVisible(m_focus) && !HIWORD(wParam)) {
            SetFocus(m_focus);
            return 0;
        }
        break;
    case WM_GETMINMAXINFO: {
        // The design sets no minimum size; the system's minimum is wider than the main window.
        const PixelSize frame = frameSize();
        auto *limits = reinterpret_cast<MINMAXINFO *>(lParam);
        limits->ptMinTrackSize = {frame.width + 1, frame.height + 1};
        return 0;
    }
    case WM_DPICHANGED: {
        layoutAt(LOWORD(wParam));
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    default:
        break;
    }
    if (const std::optional<LRESULT> result = m_handler.onMessage(message, wParam, lParam))
        return *result;
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void DesignWindow::layoutAt(int dpi)
{
    std::vector<std::pair<layout::Font, HFONT>> old;
    old.swap(m_fonts);
    m_fontDpi = dpi;
    for (const Control &control : m_controls) {
        const PixelRect place = toPixels(control.design->place, dpi);
        SetWindowPos(control.hwnd, nullptr, place.x, place.y, place.width, place.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(control.design->font)),
                     TRUE);
    }
    for (const auto &[design, handle] : old)
        DeleteObject(handle);
}

HFONT DesignWindow::font(const layout::Font &design)
{
    for (const auto &[made, handle] : m_fonts) {
        if (made.pointSize == design.pointSize && made.bold == design.bold)
            return handle;
    }
    // The design's first family; where the system lacks it, its font substitution stands in.
    const std::wstring family = platform::toUtf16(layout::kFontFamilies.front());
    const int height = -static_cast<int>(std::lround(design.pointSize * m_fontDpi / 72.0));
    HFONT handle = CreateFontW(height, 0, 0, 0, design.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, family.c_str());
    m_fonts.emplace_back(design, handle);
    return handle;
}

bool DesignWindow::isLabel(HWND control) const
{
    for (const Control &known : m_controls) {
        if (known.hwnd == control)
            return known.design->kind == layout::Kind::Label;
    }
    return false;
}

} // namespace win32
