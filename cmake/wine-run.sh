#!/bin/sh
# Runs a Windows executable under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The environment lives here, not in CTest's ENVIRONMENT list, which splits at ';' and drops variables.
# LC_ALL=zh_CN.UTF-8 gives the program the ANSI code page 936 (GBK); the locale must exist on the host.
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
