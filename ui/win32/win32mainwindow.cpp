#include "win32mainwindow.h"

#include "layout.h"
#include "win32settingswindow.h"
#include "wintext.h"
#include "zel_vanto_main.h"

#include <algorithm>
#include <commctrl.h>

namespace {

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
    : m_window(kFrame, *this), m_keeperTimer(m_window.hwnd(), kKeeperTimerId),
      m_nameSaveTimer(m_window.hwnd(), kNameSaveTimerId)
{
    namespace design = layout::mainWindow;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The boxes' tooltips show a whole name that the box cuts off, and its state. Their window
    // has no owner: an owned topmost window keeps its owner below itself, and Wine then takes
    // the owner's own topmost mark away, which "Always On Top" needs. A topmost tool window of
    // its own shows above everything anyway; it goes with the main window (destructor).
    m_toolTips =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_toolTips, TTM_SETMAXTIPWIDTH, 0, 600);
    // In tab order, which is the dialog manager's order of creation.
    for (const layout::Control *control : design::window().tabOrder()) {
        if (control->role == layout::Role::NameBox) {
            // Sunken, centred, single line, shown as designed until the load.
            const int n = control->slot;
            HWND edit = m_window.addControl(*control, L"EDIT",
                                            (control->designVisible ? WS_VISIBLE : 0) | WS_TABSTOP |
                                                ES_CENTER | ES_AUTOHSCROLL,
                                            WS_EX_CLIENTEDGE, boxId(n));
            SendMessageW(edit, EM_SETLIMITTEXT, layout::kMaxNameLength, 0);
            m_boxes[keys::slotIndex(n)] = std::make_unique<Win32NameBox>(edit, m_toolTips);
            m_timers[keys::slotIndex(n)] =
                std::make_unique<Win32Timer>(m_window.hwnd(), UINT_PTR(n));
        } else if (control->role == layout::Role::Title) {
            // A button drawn as the design's label, so that it takes the focus; above box 1,
            // whose top border it overlaps by a pixel.
            m_title = m_window.addControl(*control, L"BUTTON",
                                          WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, kTitleId);
            SetWindowPos(m_title, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            setAccessiblePushButton(m_title);
        }
    }
}

// The timers are killed before the window goes.
Win32MainWindow::~Win32MainWindow()
{
    DestroyWindow(m_toolTips);
}

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
    return *m_boxes[keys::slotIndex(n)];
}

Timer &Win32MainWindow::slotTimer(int n)
{
    return *m_timers[keys::slotIndex(n)];
}

platform::WindowId Win32MainWindow::windowId()
{
    return reinterpret_cast<platform::WindowId>(hwnd());
}

Rgb Win32MainWindow::windowTextColour() const
{
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    return {GetRValue(text), GetGValue(text), GetBValue(text)};
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
        timer(wParam);
        return 0;
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        if (wParam == kTitleId) {
            drawTitle(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
            return TRUE;
        }
        return std::nullopt;
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

void Win32MainWindow::timer(UINT_PTR id)
{
    if (!m_behaviour)
        return;
    if (id == kKeeperTimerId)
        m_behaviour->AlwaysOnTopTimer_Timer();
    else if (id == kNameSaveTimerId)
        m_behaviour->NameSaveTimer_Timer();
    else if (id >= 1 && id <= keys::kSlotCount)
        m_behaviour->PROCESS_WATCHER_TIMER_Timer(static_cast<int>(id));
}

void Win32MainWindow::command(int id, int code)
{
    if (!m_behaviour)
        return;
    // The dialog manager reports Enter as IDOK and Escape as IDCANCEL, whichever control has
    // the focus; what they do there is the behaviour's to say.
    if (id == IDOK || id == IDCANCEL) {
        m_behaviour->KeyDown(m_window.focused(),
                             id == IDOK ? layout::Key::Enter : layout::Key::Escape);
        return;
    }
    if (id == kTitleId && code == BN_CLICKED) {
        m_behaviour->ZEL_TITLE_Click();
        return;
    }
    for (int n = 1; n <= keys::kSlotCount; ++n) {
        if (id != boxId(n))
            continue;
        if (code == EN_CHANGE && !m_boxes[keys::slotIndex(n)]->settingText())
            m_behaviour->PROCESS_TEXTBOX_Change(n);
        else if (code == EN_KILLFOCUS)
            m_behaviour->PROCESS_TEXTBOX_LostFocus(n);
    }
}

void Win32MainWindow::drawTitle(const DRAWITEMSTRUCT &item) const
{
    // The design's label: green text on black, centred; where the keyboard is, as a button
    // shows it.
    FillRect(item.hDC, &item.rcItem, m_window.labelBrush());
    const auto font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = SelectObject(item.hDC, font);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, colorRef(layout::kLabelText));
    RECT text = item.rcItem;
    const std::wstring caption = platform::toUtf16(layout::mainWindow::title().caption);
    DrawTextW(item.hDC, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, previous);
    if (item.itemState & ODS_FOCUS) {
        // A frame in the text's colour, which stands out from the black strip as the text does.
        const int width = MulDiv(layout::kFocusFrameWidth, m_window.dpi(), twips::kDefaultDpi);
        const HBRUSH frame = CreateSolidBrush(colorRef(layout::kLabelText));
        RECT edge = item.rcItem;
        for (int i = 0; i < width; ++i, InflateRect(&edge, -1, -1))
            FrameRect(item.hDC, &edge, frame);
        DeleteObject(frame);
    }
}
