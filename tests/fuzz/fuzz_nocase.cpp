// Fuzz target: the no-case substring operations against the plain reference.
// Input: flag byte, text, 0, pattern, 0, replacement.

#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "primitives/nocase.h"

namespace kestrin::fuzz {
namespace {

std::string Detail(std::string_view text, std::string_view pattern, std::string_view replacement) {
  return "text=\"" + Printable(text) + "\" pattern=\"" + Printable(pattern) + "\" replacement=\"" +
         Printable(replacement) + "\"";
}

void CheckNoCaseEqual(unsigned char a, unsigned char b) {
  FUZZ_CHECK(NoCaseEqual(a, b) == reference::NoCaseEqual(a, b),
             "bytes " + std::to_string(a) + " and " + std::to_string(b));
  FUZZ_CHECK(NoCaseEqual(a, b) == NoCaseEqual(b, a), "symmetry for " + std::to_string(a));
}

void Check(std::string_view text, std::string_view pattern, std::string_view replacement) {
  const auto detail = [&] { return Detail(text, pattern, replacement); };
  const long long expected = reference::FirstNoCase(text, pattern);

  // FindNoCase: a pointer into the text; null for an empty pattern.
  const std::string textZ(text);
  const std::string patternZ(pattern);
  const char* found = FindNoCase(textZ.c_str(), patternZ.c_str());
  if (pattern.empty() || expected < 0) {
    FUZZ_CHECK(found == nullptr, "FindNoCase " + detail());
  } else {
    FUZZ_CHECK(found == textZ.c_str() + expected, "FindNoCase " + detail());
  }
  FUZZ_CHECK(FindNoCase(textZ.c_str(), nullptr) == nullptr, "FindNoCase null pattern " + detail());

  // IndexOfNoCase: the same position, 0 for the empty pattern.
  FUZZ_CHECK(IndexOfNoCase(text, pattern) == expected, "IndexOfNoCase " + detail());

  // TruncateAtNoCase, into another string and in place; never longer than the source.
  std::string cut = "previous content";
  const bool cutFound = TruncateAtNoCase(cut, text, pattern);
  FUZZ_CHECK(cutFound == (expected >= 0), "TruncateAtNoCase result " + detail());
  FUZZ_CHECK(cut == (expected >= 0 ? text.substr(0, static_cast<std::size_t>(expected)) : text),
             "TruncateAtNoCase output " + detail());
  std::string inPlace(text);
  const bool inPlaceFound = TruncateAtNoCase(inPlace, inPlace, pattern);
  FUZZ_CHECK(inPlaceFound == cutFound && inPlace == cut, "TruncateAtNoCase in place " + detail());

  // ReplaceFirstNoCase: refuses texts over 263 bytes and an empty old string; otherwise the text with
  // exactly the first occurrence replaced, n - m + k bytes long.
  std::string replaced = "previous content";
  const bool didReplace = ReplaceFirstNoCase(replaced, text, pattern, replacement);
  if (text.size() > 263 || pattern.empty() || expected < 0) {
    FUZZ_CHECK(!didReplace && replaced.empty(), "ReplaceFirstNoCase refusal " + detail());
  } else {
    const auto at = static_cast<std::size_t>(expected);
    const std::string want =
        std::string(text.substr(0, at)) + std::string(replacement) + std::string(text.substr(at + pattern.size()));
    FUZZ_CHECK(didReplace && replaced == want, "ReplaceFirstNoCase output " + detail());
    FUZZ_CHECK(replaced.size() == text.size() - pattern.size() + replacement.size(),
               "ReplaceFirstNoCase length " + detail());
  }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(data, size);
  const std::uint8_t a = input.Flags();
  const std::string_view text = input.Field();
  const std::string_view pattern = input.Field();
  const std::string_view replacement = input.Field();
  CheckNoCaseEqual(a, static_cast<unsigned char>(a ^ 0x20));
  CheckNoCaseEqual(a, text.empty() ? 0 : static_cast<unsigned char>(text[0]));
  Check(text, pattern, replacement);
  // The pattern taken from inside the text, so that occurrences are common rather than rare.
  if (!text.empty()) {
    const std::size_t from = a % text.size();
    const std::size_t length = 1 + (pattern.size() % (text.size() - from));
    Check(text, FlipCase(text.substr(from, length)), replacement);
  }
  return 0;
}
