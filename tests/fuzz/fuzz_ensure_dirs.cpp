// Fuzz target: folder creation over the in-memory file system only (fuzzed absolute paths never reach
// the disk), against the plain reference run on an identical second tree: the same result, the same
// folders created in the same order, the same tree afterwards; and, independently of the reference,
// folders created only below the anchor and shallowest first, never the file name, never past the limit.
// Input: flag byte (style), path, 0, existing entries separated by zero bytes (an entry ending in '*' is
// a file, any other a folder).

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "primitives/fs_query.h"
#include "support/memory_fs.h"

namespace kestrin::fuzz {
namespace {

using testing::MemoryFileSystem;

void Populate(MemoryFileSystem& memory, const std::vector<std::string_view>& entries) {
  for (std::string_view entry : entries) {
    if (entry.empty()) continue;
    if (entry.back() == '*') {
      entry.remove_suffix(1);
      if (!entry.empty() && !memory.Exists(entry)) memory.AddFile(entry, "x");
    } else if (!memory.Exists(entry)) {
      memory.AddFolder(entry);
    }
  }
}

std::string Listed(const std::vector<std::string>& folders) {
  std::string out = "[";
  for (const auto& f : folders) out += (out.size() > 1 ? ", \"" : "\"") + Printable(f) + "\"";
  return out + "]";
}

void Check(std::string_view path, const PathStyle& style, const std::vector<std::string_view>& entries) {
  const auto detail = [&] { return StyleName(style) +
                             " path=\"" + Printable(path) + "\""; };
  MemoryFileSystem expectedTree(style);
  MemoryFileSystem actualTree(style);
  Populate(expectedTree, entries);
  Populate(actualTree, entries);
  const bool existedBefore = actualTree.Lookup(std::string(path)).found;

  const bool want = reference::EnsureDirectories(
      path, style, [&](const std::string& p) { return expectedTree.Lookup(p).found; },
      [&](const std::string& p) { return expectedTree.Lookup(p).directory; },
      [&](const std::string& p) { return expectedTree.MakeFolder(p).ok; });

  bool got = false;
  got = EnsureDirectories(actualTree, path, style);
  const std::vector<std::string>& calls = actualTree.MakeFolderCalls();

  FUZZ_CHECK(got == want, "result " + std::to_string(got) + " for " + detail());
  FUZZ_CHECK(calls == expectedTree.MakeFolderCalls(), "folders created: " + Listed(calls) + ", expected " +
                                                          Listed(expectedTree.MakeFolderCalls()) + " for " + detail());
  FUZZ_CHECK(actualTree.Paths() == expectedTree.Paths(), "tree afterwards differs for " + detail());

  // Properties that hold whatever the reference says.
  if (existedBefore || path.size() >= style.PathLimit()) {
    FUZZ_CHECK(calls.empty(), "created folders for an existing or over-long path " + detail());
    FUZZ_CHECK(got == existedBefore, "result for an existing or over-long path " + detail());
  }
  // Each folder is a leading part of the path that ends just before a separator, its separators possibly
  // written as the style's own, and never the whole path: the name after the last separator is a file's.
  // Shallowest first, each at most once: every folder extends the one created before it, so only the new
  // part of each needs comparing with the path.
  const auto starts = reference::CharStarts(path, style);
  for (std::size_t c = 0; c < calls.size(); ++c) {
    const std::string& folder = calls[c];
    const auto failure = [&] { return "folder \"" + Printable(folder) + "\" for " + detail(); };
    FUZZ_CHECK(folder.size() < path.size(), "created the file name itself: " + failure());
    FUZZ_CHECK(reference::SeparatorAt(path, starts, folder.size(), style),
               "created a folder that does not end before a separator: " + failure());
    std::size_t from = 0;
    if (c > 0) {
      const std::string& before = calls[c - 1];
      FUZZ_CHECK(folder.size() > before.size() && folder.compare(0, before.size(), before) == 0,
                 "folders not created shallowest first: \"" + Printable(before) + "\" then " + failure());
      from = before.size();
    }
    for (std::size_t i = from; i < folder.size(); ++i) {
      const bool same = folder[i] == path[i] ||
                        (folder[i] == style.Separator() && reference::SeparatorAt(path, starts, i, style));
      FUZZ_CHECK(same, "created a folder that is not part of the path: " + failure());
    }
  }
  // Below the anchor: the first folder created has an existing parent, or its parent is a drive or root
  // part the path itself names.
  if (!calls.empty()) {
    const std::string parent = reference::DirectoryPart(calls.front(), style);
    if (parent.size() > 1) {
      const std::string parentFolder = parent.substr(0, parent.size() - 1);
      const bool parentExisted = expectedTree.Lookup(parentFolder).directory;
      const bool drive = style.windows && parentFolder.find(':') != std::string::npos;
      FUZZ_CHECK(parentExisted || drive, "first folder created above the anchor: " + Printable(calls.front()) +
                                             " " + detail());
    }
  }
  if (got) {
    const std::string folder = reference::DirectoryPart(path, style);
    if (folder.size() > 1 && folder.size() < path.size()) {
      const std::string folderPath = folder.substr(0, folder.size() - 1);
      // On Windows the walk ends at the last colon it meets, taken for a drive: what lies between it and
      // the next separator is never looked at or created (a drive-relative "C:name\file" gives true with
      // nothing made), so only paths whose one colon is a drive's followed by a separator are checked.
      const std::size_t colon = path.rfind(':');
      if (!style.windows || colon == std::string_view::npos ||
          (colon == 1 && folderPath.size() > 2 && style.IsSeparator(static_cast<unsigned char>(path[2])))) {
        FUZZ_CHECK(actualTree.Lookup(folderPath).directory, "true, but the folder is missing: " + detail());
      }
    }
  }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrin::fuzz;
  FuzzInput input(data, size);
  const std::uint8_t flags = input.Flags();
  const kestrin::PathStyle style = StyleFromFlags(flags);
  std::string path(input.Field());
  std::vector<std::string_view> entries;
  while (!input.empty() && entries.size() < 16) entries.push_back(input.Field());
  // Paths at the limit: a folder name and the fuzzed path's first bytes, repeated up to the style's limit
  // (the longest path it allows, minus one, up to two bytes past it), with its first half existing or not.
  std::string existingHalf;
  if ((flags & 0x88) == 0x88) {
    const std::size_t limit = style.PathLimit();
    // Components of some length keep the number of folders, and the fuzzing, within bounds.
    const std::string unit = std::string(1, style.Separator()) + std::string(32, 'd') + path.substr(0, 4);
    std::string longPath;
    while (longPath.size() + unit.size() < limit + 2) longPath += unit;
    path = longPath.substr(0, limit - 2 + (flags >> 5 & 3));  // limit - 2 .. limit + 1 bytes
    if (flags & 0x10) {
      existingHalf = kestrin::reference::DirectoryPart(path.substr(0, path.size() / 2), style);
      entries.push_back(existingHalf);
    }
  }
  Check(path, style, entries);
  return 0;
}
