#!/usr/bin/env bash
# The GUI's start to its first shown window, and its peak memory, against a bare Qt Widgets window
# of the same size (bench/bare_window), both under one Xvfb server inside a private network
# namespace (the GUI opens its discovery sockets at start). Each program runs with
# TAVO_EXIT_AFTER_SHOW=1: it prints the moment its first window was drawn (and the CPU time it
# had used by then) and quits. Start time is
# taken by the shell right before the program starts; peak memory is the maximum resident set
# that /usr/bin/time reports. The programs alternate run by run; after one warm-up run each,
# medians of RUNS runs and their ratios (goal: 1.5 or less on both). A third program, the bare
# window with one captioned button, shows what any window with text pays on top of an empty one.
# usage: bench/gui_start_bench.sh [BUILD_DIR] [RUNS]   (defaults: build 15)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-15}
gui=$build/tavo
bare=$build/bench/bare_window/tavo_bare_window
for f in "$gui" "$bare"; do [ -x "$f" ] || { echo "missing $f (build first)" >&2; exit 2; }; done
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (apt-get install time)" >&2; exit 2; }
if [ "${TAVO_ISOLATED:-}" != 1 ]; then exec "$root/scripts/isolated" "$0" "$build" "$runs"; fi
if [ "${TAVO_BENCH_XVFB:-}" != 1 ]; then
    command -v xvfb-run >/dev/null || { echo "missing xvfb-run (scripts/setup)" >&2; exit 2; }
    TAVO_BENCH_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$runs"
fi
export QT_QPA_PLATFORM=xcb

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# one PROGRAM [ARGS...]: prints "MILLISECONDS PEAK_KB WIDTHxHEIGHT CPU_MILLISECONDS"
one() {
    local run=$tmp/run.$RANDOM
    mkdir -m 700 "$run"
    local t0=${EPOCHREALTIME/[.,]/}
    XDG_RUNTIME_DIR=$run TAVO_EXIT_AFTER_SHOW=1 timeout 60 /usr/bin/time -f 'peak %M' \
        -o "$run/time" "$@" >"$run/out" 2>"$run/err" ||
        { echo "$1 failed: $(cat "$run/err")" >&2; return 1; }
    local shown size cpu peak
    read -r _ shown size cpu < <(grep -m1 '^shown ' "$run/out")
    peak=$(sed -n 's/^peak //p' "$run/time")
    [ -n "$shown" ] || { echo "$1 printed no 'shown' line" >&2; return 1; }
    echo "$(echo "($shown / 1000 - $t0) / 1000" | bc -l) $peak $size $(echo "$cpu / 1000" | bc -l)"
    rm -rf "$run"
}

read -r _ _ size _ <<<"$(one "$gui")" # warm-up, and the size the bare window takes
width=${size%x*}
height=${size#*x}
one "$bare" "$width" "$height" >/dev/null
one "$bare" "$width" "$height" --text >/dev/null
gui_ms=() gui_kb=() gui_cpu=() bare_ms=() bare_kb=() bare_cpu=() text_ms=() text_kb=() text_cpu=()
for _ in $(seq "$runs"); do
    read -r ms kb _ cpu <<<"$(one "$gui")"
    gui_ms+=("$ms") gui_kb+=("$kb") gui_cpu+=("$cpu")
    read -r ms kb s cpu <<<"$(one "$bare" "$width" "$height")"
    [ "$s" = "$size" ] || { echo "bare window came up $s, not $size" >&2; exit 1; }
    bare_ms+=("$ms") bare_kb+=("$kb") bare_cpu+=("$cpu")
    read -r ms kb _ cpu <<<"$(one "$bare" "$width" "$height" --text)"
    text_ms+=("$ms") text_kb+=("$kb") text_cpu+=("$cpu")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
gm=$(median "${gui_ms[@]}") bm=$(median "${bare_ms[@]}") tm=$(median "${text_ms[@]}")
gk=$(median "${gui_kb[@]}") bk=$(median "${bare_kb[@]}") tk=$(median "${text_kb[@]}")
gc=$(median "${gui_cpu[@]}") bc=$(median "${bare_cpu[@]}") tc=$(median "${text_cpu[@]}")
echo "window ${size}, $runs runs each under Xvfb (medians)"
printf 'first shown window: GUI %.1f ms, bare window %.1f ms: ratio %.2f, goal <= 1.50\n' \
    "$gm" "$bm" "$(echo "$gm / $bm" | bc -l)"
printf 'CPU time to it (all threads, less load-dependent): GUI %.1f ms, bare window %.1f ms: ratio %.2f\n' \
    "$gc" "$bc" "$(echo "$gc / $bc" | bc -l)"
printf 'peak memory: GUI %d KiB, bare window %d KiB: ratio %.2f, goal <= 1.50\n' \
    "$gk" "$bk" "$(echo "$gk / $bk" | bc -l)"
printf 'bare window with one captioned button: %.1f ms (CPU %.1f ms), %d KiB; GUI ratio to it %.2f (time) %.2f (CPU) %.2f (memory)\n' \
    "$tm" "$tc" "$tk" "$(echo "$gm / $tm" | bc -l)" "$(echo "$gc / $tc" | bc -l)" "$(echo "$gk / $tk" | bc -l)"
printf 'GUI runs (ms): %s\n' "$(printf '%.0f ' "${gui_ms[@]}")"
printf 'bare runs (ms): %s\n' "$(printf '%.0f ' "${bare_ms[@]}")"
