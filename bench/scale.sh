#!/usr/bin/env bash
# The long checks at scale, outside the quick test run: 200,000 files walked and searched through the
# dialog (memory, progress past 32,767), a 4 GiB sparse file searched (peak memory), a folder link cycle,
# and paths at the platform's limit. Each runs in its own process, so that its peak memory is its own,
# and prints its figures. Needs about 1 GiB free in the temporary folder (the sparse file takes almost
# nothing) and a few minutes.
#
#   bench/scale.sh            # every check
#   bench/scale.sh Sparse     # the checks whose name contains Sparse
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/scale
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTRIN_BUILD_QT=OFF -DKESTRIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target kestrin_scale
exe="$build/tests/scale/kestrin_scale"
filter=${1:-}
status=0
for check in $("$exe" --gtest_list_tests | sed -n 's/^  \([A-Za-z0-9_]*\).*/\1/p'); do
  [[ -z "$filter" || "$check" == *"$filter"* ]] || continue
  echo "=== $check"
  if ! "$exe" --gtest_filter="Scale.$check" --gtest_brief=1; then status=1; fi
done
exit $status
