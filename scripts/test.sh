#!/usr/bin/env bash
# Builds and runs every test: installs what is missing, then runs each stage of scripts/stages in order
# (Linux build and tests, the Windows build under Wine, the sanitizer build, the bounded fuzz runs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
for stage in scripts/stages/[0-9]*.sh; do
  echo "=== ${stage#scripts/stages/}"
  bash "$stage"
done
echo "=== all tests passed"
