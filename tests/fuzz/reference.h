#pragma once
// Plain reference versions of the core's text, path and search routines: the slowest, most literal
// reading of each rule, written without looking at the fast code. The fuzz targets and the long checks
// compare the core against them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_style.h"

namespace kestrin::reference {

inline bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsLower(unsigned char c) { return c >= 'a' && c <= 'z'; }

inline bool NoCaseEqual(unsigned char a, unsigned char b) {
  if (a == b) return true;
  if (IsUpper(a)) return b == a + 0x20;
  if (IsLower(a)) return b == a - 0x20;
  return false;
}

// Whether pattern occurs at position i of text, ASCII letters without regard to case.
inline bool OccursAt(std::string_view text, std::size_t i, std::string_view pattern) {
  if (i + pattern.size() > text.size()) return false;
  for (std::size_t j = 0; j < pattern.size(); ++j) {
    if (!NoCaseEqual(static_cast<unsigned char>(text[i + j]), static_cast<unsigned char>(pattern[j]))) {
      return false;
    }
  }
  return true;
}

// Index of the first no-case occurrence; -1 when none. An empty pattern occurs at 0.
inline long long FirstNoCase(std::string_view text, std::string_view pattern) {
  if (pattern.size() > text.size()) return -1;
  for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
    if (OccursAt(text, i, pattern)) return static_cast<long long>(i);
  }
  return -1;
}

// The content scan as first described: every start position, the pattern byte compared as it is and,
// in the no-case mode, once more with an ASCII letter's case flipped.
inline bool PlainContains(std::string_view data, std::string_view pattern, bool ignoreCase) {
  const std::size_t m = pattern.size();
  if (m == 0) return true;
  if (data.size() < m) return false;
  for (std::size_t i = 0; i + m <= data.size(); ++i) {
    std::size_t j = 0;
    for (; j < m; ++j) {
      const auto p = static_cast<unsigned char>(pattern[j]);
      const auto d = static_cast<unsigned char>(data[i + j]);
      if (p == d) continue;
      if (ignoreCase && (IsUpper(p) || IsLower(p)) && static_cast<unsigned char>(p ^ 0x20) == d) continue;
      break;
    }
    if (j == m) return true;
  }
  return false;
}

// Position of the first match of the plain content scan; -1 when there is none, 0 for an empty pattern.
inline long long PlainFind(std::string_view data, std::string_view pattern, bool ignoreCase) {
  const std::size_t m = pattern.size();
  for (std::size_t i = 0; i + m <= data.size(); ++i) {
    if (PlainContains(data.substr(i, m), pattern, ignoreCase)) return static_cast<long long>(i);
  }
  return -1;
}

// Offset just after the last dot of path; -1 when path is empty or holds no dot.
inline long long ExtensionOffset(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? -1 : static_cast<long long>(dot + 1);
}

// starts[i] is true when a character of the style's code page begins at byte i (a lead byte and the
// byte after it form one character).
inline std::vector<bool> CharStarts(std::string_view text, const PathStyle& style) {
  std::vector<bool> starts(text.size() + 1, false);
  std::size_t i = 0;
  while (i < text.size()) {
    starts[i] = true;
    const bool lead = style.IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    i += lead ? 2 : 1;
  }
  starts[text.size()] = true;
  return starts;
}

// Whether byte i of text is a separator standing on its own (not the trail byte of a character).
inline bool SeparatorAt(std::string_view text, const std::vector<bool>& starts, std::size_t i,
                        const PathStyle& style) {
  return i < text.size() && starts[i] && style.IsSeparator(static_cast<unsigned char>(text[i]));
}

inline std::size_t LastSeparator(std::string_view path, const PathStyle& style) {
  const auto starts = CharStarts(path, style);
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (SeparatorAt(path, starts, i, style)) last = i;
  }
  return last;
}

inline std::string_view FileNamePart(std::string_view path, const PathStyle& style) {
  const std::size_t last = LastSeparator(path, style);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

inline std::string DirectoryPart(std::string_view path, const PathStyle& style) {
  const std::size_t last = LastSeparator(path, style);
  return std::string(last == std::string_view::npos ? path : path.substr(0, last + 1));
}

inline std::string NormalizeFolderPath(std::string_view source, const PathStyle& style) {
  std::string out;
  bool lastWasSeparator = false;
  std::size_t i = 0;
  while (i < source.size()) {
    const std::size_t length = style.CharLength(source.data(), source.size(), i);
    const auto c = static_cast<unsigned char>(source[i]);
    if (length == 1 && style.IsSeparator(c)) {
      if (!lastWasSeparator) out += style.Separator();
      lastWasSeparator = true;
    } else {
      if (length == 1) {
        out += static_cast<char>(style.FoldsCase() && IsUpper(c) ? c + 0x20 : c);
      } else {
        out.append(source.substr(i, length));
      }
      lastWasSeparator = false;
    }
    i += length;
  }
  return out;
}

// Whether the no-case occurrence of pattern at position i of text starts at a character boundary.
inline long long FirstNoCaseAtBoundary(std::string_view text, std::string_view pattern, const PathStyle& style) {
  const auto starts = CharStarts(text, style);
  for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
    if (starts[i] && OccursAt(text, i, pattern)) return static_cast<long long>(i);
  }
  return -1;
}

// Outcome of the reference copy mapping, with a note of whether it depended on cutting the first folder
// name inside a double-byte character (where more than one reading is sound).
struct MappedTarget {
  std::string target;
  bool componentCutInsideCharacter = false;
};

inline MappedTarget MapCopyTarget(std::string_view output, std::string_view relative, const PathStyle& style) {
  MappedTarget result;
  // A drive-qualified relative path is the target as it stands.
  if (style.windows && relative.size() >= 2 && relative[1] == ':') {
    result.target = std::string(relative);
    return result;
  }
  // Leading dots and separators are dropped.
  std::size_t skip = 0;
  while (skip < relative.size() &&
         (relative[skip] == '.' || style.IsSeparator(static_cast<unsigned char>(relative[skip])))) {
    ++skip;
  }
  relative.remove_prefix(skip);

  // The first folder name, at most 63 bytes.
  const auto relStarts = CharStarts(relative, style);
  std::size_t componentEnd = 0;
  while (componentEnd < relative.size() && !SeparatorAt(relative, relStarts, componentEnd, style)) ++componentEnd;
  std::size_t componentLength = componentEnd < 63 ? componentEnd : 63;
  result.componentCutInsideCharacter = !relStarts[componentLength];
  const std::string_view component = relative.substr(0, componentLength);

  // The output folder up to and including its last separator.
  std::string target(output);
  const std::size_t last = LastSeparator(target, style);
  if (last != std::string::npos) target.resize(last + 1);

  // Re-root at the first folder of the target that bears the component's name.
  const auto starts = CharStarts(target, style);
  bool found = false;
  for (std::size_t k = 0; k < target.size(); ++k) {
    if (!starts[k]) continue;
    if (k != 0 && !SeparatorAt(target, starts, k - 1, style)) continue;
    if (!OccursAt(target, k, component)) continue;
    if (!SeparatorAt(target, starts, k + component.size(), style)) continue;
    target.resize(k);
    found = true;
    break;
  }

  if (!found) {
    const std::string sep(1, style.Separator());
    const auto equalsNoCase = [](std::string_view a, std::string_view b) {
      return a.size() == b.size() && OccursAt(a, 0, b);
    };
    if (equalsNoCase(component, "PlugApp")) {
      const long long at = FirstNoCaseAtBoundary(target, sep + "PublicRes" + sep, style);
      if (at >= 0) {
        target.resize(static_cast<std::size_t>(at));
        target += sep;
      }
    } else if (equalsNoCase(component, "PublicRes")) {
      const long long at = FirstNoCaseAtBoundary(target, sep + "PlugApp" + sep, style);
      if (at >= 0) {
        target.resize(static_cast<std::size_t>(at));
        target += FirstNoCaseAtBoundary(target, "动态资源", style) >= 0 ? sep + "vorn_publicres" + sep : sep;
      }
    }
  }

  target.append(relative);
  // Every slash becomes a backslash; a byte after a lead byte belongs to its character and stays.
  if (style.windows) {
    const auto finalStarts = CharStarts(target, style);
    for (std::size_t i = 0; i < target.size(); ++i) {
      if (finalStarts[i] && target[i] == '/') target[i] = '\\';
    }
  }
  result.target = std::move(target);
  return result;
}

// Folder creation as first described, over any existence test and folder maker: the walk back to an
// anchor (an existing folder, a drive colon on Windows, the root on POSIX), then the creation forward,
// shallowest first, with every cut separator written back as the style's separator. An existing file
// is no anchor: no folder can be made below it.
inline bool EnsureDirectories(std::string_view path, const PathStyle& style,
                              const std::function<bool(const std::string&)>& exists,
                              const std::function<bool(const std::string&)>& isFolder,
                              const std::function<bool(const std::string&)>& makeFolder) {
  if (exists(std::string(path))) return true;
  const std::size_t n = path.size();
  if (n >= style.PathLimit()) return false;
  const auto starts = CharStarts(path, style);
  std::string work(path);
  std::vector<bool> cut(n, false);
  bool anchored = false;
  std::size_t anchor = 0;
  for (std::size_t back = n; back-- > 0;) {
    if (!starts[back]) continue;
    const auto c = static_cast<unsigned char>(path[back]);
    if (style.IsSeparator(c)) {
      cut[back] = true;
      if ((!style.windows && back == 0) || isFolder(work.substr(0, back))) {
        anchored = true;
        anchor = back;
        break;
      }
    } else if (style.windows && c == ':') {
      anchored = true;
      anchor = back;
      break;
    }
  }
  if (!anchored) return false;
  for (std::size_t j = anchor; j < n; ++j) {
    if (!cut[j]) continue;
    cut[j] = false;
    work[j] = style.Separator();
    std::size_t end = j + 1;
    while (end < n && !cut[end]) ++end;
    if (end == n) continue;
    if (!makeFolder(work.substr(0, end))) return false;
  }
  return true;
}

}  // namespace kestrin::reference

namespace kestrin::reference {

// Globs as ignore files write them, POSIX paths: the glob cut into names at each '/' that no backslash
// makes plain, each name matched a character at a time.
namespace glob_detail {

inline std::vector<std::string> Names(std::string_view text, bool escapes) {
  std::vector<std::string> names(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (escapes && text[i] == '\\' && i + 1 < text.size()) {
      names.back() += text.substr(i, 2);
      ++i;
    } else if (text[i] == '/') {
      names.emplace_back();
    } else {
      names.back() += text[i];
    }
  }
  std::vector<std::string> out;
  for (std::string& name : names) {
    if (!name.empty()) out.push_back(std::move(name));
  }
  return out;
}

// The set at the start of glob ("[...]"): its length through the ']', or 0 when it is no set.
inline std::size_t SetLength(std::string_view glob, unsigned char c, bool& in) {
  std::size_t j = 1;
  bool negated = false;
  if (j < glob.size() && (glob[j] == '!' || glob[j] == '^')) {
    negated = true;
    ++j;
  }
  in = false;
  for (bool first = true; j < glob.size(); first = false) {
    if (glob[j] == ']' && !first) {
      in = in != negated;
      return glob.substr(0, j).find('/') == std::string_view::npos ? j + 1 : 0;
    }
    unsigned char low = static_cast<unsigned char>(glob[j]);
    if (low == '\\' && j + 1 < glob.size()) low = static_cast<unsigned char>(glob[++j]);
    ++j;
    unsigned char high = low;
    if (j + 1 < glob.size() && glob[j] == '-' && glob[j + 1] != ']') {
      high = static_cast<unsigned char>(glob[j + 1]);
      j += 2;
      if (high == '\\' && j < glob.size()) high = static_cast<unsigned char>(glob[j++]);
    }
    if (c >= low && c <= high) in = true;
  }
  return 0;
}

inline bool NameMatches(std::string_view glob, std::string_view name) {
  if (glob.empty()) return name.empty();
  if (glob[0] == '*') {
    std::size_t stars = 1;
    while (stars < glob.size() && glob[stars] == '*') ++stars;
    for (std::size_t k = 0; k <= name.size(); ++k) {
      if (NameMatches(glob.substr(stars), name.substr(k))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  if (glob[0] == '?') return NameMatches(glob.substr(1), name.substr(1));
  if (glob[0] == '[') {
    bool in = false;
    const std::size_t length = SetLength(glob, static_cast<unsigned char>(name[0]), in);
    if (length != 0) return in && NameMatches(glob.substr(length), name.substr(1));
  }
  if (glob[0] == '\\' && glob.size() > 1) {
    return glob[1] == name[0] && NameMatches(glob.substr(2), name.substr(1));
  }
  return glob[0] == name[0] && NameMatches(glob.substr(1), name.substr(1));
}

inline bool NamesMatch(const std::vector<std::string>& glob, std::size_t g, const std::vector<std::string>& path,
                       std::size_t p, std::size_t count) {
  if (g == glob.size()) return p == count;
  if (glob[g] == "**") {
    if (g + 1 == glob.size() && g != 0) return p < count;
    for (std::size_t q = p; q <= count; ++q) {
      if (NamesMatch(glob, g + 1, path, q, count)) return true;
    }
    return false;
  }
  return p < count && NameMatches(glob[g], path[p]) && NamesMatch(glob, g + 1, path, p + 1, count);
}

}  // namespace glob_detail

// Whether the glob matches the path itself (folders: the glob ends with '/', a folder the path is in) or,
// with orFolder, the path or one of its folders.
inline bool GlobMatches(std::string_view glob, std::string_view path, bool orFolder) {
  bool foldersOnly = false;
  while (!glob.empty() && glob.back() == '/') {
    glob.remove_suffix(1);
    foldersOnly = true;
  }
  bool anchored = !glob.empty() && glob[0] == '/';
  std::vector<std::string> names = glob_detail::Names(glob, true);
  if (names.empty()) return false;
  if (names.size() > 1) anchored = true;
  if (!anchored) names.insert(names.begin(), "**");
  const std::vector<std::string> pathNames = glob_detail::Names(path, false);
  for (std::size_t count = 1; count <= pathNames.size(); ++count) {
    const bool whole = count == pathNames.size();
    if (foldersOnly ? whole : !whole && !orFolder) continue;
    if (glob_detail::NamesMatch(names, 0, pathNames, 0, count)) return true;
  }
  return false;
}

}  // namespace kestrin::reference
