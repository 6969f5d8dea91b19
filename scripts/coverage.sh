#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the suite on a gcov-instrumented build and writes the lcov data and a genhtml report into
# that build folder, then prints the line and branch figures of each source folder.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
# Branch figures count decisions only: a line without if, a loop, case, ?:, && or || has no
# branches but the unwinding edges of calls that could throw, and nothing here throws.
# (geninfo_no_exception_branch would drop those itself, but lcov 1.16 ignores it for the JSON
# that gcc 12's gcov writes.)
rc=(--rc lcov_branch_coverage=1
    --rc 'lcov_excl_br_line=LCOV_EXCL_BR_LINE|^(?!.*(\bif\b|\bwhile\b|\bfor\b|\bcase\b|\?|&&|\|\|))')

lcov --quiet --zerocounters --directory "$build"
status=0
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${JOBS:-2}") || status=$?

lcov --quiet "${rc[@]}" --capture --directory "$build" --base-directory "$source" \
    --output-file "$build/all.info" 2>/dev/null
# Our own sources only: no Qt or system headers, no tests, no generated moc/uic/rcc files.
lcov --quiet "${rc[@]}" --extract "$build/all.info" \
    "$source/app/*" "$source/telegram/*" "$source/view/*" "$source/search/*" "$source/ui/*" \
    "$source/tools/*" --output-file "$build/coverage.info"
lcov --quiet "${rc[@]}" --remove "$build/coverage.info" "$build/*" \
    --output-file "$build/coverage.info"
genhtml --quiet "${rc[@]}" --title Telvane --legend --output-directory "$build/report" \
    "$build/coverage.info"

echo "Coverage (lines, branches) by folder; report: $build/report/index.html"
for folder in telegram search view ui app tools; do
    lcov --quiet "${rc[@]}" --extract "$build/coverage.info" "$source/$folder/*" \
        --output-file "$build/$folder.info" 2>/dev/null || continue
    lcov "${rc[@]}" --summary "$build/$folder.info" 2>&1 |
        sed -n 's/^ *\(lines\|branches\)\.*: \([0-9.]*%\).*/\2/p' | paste -sd' ' |
        awk -v folder="$folder/" '{ printf "  %-10s lines %-7s branches %s\n", folder, $1, $2 }'
done
exit "$status"
