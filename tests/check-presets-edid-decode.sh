#!/bin/sh
# Every ready-made EDID, written by `tavo-cli preset`, passes `edid-decode --check` without a
# failure or a warning, and its preferred timing is the one its name starts with. Skips (exit 77)
# without edid-decode.
# usage: check-presets-edid-decode.sh TAVO_CLI
set -u
cli=$1
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
