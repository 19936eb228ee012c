#!/bin/bash
# Bad files at every file input of tavo-cli (analyze, validate, rebuild IN and OUT, repair IN): empty, 1, 127,
# 255 and 257 bytes, 10 MB, a directory, a file without read permission, a name with spaces and
# non-ASCII letters; OUT a symbolic link (written through), a pipe or a device node (refused). Each
# gets a one-line message naming the file, an exit status of 0, 1 or 2
# (never a crash), no output file when the command fails, an existing output left as it was, and
# no temporary file left behind.
# usage: check-cli-bad-files.sh TAVO_CLI
set -u
cli=$1
tmp=$(mktemp -d) || exit 2
trap 'chmod -R u+rwx "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# run CMD...: stdout in $tmp/out, stderr in $tmp/err, status in $rc
run() {
    "$@" >"$tmp/out" 2>"$tmp/err"
    rc=$?
    [ "$rc" -le 2 ] || fail "'$*' exited $rc (a crash or a signal); stderr: $(cat "$tmp/err")"
}
lines() { wc -l <"$1" | tr -d ' '; }

in=$tmp/in
mkdir "$in"
"$cli" new "$tmp/good.bin" || { echo "tavo-cli new failed" >&2; exit 2; }
"$cli" rebuild "$tmp/good.bin" "$tmp/rebuilt.bin" || { echo "tavo-cli rebuild failed" >&2; exit 2; }
: >"$in/empty.bin"
for n in 1 127 255 257; do head -c "$n" "$tmp/good.bin" >"$in/b$n.bin"; done
{ cat "$tmp/good.bin"; printf 'x'; } >"$in/b257.bin"
# 10 MB: the built-in EDID followed by zeros, so the first 256 bytes are a valid EDID
{ cat "$tmp/good.bin"; head -c $((10 * 1024 * 1024 - 256)) /dev/zero; } >"$in/big.bin"
mkdir "$in/a directory.bin"
spaced="$in/Écran du salon — ü ß 显示器.bin"
cp "$tmp/good.bin" "$spaced"

# ---- analyze and validate: a message on stderr that names the file, nothing written anywhere
before=$(ls -A "$in" | sort)
for cmd in analyze validate; do
    run "$cli" $cmd "$in/empty.bin"
    [ "$rc" -eq 2 ] || fail "$cmd empty: exit $rc, want 2"
    [ "$(lines "$tmp/err")" -eq 1 ] && grep -q "empty.bin: empty file" "$tmp/err" ||
        fail "$cmd empty: message $(cat "$tmp/err")"
    [ -s "$tmp/out" ] && fail "$cmd empty: printed a result"

    for n in 1 127 255; do
        run "$cli" $cmd "$in/b$n.bin"
        [ "$(lines "$tmp/err")" -eq 1 ] && grep -Eq "b$n.bin: $n bytes?, not a whole EDID block" "$tmp/err" ||
            fail "$cmd $n bytes: message $(cat "$tmp/err")"
    done

    for f in b257 big; do
        run "$cli" $cmd "$in/$f.bin"
        [ "$rc" -eq 0 ] || fail "$cmd $f: exit $rc"
        [ "$(lines "$tmp/err")" -eq 1 ] && grep -q "$f.bin: [0-9]* bytes, only the first 256 are read" "$tmp/err" ||
            fail "$cmd $f: message $(cat "$tmp/err")"
    done
    run "$cli" $cmd "$in/a directory.bin"
    [ "$rc" -eq 2 ] && grep -q "a directory.bin: is a directory" "$tmp/err" ||
        fail "$cmd directory: exit $rc, $(cat "$tmp/err")"
    run "$cli" $cmd "$spaced"
    [ "$rc" -eq 0 ] && [ ! -s "$tmp/err" ] || fail "$cmd non-ASCII name: exit $rc, $(cat "$tmp/err")"
    grep -qF "$spaced" "$tmp/out" || fail "$cmd non-ASCII name: name not printed as given"
done
# cut after 1 byte the header reads 00 FF .. FF; cut after 127 the checksum byte reads FF
run "$cli" validate "$in/b127.bin"
[ "$rc" -eq 1 ] && grep -qx "$in/b127.bin: Illegal Edid CheckSum0." "$tmp/out" ||
    fail "validate 127 bytes: exit $rc, $(cat "$tmp/out")"
run "$cli" validate "$in/b1.bin"
[ "$rc" -eq 1 ] && grep -qx "$in/b1.bin: Illegal Edid Header." "$tmp/out" ||
    fail "validate 1 byte: exit $rc, $(cat "$tmp/out")"
# the 10 MB file is analysed as its first 256 bytes
"$cli" analyze "$tmp/good.bin" | tail -n +2 >"$tmp/want"
"$cli" analyze "$in/big.bin" 2>/dev/null | tail -n +2 >"$tmp/got"
cmp -s "$tmp/want" "$tmp/got" || fail "analyze 10 MB: not the analysis of its first 256 bytes"
# several bad files in one call: one line each, the good one still analysed, status 2
run "$cli" analyze --json "$in/empty.bin" "$in/a directory.bin" "$spaced" "$in/b1.bin"
[ "$rc" -eq 2 ] || fail "analyze mixed: exit $rc, want 2"
[ "$(lines "$tmp/out")" -eq 2 ] || fail "analyze mixed: want 2 results, got $(lines "$tmp/out")"
[ "$(lines "$tmp/err")" -eq 3 ] || fail "analyze mixed: want 3 messages: $(cat "$tmp/err")"
[ "$(ls -A "$in" | sort)" = "$before" ] || fail "analyze/validate changed the input folder"

# ---- rebuild IN OUT: a bad IN writes nothing; an existing OUT keeps its bytes
for f in empty.bin b1.bin b127.bin b255.bin "a directory.bin"; do
    rm -f "$tmp/out.bin"
    run "$cli" rebuild "$in/$f" "$tmp/out.bin"
    [ "$rc" -ne 0 ] || fail "rebuild $f: exit 0"
    [ -e "$tmp/out.bin" ] && fail "rebuild $f: output written"
    grep -qF "$f" "$tmp/err" || fail "rebuild $f: message does not name the file: $(cat "$tmp/err")"
    cp "$tmp/rebuilt.bin" "$tmp/keep.bin"
    run "$cli" rebuild "$in/$f" "$tmp/keep.bin"
    cmp -s "$tmp/keep.bin" "$tmp/rebuilt.bin" || fail "rebuild $f: existing output changed"
done
# repair IN OUT: no EDID to repair in them, nothing written, the file named
for f in empty.bin b1.bin "a directory.bin"; do
    rm -f "$tmp/out.bin"
    run "$cli" repair "$in/$f" "$tmp/out.bin"
    [ "$rc" -eq 2 ] || fail "repair $f: exit $rc"
    [ -e "$tmp/out.bin" ] && fail "repair $f: output written"
    grep -qF "$f" "$tmp/err" || fail "repair $f: message does not name the file: $(cat "$tmp/err")"
done
# long inputs rebuild from their first 256 bytes, with the note
for f in b257.bin big.bin; do
    run "$cli" rebuild "$in/$f" "$tmp/out.bin"
    [ "$rc" -eq 0 ] && cmp -s "$tmp/out.bin" "$tmp/rebuilt.bin" || fail "rebuild $f: exit $rc"
    grep -q "only the first 256 are read" "$tmp/err" || fail "rebuild $f: no note"
done
# non-ASCII names on both sides
run "$cli" rebuild "$spaced" "$in/Sortie ä ö — 出力.bin"
[ "$rc" -eq 0 ] && cmp -s "$in/Sortie ä ö — 出力.bin" "$tmp/rebuilt.bin" ||
    fail "rebuild non-ASCII names: exit $rc, $(cat "$tmp/err")"
rm -f "$in/Sortie ä ö — 出力.bin"
# OUT a directory: refused, the directory untouched
run "$cli" rebuild "$tmp/good.bin" "$in/a directory.bin"
[ "$rc" -eq 2 ] && [ -d "$in/a directory.bin" ] && [ -z "$(ls -A "$in/a directory.bin")" ] ||
    fail "rebuild into a directory: exit $rc"
run "$cli" new "$in/a directory.bin"
[ "$rc" -eq 2 ] && [ -d "$in/a directory.bin" ] || fail "new into a directory: exit $rc"
# OUT a symbolic link: the file it points to is written, the link stays (relative, absolute and
# dangling links)
mkdir "$tmp/real"
cp "$tmp/good.bin" "$tmp/real/target.bin"
chmod 640 "$tmp/real/target.bin"
ln -s ../real/target.bin "$in/relative-link.bin"
ln -s "$tmp/real/absolute.bin" "$in/absolute-link.bin"
cp "$tmp/good.bin" "$tmp/real/absolute.bin"
ln -s "$tmp/real/not-yet.bin" "$in/dangling-link.bin"
for link in relative-link.bin absolute-link.bin dangling-link.bin; do
    run "$cli" rebuild "$tmp/good.bin" "$in/$link"
    [ "$rc" -eq 0 ] && [ -L "$in/$link" ] && cmp -s "$in/$link" "$tmp/rebuilt.bin" ||
        fail "rebuild through the link $link: exit $rc, link kept: $([ -L "$in/$link" ] && echo yes || echo no), $(cat "$tmp/err")"
done
[ "$(stat -c %a "$tmp/real/target.bin")" = 640 ] || fail "the link's target lost its mode"
run "$cli" new "$in/relative-link.bin"
[ "$rc" -eq 0 ] && [ -L "$in/relative-link.bin" ] && cmp -s "$tmp/real/target.bin" "$tmp/good.bin" ||
    fail "new through a link: exit $rc"
# OUT a pipe, a link to one, a device node (when this user may make one): refused, left as it was
mkfifo "$in/pipe.bin"
ln -s pipe.bin "$in/pipe-link.bin"
outs=(pipe.bin pipe-link.bin)
mknod "$in/null.bin" c 1 3 2>/dev/null && outs+=(null.bin)
for f in "${outs[@]}"; do
    for cmd in "new" "rebuild $tmp/good.bin"; do
        run "$cli" $cmd "$in/$f"
        [ "$rc" -eq 2 ] && grep -q "$f: not a regular file" "$tmp/err" ||
            fail "$cmd into $f: exit $rc, $(cat "$tmp/err")"
    done
done
[ -p "$in/pipe.bin" ] && [ -L "$in/pipe-link.bin" ] || fail "the pipe or its link was replaced"
[ ! -e "$in/null.bin" ] || [ -c "$in/null.bin" ] || fail "the device node was replaced"
rm -f "$in/pipe.bin" "$in/pipe-link.bin" "$in/null.bin"

# OUT read-only: refused, saying so, unless --force (which keeps its mode)
cp "$tmp/good.bin" "$in/read-only.bin"
chmod 444 "$in/read-only.bin"
for cmd in "new" "rebuild $tmp/good.bin"; do
    run "$cli" $cmd "$in/read-only.bin"
    [ "$rc" -eq 2 ] && grep -q "read-only.bin: is read-only; not replaced (--force replaces it)" "$tmp/err" ||
        fail "$cmd into a read-only file: exit $rc, $(cat "$tmp/err")"
done
run "$cli" new --force "$in/read-only.bin"
[ "$rc" -eq 0 ] && [ "$(stat -c %a "$in/read-only.bin")" = 444 ] || fail "new --force over a read-only file: exit $rc"
rm -f "$in/read-only.bin"

# ---- no permission. As root the permission bits do not stop reads or writes: say so and skip.
chmod 000 "$in/b257.bin"
mkdir "$tmp/locked"
cp "$tmp/rebuilt.bin" "$tmp/locked/keep.bin"
chmod 555 "$tmp/locked"
if head -c 1 "$in/b257.bin" >/dev/null 2>&1; then
    echo "SKIP: no-permission cases (running as $(id -un): permission bits do not block access)"
else
    for cmd in analyze validate; do
        run "$cli" $cmd "$in/b257.bin"
        [ "$rc" -eq 2 ] && grep -q "b257.bin: Permission denied" "$tmp/err" ||
            fail "$cmd unreadable: exit $rc, $(cat "$tmp/err")"
    done
    run "$cli" rebuild "$in/b257.bin" "$tmp/out2.bin"
    [ "$rc" -eq 2 ] && [ ! -e "$tmp/out2.bin" ] || fail "rebuild unreadable: exit $rc"
    run "$cli" rebuild "$tmp/good.bin" "$tmp/locked/keep.bin"
    [ "$rc" -eq 2 ] && grep -q "Permission denied" "$tmp/err" || fail "rebuild into a locked folder: exit $rc"
    cmp -s "$tmp/locked/keep.bin" "$tmp/rebuilt.bin" || fail "locked folder: file changed"
    [ "$(ls -A "$tmp/locked")" = keep.bin ] || fail "locked folder: $(ls -A "$tmp/locked")"
fi
chmod 755 "$tmp/locked"
chmod 644 "$in/b257.bin"

# ---- no temporary file anywhere
left=$(find "$tmp" -name '*.bin.??????' | head -n 3)
[ -z "$left" ] || fail "temporary files left: $left"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "tavo-cli bad-file checks passed"
