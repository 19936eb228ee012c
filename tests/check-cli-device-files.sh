#!/bin/bash
# Bad files at the file inputs of the device commands, against the simulated device:
# `device write SLOT IN` and `device firmware FILE` refuse an empty, cut, oversized, random or
# unreadable file and a directory with a message naming it, before anything reaches the device
# (its request log stays empty, the slot keeps its EDID); a name with spaces and non-ASCII letters
# works; an EDID of more than two blocks is written only with --fit. `device read SLOT OUT` into a directory writes nothing. A firmware update whose block the
# loader refuses ("NG") stops there and exits 1; a long UTF-8 description is cut between
# characters. A write is judged by the bytes read back; SIGINT/SIGTERM/SIGHUP let a slot write
# and its verification finish (exit 130), and stop a firmware update after a whole block. An
# update is confirmed by the version the restarted device reports. A device whose every answer
# comes 150 ms late still does info, read, verified write, mode and description. A write whose
# former EDID cannot be kept in the history sends nothing; two writers keep every entry. A failed
# backup leaves the last good one; restore-backup names every item as it ended. A pipe where a
# file should be is refused at once. `device check` gives every slot (or the named ones) a verdict.
# usage: check-cli-device-files.sh TAVO_CLI TAVO_DEVSIM
set -u
cli=$1
sim=$2
tmp=$(mktemp -d) || exit 2
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    chmod -R u+rwx "$tmp" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() {
    "$@" >"$tmp/out" 2>"$tmp/err"
    rc=$?
    [ "$rc" -le 2 ] || fail "'$*' exited $rc; stderr: $(cat "$tmp/err")"
}
# start NAME ARGS...: a simulator with its log in $tmp/NAME.log; its terminal in $port
start() {
    local name=$1
    shift
    # a name started before (unitB twice) must not show the earlier simulator's terminal: the
    # loop below could read the old file before the new one replaces it
    rm -f "$tmp/$name.out"
    "$sim" --log "$tmp/$name.log" "$@" >"$tmp/$name.out" 2>"$tmp/$name.err" &
    pids+=($!)
    # a loaded machine (the sanitizer build beside other tests) can take seconds to start it
    for _ in $(seq 200); do [ -s "$tmp/$name.out" ] && break; sleep 0.1; done
    port=$(head -n 1 "$tmp/$name.out")
    [ -n "$port" ] || { echo "the simulator $name did not start: $(cat "$tmp/$name.err")" >&2; exit 2; }
}
requests() { grep -vc '^#' "$1" 2>/dev/null; }

in=$tmp/in
mkdir "$in" "$tmp/state"
"$cli" new "$tmp/good.bin" || exit 2
: >"$in/empty.bin"
for n in 1 127 255; do head -c "$n" "$tmp/good.bin" >"$in/b$n.bin"; done
head -c $((10 * 1024 * 1024)) /dev/urandom >"$in/big.bin"
mkdir "$in/a directory.bin"
{ cat "$tmp/good.bin"; printf 'x'; } >"$in/b257.bin"
spaced="$in/Écran du salon — ü ß 显示器.bin"
cp "$tmp/good.bin" "$spaced"

# ---- device write: a bad file never reaches the device
start write --state-dir "$tmp/state"
sleep 0.2
cp "$tmp/state/input1.bin" "$tmp/input1.before" 2>/dev/null || fail "no state file for input 1"
for f in empty.bin b1.bin b127.bin b255.bin big.bin "a directory.bin" missing.bin; do
    run "$cli" device write input1 "$in/$f" --port "$port"
    [ "$rc" -ne 0 ] || fail "device write $f: exit 0"
    grep -qF "$f" "$tmp/err" || fail "device write $f: message does not name the file: $(cat "$tmp/err")"
done
[ "$(requests "$tmp/write.log")" -eq 0 ] ||
    fail "bad files reached the device: $(grep -v '^#' "$tmp/write.log" | head -n 3)"
cmp -s "$tmp/state/input1.bin" "$tmp/input1.before" || fail "input 1 changed"
# positive controls: a long file's first 256 bytes (with the note), a non-ASCII name
run "$cli" device write user2 "$in/b257.bin" --port "$port"
[ "$rc" -eq 0 ] || fail "device write of a 257-byte file: exit $rc, $(cat "$tmp/err")"
grep -q "only the first 256 are read" "$tmp/err" || fail "device write 257 bytes: no note"
cmp -s "$tmp/state/user2.bin" "$tmp/good.bin" || fail "user 2 does not hold the file's EDID"
run "$cli" device write input2 "$spaced" --port "$port"
[ "$rc" -eq 0 ] && cmp -s "$tmp/state/input2.bin" "$tmp/good.bin" ||
    fail "device write from a non-ASCII name: exit $rc, $(cat "$tmp/err")"
# more blocks than a slot holds: refused with what --fit would drop; with --fit the dropped
# blocks are named first and the base block and first CTA-861 block are written, verified
big=$(dirname "$0")/data/blocks/displayid-512.bin
"$cli" fit "$big" "$tmp/fitted.bin" >/dev/null || fail "fit of $big"
run "$cli" device write input1 "$big" --port "$port"
[ "$rc" -eq 1 ] && grep -q "Edid Over Banks\. Nothing sent\..*--fit" "$tmp/err" &&
    grep -q "^  DisplayID block" "$tmp/err" || fail "device write of 512 bytes: exit $rc, $(cat "$tmp/err")"
cmp -s "$tmp/state/input1.bin" "$tmp/input1.before" || fail "input 1 changed without --fit"
run "$cli" device write input1 "$big" --fit --port "$port"
[ "$rc" -eq 0 ] && cmp -s "$tmp/state/input1.bin" "$tmp/fitted.bin" ||
    fail "device write --fit: exit $rc, $(cat "$tmp/err")"
grep -q "^  DisplayID block" "$tmp/err" || fail "device write --fit names nothing dropped: $(cat "$tmp/err")"
run "$cli" device write input1 "$tmp/input1.before" --fit --port "$port" # fits already: as always
[ "$rc" -eq 0 ] && cmp -s "$tmp/state/input1.bin" "$tmp/input1.before" ||
    fail "device write --fit of 256 bytes: exit $rc, $(cat "$tmp/err")"
# device read into a directory: refused, nothing in it
run "$cli" device read input1 "$in/a directory.bin" --port "$port"
[ "$rc" -ne 0 ] && [ -z "$(ls -A "$in/a directory.bin")" ] || fail "device read into a directory: exit $rc"
run "$cli" device read input1 "$in/Sortie — 出力.bin" --port "$port"
[ "$rc" -eq 0 ] && cmp -s "$in/Sortie — 出力.bin" "$tmp/input1.before" ||
    fail "device read into a non-ASCII name: exit $rc, $(cat "$tmp/err")"
# a one-block EDID read back into a file holds its own 128 bytes, as the window saves it
"$cli" preset 1920x1200-pc "$tmp/pc.bin" >/dev/null || fail "preset 1920x1200-pc"
run "$cli" device write user2 "$tmp/pc.bin" --port "$port"
[ "$rc" -eq 0 ] || fail "device write of a one-block EDID: exit $rc, $(cat "$tmp/err")"
run "$cli" device read user2 "$tmp/pc-back.bin" --port "$port"
[ "$rc" -eq 0 ] && [ "$(wc -c <"$tmp/pc-back.bin")" -eq 128 ] && cmp -s "$tmp/pc-back.bin" "$tmp/pc.bin" ||
    fail "device read of a one-block slot: exit $rc, $(wc -c <"$tmp/pc-back.bin") bytes"

# ---- device check: every slot read and checked, one verdict line each; named slots only;
# exit 1 when a slot fails, 0 when none does, 2 for a slot the device lacks or no slot name
start check --state-dir "$tmp/check" --inputs 2 --users 1 --internals 1
run "$cli" device write input2 preset:1080p60-stereo --port "$port"
[ "$rc" -eq 0 ] || fail "device write of a preset: exit $rc, $(cat "$tmp/err")"
run "$cli" device check --port "$port"
[ "$rc" -eq 1 ] || fail "device check: exit $rc (the simulator's own EDIDs fail), $(cat "$tmp/err")"
slots=$(grep -cE '^(input|output|user|internal)[0-9]+: (pass|warn|fail) \(Check: ' "$tmp/out")
outputs=$(grep -cE '^output[0-9]+: ' "$tmp/out")
[ "$slots" -eq $((2 + outputs + 1 + 1)) ] && [ "$outputs" -ge 1 ] ||
    fail "device check: want a verdict for each slot: $(cat "$tmp/out")"
grep -qx 'input2: pass (Check: no finding)' "$tmp/out" || fail "device check input2: $(cat "$tmp/out")"
grep -q '^  failure  ' "$tmp/out" || fail "device check: no finding lines"
run "$cli" device check input2 --json --port "$port"
[ "$rc" -eq 0 ] && [ "$(wc -l <"$tmp/out")" -eq 1 ] &&
    grep -q '^{"slot": "input2", "verdict": "pass", "findings": \[\]}$' "$tmp/out" ||
    fail "device check input2 --json: exit $rc, $(cat "$tmp/out")"
run "$cli" device check user9 --port "$port"
[ "$rc" -eq 2 ] && grep -q "has no user9" "$tmp/err" || fail "device check user9: exit $rc, $(cat "$tmp/err")"
run "$cli" device check nonsense --port "$port"
[ "$rc" -eq 2 ] && grep -q "'nonsense' is not a slot" "$tmp/err" || fail "device check nonsense: exit $rc"

# ---- device firmware: a file that is no image never reaches the device
start isp --isp --fw-out "$tmp/fw-out.bin" --fw-restart 100
# (an EDID is no firmware image either)
for f in "$in/empty.bin" "$in/b1.bin" "$in/big.bin" "$tmp/good.bin" "$in/a directory.bin" \
    "$in/missing.bin"; do
    run "$cli" device firmware "$f" --port "$port"
    [ "$rc" -ne 0 ] || fail "device firmware $f: exit 0"
    [ -s "$tmp/err" ] || fail "device firmware $f: no message"
done
[ "$(requests "$tmp/isp.log")" -eq 0 ] ||
    fail "bad firmware files reached the device: $(grep -v '^#' "$tmp/isp.log" | head -n 3)"
[ -e "$tmp/fw-out.bin" ] && fail "the device stored firmware from a bad file"
# a small image (the mark at 512, 640 bytes: 10 blocks) under a non-ASCII name goes through
{
    head -c 512 /dev/zero
    printf 'FW VER:'; printf '\0'; printf '2.10'; printf '\0\0\0\0'; printf 'TAVO0401'
    head -c 104 /dev/zero
} >"$in/Micrologiciel — ü 固件.bin"
run "$cli" device firmware "$in/Micrologiciel — ü 固件.bin" --port "$port"
[ "$rc" -eq 0 ] || fail "device firmware from a non-ASCII name: exit $rc, $(cat "$tmp/err")"
[ "$(wc -c <"$tmp/fw-out.bin" 2>/dev/null || echo 0)" -eq 640 ] || fail "the device did not store 640 bytes"
grep -q "^V2.10 running: update confirmed" "$tmp/out" || fail "the update was not confirmed: $(cat "$tmp/out")"

# ---- device firmware: the loader refusing the fourth block ends the update there, exit 1
start refuse --isp --fw-out "$tmp/fw-refused.bin" --fault ng:FW_DATA:skip=3,count=1
run "$cli" device firmware "$in/Micrologiciel — ü 固件.bin" --port "$port"
[ "$rc" -eq 1 ] || fail "device firmware refused by the loader: exit $rc"
grep -q "Update Fw Failed." "$tmp/err" && grep -q "Block 4 of 10 (address 0x00c0) refused: NG" "$tmp/err" ||
    fail "device firmware refused: $(cat "$tmp/err")"
[ "$(grep -c 'FW_DATA' "$tmp/refuse.log")" -eq 4 ] && ! grep -q FW_END "$tmp/refuse.log" ||
    fail "blocks went on after the refusal: $(grep -c FW_ "$tmp/refuse.log") firmware requests"
[ -e "$tmp/fw-refused.bin" ] && fail "the device stored firmware from a refused update"

# ---- device description: cut to 31 bytes between UTF-8 characters
start described
run "$cli" device description "$(printf 'a%.0s' $(seq 30))éb" --port "$port"
[ "$rc" -eq 0 ] || fail "device description with a long UTF-8 text: exit $rc, $(cat "$tmp/err")"
run "$cli" device description --port "$port"
[ "$(cat "$tmp/out")" = "$(printf 'a%.0s' $(seq 30))" ] ||
    fail "the device holds '$(cat "$tmp/out")' instead of the 30 letters before the é"

# ---- device mode: judged by the mode the device then reports, not by when its answer arrives
start slowmode --fault late:RXEDMD:count=1,ms=40 # the SET's answer after its wait
run "$cli" device mode 5 --port "$port"
[ "$rc" -eq 0 ] && grep -q '^mode: 5 ' "$tmp/out" ||
    fail "device mode with a late answer: exit $rc, $(cat "$tmp/out") $(cat "$tmp/err")"

# ---- a slow device: every answer 150 ms late; each command still works, judged by what the
# device then holds or reports
mkdir "$tmp/slow"
start slow --delay-ms 150 --state-dir "$tmp/slow"
export XDG_DATA_HOME=$tmp/data # the slot history, never in the real home
slowcheck() { # NAME EXPECTED-EXIT COMMAND...
    local name=$1 want=$2
    shift 2
    run "$cli" device "$@" --port "$port"
    [ "$rc" -eq "$want" ] || fail "150 ms late, $name: exit $rc, $(cat "$tmp/out") $(cat "$tmp/err")"
}
slowcheck info 0 info
grep -q "^inputs: 4$" "$tmp/out" || fail "150 ms late, info: $(cat "$tmp/out")"
slowcheck read 0 read output1 "$tmp/slow-out.bin"
cmp -s "$tmp/slow-out.bin" "$tmp/slow/output1.bin" || fail "150 ms late: the read differs"
for slot in input1 user3; do
    slowcheck "write $slot" 0 write "$slot" "$tmp/good.bin"
    cmp -s "$tmp/slow/$slot.bin" "$tmp/good.bin" || fail "150 ms late: $slot does not hold the file"
done
slowcheck mode 0 mode 5
grep -q '^mode: 5 ' "$tmp/out" || fail "150 ms late, mode: $(cat "$tmp/out")"
slowcheck description 0 description "Slow rack"
[ "$(cat "$tmp/slow/description")" = "Slow rack" ] || fail "150 ms late: description not stored"
start slowbad --delay-ms 150 --corrupt-writes
slowcheck "write to a corrupting device" 1 write user1 "$tmp/good.bin"
grep -q "Upload Edid Failed. user1: 4 of 256 bytes differ" "$tmp/err" ||
    fail "150 ms late, corrupting device: $(cat "$tmp/err")"

# ---- interruptions: SIGINT or SIGTERM never leave a slot half written or a block without its waits
export XDG_DATA_HOME=$tmp/data # the slot history, never in the real home
# wait_for LOG PATTERN: until the simulator logged a request matching PATTERN (10 s at most)
wait_for() { for _ in $(seq 200); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done; return 1; }
mkdir "$tmp/int"
start int --state-dir "$tmp/int"
sleep 0.2
cp "$tmp/int/user2.bin" "$tmp/user2.before"
for sig in INT TERM HUP; do
    : >"$tmp/int.log"
    "$cli" device write user2 "$tmp/good.bin" --port "$port" >"$tmp/out" 2>"$tmp/err" &
    w=$!
    wait_for "$tmp/int.log" 'SET ND_ED0A' || fail "SIG$sig: the write never started"
    kill -"$sig" "$w"
    wait "$w"
    rc=$?
    [ "$rc" -eq 130 ] || fail "SIG$sig during device write: exit $rc, $(cat "$tmp/err")"
    grep -q "interrupted: the write into user2 and its verification finished first" "$tmp/err" ||
        fail "SIG$sig during device write: $(cat "$tmp/err")"
    cmp -s "$tmp/int/user2.bin" "$tmp/good.bin" || fail "SIG$sig: user 2 holds a mix"
    grep -q 'SET SYS_CTM' "$tmp/int.log" || fail "SIG$sig: no SYS_CTM after the write"
    run "$cli" device write user2 "$tmp/user2.before" --port "$port" # back for the next round
done
# a device that stores other bytes than sent: the write fails, named; --no-verify trusts it
start bad --corrupt-writes
run "$cli" device write user1 "$tmp/good.bin" --port "$port"
[ "$rc" -eq 1 ] && grep -q "Upload Edid Failed. user1: 4 of 256 bytes differ, the first at offset 0" "$tmp/err" ||
    fail "device write to a corrupting device: exit $rc, $(cat "$tmp/err")"
run "$cli" device write user1 "$tmp/good.bin" --port "$port" --no-verify
[ "$rc" -eq 0 ] || fail "device write --no-verify: exit $rc"
# firmware: 100 blocks, SIGINT after the first few: stops after a whole block, no FW_END
start isp2 --isp --fw-out "$tmp/fw-int.bin"
{
    head -c 512 /dev/zero
    printf 'FW VER:'; printf '\0'; printf '2.10'; printf '\0\0\0\0'; printf 'TAVO0401'
    head -c $((6400 - 512 - 24)) /dev/zero
} >"$tmp/fw100.bin"
"$cli" device firmware "$tmp/fw100.bin" --port "$port" >"$tmp/out" 2>"$tmp/err" &
w=$!
wait_for "$tmp/isp2.log" 'SET FW_DATA' || fail "the firmware update never started"
sleep 0.3
kill -INT "$w"
wait "$w"
rc=$?
[ "$rc" -eq 130 ] || fail "SIGINT during device firmware: exit $rc, $(cat "$tmp/err")"
grep -Eq "stopped after block [0-9]+ of 100; the device stays in ISP mode" "$tmp/err" ||
    fail "SIGINT during device firmware: $(cat "$tmp/err")"
n=$(grep -Eo 'block [0-9]+' "$tmp/err" | grep -Eo '[0-9]+')
[ "$(grep -c 'SET FW_DATA' "$tmp/isp2.log")" -eq "${n:-x}" ] || fail "blocks sent differ from block $n"
last=$(grep -v '^#' "$tmp/isp2.log" | tail -n 1)
case "$last" in *'SET FW_DATA'*) ;; *) fail "the update did not stop after a block: $last" ;; esac
grep -q 'FW_END' "$tmp/isp2.log" && fail "FW_END sent after SIGINT"
[ -e "$tmp/fw-int.bin" ] && fail "the device took an image from a stopped update"

# ---- backup and restore-backup: a whole device into a folder and back into another unit
mkdir "$tmp/unitA" "$tmp/unitB"
start unitA --state-dir "$tmp/unitA" --users 2 --inputs 2 --internals 1 --mode 3 --description "Hall A" \
    --slot "user2=$tmp/good.bin"
run "$cli" device backup "$tmp/bk" --port "$port"
[ "$rc" -eq 0 ] || fail "device backup: exit $rc, $(cat "$tmp/err")"
for f in input1 input2 output1 user1 user2 internal1; do
    cmp -s "$tmp/bk/$f.bin" "$tmp/unitA/$f.bin" 2>/dev/null || [ "$f" = internal1 ] ||
        fail "backup: $f.bin differs from the device"
    grep -q "\"$f.bin\": \"$(sha256sum "$tmp/bk/$f.bin" | cut -c1-64)\"" "$tmp/bk/manifest.json" ||
        fail "backup: the manifest's hash of $f.bin"
done
grep -q '"mode": 3' "$tmp/bk/manifest.json" && grep -q '"description": "Hall A"' "$tmp/bk/manifest.json" ||
    fail "backup: mode or description missing from the manifest"
start unitB --state-dir "$tmp/unitB" --users 2 --inputs 2 --internals 1
run "$cli" device restore-backup "$tmp/bk" --port "$port"
[ "$rc" -eq 0 ] || fail "device restore-backup: exit $rc, $(cat "$tmp/out") $(cat "$tmp/err")"
cmp -s "$tmp/unitB/user2.bin" "$tmp/good.bin" || fail "restore-backup: user 2 not restored"
[ "$(cat "$tmp/unitB/mode")" = 3 ] && [ "$(cat "$tmp/unitB/description")" = "Hall A" ] ||
    fail "restore-backup: mode or description not restored"
grep -q "^user2: written, verified" "$tmp/out" || fail "restore-backup: no report per item"
# a file changed after the backup: nothing is sent
before=$(requests "$tmp/unitB.log")
printf '\x01' | dd of="$tmp/bk/input2.bin" bs=1 seek=20 conv=notrunc 2>/dev/null
run "$cli" device restore-backup "$tmp/bk" --port "$port"
[ "$rc" -eq 1 ] && grep -q "input2.bin: its SHA-256 differs" "$tmp/err" ||
    fail "restore-backup of a changed file: exit $rc, $(cat "$tmp/err")"
# the search alone: ENTRANCE, SYS_DSCPT, ND_SEL, ND_DSCPT
[ $(($(requests "$tmp/unitB.log") - before)) -eq 4 ] ||
    fail "restore-backup of a changed file sent more than the search"
# the manifest's promises: a slot left out is named as not in the backup, a mode outside the
# device's range is refused (never sent modulo 256), the description is reported as stored
restore_variant() { # NAME SED-EXPRESSION: a copy of bk2 with its manifest changed, restored
    rm -rf "$tmp/$1"
    cp -r "$tmp/bk2" "$tmp/$1"
    sed -i "$2" "$tmp/$1/manifest.json"
    : >"$tmp/unitB.log"
    run "$cli" device restore-backup "$tmp/$1" --port "$port"
}
start unitA2 --state-dir "$tmp/unitA" --users 2 --inputs 2 --internals 1 --mode 3 --description "Hall A"
run "$cli" device backup "$tmp/bk2" --port "$port"
[ "$rc" -eq 0 ] || fail "device backup bk2: exit $rc, $(cat "$tmp/err")"
start unitB --state-dir "$tmp/unitB" --users 2 --inputs 2 --internals 1
restore_variant leftout '/"user1.bin"/d'
[ "$rc" -eq 1 ] && grep -q "^user1: not in the backup" "$tmp/out" && grep -q "^user2: written, verified" "$tmp/out" ||
    fail "restore-backup of a manifest without user1: exit $rc, $(cat "$tmp/out")"
# a field of the wrong type or out of range: the manifest refused, naming it, before anything is
# sent (the search alone reaches the device)
for variant in 's/"mode": 3/"mode": 300/|mode: 300 is outside 0 to 255' \
    's/"mode": 3/"mode": 6/|mode: 6 is outside the device.s 4 modes' \
    's/"mode": 3/"mode": "3"/|mode: text, not a whole number' \
    's/"mode": 3/"mode": 2.7/|mode: 2.7 is not a whole number' \
    's/"description": "Hall A"/"description": 12/|description: a number, not text'; do
    restore_variant tampered "${variant%%|*}"
    [ "$rc" -eq 1 ] && grep -q "manifest.json: ${variant#*|}.*nothing sent" "$tmp/err" ||
        fail "restore-backup of '${variant%%|*}': exit $rc, $(cat "$tmp/out" "$tmp/err")"
    [ "$(requests "$tmp/unitB.log")" -eq 4 ] ||
        fail "restore-backup of '${variant%%|*}' sent more than the search"
done
restore_variant nonlatin 's/"description": "Hall A"/"description": "Hall 東"/'
[ "$rc" -eq 0 ] && grep -q '^description: "Hall 東"' "$tmp/out" &&
    [ "$(cat "$tmp/unitB/description")" = "Hall 東" ] ||
    fail "restore-backup of a non-Latin description: exit $rc, $(cat "$tmp/out")"
grep -q 'Hall 東' "$tmp/unitB/description" ||
    fail "restore-backup did not store the description as written: $(cat "$tmp/unitB/description")"
long=$(printf 'L%.0s' $(seq 5000))
restore_variant longdesc "s/\"description\": \"Hall A\"/\"description\": \"$long\"/"
[ "$rc" -eq 0 ] && grep -q "^description: stored as \"$(printf 'L%.0s' $(seq 31))\" (the backup holds" "$tmp/out" ||
    fail "restore-backup of a 5000-character description: exit $rc, $(head -c 300 "$tmp/out")"
grep -q "it will store \"$(printf 'L%.0s' $(seq 31))\"" "$tmp/err" ||
    fail "restore-backup of a 5000-character description does not say beforehand what is stored"
# a non-ASCII description: encoded once in the manifest and shown as itself in both summaries;
# a manifest of an earlier version (each byte a character, no "texts") still restores it right
mkdir "$tmp/unitA3"
start unitA3 --state-dir "$tmp/unitA3" --users 2 --inputs 2 --internals 1 --description "Salle été"
run "$cli" device backup "$tmp/bk3" --port "$port"
[ "$rc" -eq 0 ] && grep -q '^description: Salle été$' "$tmp/out" &&
    grep -q '"description": "Salle été"' "$tmp/bk3/manifest.json" &&
    grep -q '"texts": "utf-8"' "$tmp/bk3/manifest.json" ||
    fail "backup of a non-ASCII description: exit $rc, $(cat "$tmp/out") $(cat "$tmp/bk3/manifest.json")"
start unitB --state-dir "$tmp/unitB" --users 2 --inputs 2 --internals 1
for form in current earlier; do
    rm -rf "$tmp/bk3.$form"
    cp -r "$tmp/bk3" "$tmp/bk3.$form"
    [ "$form" = earlier ] &&
        sed -i -e '/"texts"/d' -e 's/"description": "Salle été"/"description": "Salle Ã©tÃ©"/' \
            "$tmp/bk3.$form/manifest.json"
    run "$cli" device restore-backup "$tmp/bk3.$form" --port "$port"
    [ "$rc" -eq 0 ] && grep -q '^description: "Salle été"$' "$tmp/out" &&
        [ "$(cat "$tmp/unitB/description")" = "Salle été" ] ||
        fail "restore-backup of a non-ASCII description ($form manifest): exit $rc, $(cat "$tmp/out")"
done
# a link lost midway (during input2): every item after it is named as not tried
start unitC --state-dir "$tmp/unitB" --users 2 --inputs 2 --internals 1 --hangup-after 27
run "$cli" device restore-backup "$tmp/bk2" --port "$port"
[ "$rc" -eq 1 ] && grep -q "^input1: written, verified" "$tmp/out" && grep -q "^input2: FAILED" "$tmp/out" &&
    grep -q "^user1: not tried" "$tmp/out" && grep -q "^user2: not tried" "$tmp/out" &&
    grep -q "^mode: not tried" "$tmp/out" && grep -q "^description: not tried" "$tmp/out" ||
    fail "restore-backup with a lost link: exit $rc, $(cat "$tmp/out") $(cat "$tmp/err")"
# a pipe where the manifest should be: refused at once
mkdir "$tmp/bkfifo"
mkfifo "$tmp/bkfifo/manifest.json"
start unitD --users 2 --inputs 2 --internals 1
run timeout 20 "$cli" device restore-backup "$tmp/bkfifo" --port "$port"
[ "$rc" -eq 1 ] && grep -q "manifest.json: not a regular file" "$tmp/err" ||
    fail "restore-backup from a pipe: exit $rc, $(cat "$tmp/err")"

# ---- a failed backup never destroys the last good one
cp -r "$tmp/bk2" "$tmp/bk2.copy"
start unitE --state-dir "$tmp/unitA" --users 2 --inputs 2 --internals 1 --hangup-after 18
run "$cli" device backup "$tmp/bk2" --port "$port"
[ "$rc" -eq 1 ] && grep -q "^input2: saved" "$tmp/out" && grep -q "^user1: not tried" "$tmp/out" ||
    fail "backup with a lost link: exit $rc, $(cat "$tmp/out") $(cat "$tmp/err")"
diff -r "$tmp/bk2" "$tmp/bk2.copy" >/dev/null || fail "a failed backup changed the backup in its folder"
ls -d "$tmp"/bk2.partial-* 2>/dev/null && fail "a failed backup left its unfinished folder"
start unitF --state-dir "$tmp/unitA" --users 2 --inputs 2 --internals 1 --mode 3
run "$cli" device backup "$tmp/bk2" --port "$port"
[ "$rc" -eq 0 ] && diff -r "$tmp/bk2.previous" "$tmp/bk2.copy" >/dev/null && [ -s "$tmp/bk2/manifest.json" ] ||
    fail "a second backup: exit $rc, the former one not kept as bk2.previous: $(cat "$tmp/err")"
mkdir "$tmp/notbk" && echo keep >"$tmp/notbk/notes.txt"
run "$cli" device backup "$tmp/notbk" --port "$port"
[ "$rc" -eq 2 ] && grep -q "holds files that are no device backup" "$tmp/err" && [ ! -e "$tmp/notbk.previous" ] ||
    fail "a backup into a folder of other files: exit $rc, $(cat "$tmp/err")"

# ---- the history is never skipped in silence
key=5441-0401-DevSim_4x1
mkdir -p "$tmp/h-file/tavo" "$tmp/h-index/tavo/history/$key/user2/index" "$tmp/h-fifo/tavo/history/$key/user2"
: >"$tmp/h-file/tavo/history" # the history folder is a file
mkfifo "$tmp/h-fifo/tavo/history/$key/user2/index"
start hist --state-dir "$tmp/int"
for h in h-file h-index h-fifo; do
    : >"$tmp/hist.log"
    XDG_DATA_HOME=$tmp/$h run timeout 20 "$cli" device write user2 "$in/b257.bin" --port "$port"
    [ "$rc" -eq 2 ] && grep -q "the EDID in user2 cannot be kept in the history: .*; nothing sent" "$tmp/err" ||
        fail "$h: device write without its history: exit $rc, $(cat "$tmp/err")"
    grep -q 'ND_ED0A' "$tmp/hist.log" && grep -q 'SET ND_ED' "$tmp/hist.log" && fail "$h: the write was sent"
done
XDG_DATA_HOME=$tmp/h-file run "$cli" device write user2 "$tmp/good.bin" --port "$port" --no-history
[ "$rc" -eq 0 ] || fail "device write --no-history with a broken history: exit $rc, $(cat "$tmp/err")"
# restore names the entry before it writes
run "$cli" device write user2 "$tmp/user2.before" --port "$port"
run "$cli" device restore user2 1 --port "$port"
[ "$rc" -eq 0 ] && grep -Eq "^restoring history entry 1 of user2 \(20[0-9-]+T[0-9:.]+Z, (monitor .+|no monitor name)\)" "$tmp/out" ||
    fail "device restore does not name its entry: exit $rc, $(cat "$tmp/out") $(cat "$tmp/err")"
# an entry that is a pipe: refused at once
hdir=$tmp/data/tavo/history/$key/user2
newest=$(tail -n 1 "$hdir/index" | cut -f1)
rm "$hdir/$newest" && mkfifo "$hdir/$newest"
run timeout 20 "$cli" device restore user2 1 --port "$port"
[ "$rc" -eq 1 ] && grep -q "not a regular file" "$tmp/err" || fail "device restore from a pipe: exit $rc, $(cat "$tmp/err")"
rm -f "$hdir/$newest"
# an entry of 300 bytes is named with its own size
head -c 300 /dev/zero >"$hdir/$newest"
run timeout 20 "$cli" device restore user2 1 --port "$port"
[ "$rc" -ne 0 ] && grep -q "300 bytes, not a 256-byte history entry" "$tmp/err" ||
    fail "device restore from a 300-byte entry: exit $rc, $(cat "$tmp/err")"
rm -f "$hdir/$newest"

# ---- a device whose descriptors come 500 ms late has not answered; it is not a device of no slots
mkdir -p "$tmp/late"
start late --state-dir "$tmp/late" --fault late:SYS_DSCPT:500
for cmd in "read input1 $tmp/late.bin" "write input1 $tmp/good.bin" "mode"; do
    run timeout 20 "$cli" device $cmd --port "$port"
    [ "$rc" -eq 1 ] && grep -q "did not answer in time" "$tmp/err" && ! grep -q "has no input1" "$tmp/err" ||
        fail "device $cmd with late descriptors: exit $rc, $(cat "$tmp/err")"
done

# ---- two writers of one history (two devices of one product): no entry without its index line
mkdir "$tmp/twoA" "$tmp/twoB"
start twoA --state-dir "$tmp/twoA"
portA=$port
start twoB --state-dir "$tmp/twoB"
data=$(cd "$(dirname "$0")" && pwd)/data/edid
edids=("$data/002d10c53aa9561f.bin" "$data/003e3a86840230ba.bin")
writer() { # PORT: ten writes of alternating EDIDs
    for i in $(seq 10); do
        XDG_DATA_HOME=$tmp/two "$cli" device write input3 "${edids[$((i % 2))]}" --port "$1" >/dev/null 2>&1
    done
}
writer "$portA" &
wa=$!
writer "$port"
wait "$wa"
tdir=$tmp/two/tavo/history/$key/input3
lines=$(wc -l <"$tdir/index")
files=$(find "$tdir" -name '*.bin' | wc -l)
[ "$lines" -ge 10 ] && [ "$lines" -eq "$files" ] || fail "two writers: $lines index lines, $files entry files"
while IFS=$'\t' read -r f _; do [ -f "$tdir/$f" ] || fail "two writers: $f named but missing"; done <"$tdir/index"

# compose with slot: sources: the device's outputs, read over one connection, with a file
start composer
run "$cli" compose "$tmp/composed.bin" slot:output1 slot:internal1 "$tmp/good.bin" --port "$port"
[ "$rc" -eq 0 ] && "$cli" validate "$tmp/composed.bin" >/dev/null ||
    fail "compose of slot: sources: exit $rc, $(cat "$tmp/err")"
run "$cli" compose "$tmp/none.bin" slot:output99 "$tmp/good.bin" --port "$port"
[ "$rc" -eq 2 ] && [ ! -e "$tmp/none.bin" ] && grep -q "output99" "$tmp/err" ||
    fail "compose of a slot the device lacks: exit $rc, $(cat "$tmp/err")"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "tavo-cli device file checks passed"
