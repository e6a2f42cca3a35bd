#pragma once

#include "zorder.h"

#include <string_view>

namespace platform {

// Keeps a top-level window out of the taskbar and the task switcher. Call it once the native
// window exists, before it is first shown; it stays in force when the window is hidden and shown
// again or gets a new native window. Does nothing where the toolkit already does it.
void keepOffTaskbar(WindowId window, std::string_view qpaPlatform);

} // namespace platform
