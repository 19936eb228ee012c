#!/usr/bin/env bash
# `tavo-cli analyze FILE` against Debian's `edid-decode FILE`, one process per file, on the same
# files (tests/data/edid/*.bin) in the same run, interleaved file by file so all meet the same
# machine load. Prints the median and mean wall time per file of each and the ratios.
# In a full build `tavo-cli` holds the file commands without the Qt libraries; `tavo-cli-qt`
# beside it, the program with every command that `tavo-cli` hands the device and net commands to,
# is measured as well to show what loading Qt would cost each file.
# usage: bench/cli_vs_edid_decode.sh [BUILD_DIR] [ROUNDS]   (defaults: build 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-20}
clis=("$build/tools/tavo-cli/tavo-cli")
names=("tavo-cli analyze")
if [ -x "$build/tools/tavo-cli/tavo-cli-qt" ]; then
    clis+=("$build/tools/tavo-cli/tavo-cli-qt")
    names+=("tavo-cli-qt analyze (Qt loaded)")
fi
for c in "${clis[@]}"; do [ -x "$c" ] || { echo "missing $c (build first)" >&2; exit 2; }; done
command -v edid-decode >/dev/null || { echo "edid-decode is not installed (scripts/setup)" >&2; exit 2; }
files=("$root"/tests/data/edid/*.bin)
[ -e "${files[0]}" ] || { echo "no files in tests/data/edid" >&2; exit 2; }

# wall times in microseconds from bash's own clock (no extra process per reading), one file per
# line in $tmp/<n> (n: index into clis, "d" for edid-decode)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "${files[@]}"; do # warm the page cache and the loaders
    for c in "${clis[@]}"; do "$c" analyze "$f" >/dev/null 2>&1 || true; done
    edid-decode "$f" >/dev/null 2>&1 || true
done
for _ in $(seq "$rounds"); do
    for f in "${files[@]}"; do
        for i in "${!clis[@]}"; do
            t0=${EPOCHREALTIME/[.,]/}
            "${clis[$i]}" analyze "$f" >/dev/null 2>&1 || true
            echo $((${EPOCHREALTIME/[.,]/} - t0)) >>"$tmp/$i"
        done
        t0=${EPOCHREALTIME/[.,]/}
        edid-decode "$f" >/dev/null 2>&1 || true
        echo $((${EPOCHREALTIME/[.,]/} - t0)) >>"$tmp/d"
    done
done
stats() { # median and mean of the microsecond figures in a file
    sort -n "$1" | awk '{a[NR] = $1; s += $1} END {printf "%d %.1f", a[int((NR + 1) / 2)], s / NR}'
}
read -r dm davg <<<"$(stats "$tmp/d")"
echo "files: ${#files[@]}, rounds: $rounds, runs of each: $(wc -l <"$tmp/d")"
printf '%-36s median %6d us, mean %8.1f us per file\n' "edid-decode" "$dm" "$davg"
for i in "${!clis[@]}"; do
    read -r m avg <<<"$(stats "$tmp/$i")"
    printf '%-36s median %6d us, mean %8.1f us per file: ratio to edid-decode %.2f (median) %.2f (mean)\n' \
        "${names[$i]}" "$m" "$avg" "$(echo "$m / $dm" | bc -l)" "$(echo "$avg / $davg" | bc -l)"
done
