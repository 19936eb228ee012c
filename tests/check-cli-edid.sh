#!/bin/sh
# The EDID file subcommands of tavo-cli: new, validate, analyze, blocks, check, diff, hex, displays, EDIDs
# as hex text and from a display (in a DRM tree of its own), and their error handling; the block
# maps pinned in tests/data/blocks.
# usage: check-cli-edid.sh TAVO_CLI
set -u
cli=$1
. "$(dirname "$0")/cli-lib.sh"

# new: the built-in EDID, 256 bytes, valid, written without leftovers
expect 0 "$cli" new "$tmp/new.bin"
[ "$(wc -c <"$tmp/new.bin")" -eq 256 ] || fail "new: not 256 bytes"
[ "$(od -An -tx1 -j96 -N12 "$tmp/new.bin" | tr -d ' \n')" = "72616e644e6577456469640a" ] ||
    fail "new: monitor name bytes"
expect 0 "$cli" new "$tmp/new.bin"   # over an existing file
[ "$(ls "$tmp" | wc -l)" -eq 3 ] || fail "new: temporary files left: $(ls "$tmp")"
expect 2 "$cli" new "$tmp/no/such/dir/x.bin"
[ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "new into a missing directory: not one error line"
expect 2 "$cli" new
expect 2 "$cli" new "$tmp"

# validate: Ok., each error message, exit 1 on a failure, 2 on an unreadable file
expect 0 "$cli" validate "$tmp/new.bin"
[ "$(cat "$tmp/out")" = "$tmp/new.bin: Ok." ] || fail "validate: $(cat "$tmp/out")"
cp "$tmp/new.bin" "$tmp/sum0.bin"
printf '\001' | dd of="$tmp/sum0.bin" bs=1 seek=20 conv=notrunc 2>/dev/null
cp "$tmp/new.bin" "$tmp/sum1.bin"
printf '\001' | dd of="$tmp/sum1.bin" bs=1 seek=200 conv=notrunc 2>/dev/null
cp "$tmp/new.bin" "$tmp/header.bin"
printf '\001' | dd of="$tmp/header.bin" bs=1 seek=0 conv=notrunc 2>/dev/null
expect 1 "$cli" validate "$tmp/sum0.bin" "$tmp/new.bin" "$tmp/sum1.bin" "$tmp/header.bin"
printf '%s\n' "$tmp/sum0.bin: Illegal Edid CheckSum0." "$tmp/new.bin: Ok." \
    "$tmp/sum1.bin: Illegal Edid CheckSum1." "$tmp/header.bin: Illegal Edid Header." >"$tmp/want"
cmp -s "$tmp/out" "$tmp/want" || fail "validate messages: $(cat "$tmp/out")"
rm -f "$tmp/want"
expect 2 "$cli" validate "$tmp/missing.bin" "$tmp/new.bin" "$tmp"
[ "$(cat "$tmp/out")" = "$tmp/new.bin: Ok." ] || fail "validate: other files not processed"
[ "$(wc -l <"$tmp/err")" -eq 2 ] || fail "validate: want one error line per bad path"
expect 2 "$cli" validate

# a short file is padded with 0xFF: a 128-byte base block that announces no extension is valid
head -c 128 "$tmp/new.bin" >"$tmp/short.bin"
printf '\000' | dd of="$tmp/short.bin" bs=1 seek=126 conv=notrunc 2>/dev/null
printf '\324' | dd of="$tmp/short.bin" bs=1 seek=127 conv=notrunc 2>/dev/null # D3 + 01
expect 0 "$cli" validate "$tmp/short.bin"

# analyze: rows as the window shows them, JSON lines, errors on stderr
expect 0 "$cli" analyze "$tmp/new.bin"
grep -qx "    EDID Header : Good" "$tmp/out" || fail "analyze: header row"
grep -qx "    Monitor Name : BrandNewEdid" "$tmp/out" || fail "analyze: name row"
grep -qx "    CEC Address : 1000" "$tmp/out" || fail "analyze: CEC row"
[ "$(wc -l <"$tmp/out")" -eq 16 ] || fail "analyze: want the path and 15 rows"
expect 0 "$cli" analyze --json "$tmp/sum1.bin"
case "$(cat "$tmp/out")" in
*'"EDID Header":"Illegal (header good)","EDID Checksum":"Illegal (extension block)"'*) ;;
*) fail "analyze --json of a bad image: $(cat "$tmp/out")" ;;
esac
expect 2 "$cli" analyze --json "$tmp/missing.bin" "$tmp/new.bin" "$tmp"
[ "$(wc -l <"$tmp/out")" -eq 1 ] || fail "analyze: other files not processed"
[ "$(wc -l <"$tmp/err")" -eq 2 ] || fail "analyze: want one error line per bad path"
expect 2 "$cli" analyze --json
# a larger EDID: the rows of its base block and first CTA-861 extension, and what follows
large=$(cd "$(dirname "$0")/data/blocks" && pwd)/displayid-512.bin
expect 0 "$cli" analyze "$large"
grep -qx "    EDID Checksum : Good" "$tmp/out" && grep -qx "    Audio Formats : 2PCM," "$tmp/out" &&
    [ "$(tail -n 1 "$tmp/out")" = "    Further Blocks : 1 DisplayID, 1 CTA-861" ] ||
    fail "analyze of 512 bytes: $(cat "$tmp/out")"
[ ! -s "$tmp/err" ] || fail "analyze of 512 bytes: $(cat "$tmp/err")"
expect 0 "$cli" analyze --json "$large"
case "$(cat "$tmp/out")" in
*'"EDID Header":"Good",'*',"Further Blocks":"1 DisplayID, 1 CTA-861"}') ;;
*) fail "analyze --json of 512 bytes: $(cat "$tmp/out")" ;;
esac
# without a CTA-861 extension: the base block's rows, and every other block further
python3 -c 'import sys
d = bytearray(open(sys.argv[1], "rb").read())
out = d[:128] + d[256:384] + d[256:384]
out[126] = 2
out[127] = -sum(out[:127]) & 0xFF
open(sys.argv[2], "wb").write(out)' "$large" "$tmp/no-cta.bin"
expect 0 "$cli" analyze "$tmp/no-cta.bin"
grep -qx "    EDID Checksum : Good" "$tmp/out" && ! grep -q "Over Banks" "$tmp/out" &&
    [ "$(tail -n 1 "$tmp/out")" = "    Further Blocks : 2 DisplayID" ] ||
    fail "analyze of base and DisplayID blocks: $(cat "$tmp/out")"

# blocks: one line per part; the pinned block maps of tests/data/blocks (the line `blocks --json
# NAME.bin` prints inside tests/data/edid)
expect 0 "$cli" blocks "$tmp/new.bin"
[ "$(sed -n 2p "$tmp/out")" = "  0   8  Header" ] || fail "blocks: first part: $(sed -n 2p "$tmp/out")"
grep -qx "1[0-9][0-9]  *[0-9]*  HDMI Vendor-Specific Data Block" "$tmp/out" || fail "blocks: HDMI block"
[ "$(tail -n 1 "$tmp/out")" = "255   1  Checksum" ] || fail "blocks: last part"
data=$(cd "$(dirname "$0")/data" && pwd)
for golden in "$data"/blocks/*.json; do
    name=$(basename "$golden" .json)
    got=$(cd "$data/edid" && "$cli" blocks --json "$name.bin")
    [ "$got" = "$(cat "$golden")" ] || fail "blocks --json $name.bin differs from $golden: $got"
done
expect 2 "$cli" blocks --json "$tmp/missing.bin" "$tmp/new.bin"
[ "$(wc -l <"$tmp/out")" -eq 1 ] || fail "blocks: other files not processed"
expect 2 "$cli" blocks

# diff: 0 identical, 1 different (one line per difference), 2 on errors
expect 0 "$cli" diff "$tmp/new.bin" "$tmp/new.bin"
[ -s "$tmp/out" ] && fail "diff of equal files printed: $(cat "$tmp/out")"
expect 1 "$cli" diff "$data/edid/d0807abe7120c13f.bin" "$data/edid/05a56ba71e1ddc67.bin"
grep -qx "Vendor-Specific Audio Data Block (Dolby): removed" "$tmp/out" ||
    fail "diff: removed block: $(cat "$tmp/out")"
grep -q "^HDMI Vendor-Specific Data Block: source physical address: 4.1.0.0 .* 2.2.0.0$" \
    "$tmp/out" || fail "diff: physical address: $(cat "$tmp/out")"
expect 1 "$cli" diff --json "$tmp/new.bin" "$tmp/sum1.bin"
case "$(cat "$tmp/out")" in
'{"a": "'"$tmp"'/new.bin", "b": "'"$tmp"'/sum1.bin", "differences": ["'*'"]}') ;;
*) fail "diff --json: $(cat "$tmp/out")" ;;
esac
expect 2 "$cli" diff "$tmp/new.bin" "$tmp/missing.bin"
expect 2 "$cli" diff "$tmp/new.bin"

# hex text in, hex text out: the notes and the refusal of a binary file's, 16 bytes a line out
expect 0 "$cli" hex "$tmp/new.bin"
[ "$(wc -l <"$tmp/out")" -eq 16 ] && [ "$(head -n 1 "$tmp/out")" = "00 ff ff ff ff ff ff 00 38 b7 00 00 00 00 00 00" ] ||
    fail "hex: $(head -n 2 "$tmp/out")"
{ echo "EDID:"; cat "$tmp/out"; } >"$tmp/new.txt"
expect 0 "$cli" validate "$tmp/new.txt"
[ ! -s "$tmp/err" ] || fail "validate hex text: note $(cat "$tmp/err")"
head -n 7 "$tmp/new.txt" | tail -n 6 | tr '\n' ',' >"$tmp/part.txt"
expect 1 "$cli" validate "$tmp/part.txt"
grep -q "part.txt: hex text of 96 bytes, not a whole EDID block" "$tmp/err" ||
    fail "hex text of 96 bytes: $(cat "$tmp/err")"
{ cat "$tmp/new.txt"; echo 00; } >"$tmp/long.txt"
for cmd in validate analyze hex; do
    expect 2 "$cli" $cmd "$tmp/long.txt"
    grep -q "long.txt: hex text of 257 bytes, too long" "$tmp/err" || fail "$cmd 257 bytes of hex: $(cat "$tmp/err")"
done
# an edid-decode report (tests/data/reports) reads as the EDID it was made from; hex text with
# an odd number of digits is refused as such
data=$(cd "$(dirname "$0")" && pwd)/data
expect 0 "$cli" hex "$data/reports/0a2f6adf41d8ea44.txt"
"$cli" hex "$data/edid/0a2f6adf41d8ea44.bin" | cmp -s - "$tmp/out" || fail "hex of a report: not its EDID"
printf 'EDID:\n00 ff f\n' >"$tmp/odd.txt"
expect 2 "$cli" validate "$tmp/odd.txt"
grep -q "odd.txt: hex text with an odd number of hex digits in line 2" "$tmp/err" ||
    fail "odd digits: $(cat "$tmp/err")"
expect 2 "$cli" hex
expect 2 "$cli" hex "$tmp/new.bin" "$tmp/new.bin"
# a whole `xrandr --verbose` output: its one EDID (a disconnected connector has none); with two
# connectors' EDIDs refused, naming them
expect 0 "$cli" hex "$data/xrandr-verbose-one.txt"
"$cli" hex "$data/edid/003e3a86840230ba.bin" | cmp -s - "$tmp/out" || fail "hex of xrandr output: not its EDID"
expect 2 "$cli" analyze "$data/xrandr-verbose-two.txt"
grep -q "xrandr-verbose-two.txt: xrandr output with 2 EDIDs (eDP-1, HDMI-1): choose one connector" \
    "$tmp/err" || fail "xrandr output with two EDIDs: $(cat "$tmp/err")"

# displays: every connector of the DRM tree, and display:CONNECTOR wherever a file is taken
drm=$tmp/drm
mkdir -p "$drm/card0" "$drm/card0-HDMI-A-1" "$drm/card0-DP-1"
echo connected >"$drm/card0-HDMI-A-1/status"
cp "$tmp/new.bin" "$drm/card0-HDMI-A-1/edid"
echo disconnected >"$drm/card0-DP-1/status"
: >"$drm/card0-DP-1/edid"
export TAVO_DRM_ROOT="$drm"
expect 0 "$cli" displays
printf '%s\n' "card0-DP-1      disconnected  (no EDID)" \
    "card0-HDMI-A-1  connected     $("$cli" analyze "$tmp/new.bin" | sed -n 's/^    Manufacturer Name : //p')  BrandNewEdid" >"$tmp/want"
cmp -s "$tmp/out" "$tmp/want" || fail "displays: $(cat "$tmp/out")"
expect 0 "$cli" displays --json
grep -q '^{"connector":"card0-HDMI-A-1","status":"connected","manufacturer":"[A-Z@]*","monitor":"BrandNewEdid"}$' "$tmp/out" ||
    fail "displays --json: $(cat "$tmp/out")"
expect 2 "$cli" displays --all
expect 0 "$cli" validate display:card0-HDMI-A-1
[ "$(cat "$tmp/out")" = "display:card0-HDMI-A-1: Ok." ] || fail "validate display: $(cat "$tmp/out")"
expect 0 "$cli" hex display:HDMI-A-1
"$cli" hex "$tmp/new.bin" | cmp -s - "$tmp/out" || fail "hex display: not its EDID"
expect 0 "$cli" rebuild display:card0-HDMI-A-1 "$tmp/rebuilt.bin"
expect 0 "$cli" diff display:card0-HDMI-A-1 "$tmp/new.txt"
expect 0 "$cli" blocks display:card0-HDMI-A-1
expect 1 "$cli" check display:card0-HDMI-A-1 # the built-in EDID lacks a capability block
grep -q "^display:card0-HDMI-A-1: fail (Check: " "$tmp/out" || fail "check display: $(cat "$tmp/out")"
expect 2 "$cli" analyze display:card0-DP-1
grep -qx "tavo-cli: display:card0-DP-1: no EDID (disconnected)" "$tmp/err" || fail "display without EDID: $(cat "$tmp/err")"
expect 2 "$cli" validate display:card0-HDMI-A-2
grep -q "no such connector under $drm (connectors: card0-DP-1, card0-HDMI-A-1)" "$tmp/err" ||
    fail "unknown display: $(cat "$tmp/err")"
TAVO_DRM_ROOT=$tmp/none expect 0 "$cli" displays
[ ! -s "$tmp/out" ] && grep -q "no display connector under $tmp/none" "$tmp/err" || fail "no DRM tree: $(cat "$tmp/err")"
# a display whose edid file has four blocks is read whole, as the file itself is
big=$(cd "$(dirname "$0")/data/blocks" && pwd)/displayid-512.bin
mkdir -p "$drm/card0-DP-2"
echo connected >"$drm/card0-DP-2/status"
cp "$big" "$drm/card0-DP-2/edid"
for cmd in blocks analyze hex check "fit --json"; do
    case $cmd in fit*) to=$tmp/fitted.bin ;; *) to= ;; esac
    # shellcheck disable=SC2086 # the command's words
    "$cli" $cmd "$big" $to >"$tmp/file.out" 2>&1
    want=$?
    # shellcheck disable=SC2086
    expect "$want" "$cli" $cmd display:card0-DP-2 $to
    sed "s#$big#display:card0-DP-2#g" "$tmp/file.out" | cmp -s - "$tmp/out" ||
        fail "$cmd display: of four blocks differs from its file: $(head -n 3 "$tmp/out")"
done
"$cli" analyze display:card0-DP-2 | grep -q "Further Blocks : 1 DisplayID, 1 CTA-861" ||
    fail "analyze display: of four blocks: not read past 256 bytes"
unset TAVO_DRM_ROOT

# check: one verdict line per file and a line per finding, JSON lines, exit 0 (no failure), 1 (a
# failure), 2 (unreadable). Table: file, exit, verdict, the rules raised ("-": none).
data=$(cd "$(dirname "$0")" && pwd)/data/edid
head -c 128 "$tmp/new.bin" >"$tmp/check128.bin" # one block that announces an extension
# three blocks (a DisplayID extension, then a CTA-861 one): checked whole, past 256 bytes
python3 -c 'import sys
d = bytearray(open(sys.argv[1], "rb").read())
d[126] = 2
d[127] = -sum(d[:127]) & 0xFF
e = bytearray(128)
e[0:3] = b"\x02\x03\x04"
e[127] = -sum(e[:127]) & 0xFF
open(sys.argv[2], "wb").write(d + e)' "$data/0716a23fd78ad31d.bin" "$tmp/check384.bin"
# an EDID of four blocks is checked whole (its count holds); cut to three it announces one
# block too many, also as hex text
blocks=$(dirname "$data")/blocks
reports=$(dirname "$data")/reports # an edid-decode report of the 512-byte EDID too
head -c 384 "$blocks/displayid-512.bin" >"$tmp/check384cut.bin"
python3 -c 'import sys; print(open(sys.argv[1], "rb").read().hex(" "))' "$blocks/displayid-512.bin" >"$tmp/check512.txt"
while read -r name code verdict rules; do
    case $name in /* | preset:*) f=$name ;; *) f=$data/$name ;; esac
    expect "$code" "$cli" check --json "$f"
    got=$(python3 -c 'import json, sys
o = json.loads(sys.stdin.readline())
assert set(o) == {"file", "verdict", "findings"}
for f in o["findings"]:
    assert set(f) == {"rule", "severity", "part", "offset", "length", "text"}, f
print(o["verdict"], ",".join(sorted({f["rule"] for f in o["findings"]})) or "-")' <"$tmp/out") ||
        fail "check --json $name: not one object of the documented keys: $(cat "$tmp/out")"
    [ "$got" = "$verdict $rules" ] || fail "check $name: '$got', want '$verdict $rules'"
done <<TABLE
0716a23fd78ad31d.bin 0 pass -
002d10c53aa9561f.bin 1 fail empty-descriptor,missing-name
00f9ebab5d16e4d7.bin 1 fail it-overscan,missing-vcdb,native-timings,range-limits
1865d631944fcb58.bin 1 fail descriptor-text,hf-tmds,image-size,native-timings,serial-number,vcdb-quantization
$tmp/check128.bin 1 fail extension-count
$tmp/check384.bin 1 fail it-overscan,missing-vcdb,required-timings,serial-number
$blocks/displayid-512.bin 1 fail dtd-order,empty-descriptor,image-size,it-overscan,missing-name,missing-range-limits,missing-vcdb,required-timings
$tmp/check512.txt 1 fail dtd-order,empty-descriptor,image-size,it-overscan,missing-name,missing-range-limits,missing-vcdb,required-timings
$reports/displayid-512.txt 1 fail dtd-order,empty-descriptor,image-size,it-overscan,missing-name,missing-range-limits,missing-vcdb,required-timings
$tmp/check384cut.bin 1 fail dtd-order,empty-descriptor,extension-count,image-size,it-overscan,missing-name,missing-range-limits,missing-vcdb,required-timings
preset:1080p60-stereo 0 pass -
TABLE
# warnings only: exit 0; text: the verdict line, then one line per finding
"$cli" hex preset:1080p60-stereo | python3 -c 'import sys
d = bytearray(bytes.fromhex(sys.stdin.read()))
d[131] &= 0x7F  # IT formats overscanned
d[255] = -sum(d[128:255]) & 0xFF
open(sys.argv[1], "wb").write(d)' "$tmp/warn.bin" || fail "check: no preset to change"
expect 0 "$cli" check "$tmp/warn.bin"
[ "$(head -n 1 "$tmp/out")" = "$tmp/warn.bin: warn (Check: 1 warning)" ] ||
    fail "check warn: $(cat "$tmp/out")"
grep -q '^  warning  it-overscan  CTA-861 Extension Header (offset 128, 4 bytes): ' "$tmp/out" ||
    fail "check finding line: $(cat "$tmp/out")"
# several files: one object each; an unreadable one is reported, skipped, and exits 2
expect 2 "$cli" check --json "$data/0716a23fd78ad31d.bin" "$tmp/missing.bin" "$data/002d10c53aa9561f.bin"
[ "$(wc -l <"$tmp/out")" -eq 2 ] || fail "check of three files: $(cat "$tmp/out")"
[ "$(wc -l <"$tmp/err")" -eq 1 ] && grep -q missing.bin "$tmp/err" || fail "check missing: $(cat "$tmp/err")"
expect 1 "$cli" check "$data/0716a23fd78ad31d.bin" "$data/002d10c53aa9561f.bin"
expect 2 "$cli" check

expect 2 "$cli" frobnicate
expect 2 "$cli"
expect 0 "$cli" help
grep -q "analyze \[--json\] FILE..." "$tmp/out" || fail "help: no analyze usage"

[ $failures -eq 0 ] && echo "tavo-cli EDID commands: all checks passed"
exit $failures
