#!/usr/bin/env bash
# Measures what watching costs: the whole program on a private X server, in scenarios, each
# beside a bare loop (scan_loop) that lists /proc and reads every /proc/PID/stat once a second in
# the same window, the least any probe can do. CPU is utime + stime from /proc/PID/stat, for the
# program and for the loop, over a window of WINDOW seconds. Each window starts 2 s after the
# program's window was painted (or after the settings window closed), and, unless said otherwise,
# with another program's window active (an xmessage), as when the user works elsewhere: a name box
# with the focus in the active window repaints its blinking text cursor twice a second, which
# costs more than watching ten green names. Scenarios (--scenario, comma-separated; default all):
#   green    ten slots whose ten names run (ten idle processes started under those names), beside
#            EXTRA idle processes. Target: program <= 0.1x loop. Measured twice: first as started,
#            its own window active with the text cursor blinking in box 1 (green-active), then as
#            every other window is measured: with another program's window active.
#   red      ten slots, five of them red (names that do not run), beside EXTRA idle processes.
#            Target <= 1.1x loop. Then slots 2-10 are switched off and on in the settings window
#            at uneven moments (it is opened by a click on the title strip and closed with OK,
#            all through xdotool) and the same is measured again. Memory is read after the first
#            window: private (Private_Clean + Private_Dirty, target < 8 MiB), RSS (< 40 MiB), Pss.
#   red10    ten slots, all red (ten names that do not run, two longer than the kernel's 15 bytes),
#            beside EXTRA idle processes: every tick lists /proc. Target <= 0.8x loop.
#   red10-crowded  the same beside CROWDED idle processes. Target <= 0.8x loop.
#   idle     no slot enabled, beside EXTRA idle processes: the program's cost of doing nothing.
#   crowded  as red without the toggling, beside CROWDED idle processes. Target <= 1.1x loop.
#   start    time from process start to the painted title strip, median of STARTS starts.
# For green, red, idle and crowded it also reports:
#   - wakeups: context switches per second (voluntary + involuntary, summed over the program's
#     threads from /proc/PID/task/*/status) in the CPU window;
#   - listings of /proc per second, counted in a window of COUNT seconds right after the CPU
#     window (so that counting cannot disturb it): completed listings are the getdents64 calls
#     of the program's main thread that return 0 (end of directory), counted in the kernel by a
#     filtered perf tracepoint, or with strace where perf cannot; and, as a cross-check from
#     inside the CPU window, the program's read() calls divided by the loop's (one per process).
#
#   bench/program-bench.sh [--scenario LIST] [--runs N] [--window SECONDS] [--count SECONDS]
#                          [--extra N] [--crowded N] [--starts N] [--program FILE | --commit REV]
#
# Defaults: all scenarios, 3 runs each of 60 s (and 15 s of counting), 1000 extra processes,
# 3000 for crowded, 7 starts. --program measures that executable instead of building one;
# --commit REV builds the program as it was at REV (git archive into BUILD_DIR-REV) and measures
# that, e.g. `--commit dd40562 --scenario crowded` for the figure before the probe re-checked
# green answers and slots joined each other's phase. Environment:
#   ZV_BENCH_BUILD_DIR  build directory (default: build/program-bench in the source tree)
#   ZV_BENCH_NO_BUILD   set to 1 to use what the build directory holds without building
#   ZV_BENCH_COUNTER    perf or strace: how listings are counted (default: perf where it works)
#
# Read-only pages of shared libraries count as private only while no other process maps them,
# so the private figure falls whenever some other Qt program runs on the machine; the table
# also shows an estimate of it with no other Qt program running (see memory() below).
#
# Everything it starts (X server, window manager, the program, the loop, the idle processes, the
# counters) and its temporary files are gone when it ends, also on Ctrl-C or kill. Needs Xvfb,
# openbox, x11-utils, xdotool, ImageMagick (import), procps, perf or strace, g++ and the xcb
# headers.
set -euo pipefail

usage() { sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; }

src=$(cd "$(dirname "$0")/.." && pwd)
build=${ZV_BENCH_BUILD_DIR:-$src/build/program-bench}
scenarios=green,red,red10,idle,crowded,red10-crowded,start
runs=3
window=60
count=15
extra=1000
crowded=3000
starts=7
program=""
commit=""
while (($#)); do
    case $1 in
    --scenario) scenarios=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --window) window=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --extra) extra=$2; shift 2 ;;
    --crowded) crowded=$2; shift 2 ;;
    --starts) starts=$2; shift 2 ;;
    --program) program=$(realpath "$2"); shift 2 ;;
    --commit) commit=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
done
for s in ${scenarios//,/ }; do
    [[ $s =~ ^(green|red|red10|idle|crowded|red10-crowded|start)$ ]] || { echo "unknown scenario: $s" >&2; exit 2; }
done
wants() { [[ ,$scenarios, == *,$1,* ]]; }
[[ -z $program || -z $commit ]] || { echo "--program and --commit exclude each other" >&2; exit 2; }
settle=2 # seconds between the window appearing (or the settings window closing) and a CPU window

# --- clean-up, armed before anything is started -----------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/zv-program-bench.XXXXXX")
program_pid=""
loop_pid=""
sleeper_pid=""
other_pid=""
counter_pids=()
groups=() # process groups of idle processes
idle_now=0 # how many unnamed idle processes those groups hold

stop_pid() { # stop_pid PID [SIGNAL]: SIGNAL (TERM), then SIGKILL if it has not gone within 10 s
    local pid=$1 deadline=$((SECONDS + 10))
    kill "-${2:-TERM}" "$pid" 2>/dev/null || return 0
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= deadline)); then kill -KILL "$pid" 2>/dev/null || true; fi
        sleep 0.05
    done
    wait "$pid" 2>/dev/null || true
}

count_group() { # count_group PGID: how many processes are in the group
    pgrep -c -g "$1" || true
}

stop_groups() {
    local pgid deadline
    for pgid in "${groups[@]}"; do
        deadline=$((SECONDS + 30))
        kill -TERM -- "-$pgid" 2>/dev/null || true
        while (($(count_group "$pgid") > 0)); do
            if ((SECONDS >= deadline)); then kill -KILL -- "-$pgid" 2>/dev/null || true; fi
            sleep 0.1
        done
    done
    groups=()
    idle_now=0
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    [[ -z $sleeper_pid ]] || kill "$sleeper_pid" 2>/dev/null || true
    local pid
    for pid in "${counter_pids[@]}"; do stop_pid "$pid" INT; done
    [[ -z $program_pid ]] || stop_pid "$program_pid"
    [[ -z $loop_pid ]] || stop_pid "$loop_pid"
    [[ -z $other_pid ]] || stop_pid "$other_pid"
    stop_groups
    local x_pids
    x_pids=$(cat "$work"/x11/*.pid 2>/dev/null || true)
    bash "$src/tests/linux/x11-session.sh" stop "$work/x11" >/dev/null 2>&1 || true
    local deadline=$((SECONDS + 10))
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
configure_and_build() { # configure_and_build SOURCE BUILD: the program alone, release, 2 jobs
    local generator=()
    if [[ ! -f $2/CMakeCache.txt ]] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
    cmake -S "$1" -B "$2" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DZV_BUILD_TESTS=OFF -DZV_BUILD_BENCH=OFF >/dev/null
    cmake --build "$2" --target zel-vanto -j 2 >/dev/null
}
if [[ ${ZV_BENCH_NO_BUILD:-0} != 1 ]]; then
    if [[ -n $commit ]]; then
        rev=$(git -C "$src" rev-parse --short "$commit^{commit}")
        old=$build-$rev
        rm -rf "$old/src"
        mkdir -p "$old/src"
        git -C "$src" archive "$rev" | tar -x -C "$old/src"
        configure_and_build "$old/src" "$old/build"
        program=$old/build/app/zel-vanto
    elif [[ -z $program ]]; then
        configure_and_build "$src" "$build"
    fi
    mkdir -p "$build"
    g++ -O2 -std=c++20 -o "$build/scan_loop" "$src/bench/scan_loop.cpp"
    g++ -O2 -std=c++20 -o "$build/paint_wait" "$src/bench/paint_wait.cpp" -lxcb
elif [[ -n $commit ]]; then
    program=$build-$(git -C "$src" rev-parse --short "$commit^{commit}")/build/app/zel-vanto
fi
program=${program:-$build/app/zel-vanto}
for f in "$program" "$build/scan_loop" "$build/paint_wait"; do
    [[ -x $f ]] || { echo "missing $f (build it, or unset ZV_BENCH_NO_BUILD)" >&2; exit 1; }
done

# --- private environment -----------------------------------------------------------------------
bash "$src/tests/linux/x11-session.sh" start "$work/x11" >/dev/null
export DISPLAY
DISPLAY=$(cat "$work/x11/display")
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME/ZEL-VANTO" "$work/bin"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ini=$XDG_CONFIG_HOME/ZEL-VANTO/ZEL-VANTO.ini
hz=$(getconf CLK_TCK)
cores=$(getconf _NPROCESSORS_ONLN)

# Half of them run during the measurement (this shell, the idle sleeps, the X server, the window
# manager, the program itself), half do not; one is longer than the kernel's 15-byte name.
red_names=(bash nosuch.exe sleep notthere.exe Xvfb ghost.exe openbox missing.exe zel-vanto
    not-running-long-name.exe)
red_expected=(green red green red green red green red green red)
# Ten names that nothing runs under.
red10_names=(nosuch.exe notthere.exe ghost.exe missing.exe not-running-long-name.exe absent.exe
    vanished.exe nowhere.exe gone-long-ago-process.exe elsewhere.exe)
red10_expected=(red red red red red red red red red red)
# Ten names that only the processes started for them carry; one is longer than 15 bytes, so that
# its re-check also reads the command line and the executable's name.
green_names=(green-1.exe green-2.exe green-3.exe green-4.exe green-5.exe green-6.exe green-7.exe
    green-8.exe green-9.exe green-10-long-name.exe)
green_expected=(green green green green green green green green green green)
idle_expected=(other other other other other other other other other other)

write_settings() { # write_settings ENABLED NAME...: ten slots, all on (1) or all off (0)
    local on=$1 n
    shift
    {
        echo "[Settings]"
        for n in $(seq 1 10); do
            echo "ENABLE_PW_$n=$on"
            echo "PROCESS_TEXTBOX_$n=${!n}"
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

run_ns() { # run_ns PID: time on a CPU in ns, summed over the live threads (schedstat)
    cat "/proc/$1/task/"*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
}

switches() { # switches PID: voluntary and involuntary context switches summed over its threads
    cat "/proc/$1/task/"*/status 2>/dev/null |
        awk '/^voluntary_ctxt_switches:/ { v += $2 } /^nonvoluntary_ctxt_switches:/ { n += $2 }
             END { print v + 0, n + 0 }'
}

reads() { # reads PID: read system calls so far
    awk '/^syscr:/ { print $2 }' "/proc/$1/io"
}

load1() { cut -d' ' -f1 /proc/loadavg; }

now() { date +%s.%N; }
plus() { awk -v a="$1" -v d="$2" 'BEGIN { printf "%.3f", a + d }'; }
ratio() { awk -v a="$1" -v b="$2" -v f="${3:-%.3f}" 'BEGIN { printf f, b ? a / b : 0 }'; }

wait_until() { # wait_until SECONDS_SINCE_EPOCH (fractional): sleeps to a deadline
    local t
    t=$(now)
    # In the background: bash runs a signal trap only once a foreground command has ended, while
    # `wait` returns at once.
    sleep "$(awk -v a="$1" -v b="$t" 'BEGIN { d = a - b; print (d > 0 ? d : 0) }')" &
    sleeper_pid=$!
    wait "$sleeper_pid"
    sleeper_pid=""
}
pause() { wait_until "$(plus "$(now)" "$1")"; }

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

# --- the main window and the settings window, driven as a user would --------------------------
# Client-area origin of the visible window titled exactly $1: "X Y".
window_origin() {
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
    [[ -n $id ]] || return 1
    xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        END { print x, y }'
}

wait_window() { # wait_window TITLE present|gone: polls for up to 10 s
    local deadline=$((SECONDS + 10))
    while true; do
        if window_origin "$1" >/dev/null; then [[ $2 == present ]] && return 0
        else [[ $2 == gone ]] && return 0; fi
        ((SECONDS < deadline)) || { echo "window \"$1\" not $2 after 10 s" >&2; return 1; }
        sleep 0.1
    done
}

click() { xdotool mousemove --sync "$1" "$2" click 1; } # click X Y: the left button, on screen

# The user works in another program: its window is active, so the program's is not. This is the
# state every CPU window is measured in, unless its label ends in -active.
start_other() {
    xmessage -geometry +600+500 "another program" >/dev/null 2>&1 &
    other_pid=$!
    local deadline=$((SECONDS + 10))
    until other_window=$(xdotool search --onlyvisible --name '^xmessage$' 2>/dev/null |
        head -n 1) && [[ -n $other_window ]]; do
        ((SECONDS < deadline)) || { echo "xmessage did not appear" >&2; exit 1; }
        sleep 0.1
    done
}
activate_other() {
    xdotool windowactivate --sync "$other_window"
    [[ $(xdotool getactivewindow) == "$other_window" ]] ||
        { echo "could not activate another window" >&2; exit 1; }
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

enabled_in_store() { # enabled_in_store: the ten ENABLE_PW_n values as the store holds them
    local n values=()
    for n in $(seq 1 10); do
        values+=("$(awk -F= -v k="ENABLE_PW_$n" '$1 == k { v = $2 } END { print v }' "$ini")")
    done
    echo "${values[*]}"
}

# Opens the settings window by a click on the title strip, switches slots 2-10 off and then on
# again, each click after an uneven pause (0.15 to 1.85 s, drawn from SEED, so that the slots come
# back at every phase of the second), and closes it with OK. Places are the layout's twips / 15
# (ui/behaviour/layout.cpp): the title strip is 1575 x 255 at 0,0 of the main window's client
# area; enable box n is at 960 (n <= 5) or 4440 (n > 5) across, 1800 + 360 * ((n - 1) % 5) down,
# 255 high; OK is 2055 x 495 at 4560,3840. A check box is clicked on its indicator.
toggle_slots() {
    local seed=$1 mx my sx sy n i
    read -r mx my < <(window_origin ZEL-VANTO)
    click $((mx + 1575 / 15 / 2)) $((my + 255 / 15 / 2))
    wait_window "ZEL-VANTO - SETTINGS" present
    read -r sx sy < <(window_origin "ZEL-VANTO - SETTINGS")
    local -a gaps
    read -ra gaps < <(awk -v s="$seed" 'BEGIN {
        srand(s); for (i = 0; i < 18; i++) printf "%.2f ", 0.15 + 1.7 * rand(); print "" }')
    local order=(2 3 4 5 6 7 8 9 10 7 3 10 5 2 9 4 8 6) # off in order, then on in another
    for i in "${!order[@]}"; do
        n=${order[i]}
        click $((sx + (n <= 5 ? 960 : 4440) / 15 + 8)) \
            $((sy + (1800 + 360 * ((n - 1) % 5)) / 15 + 8))
        pause "${gaps[i]}"
        if ((i == 8)) && [[ $(enabled_in_store) != "1 0 0 0 0 0 0 0 0 0" ]]; then
            echo "after switching slots 2-10 off the store holds [$(enabled_in_store)]" >&2
            return 1
        fi
    done
    [[ $(enabled_in_store) == "1 1 1 1 1 1 1 1 1 1" ]] ||
        { echo "after switching them on the store holds [$(enabled_in_store)]" >&2; return 1; }
    click $((sx + (4560 + 2055 / 2) / 15)) $((sy + (3840 + 495 / 2) / 15))
    wait_window "ZEL-VANTO - SETTINGS" gone
}

# --- idle processes ----------------------------------------------------------------------------
# start_group COUNT [NAME...]: COUNT idle processes, and one more under each NAME, in a session
# and process group of their own, so that one signal ends them all.
start_group() {
    local n=$1 pgid_file
    shift
    pgid_file=$(mktemp "$work/group.XXXXXX")
    # shellcheck disable=SC2016 # expanded by the inner shell
    setsid bash -c 'file=$1 n=$2 bin=$3; shift 3; echo $$ >"$file"
        for ((i = 0; i < n; i++)); do sleep 10000 & done
        for name; do "$bin/$name" 10000 & done
        wait' _ "$pgid_file" "$n" "$work/bin" "$@" </dev/null >/dev/null 2>&1 &
    until [[ -s $pgid_file ]]; do sleep 0.05; done
    local pgid
    pgid=$(cat "$pgid_file")
    groups+=("$pgid")
    local deadline=$((SECONDS + 180))
    until (($(count_group "$pgid") >= n + $# + 1)); do
        ((SECONDS < deadline)) || { echo "could not start $n idle processes" >&2; exit 1; }
        sleep 0.2
    done
}

use_extra() { # use_extra N: N unnamed idle processes from now on
    if ((idle_now > $1)); then stop_groups; fi
    if ((idle_now < $1)); then start_group $(($1 - idle_now)); fi
    idle_now=$1
}

# The named processes live in a group of their own, ended when their scenario ends.
start_named() { # start_named NAME...: one idle process under each name
    local name
    for name; do ln -sf "$(command -v sleep)" "$work/bin/$name"; done
    start_group 0 "$@"
}

# --- counting listings -------------------------------------------------------------------------
# A listing of /proc ends with the getdents64 call that returns 0. perf counts those of given
# threads in the kernel, without stopping them; strace stops the process at each such call.
counter=${ZV_BENCH_COUNTER:-}
if [[ -z $counter ]]; then
    counter=strace
    if perf stat -a -x, -o "$work/perf-check" -e syscalls:sys_exit_getdents64 --filter 'ret == 0' \
        -- true >/dev/null 2>&1 && grep -q '^[0-9]' "$work/perf-check"; then counter=perf; fi
fi
[[ $counter =~ ^(perf|strace)$ ]] || { echo "ZV_BENCH_COUNTER must be perf or strace" >&2; exit 2; }

# count_listings SECONDS PID...: for each PID, the listings its main thread ends in SECONDS, on
# one line of $work/counted. Not to be run in a subshell: the clean-up must know the counters.
count_listings() {
    local seconds=$1 pid
    shift
    local -a events=()
    case $counter in
    perf)
        for pid; do
            events+=(-e syscalls:sys_exit_getdents64 --filter "ret == 0 && common_pid == $pid")
        done
        # No workload: perf counts until its time-out, or until SIGINT from the clean-up.
        perf stat -a -x, -o "$work/perf.out" --timeout $((seconds * 1000)) "${events[@]}" \
            >/dev/null 2>&1 &
        counter_pids=("$!")
        wait "${counter_pids[0]}"
        counter_pids=()
        awk -F, '/^[0-9]/ { printf "%s ", $1 } /^<not/ { printf "0 " } END { print "" }' \
            "$work/perf.out" >"$work/counted"
        ;;
    strace)
        for pid; do
            strace -qq -e trace=getdents64 -e signal=none -o "$work/strace.$pid" -p "$pid" &
            counter_pids+=("$!")
        done
        pause "$seconds"
        for pid in "${counter_pids[@]}"; do stop_pid "$pid" INT; done
        counter_pids=()
        for pid; do printf '%s ' "$(grep -c ' = 0$' "$work/strace.$pid" || true)"; done \
            >"$work/counted"
        echo >>"$work/counted"
        ;;
    esac
}

# --- one CPU window and one counting window ----------------------------------------------------
declare -A res # res[LABEL:MEASURE] = one value per run, space-separated
add() { res[$1:$2]+="${res[$1:$2]:+ }$3"; }

# measure LABEL: a CPU window of $window seconds from now, then a counting window of $count s.
measure() {
    local label=$1 t0 p0 l0 n0 pr0 lr0 v0 i0 p1 l1 n1 pr1 lr1 v1 i1 load_start
    t0=$(now)
    load_start=$(load1)
    p0=$(ticks "$program_pid"); l0=$(ticks "$loop_pid"); n0=$(run_ns "$program_pid")
    pr0=$(reads "$program_pid"); lr0=$(reads "$loop_pid")
    read -r v0 i0 < <(switches "$program_pid")
    wait_until "$(plus "$t0" "$window")"
    p1=$(ticks "$program_pid"); l1=$(ticks "$loop_pid"); n1=$(run_ns "$program_pid")
    pr1=$(reads "$program_pid"); lr1=$(reads "$loop_pid")
    read -r v1 i1 < <(switches "$program_pid")
    add "$label" load "$load_start-$(load1)"
    local dp=$((p1 - p0)) dl=$((l1 - l0))
    add "$label" prog "$(ratio "$dp" "$hz" %.2f)"
    add "$label" loop "$(ratio "$dl" "$hz" %.2f)"
    add "$label" ratio "$(ratio "$dp" "$dl")"
    add "$label" ns "$(ratio $((n1 - n0)) 1000000 %.1f)"
    add "$label" wake "$(ratio $((v1 - v0 + i1 - i0)) "$window" %.2f)"
    add "$label" vol "$(ratio $((v1 - v0)) "$window" %.2f)"
    # Each listing reads one stat file per process; the loop's reads show how many make one.
    add "$label" reads "$(ratio $((pr1 - pr0)) $((lr1 - lr0)) %.2f)"

    local lp ll
    count_listings "$count" "$program_pid" "$loop_pid"
    read -r lp ll <"$work/counted"
    add "$label" scans "$(ratio "$lp" "$count" %.2f)"
    add "$label" loopscans "$(ratio "$ll" "$count" %.2f)"
    printf '  %-12s program %5s s, loop %5s s, ratio %5s; %6s wakeups/s;' \
        "$label" "$(ratio "$dp" "$hz" %.2f)" "$(ratio "$dl" "$hz" %.2f)" \
        "$(ratio "$dp" "$dl" %.3f)" "$(ratio $((v1 - v0 + i1 - i0)) "$window" %.2f)"
    printf ' listings/s %s (loop %s); load %s\n' "$(ratio "$lp" "$count" %.2f)" \
        "$(ratio "$ll" "$count" %.2f)" "$load_start-$(load1)"
}

check_colours() { # check_colours LABEL EXPECTED...: the boxes as painted now
    local label=$1 colours
    shift
    colours=$(slot_colours)
    if [[ $colours != "$* " ]]; then
        echo "$label: the slots show [$colours], expected [$*]" >&2
        exit 1
    fi
}

start_program() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    "$build/paint_wait" --wait --timeout 60 >/dev/null ||
        { echo "the window did not appear:"; cat "$work/program.log"; exit 1; }
    "$build/scan_loop" >"$work/loop.log" &
    loop_pid=$!
    pause "$settle"
}

stop_program() {
    stop_pid "$loop_pid"; loop_pid=""
    stop_pid "$program_pid"; program_pid=""
}

# run_scenario NAME: all its runs
run_scenario() {
    local name=$1 run rss pss pc pd alone others
    local -a names expected
    case $name in
    green) names=("${green_names[@]}"); expected=("${green_expected[@]}") ;;
    idle) names=("${red_names[@]}"); expected=("${idle_expected[@]}") ;;
    red10 | red10-crowded) names=("${red10_names[@]}"); expected=("${red10_expected[@]}") ;;
    *) names=("${red_names[@]}"); expected=("${red_expected[@]}") ;;
    esac
    if [[ $name == *crowded ]]; then use_extra "$crowded"; else use_extra "$extra"; fi
    local named_group=""
    if [[ $name == green ]]; then
        start_named "${green_names[@]}"
        named_group=${groups[-1]}
    fi
    local procs=(/proc/[0-9]*)
    echo "$name: ${#procs[@]} processes in the table"
    for run in $(seq 1 "$runs"); do
        write_settings "$([[ $name == idle ]] && echo 0 || echo 1)" "${names[@]}"
        start_program
        if [[ $name == green ]]; then
            # As started: its own window active, the text cursor blinking in box 1.
            [[ $(xdotool getactivewindow getwindowname) == ZEL-VANTO ]] ||
                { echo "the program's window is not active after its start" >&2; exit 1; }
            measure green-active
        fi
        activate_other
        pause "$settle"
        measure "$name"
        check_colours "$name, run $run" "${expected[@]}"
        if [[ $name == red ]]; then
            read -r rss pss pc pd alone others < <(memory "$program_pid")
            add mem priv $((pc + pd)); add mem alone "$alone"; add mem rss "$rss"
            add mem pss "$pss"; add mem pd "$pd"; add mem others "$others"
            toggle_slots "$run"
            activate_other
            pause "$settle"
            measure red-toggled
            check_colours "red after toggling, run $run" "${expected[@]}"
        fi
        stop_program
    done
    if [[ -n $named_group ]]; then
        # Only the named group goes; the unnamed processes serve the next scenario.
        kill -TERM -- "-$named_group" 2>/dev/null || true
        while (($(count_group "$named_group") > 0)); do sleep 0.1; done
        local kept=() g
        for g in "${groups[@]}"; do [[ $g == "$named_group" ]] || kept+=("$g"); done
        groups=("${kept[@]}")
    fi
}

# --- the scenarios -----------------------------------------------------------------------------
start_other
echo "program-bench: $program"
echo "display $DISPLAY, $cores cores, CLK_TCK $hz, window ${window}s," \
    "counting ${count}s by $counter"
echo "load: $(uptime)"
for s in green red red10 idle crowded red10-crowded; do
    if wants "$s"; then run_scenario "$s"; fi
done
stop_groups

r_start=()
if wants start; then
    write_settings 1 "${red_names[@]}"
    "$build/paint_wait" -- "$program" >/dev/null 2>&1 || true # warm the caches; not counted
    for s in $(seq 1 "$starts"); do
        write_settings 1 "${red_names[@]}"
        out=$("$build/paint_wait" --timeout 60 -- "$program" 2>"$work/start.log") ||
            { echo "start $s failed:"; cat "$work/start.log"; exit 1; }
        r_start+=("$(awk '{ print $2 }' <<<"$out")")
    done
fi

# --- table -------------------------------------------------------------------------------------
stats() { # stats VALUES...: median, min and max
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%s %s %s\n", m, v[1], v[NR] }'
}
row() { # row LABEL UNIT SCALE TARGET_OP TARGET VALUES...
    local label=$1 unit=$2 scale=$3 op=$4 target=$5
    shift 5
    (($#)) || return 0
    read -r med lo hi < <(stats "$@")
    awk -v l="$label" -v u="$unit" -v s="$scale" -v op="$op" -v t="$target" -v m="$med" \
        -v lo="$lo" -v hi="$hi" 'BEGIN {
        f = (u == "x" ? "%.3f" : (u == "ms" ? "%.1f" : "%.2f"))
        med = m / s; a = lo / s; b = hi / s
        verdict = "-"
        if (op == "<=") verdict = (b <= t ? "met" : (med <= t ? "met (median)" : "MISSED"))
        if (op == "<") verdict = (b < t ? "met" : (med < t ? "met (median)" : "MISSED"))
        target = (op == "-" ? "" : op " " t " " u)
        printf "%-46s %10s  %-21s %-12s %s\n", l, sprintf(f, med) " " u,
            "[" sprintf(f, a) " .. " sprintf(f, b) "]", target, verdict }'
}
vals() { echo "${res[$1]:-}"; }

echo
echo "Results ($runs runs; CPU windows of ${window}s, listings counted over ${count}s)"
printf '%-46s %10s  %-21s %-12s %s\n' "measure" "median" "[min .. max]" "target" "verdict"
for label in green-active green red red-toggled red10 idle crowded red10-crowded; do
    [[ -n ${res[$label:prog]:-} ]] || continue
    case $label in
    green-active)
        title="ten slots, all green, +$extra processes, own window active"; op="<="; target=0.1 ;;
    green) title="ten slots, all green, +$extra processes"; op="<="; target=0.1 ;;
    red) title="ten slots, five red, +$extra processes"; op="<="; target=1.1 ;;
    red-toggled) title="the same after toggling slots 2-10"; op="<="; target=1.1 ;;
    idle) title="no slot enabled, +$extra processes"; op="-"; target=- ;;
    crowded) title="ten slots, five red, +$crowded processes"; op="<="; target=1.1 ;;
    red10) title="ten slots, all red, +$extra processes"; op="<="; target=0.8 ;;
    red10-crowded) title="ten slots, all red, +$crowded processes"; op="<="; target=0.8 ;;
    esac
    echo "-- $title"
    # shellcheck disable=SC2046 # word splitting of the value lists is wanted
    {
        row "  CPU, program (s per ${window}s)" s 1 - - $(vals "$label:prog")
        row "  CPU, program, schedstat (ms per ${window}s)" ms 1 - - $(vals "$label:ns")
        row "  CPU, bare /proc loop (s per ${window}s)" s 1 - - $(vals "$label:loop")
        row "  CPU ratio program / loop" x 1 "$op" "$target" $(vals "$label:ratio")
        row "  wakeups (context switches) per s" /s 1 - - $(vals "$label:wake")
        row "    of them voluntary" /s 1 - - $(vals "$label:vol")
        row "  listings of /proc per s (counted)" /s 1 - - $(vals "$label:scans")
        row "    the loop's, same window" /s 1 - - $(vals "$label:loopscans")
        row "  listings per s from read() calls" /s 1 - - $(vals "$label:reads")
    }
    echo "  load average (1 min) at the start-end of each CPU window: $(vals "$label:load")"
done
if [[ -n ${res[mem:priv]:-} ]]; then
    echo "-- memory, ten slots, five red, after the first CPU window"
    # shellcheck disable=SC2046
    {
        row "  Private (Clean+Dirty)" MiB 1024 "<" 8 $(vals mem:priv)
        row "    same, no other Qt program (estimate)" MiB 1024 "<" 8 $(vals mem:alone)
        row "    of it Private_Dirty" MiB 1024 - - $(vals mem:pd)
        row "  RSS" MiB 1024 "<" 40 $(vals mem:rss)
        row "  Pss" MiB 1024 - - $(vals mem:pss)
    }
    echo "  other processes mapping Qt during the memory reads: $(vals mem:others)"
fi
if ((${#r_start[@]})); then
    echo "-- start-up ($starts starts)"
    row "  Start to painted title strip" ms 1 - - "${r_start[@]}"
    echo "  start-up times (ms): ${r_start[*]}"
fi
if awk -v l="$(load1)" -v c="$cores" 'BEGIN { exit !(l > c / 2) }'; then
    echo "warning: the machine is busy (load $(load1) on $cores cores); expect a wide spread"
fi
