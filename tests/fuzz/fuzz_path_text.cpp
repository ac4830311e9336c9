// Fuzz target: the path text helpers in the three path styles (POSIX, Windows, Windows with the GBK
// lead-byte table) against the plain reference, plus the properties every caller relies on.
// Input: flag byte (style), path.

#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "primitives/path_text.h"

namespace kestrin::fuzz {
namespace {

void Check(std::string_view path, const PathStyle& style) {
  const auto detail = [&] { return StyleName(style) +
                             " path=\"" + Printable(path) + "\""; };

  // FileNamePart: a view into the path itself, the reference's name, never holding a separator.
  const std::string_view name = FileNamePart(path, style);
  if (path.empty()) {
    FUZZ_CHECK(name.empty(), "FileNamePart of empty " + detail());
  } else {
    FUZZ_CHECK(name.data() >= path.data() && name.data() + name.size() == path.data() + path.size(),
               "FileNamePart is not a tail view " + detail());
    FUZZ_CHECK(name == reference::FileNamePart(path, style), "FileNamePart " + detail());
  }

  // DirectoryPart: the head up to and including the last separator; with the name it gives the path.
  const std::string folder = DirectoryPart(path, style);
  FUZZ_CHECK(folder == reference::DirectoryPart(path, style), "DirectoryPart " + detail());
  FUZZ_CHECK(folder.size() <= path.size(), "DirectoryPart longer than its source " + detail());
  if (folder.size() != path.size()) {
    FUZZ_CHECK(folder + std::string(name) == path, "DirectoryPart + FileNamePart " + detail());
  }

  // CutAtFirstDot: the part before the first dot.
  std::string cut(path);
  CutAtFirstDot(cut);
  FUZZ_CHECK(cut == path.substr(0, path.find('.')), "CutAtFirstDot " + detail());

  // NormalizeFolderPath: the reference's text, never longer than the source, and settled: normalising
  // again changes nothing.
  const std::string normal = NormalizeFolderPath(path, style);
  FUZZ_CHECK(normal == reference::NormalizeFolderPath(path, style),
             "NormalizeFolderPath gave \"" + Printable(normal) + "\" for " + detail());
  FUZZ_CHECK(normal.size() <= path.size(), "NormalizeFolderPath longer than its source " + detail());
  FUZZ_CHECK(NormalizeFolderPath(normal, style) == normal, "NormalizeFolderPath not settled " + detail());

  // AsciiToLower: exactly the 26 capitals change.
  for (const char c : path.substr(0, 4)) {
    const auto b = static_cast<unsigned char>(c);
    const auto want = static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
    FUZZ_CHECK(AsciiToLower(c) == want, "AsciiToLower " + detail());
  }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(data, size);
  const std::uint8_t flags = input.Flags();
  const std::string_view path = input.Field();
  Check(path, StyleFromFlags(flags));
  // Every input is also worth trying in the other styles: the same bytes mean other things there.
  if (flags & 0x80) {
    for (std::uint8_t s = 0; s < 3; ++s) Check(path, StyleFromFlags(s));
  }
  return 0;
}
