#!/usr/bin/env bash
# Reading one slot against the floor of the protocol's fixed waits, on the simulated device:
#   1. `tavo-cli device read` (SYS_STM 20 + ND_SEL 20 + four GETs of 50 + SYS_CTM 20 = 260 ms for
#      an output; a user slot waits 100 ms more after ND_SEL);
#   2. "EDID Controller" save (the read, bracketed, plus the 1000 ms "Ok.") and the analysis (the
#      read alone, 220 ms), through the real main window (the e2e test's timing case).
#   3. `tavo-cli device write` with its history read and its read-back (the verified write).
# Goal: within 10 % of the floor. Prints the mean time and the ratio for each.
# usage: bench/slot_read_bench.sh [BUILD_DIR] [RUNS]   (defaults: build 10)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-10}
sim=$build/tools/devsim/tavo-devsim
cli=$build/tools/tavo-cli/tavo-cli
gui=$build/edid_controller_devsim_test
for f in "$sim" "$cli" "$gui"; do [ -x "$f" ] || { echo "missing $f (build first)" >&2; exit 2; }; done

tmp=$(mktemp -d)
simpid=
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT

"$sim" --mode-poll 0 >"$tmp/sim.out" 2>"$tmp/sim.err" &
simpid=$!
for _ in $(seq 50); do [ -s "$tmp/sim.out" ] && break; sleep 0.1; done
port=$(head -n1 "$tmp/sim.out")
[ -n "$port" ] || { echo "the simulator printed no terminal path" >&2; exit 1; }

# measure VERB SLOT FILE: the mean of $runs `device VERB` runs against the floor the tool reports
measure() {
  local verb=$1 slot=$2 file=$3 total=0 floor=0 line
  for _ in $(seq "$runs"); do
    line=$("$cli" device "$verb" "$slot" "$file" --port "$port" --verbose 2>&1 >/dev/null |
      sed -n "s/^$verb took \([0-9]*\) ms, floor \([0-9]*\) ms\$/\1 \2/p")
    [ -n "$line" ] || { echo "device $verb $slot failed" >&2; exit 1; }
    total=$((total + ${line% *}))
    floor=${line#* }
  done
  awk -v t="$total" -v n="$runs" -v f="$floor" -v s="$slot" -v v="$verb" \
    'BEGIN { m = t / n; printf "device %-5s %-8s %7.1f ms  floor %4d ms  ratio %.3f\n", v, s, m, f, m / f }'
}
for slot in output1 user1; do measure read "$slot" "$tmp/$slot.bin"; done
# the verified write: SYS_STM, the slot read for the history, ND_SEL and four SETs of 20 ms, the
# read-back, SYS_CTM (a user slot: each of its three ND_SELs waits 100 ms more)
export XDG_DATA_HOME=$tmp/data # the history it keeps stays here
"$cli" device read user1 "$tmp/user1.bin" --port "$port" >/dev/null
for slot in input1 user1; do measure write "$slot" "$tmp/user1.bin"; done
kill "$simpid" 2>/dev/null || true
simpid=

# the window's save and analysis (the test starts its own simulator)
TAVO_MEASURE=1 "$root/tests/run-isolated-test.sh" "$gui" timing 2>&1 |
  sed -n 's/.*MEASURE \(.*\)$/window \1/p'
