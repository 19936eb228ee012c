#!/usr/bin/env bash
# Serial link figures against the simulated device on a pseudo-terminal:
#   1. search time of `tavo-cli device info` (the same search as the window's "Search") against
#      the floor that the protocol's fixed waits set for one device:
#      ENTRANCE 160 ms pause + 50 ms after the GET + 160 ms more, SYS_DSCPT 50, ND_SEL 20,
#      ND_DSCPT 50 = 490 ms (goal: within 10 %);
#   2. CPU used by the tool while it stays connected with the 2 s status poll and the 25 ms receive
#      tick running (`tavo-cli device watch`), from /proc/<pid>/stat (goal: under 1 % of a core).
# usage: bench/link_bench.sh [BUILD_DIR] [SECONDS] [SEARCH_RUNS]   (defaults: build 60 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-60}
runs=${3:-5}
sim=$build/tools/devsim/tavo-devsim
cli=$build/tools/tavo-cli/tavo-cli
for f in "$sim" "$cli"; do [ -x "$f" ] || { echo "missing $f (build first)" >&2; exit 2; }; done
floor_ms=490
tick=$(getconf CLK_TCK)

tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT

"$sim" --log "$tmp/sim.log" >"$tmp/sim.out" 2>"$tmp/sim.err" &
simpid=$!
pids+=("$simpid")
for _ in $(seq 50); do [ -s "$tmp/sim.out" ] && break; sleep 0.1; done
port=$(head -n1 "$tmp/sim.out")
[ -n "$port" ] || { echo "the simulator printed no terminal path" >&2; exit 1; }
export TAVO_SERIAL_PORTS=$port

# cpu ticks (user + system) of a process
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

echo "== search against one simulated device ($runs runs)"
times=()
for i in $(seq "$runs"); do
  ms=$("$cli" device info --verbose 2>&1 >/dev/null | sed -n 's/^search took \([0-9]*\) ms$/\1/p')
  [ -n "$ms" ] || { echo "run $i: no device found" >&2; exit 1; }
  times+=("$ms")
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
worst=$(echo "$sorted" | tail -n1)
printf 'search times (ms): %s\n' "${times[*]}"
printf 'median %d ms, worst %d ms, floor %d ms: ratio %.3f (median) %.3f (worst), goal <= 1.100\n' \
  "$median" "$worst" "$floor_ms" "$(echo "$median / $floor_ms" | bc -l)" \
  "$(echo "$worst / $floor_ms" | bc -l)"

echo "== idle CPU while connected, poll running (${seconds} s)"
"$cli" device watch --seconds $((seconds + 3)) >"$tmp/watch.out" 2>"$tmp/watch.err" &
watchpid=$!
pids+=("$watchpid")
for _ in $(seq 50); do grep -q '^connected:' "$tmp/watch.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^connected:' "$tmp/watch.out" || { echo "watch did not connect" >&2; exit 1; }
sleep 1
c0=$(ticks "$watchpid"); s0=$(ticks "$simpid"); t0=$(date +%s.%N)
p0=$(grep -c "RXEDMD" "$tmp/sim.log" || true)
sleep "$seconds"
c1=$(ticks "$watchpid"); s1=$(ticks "$simpid"); t1=$(date +%s.%N)
p1=$(grep -c "RXEDMD" "$tmp/sim.log" || true)
wait "$watchpid" || { echo "watch failed: $(cat "$tmp/watch.err")" >&2; exit 1; }
elapsed=$(echo "$t1 - $t0" | bc -l)
tool=$(echo "($c1 - $c0) / $tick / $elapsed * 100" | bc -l)
device=$(echo "($s1 - $s0) / $tick / $elapsed * 100" | bc -l)
printf 'tool: %d ticks in %.1f s = %.3f %% of one core; ratio to the 1 %% goal %.3f\n' \
  "$((c1 - c0))" "$elapsed" "$tool" "$(echo "$tool / 1" | bc -l)"
printf 'simulator (for reference): %.3f %% of one core\n' "$device"
echo "status polls answered in the window: $((p1 - p0))"
