#include "diagnostics_win.h"

#include "diagnostics.h"
#include "wintext.h"

#include <windows.h>

#include <utility>

namespace platform {

namespace {

std::function<void(std::string_view)> &listener()
{
    static std::function<void(std::string_view)> instance;
    return instance;
}

} // namespace

void setProblemListener(std::function<void(std::string_view)> newListener)
{
    listener() = std::move(newListener);
}

void reportProblem(std::string_view line)
{
    // A GUI program has no console; a debugger or a debug-output viewer shows this. The prefix
    // tells our lines apart there, the line end keeps one report from running into the next.
    try {
        OutputDebugStringW((L"ZEL-VANTO: " + toUtf16(line) + L"\n").c_str());
        if (listener())
            listener()(line);
    } catch (...) {
        // Out of memory while reporting: the program goes on without this report.
    }
}

} // namespace platform
