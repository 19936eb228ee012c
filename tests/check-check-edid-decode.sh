#!/bin/sh
# tavo-cli check against edid-decode --check: for every EDID given and every rule of the check,
# the rule must be raised, with the same severities, exactly where edid-decode prints the
# corresponding message. Prints the agreement per rule and over whole EDIDs; fails when fewer
# than MIN_EDID percent of the EDIDs agree on every rule or a rule agrees on fewer than MIN_RULE
# percent (defaults 97 and 95). Skips (exit 77) without edid-decode or python3.
# usage: check-check-edid-decode.sh TAVO_CLI SAMPLE.bin...
set -u
cli=$1
shift
command -v edid-decode >/dev/null 2>&1 || { echo "edid-decode not installed: skipped"; exit 77; }
command -v python3 >/dev/null 2>&1 || { echo "python3 not installed: skipped"; exit 77; }
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT

: >"$tmp/list"
for f in "$@"; do
    [ -f "$f" ] || continue
    case $f in *.bin) ;; *) continue ;; esac
    n=$(wc -l <"$tmp/list")
    edid-decode --check "$f" >"$tmp/$n.txt" 2>&1
    printf '%s\t%s\n' "$f" "$tmp/$n.txt" >>"$tmp/list"
done
[ -s "$tmp/list" ] || { echo "no EDID given"; exit 2; }
# one run over all files (xargs: 123 when a run exits 1, as a failing EDID makes it)
cut -f1 "$tmp/list" | tr '\n' '\0' | xargs -0 "$cli" check --json >"$tmp/ours.json" 2>"$tmp/err"
rc=$?
[ $rc -eq 0 ] || [ $rc -eq 123 ] || { echo "FAIL: tavo-cli check failed ($rc)"; cat "$tmp/err"; exit 1; }

python3 - "$tmp/list" "$tmp/ours.json" "${MIN_EDID:-97}" "${MIN_RULE:-95}" <<'PY'
import json, re, sys

# edid-decode's messages and the rule each belongs to
MESSAGES = [
    (r"Invalid checksum", "checksum"),
    (r"No header found|header is invalid|Header is missing", "header"),
    (r"extension block\(s\), but found", "extension-count"),
    (r"Some timings are out of range of the Monitor Ranges", "range-limits"),
    (r"Missing Display Range Limits Descriptor", "missing-range-limits"),
    (r"Missing Display Product Name", "missing-name"),
    (r"Display Product Serial Number is set, so the Serial Number", "serial-number"),
    (r"Mismatch of image size|The DTD max image size is", "image-size"),
    (r"sRGB is signaled, but the chromaticities|chromaticities match sRGB, but", "srgb"),
    (r"Native progressive timings are a mix|Multiple native progressive timings", "native-timings"),
    (r"Missing VCDB", "missing-vcdb"),
    (r"^Video Capability Data Block: Set Selectable (YCbCr|RGB) Quantization", "vcdb-quantization"),
    (r"IT Video Formats are overscanned", "it-overscan"),
    (r"DTD is similar but not identical to", "dtd-vs-vic"),
    (r"GTF support is deprecated|GTF can't be combined with non-continuous", "gtf"),
    (r"The HDMI Specification requires EDID 1\.3", "hdmi-version"),
    (r"Colorimetry Data Block: Reserved bits", "colorimetry-reserved"),
    (r"Duplicate VIC", "duplicate-vic"),
    (r"padding contains non-zero", "padding"),
    (r"Use Dummy Descriptor instead of all zeroes", "empty-descriptor"),
    (r"^(Display Product Name|Display Product Serial Number|Alphanumeric Data String): "
     r"(One or more trailing spaces|Non-printable character|Empty string|Non-space after newline)",
     "descriptor-text"),
    (r"HDMI VSDB Max TMDS rate is > 340", "hdmi-tmds"),
    (r"\(HDMI Forum\).*Max TMDS rate is > ", "hf-tmds"),
    (r"HDMI VIC Codes must have their CTA-861 VIC equivalents", "hdmi-vic-equivalent"),
    (r"requires that the first detailed timing is the preferred timing", "dtd-order"),
    (r"Required 640x480p60 timings are missing", "required-timings"),
    (r"^Basic Display Parameters & Features: (Color Bit Depth|Digital Video Interface Standard)",
     "video-interface"),
]
RULES = sorted({r for _, r in MESSAGES})

def theirs(path):
    found, section = set(), None
    lines = open(path, errors="replace").read().splitlines()
    # without its header edid-decode checks nothing else: the file compares on that rule alone
    if any(l.startswith("No EDID header found") for l in lines):
        return None
    for line in lines:
        line = line.rstrip("\n")
        if line.startswith("Failures:"):
            section = "failure"
        elif line.startswith("Warnings:"):
            section = "warning"
        elif line.startswith("EDID conformity"):
            section = None
        elif section and line.startswith("  ") and not line.startswith("    "):
            text = line.strip()
            for pattern, rule in MESSAGES:
                if re.search(pattern, text):
                    found.add((rule, section))
                    break
    return found

files = [l.rstrip("\n").split("\t") for l in open(sys.argv[1])]
ours = {}
for line in open(sys.argv[2]):
    o = json.loads(line)
    ours[o["file"]] = {(f["rule"], f["severity"]) for f in o["findings"] if f["rule"] in RULES}

agree = {r: 0 for r in RULES}
whole = 0
for name, report in files:
    want, got = theirs(report), ours.get(name, {("unread", "failure")})
    same = True
    headerless = want is None  # no header: only the header rule compares
    if headerless:
        want = {("header", "failure")}
    for r in RULES:
        if headerless and r != "header":
            agree[r] += 1
            continue
        w = {s for rr, s in want if rr == r}
        g = {s for rr, s in got if rr == r}
        if w == g:
            agree[r] += 1
        else:
            same = False
            print(f"differs: {name}: {r}: edid-decode {sorted(w) or '-'}, tavo-cli {sorted(g) or '-'}")
    whole += same
n = len(files)
print(f"{'rule':22} agreement")
worst = 100.0
for r in RULES:
    pct = 100.0 * agree[r] / n
    worst = min(worst, pct)
    print(f"{r:22} {agree[r]:4}/{n} {pct:6.1f}%")
pct = 100.0 * whole / n
print(f"{'all rules':22} {whole:4}/{n} {pct:6.1f}%")
ok = pct >= float(sys.argv[3]) and worst >= float(sys.argv[4])
print("PASS" if ok else "FAIL: below the agreement asked for")
sys.exit(0 if ok else 1)
PY
