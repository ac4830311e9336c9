#!/usr/bin/env bash
# Builds Kestrin with the release preset and starts its window. First installs what building and showing
# it needs when missing (scripts/packages-run.txt: compiler, CMake, Qt 6, a font for the Chinese captions).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh scripts/packages-run.txt
cmake --preset release >/dev/null
cmake --build --preset release --target kestrin -j2
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: Kestrin is built, but there is no display to show its window on; start it from a desktop session, or run: xvfb-run -a -s '-screen 0 1600x1000x24' scripts/run.sh" >&2
  exit 1
fi
exec build/release/ui/qt/kestrin
