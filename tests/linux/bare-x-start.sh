#!/usr/bin/env bash
# Starts the program again and again, each time on a fresh X server with no other client and no
# window manager (as xvfb-run or a kiosk has it): a server whose last client leaves resets, so a
# start that lets go of its only connection before the toolkit has its own fails now and then.
# The first start's server ends instead of resetting (-terminate), so that such a start fails
# every time; it also has stderr a pipe whose reader has gone and a store that must be reported:
# the report must not end the program.
#   bare-x-start.sh PROGRAM [STARTS]
set -euo pipefail
program=$1
starts=${2:-20}
work=$(mktemp -d)
xvfb=
cleanup() {
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkfifo "$work/display" "$work/gone"

for ((start = 1; start <= starts; start++)); do
    # -displayfd picks a free display and writes its number once the server takes clients.
    options=(-displayfd 3 -screen 0 1024x768x24 -nolisten tcp)
    if ((start == 1)); then options+=(-terminate); fi
    Xvfb "${options[@]}" 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    read -r number <"$work/display"
    export DISPLAY=:$number
    if ((start == 1)); then
        mkdir -p "$XDG_CONFIG_HOME/ZEL-VANTO/ZEL-VANTO.ini" # a folder: reported at the first read
        # A pipe without a reader: opened both ways for the writer to open, then closed.
        exec 4<>"$work/gone"
        exec 5>"$work/gone"
        exec 4<&-
        "$program" >"$work/out" 2>&5 &
        exec 5>&-
    else
        rm -rf "$XDG_CONFIG_HOME"
        "$program" >"$work/out" 2>&1 &
    fi
    program_pid=$!
    # Started once its window is there; only then may another client come.
    sleep 0.5
    deadline=$((SECONDS + 30))
    until xdotool search --name '^ZEL-VANTO$' >/dev/null 2>&1; do
        if ! kill -0 "$program_pid" 2>/dev/null || ((SECONDS >= deadline)); then
            status=0
            wait "$program_pid" || status=$?
            echo "start $start on $DISPLAY failed (status $status):"
            cat "$work/out"
            exit 1
        fi
        sleep 0.1
    done
    kill -TERM "$program_pid"
    status=0
    wait "$program_pid" || status=$?
    if ((status != 0)); then
        echo "start $start: ended with status $status after SIGTERM:"
        cat "$work/out"
        exit 1
    fi
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    xvfb=
done
echo "$starts starts on a bare X server"
