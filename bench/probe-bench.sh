#!/bin/sh
# Builds the process-probe benchmark optimised and runs it.
#
#   bench/probe-bench.sh [--extra N] [--reps N] [--sample-ms N]
#
# Arguments go to zv_probe_bench. Environment:
#   ZV_BENCH_BUILD_DIR  build directory (default: build/release-bench in the source tree)
#   ZV_BENCH_RUNS       how many times to run the whole benchmark (default: 1)
#
# The timings are only worth comparing on a quiet machine: the load average is printed first.
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
build=${ZV_BENCH_BUILD_DIR:-$src/build/release-bench}
runs=${ZV_BENCH_RUNS:-1}

generator=""
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
    generator="-G Ninja"
fi
# shellcheck disable=SC2086 # $generator is empty or two words on purpose
cmake -S "$src" -B "$build" $generator -DCMAKE_BUILD_TYPE=Release \
    -DZV_BUILD_TESTS=OFF -DZV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target zv_probe_bench

cores=$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 1)
load=$(cut -d' ' -f1 /proc/loadavg)
echo "load average (1 min): $load on $cores cores"
if awk -v l="$load" -v c="$cores" 'BEGIN { exit !(l > c / 4) }'; then
    echo "warning: the machine is busy; expect a wide spread" >&2
fi

status=0
i=1
while [ "$i" -le "$runs" ]; do
    if [ "$runs" -gt 1 ]; then
        echo "=== run $i of $runs ==="
    fi
    "$build/bench/zv_probe_bench" "$@" || status=$?
    i=$((i + 1))
done
exit "$status"
