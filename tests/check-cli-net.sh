#!/usr/bin/env bash
# tavo-cli net discover / configure against the simulator's networked devices, in a network
# namespace of its own:  check-cli-net.sh TAVO_CLI TAVO_DEVSIM
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${TAVO_NET_CHECK_INSIDE:-}" != 1 ]; then
    TAVO_NET_CHECK_INSIDE=1 exec "$here/../scripts/isolated" --fresh "$0" "$@"
fi
cli=$1 devsim=$2
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavo-cli-net.XXXXXX")
"$devsim" --net 3 --net-only --log "$tmp/devsim.log" >"$tmp/devsim.out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do [ -s "$tmp/devsim.out" ] && break; sleep 0.1; done
fail=0
check() { # description, then a command that must succeed
    local what=$1; shift
    if ! "$@"; then echo "FAIL: $what"; fail=1; fi
}

# three devices, one line each (every device answers the broadcast and the group: no repeats)
"$cli" net discover --seconds 1 >"$tmp/lines"
check "three lines" test "$(wc -l <"$tmp/lines")" -eq 3
check "device 2 listed" grep -q '^02:44:53:4E:00:02 product-id="2002" product="DevSim Net 2" .* ip="192.168.1.11" .* web-port=8080 telnet-port=23 serial="DSN00002" .*description="Networked device 2"$' "$tmp/lines"
"$cli" net discover --seconds 1 --json >"$tmp/json"
check "three JSON objects" test "$(grep -c '^{"productId":"200[123]",.*}$' "$tmp/json")" -eq 3
check "JSON fields" grep -q '"mac":"02:44:53:4E:00:03","ip":"192.168.1.12","mask":"255.255.255.0".*"ipMode":0,"webPort":8080' "$tmp/json"

# bad values: a message, nothing sent (the simulator hears no configuration)
for args in "--ip 10.0.x.1" "--ip 10..0.0.5" "--mask 255.255.255" "--dns 1.2.3.256" \
            "--web-port 70000" "--telnet-port x" "--mode auto" "--mask 255.0.255.0" "--web-port 0"; do
    # shellcheck disable=SC2086
    "$cli" net configure 02:44:53:4E:00:02 $args >"$tmp/out" 2>"$tmp/err"
    rc=$?
    check "$args: exit 2" test "$rc" -eq 2
    check "$args: a message" grep -q . "$tmp/err"
done
"$cli" net configure 02:44:53 --ip 1.2.3.4 2>/dev/null
check "bad MAC: exit 2" test $? -eq 2
check "nothing configured" bash -c "! grep -q configuration '$tmp/devsim.log'"

# a device that is not there: exit 1, nothing sent
"$cli" net configure 02:44:53:4E:00:09 --ip 1.2.3.4 --seconds 1 2>/dev/null
check "absent MAC: exit 1" test $? -eq 1

# a real change: the datagram, then the device's next announcement shows it
"$cli" net configure 02:44:53:4E:00:02 --ip 10.1.2.3 --web-port 81 >"$tmp/sent"
check "configure exit 0" test $? -eq 0
check "datagram" grep -qx 'sent to 225.12.13.14:31001: 03 12 02 06 02 44 53 4E 00 02 03 04 0A 01 02 03 08 02 51 00 49 78' "$tmp/sent"
"$cli" net discover --seconds 1 >"$tmp/lines"
check "new settings announced" grep -q '^02:44:53:4E:00:02 .* ip="10.1.2.3" .* web-port=81 ' "$tmp/lines"
check "others unchanged" grep -q '^02:44:53:4E:00:01 .* ip="192.168.1.10" .* web-port=80 ' "$tmp/lines"
"$cli" net configure 02:44:53:4E:00:03 --mode dhcp >/dev/null
"$cli" net discover --seconds 1 >"$tmp/lines"
check "DHCP announced" grep -q '^02:44:53:4E:00:03 .* ip="0.0.0.0" mask="0.0.0.0" gateway="0.0.0.0" .* mode=dhcp ' "$tmp/lines"
# a doubled dot is named in the words of "IP Configure"
"$cli" net configure 02:44:53:4E:00:01 --ip 10..0.0.5 2>"$tmp/err"
check "doubled dot named" grep -qx 'tavo-cli: --ip "10..0.0.5" is not an address: four numbers from 0 to 255 between dots. Nothing sent.' "$tmp/err"
# an address another device holds (device 2 since the change above): a warning, sent all the same
"$cli" net configure 02:44:53:4E:00:01 --ip 10.1.2.3 --seconds 1 >"$tmp/sent" 2>"$tmp/err"
check "taken address: exit 0" test $? -eq 0
check "taken address: warning" grep -q '^tavo-cli: warning: 10.1.2.3 is the address of 02:44:53:4E:00:02 (DevSim Net 2)' "$tmp/err"
"$cli" net configure 02:44:53:4E:00:01 --ip 10.9.9.9 --seconds 1 >"$tmp/sent" 2>"$tmp/err"
check "free address: no warning" bash -c "! grep -q warning '$tmp/err'"
exit $fail
