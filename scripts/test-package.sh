#!/usr/bin/env bash
# Builds the .deb from a release configuration in its own build directory and checks it the way a
# distribution would: lintian (any error, or any warning without an override in the package,
# fails), the AppStream metainfo, the desktop entry and the man page as shipped, and the files and
# dependencies the package must carry. Installs nothing: needs lintian, appstream and
# desktop-file-utils (the test set of scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
# Debian's own compiler and linker flags, hardening included, as a distribution's build uses them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cmake --preset release -B "$build" -DZV_WARNINGS_AS_ERRORS=ON -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" --parallel 2
rm -f "$build"/*.deb
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
debs=("$build"/*.deb)
if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
    echo "test-package: expected one .deb in $build, found: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}
echo "== $deb"

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
lintian_clean() {
    # Info and pedantic tags are shown for the reader; errors and warnings not overridden in
    # the package fail.
    lintian --fail-on error,warning --display-info --pedantic "$deb" 2>&1 |
        grep -v 'running with root privileges'
    return "${PIPESTATUS[0]}"
}

check "lintian" lintian_clean

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
listing=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|')

# What the package must hold; lintian does not notice a missing icon size or metainfo file.
expected=(
    /usr/bin/zel-vanto
    /usr/share/applications/zel-vanto.desktop
    /usr/share/metainfo/org.example.zelvanto.metainfo.xml
    /usr/share/man/man1/zel-vanto.1.gz
    /usr/share/doc/zel-vanto/copyright
    /usr/share/doc/zel-vanto/changelog.gz
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
