#!/bin/sh
# Compares `tavo-cli analyze --json` on every tests/data/edid/*.bin with its pinned .json line,
# one file at a time and all files in one call; and the same for each file's `tavo-cli hex` text,
# whose bytes are the file's.
# usage: check-edid-golden.sh TAVO_CLI DATA_DIR
set -u
cli=$1
cd "$2" || exit 2
failed=0
expected_all=""
for bin in *.bin; do
    name=${bin%.bin}
    if [ ! -f "$name.json" ]; then
        echo "missing golden file $name.json" >&2
        failed=1
        continue
    fi
    got=$("$cli" analyze --json "$bin") || { echo "$bin: tavo-cli failed" >&2; failed=1; }
    want=$(cat "$name.json")
    if [ "$got" != "$want" ]; then
        echo "$bin: analysis differs from $name.json" >&2
        echo "  got:  $got" >&2
        echo "  want: $want" >&2
        failed=1
    fi
done
# out as hex and back: the same bytes, the same analysis
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
for bin in *.bin; do
    name=${bin%.bin}
    "$cli" hex "$bin" >"$tmp/$name.txt" || { echo "$bin: tavo-cli hex failed" >&2; failed=1; }
    xxd -r -p "$tmp/$name.txt" >"$tmp/$name.bin"
    n=$(wc -c <"$tmp/$name.bin")
    { [ "$n" -eq 128 ] || [ "$n" -eq 256 ]; } && head -c "$n" "$bin" | cmp -s - "$tmp/$name.bin" ||
        { echo "$bin: its hex text holds other bytes" >&2; failed=1; }
    got=$("$cli" analyze --json "$tmp/$name.txt" | sed "s|^{\"file\":\"$tmp/$name.txt\"|{\"file\":\"$bin\"|")
    [ "$got" = "$(cat "$name.json")" ] || { echo "$bin: its hex text analyses otherwise" >&2; failed=1; }
done
all_got=$("$cli" analyze --json *.bin) || failed=1
all_want=$(for bin in *.bin; do cat "${bin%.bin}.json"; done)
if [ "$all_got" != "$all_want" ]; then
    echo "analysis of all files in one call differs" >&2
    failed=1
fi
[ $failed -eq 0 ] && echo "all $(ls *.bin | wc -l) golden analyses match"
exit $failed
