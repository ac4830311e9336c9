// In-memory search speed: BufferContains in both case modes and on each vector kernel, next to the C
// library's memchr and memmem, the patterns that make a plain scan quadratic, and the search for 2,000
// names at once that the reference report makes, by each of its ways through the data.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "search/multi_search.h"
#include "search/search.h"
#include "search/substring_search.h"

namespace {

using kestrin::SearchKernel;
using kestrin::SubstringSearcher;

// A 10-byte pattern made of common text bytes, absent from the text below.
const std::string kPattern = "spriteBank";

// Program-like text of the given size that does not contain kPattern in either case.
std::string Text(std::size_t size) {
  static const char* const words[] = {"local ", "function ", "return ", "tile", "map", "render", "Texture",
                                      "(x, y)", " = ", "end\n", "if ", "then\n", "0.5", "self.", "draw", "Tile",
                                      "_count", "; ", "-- 加载\n", "{", "}\n"};
  std::string text;
  std::uint64_t state = 12345;
  while (text.size() < size) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    text += words[(state >> 33) % std::size(words)];
  }
  text.resize(size);
  return text;
}

void SetBytes(benchmark::State& state, std::size_t size) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
}

void BM_Memchr(benchmark::State& state) {
  const std::string text = Text(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(std::memchr(text.data(), '\x01', text.size()));
  SetBytes(state, text.size());
}

void BM_Memmem(benchmark::State& state) {
  const std::string text = Text(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(text.data(), text.size(), kPattern.data(), kPattern.size()));
  SetBytes(state, text.size());
}

void BM_BufferContains(benchmark::State& state) {
  const std::string text = Text(static_cast<std::size_t>(state.range(0)));
  const bool ignoreCase = state.range(1) != 0;
  if (kestrin::BufferContains(text.data(), text.size(), kPattern, ignoreCase)) state.SkipWithError("found");
  for (auto _ : state)
    benchmark::DoNotOptimize(kestrin::BufferContains(text.data(), text.size(), kPattern, ignoreCase));
  SetBytes(state, text.size());
}

void BM_Kernel(benchmark::State& state) {
  const std::string text = Text(std::size_t{1} << 20);
  const auto kernel = static_cast<SearchKernel>(state.range(0));
  if (!kestrin::KernelAvailable(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  const SubstringSearcher searcher(kPattern, state.range(1) != 0, kernel);
  for (auto _ : state) benchmark::DoNotOptimize(searcher.Find(text.data(), text.size()));
  SetBytes(state, text.size());
}

// 999 times 'a' then 'b' over 1 MiB of 'a': quadratic for a plain scan.
void BM_Pathological(benchmark::State& state) {
  const std::string text(std::size_t{1} << 20, 'a');
  const std::string pattern = std::string(999, 'a') + "b";
  const bool ignoreCase = state.range(0) != 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(kestrin::BufferContains(text.data(), text.size(), pattern, ignoreCase));
  SetBytes(state, text.size());
}

void BM_PathologicalMemmem(benchmark::State& state) {
  const std::string text(std::size_t{1} << 20, 'a');
  const std::string pattern = std::string(999, 'a') + "b";
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(text.data(), text.size(), pattern.data(), pattern.size()));
  SetBytes(state, text.size());
}

// The same pattern where the data has a 'b' every 997 bytes: the rare byte is everywhere, so every
// candidate fails late, until the search switches to its linear fallback.
void BM_PathologicalNearMisses(benchmark::State& state) {
  std::string text(std::size_t{1} << 20, 'a');
  for (std::size_t i = 998; i < text.size(); i += 997) text[i] = 'b';
  const std::string pattern = std::string(999, 'a') + "b";
  const bool ignoreCase = state.range(0) != 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(kestrin::BufferContains(text.data(), text.size(), pattern, ignoreCase));
  SetBytes(state, text.size());
}

// 2,000 names for the reference report's search: shaped as resource files are named (ui_hero_btn_07),
// none of them in the text; or cut out of the text itself, 5 to 16 bytes long, so that the text is made
// of them.
std::vector<std::string> Names(bool fromText, const std::string& text) {
  static const char* const words[] = {"ui", "btn", "icon", "bg", "effect", "sound", "map", "tile",
                                      "hero", "skill", "item", "npc", "boss", "fx", "anim"};
  std::vector<std::string> names;
  std::uint64_t state = 99;
  for (std::size_t i = 0; i < 2000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    if (fromText) {
      names.push_back(text.substr((state >> 33) % (text.size() - 16), 5 + (state >> 20) % 12));
    } else {
      names.push_back(std::string(words[i % 15]) + "_" + words[i / 15 % 15] + "_" + words[i / 225 % 15] + "_" +
                      std::to_string(10 + i % 90));
    }
  }
  return names;
}

// Files of 16 KiB, each a stream of its own, through 2,000 names: the prefilter (where the names are
// long enough, at every few positions), the automaton alone, or the choice the report makes.
void BM_MultiSearch(benchmark::State& state) {
  const std::string text = Text(std::size_t{4} << 20);
  const std::vector<std::string> names = Names(state.range(0) != 0, text);
  const auto scan = static_cast<kestrin::MultiSearchScan>(state.range(1));
  const kestrin::MultiSearcher searcher(names, false, kestrin::MultiSearcher::kDenseBudget, scan);
  kestrin::MultiSearchStream stream(searcher);
  constexpr std::size_t kFile = 16 << 10;
  for (auto _ : state) {
    std::size_t found = 0;
    for (std::size_t at = 0; at < text.size(); at += kFile) {
      stream.Begin();
      stream.Feed(text.data() + at, kFile);
      found += stream.Found().size();
    }
    benchmark::DoNotOptimize(found);
  }
  SetBytes(state, text.size());
}

}  // namespace

BENCHMARK(BM_Memchr)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_Memmem)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_BufferContains)
    ->ArgNames({"bytes", "nocase"})
    ->ArgsProduct({{64 << 10, 1 << 20, 16 << 20}, {0, 1}});
BENCHMARK(BM_Kernel)
    ->ArgNames({"kernel", "nocase"})
    ->ArgsProduct({{static_cast<int>(SearchKernel::Scalar), static_cast<int>(SearchKernel::Sse2),
                    static_cast<int>(SearchKernel::Avx2), static_cast<int>(SearchKernel::Avx512)},
                   {0, 1}});
BENCHMARK(BM_Pathological)->ArgName("nocase")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PathologicalMemmem)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PathologicalNearMisses)->ArgName("nocase")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_MultiSearch)
    ->ArgNames({"names_from_text", "scan"})
    ->ArgsProduct({{0, 1},
                   {static_cast<int>(kestrin::MultiSearchScan::Auto), static_cast<int>(kestrin::MultiSearchScan::Automaton),
                    static_cast<int>(kestrin::MultiSearchScan::Prefilter)}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
