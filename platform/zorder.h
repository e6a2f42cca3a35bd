#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace platform {

// A native top-level window handle (an X window id, an HWND); 0 means none.
using WindowId = std::uintptr_t;

// The few z-order operations the topmost keeper needs. Results are deliberately not reported:
// the keeper re-asserts its state every second and never acts on a failure.
class ZOrder
{
public:
    virtual ~ZOrder() = default;

    // The window that has the foreground now, or 0 when none is known.
    virtual WindowId foregroundWindow() = 0;
    // Takes the always-on-top mark away from `window`.
    virtual void clearTopmost(WindowId window) = 0;
    // Gives `window` the always-on-top mark and puts it above the other topmost windows.
    virtual void setTopmost(WindowId window) = 0;
};

// The back end for the toolkit platform `qpaPlatform` ("xcb", "windows", ...), or nullptr where
// the window system offers no foreground to read (Wayland, offscreen).
std::unique_ptr<ZOrder> createZOrder(std::string_view qpaPlatform);

} // namespace platform
