#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what is installed and packaged: installs into a fresh DESTDIR and lists the layout,
# runs desktop-file-validate and appstreamcli on it, builds the Debian package and runs lintian
# on that. Errors fail the run; hints and warnings are shown.
# Usage: scripts/check-install.sh [--smoke]
#   --smoke  also install the package on this system with dpkg, start telvane under Xvfb and
#            remove the package again (skipped when a telvane package is installed already)
# BUILD_DIR (default build) is the build folder; `make package` builds the package there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${BUILD_DIR:-build}"
app_id=org.velmora.Telvane

smoke=false
for argument in "$@"; do
    case "$argument" in
    --smoke) smoke=true ;;
    *)
        echo "Usage: scripts/check-install.sh [--smoke]" >&2
        exit 2
        ;;
    esac
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

step() { printf '\n== %s\n' "$*"; }

scripts/install-deps.sh desktop-file-utils appstream lintian dpkg-dev file

step "Building the package"
mkdir -p "$build/install-check"
log="$build/install-check/package.log"
if ! make --no-print-directory package BUILD_DIR="$build" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
deb="$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$log")"
[ -f "$deb" ] || { cat "$log" >&2; echo "no package named in $log" >&2; exit 1; }
echo "$deb"

step "Installing into a fresh DESTDIR"
destdir="$root/$build/install-check/destdir"
rm -rf "$destdir"
DESTDIR="$destdir" cmake --install "$build" --prefix /usr >/dev/null
(cd "$destdir" && find . -mindepth 1 ! -type d -printf '%m %10s %p\n' | sort -k3)

expected=(
    usr/bin/telvane
    usr/bin/telvane-decode
    "usr/share/applications/$app_id.desktop"
    "usr/share/metainfo/$app_id.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    usr/share/man/man1/telvane.1.gz
    usr/share/man/man1/telvane-decode.1.gz
    usr/share/doc/telvane/copyright
    usr/share/doc/telvane/changelog.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for path in "${expected[@]}"; do
    if [ ! -f "$destdir/$path" ]; then
        echo "missing from the installation: /$path" >&2
        exit 1
    fi
done
for size in 16 32 48 64 128 256; do
    png="$destdir/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    if ! file -b "$png" | grep -q "PNG image data, $size x $size,"; then
        echo "not a $size x $size PNG: $png ($(file -b "$png"))" >&2
        exit 1
    fi
done
if ! grep -q "setDesktopFileName(QStringLiteral(\"$app_id\"))" app/main.cpp; then
    echo "app/main.cpp does not name the desktop entry $app_id" >&2
    exit 1
fi
echo "layout complete: ${#expected[@]} files checked, the desktop entry id matches the program"

step "desktop-file-validate"
desktop-file-validate "$destdir/usr/share/applications/$app_id.desktop"
echo "no errors"

step "appstreamcli validate --no-net"
appstreamcli validate --no-net "$destdir/usr/share/metainfo/$app_id.metainfo.xml"
appstreamcli validate-tree --no-net "$destdir"

step "Manual pages"
for page in telvane telvane-decode; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$destdir/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
    if [ -n "$warnings" ]; then
        echo "$page.1: $warnings" >&2
        exit 1
    fi
    echo "$page.1: no warnings"
done

step "The package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends Installed-Size
step "lintian (errors fail; warnings are shown)"
status=0
report="$(lintian --fail-on error "$deb" 2>&1)" || status=$?
grep -v '^running with root privileges' <<<"$report" || true
if [ "$status" -ne 0 ]; then
    echo "lintian found errors (exit status $status)" >&2
    exit 1
fi
echo "no errors"

if $smoke; then
    step "Smoke test: dpkg -i, start under Xvfb, dpkg -r"
    if dpkg-query -W -f='${Status}' telvane 2>/dev/null | grep -q "install ok installed"; then
        echo "skipped: a telvane package is installed on this system already"
        exit 0
    fi
    sandbox="$root/$build/install-check/smoke"
    rm -rf "$sandbox"
    mkdir -p "$sandbox/home" "$sandbox/config" "$sandbox/tmp"
    $sudo dpkg -i "$deb"
    trap '$sudo dpkg -r telvane >/dev/null 2>&1 || true' EXIT
    [ "$(command -v telvane)" = /usr/bin/telvane ]
    # shellcheck disable=SC2016 # the inner shell expands these
    HOME="$sandbox/home" XDG_CONFIG_HOME="$sandbox/config" TMPDIR="$sandbox/tmp" \
        xvfb-run -a bash -c 'telvane 2>/dev/null & pid=$!
            sleep 3
            if ! kill -0 $pid 2>/dev/null; then
                wait $pid && status=0 || status=$?
                echo "telvane ended within 3 s, exit status $status" >&2
                exit 1
            fi
            kill $pid
            wait $pid || true
            echo "telvane was still running after 3 s; stopped it"'
    telvane-decode --help >/dev/null
    $sudo dpkg -r telvane
    trap - EXIT
    if [ -e /usr/bin/telvane ] || [ -e /usr/share/applications/$app_id.desktop ] ||
        dpkg-query -W -f='${Status}' telvane 2>/dev/null | grep -q "install ok installed"; then
        echo "dpkg -r telvane left files behind" >&2
        exit 1
    fi
    echo "installed, started and removed cleanly"
fi
