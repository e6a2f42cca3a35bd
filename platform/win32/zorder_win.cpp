#include "zorder.h"

#include <windows.h>

namespace platform {

namespace {

// Position and size stay, and the keyboard stays where the user put it. Without SWP_NOACTIVATE
// the raise activates the main window wherever the system lets it: under Wine always, on Windows
// whenever the program itself has the foreground, as with its settings window open, where the
// disabled main window would take the keyboard from the settings window once a second.
constexpr UINT kKeepPlaceSizeAndFocus = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

HWND toHwnd(WindowId window)
{
    return reinterpret_cast<HWND>(window);
}

class Win32ZOrder final : public ZOrder
{
public:
    WindowId foregroundWindow() override
    {
        return reinterpret_cast<WindowId>(GetForegroundWindow());
    }

    bool isOwnedBy(WindowId window, WindowId owner) override
    {
        // Owner chains cannot loop on Windows.
        for (HWND w = GetWindow(toHwnd(window), GW_OWNER); w; w = GetWindow(w, GW_OWNER))
            if (w == toHwnd(owner))
                return true;
        return false;
    }

    void clearTopmost(WindowId window) override
    {
        SetWindowPos(toHwnd(window), HWND_NOTOPMOST, 0, 0, 0, 0, kKeepPlaceSizeAndFocus);
    }

    void setTopmost(WindowId window) override
    {
        SetWindowPos(toHwnd(window), HWND_TOPMOST, 0, 0, 0, 0, kKeepPlaceSizeAndFocus);
    }
};

} // namespace

std::unique_ptr<ZOrder> createZOrder()
{
    return std::make_unique<Win32ZOrder>();
}

} // namespace platform
