#!/bin/sh
# Makes the Wine prefix the tests run in, once: wine-prefix.sh PREFIX
# A new prefix takes about 12 s; the null graphics driver lets windows be created without a display.
set -eu
prefix=$1
[ -f "$prefix/.kestrin-ready" ] && exit 0
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver -w
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$prefix/.kestrin-ready"
