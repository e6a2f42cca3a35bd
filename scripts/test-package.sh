#!/usr/bin/env bash
# Builds the .deb by both routes to it and checks them the way a distribution would: lintian on
# each (any tag at all, pedantic and info included, that the package does not override with its
# reason fails), then, on the first, the AppStream metainfo, the desktop entry and the man page as
# shipped, and the files and dependencies the package must carry; the second must hold the same
# files. Installs nothing: needs lintian, appstream and desktop-file-utils (the test set of
# scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

one_deb() { # one_deb DIR: the path of the only .deb in DIR
    local debs=("$1"/*.deb)
    if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
        echo "test-package: expected one .deb in $1, found: ${debs[*]}" >&2
        exit 1
    fi
    echo "${debs[0]}"
}

# A distribution's route: Debian's own compiler and linker flags, hardening included.
build=build/package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cmake --preset release -B "$build" -DZV_WARNINGS_AS_ERRORS=ON -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" --parallel 2
rm -f "$build"/*.deb
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
deb=$(one_deb "$build")
echo "== $deb"

# The plain route, as the README gives it: the release preset and cpack in its build directory.
unset DEB_BUILD_MAINT_OPTIONS
cmake --preset release >/dev/null
cmake --build --preset release --parallel 2
rm -f build/release/*.deb
(cd build/release && cpack >/dev/null)
release_deb=$(one_deb build/release)
echo "== $release_deb"

passed=0
failed=0
check() { # check WHAT COMMAND...: counts the command's success, names what failed
    if "${@:2}"; then
        passed=$((passed + 1))
    else
        echo "FAIL: $1" >&2
        failed=$((failed + 1))
    fi
}
quiet() { # quiet COMMAND...: succeeds when the command succeeds and prints nothing at all
    local said
    if ! said=$("$@" 2>&1); then return 1; fi
    if [[ -n $said ]]; then printf '%s\n' "$said" >&2; return 1; fi
}
man_warnings() { # man_warnings PAGE: only what man and groff warn about the page
    { LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" >/dev/null; } 2>&1
}
lintian_clean() { # lintian_clean DEB
    lintian --fail-on error,warning,info,pedantic --display-info --pedantic "$1" 2>&1 |
        grep -v 'running with root privileges'
    return "${PIPESTATUS[0]}"
}
contents() { # contents DEB: the paths the package holds
    dpkg-deb -c "$1" | awk '{ print $NF }' | sed 's|^\./|/|'
}

check "lintian, $deb" lintian_clean "$deb"
check "lintian, $release_deb" lintian_clean "$release_deb"
check "both routes give the same files" diff <(contents "$deb") <(contents "$release_deb")

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
listing=$(contents "$deb")

# What the package must hold; lintian does not notice a missing icon size or metainfo file.
expected=(
    /usr/bin/zel-vanto
    /usr/share/applications/zel-vanto.desktop
    /usr/share/metainfo/org.example.zelvanto.metainfo.xml
    /usr/share/man/man1/zel-vanto.1.gz
    /usr/share/doc/zel-vanto/copyright
    /usr/share/doc/zel-vanto/changelog.gz
    /usr/share/lintian/overrides/zel-vanto
    /usr/share/icons/hicolor/scalable/apps/zel-vanto.svg
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/zel-vanto.png")
done
for path in "${expected[@]}"; do
    check "in the package: $path" grep -qxF "$path" <<<"$listing"
done

# Lintian checks the copyright file's fields only when it declares the machine-readable format.
check "copyright in the machine-readable format" grep -qx \
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/usr/share/doc/zel-vanto/copyright"

# The X11 platform plugin by hand, Qt's and xcb's libraries from shlibdeps.
depends=$(dpkg-deb -f "$deb" Depends)
for package in qt6-qpa-plugins libqt6widgets6 libxcb-ewmh2; do
    check "Depends has $package: $depends" grep -qE "(^|, )$package( |,|$)" <<<"$depends"
done

check "appstreamcli validate" appstreamcli validate --no-net \
    "$root/usr/share/metainfo/org.example.zelvanto.metainfo.xml"
# The tree check also finds the desktop entry that the metainfo launches, and checks file names.
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"
# desktop-file-validate and man exit 0 on warnings and hints: anything they report counts.
check "desktop-file-validate" quiet desktop-file-validate \
    "$root/usr/share/applications/zel-vanto.desktop"
check "man --warnings" quiet man_warnings "$root/usr/share/man/man1/zel-vanto.1.gz"

echo "package: $passed passed, $failed failed"
((failed == 0))
