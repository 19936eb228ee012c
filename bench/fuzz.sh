#!/bin/sh
# Builds the libFuzzer targets (clang++, ASan + UBSan) in build-fuzz and runs each one for
# SECONDS, seeded with the real EDIDs of tests/data/edid (and tests/fuzz/corpus/<target> when
# it exists). Prints the executions, their rate and the crashes of every target; exits non-zero
# on a crash. With --runs N each target runs until it has executed N inputs instead.
# The targets are optimised (-O2, assertions kept): unoptimised, they run about ten times slower.
# usage: bench/fuzz.sh [SECONDS | --runs N] [TARGET...]   (default 30 seconds, every target)
set -u
limit="-max_total_time=30"
case ${1:-} in
--runs)
    case ${2:-} in '' | *[!0-9]*) echo "usage: $0 [SECONDS | --runs N] [TARGET...]" >&2; exit 2 ;; esac
    limit="-runs=$2"
    shift 2
    ;;
'' | *[!0-9]*) ;;
*)
    limit="-max_total_time=$1"
    shift
    ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz

CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTAVO_CORE_ONLY=ON -DTAVO_FUZZ=ON \
    -DTAVO_SANITIZE=ON -DTAVO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" >/dev/null || exit 2
cmake --build "$build" -j2 >/dev/null || { cmake --build "$build" -j1; exit 2; }

status=0
printf '%-28s %12s %10s %8s\n' target executions exec/s crashes
if [ $# -eq 0 ]; then
    set -- "$root"/tests/fuzz/*.cpp
fi
for src in "$@"; do
    name=$(basename "$src" .cpp)
    bin=$build/$name
    [ -x "$bin" ] || { echo "$name: not built" >&2; status=2; continue; }
    work=$build/fuzz-runs/$name
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds="$root/tests/data/edid"
    [ -d "$root/tests/fuzz/corpus/$name" ] && seeds="$seeds $root/tests/fuzz/corpus/$name"
    # shellcheck disable=SC2086
    "$bin" "$limit" -print_final_stats=1 -max_len=1024 \
        -artifact_prefix="$work/artifacts/" "$work/corpus" $seeds >"$work/log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)
    crashes=$(find "$work/artifacts" -type f | wc -l)
    printf '%-28s %12s %10s %8s\n' "$name" "${runs:-?}" "${rate:-?}" "$crashes"
    if [ "$rc" -ne 0 ] || [ "$crashes" -ne 0 ]; then
        status=1
        echo "  $name failed (exit $rc); log: $work/log" >&2
        grep -m 3 -E 'ERROR|SUMMARY' "$work/log" | sed 's/^/  /' >&2
    fi
done
exit $status
