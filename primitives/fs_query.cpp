#include "primitives/fs_query.h"

#include <utility>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin {

bool IsDirectory(FileSystem& fs, const std::string& path) { return fs.Lookup(path).directory; }

bool PathExists(FileSystem& fs, const std::string& path) { return fs.Lookup(path).found; }

bool IsRegularFile(FileSystem& fs, const std::string& path, FsFailure* why) {
  const PathInfo info = fs.Lookup(path);
  if (!info.found) {
    if (why != nullptr) *why = info.failure;
    return false;
  }
  if (info.kind != EntryKind::File) {
    if (why != nullptr) *why = FsFailure{FailureReason::NotRegularFile, {}};
    return false;
  }
  return true;
}

bool EnsureDirectories(FileSystem& fs, std::string_view path, const PathStyle& style, FsFailure* why,
                       const std::function<FsStatus(const std::string&)>& beforeMaking) {
  const auto fail = [why](FsFailure failure) {
    if (why != nullptr) *why = std::move(failure);
    return false;
  };
  std::string work(path);
  PathInfo last = fs.Lookup(work);
  if (last.found) return true;
  const std::size_t n = path.size();
  if (n >= style.PathLimit()) return fail(FsFailure{FailureReason::PathTooLong, {}});

  // Separators (and, on Windows, drive colons) in the order they appear; the trail byte of a double-byte
  // character is neither.
  std::vector<std::size_t> marks;
  for (std::size_t i = 0; i < n;) {
    const std::size_t length = style.CharLength(path.data(), n, i);
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (length == 1 && (style.IsSeparator(c) || (style.windows && c == ':'))) marks.push_back(i);
    i += length;
  }

  // Walk back from the end to the anchor: the deepest existing folder before a separator, a drive colon
  // (Windows), or the root '/' (POSIX). Every separator passed on the way is a cut: the end of a folder
  // that may have to be made.
  std::vector<std::size_t> cuts;  // deepest first
  bool anchored = false;
  for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
    const std::size_t i = *it;
    if (path[i] == ':' && style.windows) {
      anchored = true;
      break;
    }
    cuts.push_back(i);
    if (!style.windows && i == 0) {
      anchored = true;  // the root
      break;
    }
    // An existing entry that is not a folder cannot hold the folders below it.
    last = fs.Lookup(work.substr(0, i));
    if (last.directory) {
      anchored = true;
      break;
    }
  }
  if (!anchored) return fail(last.found ? FsFailure{FailureReason::TargetExists, {}} : last.failure);

  // Make forward, shallowest first: each cut but the deepest-placed ends a folder below the anchor.
  for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
    work[*it] = style.Separator();
    const auto next = std::next(it);
    const std::size_t end = next == cuts.rend() ? n : *next;
    if (end == n) continue;
    const std::string folder = work.substr(0, end);
    if (beforeMaking) {
      if (FsStatus noted = beforeMaking(folder); !noted) return fail(std::move(noted.failure));
    }
    if (FsStatus made = fs.MakeFolder(folder); !made) return fail(std::move(made.failure));
  }
  return true;
}

}  // namespace kestrin
