#pragma once

#include <functional>
#include <string_view>

namespace platform {

// Test hook: while set, reportProblem also hands each line to `listener`, since the debugger's
// output cannot be read back from inside the process. Set it from one thread, with no report
// under way; an empty function removes it.
void setProblemListener(std::function<void(std::string_view)> listener);

} // namespace platform
