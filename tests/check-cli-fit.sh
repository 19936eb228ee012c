#!/bin/sh
# tavo-cli over EDIDs of more than two blocks: fit (what it keeps byte for byte, what it names,
# its exit codes and refusals), blocks and hex over every block, and hex text of a larger EDID
# read back.
# usage: check-cli-fit.sh TAVO_CLI DATA_DIR (tests/data)
set -u
cli=$1
data=$2
. "$(dirname "$0")/cli-lib.sh"
bytes() { od -An -tx1 -v -j "$2" -N "$3" "$1" | tr -d ' \n'; }

big=$data/blocks/displayid-512.bin
expect 0 "$cli" fit "$big" "$tmp/fit.bin"
[ "$(wc -c <"$tmp/fit.bin")" -eq 256 ] || fail "fit: not 256 bytes"
# bytes 0-125 and the whole CTA-861 block kept, byte 126 now 1, the image valid
[ "$(bytes "$tmp/fit.bin" 0 126)" = "$(bytes "$big" 0 126)" ] || fail "fit: base block changed"
[ "$(bytes "$tmp/fit.bin" 128 128)" = "$(bytes "$big" 128 128)" ] || fail "fit: CTA-861 block changed"
[ "$(bytes "$tmp/fit.bin" 126 1)" = "01" ] || fail "fit: extension count $(bytes "$tmp/fit.bin" 126 1)"
expect 0 "$cli" validate "$tmp/fit.bin"
expect 0 "$cli" fit "$big" "$tmp/fit.bin"
grep -qx "  DisplayID block 2: product TAVO, 5120x1440 at 240 Hz, tiled display 2 x 1, adaptive sync 48 Hz to 240 Hz" "$tmp/out" ||
    fail "fit: DisplayID block not named: $(cat "$tmp/out")"
grep -qx "  CTA-861 block 3: Detailed Timing Descriptor" "$tmp/out" || fail "fit: block 3 not named"
expect 0 "$cli" fit --json "$big" "$tmp/fit.bin"
python3 - "$tmp/out" <<'PY' || fail "fit --json: $(cat "$tmp/out")"
import json, sys
o = json.load(open(sys.argv[1]))
assert o["fitted"] is True and o["kept"] == [0, 1], o
assert len(o["dropped"]) == 2 and o["dropped"][0].startswith("DisplayID block 2: "), o
PY

# the override block announces the extensions; the fitted image keeps block 1 as it is
expect 0 "$cli" fit "$data/blocks/override-512.bin" "$tmp/over.bin"
[ "$(grep -c '^  ' "$tmp/out")" -eq 2 ] || fail "fit override: $(cat "$tmp/out")"

# nothing to fit: 256 bytes or fewer (exit 1, nothing written)
expect 1 "$cli" fit "$data/edid/0716a23fd78ad31d.bin" "$tmp/none.bin"
[ -e "$tmp/none.bin" ] && fail "fit of a 256-byte EDID wrote a file"
# bad input: missing, no header, too long, no CTA-861 block (exit 2, nothing written)
expect 2 "$cli" fit "$tmp/missing.bin" "$tmp/bad.bin"
head -c 512 /dev/zero >"$tmp/zero.bin"
expect 2 "$cli" fit "$tmp/zero.bin" "$tmp/bad.bin"
{ cat "$big"; head -c 40000 /dev/zero; } >"$tmp/huge.bin"
expect 2 "$cli" fit "$tmp/huge.bin" "$tmp/bad.bin"
# the base block and the DisplayID block twice
{ head -c 128 "$big"; tail -c 256 "$big" | head -c 128; tail -c 256 "$big" | head -c 128; } >"$tmp/nocta.bin"
expect 2 "$cli" fit "$tmp/nocta.bin" "$tmp/bad.bin"
[ -e "$tmp/bad.bin" ] && fail "a refused fit wrote a file"
expect 2 "$cli" fit "$big"
# the input is not overwritten unless asked; a read-only output only with --force
cp "$big" "$tmp/self.bin"
expect 2 "$cli" fit "$tmp/self.bin" "$tmp/self.bin"
[ "$(wc -c <"$tmp/self.bin")" -eq 512 ] || fail "fit overwrote its input"
expect 0 "$cli" fit --force "$tmp/self.bin" "$tmp/self.bin"
[ "$(wc -c <"$tmp/self.bin")" -eq 256 ] || fail "fit --force: input not replaced"
cp "$tmp/fit.bin" "$tmp/ro.bin" && chmod a-w "$tmp/ro.bin"
expect 2 "$cli" fit "$big" "$tmp/ro.bin"
expect 0 "$cli" fit --force "$big" "$tmp/ro.bin"

# hex and blocks cover every block; the hex text reads back as the same 512 bytes
expect 0 "$cli" hex "$big"
[ "$(wc -l <"$tmp/out")" -eq 32 ] || fail "hex: $(wc -l <"$tmp/out") lines for 512 bytes"
cp "$tmp/out" "$tmp/big.txt"
expect 0 "$cli" hex "$tmp/big.txt"
cmp -s "$tmp/out" "$tmp/big.txt" || fail "hex text of 512 bytes does not read back"
expect 0 "$cli" blocks "$tmp/big.txt"
[ "$(tail -n 1 "$tmp/out")" = "511   1  Checksum" ] || fail "blocks of hex text: $(tail -n 1 "$tmp/out")"
grep -q "^256   5  DisplayID Section Header$" "$tmp/out" || fail "blocks: no DisplayID header"
expect 0 "$cli" fit "$tmp/big.txt" "$tmp/fromhex.bin"
cmp -s "$tmp/fromhex.bin" "$tmp/fit.bin" || fail "fit of hex text differs from fit of binary"

# diff over every block: the fitted EDID against the whole one names what fitting dropped
expect 1 "$cli" diff "$big" "$tmp/fit.bin"
grep -qx "DisplayID block 2: removed: product TAVO, 5120x1440 at 240 Hz, tiled display 2 x 1, adaptive sync 48 Hz to 240 Hz" "$tmp/out" ||
    fail "diff: dropped DisplayID block not named: $(cat "$tmp/out")"
expect 0 "$cli" diff "$big" "$tmp/big.txt"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "tavo-cli fit and larger EDIDs: all checks passed"
