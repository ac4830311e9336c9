#!/usr/bin/env bash
# Builds Kestrin and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2
if [ -x build/release/ui/qt/kestrin ]; then
  exec build/release/ui/qt/kestrin
fi
echo "Kestrin is built; the window arrives with the desktop front-end."
