#!/bin/sh
# tavo-cli rebuild: every sample EDID either rebuilds into an image that validates or, when it is
# invalid itself, is refused with its message and nothing written; argument and file errors.
# usage: check-cli-rebuild.sh TAVO_CLI SAMPLE_DIR
set -u
cli=$1
samples=$2
. "$(dirname "$0")/cli-lib.sh"

# the built-in EDID: its HDMI block loses the empty byte 8, so the data blocks end at 0x12
expect 0 "$cli" new "$tmp/new.bin"
expect 0 "$cli" rebuild "$tmp/new.bin" "$tmp/rebuilt.bin"
[ "$(wc -c <"$tmp/rebuilt.bin")" -eq 256 ] || fail "rebuild: not 256 bytes"
[ "$(od -An -tx1 -j128 -N18 "$tmp/rebuilt.bin" | tr -d ' \n')" = \
  "0203127141102309070367030c0010008021" ] || fail "rebuild of new: extension bytes"
expect 0 "$cli" validate "$tmp/rebuilt.bin"
# over an existing file, and no temporary file stays behind
expect 0 "$cli" rebuild "$tmp/new.bin" "$tmp/rebuilt.bin"
[ "$(ls "$tmp" | grep -cv '^\(new\|rebuilt\)\.bin$\|^out$\|^err$')" -eq 0 ] ||
    fail "rebuild: temporary files left: $(ls "$tmp")"

built=0
refused=0
for f in "$samples"/*.bin; do
    rm -f "$tmp/s.bin"
    if "$cli" validate "$f" >/dev/null 2>&1; then
        expect 0 "$cli" rebuild "$f" "$tmp/s.bin"
        expect 0 "$cli" validate "$tmp/s.bin"
        built=$((built + 1))
    else
        expect 1 "$cli" rebuild "$f" "$tmp/s.bin"
        [ -e "$tmp/s.bin" ] && fail "rebuild of invalid $f wrote its output"
        [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "rebuild of invalid $f: not one error line"
        grep -q "Illegal Edid\|Edid Over Banks" "$tmp/err" || fail "rebuild of $f: $(cat "$tmp/err")"
        refused=$((refused + 1))
    fi
done
[ "$built" -gt 0 ] || fail "no sample rebuilt"
echo "rebuilt $built samples, refused $refused invalid ones"

# what a rebuild loses is listed on stderr; --refuse-loss writes nothing then and exits 1
lossy=$samples/d0807abe7120c13f.bin
expect 0 "$cli" rebuild "$lossy" "$tmp/l.bin"
grep -q "This EDID will lose:" "$tmp/err" || fail "rebuild: no loss list: $(cat "$tmp/err")"
grep -qx "  YCbCr 4:2:0 capability map (YCbCr 4:2:0 Capability Map Data Block: removed)" "$tmp/err" ||
    fail "rebuild: 4:2:0 map"
rm -f "$tmp/l.bin"
expect 1 "$cli" rebuild --refuse-loss "$lossy" "$tmp/l.bin"
[ -e "$tmp/l.bin" ] && fail "rebuild --refuse-loss wrote its output"
expect 0 "$cli" rebuild --refuse-loss "$tmp/rebuilt.bin" "$tmp/l.bin"
[ -s "$tmp/err" ] && fail "rebuild of a rebuilt EDID lists a loss: $(cat "$tmp/err")"

# over its own input (by the same or another path) only with --force or --refuse-loss
cp "$lossy" "$tmp/self.bin"
mkdir "$tmp/d"
ln -s ../self.bin "$tmp/d/link.bin"
for out in "$tmp/self.bin" "$tmp/d/../self.bin" "$tmp/d/link.bin"; do
    expect 2 "$cli" rebuild "$tmp/self.bin" "$out"
    cmp -s "$tmp/self.bin" "$lossy" || fail "rebuild F F ($out) without --force changed F"
done
expect 1 "$cli" rebuild --refuse-loss "$tmp/self.bin" "$tmp/self.bin"
cmp -s "$tmp/self.bin" "$lossy" || fail "rebuild --refuse-loss F F changed F"
expect 0 "$cli" rebuild --force "$tmp/self.bin" "$tmp/self.bin"
cmp -s "$tmp/self.bin" "$lossy" && fail "rebuild --force F F left F alone"
rm -rf "$tmp/d" "$tmp/self.bin" "$tmp/l.bin"

# argument and file errors: one line on stderr, exit 2
expect 2 "$cli" rebuild
expect 2 "$cli" rebuild "$tmp/new.bin"
expect 2 "$cli" rebuild "$tmp/new.bin" "$tmp/a.bin" "$tmp/b.bin"
expect 2 "$cli" rebuild "$tmp/missing.bin" "$tmp/x.bin"
[ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "missing input: not one error line"
[ -e "$tmp/x.bin" ] && fail "missing input: output written"
expect 2 "$cli" rebuild "$tmp" "$tmp/x.bin"
expect 2 "$cli" rebuild "$tmp/rebuilt.bin" "$tmp/no/such/dir/x.bin"
[ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "unwritable output: not one error line"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "rebuild checks passed"
