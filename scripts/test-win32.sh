#!/usr/bin/env bash
# Cross-builds the Windows program and the Windows test build with mingw-w64, checks the program
# as it would be shipped, and runs the tests under Wine on a private X display. Installs nothing:
# needs g++-mingw-w64-x86-64, wine64, wine, xvfb and npm.
set -euo pipefail
cd "$(dirname "$0")/.."

# The native Windows build runs on a hosted runner, not here: its workflow's syntax is checked
# here, with a validator from the npm registry kept in the build tree.
validator=build/npm/node_modules/.bin/action-validator
if [[ ! -x $validator ]]; then
    npm install --no-save --no-audit --no-fund --prefix build/npm @action-validator/cli@0.6.0 >/dev/null
fi
"$validator" .github/workflows/*.yml

# The program as shipped: optimised, static, stripped.
cmake --preset windows >/dev/null
cmake --build --preset windows --parallel 2
program=build/windows/app/zel-vanto.exe
size=$(stat -c %s "$program")
if ((size > 1024 * 1024)); then
    echo "zel-vanto.exe is $size bytes, more than 1 MiB" >&2
    exit 1
fi
# It must start on a bare Windows: it may import only DLLs that every Windows has.
system_dlls='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|oleacc|ole32|oleaut32|shell32|shlwapi|user32|uxtheme|version)\.dll$'
mapfile -t imports < <(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ { print $3 }')
for dll in "${imports[@]}"; do
    if ! [[ ${dll,,} =~ $system_dlls ]]; then
        echo "zel-vanto.exe imports $dll, which does not come with Windows" >&2
        exit 1
    fi
done
# Explorer's Details tab and Task Manager read the version resource.
mapfile -t resource < <(strings -el -n 3 "$program")
for wanted in FileVersion ProductName ZEL-VANTO OriginalFilename zel-vanto.exe 1.0; do
    if ! printf '%s\n' "${resource[@]}" | grep -qxF "$wanted"; then
        echo "zel-vanto.exe has no version resource with \"$wanted\"" >&2
        exit 1
    fi
done
if ! printf '%s\n' "${resource[@]}" | grep -q '^Copyright .* MIT licence\.$'; then
    echo "zel-vanto.exe's version resource does not state the MIT licence" >&2
    exit 1
fi
rm -f build/windows/zel-vanto-*.zip
(cd build/windows && cpack >/dev/null)
zipped=$(cmake -E tar tf build/windows/zel-vanto-*.zip)
for file in zel-vanto.exe LICENSE README.txt; do
    if ! grep -qxF "$file" <<<"$zipped"; then
        echo "the ZIP made by cpack does not hold $file" >&2
        exit 1
    fi
done
echo "zel-vanto.exe: $size bytes, imports ${imports[*]}"

cmake --preset mingw >/dev/null
cmake --build --preset mingw --parallel 2
# One display for the whole run: the shared wineserver and every test live on it.
xvfb-run -a ctest --preset mingw
# The windows again at 150 % (144 dots per inch), where fonts and places scale unevenly.
ZV_WINE_DPI=144 xvfb-run -a ctest --preset mingw -R 'wine_session|MainWindow|SettingsWindow|Program|ZOrder'

