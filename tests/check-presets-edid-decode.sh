#!/bin/sh
# Every ready-made EDID, written by `tavo-cli preset`, passes `edid-decode --check` without a
# failure or a warning, and its preferred timing is the one its name starts with. The creator's
# builds (`tavo-cli rebuild`: opened and built unchanged) of the built-in new EDID, of every
# ready-made EDID and of every EDID in the folders given have no failure that the EDID opened did
# not have already (the same rule, whatever its numbers or block). Skips (exit 77) without
# edid-decode.
# usage: check-presets-edid-decode.sh TAVO_CLI [FOLDER...]
set -u
cli=$1
shift
command -v edid-decode >/dev/null 2>&1 || { echo "edid-decode not installed: skipped"; exit 77; }
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
failures=0
count=0
names=$("$cli" presets | awk '{ print $1 }')
[ -n "$names" ] || { echo "FAIL: tavo-cli presets lists nothing"; exit 1; }
for name in $names; do
    count=$((count + 1))
    out="$tmp/$name.bin"
    if ! "$cli" preset "$name" "$out"; then
        echo "FAIL: $name: tavo-cli preset failed"; failures=$((failures + 1)); continue
    fi
    edid-decode --check "$out" >"$tmp/report" 2>&1
    rc=$?
    if [ $rc -ne 0 ] || grep -q '^Failures:' "$tmp/report" || grep -q '^Warnings:' "$tmp/report"; then
        echo "FAIL: $name: edid-decode --check (exit $rc)"
        sed -n '/^Warnings:/,$p;/^Failures:/,$p' "$tmp/report" | sed 's/^/    /'
        failures=$((failures + 1))
    fi
    # "1080p60-..." is 1920x1080 at 60 Hz, "2160p30-..." 3840x2160 at 30 Hz, "1920x1200-..."
    # 1920x1200; a 4:2:0-only 2160p60 cannot be a detailed timing and prefers 2160p30
    case $name in
        720p60*) want='1280x720 +60\.' ;;
        1080p60*) want='1920x1080 +60\.' ;;
        2160p30* | 2160p60-420*) want='3840x2160 +30\.' ;;
        2160p60*) want='3840x2160 +60\.' ;;
        1920x1200*) want='1920x1200 +59\.9' ;;
        *) want='.' ;;
    esac
    if ! grep -Eq "DTD 1: +$want" "$tmp/report"; then
        echo "FAIL: $name: the first detailed timing is not $want:"
        grep 'DTD 1:' "$tmp/report" | sed 's/^/    /'
        failures=$((failures + 1))
    fi
done
[ "$count" -ge 8 ] || { echo "FAIL: only $count presets"; exit 1; }
[ "$failures" -eq 0 ] || { echo "$failures of $count presets fail"; exit 1; }
echo "all $count presets pass edid-decode --check"

# The failures edid-decode finds in an EDID, one a line, as rules: without their numbers and
# blocks, a timing outside the range limits and an image size against the display size each
# named once (a build may move them between blocks).
rules() {
    edid-decode --check "$1" 2>&1 | sed -n '/^Failures:/,/^EDID conformity/p' | grep '^  ' |
        sed -e 's/[0-9][0-9.x]*/N/g' -e 's/^ *//' \
            -e 's/.*\(Freq\|Pixel Clock\|Monitor Ranges\).*/timings outside the range limits/' \
            -e 's/.*image size.*/image size against display size/' | sort -u
}
built=0
new_failures=0
"$cli" new "$tmp/new.bin" || { echo "FAIL: tavo-cli new"; exit 1; }
sources="$tmp/new.bin $tmp/*-*.bin"
for dir in "$@"; do sources="$sources $dir/*.bin"; done
for in in $sources; do
    [ -f "$in" ] || continue
    case $in in *.built.bin) continue ;; esac
    out="$tmp/$(basename "$in" .bin).built.bin"
    "$cli" rebuild --force "$in" "$out" 2>/dev/null || continue # an invalid EDID opens nothing
    built=$((built + 1))
    rules "$in" >"$tmp/before"
    rules "$out" >"$tmp/after"
    added=$(comm -13 "$tmp/before" "$tmp/after")
    if [ -n "$added" ]; then
        echo "FAIL: $(basename "$in") opened and built: edid-decode --check fails it anew:"
        echo "$added" | sed 's/^/    /'
        new_failures=$((new_failures + 1))
    fi
done
[ "$built" -ge $((count + 1)) ] || { echo "FAIL: only $built builds"; exit 1; }
[ "$new_failures" -eq 0 ] || { echo "$new_failures of $built builds fail anew"; exit 1; }
echo "all $built builds have no failure their EDID did not have"
