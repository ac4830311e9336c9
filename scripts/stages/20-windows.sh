#!/usr/bin/env bash
# The Windows build (mingw-w64) with warnings as errors, and its tests run under Wine in code page 936.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

# Wine gives a program the GBK code page only when the zh_CN.UTF-8 locale really exists.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if grep -q '^# *zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    $sudo sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null
fi

cmake --preset windows >/dev/null
cmake --build --preset windows -j2

prefix="$root/build/windows/wine-prefix"
sh cmake/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix"
# One wine server for the whole run; the prefix's system processes are started here, away from ctest's
# output pipes, which they would otherwise hold open after each test ends.
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
sh cmake/wine-run.sh "$prefix" cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --preset windows
