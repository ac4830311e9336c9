#!/usr/bin/env bash
# The core and its tests built with AddressSanitizer and UndefinedBehaviorSanitizer (clang), then run.
# Any report fails the run: every sanitizer stops the program at its first finding with a non-zero exit
# code, leaks included, and the test that hit it fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:detect_invalid_pointer_pairs=0:exitcode=86"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1:exitcode=87"
export LSAN_OPTIONS="exitcode=88"
cmake --preset asan >/dev/null
cmake --build --preset asan -j2
ctest --preset asan
