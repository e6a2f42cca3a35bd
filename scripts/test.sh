#!/usr/bin/env bash
# Installs what is missing, checks formatting and the scripts, builds everything with warnings as
# errors and the address and undefined-behaviour sanitizers, and runs every test: the core's
# sequences, the Linux suite (offscreen widgets, real windows on a private X server with openbox,
# real processes, real settings files), then the Windows build cross-built with mingw-w64 and run
# under Wine, and last the .deb as a distribution would check it (lintian, AppStream, desktop
# entry, man page).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
bash scripts/check-style.sh

cmake --preset ci >/dev/null
cmake --build --preset ci --parallel 2
ctest --preset ci --timeout 600

bash scripts/test-win32.sh

bash scripts/test-package.sh
