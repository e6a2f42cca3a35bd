#!/usr/bin/env bash
# Checks that every C++ file is formatted as .clang-format says and that every shell script is
# clean by the shell linter. Installs nothing: needs clang-format and shellcheck.

set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"

mapfile -t scripts < <(git ls-files --cached --others --exclude-standard -- '*.sh' .ci/run)
shellcheck "${scripts[@]}"
echo "style: ${#sources[@]} C++ files formatted, ${#scripts[@]} scripts clean"
