#!/bin/sh
# The installed tavo-cli holds the file commands without the Qt libraries and hands every other
# command to tavo-cli-qt beside it.
# usage: check-cli-front.sh FRONT FULL
set -u
front=$1
full=$2
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# no Qt library among what the front loads
if readelf -d "$front" | grep NEEDED | grep -q Qt; then
    fail "the front needs Qt: $(readelf -d "$front" | grep NEEDED | grep Qt | tr -s ' ')"
fi
# the file commands run in the front and answer as the full program does
"$front" new "$tmp/a.bin" || fail "new"
"$front" analyze --json "$tmp/a.bin" >"$tmp/front.out" 2>&1
"$full" analyze --json "$tmp/a.bin" >"$tmp/full.out" 2>&1
cmp -s "$tmp/front.out" "$tmp/full.out" || fail "analyze differs from the full program"
# everything else is the full program's: help, the device and net commands, unknown names
"$front" help >"$tmp/front.out" 2>&1 || fail "help: exit $?"
"$full" help >"$tmp/full.out" 2>&1
cmp -s "$tmp/front.out" "$tmp/full.out" || fail "help differs from the full program's"
grep -q "device" "$tmp/front.out" || fail "help lists no device command"
"$front" device >"$tmp/out" 2>&1
rc=$?
[ "$rc" -eq 2 ] && grep -q "usage: tavo-cli device" "$tmp/out" || fail "device usage: exit $rc, $(cat "$tmp/out")"
"$front" frobnicate >"$tmp/out" 2>&1
[ $? -eq 2 ] && grep -q "unknown command 'frobnicate'" "$tmp/out" || fail "unknown: $(cat "$tmp/out")"
"$front" >/dev/null 2>&1
[ $? -eq 2 ] || fail "no command: not exit 2"
# compose in the front, but with slot: sources (the device) in the full program
"$front" compose "$tmp/c.bin" "$tmp/a.bin" "$tmp/a.bin" >/dev/null 2>&1 || fail "compose: exit $?"
"$front" compose "$tmp/c.bin" slot:bogus "$tmp/a.bin" >"$tmp/out" 2>&1
rc=$?
[ "$rc" -eq 2 ] && grep -q "'slot:bogus' is not a slot" "$tmp/out" || fail "compose slot: exit $rc, $(cat "$tmp/out")"
# alone, without the full program: a clear message for what it cannot do, the rest still works
cp "$front" "$tmp/tavo-cli"
"$tmp/tavo-cli" device info >"$tmp/out" 2>&1
rc=$?
[ "$rc" -eq 2 ] && grep -q "tavo-cli-qt: No such file" "$tmp/out" || fail "alone: exit $rc, $(cat "$tmp/out")"
"$tmp/tavo-cli" validate "$tmp/a.bin" >/dev/null || fail "alone: validate"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "tavo-cli front checks passed"
