// Fuzz target: the copy mapping with arbitrary output folders and relative paths, in the three path
// styles, against the plain reference; and the output folder as the copy command prepares it.
// Input: flag byte (style; bit 0x40: normalise the output folder first), output folder, 0, relative path.

#include <string>

#include "fileops/copy.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"

namespace kestrin::fuzz {
namespace {

// The longest text the mapping may put between the kept part of the output folder and the relative
// path: a separator, "vorn_publicres" and a separator.
constexpr std::size_t kLongestInsert = 16;

// Whether target ends with the relative path after its leading dots and separators, a slash of the
// relative path standing for a backslash of the target on Windows.
bool EndsWithRelative(std::string_view target, std::string_view relative, const PathStyle& style) {
  std::size_t skip = 0;
  while (skip < relative.size() &&
         (relative[skip] == '.' || style.IsSeparator(static_cast<unsigned char>(relative[skip])))) {
    ++skip;
  }
  const std::string_view tail = relative.substr(skip);
  if (target.size() < tail.size()) return false;
  const std::string_view end = target.substr(target.size() - tail.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (end[i] != tail[i] && !(style.windows && tail[i] == '/' && end[i] == '\\')) return false;
  }
  return true;
}

void CheckOutputFolder(std::string_view box, const PathStyle& style) {
  const std::string folder = OutputFolderFromText(box, style);
  std::string want = reference::NormalizeFolderPath(box, style);
  if (!want.empty()) {
    const auto starts = reference::CharStarts(want, style);
    if (!reference::SeparatorAt(want, starts, want.size() - 1, style)) want += style.Separator();
  }
  FUZZ_CHECK(folder == want, "OutputFolderFromText gave \"" + Printable(folder) + "\" for box=\"" + Printable(box) + "\"");
}

void Check(std::string_view output, std::string_view relative, const PathStyle& style) {
  const auto detail = [&] { return StyleName(style) +
                             " output=\"" + Printable(output) + "\" relative=\"" + Printable(relative) + "\""; };
  const std::string target = MapCopyTarget(output, relative, style);
  const reference::MappedTarget expected = reference::MapCopyTarget(output, relative, style);

  FUZZ_CHECK(target.size() <= output.size() + kLongestInsert + relative.size(),
             "target too long: \"" + Printable(target) + "\" for " + detail());
  if (style.windows && relative.size() >= 2 && relative[1] == ':') {
    FUZZ_CHECK(target == relative, "drive-qualified relative path not kept: " + detail());
    return;
  }
  FUZZ_CHECK(EndsWithRelative(target, relative, style),
             "target does not end with the relative path: \"" + Printable(target) + "\" for " + detail());
  if (style.windows) {
    const auto starts = reference::CharStarts(target, style);
    for (std::size_t i = 0; i < target.size(); ++i) {
      FUZZ_CHECK(!starts[i] || target[i] != '/', "slash left in \"" + Printable(target) + "\" for " + detail());
    }
  }
  if (!expected.componentCutInsideCharacter) {
    FUZZ_CHECK(target == expected.target, "target \"" + Printable(target) + "\", expected \"" +
                                              Printable(expected.target) + "\" for " + detail());
  }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(data, size);
  const std::uint8_t flags = input.Flags();
  const kestrin::PathStyle style = StyleFromFlags(flags);
  const std::string_view box = input.Field();
  const std::string_view relative = input.Field();
  CheckOutputFolder(box, style);
  if (flags & 0x40) {
    const std::string folder = kestrin::OutputFolderFromText(box, style);
    Check(folder, relative, style);
  } else {
    Check(box, relative, style);
  }
  return 0;
}
