#!/bin/bash
# A save killed midway leaves the old file or the new one, never a mix. `tavo-cli new` and
# `tavo-cli rebuild` write the same path in turn (two different 256-byte images) and are killed
# with SIGKILL at random moments; after every kill the file must be exactly one of the two images.
# Saves write a temporary file next to the target (TARGET.XXXXXX) and rename it over the target;
# a kill between the two can leave that temporary file, at most one per kill, never the target
# half-written.
# usage: check-cli-save-kill.sh TAVO_CLI [SECONDS]   (default 3)
set -u
cli=$1
seconds=${2:-3}
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cli" new "$tmp/a.bin" || exit 2
"$cli" rebuild "$tmp/a.bin" "$tmp/b.bin" || exit 2
cmp -s "$tmp/a.bin" "$tmp/b.bin" && { echo "the two images are the same" >&2; exit 2; }
mkdir "$tmp/out"
target=$tmp/out/edid.bin
cp "$tmp/b.bin" "$target"

# how long a whole save takes here: the kills are spread from at once to a little past that,
# so they land before the open, during the write, around the rename and after the end
t0=${EPOCHREALTIME/[.,]/}
for _ in 1 2 3 4 5; do "$cli" new "$tmp/probe.bin"; done
span=$(((${EPOCHREALTIME/[.,]/} - t0) * 13 / 50)) # microseconds, 1.3 x the mean
rm -f "$tmp/probe.bin"
[ "$span" -gt 0 ] || span=1000

kills=0
finished=0
rounds=0
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ] && [ "$rounds" -lt 2000 ]; do
    rounds=$((rounds + 1))
    if [ $((rounds % 2)) -eq 0 ]; then
        "$cli" new "$target" 2>/dev/null &
    else
        "$cli" rebuild "$tmp/a.bin" "$target" 2>/dev/null &
    fi
    pid=$!
    delay=$(((RANDOM * 32768 + RANDOM) % span))
    [ "$delay" -ge 1000 ] && sleep "$((delay / 1000000)).$(printf %06d $((delay % 1000000)))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rc=$?
    if [ "$rc" -eq 137 ]; then kills=$((kills + 1)); else finished=$((finished + 1)); fi
    if [ ! -f "$target" ]; then
        fail "round $rounds: the target is gone"
        cp "$tmp/b.bin" "$target"
    elif ! cmp -s "$target" "$tmp/a.bin" && ! cmp -s "$target" "$tmp/b.bin"; then
        fail "round $rounds: the target is neither image ($(wc -c <"$target") bytes)"
        cp "$tmp/b.bin" "$target"
    fi
done
temps=$(find "$tmp/out" -name 'edid.bin.??????' | wc -l)
others=$(find "$tmp/out" -mindepth 1 ! -name 'edid.bin' ! -name 'edid.bin.??????' | wc -l)
echo "rounds $rounds: killed $kills, finished $finished; temporary files left by kills: $temps"
[ "$temps" -le "$kills" ] || fail "$temps temporary files for $kills kills"
[ "$others" -eq 0 ] || fail "unexpected files: $(ls "$tmp/out")"
[ "$kills" -gt 0 ] || fail "no save was killed: the check proved nothing"
[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "every killed save left the old or the new file"
