#!/usr/bin/env bash
# Bounded fuzzing: builds the libFuzzer targets (clang, with AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for a few seconds from its seed corpus in tests/fuzz/corpus. Any crash, sanitizer report or
# violated property fails the run and leaves the input that caused it in build/fuzz/fuzz-work/artifacts.
#
#   scripts/stages/50-fuzz.sh                  # every target, 5 seconds each (the test command's run)
#   scripts/stages/50-fuzz.sh 600              # every target, 10 minutes each
#   scripts/stages/50-fuzz.sh 600 search       # one target
#
# New inputs that reach new code are kept in build/fuzz/fuzz-work/corpus, so longer runs build on each
# other; copy the interesting ones into tests/fuzz/corpus to keep them.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
seconds=${1:-${KESTRIN_FUZZ_SECONDS:-5}}
shift || true
targets=("$@")

cmake --preset fuzz >/dev/null
build=build/fuzz
# Every target the build defines, unless some are named.
[ ${#targets[@]} -gt 0 ] || mapfile -t targets <"$build/tests/fuzz/targets.txt"
cmake --build --preset fuzz -j2 --target "${targets[@]/#/fuzz_}"

work=$build/fuzz-work
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$work/corpus/$t" "$work/artifacts/$t"
  log="$work/$t.log"
  # The folder-creation target works on the in-memory file system only; it still runs inside a scratch
  # folder so that nothing it could ever do lands in the source tree.
  if (cd "$work" && "$root/$build/tests/fuzz/fuzz_$t" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$root/$work/artifacts/$t/" \
        "$root/$work/corpus/$t" "$root/tests/fuzz/corpus/$t") >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    printf 'fuzz_%-12s %10s executions in %ss (%s/s), %s\n' "$t" "${runs:-?}" "$seconds" "${rate:-?}" "${cov:-}"
  else
    echo "fuzz_$t FAILED; its log ends:"
    tail -n 60 "$log"
    echo "the failing input is in $work/artifacts/$t/"
    status=1
  fi
done
exit $status
