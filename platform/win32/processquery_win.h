#pragma once

#include "processquery.h"

#include <optional>
#include <string>

namespace platform {

// The WQL text that asks for the processes with the image name `name` (UTF-8), or nullopt when no
// Windows image name can be `name` (empty, invalid UTF-8, a control character, '"' or '\'), so
// that the answer is false without asking at all.
std::optional<std::wstring> processQueryText(const std::string &name);

} // namespace platform
