#!/usr/bin/env bash
# Starts or stops the one wineserver that the tests share, in the prefix named by WINEPREFIX.
#   wine-session.sh start|stop
# ZV_WINE_DPI (default 96) is the display's dots per inch for the programs that this session
# starts.
# Everything goes to /dev/null: Wine's helper processes keep the output pipes they inherit open,
# and ctest would wait for them.
set -euo pipefail
: "${WINEPREFIX:?}"

case $1 in
start)
    mkdir -p "$WINEPREFIX"
    # A server left by an interrupted run, or by the test listing that ctest does first, would
    # keep ours from starting; it serves no test.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
    wine wineboot >/dev/null 2>&1
    # No window manager runs on the test display: Wine then manages the windows itself, instead
    # of waiting two seconds at each hide for a window manager to withdraw them.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Read when the server starts: it starts again for it.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${ZV_WINE_DPI:-96}" \
        /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
    wine wineboot >/dev/null 2>&1
    ;;
stop)
    wineserver -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
