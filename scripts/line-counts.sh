#!/usr/bin/env bash
# Counts code lines (not blank, not comment-only) of the C++ sources: product, its toolkit-free
# core, and tests.
set -euo pipefail
cd "$(dirname "$0")/.."

count() { # count DIR...
    local files
    files=$(find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null || true)
    if [[ -z $files ]]; then echo 0; return; fi
    # shellcheck disable=SC2086
    sed -e 's/^[[:space:]]*//' $files | grep -v -e '^$' -e '^//' -c
}

product=$(count app store monitor ui platform)
core=$(count store monitor ui/behaviour)
tests=$(count tests)
echo "product $product"
echo "core    $core (store, monitor, ui/behaviour)"
echo "tests   $tests ($((100 * tests / product)) % of product)"
