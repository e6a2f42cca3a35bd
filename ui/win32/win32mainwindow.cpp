#include "win32mainwindow.h"

#include "layout.h"
#include "win32settingswindow.h"
#include "zel_vanto_main.h"

#include <algorithm>

namespace {

std::size_t index(int n)
{
    return static_cast<std::size_t>(std::clamp(n, 1, 10) - 1);
}

// A tool window: thin caption, resizable border, a close button only, and no taskbar entry.
const win32::DesignWindow::Frame kFrame{
    Win32MainWindow::kClassName,
    layout::mainWindow::kCaption,
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN,
    WS_EX_TOOLWINDOW,
    nullptr,
    true,
};

} // namespace

Win32MainWindow::Win32MainWindow()
    : m_window(kFrame, *this), m_keeperTimer(m_window.hwnd(), kKeeperTimerId)
{
    namespace design = layout::mainWindow;
    for (int n = 1; n <= 10; ++n) {
        // Sunken, centred, single line; the design state shows boxes 1 to 5 until the load.
        const DWORD visible = n <= 5 ? WS_VISIBLE : 0;
        HWND edit = m_window.addControl(design::box(n), L"EDIT",
                                        visible | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL,
                                        WS_EX_CLIENTEDGE, boxId(n));
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0); // 0: as long as the system allows
        m_boxes[index(n)] = std::make_unique<Win32NameBox>(edit);
        m_timers[index(n)] = std::make_unique<Win32Timer>(m_window.hwnd(), UINT_PTR(n));
    }
    // After the boxes in tab order; above box 1, whose top border it overlaps by a pixel.
    HWND title =
        m_window.addControl(design::title(), L"STATIC",
                            WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY, 0, kTitleId);
    SetWindowPos(title, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The timers are killed before the window goes.
Win32MainWindow::~Win32MainWindow() = default;

void Win32MainWindow::show()
{
    ShowWindow(hwnd(), SW_SHOW);
    // The user expects to type at once: the focus goes to the box the load chose.
    SetForegroundWindow(hwnd());
    UpdateWindow(hwnd());
}

int Win32MainWindow::exec()
{
    MSG message{};
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!IsDialogMessageW(hwnd(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

NameBox &Win32MainWindow::box(int n)
{
    return *m_boxes[index(n)];
}

Timer &Win32MainWindow::slotTimer(int n)
{
    return *m_timers[index(n)];
}

platform::WindowId Win32MainWindow::windowId()
{
    return reinterpret_cast<platform::WindowId>(hwnd());
}

void Win32MainWindow::focusBox(int n)
{
    m_window.focus(m_boxes[index(n)]->hwnd());
}

std::unique_ptr<SettingsView> Win32MainWindow::createSettingsView()
{
    return std::make_unique<Win32SettingsWindow>(hwnd());
}

Win32NameBox *Win32MainWindow::boxOf(HWND edit) const
{
    for (const auto &box : m_boxes) {
        if (box && box->hwnd() == edit)
            return box.get();
    }
    return nullptr;
}

std::optional<LRESULT> Win32MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLOREDIT:
        if (const Win32NameBox *box = boxOf(reinterpret_cast<HWND>(lParam)))
            return box->paint(reinterpret_cast<HDC>(wParam));
        return std::nullopt;
    case WM_TIMER:
        if (!m_behaviour)
            return 0;
        if (wParam == kKeeperTimerId)
            m_behaviour->AlwaysOnTopTimer_Timer();
        else if (wParam >= 1 && wParam <= 10)
            m_behaviour->PROCESS_WATCHER_TIMER_Timer(static_cast<int>(wParam));
        return 0;
    case WM_COMMAND:
        // Enter and Escape reach here as IDOK and IDCANCEL from the dialog manager: nothing is
        // bound to them.
        if (LOWORD(wParam) == kTitleId && HIWORD(wParam) == STN_CLICKED && m_behaviour)
            m_behaviour->ZEL_TITLE_Click();
        return 0;
    case WM_CLOSE:
        // The window stays until the program ends; the unload has saved everything.
        if (m_behaviour)
            m_behaviour->Form_Unload();
        if (m_unloaded)
            m_unloaded();
        return 0;
    case WM_QUERYENDSESSION:
        // The session may yet go on: save without unloading.
        if (m_behaviour)
            m_behaviour->saveState();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam && m_behaviour)
            m_behaviour->Form_Unload();
        return 0;
    default:
        return std::nullopt;
    }
}
