#include "diagnostics.h"

#include <cstdio>

namespace platform {

void reportProblem(std::string_view line)
{
    // One line whatever it names: a path may hold line breaks or other control characters.
    // Written without allocating, so that a report can be made when memory is short.
    std::FILE *out = stderr;
    flockfile(out);
    std::fputs("ZEL-VANTO: ", out);
    for (const char c : line)
        putc_unlocked(static_cast<unsigned char>(c) < 0x20 ? '?' : c, out);
    putc_unlocked('\n', out);
    std::fflush(out);
    funlockfile(out);
}

} // namespace platform
