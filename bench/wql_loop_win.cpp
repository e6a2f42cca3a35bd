// The least work a once-a-second check of ten names can do on Windows: the same ten WQL queries
// the program's ten slots make, through the same WMI back end, once a second, and nothing else (no
// window, no timers of a window). The Windows program bench measures the program against it.
//
//   zv_wql_loop SECONDS NAME...     queries every NAME once a second for SECONDS, then exits
#include "processquery.h"
#include "wintext.h"

#include <windows.h>

#include <string>
#include <vector>

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3)
        return 2;
    const ULONGLONG seconds = std::wcstoull(argv[1], nullptr, 10);
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i)
        names.push_back(platform::toUtf8(argv[i]));
    const auto query = platform::createProcessQuery();

    const ULONGLONG start = GetTickCount64();
    for (ULONGLONG second = 1; second <= seconds; ++second) {
        int running = 0;
        for (const std::string &name : names)
            running += query->isRunning(name) ? 1 : 0;
        // Absolute deadlines: one round a second however long a round takes.
        const ULONGLONG now = GetTickCount64();
        if (start + second * 1000 > now)
            Sleep(static_cast<DWORD>(start + second * 1000 - now));
        if (second == seconds)
            return running;
    }
    return 0;
}
