#!/usr/bin/env bash
# `tavo-cli analyze FILE` against Debian's `edid-decode FILE`, one process per file, on the same
# files (tests/data/edid/*.bin) in the same run, the two interleaved file by file so both meet the
# same machine load. Prints the median and mean wall time per file of each and their ratio.
# usage: bench/cli_vs_edid_decode.sh [BUILD_DIR] [ROUNDS]   (defaults: build 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-20}
cli=$build/tools/tavo-cli/tavo-cli
[ -x "$cli" ] || { echo "missing $cli (build first)" >&2; exit 2; }
command -v edid-decode >/dev/null || { echo "edid-decode is not installed (scripts/setup)" >&2; exit 2; }
files=("$root"/tests/data/edid/*.bin)
[ -e "${files[0]}" ] || { echo "no files in tests/data/edid" >&2; exit 2; }

# microseconds of wall time from bash's own clock (no extra process per reading)
tavo_times=()
decode_times=()
for f in "${files[@]}"; do # warm the page cache and the loaders
    "$cli" analyze "$f" >/dev/null 2>&1 || true
    edid-decode "$f" >/dev/null 2>&1 || true
done
for _ in $(seq "$rounds"); do
    for f in "${files[@]}"; do
        t0=${EPOCHREALTIME/[.,]/}
        "$cli" analyze "$f" >/dev/null 2>&1 || true
        t1=${EPOCHREALTIME/[.,]/}
        edid-decode "$f" >/dev/null 2>&1 || true
        t2=${EPOCHREALTIME/[.,]/}
        tavo_times+=($((t1 - t0)))
        decode_times+=($((t2 - t1)))
    done
done
stats() { # median and mean of microsecond figures
    printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1; s += $1}
        END {printf "%d %.1f", a[int((NR + 1) / 2)], s / NR}'
}
read -r tm tavg <<<"$(stats "${tavo_times[@]}")"
read -r dm davg <<<"$(stats "${decode_times[@]}")"
echo "files: ${#files[@]}, rounds: $rounds, runs of each: ${#tavo_times[@]}"
printf 'tavo-cli analyze: median %6d us, mean %8.1f us per file\n' "$tm" "$tavg"
printf 'edid-decode:      median %6d us, mean %8.1f us per file\n' "$dm" "$davg"
printf 'ratio tavo-cli / edid-decode: %.3f (median), %.3f (mean)\n' \
    "$(echo "$tm / $dm" | bc -l)" "$(echo "$tavg / $davg" | bc -l)"
