#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on the user's display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/app/zel-vanto
