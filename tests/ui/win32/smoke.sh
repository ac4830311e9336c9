#!/usr/bin/env bash
# Smoke test of Kestrin.exe on a virtual X display: start it under Wine, find the window titled "Kestrin",
# press Enter and Escape in it (it must stay open), take a screenshot, close it through its close box, and
# check that the program ends.
#
#   smoke.sh PREFIX KESTRIN_EXE OUTPUT_DIR
#
# PREFIX is a Wine prefix of this test's own, made on first use: the prefix of the other tests uses the
# null graphics driver, which draws nothing. Wine draws the window frame itself here (no window manager
# runs on the virtual display), so the caption and its icon show in the screenshot. The screenshot is
# left in OUTPUT_DIR/kestrin.png for a person to look at.
set -euo pipefail

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$@"
fi

prefix=$1
exe=$2
out=$3
mkdir -p "$out"

export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ ! -f "$prefix/.kestrin-x11-ready" ]; then
  mkdir -p "$prefix"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  "$wineserver" -w </dev/null >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  "$wineserver" -w </dev/null >/dev/null 2>&1
  touch "$prefix/.kestrin-x11-ready"
fi

fail() {
  echo "smoke: $*" >&2
  exit 1
}

# The server and the prefix's system processes start here, away from ctest's output pipes, which they
# would otherwise hold open after the test ends.
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true

"$wine" "$exe" </dev/null >"$out/kestrin.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; "$wineserver" -k 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 120); do
  window=$(xdotool search --onlyvisible --name '^Kestrin$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $pid 2>/dev/null || fail "Kestrin.exe ended before its window appeared"
  sleep 0.5
done
[ -n "$window" ] || fail "no window titled Kestrin"
sleep 2

eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window at $X,$Y, $WIDTH x $HEIGHT"
# 814 x 501 dialog units in a 9-point font come to well over 1000 x 700 pixels.
[ "$WIDTH" -ge 1000 ] && [ "$HEIGHT" -ge 700 ] || fail "window of $WIDTH x $HEIGHT pixels is too small"

# Focus the result list (its top left corner), then Enter (runs the search: the status box reports that
# there are no files) and Escape (does nothing). Neither closes the window.
xdotool mousemove $((X + WIDTH / 20)) $((Y + HEIGHT / 3)) click 1
sleep 0.5
xdotool key Return
sleep 0.5
xdotool key Escape
sleep 1
kill -0 $pid 2>/dev/null || fail "Enter or Escape ended the program"
xdotool search --onlyvisible --name '^Kestrin$' >/dev/null || fail "Enter or Escape closed the window"

import -window root "$out/kestrin.png"
colours=$(convert "$out/kestrin.png" -format '%k' info:)
echo "screenshot $out/kestrin.png with $colours colours"
[ "$colours" -ge 8 ] || fail "the screenshot is nearly blank"

# The close box sits at the right end of the caption Wine draws.
xdotool mousemove $((X + WIDTH - 10)) $((Y + 10)) click 1
for _ in $(seq 1 40); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.25
done
if kill -0 $pid 2>/dev/null; then
  fail "the program still runs after its window was closed"
fi
wait $pid || fail "Kestrin.exe ended with status $?"
trap - EXIT
"$wineserver" -k 2>/dev/null || true
echo "smoke: ok"
