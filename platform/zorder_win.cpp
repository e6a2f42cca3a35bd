#include "zorder.h"

#include <windows.h>

namespace platform {

namespace {

// Position and size stay. Deliberately no SWP_NOACTIVATE: raising the main window activates it,
// as the keeper always has.
constexpr UINT kKeepPlaceAndSize = SWP_NOSIZE | SWP_NOMOVE;
static_assert(kKeepPlaceAndSize == 3);

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

    void clearTopmost(WindowId window) override
    {
        SetWindowPos(toHwnd(window), HWND_NOTOPMOST, 0, 0, 0, 0, kKeepPlaceAndSize);
    }

    void setTopmost(WindowId window) override
    {
        SetWindowPos(toHwnd(window), HWND_TOPMOST, 0, 0, 0, 0, kKeepPlaceAndSize);
    }
};

} // namespace

std::unique_ptr<ZOrder> createZOrder(std::string_view qpaPlatform)
{
    // Empty means no toolkit at all: a plain Win32 caller.
    if (qpaPlatform.empty() || qpaPlatform == "windows")
        return std::make_unique<Win32ZOrder>();
    return createNullZOrder();
}

} // namespace platform
