#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target for FUZZ_SECONDS each, its corpus started from the sample logs.
# Prints executions and findings per target; exits non-zero when any target found a crash.
set -uo pipefail
build="${1:-build-fuzz}"
seconds="${2:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
summary=""
for target in "$build"/bin/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    corpus="$build/corpus/$name"
    artifacts="$build/artifacts/$name/"
    mkdir -p "$corpus" "$artifacts"
    cp -n "$root"/samples/* "$corpus"/ 2>/dev/null || true
    [ -d "$root/fuzz/corpus/$name" ] && cp -n "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null
    log="$build/$name.log"
    echo "== $name: ${seconds}s"
    ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
        -max_len=4096 -timeout=10 -rss_limit_mb=4096 "$corpus" >"$log" 2>&1
    code=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    crashes=$(find "$artifacts" -type f | wc -l)
    [ $code -ne 0 ] && status=1
    summary+="$(printf '%-18s executions %-12s findings %s (exit %s)' "$name" "${runs:-?}" "$crashes" "$code")"$'\n'
    [ $code -ne 0 ] && tail -40 "$log"
done
echo
printf '%s' "$summary"
exit $status
