#!/usr/bin/env bash
# The Linux build with warnings as errors, and its tests.
set -euo pipefail
cmake --preset dev >/dev/null
cmake --build --preset dev -j2
ctest --preset dev
