#!/bin/sh
# The default repairs against edid-decode --check: every EDID given is repaired with the default
# repairs; for each rule that changed it, the messages edid-decode gives for that rule must be
# gone, and no failure may appear that edid-decode did not report before. Skips (exit 77) without
# edid-decode.
# usage: check-repair-edid-decode.sh TAVO_CLI SAMPLE.bin...
set -u
cli=$1
shift
command -v edid-decode >/dev/null 2>&1 || { echo "edid-decode not installed: skipped"; exit 77; }
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
failures=0
repaired=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# edid-decode's failure lines, one each, sorted
failure_lines() {
    edid-decode --check "$1" 2>/dev/null | sed -n '/^Failures:/,/^EDID conformity/p' |
        grep '^  [^ ]' | sort -u
}

# edid-decode's words for the findings each default repair clears
messages() {
    case $1 in
    checksum) echo 'Invalid checksum' ;;
    extension-count) echo 'EDID specified 0 extension block' ;;
    duplicate-vic) echo 'Duplicate VIC' ;;
    colorimetry-reserved) echo 'Reserved bits MD0-MD3' ;;
    descriptor-text) echo 'Non-printable character|trailing spaces|Empty string|Non-space after' ;;
    empty-descriptor) echo 'Use Dummy Descriptor' ;;
    padding) echo 'padding contains non-zero bytes' ;;
    hdmi-tmds) echo 'HDMI VSDB Max TMDS rate is > 340' ;;
    hf-tmds) echo 'Max TMDS rate is > 0 and <= 340 or > 600' ;;
    *) echo "unknown rule $1" ;;
    esac
}

for f in "$@"; do
    "$cli" repair "$f" "$tmp/r.bin" >"$tmp/changes" 2>"$tmp/err"
    rc=$?
    [ "$rc" -eq 1 ] && continue
    [ "$rc" -eq 0 ] || { fail "$f: repair exited $rc: $(cat "$tmp/err")"; continue; }
    repaired=$((repaired + 1))
    edid-decode --check "$tmp/r.bin" >"$tmp/after.txt" 2>&1
    for rule in $(grep -v '^remaining:' "$tmp/changes" | cut -d: -f1 | sort -u); do
        if grep -Eq "$(messages "$rule")" "$tmp/after.txt"; then
            fail "$f: $rule repaired, yet edid-decode says: $(grep -E "$(messages "$rule")" "$tmp/after.txt" | head -1)"
        fi
    done
    failure_lines "$f" >"$tmp/before"
    failure_lines "$tmp/r.bin" >"$tmp/after"
    new=$(comm -13 "$tmp/before" "$tmp/after")
    [ -z "$new" ] || fail "$f: new edid-decode failures after the repair: $new"
done
[ "$repaired" -gt 0 ] || fail "no EDID needed a repair"
[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "repaired $repaired EDIDs; edid-decode finds their findings gone and nothing new"
