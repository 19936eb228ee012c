#!/bin/sh
# Compares `tavo-cli analyze --json` on every tests/data/edid/*.bin with its pinned .json line,
# one file at a time and all files in one call.
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
all_got=$("$cli" analyze --json *.bin) || failed=1
all_want=$(for bin in *.bin; do cat "${bin%.bin}.json"; done)
if [ "$all_got" != "$all_want" ]; then
    echo "analysis of all files in one call differs" >&2
    failed=1
fi
[ $failed -eq 0 ] && echo "all $(ls *.bin | wc -l) golden analyses match"
exit $failed
