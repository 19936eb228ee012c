#!/usr/bin/env bash
# Runs one GUI or end-to-end test in a network namespace and a runtime directory of its own, so
# that tests running in parallel never share the multicast port or the single-instance lock.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavo-test.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"
export XDG_RUNTIME_DIR="$tmp/run" TMPDIR="$tmp" HOME="$tmp"
export TAVO_SERIAL_PORTS="${TAVO_SERIAL_PORTS-}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
"$here/../scripts/isolated" --fresh "$@"
