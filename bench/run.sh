#!/usr/bin/env bash
# Times Kestrin's walk and content search against grep, ripgrep and find on a generated corpus, with a
# warm page cache, prints the medians and the ratios, and checks that Kestrin finds the same files as grep.
# Then measures the in-memory search (Google Benchmark) and the peak memory of a search through a
# 4 GiB sparse file.
#
#   bench/run.sh
#
# Environment (all optional):
#   KESTRIN_BENCH_BUILD   build folder with the bench targets (default: build/dev, configured if missing)
#   KESTRIN_BENCH_CORPUS  where the corpus goes (default: /tmp/kestrin-bench-corpus; made once per seed)
#   KESTRIN_BENCH_SEED    corpus seed (default: 1)
#   KESTRIN_BENCH_RUNS    timed runs per command; the median counts (default: 11)
#   KESTRIN_BENCH_SPARSE  0 to skip the sparse-file check (it needs 4 GiB of page cache for a moment)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRIN_BENCH_BUILD:-$root/build/dev}
corpus=${KESTRIN_BENCH_CORPUS:-/tmp/kestrin-bench-corpus}
seed=${KESTRIN_BENCH_SEED:-1}
runs=${KESTRIN_BENCH_RUNS:-11}
sparse=${KESTRIN_BENCH_SPARSE:-1}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIN_WERROR=ON >/dev/null
fi
cmake --build "$build" --target kestrin-search-bench kestrin-bench-corpus kestrin-search-membench -j2 >/dev/null
kestrin=$build/bench/kestrin-search-bench

# The corpus is made once per seed; the mark of a finished one lives beside it, not in it.
done_mark="$corpus.seed-$seed.done"
if [ ! -f "$done_mark" ]; then
  rm -rf "$corpus" "$corpus".seed-*.done
  "$build/bench/kestrin-bench-corpus" "$corpus" --seed "$seed"
  touch "$done_mark"
fi

export LC_ALL=C  # grep and rg fold ASCII letters only, as Kestrin does
rare=QuartzFalcon
common=return

# The commands timed. Every one prints paths, one per line; the timing pipes them into wc -l.
k_rare_exact() { "$kestrin" --content "$rare" "$corpus"; }
k_rare_nocase() { "$kestrin" -i --content "$rare" "$corpus"; }
k_common_exact() { "$kestrin" --content "$common" "$corpus"; }
k_common_nocase() { "$kestrin" -i --content "$common" "$corpus"; }
k_walk() { "$kestrin" "$corpus"; }
k_packs() { "$kestrin" --content "$rare" "$corpus/packs"; }
grep_rare_exact() { grep -rlF -- "$rare" "$corpus"; }
grep_rare_nocase() { grep -rliF -- "$rare" "$corpus"; }
grep_common_exact() { grep -rlF -- "$common" "$corpus"; }
grep_common_nocase() { grep -rliF -- "$common" "$corpus"; }
grep_packs() { grep -rlF -- "$rare" "$corpus/packs"; }
rg_rare_exact() { rg -l -F -j1 -uuu -- "$rare" "$corpus"; }
rg_rare_nocase() { rg -l -F -i -j1 -uuu -- "$rare" "$corpus"; }
rg_common_exact() { rg -l -F -j1 -uuu -- "$common" "$corpus"; }
rg_common_nocase() { rg -l -F -i -j1 -uuu -- "$common" "$corpus"; }
find_walk() { find "$corpus" -type f; }

commands=(k_rare_exact grep_rare_exact rg_rare_exact k_rare_nocase grep_rare_nocase rg_rare_nocase
  k_common_exact grep_common_exact rg_common_exact k_common_nocase grep_common_nocase rg_common_nocase
  k_walk find_walk k_packs grep_packs)

# The same files as grep finds (and as rg and find), compared as sorted sets.
echo "== result sets"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
same=1
for pair in rare_exact rare_nocase common_exact common_nocase; do
  "k_$pair" | sort >"$tmp/k"
  "grep_$pair" | sort >"$tmp/g"
  "rg_$pair" | sort >"$tmp/r"
  if cmp -s "$tmp/k" "$tmp/g" && cmp -s "$tmp/k" "$tmp/r"; then
    printf '%-15s %6d files, the same as grep and rg\n' "$pair" "$(wc -l <"$tmp/k")"
  else
    printf '%-15s DIFFERENT: kestrin %d, grep %d, rg %d files\n' "$pair" "$(wc -l <"$tmp/k")" \
      "$(wc -l <"$tmp/g")" "$(wc -l <"$tmp/r")"
    same=0
  fi
done
k_walk | sort >"$tmp/k"
find_walk | sort >"$tmp/f"
if cmp -s "$tmp/k" "$tmp/f"; then
  printf '%-15s %6d files, the same as find\n' walk "$(wc -l <"$tmp/k")"
else
  echo "walk            DIFFERENT from find"
  same=0
fi

# Rounds of every command in turn (the first round only warms the cache), so that a change in the load
# of the machine touches all of them alike.
declare -A times
for ((round = 0; round <= runs; round++)); do
  for c in "${commands[@]}"; do
    start=$EPOCHREALTIME
    "$c" | wc -l >/dev/null
    end=$EPOCHREALTIME
    [ "$round" -eq 0 ] && continue
    times[$c]+="$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", (e - s) * 1000 }') "
  done
done
declare -A median
for c in "${commands[@]}"; do
  median[$c]=$(tr ' ' '\n' <<<"${times[$c]}" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g) ? "ok" : "MISSED" }'; }

echo
echo "== walk + content search, one thread, warm cache: median of $runs runs, in ms"
printf '%-15s %9s %9s %9s %8s %8s  %s\n' case kestrin "grep" "rg" k/grep k/rg "goal 0.80"
worst=0
for pair in rare_exact rare_nocase common_exact common_nocase; do
  k=${median[k_$pair]} g=${median[grep_$pair]} r=${median[rg_$pair]}
  rg_ratio=$(ratio "$k" "$g") rr_ratio=$(ratio "$k" "$r")
  printf '%-15s %9.1f %9.1f %9.1f %8s %8s  %s\n' "$pair" "$k" "$g" "$r" "$rg_ratio" "$rr_ratio" \
    "$(verdict "$(awk -v a="$rg_ratio" -v b="$rr_ratio" 'BEGIN { print (a > b) ? a : b }')" 0.80)"
  worst=$(awk -v a="$worst" -v b="$rg_ratio" 'BEGIN { print (b > a) ? b : a }')
done
echo
echo "== walk alone"
printf 'kestrin %.1f ms, find -type f %.1f ms: %s (goal 0.80: %s)\n' "${median[k_walk]}" "${median[find_walk]}" \
  "$(ratio "${median[k_walk]}" "${median[find_walk]}")" \
  "$(verdict "$(ratio "${median[k_walk]}" "${median[find_walk]}")" 0.80)"
echo
echo "== case-insensitive / exact (goal 1.10)"
for p in rare common; do
  r=$(ratio "${median[k_${p}_nocase]}" "${median[k_${p}_exact]}")
  printf '%-7s %s %s\n' "$p" "$r" "$(verdict "$r" 1.10)"
done
echo
echo "== multi-MiB files ($corpus/packs, no match, every byte read)"
bytes=$(find "$corpus/packs" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
files=$(find "$corpus/packs" -type f | wc -l)
printf '%d files, %.0f MB: kestrin %.1f ms = %.2f GB/s (goal 3.5), grep %.1f ms = %.2f GB/s\n' "$files" \
  "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "${median[k_packs]}" \
  "$(awk -v b="$bytes" -v t="${median[k_packs]}" 'BEGIN { print b / t / 1e6 }')" "${median[grep_packs]}" \
  "$(awk -v b="$bytes" -v t="${median[grep_packs]}" 'BEGIN { print b / t / 1e6 }')"
echo
printf 'floor: slowest kestrin/grep ratio %s (never slower than grep: %s)\n' "$worst" "$(verdict "$worst" 1.0)"
[ "$same" -eq 1 ] && echo "result sets: all the same" || echo "result sets: DIFFERENT (see above)"

if [ "$sparse" != 0 ]; then
  echo
  echo "== peak memory through a 4 GiB sparse file"
  sparse_dir=$(mktemp -d)
  truncate -s 4G "$sparse_dir/huge.bin"
  printf 'tail' >>"$sparse_dir/huge.bin"
  cat "$sparse_dir/huge.bin" >/dev/null  # warm
  "$kestrin" --stats --content tail "$sparse_dir" 2>&1 >/dev/null | sed 's/^/huge.bin: /'
  "$kestrin" --stats --content "$rare" "$corpus" 2>&1 >/dev/null | sed 's/^/corpus:   /'
  rm -rf "$sparse_dir"
fi

# End to end through the window's scenario driver: start, walk with hidden files, content search, dump
# (which prints every result line); against rg with its default threads and grep, both with LC_ALL=C.
drive=$build/ui/headless/kestrin-drive
if [ -x "$drive" ]; then
  drive_search() {  # PATTERN [nocase]
    {
      echo "click IDC_INCLUDE_HIDDEN"
      [ "${2:-}" = nocase ] && echo "click IDC_IGNORE_CASE"
      echo "browse-input $corpus"
      echo "set IDC_SEARCH_TEXT $1"
      echo "click IDC_SEARCH"
      echo "dump"
    } | "$drive" | sed -n 's/^list IDC_RESULT_LIST\[[0-9]*\]: //p'
  }
  d_rare_exact() { drive_search "$rare"; }
  d_rare_nocase() { drive_search "$rare" nocase; }
  d_common_exact() { drive_search "$common"; }
  d_common_nocase() { drive_search "$common" nocase; }
  rgt_rare_exact() { rg -l -F -uuu -- "$rare" "$corpus"; }
  rgt_rare_nocase() { rg -l -F -i -uuu -- "$rare" "$corpus"; }
  rgt_common_exact() { rg -l -F -uuu -- "$common" "$corpus"; }
  rgt_common_nocase() { rg -l -F -i -uuu -- "$common" "$corpus"; }
  echo
  echo "== end to end through kestrin-drive (rg with its default threads), median of $runs runs, in ms"
  printf '%-15s %9s %9s %9s %8s %8s  %s\n' case drive "grep" "rg" d/grep d/rg "goals 0.45 / 0.70"
  for pair in rare_exact rare_nocase common_exact common_nocase; do
    "d_$pair" | sed "s|/\{2,\}|/|g" | sort >"$tmp/d"
    "rgt_$pair" | sort >"$tmp/r"
    cmp -s "$tmp/d" "$tmp/r" || echo "$pair: DIFFERENT result set from rg ($(wc -l <"$tmp/d") / $(wc -l <"$tmp/r"))"
    dt="" gt="" rt=""
    for ((round = 0; round <= runs; round++)); do
      for c in "d_$pair" "grep_$pair" "rgt_$pair"; do
        start=$EPOCHREALTIME
        "$c" | wc -l >/dev/null
        end=$EPOCHREALTIME
        [ "$round" -eq 0 ] && continue
        ms=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", (e - s) * 1000 }')
        case $c in d_*) dt+="$ms " ;; grep_*) gt+="$ms " ;; *) rt+="$ms " ;; esac
      done
    done
    med() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
    d=$(med "$dt") g=$(med "$gt") r=$(med "$rt")
    printf '%-15s %9.1f %9.1f %9.1f %8s %8s  %s %s\n' "$pair" "$d" "$g" "$r" "$(ratio "$d" "$g")" "$(ratio "$d" "$r")" \
      "$(verdict "$(ratio "$d" "$g")" 0.45)" "$(verdict "$(ratio "$d" "$r")" 0.70)"
  done
fi

# The Qt window during a search of 200,000 files: the longest wait of the event loop and how soon a stop
# ends the command.
if [ -x "$build/ui/qt/kestrin-qt-bench" ]; then
  echo
  echo "== Qt window, 200,000 files (offscreen)"
  QT_QPA_PLATFORM=offscreen "$build/ui/qt/kestrin-qt-bench" 200000 2>/dev/null
fi

echo
echo "== in-memory search (Google Benchmark; bytes_per_second from CPU time)"
"$build/bench/kestrin-search-membench" --benchmark_min_time=0.3 2>/dev/null
