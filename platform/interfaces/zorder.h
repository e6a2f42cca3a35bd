#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace platform {

// A native top-level window handle (an X window id, an HWND); 0 means none.
using WindowId = std::uintptr_t;

// The few z-order operations the topmost keeper needs. Results are deliberately not reported:
// the keeper re-asserts its state every second and never acts on a failure.
//
// Raising never activates: the raised window goes above the others and the keyboard stays with
// the window that has it (on Windows SetWindowPos with SWP_NOACTIVATE; on X11 a restack request,
// not an activation).
class ZOrder
{
public:
    virtual ~ZOrder() = default;

    // The window that has the foreground now, or 0 when none is known.
    virtual WindowId foregroundWindow() = 0;
    // Whether `owner` owns `window` (on X11: `window` is transient for it), directly or through
    // windows in between.
    virtual bool isOwnedBy(WindowId window, WindowId owner) = 0;
    // Takes the always-on-top mark away from `window`.
    virtual void clearTopmost(WindowId window) = 0;
    // Gives `window` the always-on-top mark and puts it above the other topmost windows.
    virtual void setTopmost(WindowId window) = 0;
};

// For a window system that offers no foreground to read and no way to keep a window on top
// (a Wayland session, the offscreen platform): knows no foreground and does nothing.
std::unique_ptr<ZOrder> createNullZOrder();

// The back end of the window system this program was built for, or the null one where that
// window system cannot be reached.
std::unique_ptr<ZOrder> createZOrder();

} // namespace platform
