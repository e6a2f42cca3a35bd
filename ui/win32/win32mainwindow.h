#pragma once

#include "designwindow.h"
#include "views.h"
#include "win32controls.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>

class ZEL_VANTO_MAIN;

// The main window in Win32: a resizable tool window, kept off the taskbar, with the title strip
// and ten name boxes placed from the layout table. Every event goes to the behaviour it is bound
// to; its own timers' WM_TIMER arrive here, also while the settings window runs modally.
class Win32MainWindow final : public MainView, private win32::MessageHandler
{
public:
    static constexpr const wchar_t *kClassName = L"ZEL_VANTO_MAIN";
    static constexpr int kTitleId = 100;
    static constexpr int boxId(int n) { return kTitleId + n; } // n is 1..10
    // Slot n's timer has id n; the keeper's and the name saver's come after them.
    static constexpr UINT_PTR kKeeperTimerId = 11;
    static constexpr UINT_PTR kNameSaveTimerId = 12;

    Win32MainWindow();
    ~Win32MainWindow() override;

    // From here on the window's events go to `behaviour`.
    void bind(ZEL_VANTO_MAIN &behaviour) { m_behaviour = &behaviour; }
    // Called when closing has run the unload: the program may end.
    void onUnloaded(std::function<void()> unloaded) { m_unloaded = std::move(unloaded); }
    // Shows the window where the load placed it and brings it to the foreground.
    void show();
    // Runs the program's message loop until WM_QUIT; returns its exit code. Tab moves between the
    // boxes there.
    int exec();

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

    NameBox &box(int n) override;
    Timer &slotTimer(int n) override;
    Timer &keeperTimer() override { return m_keeperTimer; }
    Timer &nameSaveTimer() override { return m_nameSaveTimer; }
    platform::WindowId windowId() override;
    Rgb windowTextColour() const override;
    std::unique_ptr<SettingsView> createSettingsView() override;

private:
    std::optional<LRESULT> onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    Win32NameBox *boxOf(HWND edit) const;
    void command(int id, int code);
    void timer(UINT_PTR id);
    void drawTitle(const DRAWITEMSTRUCT &item) const;

    win32::DesignWindow m_window;
    HWND m_toolTips = nullptr;
    HWND m_title = nullptr;
    ZEL_VANTO_MAIN *m_behaviour = nullptr;
    std::function<void()> m_unloaded;
    std::array<std::unique_ptr<Win32NameBox>, keys::kSlotCount> m_boxes;
    std::array<std::unique_ptr<Win32Timer>, keys::kSlotCount> m_timers;
    Win32Timer m_keeperTimer;
    Win32Timer m_nameSaveTimer;
};
