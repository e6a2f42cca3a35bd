#!/usr/bin/env bash
# Measures the whole program against its resource targets, on a private X server:
#   1. CPU time (utime + stime) over a window of WINDOW seconds with all ten slots enabled and
#      EXTRA idle processes in the table, beside a bare loop (scan_loop) that lists /proc and
#      reads every /proc/PID/stat once a second in the same window: the least any probe can do.
#      Target: program <= 2x loop.
#   2. Memory ten seconds into that window, from /proc/PID/smaps_rollup: private
#      (Private_Clean + Private_Dirty, target < 8 MiB), RSS (< 40 MiB) and Pss.
#   3. Time from process start to the painted title strip, median of STARTS starts.
#
#   bench/program-bench.sh [--runs N] [--window SECONDS] [--extra N] [--starts N]
#
# Defaults: 3 runs of 60 s, 1000 extra processes, 7 starts. Environment:
#   ZV_BENCH_BUILD_DIR  build directory (default: build/program-bench in the source tree)
#   ZV_BENCH_NO_BUILD   set to 1 to use what the build directory holds without building
#
# Read-only pages of shared libraries count as private only while no other process maps them,
# so the private figure falls whenever some other Qt program runs on the machine; the table
# also shows an estimate of it with no other Qt program running (see memory() below).
#
# Everything it starts (X server, window manager, the program, the loop, the extra processes)
# and its temporary files are gone when it ends, also on Ctrl-C or kill. Needs Xvfb, openbox,
# x11-utils, ImageMagick (import), procps, g++ and the xcb headers.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${ZV_BENCH_BUILD_DIR:-$src/build/program-bench}
runs=3
window=60
extra=1000
starts=7
while (($#)); do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --window) window=$2; shift 2 ;;
    --extra) extra=$2; shift 2 ;;
    --starts) starts=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--window SECONDS] [--extra N] [--starts N]" >&2; exit 2 ;;
    esac
done
settle=2     # seconds between the window appearing and the CPU window opening
mem_at=10    # seconds into the CPU window at which memory is read
((window > mem_at)) || { echo "--window must be more than $mem_at" >&2; exit 2; }

# --- clean-up, armed before anything is started -----------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/zv-program-bench.XXXXXX")
program_pid=""
loop_pid=""
extra_pgid=""
sleeper_pid=""

stop_pid() { # stop_pid PID: SIGTERM, then SIGKILL if it has not gone within 10 s
    local pid=$1 deadline=$((SECONDS + 10))
    kill "$pid" 2>/dev/null || return 0
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= deadline)); then kill -KILL "$pid" 2>/dev/null || true; fi
        sleep 0.05
    done
    wait "$pid" 2>/dev/null || true
}

count_group() { # count_group PGID: how many processes are in the group
    pgrep -c -g "$1" || true
}

stop_extra() {
    [[ -n $extra_pgid ]] || return 0
    local deadline=$((SECONDS + 30))
    kill -TERM -- "-$extra_pgid" 2>/dev/null || true
    while (($(count_group "$extra_pgid") > 0)); do
        if ((SECONDS >= deadline)); then kill -KILL -- "-$extra_pgid" 2>/dev/null || true; fi
        sleep 0.1
    done
    extra_pgid=""
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    [[ -z $sleeper_pid ]] || kill "$sleeper_pid" 2>/dev/null || true
    [[ -z $program_pid ]] || stop_pid "$program_pid"
    [[ -z $loop_pid ]] || stop_pid "$loop_pid"
    stop_extra
    local x_pids
    x_pids=$(cat "$work"/x11/*.pid 2>/dev/null || true)
    bash "$src/tests/linux/x11-session.sh" stop "$work/x11" >/dev/null 2>&1 || true
    local pid deadline=$((SECONDS + 10))
    for pid in $x_pids; do
        # Gone, or a zombie that nothing here can reap.
        while [[ -r /proc/$pid/stat && $(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null) != Z ]]; do
            if ((SECONDS >= deadline)); then kill -KILL "$pid" 2>/dev/null || true; fi
            sleep 0.05
        done
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# --- build -------------------------------------------------------------------------------------
if [[ ${ZV_BENCH_NO_BUILD:-0} != 1 ]]; then
    generator=()
    if [[ ! -f $build/CMakeCache.txt ]] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
    cmake -S "$src" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DZV_BUILD_TESTS=OFF -DZV_BUILD_BENCH=OFF >/dev/null
    cmake --build "$build" --target zel-vanto -j 2 >/dev/null
    g++ -O2 -std=c++20 -o "$build/scan_loop" "$src/bench/scan_loop.cpp"
    g++ -O2 -std=c++20 -o "$build/paint_wait" "$src/bench/paint_wait.cpp" -lxcb
fi
program=$build/app/zel-vanto
for f in "$program" "$build/scan_loop" "$build/paint_wait"; do
    [[ -x $f ]] || { echo "missing $f (build it, or unset ZV_BENCH_NO_BUILD)" >&2; exit 1; }
done

# --- private environment -----------------------------------------------------------------------
bash "$src/tests/linux/x11-session.sh" start "$work/x11" >/dev/null
export DISPLAY
DISPLAY=$(cat "$work/x11/display")
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME/ZEL-VANTO"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ini=$XDG_CONFIG_HOME/ZEL-VANTO/ZEL-VANTO.ini
hz=$(getconf CLK_TCK)
cores=$(getconf _NPROCESSORS_ONLN)

# Half of them run during the measurement (this shell, the extra sleeps, the X server, the window
# manager, the program itself), half do not; one is longer than the kernel's 15-byte name.
names=(bash nosuch.exe sleep notthere.exe Xvfb ghost.exe openbox missing.exe zel-vanto
       not-running-long-name.exe)
expected=(green red green red green red green red green red)

write_settings() {
    local n
    {
        echo "[Settings]"
        for n in $(seq 1 10); do
            echo "ENABLE_PW_$n=1"
            echo "PROCESS_TEXTBOX_$n=${names[n - 1]}"
        done
    } >"$ini"
}

ticks() { # ticks PID: utime + stime
    local line fields
    read -r line <"/proc/$1/stat"
    # The name in field 2 may hold spaces and parentheses: count from after its last ')'.
    read -ra fields <<<"${line##*) }"
    echo $((fields[11] + fields[12]))
}

reads() { # reads PID: read system calls so far
    awk '/^syscr:/ { print $2 }' "/proc/$1/io"
}

load1() { cut -d' ' -f1 /proc/loadavg; }

wait_until() { # wait_until SECONDS_SINCE_EPOCH (fractional): sleeps to a deadline
    local now
    now=$(date +%s.%N)
    # In the background: bash runs a signal trap only once a foreground command has ended, while
    # `wait` returns at once.
    sleep "$(awk -v a="$1" -v b="$now" 'BEGIN { d = a - b; print (d > 0 ? d : 0) }')" &
    sleeper_pid=$!
    wait "$sleeper_pid"
    sleeper_pid=""
}

# Memory of PID in kB: rss pss private_clean private_dirty alone_estimate other_qt_processes.
# Library pages count as private only when no other process maps them, so the private figure
# drops when some other Qt program happens to run. The estimate adds back the pages shared only
# with such programs (processes that map libQt6Core) to give the figure with none of them running.
memory() {
    local pid=$1 qt_maps others
    qt_maps=$(grep -l libQt6Core /proc/[0-9]*/maps 2>/dev/null | grep -vx "/proc/$pid/maps" || true)
    others=$(grep -c . <<<"$qt_maps" || true)
    # Files mapped by processes that are not Qt programs: their sharing stays whatever else runs.
    # (Processes may end while this reads: grep and cat then fail on them, which is harmless.)
    { grep -L libQt6Core /proc/[0-9]*/maps 2>/dev/null || true; } |
        { xargs -r cat 2>/dev/null || true; } |
        awk '$6 ~ /^\// { print $6 }' | sort -u >"$work/maps-others"
    local alone_extra
    alone_extra=$(awk -v others="$work/maps-others" '
        BEGIN { while ((getline f < others) > 0) shared[f] = 1 }
        /^[0-9a-f]+-[0-9a-f]+ / { file = $6 }
        /^Shared_(Clean|Dirty):/ { if (file ~ /^\// && !(file in shared)) sum += $2 }
        END { print sum + 0 }' "/proc/$pid/smaps")
    awk -v extra="$alone_extra" -v others="$others" '
        /^Rss:/ { rss = $2 } /^Pss:/ { pss = $2 }
        /^Private_Clean:/ { pc = $2 } /^Private_Dirty:/ { pd = $2 }
        END { print rss, pss, pc, pd, pc + pd + extra, others }' "/proc/$pid/smaps_rollup"
}

# Colour near the top left of each box, above its text, to check that every slot polls and paints.
slot_colours() {
    import -window root -crop 1x250+72+87 +repage -depth 8 txt:- 2>/dev/null |
        awk -F'[ ,:]+' 'NR > 1 {
            y = $2 + 87
            for (n = 1; n <= 10; n++) if (y == 87 + 16 + 24 * (n - 1) + 5) {
                colour = "other"
                if ($0 ~ /#00FF00/) colour = "green"; else if ($0 ~ /#FF0000/) colour = "red"
                printf "%s ", colour
            }
        }'
}

# --- the extra processes -----------------------------------------------------------------------
start_extra() {
    # In a session and process group of their own, so that one signal ends them all.
    # shellcheck disable=SC2016 # expanded by the inner shell
    setsid bash -c 'echo $$ >"$1"; for ((i = 0; i < $2; i++)); do sleep 10000 & done; wait' \
        _ "$work/extra.pgid" "$extra" </dev/null >/dev/null 2>&1 &
    until [[ -s $work/extra.pgid ]]; do sleep 0.05; done
    extra_pgid=$(cat "$work/extra.pgid")
    local deadline=$((SECONDS + 120))
    until (($(count_group "$extra_pgid") >= extra + 1)); do
        ((SECONDS < deadline)) || { echo "could not start $extra processes" >&2; exit 1; }
        sleep 0.2
    done
}

# --- 1 and 2: CPU and memory -------------------------------------------------------------------
echo "program-bench: $program"
echo "display $DISPLAY, $cores cores, CLK_TCK $hz, $extra extra processes, window ${window}s"
start_extra
procs=(/proc/[0-9]*)
echo "processes in the table: ${#procs[@]}"

declare -a r_prog r_loop r_ratio r_priv r_alone r_rss r_pss r_pd r_others r_scans r_load
for run in $(seq 1 "$runs"); do
    write_settings
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    "$build/paint_wait" --wait --timeout 60 >/dev/null ||
        { echo "the window did not appear:"; cat "$work/program.log"; exit 1; }
    "$build/scan_loop" >"$work/loop.log" &
    loop_pid=$!
    t0=$(awk -v s="$(date +%s.%N)" -v d="$settle" 'BEGIN { printf "%.3f", s + d }')
    wait_until "$t0"
    load_start=$(load1)
    p0=$(ticks "$program_pid"); l0=$(ticks "$loop_pid")
    pr0=$(reads "$program_pid"); lr0=$(reads "$loop_pid")
    wait_until "$(awk -v a="$t0" -v d="$mem_at" 'BEGIN { printf "%.3f", a + d }')"
    read -r rss pss pc pd alone others < <(memory "$program_pid")
    wait_until "$(awk -v a="$t0" -v d="$window" 'BEGIN { printf "%.3f", a + d }')"
    p1=$(ticks "$program_pid"); l1=$(ticks "$loop_pid")
    pr1=$(reads "$program_pid"); lr1=$(reads "$loop_pid")
    load_end=$(load1)
    colours=$(slot_colours)
    stop_pid "$loop_pid"; loop_pid=""
    stop_pid "$program_pid"; program_pid=""

    if [[ $colours != "${expected[*]} " ]]; then
        echo "run $run: the slots show [$colours], expected [${expected[*]}]" >&2
        exit 1
    fi
    dp=$((p1 - p0)); dl=$((l1 - l0))
    r_prog+=("$dp"); r_loop+=("$dl")
    r_ratio+=("$(awk -v a="$dp" -v b="$dl" 'BEGIN { printf "%.2f", b ? a / b : 0 }')")
    r_priv+=("$((pc + pd))"); r_alone+=("$alone"); r_rss+=("$rss"); r_pss+=("$pss")
    r_pd+=("$pd"); r_others+=("$others")
    # Each scan reads one stat file per process; the loop's reads show how many make one scan.
    r_scans+=("$(awk -v p=$((pr1 - pr0)) -v l=$((lr1 - lr0)) 'BEGIN { printf "%.2f", l ? p / l : 0 }')")
    r_load+=("$load_start-$load_end")
    printf 'run %d: program %d ticks, loop %d ticks, ratio %s; private %d kB (no other Qt: %d kB), rss %d kB; load %s\n' \
        "$run" "$dp" "$dl" "${r_ratio[-1]}" "$((pc + pd))" "$alone" "$rss" "${r_load[-1]}"
done
pgid=$extra_pgid
stop_extra
echo "extra processes left after stopping them: $(count_group "$pgid")"

# --- 3: start-up -------------------------------------------------------------------------------
declare -a r_start
write_settings
"$build/paint_wait" -- "$program" >/dev/null 2>&1 || true # warm the caches; not counted
for s in $(seq 1 "$starts"); do
    write_settings
    out=$("$build/paint_wait" --timeout 60 -- "$program" 2>"$work/start.log") ||
        { echo "start $s failed:"; cat "$work/start.log"; exit 1; }
    r_start+=("$(awk '{ print $2 }' <<<"$out")")
done

# --- table -------------------------------------------------------------------------------------
stats() { # stats VALUES...: median, min and max
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%s %s %s\n", m, v[1], v[NR] }'
}
row() { # row LABEL UNIT SCALE TARGET_OP TARGET VALUES...
    local label=$1 unit=$2 scale=$3 op=$4 target=$5
    shift 5
    read -r med lo hi < <(stats "$@")
    awk -v l="$label" -v u="$unit" -v s="$scale" -v op="$op" -v t="$target" -v m="$med" \
        -v lo="$lo" -v hi="$hi" -v all="$*" 'BEGIN {
        f = (s == 1 && u != "ms" ? "%.2f" : "%.1f")
        med = m / s; a = lo / s; b = hi / s
        verdict = "-"
        if (op == "<=") verdict = (b <= t ? "met" : (med <= t ? "met (median)" : "MISSED"))
        if (op == "<") verdict = (b < t ? "met" : (med < t ? "met (median)" : "MISSED"))
        target = (op == "-" ? "" : op " " t " " u)
        printf "%-40s %9s  %-19s %-14s %s\n", l, sprintf(f, med) " " u,
            "[" sprintf(f, a) " .. " sprintf(f, b) "]", target, verdict }'
}
to_s() { local v out=(); for v in "$@"; do out+=("$(awk -v t="$v" -v h="$hz" 'BEGIN { print t / h }')"); done; echo "${out[@]}"; }

echo
echo "Results ($runs runs of ${window}s with 10 slots and $extra extra processes; $starts starts)"
printf '%-40s %9s  %-19s %-14s %s\n' "measure" "median" "[min .. max]" "target" "verdict"
# shellcheck disable=SC2046 # word splitting of the converted lists is wanted
row "CPU, program (s per ${window}s)" s 1 - - $(to_s "${r_prog[@]}")
# shellcheck disable=SC2046
row "CPU, bare /proc loop (s per ${window}s)" s 1 - - $(to_s "${r_loop[@]}")
row "CPU ratio program / loop" x 1 "<=" 2 "${r_ratio[@]}"
row "read() calls, program / loop (scans)" x 1 - - "${r_scans[@]}"
row "Private (Clean+Dirty)" MiB 1024 "<" 8 "${r_priv[@]}"
row "  same, no other Qt program (estimate)" MiB 1024 "<" 8 "${r_alone[@]}"
row "  of it Private_Dirty" MiB 1024 - - "${r_pd[@]}"
row "RSS" MiB 1024 "<" 40 "${r_rss[@]}"
row "Pss" MiB 1024 - - "${r_pss[@]}"
row "Start to painted title strip" ms 1 - - "${r_start[@]}"
echo
echo "other processes mapping Qt during the memory reads: ${r_others[*]}"
echo "load average (1 min) at the start-end of each CPU window: ${r_load[*]}"
echo "start-up times (ms): ${r_start[*]}"
if awk -v l="$(load1)" -v c="$cores" 'BEGIN { exit !(l > c / 2) }'; then
    echo "warning: the machine is busy (load $(load1) on $cores cores); expect a wide spread"
fi
