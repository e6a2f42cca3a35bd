#include "diagnostics.h"

#include <cstdio>

namespace platform {

void reportProblem(std::string_view line)
{
    std::fprintf(stderr, "ZEL-VANTO: %.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stderr);
}

} // namespace platform
