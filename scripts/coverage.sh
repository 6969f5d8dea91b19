#!/usr/bin/env bash
# Runs the suite on a gcov-instrumented build and writes the lcov data and a genhtml report into
# that build folder, then prints the line and branch figures of each source folder.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
# Branches that only unwind an exception thrown out of Qt or the standard library are not ours
# to test: nothing in the program throws.
rc=(--rc lcov_branch_coverage=1 --rc geninfo_no_exception_branch=1)

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
        awk -v folder="$folder/" '/lines\.*:/ { lines = $2 " " $3 " " $4 } \
            /branches\.*:/ { branches = $2 " " $3 " " $4 } \
            END { printf "  %-10s lines %-22s branches %s\n", folder, lines, branches }'
done
exit "$status"
