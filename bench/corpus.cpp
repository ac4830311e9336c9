// kestrin-bench-corpus: writes a deterministic tree of text files for the search benchmarks.
//
//   kestrin-bench-corpus OUT [--seed N] [--files N] [--large N]
//
// The same seed gives the same tree, byte for byte, on every machine: nested folders, many 1-20 KiB files
// of program-like text (identifiers, numbers, punctuation, lines of UTF-8 Chinese), a few 1-8 MiB files
// below OUT/packs/, and about one in fifty files and folders hidden (a name beginning with a dot). The
// pattern "QuartzFalcon" (in varying case) is planted in about one file in four hundred and nowhere else;
// "return" is common. OUT must not exist yet.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// SplitMix64: a tiny generator whose output is fixed by its seed alone, whatever the standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  std::size_t Between(std::size_t low, std::size_t high) { return low + Below(high - low + 1); }
  bool OneIn(std::size_t n) { return Below(n) == 0; }

 private:
  std::uint64_t state_;
};

const char* const kSyllables[] = {"ka", "re", "to", "mi", "sun", "lo", "ver", "tex", "dra", "pol", "qu", "in",
                                  "fo", "gra", "ne", "sha", "der", "el", "ob", "ject", "map", "tile", "ur", "an"};
const char* const kKeywords[] = {"return", "if", "else", "for", "while", "local", "function", "end", "int",
                                 "const", "void", "true", "false", "nil", "self", "static", "struct", "class"};
const char* const kPunctuation[] = {" = ", "(", ")", ", ", "; ", ".", " + ", " - ", " * ", " == ", "[", "]",
                                    "{", "}", ": ", "\"", "->", " // ", "::", " < ", " > "};

std::string Word(Random& random) {
  std::string word;
  const std::size_t parts = random.Between(1, 4);
  for (std::size_t i = 0; i < parts; ++i) word += kSyllables[random.Below(std::size(kSyllables))];
  if (random.OneIn(4)) word[0] = static_cast<char>(word[0] - 32);  // CamelCase now and then
  if (random.OneIn(10)) word += std::to_string(random.Below(1000));
  return word;
}

// Appends one UTF-8 ideograph of the common range.
void AppendIdeograph(std::string& out, Random& random) {
  const unsigned cp = 0x4E00 + static_cast<unsigned>(random.Below(0x1000));
  out += static_cast<char>(0xE0 | (cp >> 12));
  out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

// A pool of text lines that the files are cut from, so that 500 MB are written in seconds.
std::string MakePool(Random& random, std::size_t size) {
  std::string pool;
  pool.reserve(size + 256);
  while (pool.size() < size) {
    const std::size_t indent = random.Below(4);
    pool.append(indent * 2, ' ');
    if (random.OneIn(12)) {
      pool += "-- ";
      for (std::size_t i = random.Between(4, 20); i > 0; --i) AppendIdeograph(pool, random);
    } else {
      for (std::size_t i = random.Between(2, 10); i > 0; --i) {
        if (random.OneIn(6)) {
          pool += kKeywords[random.Below(std::size(kKeywords))];
          pool += ' ';
        } else if (random.OneIn(5)) {
          pool += std::to_string(random.Below(100000));
        } else {
          pool += Word(random);
        }
        pool += kPunctuation[random.Below(std::size(kPunctuation))];
      }
    }
    pool += '\n';
  }
  return pool;
}

// Case variants of the rare pattern; the benchmark searches "QuartzFalcon" exactly and "quartzfalcon"
// without case, so the two modes find different sets.
const char* const kRare[] = {"QuartzFalcon", "QuartzFalcon", "quartzfalcon", "QUARTZFALCON"};

struct Options {
  std::string out;
  std::uint64_t seed = 1;
  std::size_t files = 20000;
  std::size_t large = 64;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--seed" || arg == "--files" || arg == "--large") {
      const char* v = value();
      if (v == nullptr) return false;
      const auto n = std::strtoull(v, nullptr, 10);
      if (arg == "--seed") options.seed = n;
      if (arg == "--files") options.files = n;
      if (arg == "--large") options.large = n;
    } else if (options.out.empty() && !arg.starts_with("--")) {
      options.out = arg;
    } else {
      return false;
    }
  }
  return !options.out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: kestrin-bench-corpus OUT [--seed N] [--files N] [--large N]\n");
    return 2;
  }
  const fs::path out(options.out);
  std::error_code error;
  if (fs::exists(out, error) || !fs::create_directories(out, error)) {
    std::fprintf(stderr, "kestrin-bench-corpus: %s exists or cannot be made\n", options.out.c_str());
    return 1;
  }

  Random random(options.seed);
  const std::string pool = MakePool(random, std::size_t{24} << 20);

  // Folders: each new one below a random earlier one, at most six deep; about one in fifty hidden.
  std::vector<fs::path> folders{out};
  std::vector<int> depth{0};
  const std::size_t folderCount = options.files / 20 + 1;
  while (folders.size() < folderCount) {
    const std::size_t parent = random.Below(folders.size());
    if (depth[parent] >= 6) continue;
    std::string name = Word(random) + "_" + std::to_string(folders.size());
    if (random.OneIn(50)) name = "." + name;
    folders.push_back(folders[parent] / name);
    depth.push_back(depth[parent] + 1);
  }
  for (const fs::path& folder : folders) fs::create_directories(folder);
  const fs::path packs = out / "packs";
  fs::create_directories(packs);

  const char* const extensions[] = {"txt", "lua", "cpp", "h", "json", "xml", "cfg", "md", "csv", "ini"};
  std::uint64_t totalBytes = 0;
  std::size_t planted = 0;
  for (std::size_t i = 0; i < options.files; ++i) {
    const bool large = i < options.large;
    const std::size_t size = large ? random.Between(1u << 20, 8u << 20) : random.Between(1u << 10, 20u << 10);
    std::string name = Word(random) + "_" + std::to_string(i) + "." + extensions[random.Below(std::size(extensions))];
    if (random.OneIn(50)) name = "." + name;
    const fs::path path = large ? packs / name : folders[random.Below(folders.size())] / name;

    std::string content;
    content.reserve(size);
    while (content.size() < size) {
      std::size_t start = random.Below(pool.size() - 4096);
      while (start > 0 && pool[start - 1] != '\n') --start;  // whole lines only
      content.append(pool, start, std::min(size - content.size(), pool.size() - start));
    }
    if (random.OneIn(400) || (large && random.OneIn(8))) {
      const std::string rare = kRare[random.Below(std::size(kRare))];
      content.replace(random.Below(size - rare.size()), rare.size(), rare);
      ++planted;
    }
    std::ofstream file(path, std::ios::binary);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file) {
      std::fprintf(stderr, "kestrin-bench-corpus: cannot write %s\n", path.string().c_str());
      return 1;
    }
    totalBytes += content.size();
  }
  std::printf("%zu files, %zu folders, %.1f MB, rare pattern planted in %zu files\n", options.files,
              folders.size() + 1, static_cast<double>(totalBytes) / 1e6, planted);
  return 0;
}
