#!/usr/bin/env bash
# Times Kestrin's walk and content search against grep, ripgrep and find on a generated corpus, with a
# warm page cache, prints the medians and the ratios, and checks that Kestrin finds the same files as grep.
# Then measures the in-memory search (Google Benchmark) and the peak memory of a search through a
# 4 GiB sparse file, and last the reference report: 2,000 reference files against one content search and
# against ripgrep with all names in one pass. And undo: a rename of 20,000 files taken back by
# kestrin-cli undo, against the rename's own time.
#
#   bench/run.sh
#
# Environment (all optional):
#   KESTRIN_BENCH_BUILD   build folder with the bench targets (default: build/dev, configured if missing)
#   KESTRIN_BENCH_CORPUS  where the corpus goes (default: /tmp/kestrin-bench-corpus; made once per seed)
#   KESTRIN_BENCH_SEED    corpus seed (default: 1)
#   KESTRIN_BENCH_RUNS    timed runs per command; the median counts (default: 11)
#   KESTRIN_BENCH_SPARSE  0 to skip the sparse-file check (it needs 4 GiB of page cache for a moment)
#   KESTRIN_BENCH_ONLY    refs: only the reference report; undo: only the undo; cli: only kestrin-cli
#                         search against rg
#   KESTRIN_BENCH_WORKERS threads of Kestrin's content search (default: one per core)
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
cmake --build "$build" --target kestrin-search-bench kestrin-bench-corpus kestrin-search-membench kestrin-cli -j2 \
  >/dev/null
kestrin=$build/bench/kestrin-search-bench
cli=$build/cli/kestrin-cli
only=${KESTRIN_BENCH_ONLY:-}
workers=${KESTRIN_BENCH_WORKERS:-0}

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
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Median of the numbers on standard input; ratios and verdicts of two medians.
median_of() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g) ? "ok" : "MISSED" }'; }

# Undo of a batch rename: 20,000 small files in 1,000 folders, each name holding "_old", renamed by
# kestrin-cli (journal written, every tenth over a file of the new name, which goes to the trash) and taken
# back by kestrin-cli undo; interleaved rounds, each leaving the tree as it began. The journals and the
# trash live in the run's temporary folder.
undo_bench() {
  local tree="$tmp/undo-tree" rt="" ut=""
  export XDG_STATE_HOME="$tmp/undo-state" XDG_DATA_HOME="$tmp/undo-data"
  for ((d = 0; d < 1000; d++)); do
    mkdir -p "$tree/d$d"
    for ((f = 0; f < 20; f++)); do
      echo "file $d $f" >"$tree/d$d/f${f}_old.txt"
      if [ $((f % 10)) -eq 0 ]; then echo "in the way" >"$tree/d$d/f${f}_new.txt"; fi
    done
  done
  local before after
  before=$(cd "$tree" && find . -type f -printf '%p %s %T@ %m\n' | sort | md5sum)
  for ((round = 0; round <= runs; round++)); do
    local start mid end
    start=$EPOCHREALTIME
    "$cli" rename --old _old --new _new --force "$tree" >/dev/null
    mid=$EPOCHREALTIME
    "$cli" undo >/dev/null
    end=$EPOCHREALTIME
    [ "$round" -eq 0 ] && continue
    rt+="$(awk -v s="$start" -v e="$mid" 'BEGIN { printf "%.2f", (e - s) * 1000 }') "
    ut+="$(awk -v s="$mid" -v e="$end" 'BEGIN { printf "%.2f", (e - s) * 1000 }') "
  done
  after=$(cd "$tree" && find . -type f -printf '%p %s %T@ %m\n' | sort | md5sum)
  [ "$before" = "$after" ] || echo "undo: the tree did NOT come back as it was"
  local r u
  r=$(median_of <<<"$rt") u=$(median_of <<<"$ut")
  echo
  echo "== undo of a 20,000-file rename (kestrin-cli, 2,000 replaced files to the trash and back), median of $runs runs, in ms"
  printf '%-10s %9s %9s %8s  %s\n' case rename undo undo/rename "goal 1.50"
  printf '%-10s %9.1f %9.1f %8s  %s\n' "20k files" "$r" "$u" "$(ratio "$u" "$r")" "$(verdict "$(ratio "$u" "$r")" 1.50)"
  unset XDG_STATE_HOME XDG_DATA_HOME
}

if [ "$only" = undo ]; then
  undo_bench
  exit 0
fi

# The reference report: 2,000 reference files beside the corpus (made once per seed), named after 1,500
# identifiers of the corpus spread over every frequency, from the most common to ones found in a single
# file, and 500 names that no file holds. Timed against one content search for the rare pattern through
# the same front-end, and against ripgrep with all names in one pass; counts checked against one content
# search per name for 40 of the names; peak memory of both.
refs_report() {
  local refs="$corpus-refs" names="$corpus-refs.names"
  if [ ! -f "$refs.seed-$seed.done" ]; then
    rm -rf "$refs" "$refs".seed-*.done
    find "$corpus" -type f -not -path '*/packs/*' | sort | awk 'NR <= 600' | xargs cat |
      grep -aoE '[A-Za-z][A-Za-z0-9_]{4,}' | sort | uniq -c | sort -k1,1nr -k2,2 | awk '{ print $2 }' \
      >"$tmp/words"
    awk -v n="$(wc -l <"$tmp/words")" 'BEGIN { step = n / 1500 } NR >= next_at && taken < 1500 {
        print; taken++; next_at += step }' "$tmp/words" >"$names"
    local have
    have=$(wc -l <"$names")
    for ((i = 0; i < 2000 - have; i++)); do printf 'unused_asset_%04d\n' "$i"; done >>"$names"
    local folders=(ui sound PublicRes/effect PlugApp/icons maps) k=0
    while read -r name; do
      local dir="$refs/${folders[k % 5]}"
      mkdir -p "$dir"
      : >"$dir/$name.png"
      k=$((k + 1))
    done <"$names"
    touch "$refs.seed-$seed.done"
  fi
  # A second set: 2,000 names as resource files are often named (ui_hero_btn_07.png), which the corpus
  # never holds, so that every one is unused: the case where the names are rare in the text.
  local assets="$corpus-assets"
  if [ ! -f "$assets.seed-$seed.done" ]; then
    rm -rf "$assets" "$assets".seed-*.done
    mkdir -p "$assets/ui"
    awk 'BEGIN { split("ui btn icon bg effect sound map tile hero skill item npc boss fx anim", w, " ");
                 for (i = 0; i < 2000; i++) printf "%s_%s_%s_%02d.png\n", w[i % 15 + 1], w[int(i / 15) % 15 + 1],
                   w[int(i / 225) % 15 + 1], i % 97 }' | while read -r name; do : >"$assets/ui/$name"; done
    touch "$assets.seed-$seed.done"
  fi
  r_report() { "$cli" refs --hidden "$refs" "$corpus"; }
  r_assets() { "$cli" refs --hidden "$assets" "$corpus"; }
  r_search() { "$cli" search --hidden --content "$rare" "$corpus"; }
  r_rg() { rg -uuu -o -F -f "$names" --no-filename "$corpus"; }
  local c start end round
  declare -A rtimes
  for ((round = 0; round <= runs; round++)); do
    for c in r_report r_assets r_search r_rg; do
      start=$EPOCHREALTIME
      "$c" | wc -l >/dev/null
      end=$EPOCHREALTIME
      [ "$round" -eq 0 ] && continue
      rtimes[$c]+="$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", (e - s) * 1000 }') "
    done
  done
  local report search rgm assetsm
  report=$(median_of <<<"${rtimes[r_report]}")
  assetsm=$(median_of <<<"${rtimes[r_assets]}")
  search=$(median_of <<<"${rtimes[r_search]}")
  rgm=$(median_of <<<"${rtimes[r_rg]}")
  echo
  echo "== reference report: $(find "$refs" -type f | wc -l) reference files, median of $runs runs, in ms, $(nproc) cores"
  printf 'report %.1f, one content search %.1f: %s (goal 1.50: %s)\n' "$report" "$search" \
    "$(ratio "$report" "$search")" "$(verdict "$(ratio "$report" "$search")" 1.50)"
  printf 'report %.1f, rg -uuu -o -F -f NAMES %.1f: %s (goal 0.80: %s)\n' "$report" "$rgm" \
    "$(ratio "$report" "$rgm")" "$(verdict "$(ratio "$report" "$rgm")" 0.80)"
  printf 'report over %d resource-like names, none in the corpus, %.1f: %s of one content search\n' \
    "$(find "$assets" -type f | wc -l)" "$assetsm" "$(ratio "$assetsm" "$search")"
  r_report >"$tmp/report"
  printf 'unused: %d of %d reference files\n' "$(awk -F '\t' '$1 == 0' "$tmp/report" | wc -l)" \
    "$(wc -l <"$tmp/report")"
  local line count path name equal=0 checked=0
  while IFS=$'\t' read -r count path; do
    name=${path##*/}
    name=${name%%.*}
    checked=$((checked + 1))
    [ "$("$cli" search --hidden --content "$name" "$corpus" | wc -l)" -eq "$count" ] && equal=$((equal + 1)) ||
      echo "DIFFERENT: $path: report $count"
  done < <(awk 'NR % 50 == 1' "$tmp/report")
  echo "counts: $equal of $checked equal to one content search per name"
  printf 'peak memory (max RSS): report %s KiB, one content search %s KiB\n' \
    "$(/usr/bin/time -f %M "$cli" refs --hidden "$refs" "$corpus" 2>&1 >/dev/null | tail -1)" \
    "$(/usr/bin/time -f %M "$cli" search --hidden --content "$rare" "$corpus" 2>&1 >/dev/null | tail -1)"
}
# kestrin-cli search, paths and matching lines, against rg -l and rg -n with the same options (every
# file, hidden ones included: -uuu), both with their default threads, interleaved rounds.
cli_search() {
  c_paths_rare() { "$cli" search -H --content "$rare" "$corpus"; }
  c_paths_common() { "$cli" search -H -i --content "$common" "$corpus"; }
  c_lines_rare() { "$cli" search -H -n --content "$rare" "$corpus"; }
  c_lines_common() { "$cli" search -H -n -i --content "$common" "$corpus"; }
  rg_paths_rare() { rg -uuu -l -F -- "$rare" "$corpus"; }
  rg_paths_common() { rg -uuu -l -F -i -- "$common" "$corpus"; }
  rg_lines_rare() { rg -uuu -n -F -- "$rare" "$corpus"; }
  rg_lines_common() { rg -uuu -n -F -i -- "$common" "$corpus"; }
  local cases=(paths_rare paths_common lines_rare lines_common) c start end round
  echo
  echo "== kestrin-cli search against rg (default threads, -uuu), median of $runs runs, in ms, $(nproc) cores"
  for c in "${cases[@]}"; do
    "c_$c" | sort >"$tmp/c"
    "rg_$c" | sort >"$tmp/r"
    cmp -s "$tmp/c" "$tmp/r" || echo "$c: DIFFERENT output from rg ($(wc -l <"$tmp/c") / $(wc -l <"$tmp/r") lines)"
  done
  declare -A ctimes
  for ((round = 0; round <= runs; round++)); do
    for c in "${cases[@]}"; do
      for who in c rg; do
        start=$EPOCHREALTIME
        "${who}_$c" | wc -l >/dev/null
        end=$EPOCHREALTIME
        [ "$round" -eq 0 ] && continue
        ctimes[${who}_$c]+="$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", (e - s) * 1000 }') "
      done
    done
  done
  printf '%-15s %9s %9s %8s  %s\n' case cli rg cli/rg "goal 0.80"
  for c in "${cases[@]}"; do
    local k r
    k=$(median_of <<<"${ctimes[c_$c]}") r=$(median_of <<<"${ctimes[rg_$c]}")
    printf '%-15s %9.1f %9.1f %8s  %s\n' "$c" "$k" "$r" "$(ratio "$k" "$r")" "$(verdict "$(ratio "$k" "$r")" 0.80)"
  done
}

if [ "$only" = refs ]; then
  refs_report
  exit 0
fi
if [ "$only" = cli ]; then
  cli_search
  exit 0
fi

# The commands timed. Every one prints paths, one per line; the timing pipes them into wc -l.
k_rare_exact() { "$kestrin" --workers "$workers" --content "$rare" "$corpus"; }
k_rare_nocase() { "$kestrin" --workers "$workers" -i --content "$rare" "$corpus"; }
k_common_exact() { "$kestrin" --workers "$workers" --content "$common" "$corpus"; }
k_common_nocase() { "$kestrin" --workers "$workers" -i --content "$common" "$corpus"; }
k_walk() { "$kestrin" "$corpus"; }
k_packs() { "$kestrin" --workers "$workers" --content "$rare" "$corpus/packs"; }
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
  median[$c]=$(median_of <<<"${times[$c]}")
done

echo
echo "== walk + content search, warm cache, Kestrin on $([ "$workers" = 0 ] && echo "one worker per core" || echo "$workers workers"), rg -j1: median of $runs runs, in ms"
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
    } | "$drive"
  }
  # The result paths in the driver's dump (for the comparison of result sets; the timing takes the dump
  # as the driver writes it, as it takes what grep and rg write).
  results_of() { sed -n 's/^list IDC_RESULT_LIST\[[0-9]*\]: //p'; }
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
    "d_$pair" | results_of | sed "s|/\{2,\}|/|g" | sort >"$tmp/d"
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

# The Qt window while the matches pane fills for a 2 GiB file: the longest wait of the event loop.
if [ -x "$build/ui/qt/kestrin-qt-pane-bench" ]; then
  echo
  echo "== Qt window, matches pane of a 2 GiB file (offscreen)"
  QT_QPA_PLATFORM=offscreen "$build/ui/qt/kestrin-qt-pane-bench" 2 2>/dev/null
fi

echo
echo "== in-memory search (Google Benchmark; bytes_per_second from CPU time)"
"$build/bench/kestrin-search-membench" --benchmark_min_time=0.3 2>/dev/null

undo_bench
cli_search
refs_report
