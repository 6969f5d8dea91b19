#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark program; each one makes its own input and prints its figures.
set -uo pipefail
build="${1:-build}"
status=0
for program in "$build"/bin/bench_*; do
    [ -x "$program" ] || continue
    echo "== $(basename "$program")"
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$program" || status=1
done
# The 100M-line log: 8.3 GB written and deleted again; skipped when the disk lacks the room.
if [ -x "$build/bin/bench_hugelog" ]; then
    echo "== bench_hugelog --100m"
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bin/bench_hugelog" --100m || status=1
fi
exit $status
