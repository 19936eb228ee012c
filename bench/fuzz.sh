#!/bin/sh
# Builds the libFuzzer targets (clang++, ASan + UBSan) in build-fuzz and runs each one for
# SECONDS, seeded with the real EDIDs of tests/data/edid (and tests/fuzz/corpus/<target> when
# it exists). Prints the executions and crashes of every target; exits non-zero on a crash.
# usage: bench/fuzz.sh [SECONDS]   (default 30)
set -u
seconds=${1:-30}
case $seconds in '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz

CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTAVO_CORE_ONLY=ON -DTAVO_FUZZ=ON \
    -DTAVO_SANITIZE=ON -DTAVO_BENCH=OFF >/dev/null || exit 2
cmake --build "$build" -j2 >/dev/null || { cmake --build "$build" -j1; exit 2; }

status=0
printf '%-28s %12s %8s\n' target executions crashes
for src in "$root"/tests/fuzz/*.cpp; do
    name=$(basename "$src" .cpp)
    bin=$build/$name
    [ -x "$bin" ] || { echo "$name: not built" >&2; status=2; continue; }
    work=$build/fuzz-runs/$name
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds="$root/tests/data/edid"
    [ -d "$root/tests/fuzz/corpus/$name" ] && seeds="$seeds $root/tests/fuzz/corpus/$name"
    # shellcheck disable=SC2086
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -max_len=1024 \
        -artifact_prefix="$work/artifacts/" "$work/corpus" $seeds >"$work/log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    crashes=$(find "$work/artifacts" -type f | wc -l)
    printf '%-28s %12s %8s\n' "$name" "${runs:-?}" "$crashes"
    if [ "$rc" -ne 0 ] || [ "$crashes" -ne 0 ]; then
        status=1
        echo "  $name failed (exit $rc); log: $work/log" >&2
        grep -m 3 -E 'ERROR|SUMMARY' "$work/log" | sed 's/^/  /' >&2
    fi
done
exit $status
