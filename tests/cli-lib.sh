# Sourced by the check-cli-*.sh scripts: a scratch folder $tmp removed at exit (read-only files
# in it too), `fail` counting into $failures, and `expect`.
tmp=$(mktemp -d) || exit 2
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect CODE CMD... : runs CMD with stdout in $tmp/out, stderr in $tmp/err
expect() {
    want=$1; shift
    "$@" >"$tmp/out" 2>"$tmp/err"
    got=$?
    [ "$got" -eq "$want" ] || fail "'$*' exited $got, want $want; stderr: $(cat "$tmp/err")"
}
