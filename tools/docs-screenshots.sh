#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots from the demo under a virtual display, clicking through
# the windows with xdotool. Needs the Debian packages xvfb, xdotool, x11-apps and imagemagick
# (not part of scripts/setup: only maintainers refresh the pictures).
#   tools/docs-screenshots.sh        (after scripts/build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" != "--inside" ]; then
  exec "$top/scripts/isolated" xvfb-run -a -s "-screen 0 1400x800x24" "$0" --inside
fi
out="$top/docs/screenshots"
mkdir -p "$out"
"$top/scripts/demo-session" "$top" normal > /dev/null 2>&1 &
session=$!
# end this session's window only (other copies may run on the machine), also when a step fails:
# the session then stops its simulator
stop_session() {
  local tavo_pid
  tavo_pid=$(pgrep -x -P "$session" tavo || true)
  [ -n "$tavo_pid" ] && kill "$tavo_pid"
  wait "$session" 2>/dev/null || true
}
trap stop_session EXIT
for _ in $(seq 1 60); do sleep 0.5; xdotool search --name "TAVO 2016" >/dev/null 2>&1 && break; done
sleep 1
shot() { xwd -root -silent | convert xwd:- -crop "$2" +repage "$out/$1.png"; }
# the main window sits at the top left of the bare display, "Commander" at 424,154
xdotool mousemove 61 56 click 1; sleep 3                # Search
shot main-window 584x552+0+0
xdotool mousemove 100 178 click 1; sleep 3              # the serial device's row
shot edid-controller 452x452+423+153
xdotool mousemove 783 230 click 1; sleep 2              # Analysis
shot edid-analyzer 1320x640+0+0
xdotool mousemove 592 167 click 1; sleep 1.5            # EDID Creator
xdotool mousemove 522 240 click 1; sleep 1.5            # New
shot edid-creator 452x452+423+153
xdotool mousemove 678 167 click 1; sleep 1              # System
shot system 452x452+423+153
xdotool mousemove 100 115 click 1; sleep 2              # a networked device's row
shot ip-configure 452x452+423+153
sleep 1
echo "screenshots in $out"
