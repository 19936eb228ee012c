#!/usr/bin/env bash
# `tavo-cli check` against Debian's `edid-decode --check` on the same EDIDs in the same run:
# tavo-cli once over all files (as an operator checks a folder), tavo-cli once per file, and
# edid-decode once per file (it takes one file a run). Each way runs ROUNDS times, the three
# interleaved round by round so all meet the same machine load. Prints the median wall time of a
# whole pass over the files for each way and the ratios to edid-decode.
# usage: bench/check_vs_edid_decode.sh [BUILD_DIR] [ROUNDS] [DIR]
#        (defaults: build, 10, /work/shared/edid-samples when it exists, else tests/data/edid)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-10}
dir=${3:-}
if [ -z "$dir" ]; then
    dir=$root/tests/data/edid
    [ -d /work/shared/edid-samples ] && dir=/work/shared/edid-samples
fi
cli=$build/tools/tavo-cli/tavo-cli
[ -x "$cli" ] || { echo "missing $cli (build first)" >&2; exit 2; }
command -v edid-decode >/dev/null || { echo "edid-decode is not installed (scripts/setup)" >&2; exit 2; }
files=("$dir"/*.bin)
[ -e "${files[0]}" ] || { echo "no .bin files in $dir" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
now() { echo "${EPOCHREALTIME/[.,]/}"; }
"$cli" check "${files[@]}" >/dev/null 2>&1 || true # warm the page cache and the loader
for f in "${files[@]}"; do edid-decode --check "$f" >/dev/null 2>&1 || true; done
for _ in $(seq "$rounds"); do
    t0=$(now)
    "$cli" check "${files[@]}" >/dev/null 2>&1 || true
    echo $(($(now) - t0)) >>"$tmp/all"
    t0=$(now)
    for f in "${files[@]}"; do "$cli" check "$f" >/dev/null 2>&1 || true; done
    echo $(($(now) - t0)) >>"$tmp/each"
    t0=$(now)
    for f in "${files[@]}"; do edid-decode --check "$f" >/dev/null 2>&1 || true; done
    echo $(($(now) - t0)) >>"$tmp/ref"
done
median() { sort -n "$1" | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
ref=$(median "$tmp/ref")
echo "files: ${#files[@]} ($dir), rounds: $rounds"
printf '%-44s %9d us per pass\n' "edid-decode --check, one run per file" "$ref"
for way in all each; do
    m=$(median "$tmp/$way")
    [ "$way" = all ] && name="tavo-cli check, one run over all files" ||
        name="tavo-cli check, one run per file"
    printf '%-44s %9d us per pass: %.3f of edid-decode\n' "$name" "$m" "$(echo "$m / $ref" | bc -l)"
done
