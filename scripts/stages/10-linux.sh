#!/usr/bin/env bash
# The Linux build with warnings as errors, and its tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
cmake --preset dev >/dev/null
cmake --build --preset dev -j2
ctest --preset dev
