#!/usr/bin/env bash
# Takes the README's pictures of the window: the Qt window and the Win32 window (under Wine) on a
# 1366x768 virtual screen as they open there, and made as large as a 1920x1080 screen, each with a search
# run, a result selected (its matching lines in the pane below) and a picture selected in the reference
# list. Prints each window's size hints, which must let it be resized and fit the screen.
#
#   docs/screenshots.sh BUILD_DEV BUILD_WINDOWS
#
# BUILD_DEV holds ui/qt/kestrin, BUILD_WINDOWS ui/win32/Kestrin.exe (either may be "-" to skip it).
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
dev=$1
win=$2
work=$(mktemp -d /tmp/kestrin-shots.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A small game tree: scripts that mention a button picture, and the pictures themselves.
game=$work/game
mkdir -p "$game/scripts" "$game/ui" "$game/PublicRes/ui"
printf 'local M = {}\nM.ok = "btn_ok.png"\nM.cancel = "btn_cancel.png"\nreturn M\n' >"$game/scripts/menu.lua"
printf 'return { icon = "btn_ok.png", size = 32 }\n' >"$game/ui/button.lua"
printf -- '-- shop\nlocal buy = load("btn_ok")\nlocal sell = load("btn_sell")\n' >"$game/scripts/shop.lua"
convert -size 256x128 gradient:'#3a7bd5-#00d2ff' -gravity center -pointsize 40 -fill white \
  -annotate 0 'OK' "$game/PublicRes/ui/btn_ok.png"
convert -size 256x128 xc:'#c0392b' "$game/PublicRes/ui/btn_cancel.png"
printf 'not a picture\n' >"$game/PublicRes/ui/readme.txt"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.state
mkdir -p "$HOME"

# shoot SCREEN OUT.png PROGRAM...: starts the program on a virtual screen, runs a search for btn_ok,
# selects the first result and the first picture of the reference folder, photographs the window.
shoot() {
  local screen=$1 out=$2
  shift 2
  local display=:$((90 + RANDOM % 9))
  Xvfb "$display" -screen 0 "${screen}x24" >/dev/null 2>&1 &
  local xvfb=$!
  sleep 1
  DISPLAY=$display "$@" >/dev/null 2>&1 &
  local app=$!
  local window=""
  for _ in $(seq 1 60); do
    window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || { echo "screenshots: no window on $screen" >&2; kill $app $xvfb; return 1; }
  sleep 2
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
  if [ -n "${SHOT_LARGEST:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
    # Wine draws the frame itself here and takes no size from outside: its maximise box does it.
    DISPLAY=$display xdotool mousemove --window "$window" $((WIDTH - 32)) 12 click 1
    sleep 2
  elif [ -n "${SHOT_LARGEST:-}" ]; then
    DISPLAY=$display xdotool windowmove "$window" 0 0 windowsize "$window" ${screen%x*} ${screen#*x}
    sleep 1
  fi
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
  if [ -n "${SHOT_DRIVE:-}" ]; then
    # Dialog units are 1.75 pixels in the Qt window at 100 %; the search box and the result list keep
    # their top left corner, the reference column's Open button and list their right edge (its second line is the picture btn_ok.png).
    DISPLAY=$display xdotool mousemove --window "$window" 150 187 click 1 type --delay 20 "btn_ok"
    DISPLAY=$display xdotool key Return
    sleep 1.5
    DISPLAY=$display xdotool mousemove --window "$window" 60 216 click 1
    sleep 1
    DISPLAY=$display xdotool mousemove --window "$window" $((WIDTH - 35)) 203 click 1
    sleep 1.5
    DISPLAY=$display xdotool type --delay 20 "$game/PublicRes/ui"
    DISPLAY=$display xdotool key Return
    sleep 1.5
    DISPLAY=$display xdotool mousemove --window "$window" $((WIDTH - 120)) 275 click 1
    sleep 1.5
  fi
  DISPLAY=$display xprop -id "$window" WM_NORMAL_HINTS | sed 's/^/  /'
  echo "  $out: window ${WIDTH}x${HEIGHT} at $X,$Y on $screen"
  DISPLAY=$display import -window root "$out"
  kill $app 2>/dev/null || true
  [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k 2>/dev/null || true
  kill $xvfb 2>/dev/null || true
  wait 2>/dev/null || true
}

if [ "$dev" != "-" ]; then
  export QT_QPA_PLATFORM=xcb SHOT_DRIVE=1
  shoot 1366x768 "$docs/kestrin-qt-1366x768.png" "$dev/ui/qt/kestrin" "$game/"
  SHOT_LARGEST=1 shoot 1920x1080 "$docs/kestrin-qt-largest.png" "$dev/ui/qt/kestrin" "$game/"
  QT_SCALE_FACTOR=1.5 shoot 1920x1080 "$work/qt-150.png" "$dev/ui/qt/kestrin" "$game/"
fi
if [ "$win" != "-" ]; then
  unset SHOT_DRIVE
  export WINEPREFIX=$work/wine WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  shoot 1366x768 "$docs/kestrin-win32-1366x768.png" /usr/lib/wine/wine64 "$win/ui/win32/Kestrin.exe"
  SHOT_LARGEST=1 shoot 1920x1080 "$docs/kestrin-win32-largest.png" /usr/lib/wine/wine64 "$win/ui/win32/Kestrin.exe"
fi
