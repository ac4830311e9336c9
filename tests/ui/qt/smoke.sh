#!/usr/bin/env bash
# smoke.sh PROGRAM SCREENSHOT.png
# Starts the real program under Xvfb, waits until a visible window titled Kestrin appears, checks its
# size, focuses it and photographs the screen. Fails when the window never shows or the program dies.
set -euo pipefail
if [ "${1:-}" != "--inside" ]; then
  program=$1
  shot=$2
  for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "smoke: $tool is missing (scripts/packages.txt)"; exit 1; }
  done
  rm -f "$shot"
  exec xvfb-run -a -s "-screen 0 1600x1000x24" bash "$0" --inside "$program" "$shot"
fi
program=$2
shot=$3
export QT_QPA_PLATFORM=xcb
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kestrin$' | head -n 1) || true
if [ -z "$window" ]; then
  echo "smoke: no visible window titled Kestrin within 30 s"
  exit 1
fi
kill -0 "$pid" || { echo "smoke: the program ended on its own"; exit 1; }
xdotool windowfocus "$window" || true
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "smoke: window $window, ${WIDTH}x${HEIGHT}"
if [ "$WIDTH" -lt 800 ] || [ "$HEIGHT" -lt 500 ] || [ "$WIDTH" -gt 1600 ] || [ "$HEIGHT" -gt 1000 ]; then
  echo "smoke: unexpected window size ${WIDTH}x${HEIGHT}"
  exit 1
fi
sleep 1  # let the first paint reach the screen
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
colours=$(convert "$shot" -format '%k' info:)
echo "smoke: screenshot $shot with $colours colours"
if [ "$colours" -lt 8 ]; then
  echo "smoke: the screenshot is blank"
  exit 1
fi
kill -0 "$pid" || { echo "smoke: the program ended while shown"; exit 1; }
