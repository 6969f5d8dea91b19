#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the viewer; on first use the sample logs open side by side (first-session.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/first-session.sh"
# BUILD_DIR (default build) is the build folder, as in the Makefile.
build="${BUILD_DIR:-build}"
[[ "$build" = /* ]] || build="$root/$build"
exec "$build/bin/telvane" "$@"
