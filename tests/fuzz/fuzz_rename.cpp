// Fuzz target: renaming one file, on the in-memory file system, in the three path styles. Whatever the
// old and new strings, the file's content is never lost, the file never leaves its folder, a failed
// rename changes nothing, only a forced rename replaces another file (never the source), and the outcome
// is the one the plain rules give.
// Input: flag byte (style; 0x10 force; 0x20 a second entry; 0x40 it is another name of the file itself;
// 0x80 it is a folder), file name, 0, old string, 0, new string, 0, the second entry's name.

#include <string>

#include "fileops/rename.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "support/memory_fs.h"

namespace kestrin::fuzz {
namespace {

using testing::MemoryFileSystem;

// Names a Windows file system takes for one: equal but for the case of ASCII letters (a double-byte
// character compares whole).
bool SameNameOnWindows(std::string_view a, std::string_view b, const PathStyle& style) {
  if (a.size() != b.size()) return false;
  const auto starts = reference::CharStarts(a, style);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool single = starts[i] && (i + 1 >= a.size() || starts[i + 1]);
    if (single ? !reference::NoCaseEqual(static_cast<unsigned char>(a[i]), static_cast<unsigned char>(b[i]))
               : a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

// The new name the rules give, or nothing when the file is to be left alone.
std::optional<std::string> NewName(std::string_view name, std::string_view oldString, std::string_view newString,
                                   const PathStyle& style) {
  if (oldString.empty() || oldString.size() > kRenameTextLimit || newString.size() > kRenameTextLimit) return {};
  if (name.size() > 263) return {};
  const long long at = reference::FirstNoCase(name, oldString);
  if (at < 0) return {};
  const auto cut = static_cast<std::size_t>(at);
  std::string result = std::string(name.substr(0, cut)) + std::string(newString) +
                       std::string(name.substr(cut + oldString.size()));
  if (result.empty() || result.size() > kRenameTextLimit || result == "." || result == "..") return {};
  if (reference::LastSeparator(result, style) != std::string::npos) return {};
  return result;
}

// A relative path of plain names: no empty, "." or ".." component, and not ending with a separator.
bool PlainRelativePath(std::string_view path, const PathStyle& style) {
  const auto starts = reference::CharStarts(path, style);
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !reference::SeparatorAt(path, starts, i, style)) continue;
    const std::string_view part = path.substr(begin, i - begin);
    if (part.empty() || part == "." || part == "..") return false;
    begin = i + 1;
  }
  return true;
}

void Check(std::string_view name, std::string_view oldString, std::string_view newString, std::string_view other,
           std::uint8_t flags, const PathStyle& style) {
  const bool force = flags & 0x10;
  const std::string folder = style.windows ? "C:\\d\\" : "/d/";
  const std::string source = folder + std::string(name);
  MemoryFileSystem memory(style);
  memory.AddFolder(folder);
  if (!PlainRelativePath(name, style)) return;  // not the name of a file below the folder
  memory.AddFile(source, "SOURCE");
  if (!memory.Exists(source) || memory.IsFolder(source) || memory.Content(source) != "SOURCE") return;
  const std::string otherPath = folder + std::string(other);
  const bool withOther = (flags & 0x20) && PlainRelativePath(other, style) && !memory.Exists(otherPath) &&
                         reference::DirectoryPart(otherPath, style) == folder;
  if (withOther) {
    if (flags & 0x80) {
      memory.AddFolder(otherPath);
    } else if (flags & 0x40) {
      memory.AddAlias(otherPath, source);
    } else {
      memory.AddFile(otherPath, "OTHER");
    }
  }
  const std::vector<std::string> before = memory.Paths();

  // What the rules say should happen.
  bool expected = false;
  const std::string sourceName(reference::FileNamePart(source, style));
  const std::optional<std::string> newName = NewName(sourceName, oldString, newString, style);
  std::string target;
  if (newName) {
    target = reference::DirectoryPart(source, style) + *newName;
    if (target.size() < style.PathLimit() && target != source) {
      const PathInfo existing = memory.Lookup(target);
      if (!existing.found) {
        expected = true;
      } else if (style.windows && SameNameOnWindows(*newName, sourceName, style)) {
        expected = true;  // the same entry under another case: renamed in case
      } else if (memory.SameFile(source, target)) {
        expected = false;  // another name of the file itself: never replaced
      } else {
        expected = force && !existing.directory;
      }
    }
  }

  bool renamed = false;
  renamed = RenameOneFile(CommandEnv{memory}, source, oldString, newString, force, style);
  const auto detail = [&] {
    return StyleName(style) + (force ? " force" : "") + " name=\"" + Printable(name) + "\" old=\"" +
           Printable(oldString) + "\" new=\"" + Printable(newString) + "\" other=\"" +
           (withOther ? Printable(other) : std::string("-")) + "\"";
  };

  FUZZ_CHECK(renamed == expected, "renamed=" + std::to_string(renamed) + " for " + detail());
  if (!renamed) {
    FUZZ_CHECK(memory.Paths() == before, "a rename that failed changed the tree: " + detail());
    FUZZ_CHECK(memory.Content(source) == "SOURCE", "a rename that failed lost the source: " + detail());
    return;
  }
  // The content now lives under the new name, in the same folder; the old name is gone unless it is the
  // same entry spelled in another case.
  FUZZ_CHECK(memory.Content(target) == "SOURCE", "the new name does not hold the file: " + detail());
  FUZZ_CHECK(reference::DirectoryPart(target, style) == reference::DirectoryPart(source, style),
             "the file left its folder: " + detail());
  if (!(style.windows && SameNameOnWindows(*newName, sourceName, style))) {
    FUZZ_CHECK(!memory.Exists(source), "the old name still exists after a rename: " + detail());
  }
  // Nothing else changed but the entry that a forced rename replaced.
  const std::vector<std::string> after = memory.Paths();
  FUZZ_CHECK(after.size() == before.size() || after.size() + 1 == before.size(), "entries lost: " + detail());
  if (withOther && memory.Exists(otherPath) && !(flags & 0xC0) && !memory.SameFile(otherPath, target)) {
    FUZZ_CHECK(memory.Content(otherPath) == "OTHER", "the other file changed: " + detail());
  }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(data, size);
  const std::uint8_t flags = input.Flags();
  const std::string_view name = input.Field();
  const std::string_view oldString = input.Field();
  const std::string_view newString = input.Field();
  const std::string_view other = input.Field();
  Check(name, oldString, newString, other, flags, StyleFromFlags(flags));
  return 0;
}
