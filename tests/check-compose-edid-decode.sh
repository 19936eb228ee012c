#!/bin/sh
# tavo-cli compose against edid-decode: for each set of sample EDIDs (a fixed list, then random
# sets drawn with a fixed seed) the composed EDID must carry no conformance failure
# (`edid-decode --check`) that none of its sources carries, and every detailed timing in it must
# be a timing each source lists (any kind, as edid-decode reads them); the command keeps its exit
# codes, its list of what it leaves out and its JSON line. Skips (exit 77) without edid-decode.
# usage: check-compose-edid-decode.sh TAVO_CLI SAMPLE_DIR (COMPOSE_RANDOM_SETS=N: N random sets)
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

# Every timing edid-decode lists, one a line: kind, size, pixel clock in MHz, then the horizontal
# and vertical front porch, sync, back porch (borders counted in) and polarity.
timings() {
    edid-decode -L "$1" 2>/dev/null | awk '
        / Hz .* MHz/ {
            kind = $1; size = ""; clock = ""
            for (i = 1; i < NF; i++) {
                if ($i ~ /^[0-9]+x[0-9]+i?$/ && size == "") size = $i
                if ($(i + 1) == "MHz") clock = $i
            }
            state = 1; next
        }
        state == 1 && $1 == "Hfront" {
            hb = 0; for (i = 1; i < NF; i++) if ($i == "Hborder") hb = $(i + 1)
            h = ($2 + hb) " " $4 " " ($6 + hb) " " $8; state = 2; next
        }
        state == 2 && $1 == "Vfront" {
            vb = 0; for (i = 1; i < NF; i++) if ($i == "Vborder") vb = $(i + 1)
            print kind, size, clock, h, ($2 + vb) " " $4 " " ($6 + vb) " " $8
        }
        { state = 0 }'
}

# The result's detailed timings that a source does not list with the same timing (a video
# code's timing at its 1000/1001 rate too; clocks to the 10 kHz a detailed timing holds).
inexact_dtds() {
    out=$1
    shift
    timings "$out" | awk '$1 == "DTD"' >"$tmp/dtds"
    for src in "$@"; do
        timings "$src" >"$tmp/listed"
        awk -v src="$(basename "$src")" '
            NR == FNR { n++; kind[n] = $1; key[n] = $2 " " $4 " " $5 " " $6 " " $7 " " $8 " " $9 " " $10 " " $11; clk[n] = $3; next }
            {
                k = $2 " " $4 " " $5 " " $6 " " $7 " " $8 " " $9 " " $10 " " $11; found = 0
                for (i = 1; i <= n && !found; i++) {
                    if (key[i] != k) continue
                    d = clk[i] - $3; if (d < 0) d = -d
                    d2 = clk[i] * 1000 / 1001 - $3; if (d2 < 0) d2 = -d2
                    found = d <= 0.011 || ((kind[i] == "VIC" || kind[i] == "HDMI") && d2 <= 0.011)
                }
                if (!found) print $2 " at " $3 " MHz not in " src
            }' "$tmp/listed" "$tmp/dtds"
    done
}

# One set: compose, then the result against its sources. A random set may share nothing (exit 1);
# a listed one (must=1) must compose.
check_set() {
    must=$1
    audio=$2
    shift 2
    paths=""
    for s in "$@"; do paths="$paths $dir/$s.bin"; done
    opt=""
    [ "$audio" != 0 ] && opt="--audio-from $audio"
    # shellcheck disable=SC2086
    "$cli" compose $opt "$tmp/out.bin" $paths >"$tmp/stdout" 2>"$tmp/stderr"
    rc=$?
    if [ $rc = 1 ] && [ "$must" = 0 ] && grep -q 'share no' "$tmp/stderr"; then return 0; fi
    [ $rc = 0 ] || { fail "compose $opt $*: exit $rc"; return 0; }
    "$cli" validate "$tmp/out.bin" >/dev/null || fail "compose $opt $*: result does not validate"
    : >"$tmp/theirs"
    # shellcheck disable=SC2086
    for p in $paths; do failure_lines "$p" >>"$tmp/theirs"; done
    sort -u "$tmp/theirs" -o "$tmp/theirs"
    failure_lines "$tmp/out.bin" >"$tmp/mine"
    new=$(comm -23 "$tmp/mine" "$tmp/theirs")
    [ -z "$new" ] || fail "compose $opt $*: new conformance failures: $new"
    # shellcheck disable=SC2086
    inexact=$(inexact_dtds "$tmp/out.bin" $paths)
    [ -z "$inexact" ] || fail "compose $opt $*: detailed timings not listed exactly: $inexact"
    grep -q "Monitor Name : Common EDID" "$tmp/stdout" || fail "compose $opt $*: no analysis rows"
    checked=$((checked + 1))
}

checked=0
while read -r audio sources; do
    [ -n "$sources" ] || continue
    # shellcheck disable=SC2086
    check_set 1 "$audio" $sources
done <<'SETS'
0 0615aa6316ff13ad 05a56ba71e1ddc67
0 0615aa6316ff13ad 049581c3f4b50a09 6311a3e944772acc
3 0615aa6316ff13ad 049581c3f4b50a09 6311a3e944772acc
0 26e3de8b9c73245c 003e3a86840230ba
2 26e3de8b9c73245c 003e3a86840230ba
0 d0807abe7120c13f ee123e2c04b65b39 0b420c464d9c5469
0 0a2f6adf41d8ea44 0aa03ed2ffd98d6c 12ec2fe3a3d37a10
0 0289615d2251c3bc 0bfe43bc84d96b66
0 1865d631944fcb58 26e3de8b9c73245c
1 d5aa8a9a1b01ee31 0e364c2a671aab0c
0 0615aa6316ff13ad 05a56ba71e1ddc67 0b420c464d9c5469 6311a3e944772acc
4 01aa34e9952b6374 0e6a3caebdbd807a 003e3a86840230ba 0e364c2a671aab0c
SETS

# Random sets of 2 to 4 valid samples, a third with the audio of one of them: a fixed seed, so
# a failure comes back the same.
: >"$tmp/valid"
for f in "$dir"/*.bin; do
    "$cli" validate "$f" >/dev/null 2>&1 && basename "$f" .bin >>"$tmp/valid"
done
awk -v sets="${COMPOSE_RANDOM_SETS:-60}" 'BEGIN { srand(20261208) } { name[n++] = $0 }
    END {
        for (s = 0; s < sets; s++) {
            k = 2 + int(rand() * 3); line = ""; delete used
            for (j = 0; j < k; j++) {
                do i = int(rand() * n); while (i in used)
                used[i] = 1; line = line " " name[i]
            }
            audio = rand() < 0.33 ? 1 + int(rand() * k) : 0
            print audio line
        }
    }' "$tmp/valid" >"$tmp/random"
while read -r audio sources; do
    # shellcheck disable=SC2086
    check_set 0 "$audio" $sources
done <"$tmp/random"
[ "$checked" -ge 30 ] || fail "only $checked sets composed"

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
