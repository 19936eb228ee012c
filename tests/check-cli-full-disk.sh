#!/bin/bash
# Writes onto a full file system: a small tmpfs in a private mount namespace, filled up. Nothing
# already there is lost and nothing reports success: `device write` with the slot history on the
# full disk sends nothing and keeps every entry and the index as they were; `device backup` keeps
# the last good backup where it was; `new`, `preset`, `rebuild`, `compose` and `device read` over
# an existing file leave it whole. Each exits 2 and says "No space left on device".
# usage: check-cli-full-disk.sh TAVO_CLI TAVO_DEVSIM
# Runs itself again under `unshare -m` (`unshare -rm` for a user); 77 (skipped) where neither
# may make a mount namespace.
set -u
cli=$1
sim=$2
if [ "${TAVO_FULL_DISK_NS:-}" != 1 ]; then
    flags=-m
    [ "$(id -u)" -eq 0 ] || flags=-rm
    unshare "$flags" true 2>/dev/null || { echo "no mount namespace here; skipped"; exit 77; }
    TAVO_FULL_DISK_NS=1 exec unshare "$flags" -- "$0" "$@"
fi
tmp=$(mktemp -d) || exit 2
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    umount "$tmp/disk" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() {
    timeout 60 "$@" >"$tmp/out" 2>"$tmp/err"
    rc=$?
}
# expect_full WHAT: the last command failed for want of space, with exit 2
expect_full() {
    [ "$rc" -eq 2 ] || fail "$1 on a full disk: exit $rc; $(cat "$tmp/out" "$tmp/err")"
    grep -q "No space left on device" "$tmp/err" "$tmp/out" ||
        fail "$1 on a full disk does not say so: $(cat "$tmp/out" "$tmp/err")"
}
start() {
    rm -f "$tmp/sim.out"
    "$sim" --log "$tmp/sim.log" "$@" >"$tmp/sim.out" 2>"$tmp/sim.err" &
    pids+=($!)
    for _ in $(seq 200); do [ -s "$tmp/sim.out" ] && break; sleep 0.1; done
    port=$(head -n 1 "$tmp/sim.out")
    [ -n "$port" ] || { echo "the simulator did not start: $(cat "$tmp/sim.err")" >&2; exit 2; }
}
disk=$tmp/disk
mkdir "$disk" "$tmp/state"
mount -t tmpfs -o size=256k,mode=0755 tavo-full "$disk" || { echo "cannot mount a tmpfs"; exit 2; }
# fill: every block taken (a file that grows until the disk says no)
fill() { dd if=/dev/zero of="$disk/fill.$1" bs=4k 2>/dev/null; sync; }

"$cli" new "$tmp/good.bin" || exit 2
"$cli" preset 1080p60-stereo "$tmp/other.bin" || exit 2

# ---- device write: the history on the full disk
export XDG_DATA_HOME=$disk/data
start --state-dir "$tmp/state"
run "$cli" device write input1 "$tmp/good.bin" --port "$port"
[ "$rc" -eq 0 ] || fail "device write before the disk is full: exit $rc, $(cat "$tmp/err")"
run "$cli" device write input1 "$tmp/other.bin" --port "$port"
[ "$rc" -eq 0 ] || fail "second device write before the disk is full: exit $rc, $(cat "$tmp/err")"
history=$(find "$disk/data" -name 'input1' -type d | head -n 1)
[ -n "$history" ] || fail "no history folder for input 1"
cp -a "$history" "$tmp/history.before"
cp "$tmp/state/input1.bin" "$tmp/input1.before"
fill 1
run "$cli" device write input1 "$tmp/good.bin" --port "$port"
expect_full "device write"
grep -q "verified" "$tmp/out" && fail "device write on a full disk says verified: $(cat "$tmp/out")"
diff -r "$history" "$tmp/history.before" >/dev/null ||
    fail "the history changed: $(diff -r "$history" "$tmp/history.before" | head -n 5)"
cmp -s "$tmp/state/input1.bin" "$tmp/input1.before" || fail "input 1 was written all the same"
rm -f "$disk"/fill.*

# ---- device backup: the last good backup stays
run "$cli" device backup "$disk/bk" --port "$port"
[ "$rc" -eq 0 ] || fail "device backup before the disk is full: exit $rc, $(cat "$tmp/err")"
cp -a "$disk/bk" "$tmp/bk.before"
fill 2
run "$cli" device backup "$disk/bk" --port "$port"
[ "$rc" -ne 0 ] || fail "device backup on a full disk: exit 0; $(cat "$tmp/out")"
grep -q "No space left on device" "$tmp/out" "$tmp/err" ||
    fail "device backup on a full disk does not say so: $(cat "$tmp/out" "$tmp/err")"
diff -r "$disk/bk" "$tmp/bk.before" >/dev/null || fail "the last good backup changed"
[ -e "$disk/bk.previous" ] && fail "the last good backup was moved aside"
ls "$disk" | grep -q partial && fail "a partial backup folder was left: $(ls "$disk")"

# ---- the file writers over an existing file
cp "$tmp/good.bin" "$tmp/keep.bin"
rm -f "$disk"/fill.*
cp "$tmp/other.bin" "$disk/out.bin"
fill 3
run "$cli" new "$disk/out.bin"
expect_full "new"
run "$cli" rebuild "$tmp/good.bin" "$disk/out.bin"
expect_full "rebuild"
run "$cli" preset 1080p60-stereo "$disk/out.bin"
expect_full "preset"
run "$cli" compose "$disk/out.bin" "$tmp/good.bin" "$tmp/good.bin"
expect_full "compose"
run "$cli" device read input1 "$disk/out.bin" --port "$port"
expect_full "device read"
cmp -s "$disk/out.bin" "$tmp/other.bin" || fail "the file on the full disk changed"
[ "$(find "$disk" -name 'out.bin.*' | wc -l)" -eq 0 ] || fail "temporary files left: $(ls "$disk")"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "full disk: nothing lost, every writer refused"
