#pragma once

#include "zorder.h"

#include <string_view>

namespace platform {

// Keeps a top-level window out of the taskbar and the task switcher. Call it once the native
// window exists, before it is first shown; it stays in force when the window is hidden and shown
// again or gets a new native window. Does nothing where the window system has no taskbar hint
// or the toolkit already keeps the window off it.
void keepOffTaskbar(WindowId window);

} // namespace platform
