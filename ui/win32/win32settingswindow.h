#pragma once

#include "designwindow.h"
#include "views.h"
#include "win32controls.h"

#include <windows.h>

#include <array>
#include <memory>

// The settings window in Win32: a fixed-size tool window owned by the main window, its labels,
// check boxes and button placed from the layout table. runModal() disables the owner and runs a
// message loop of its own, which also dispatches the main window's timers, until the window
// closes. Tab moves between the controls; Enter and Escape are bound to nothing.
class Win32SettingsWindow final : public SettingsView, private win32::MessageHandler
{
public:
    static constexpr const wchar_t *kClassName = L"ZEL_VANTO_SETTINGS";
    // Command ids; none is IDOK or IDCANCEL, which the dialog manager sends for Enter and Escape.
    static constexpr int kCreatorId = 200;
    static constexpr int enableBoxId(int n) { return 200 + n; } // n is 1..10
    static constexpr int kOkId = 211;
    static constexpr int kAlwaysOnTopId = 212;
    static constexpr int labelId(int i) { return 220 + i; } // the other labels, in table order

    explicit Win32SettingsWindow(HWND owner);
    ~Win32SettingsWindow() override;

    HWND hwnd() const { return m_window.hwnd(); }

    std::vector<ScreenArea> screens() const override { return win32::DesignWindow::screens(); }
    void place(PixelPoint outerCorner, PixelSize clientSize) override
    {
        m_window.place(outerCorner, clientSize);
    }
    PixelPoint outerCorner() const override { return m_window.outerCorner(); }
    PixelSize clientSize() const override { return m_window.clientSize(); }
    bool knowsPlace() const override { return true; }
    void focus(std::string_view control) override { m_window.focus(control); }
    std::string focused() const override { return m_window.focused(); }

    CheckBox &enableBox(int n) override;
    CheckBox &alwaysOnTopBox() override { return *m_alwaysOnTop; }
    void setCreatorCaption(std::string_view caption) override;
    void runModal(ZEL_VANTO_SETTINGS &behaviour) override;
    void closeWindow() override;

private:
    std::optional<LRESULT> onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void command(int id, int code);

    win32::DesignWindow m_window;
    HWND m_owner;
    HWND m_creator = nullptr;
    std::array<std::unique_ptr<Win32CheckBox>, keys::kSlotCount> m_enableBoxes;
    std::unique_ptr<Win32CheckBox> m_alwaysOnTop;
    ZEL_VANTO_SETTINGS *m_behaviour = nullptr;
    bool m_open = false;
};
