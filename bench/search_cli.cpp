// kestrin-search-bench: the walk and the search of Kestrin from the command line, for timing them against
// other tools on the same tree.
//
//   kestrin-search-bench [options] FOLDER
//     --content TEXT   keep files whose content contains TEXT
//     --path TEXT      keep files whose path contains TEXT
//     --ext TEXT       keep files whose extension is TEXT
//     -i               ASCII letters of the path and content filters match either case
//     --no-hidden      skip hidden files and folders (they are included by default, as grep -r does)
//     --top-only       do not descend into sub-folders
//     --stats          report times, counts and peak memory on standard error
//     --workers N      read and scan files on N threads (default 0: one per core)
//
// Prints the path of every file kept, one per line; with no filter, every file the walk found.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "platform/filesystem.h"
#include "search/search.h"
#include "search/walk.h"

namespace {

struct Options {
  std::string folder;
  kestrin::SearchFilters filters;
  bool recursive = true;
  bool includeHidden = true;
  bool stats = false;
  unsigned workers = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--content" || arg == "--path" || arg == "--ext") {
      const char* v = value();
      if (v == nullptr) return false;
      (arg == "--content" ? options.filters.content : arg == "--path" ? options.filters.path : options.filters.extension) = v;
    } else if (arg == "-i") {
      options.filters.ignoreCase = true;
    } else if (arg == "--no-hidden") {
      options.includeHidden = false;
    } else if (arg == "--top-only") {
      options.recursive = false;
    } else if (arg == "--workers") {
      const char* v = value();
      if (v == nullptr) return false;
      options.workers = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
    } else if (arg == "--stats") {
      options.stats = true;
    } else if (options.folder.empty() && !arg.starts_with("-")) {
      options.folder = arg;
    } else {
      return false;
    }
  }
  return !options.folder.empty();
}

// Standard output in pipe-sized blocks, so that printing is not what is measured.
class LineWriter {
 public:
  ~LineWriter() { Flush(); }
  void Line(std::string_view text) {
    if (used_ + text.size() + 1 > kSize) Flush();
    if (text.size() + 1 > kSize) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fputc('\n', stdout);
      return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
    buffer_[used_++] = '\n';
  }
  void Flush() {
    std::fwrite(buffer_.get(), 1, used_, stdout);
    std::fflush(stdout);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kSize = std::size_t{64} << 10;
  std::unique_ptr<char[]> buffer_{new char[kSize]};
  std::size_t used_ = 0;
};

// The peak resident memory of this process in KiB, as Linux reports it; 0 where it does not.
long PeakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("VmHWM:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: kestrin-search-bench [--content TEXT] [--path TEXT] [--ext TEXT] [-i] [--no-hidden] "
                 "[--top-only] [--stats] [--workers N] FOLDER\n");
    return 2;
  }
  const char separator = kestrin::NativePathStyle().Separator();
  if (options.folder.back() != separator) options.folder += separator;

  const auto start = std::chrono::steady_clock::now();
  kestrin::FileList files;
  kestrin::CollectFiles(kestrin::CommandEnv{kestrin::Fs()}, options.folder, files, options.recursive,
                        options.includeHidden);
  const auto walked = std::chrono::steady_clock::now();

  LineWriter out;
  auto print = [&files, &out](std::size_t i) { out.Line(files[i]); };
  // Each result is printed as soon as it is found, as the dialog appends it to its list.
  struct Printer : kestrin::CommandSink {
    decltype(print)& line;
    explicit Printer(decltype(print)& l) : line(l) {}
    void Outcome(const kestrin::FileOutcome& outcome) override {
      if (outcome.kind == kestrin::FileOutcome::Kind::Matched) line(outcome.index);
    }
  } printer(print);
  std::size_t kept = files.size();
  if (options.filters.AllAbsent()) {
    // The result is the walk's list itself: print it rather than a copy.
    for (std::size_t i = 0; i < files.size(); ++i) print(i);
  } else {
    kept = kestrin::FilterFiles(kestrin::CommandEnv{kestrin::Fs(), nullptr, printer}, files, options.filters,
                                options.workers)
               .size();
  }
  out.Flush();
  const auto filtered = std::chrono::steady_clock::now();

  if (options.stats) {
    std::fprintf(stderr, "walk %.1f ms, filter and print %.1f ms, %zu files, %zu kept, peak memory %ld KiB\n",
                 Milliseconds(walked - start), Milliseconds(filtered - walked), files.size(), kept,
                 PeakMemoryKiB());
  }
  return 0;
}
