// In-memory search speed: BufferContains in both case modes and on each vector kernel, next to the C
// library's memchr and memmem, and the patterns that make a plain scan quadratic.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

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

}  // namespace

BENCHMARK(BM_Memchr)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_Memmem)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_BufferContains)
    ->ArgNames({"bytes", "nocase"})
    ->ArgsProduct({{64 << 10, 1 << 20, 16 << 20}, {0, 1}});
BENCHMARK(BM_Kernel)
    ->ArgNames({"kernel", "nocase"})
    ->ArgsProduct({{static_cast<int>(SearchKernel::Scalar), static_cast<int>(SearchKernel::Sse2),
                    static_cast<int>(SearchKernel::Avx2)},
                   {0, 1}});
BENCHMARK(BM_Pathological)->ArgName("nocase")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PathologicalMemmem)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PathologicalNearMisses)->ArgName("nocase")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
