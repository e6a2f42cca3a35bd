#!/usr/bin/env bash
# Measures the Windows program under Wine, on a private X display and in a Wine prefix of its own:
# CPU time with ten enabled slots beside a bare loop of the same ten WQL queries a second
# (zv_wql_loop, target: program <= 1.2 x loop), private bytes, the time from start to the first
# painted window, and the size of the shipped executable. See program_bench_win.cpp.
#
#   bench/program-bench-win32.sh [--window SECONDS] [--runs N] [--starts N]
#
# Defaults: one run of 60 s, 7 starts. Environment:
#   ZV_BENCH_BUILD_DIR  build directory (default: build/windows-bench in the source tree)
#
# Needs what scripts/test-win32.sh needs (mingw-w64, wine, xvfb).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${ZV_BENCH_BUILD_DIR:-$src/build/windows-bench}

if [[ ${1:-} == --inside-display ]]; then
    # Here, on the private display: one wineserver for everything, stopped however this ends.
    shift
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
    wine wineboot >/dev/null 2>&1
    # No window manager: Wine manages the windows itself, as in the tests.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    load=$(cut -d' ' -f1 /proc/loadavg)
    echo "load average (1 min): $load on $(getconf _NPROCESSORS_ONLN) cores"
    wine "$build/bench/zv_program_bench.exe" "$(winepath -w "$build/app/zel-vanto.exe")" \
        "$(winepath -w "$build/bench/zv_wql_loop.exe")" "$@"
    echo "zel-vanto.exe: $(stat -c %s "$build/app/zel-vanto.exe") bytes"
    exit 0
fi

generator=()
if [[ ! -f $build/CMakeCache.txt ]] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$src" -B "$build" "${generator[@]}" --toolchain "$src/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZV_BUILD_TESTS=OFF -DZV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --parallel 2 --target zel-vanto zv_wql_loop zv_program_bench >/dev/null

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d
mkdir -p "$WINEPREFIX"
xvfb-run -a "$0" --inside-display "$@"
