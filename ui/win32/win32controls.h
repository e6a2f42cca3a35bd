#pragma once

#include "controls.h"
#include "views.h"
#include "win32accessible.h"

#include <windows.h>

#include <optional>
#include <string>

// The core's control interfaces over Win32 controls. Each adapter holds the handle of a control
// that its window owns, and keeps what the control itself cannot tell (a box's colour, whether a
// timer runs).

inline COLORREF colorRef(Rgb colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

// A single-line EDIT. Its background is painted by the owner window's WM_CTLCOLOREDIT, which
// asks the box through paint(). `toolTips` is the owner's tooltip control.
class Win32NameBox final : public NameBox
{
public:
    Win32NameBox(HWND edit, HWND toolTips);
    ~Win32NameBox() override;
    Win32NameBox(const Win32NameBox &) = delete;
    Win32NameBox &operator=(const Win32NameBox &) = delete;

    std::string text() const override;
    void setText(const std::string &text) override;
    void setBackground(Rgb colour) override;
    void setTextColour(Rgb colour) override;
    void setVisible(bool visible) override;
    void setDescription(const std::string &description) override;
    void setToolTip(const std::string &toolTip) override;
    bool hasFocus() const override;
    void announce(const std::string &text) override;

    HWND hwnd() const { return m_edit; }
    // True while setText() changes the text: that is no edit of the user's.
    bool settingText() const { return m_settingText; }
    // For WM_CTLCOLOREDIT: sets the colours on `dc` and returns the background brush, or nullopt
    // while the box has the system's window colours.
    std::optional<LRESULT> paint(HDC dc) const;

private:
    HWND m_edit;
    HWND m_toolTips;
    std::optional<COLORREF> m_background;
    std::optional<COLORREF> m_text;
    HBRUSH m_brush = nullptr;
    bool m_settingText = false;
};

// A window timer (SetTimer) with its own id; its WM_TIMER goes to the window's procedure.
class Win32Timer final : public Timer
{
public:
    Win32Timer(HWND window, UINT_PTR id) : m_window(window), m_id(id) {}
    ~Win32Timer() override { stop(); }
    Win32Timer(const Win32Timer &) = delete;
    Win32Timer &operator=(const Win32Timer &) = delete;

    void setInterval(int milliseconds) override;
    void start() override;
    void stop() override;
    bool isRunning() const override { return m_running; }

    UINT_PTR id() const { return m_id; }

private:
    HWND m_window;
    UINT_PTR m_id;
    UINT m_interval = USER_TIMER_MINIMUM;
    bool m_running = false;
};

// A BS_AUTOCHECKBOX button. Checking it (BM_SETCHECK) sends no BN_CLICKED: it is no click.
class Win32CheckBox final : public CheckBox
{
public:
    explicit Win32CheckBox(HWND button) : m_button(button) {}
    bool isChecked() const override;
    void setChecked(bool checked) override;

    HWND hwnd() const { return m_button; }

private:
    HWND m_button;
};
