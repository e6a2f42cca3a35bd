#pragma once

#include <string_view>

namespace platform {

// Tells whoever looks after the program about a problem it goes on through: one line on stderr
// on Linux, the debugger's output (OutputDebugString) on Windows. The caller says each thing once.
void reportProblem(std::string_view line);

} // namespace platform
