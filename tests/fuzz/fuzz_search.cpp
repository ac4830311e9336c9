// Fuzz target: the extension and content search against the plain reference (differential), in both
// case modes, over buffers, over files read in chunks (with short reads and the data placed across
// chunk boundaries), and the filtering of a small file list, with the progress it reports.
// Input: flag byte, layout byte, pattern, 0, path filter, 0, extension filter, 0, data (the rest).

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "search/search.h"
#include "search/substring_search.h"
#include "support/faulty_fs.h"
#include "support/memory_fs.h"

namespace kestrin::fuzz {
namespace {

using testing::FaultyFileSystem;
using testing::FsOp;
using testing::MemoryFileSystem;

std::string Detail(std::string_view pattern, std::string_view data, bool ignoreCase) {
  return std::string(ignoreCase ? "nocase" : "exact") + " pattern=\"" + Printable(pattern) + "\" data=\"" +
         Printable(data.substr(0, 256)) + (data.size() > 256 ? "...\"" : "\"") + " size=" +
         std::to_string(data.size());
}

void CheckBuffer(std::string_view data, std::string_view pattern) {
  for (const bool ignoreCase : {false, true}) {
    const bool want = reference::PlainContains(data, pattern, ignoreCase);
    // Every prefilter this processor runs, and the linear fallback, find the very first match.
    const long long first = reference::PlainFind(data, pattern, ignoreCase);
    for (const SearchKernel kernel :
         {SearchKernel::Scalar, SearchKernel::Sse2, SearchKernel::Avx2, SearchKernel::Avx512}) {
      if (!KernelAvailable(kernel)) continue;
      const std::size_t at = SubstringSearcher(pattern, ignoreCase, kernel).Find(data.data(), data.size());
      FUZZ_CHECK(first < 0 ? at == SubstringSearcher::npos : at == static_cast<std::size_t>(first),
                 "kernel " + std::to_string(static_cast<int>(kernel)) + " found " + std::to_string(at) +
                     ", first match at " + std::to_string(first) + " " + Detail(pattern, data, ignoreCase));
    }
    const std::size_t twoWay = TwoWayFind(data.data(), data.size(), pattern, ignoreCase);
    FUZZ_CHECK(first < 0 ? twoWay == SubstringSearcher::npos : twoWay == static_cast<std::size_t>(first),
               "two-way search found " + std::to_string(twoWay) + ", first match at " + std::to_string(first) +
                   " " + Detail(pattern, data, ignoreCase));
    FUZZ_CHECK(BufferContains(data.data(), data.size(), pattern, ignoreCase) == want,
               "BufferContains " + Detail(pattern, data, ignoreCase));
    // The same question about a copy at another alignment.
    std::string shifted(1 + data.size() % 31, '\xFF');
    shifted += data;
    FUZZ_CHECK(BufferContains(shifted.data() + shifted.size() - data.size(), data.size(), pattern, ignoreCase) == want,
               "BufferContains (shifted) " + Detail(pattern, data, ignoreCase));
  }
}

void CheckExtension(std::string_view path) {
  const std::string pathZ(path);
  const char* extension = ExtensionOf(pathZ.c_str());
  const long long want = reference::ExtensionOffset(path);
  if (want < 0) {
    FUZZ_CHECK(extension == nullptr, "ExtensionOf path=\"" + Printable(path) + "\"");
  } else {
    FUZZ_CHECK(extension == pathZ.c_str() + want, "ExtensionOf path=\"" + Printable(path) + "\"");
  }
  FUZZ_CHECK(ExtensionOf(nullptr) == nullptr, "ExtensionOf(null)");
}

// A byte that occurs in the pattern in neither case: padding made of it cannot take part in a match.
char Filler(std::string_view pattern) {
  for (int b = 0x01; b < 0x100; ++b) {
    const bool letter = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
    if (!letter && pattern.find(static_cast<char>(b)) == std::string_view::npos) return static_cast<char>(b);
  }
  return '\0';  // unreachable for patterns without a zero byte
}

// The content of one file: the data alone, or the data placed across a chunk boundary of a large file.
std::string FileContent(std::string_view data, std::string_view pattern, std::uint8_t layout) {
  static constexpr std::size_t kBoundaries[4] = {0, 64 * 1024, 128 * 1024, 256 * 1024};
  const std::size_t boundary = kBoundaries[layout & 3];
  if (boundary == 0 || pattern.empty()) return std::string(data);
  const std::size_t before = std::min<std::size_t>(data.size(), (layout >> 5) * (data.size() / 7 + 1));
  std::string content(boundary - before, Filler(pattern));
  content += data;
  content.append(100 + (layout >> 5), Filler(pattern));
  return content;
}

// Reads that deliver fewer bytes than asked for: tiny ones over small files, and ones that end between
// chunk boundaries over the padded files (byte-sized reads of 256 KiB would only slow the fuzzing down).
std::size_t ShortReadSize(std::uint8_t layout) {
  static constexpr std::size_t kSizes[8] = {0, 1, 2, 3, 7, 4096, 65535, 100000};
  const std::size_t size = kSizes[(layout >> 2) & 7];
  return (layout & 3) != 0 && size != 0 && size < 4096 ? 4093 * size : size;
}

void CheckFile(std::string_view data, std::string_view pattern, std::uint8_t layout) {
  MemoryFileSystem memory(PathStyle::Posix());
  memory.AddFile("/in/f.bin", FileContent(data, pattern, layout));
  FaultyFileSystem faulty(memory);
  if (const std::size_t bytes = ShortReadSize(layout)) faulty.ShortReads("f.bin", bytes);
  const CommandEnv env{faulty};
  for (const bool ignoreCase : {false, true}) {
    const bool want = !data.empty() && reference::PlainContains(data, pattern, ignoreCase);
    FUZZ_CHECK(FileContains(env, "/in/f.bin", pattern, ignoreCase) == want,
               "FileContains layout=" + std::to_string(layout) + " " + Detail(pattern, data, ignoreCase));
    FUZZ_CHECK(memory.OpenHandles() == 0, "FileContains left a file open");
  }
  FUZZ_CHECK(!FileContains(env, "/in/missing.bin", pattern, false), "FileContains of a missing file");
}

// A small list over the data: the filtering must equal a naive filter, read only files whose path and
// extension passed, and report progress in order.
void CheckFilter(std::string_view data, std::string_view pattern, std::string_view pathFilter,
                 std::string_view extFilter, std::uint8_t flags) {
  MemoryFileSystem memory(PathStyle::Posix());
  memory.AddFile("/in/a.txt", data).AddFile("/in/B.TXT", pattern).AddFile("/in/empty.txt", "");
  memory.AddFile(std::string("/in/") + std::string(pathFilter), data);  // a name the filters talk about
  memory.AddOther("/in/pipe.txt");
  FaultyFileSystem faulty(memory);

  FileList files;
  const std::vector<std::string> paths = {"/in/a.txt", "/in/B.TXT", "/in/empty.txt",
                                          std::string("/in/") + std::string(pathFilter), "/in/pipe.txt",
                                          "/in/missing.txt"};
  for (const auto& p : paths) files.push_back(p, p == "/in/pipe.txt" ? EntryKind::Other : EntryKind::File);

  SearchFilters filters;
  filters.ignoreCase = flags & 1;
  if (flags & 0x08) filters.path = std::string(pathFilter);
  if (flags & 0x10) filters.extension = std::string(extFilter);
  if (flags & 0x20) filters.content = std::string(pattern);

  std::vector<std::size_t> expected;
  std::size_t cheapPasses = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string_view p = files[i];
    if (filters.path && !reference::PlainContains(p, *filters.path, filters.ignoreCase)) continue;
    if (filters.extension) {
      const long long at = reference::ExtensionOffset(p);
      if (at < 0 || p.substr(static_cast<std::size_t>(at)) != *filters.extension) continue;
    }
    ++cheapPasses;
    if (filters.content) {
      const auto content = memory.Content(p);
      if (files.kind(i) != EntryKind::File || !content || content->empty() ||
          !reference::PlainContains(*content, *filters.content, filters.ignoreCase)) {
        continue;
      }
    }
    expected.push_back(i);
  }

  struct Events : CommandSink {
    std::vector<std::string> list;
    void Progress(std::size_t i) override { list.push_back("pos" + std::to_string(i)); }
    void Outcome(const FileOutcome& o) override {
      if (o.kind == FileOutcome::Kind::Matched) list.push_back("pass" + std::to_string(o.index));
    }
  } sink;
  const FileList results = FilterFiles(CommandEnv{faulty, nullptr, sink}, files, filters);
  const std::vector<std::string>& events = sink.list;

  const auto detail = [&] { return "filters path=" + (filters.path ? "\"" + Printable(*filters.path) + "\"" : "-") +
                             " ext=" + (filters.extension ? "\"" + Printable(*filters.extension) + "\"" : "-") +
                             " " + Detail(pattern, data, filters.ignoreCase); };
  FUZZ_CHECK(results.size() == expected.size(), "FilterFiles count " + detail());
  for (std::size_t r = 0; r < expected.size(); ++r) {
    FUZZ_CHECK(results[r] == files[expected[r]], "FilterFiles entry " + detail());
  }
  std::vector<std::string> wantEvents;
  std::size_t next = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const bool passes = next < expected.size() && expected[next] == i;
    if (passes) ++next;
    wantEvents.push_back("pos" + std::to_string(i));
    if (passes) wantEvents.push_back("pass" + std::to_string(i));
  }
  FUZZ_CHECK(events == wantEvents, "FilterFiles progress " + detail());
  FUZZ_CHECK(faulty.Calls(FsOp::OpenForRead) <= static_cast<int>(filters.content ? cheapPasses : 0),
             "FilterFiles opened a file it did not need " + detail());
  FUZZ_CHECK(memory.OpenHandles() == 0, "FilterFiles left a file open " + detail());
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(bytes, size);
  const std::uint8_t flags = input.Flags();
  const std::uint8_t layout = input.Flags();
  const std::string_view pattern = input.Field();
  const std::string_view pathFilter = input.Field();
  const std::string_view extFilter = input.Field();
  const std::string_view data = input.Rest();

  CheckBuffer(data, pattern);
  CheckExtension(pattern);
  CheckExtension(pathFilter);
  // A pattern cut from the data, its letters flipped, so that matches are the rule rather than rare.
  if (!data.empty()) {
    const std::size_t from = layout % data.size();
    const std::string_view cut = data.substr(from, 1 + pattern.size() % (data.size() - from));
    const std::string inner = (flags & 0x40) ? FlipCase(cut) : std::string(cut);
    if (inner.find('\0') == std::string::npos) CheckBuffer(data, inner);
  }
  if (flags & 0x02) CheckFile(data, pattern, layout);
  if ((flags & 0x04) && pathFilter.find('/') == std::string_view::npos && !pathFilter.empty() &&
      pathFilter != "." && pathFilter != "..") {
    CheckFilter(data, pattern, pathFilter, extFilter, flags);
  }
  return 0;
}
