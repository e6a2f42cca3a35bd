#!/usr/bin/env bash
# Installs the Debian packages that are missing, and only those.
#   install-deps.sh build   what building and running the program needs
#   install-deps.sh test    that, plus what the tests, the Windows cross build and the package
#                           checks need
#   install-deps.sh bench   that, plus what the scripts in bench/ need (screen pixels, counters)
set -euo pipefail

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev libxcb1-dev libxcb-ewmh-dev
    fonts-liberation2
    file dpkg-dev # cpack lists the .deb's library dependencies through these
)
test_packages=(
    xvfb xauth openbox xdotool wmctrl x11-utils
    dbus-daemon at-spi2-core python3-pyatspi orca # what assistive technology meets (tests/linux/test_atspi.py)
    libgtest-dev qt6-base-private-dev
    clang-format shellcheck
    g++-mingw-w64-x86-64 wine64 wine
    nodejs # and npm, below: the workflow validator (scripts/test-win32.sh fetches it with npm)
    lintian appstream desktop-file-utils man-db # checks of the .deb (scripts/test-package.sh)
)
bench_packages=(imagemagick linux-perf strace)

case ${1:-build} in
build) wanted=("${build_packages[@]}") ;;
test) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
bench) wanted=("${build_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
*) echo "usage: $0 build|test|bench" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
# A Node.js from elsewhere may bring its own npm, which Debian's package would clash with.
if [[ ${1:-build} == test ]] && ! command -v npm >/dev/null; then
    missing+=(npm)
fi
if ((${#missing[@]} == 0)); then
    exit 0
fi
echo "Installing: ${missing[*]}"
sudo=()
if ((EUID != 0)); then sudo=(sudo); fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
