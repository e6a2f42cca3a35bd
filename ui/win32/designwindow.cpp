#include "designwindow.h"

#include "win32controls.h"
#include "win32resources.h"
#include "wintext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cwchar>

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
    for (const Font &made : m_fonts)
        DeleteObject(made.handle);
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
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fittedFont(design)), FALSE);
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
    // A move onto a monitor of another DPI sends WM_DPICHANGED, whose suggested size is the one
    // given here scaled once more: the size is that monitor's already, so it is kept.
    m_placing = true;
    SetWindowPos(m_hwnd, nullptr, outerCorner.x, outerCorner.y, width, height, kMoveOnly);
    m_placing = false;
    // The frame may differ from what was computed: drawn by someone else (a window manager under
    // Wine), or at the DPI of the monitor the window now stands on. Size the client area by what
    // it really got.
    const PixelSize got = this->clientSize();
    if (got != clientSize) {
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
        if (!m_placing)
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
    std::vector<Font> old;
    old.swap(m_fonts);
    m_fontDpi = dpi;
    for (const Control &control : m_controls) {
        const PixelRect place = toPixels(control.design->place, dpi);
        SetWindowPos(control.hwnd, nullptr, place.x, place.y, place.width, place.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control.hwnd, WM_SETFONT,
                     reinterpret_cast<WPARAM>(fittedFont(*control.design)), TRUE);
    }
    for (const Font &made : old)
        DeleteObject(made.handle);
}

namespace {

// The design's families, then the scalable faces that stand in for its bitmap font on Windows.
constexpr std::array<const wchar_t *, 4> kScalableFamilies{L"Microsoft Sans Serif", L"Tahoma",
                                                           L"Segoe UI", L"Arial"};

struct Measured
{
    TEXTMETRICW metrics{};
    std::wstring face;
    int width = 0; // of the text measured
};

Measured measure(HFONT font, std::wstring_view text)
{
    Measured result;
    HDC dc = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, font);
    GetTextMetricsW(dc, &result.metrics);
    wchar_t face[LF_FACESIZE] = {};
    result.face.assign(
        face, static_cast<std::size_t>(std::max(0, GetTextFaceW(dc, LF_FACESIZE, face) - 1)));
    SIZE size{};
    if (!text.empty() &&
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size))
        result.width = size.cx;
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return result;
}

HFONT createFont(const wchar_t *family, int pixelHeight, bool bold)
{
    return CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, family);
}

} // namespace

HFONT DesignWindow::font(int pixelHeight, bool bold)
{
    for (const Font &made : m_fonts) {
        if (made.pixelHeight == pixelHeight && made.bold == bold)
            return made.handle;
    }
    // The design's first family, unless it is a bitmap font without this size (it would be
    // drawn at another size): then a scalable face of the same look that the system has.
    const std::wstring design = platform::toUtf16(layout::kFontFamilies.front());
    HFONT handle = createFont(design.c_str(), pixelHeight, bold);
    const Measured got = measure(handle, {});
    const bool scalable = (got.metrics.tmPitchAndFamily & TMPF_VECTOR) != 0;
    if (!scalable && got.metrics.tmHeight - got.metrics.tmInternalLeading != pixelHeight) {
        for (const wchar_t *family : kScalableFamilies) {
            HFONT other = createFont(family, pixelHeight, bold);
            if (_wcsicmp(measure(other, {}).face.c_str(), family) == 0) {
                DeleteObject(handle);
                handle = other;
                break;
            }
            DeleteObject(other);
        }
    }
    m_fonts.push_back({pixelHeight, bold, handle});
    return handle;
}

HFONT DesignWindow::fittedFont(const layout::Control &design)
{
    int height = static_cast<int>(std::lround(design.font.pointSize * m_fontDpi / 72.0));
    const std::wstring caption = platform::toUtf16(design.caption);
    if (caption.empty() || design.kind == layout::Kind::TextBox)
        return font(height, design.font.bold);
    // The room the control leaves its caption: a check box's box and the gap after it, a
    // button's edges.
    const PixelRect place = toPixels(design.place, m_fontDpi);
    const auto scaled = [this](int pixelsAt96) { return MulDiv(pixelsAt96, m_fontDpi, 96); };
    int room = place.width - 2;
    if (design.kind == layout::Kind::CheckBox)
        room = place.width - scaled(13) - scaled(4);
    else if (design.kind == layout::Kind::Button)
        room = place.width - scaled(8);
    // The design's size where the caption fits, else the largest size at which it does.
    for (; height > 6; --height) {
        HFONT made = font(height, design.font.bold);
        const Measured got = measure(made, caption);
        if (got.width <= room && got.metrics.tmHeight <= place.height)
            return made;
    }
    return font(height, design.font.bold);
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
