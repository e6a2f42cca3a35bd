#!/usr/bin/env bash
# Starts or stops a private X server (Xvfb) with the openbox window manager for the window tests.
#   x11-session.sh start DIR   the display number is left in DIR/display
#   x11-session.sh stop DIR
# Readiness is polled, never assumed after a fixed pause.
set -euo pipefail
action=$1
dir=$2

poll() { # poll SECONDS COMMAND...
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then return 1; fi
        sleep 0.05
    done
}

case $action in
start)
    mkdir -p "$dir"
    "$0" stop "$dir" || true
    rm -f "$dir/display"
    exec 3>"$dir/display"
    # -displayfd picks a free display number and writes it when the server is ready for clients.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    exec 3>&-
    poll 30 test -s "$dir/display" || { echo "Xvfb did not start:"; cat "$dir/xvfb.log"; exit 1; }
    display=":$(tr -d '[:space:]' <"$dir/display")"
    echo "$display" >"$dir/display"
    poll 30 xdpyinfo -display "$display" || { echo "Xvfb $display does not answer"; exit 1; }
    DISPLAY=$display setsid openbox --sm-disable >"$dir/openbox.log" 2>&1 &
    echo $! >"$dir/openbox.pid"
    poll 30 bash -c "xprop -display $display -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
        { echo "openbox did not start:"; cat "$dir/openbox.log"; exit 1; }
    echo "X server $display ready"
    ;;
stop)
    for name in openbox xvfb; do
        if [[ -f $dir/$name.pid ]]; then
            kill "$(cat "$dir/$name.pid")" 2>/dev/null || true
            rm -f "$dir/$name.pid"
        fi
    done
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
