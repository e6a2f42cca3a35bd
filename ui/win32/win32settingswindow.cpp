#include "win32settingswindow.h"

#include "layout.h"
#include "wintext.h"
#include "zel_vanto_settings.h"

#include <vector>

namespace {

// A fixed-size tool window with a close button only; owned, so off the taskbar.
win32::DesignWindow::Frame frame(HWND owner)
{
    return {Win32SettingsWindow::kClassName,
            layout::settingsWindow::kCaption,
            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
            WS_EX_TOOLWINDOW,
            owner,
            false};
}

constexpr DWORD kCheckBoxStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;

} // namespace

Win32SettingsWindow::Win32SettingsWindow(HWND owner) : m_window(frame(owner), *this), m_owner(owner)
{
    const layout::Window &design = layout::settingsWindow::window();
    // The dialog manager's tab order is the order of creation: the controls that take the focus
    // first, in the design's order, then the labels.
    std::vector<const layout::Control *> order = design.tabOrder();
    for (const layout::Control &control : design.controls) {
        if (control.tabIndex == layout::kNoTab)
            order.push_back(&control);
    }
    int label = 0;
    for (const layout::Control *control : order) {
        switch (control->role) {
        case layout::Role::EnableBox:
        case layout::Role::AlwaysOnTop: {
            const bool slot = control->role == layout::Role::EnableBox;
            auto box = std::make_unique<Win32CheckBox>(
                m_window.addControl(*control, L"BUTTON", kCheckBoxStyle, 0,
                                    slot ? enableBoxId(control->slot) : kAlwaysOnTopId));
            box->setChecked(control->designChecked);
            (slot ? m_enableBoxes[keys::slotIndex(control->slot)] : m_alwaysOnTop) = std::move(box);
            break;
        }
        case layout::Role::Ok:
            // A plain push button: no default button, so Enter presses nothing.
            m_window.addControl(*control, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
                                kOkId);
            break;
        case layout::Role::Creator:
            // The credit line reports double-clicks; the other labels are plain text.
            m_creator = m_window.addControl(*control, L"STATIC",
                                            WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY, 0,
                                            kCreatorId);
            break;
        case layout::Role::Label:
        case layout::Role::Title:
        case layout::Role::NameBox:
            m_window.addControl(*control, L"STATIC", WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 0,
                                labelId(++label));
            break;
        }
    }
}

Win32SettingsWindow::~Win32SettingsWindow() = default;

CheckBox &Win32SettingsWindow::enableBox(int n)
{
    return *m_enableBoxes[keys::slotIndex(n)];
}

void Win32SettingsWindow::setCreatorCaption(std::string_view caption)
{
    SetWindowTextW(m_creator, platform::toUtf16(caption).c_str());
}

void Win32SettingsWindow::runModal(ZEL_VANTO_SETTINGS &behaviour)
{
    m_behaviour = &behaviour;
    m_open = true;
    EnableWindow(m_owner, FALSE);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());

    MSG message{};
    while (m_open) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: close as the close control would, then pass the quit on
            // to the main loop.
            closeWindow();
            if (got == 0)
                PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!IsDialogMessageW(hwnd(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The owner first, so that it is the window that becomes active when this one goes; and
    // activated while this one still has the foreground, which a window manager that does not
    // pass the focus back to a window without a taskbar entry would give to another program.
    EnableWindow(m_owner, TRUE);
    if (GetForegroundWindow() == hwnd())
        SetForegroundWindow(m_owner);
    ShowWindow(hwnd(), SW_HIDE);
    m_behaviour = nullptr;
}

void Win32SettingsWindow::closeWindow()
{
    SendMessageW(hwnd(), WM_CLOSE, 0, 0);
}

std::optional<LRESULT> Win32SettingsWindow::onMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // The behaviour runs the unload once, however often the window is asked to close.
        if (m_behaviour)
            m_behaviour->Form_Unload();
        m_open = false;
        return 0;
    case WM_ENDSESSION:
        if (wParam && m_behaviour)
            m_behaviour->Form_Unload();
        return 0;
    default:
        return std::nullopt;
    }
}

void Win32SettingsWindow::command(int id, int code)
{
    if (!m_behaviour)
        return;
    // The dialog manager reports Enter as IDOK and Escape as IDCANCEL; the window binds neither.
    if (id == IDOK || id == IDCANCEL) {
        m_behaviour->Form_KeyDown(id == IDOK ? layout::Key::Enter : layout::Key::Escape);
        return;
    }
    if (id == kCreatorId && code == STN_DBLCLK) {
        m_behaviour->ZEL_VANTO_CREATOR_DblClick();
        return;
    }
    if (code != BN_CLICKED)
        return;
    if (id == kOkId)
        m_behaviour->OK_BUTTON_Click();
    else if (id == kAlwaysOnTopId)
        m_behaviour->AlwaysOnTopTimer_TICKBOX_Click();
    else if (id >= enableBoxId(1) && id <= enableBoxId(10))
        m_behaviour->ENABLE_PW_Click(id - enableBoxId(1) + 1);
}
