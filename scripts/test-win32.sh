#!/usr/bin/env bash
# Cross-builds the Windows build with mingw-w64 and runs its tests under Wine on a private X
# display. Installs nothing: needs g++-mingw-w64-x86-64, wine64, wine and xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset mingw
cmake --build --preset mingw --parallel 2
# One display for the whole run: the shared wineserver and every test live on it.
xvfb-run -a ctest --preset mingw
