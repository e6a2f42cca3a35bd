#pragma once

#include "zorder.h"

#include <string_view>

namespace platform {

// Keeps a top-level window out of the taskbar and the task switcher. Call it once the native
// window exists, before it is shown. Does nothing where the toolkit already does it.
void keepOffTaskbar(WindowId window, std::string_view qpaPlatform);

} // namespace platform
