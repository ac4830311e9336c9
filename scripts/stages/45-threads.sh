#!/usr/bin/env bash
# The core, the headless host and their tests built with ThreadSanitizer (clang), then run: the content
# search reads files on several threads, and any data race or lock-order problem fails the run.
set -euo pipefail
cd "$(dirname "$0")/../.."
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j2
# The icon check runs no code of ours on threads.
ctest --preset tsan --label-exclude res
# The dialog's tests and scenarios again, the headless window running the worker's calls on its own thread
# while the worker goes on, as the Qt and Win32 windows do.
KESTRIN_HEADLESS_WINDOW_THREAD=1 build/tsan/tests/ui/kestrin_ui_tests
KESTRIN_HEADLESS_WINDOW_THREAD=1 ctest --preset tsan -L scenario
