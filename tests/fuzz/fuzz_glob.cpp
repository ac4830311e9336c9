// Fuzz target: glob matching against the literal reading of the rules (POSIX), and in the Windows styles
// the properties their callers rely on: no crash, a glob of no letters, backslashes or bytes past ASCII
// means there what it means on POSIX, and the case of letters does not matter.
// Input: flag byte (style), glob, path.

#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "search/glob.h"

namespace kestrin::fuzz {
namespace {

bool Plain(std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\' || b >= 0x80 || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return false;
  }
  return true;
}

void Check(std::string_view glob, std::string_view path, const PathStyle& style) {
  const auto detail = [&] { return StyleName(style) + " glob=\"" + Printable(glob) + "\" path=\"" + Printable(path) + "\""; };
  const Glob compiled(glob, style);
  const bool matches = compiled.Matches(path);
  const bool orFolder = compiled.MatchesPathOrFolder(path);
  if (!style.windows) {
    FUZZ_CHECK(matches == reference::GlobMatches(glob, path, false), "Matches " + detail());
    FUZZ_CHECK(orFolder == reference::GlobMatches(glob, path, true), "MatchesPathOrFolder " + detail());
    return;
  }
  if (Plain(glob) && Plain(path)) {
    const Glob posix(glob, PathStyle::Posix());
    FUZZ_CHECK(matches == posix.Matches(path), "Windows differs from POSIX " + detail());
  }
  // Flipping the case of bytes would change double-byte characters, and of a set's ends its range.
  if (style.leadBytes != nullptr) return;
  if (glob.find('[') == std::string_view::npos) {
    FUZZ_CHECK(Glob(FlipCase(glob), style).Matches(path) == matches, "case of the glob counts " + detail());
  }
  FUZZ_CHECK(compiled.Matches(FlipCase(path)) == matches, "case of the path counts " + detail());
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(data, size);
  const std::uint8_t flags = input.Flags();
  const std::string_view glob = input.Field();
  const std::string_view path = input.Field();
  if (glob.size() > 64 || path.size() > 256) return 0;  // the reference is exponential in the glob's stars
  Check(glob, path, StyleFromFlags(flags));
  return 0;
}
