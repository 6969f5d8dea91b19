#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the README's pictures of the main window into docs/, under a virtual display.
# Usage: scripts/screenshots.sh [BUILD_DIR] [JOBS]   (the build folder must be configured)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
jobs="${2:-2}"
cd "$root"
cmake --build "$build" --target telvane-screenshots telvane-history-screenshot -j"$jobs" \
    -- --no-print-directory
# The panels show the log folder's path; a fixed temp folder keeps it the same on every machine.
# The search timing lines on standard error are left out.
TMPDIR=/tmp xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$build/bin/telvane-screenshots" "$root/samples" "$root/docs" \
    2> >(grep -v ' msec$' >&2)
xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$build/bin/telvane-history-screenshot" "$root/docs/parameter-history.png"
