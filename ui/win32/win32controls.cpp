#include "win32controls.h"

#include "wintext.h"

#include <algorithm>
#include <commctrl.h>

Win32NameBox::Win32NameBox(HWND edit, HWND toolTips) : m_edit(edit), m_toolTips(toolTips)
{
    TTTOOLINFOW tool{};
    // The size the common controls of every Windows accept; without their version 6 in the
    // manifest, the newest size is refused.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(edit);
    tool.uId = reinterpret_cast<UINT_PTR>(edit);
    tool.lpszText = const_cast<wchar_t *>(L"");
    SendMessageW(m_toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

Win32NameBox::~Win32NameBox()
{
    if (m_brush)
        DeleteObject(m_brush);
}

std::string Win32NameBox::text() const
{
    // One unit more than the length, for the terminator; a text that grew meanwhile is cut
    // there, as any read of a moment would be.
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_edit)) + 1, L'\0');
    const int length = GetWindowTextW(m_edit, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return platform::toUtf8(text);
}

void Win32NameBox::setText(const std::string &text)
{
    m_settingText = true;
    SetWindowTextW(m_edit, platform::toUtf16(text).c_str());
    m_settingText = false;
}

void Win32NameBox::setTextColour(Rgb colour)
{
    const COLORREF text = colorRef(colour);
    if (m_text == text)
        return;
    m_text = text;
    InvalidateRect(m_edit, nullptr, TRUE);
}

void Win32NameBox::setDescription(const std::string &description)
{
    setAccessibleDescription(m_edit, description);
}

bool Win32NameBox::hasFocus() const
{
    // The thread keeps its focus window while another program is in front; that is no focus.
    return GetFocus() == m_edit && GetForegroundWindow() == GetAncestor(m_edit, GA_ROOT);
}

void Win32NameBox::announce(const std::string &)
{
    // The words are the box's description, set before: a screen reader speaks a change of the
    // focused object's description.
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, m_edit, OBJID_CLIENT, CHILDID_SELF);
}

void Win32NameBox::setToolTip(const std::string &toolTip)
{
    const std::wstring text = platform::toUtf16(toolTip);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = GetParent(m_edit);
    tool.uId = reinterpret_cast<UINT_PTR>(m_edit);
    tool.lpszText = const_cast<wchar_t *>(text.c_str());
    SendMessageW(m_toolTips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32NameBox::setBackground(Rgb colour)
{
    const COLORREF background = colorRef(colour);
    HBRUSH brush = CreateSolidBrush(background);
    if (!brush)
        return;
    if (m_brush)
        DeleteObject(m_brush);
    m_brush = brush;
    m_background = background;
    InvalidateRect(m_edit, nullptr, TRUE);
}

void Win32NameBox::setVisible(bool visible)
{
    ShowWindow(m_edit, visible ? SW_SHOWNA : SW_HIDE);
}

std::optional<LRESULT> Win32NameBox::paint(HDC dc) const
{
    if (!m_background)
        return std::nullopt;
    // The text keeps the system's window text colour unless that is unreadable on the state's
    // colour.
    SetTextColor(dc, m_text.value_or(GetSysColor(COLOR_WINDOWTEXT)));
    SetBkColor(dc, *m_background);
    return reinterpret_cast<LRESULT>(m_brush);
}

void Win32Timer::setInterval(int milliseconds)
{
    m_interval = static_cast<UINT>(std::max(milliseconds, int{USER_TIMER_MINIMUM}));
    if (m_running)
        start();
}

void Win32Timer::start()
{
    // The same id replaces a running timer: its next tick is one interval from now.
    m_running = SetTimer(m_window, m_id, m_interval, nullptr) != 0;
}

void Win32Timer::stop()
{
    if (m_running)
        KillTimer(m_window, m_id);
    m_running = false;
}

bool Win32CheckBox::isChecked() const
{
    return SendMessageW(m_button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32CheckBox::setChecked(bool checked)
{
    SendMessageW(m_button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
