#!/bin/sh
# tavo-cli blocks against edid-decode: for every EDID given, the names of the base block's four
# descriptors, of each extension that is neither CTA-861 nor DisplayID, of the data blocks of
# every CTA-861 and DisplayID block (in order, those a CTA-861 DisplayID Data Block carries after
# it) and the number of the extensions' detailed timings must be the ones edid-decode reports
# (edid-decode prints no offsets; the order and the timing count pin them). EDIDs of any number
# of blocks. Skips (exit 77) without edid-decode or python3.
# usage: check-blocks-edid-decode.sh TAVO_CLI SAMPLE.bin...
set -u
cli=$1
shift
command -v edid-decode >/dev/null 2>&1 || { echo "edid-decode not installed: skipped"; exit 77; }
command -v python3 >/dev/null 2>&1 || { echo "python3 not installed: skipped"; exit 77; }
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
failures=0
checked=0

# edid-decode's names as the block map writes them; the detailed timings of the extensions as one
# "DTD" line each.
from_edid_decode() {
    edid-decode -s "$1" 2>/dev/null | awk '
        /^Block 0, /      { b = 0; next }
        /^Block [0-9]+, / { b = 1; if ($0 !~ /CTA-861|DisplayID/) { sub(/^Block [0-9]+, /, ""); sub(/:$/, ""); print "X " $0; b = 9 } ; next }
        /^Checksum|^----/ { next }
        b == 0 && /^    DTD [0-9]+:/ { print "D Detailed Timing Descriptor"; next }
        b == 0 && /^    (Empty Descriptor|Display Product Name|Display Range Limits|Display Product Serial Number|Alphanumeric Data String|Dummy Descriptor|Established timings III|Color Point Data|Standard Timing Identifications|Display Color Management Data|CVT 3 Byte Timing Codes|Manufacturer-Specified Display Descriptor)/ {
            s = $0; sub(/^    /, "", s); sub(/:.*/, "", s); print "D " s; next }
        b == 1 && /^    DTD [0-9]+:/ { print "T DTD"; next }
        b == 1 && /^  [^ ].*:$/ && !/^  (Detailed Timing Descriptors|Filler):/ {
            s = $0; sub(/^  /, "", s); sub(/:$/, "", s)
            sub(/, length [0-9]+\)/, ")", s)
            if (s ~ /^Vendor-Specific Data Block \(HDMI\)/) s = "HDMI Vendor-Specific Data Block"
            else if (s ~ /^Vendor-Specific Data Block \(HDMI Forum\)/) s = "HDMI Forum Vendor-Specific Data Block"
            else if (s ~ /\), OUI /) sub(/, OUI .*/, "", s)
            else if (s ~ /, OUI /) { sub(/, OUI /, " (OUI ", s); s = s ")" }
            print "B " s
        }' | sed 's/Established timings III/Established Timings III/'
}

for f in "$@"; do
    [ -f "$f" ] || continue
    case $f in *.bin) ;; *) continue ;; esac
    # bytes 128-255 of an image whose byte 126 is 0 are no extension to the block map
    if [ "$(od -An -tu1 -j126 -N1 "$f" | tr -d ' ')" = 0 ]; then
        from_edid_decode "$f" | grep -v '^[DX] ' >"$tmp/want"
    else
        from_edid_decode "$f" | grep -v '^D ' >"$tmp/want"
    fi
    "$cli" blocks --json "$f" 2>/dev/null >"$tmp/json" || { echo "FAIL: $f: blocks failed"; failures=$((failures + 1)); continue; }
    # base descriptors in order, extension DTDs as "T DTD"
    short=0
    [ "$(wc -c <"$f")" -le 128 ] && short=1
    python3 - "$tmp/json" "$short" >"$tmp/got" <<'PY'
import json, sys
parts = json.load(open(sys.argv[1]))["parts"]
short = sys.argv[2]  # "1": a 128-byte file, whose missing extension edid-decode does not see
for p in parts:
    if p["offset"] >= 128 and p["kind"] in ("data_block", "broken_data_block",
                                            "displayid_data_block", "broken_displayid_data_block"):
        print("B " + p["name"].replace(" (runs past its collection)", "").replace(" (runs past its section)", ""))
    elif p["kind"] == "extension" and short == "0":
        print("X " + p["name"])
    elif p["offset"] >= 128 and p["kind"] == "detailed_timing":
        print("T DTD")
PY
    if ! diff -i "$tmp/want" "$tmp/got" >"$tmp/diff"; then
        echo "FAIL: $f"; sed 's/^/    /' "$tmp/diff"
        failures=$((failures + 1))
    fi
    from_edid_decode "$f" | sed -n 's/^D //p' >"$tmp/wantd"
    python3 -c '
import json, sys
for p in json.load(open(sys.argv[1]))["parts"]:
    if p["offset"] < 126 and p["length"] == 18: print(p["name"])' "$tmp/json" >"$tmp/gotd"
    if ! diff -i "$tmp/wantd" "$tmp/gotd" >"$tmp/diff"; then
        echo "FAIL: $f (base descriptors)"; sed 's/^/    /' "$tmp/diff"
        failures=$((failures + 1))
    fi
    checked=$((checked + 1))
done
[ "$checked" -gt 0 ] || { echo "FAIL: no sample checked"; exit 1; }
[ "$failures" -eq 0 ] || { echo "$failures of $checked samples differ from edid-decode"; exit 1; }
echo "block map matches edid-decode on $checked samples"
