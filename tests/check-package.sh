#!/usr/bin/env bash
# Unpacks the Debian package into a scratch root (dpkg -x, nothing installed) and runs what it
# holds from there: --version of every program, tavo-cli analyze on a sample, a command that the
# installed tavo-cli hands to tavo-cli-qt beside it, the manual pages and the completion, and the
# hardening of every program (readelf, lintian --pedantic -I).
#   check-package.sh PACKAGE.deb SAMPLE_DIR
set -uo pipefail
deb=$1 samples=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail=0
say() { echo "check-package: $*" >&2; fail=1; }
dpkg -x "$deb" "$root" || { say "dpkg -x failed"; exit 1; }
bin=$root/usr/bin
version=$(dpkg-deb --field "$deb" Version)

for program in tavo tavo-cli tavo-devsim; do
    out=$("$bin/$program" --version 2>&1) || say "$program --version failed: $out"
    case "$out" in
    "$program $version"*) ;;
    *) say "$program --version says '$out', the package is $version" ;;
    esac
done

sample=$(ls "$samples"/*.bin | head -n 1)
golden=${sample%.bin}.json
# the golden lines name the file as given: analyse it from its folder
out=$(cd "$samples" && "$bin/tavo-cli" analyze --json "${sample##*/}") || say "tavo-cli analyze failed"
if [ -f "$golden" ]; then
    [ "$out" = "$(cat "$golden")" ] || say "tavo-cli analyze of $sample differs from its golden line"
fi
# a device command is handed to tavo-cli-qt beside the installed tavo-cli: a port that is not
# there is named (not "no such program")
out=$(TAVO_SERIAL_PORTS=/nonexistent "$bin/tavo-cli" device info --port "$root/no-port" 2>&1)
case "$out" in
*no-port*) ;;
*) say "device info from the package: '$out'" ;;
esac

for page in tavo tavo-cli tavo-devsim tavo-cli-qt; do
    f=$root/usr/share/man/man1/$page.1.gz
    [ -e "$f" ] || { say "no manual page $page(1)"; continue; }
    zcat "$f" | grep -q '^\.SH "\?SYNOPSIS' || say "$page(1) is no manual page with a SYNOPSIS"
done
completion=$root/usr/share/bash-completion/completions/tavo-cli
[ -f "$completion" ] && bash -n "$completion" || say "no bash completion for tavo-cli"
for f in usr/share/applications/tavo.desktop usr/share/icons/hicolor/64x64/apps/tavo.png \
    usr/share/doc/tavo/copyright usr/share/doc/tavo/changelog.gz; do
    [ -f "$root/$f" ] || say "the package lacks /$f"
done
depends=$(dpkg-deb --field "$deb" Depends)
case "$depends" in *libqt6widgets6*libc6* | *libc6*libqt6widgets6*) ;; *)
    say "Depends does not name the libraries: '$depends'" ;;
esac

# the distribution's hardening on every program: a position-independent executable, relro and
# bind-now, the stack protector and fortified calls (readelf); lintian names no hardening tag
for program in "$bin"/*; do
    [ -f "$program" ] && [ ! -L "$program" ] || continue
    name=${program##*/}
    header=$(readelf -h "$program" 2>/dev/null) || { say "$name: readelf cannot read it"; continue; }
    grep -q 'Type:.*DYN' <<<"$header" || say "$name is no position-independent executable"
    readelf -lW "$program" | grep -q GNU_RELRO || say "$name has no relro segment"
    readelf -dW "$program" | grep -Eq 'BIND_NOW|FLAGS_1.*NOW' || say "$name is not linked with bind-now"
    symbols=$(readelf --dyn-syms -W "$program")
    grep -q '__stack_chk_fail' <<<"$symbols" || say "$name has no stack protector"
    grep -Eq '__[a-z0-9_]+_chk(@|$| )' <<<"$symbols" || say "$name calls no fortified function"
done
if command -v lintian >/dev/null; then
    tags=$(lintian --pedantic -I --no-tag-display-limit "$deb" 2>&1 | grep -E 'hardening')
    [ -z "$tags" ] || say "lintian names hardening tags: $tags"
fi

[ $fail -eq 0 ] && echo "check-package: the unpacked package runs ($version)"
exit $fail
