#!/usr/bin/env bash
# Runs a command on the private X server that x11-session.sh started in DIR.
#   with-display.sh DIR COMMAND...
set -euo pipefail
dir=$1; shift
DISPLAY=$(cat "$dir/display")
export DISPLAY
export QT_QPA_PLATFORM=xcb
exec "$@"
