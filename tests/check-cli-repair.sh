#!/bin/sh
# tavo-cli repair: the golden repairs of tests/data/repair (NAME.bin repaired, with the rules of
# NAME.rules when there is one, gives the bytes of NAME.repaired.bin and the change lines of
# NAME.txt), the JSON object, the exit codes and what is (not) written.
# usage: check-cli-repair.sh TAVO_CLI REPAIR_DATA_DIR
set -u
cli=$1
data=$2
. "$(dirname "$0")/cli-lib.sh"

# the goldens; the check's findings left ("remaining:") are the check's own business
goldens=0
for f in "$data"/*.bin; do
    case $f in *.repaired.bin) continue ;; esac
    name=${f%.bin}
    set --
    if [ -f "$name.rules" ]; then
        while read -r rule; do set -- "$@" --rule "$rule"; done <"$name.rules"
    fi
    rm -f "$tmp/r.bin"
    expect 0 "$cli" repair "$@" "$f" "$tmp/r.bin"
    grep -v '^remaining:' "$tmp/out" >"$tmp/lines"
    cmp -s "$tmp/lines" "$name.txt" || fail "$f: changes differ: $(diff "$name.txt" "$tmp/lines")"
    cmp -s "$tmp/r.bin" "$name.repaired.bin" || fail "$f: repaired bytes differ"
    # repaired again: nothing to repair, nothing written
    expect 1 "$cli" repair "$@" "$tmp/r.bin" "$tmp/again.bin"
    [ -e "$tmp/again.bin" ] && fail "$f: a second repair wrote its output"
    goldens=$((goldens + 1))
done
[ "$goldens" -ge 5 ] || fail "only $goldens golden repairs"

# the size stays: a 128-byte EDID is written as 128 bytes
small="$data/002d10c53aa9561f.bin"
expect 0 "$cli" repair "$small" "$tmp/small.bin"
[ "$(wc -c <"$tmp/small.bin")" -eq 128 ] || fail "a 128-byte EDID repaired into $(wc -c <"$tmp/small.bin") bytes"

# a one-block EDID in a 256-byte file, the rest erased (0xFF): the erased bytes stay
head -c 128 "$small" >"$tmp/erased.bin"
head -c 128 /dev/zero | tr '\0' '\377' >>"$tmp/erased.bin"
expect 0 "$cli" repair "$tmp/erased.bin" "$tmp/erased-r.bin"
[ "$(wc -c <"$tmp/erased-r.bin")" -eq 256 ] || fail "a 256-byte file repaired into another size"
[ "$(od -An -v -tx1 -j128 "$tmp/erased-r.bin" | tr -d ' \n' | tr -d f)" = "" ] ||
    fail "the erased extension area was changed"
[ "$(head -c 128 "$tmp/erased-r.bin" | od -An -v -tx1)" = "$(od -An -v -tx1 "$tmp/small.bin")" ] ||
    fail "the base block of an erased-extension file is repaired otherwise"

# a preset without an extension is read as one block: written as 128 bytes (nothing to repair
# in a preset, so its repair writes nothing)
expect 1 "$cli" repair preset:1080p60-stereo "$tmp/preset.bin"

# --json: one object with in, out, the changes by rule and the findings left
dup="$data/a3f8bc99a4c80b39.bin"
expect 0 "$cli" repair --json "$dup" "$tmp/j.bin"
[ "$(wc -l <"$tmp/out")" -eq 1 ] || fail "--json: not one line"
grep -q '^{"in":".*a3f8bc99a4c80b39.bin","out":".*j.bin","changes":\[{"rule":"duplicate-vic","differences":\[' "$tmp/out" ||
    fail "--json: $(cat "$tmp/out")"
grep -q '{"rule":"hdmi-tmds","differences":\["HDMI Vendor-Specific Data Block: maximum TMDS clock 600 → 340 MHz"\]}],"remaining": *\[.*\]}$' "$tmp/out" ||
    fail "--json: $(cat "$tmp/out")"
if command -v python3 >/dev/null 2>&1; then
    python3 -c 'import json,sys; json.load(open(sys.argv[1]))' "$tmp/out" || fail "--json: not JSON"
fi

# a named rule runs only when named; --rule=ID works as --rule ID
novcdb="$data/01024aa8ff21a5b2.bin"
expect 0 "$cli" repair "$novcdb" "$tmp/n1.bin"
grep -q '^missing-vcdb:' "$tmp/out" && fail "missing-vcdb ran without being named"
expect 0 "$cli" repair --rule=missing-vcdb "$novcdb" "$tmp/n2.bin"
grep -q '^missing-vcdb: Video Capability Data Block: added$' "$tmp/out" || fail "--rule=missing-vcdb: $(cat "$tmp/out")"

# bad input: exit 2, nothing written
rm -f "$tmp/x.bin"
expect 2 "$cli" repair --rule srgb "$dup" "$tmp/x.bin"
grep -q "srgb" "$tmp/err" && grep -q "range-limits" "$tmp/err" || fail "unknown rule: $(cat "$tmp/err")"
expect 2 "$cli" repair --rule "$dup" "$tmp/x.bin"
expect 2 "$cli" repair "$tmp/missing.bin" "$tmp/x.bin"
expect 2 "$cli" repair "$dup"
[ -e "$tmp/x.bin" ] && fail "a refused repair wrote its output"
expect 2 "$cli" repair "$dup" "$tmp/nodir/x.bin"
# the input as output needs --force; a read-only output too
cp "$dup" "$tmp/same.bin"
chmod u+w "$tmp/same.bin"
expect 2 "$cli" repair "$tmp/same.bin" "$tmp/same.bin"
cmp -s "$dup" "$tmp/same.bin" || fail "the input was overwritten without --force"
expect 0 "$cli" repair --force "$tmp/same.bin" "$tmp/same.bin"
cmp -s "$tmp/same.bin" "$data/a3f8bc99a4c80b39.repaired.bin" || fail "--force: not the repaired bytes"
cp "$dup" "$tmp/ro.bin"
chmod a-w "$tmp/ro.bin"
expect 2 "$cli" repair "$small" "$tmp/ro.bin"
cmp -s "$dup" "$tmp/ro.bin" || fail "a read-only output was replaced without --force"
expect 0 "$cli" repair --force "$small" "$tmp/ro.bin"

# nothing to repair: exit 1, nothing written
expect 1 "$cli" repair "$data/a3f8bc99a4c80b39.repaired.bin" "$tmp/none.bin"
[ -e "$tmp/none.bin" ] && fail "nothing to repair, yet written"
grep -q "nothing to repair" "$tmp/out" || fail "nothing to repair: $(cat "$tmp/out")"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "repair: $goldens goldens and the command's cases pass"
