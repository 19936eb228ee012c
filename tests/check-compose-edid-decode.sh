#!/bin/sh
# tavo-cli compose against edid-decode: for each set of sample EDIDs the composed EDID must carry
# no conformance failure (`edid-decode --check`) that none of its sources carries, and the
# command keeps its exit codes, its list of what it leaves out and its JSON line. Skips (exit 77)
# without edid-decode.
# usage: check-compose-edid-decode.sh TAVO_CLI SAMPLE_DIR
set -u
cli=$1
dir=$2
command -v edid-decode >/dev/null 2>&1 || { echo "edid-decode not installed: skipped"; exit 77; }
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The failure lines of edid-decode --check, numbers masked, one a line.
failure_lines() {
    edid-decode --check "$1" 2>/dev/null | awk '
        /^Failures:/ { on = 1; next }
        /^EDID conformity/ { on = 0 }
        on && NF && !/^Block [0-9]/ && !/^EDID:$/ { sub(/^ +/, ""); gsub(/[0-9]+/, "#"); print }' |
        sort -u
}

checked=0
while read -r audio sources; do
    [ -n "$sources" ] || continue
    set -- $sources
    paths=""
    for s in "$@"; do paths="$paths $dir/$s.bin"; done
    opt=""
    [ "$audio" != 0 ] && opt="--audio-from $audio"
    # shellcheck disable=SC2086
    "$cli" compose $opt "$tmp/out.bin" $paths >"$tmp/stdout" 2>"$tmp/stderr" ||
        { fail "compose $opt $sources: exit $?"; continue; }
    "$cli" validate "$tmp/out.bin" >/dev/null || fail "compose $opt $sources: result does not validate"
    : >"$tmp/theirs"
    for p in $paths; do failure_lines "$p" >>"$tmp/theirs"; done
    sort -u "$tmp/theirs" -o "$tmp/theirs"
    failure_lines "$tmp/out.bin" >"$tmp/mine"
    new=$(comm -23 "$tmp/mine" "$tmp/theirs")
    [ -z "$new" ] || fail "compose $opt $sources: new conformance failures: $new"
    grep -q "Monitor Name : Common EDID" "$tmp/stdout" || fail "compose $opt $sources: no analysis rows"
    checked=$((checked + 1))
done <<'SETS'
0 0615aa6316ff13ad 05a56ba71e1ddc67
0 0615aa6316ff13ad 049581c3f4b50a09 6311a3e944772acc
3 0615aa6316ff13ad 049581c3f4b50a09 6311a3e944772acc
0 00f9ebab5d16e4d7 003e3a86840230ba
2 00f9ebab5d16e4d7 003e3a86840230ba
0 d0807abe7120c13f ee123e2c04b65b39 0b420c464d9c5469
0 0a2f6adf41d8ea44 0aa03ed2ffd98d6c 12ec2fe3a3d37a10
0 0289615d2251c3bc 0bfe43bc84d96b66
0 1865d631944fcb58 26e3de8b9c73245c
1 d5aa8a9a1b01ee31 0e364c2a671aab0c
0 0615aa6316ff13ad 05a56ba71e1ddc67 0b420c464d9c5469 6311a3e944772acc
4 01aa34e9952b6374 0e6a3caebdbd807a 003e3a86840230ba 0e364c2a671aab0c
SETS

# what is left out, on stderr, with the sources that lack it
"$cli" compose "$tmp/o.bin" "$dir/0615aa6316ff13ad.bin" "$dir/05a56ba71e1ddc67.bin" >/dev/null 2>"$tmp/err"
grep -q '^  E-AC-3: not in source 2 ("05a56ba71e1ddc67.bin")$' "$tmp/err" ||
    fail "omission list: $(head -3 "$tmp/err")"
# --json: one line with the list and the analysis
"$cli" compose --json --name Lobby "$tmp/o.bin" "$dir/0615aa6316ff13ad.bin" "$dir/05a56ba71e1ddc67.bin" >"$tmp/json" 2>"$tmp/err"
[ "$(wc -l <"$tmp/json")" = 1 ] && grep -q '"outcome": "built"' "$tmp/json" &&
    grep -q '"lacking_sources": \[2\]' "$tmp/json" && grep -q '"Monitor Name":"Lobby"' "$tmp/json" ||
    fail "--json: $(cat "$tmp/json")"
# exit 1: nothing shared, nothing written; exit 2: an invalid or unreadable source, a bad option
rm -f "$tmp/none.bin"
"$cli" compose "$tmp/none.bin" "$dir/002d10c53aa9561f.bin" "$dir/0289615d2251c3bc.bin" 2>"$tmp/err"
rc=$?
[ $rc = 1 ] && [ ! -e "$tmp/none.bin" ] && grep -q 'share no timing' "$tmp/err" || fail "nothing shared: exit $rc"
"$cli" compose "$tmp/none.bin" "$dir/003e3a86840230ba.bin" "$dir/42732ae63cde488c.bin" 2>"$tmp/err"
rc=$?
[ $rc = 2 ] && [ ! -e "$tmp/none.bin" ] && grep -q 'source 2' "$tmp/err" || fail "invalid source: exit $rc"
"$cli" compose "$tmp/none.bin" "$dir/003e3a86840230ba.bin" "$tmp/missing.bin" 2>/dev/null
[ $? = 2 ] || fail "unreadable source"
"$cli" compose --audio-from 3 "$tmp/none.bin" "$dir/003e3a86840230ba.bin" "$dir/0615aa6316ff13ad.bin" 2>/dev/null
[ $? = 2 ] || fail "--audio-from past the sources"
# OUT is a source: only with --force
cp "$dir/0615aa6316ff13ad.bin" "$tmp/src.bin"
"$cli" compose "$tmp/src.bin" "$tmp/src.bin" "$dir/05a56ba71e1ddc67.bin" 2>/dev/null
[ $? = 2 ] && cmp -s "$tmp/src.bin" "$dir/0615aa6316ff13ad.bin" || fail "OUT = source without --force"
"$cli" compose --force "$tmp/src.bin" "$tmp/src.bin" "$dir/05a56ba71e1ddc67.bin" >/dev/null 2>&1 ||
    fail "OUT = source with --force"

echo "$checked sets checked, $failures failures"
[ "$failures" = 0 ]
