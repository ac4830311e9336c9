#pragma once
// Globs over the paths below a folder, written as ignore files write them:
// - `*` is any run of characters within one folder or file name, `?` one character, `[...]` one character
//   of a set (`[a-z]`, `[!...]` or `[^...]` for the characters outside it); none of them matches a
//   separator;
// - `**` as a whole name matches any number of folders: `**/x` x at any depth, `a/**` everything below a,
//   `a/**/b` b in a or at any depth below it; `**` within a name is a plain `*`;
// - a glob without a separator but at its end matches a name at any depth (`*.lua`); one with a
//   separator at its start or in its middle matches from the top folder down (`/x`, `ui/*.png`);
// - a glob that ends with a separator matches folders: the files below them;
// - on POSIX `\` makes the next character plain; on Windows it is a separator, as `/` is, and letters
//   match in either case, as its file names do. A double-byte character is one character.
// The path is the part below the folder searched, its folders separated by the style's separators.

#include <string>
#include <string_view>
#include <vector>

#include "platform/path_style.h"

namespace kestrin {

class Glob {
 public:
  Glob(std::string_view text, const PathStyle& style = NativePathStyle());

  // Whether the glob matches the path (relative to the folder searched) itself, or, for a glob that ends
  // with a separator, one of the folders the path lies in.
  bool Matches(std::string_view path) const;
  // Whether it matches the path or any of the folders the path lies in (what an exclusion takes away).
  bool MatchesPathOrFolder(std::string_view path) const;

  // One character class, or one character to match literally.
  struct Token {
    enum class Kind : unsigned char { Literal, AnyChar, Star, Class };
    Kind kind = Kind::Literal;
    std::string text;                                        // Literal: the character's bytes
    std::vector<std::pair<unsigned char, unsigned char>> ranges;  // Class: single-byte members and ranges
    std::vector<std::string> wide;                           // Class: double-byte members
    bool negated = false;                                    // Class
  };
  struct Segment {
    bool anyFolders = false;  // `**`
    std::vector<Token> tokens;
  };

 private:
  // Whether the glob's segments match these of a path.
  bool MatchSegments(const std::vector<std::string_view>& path, std::size_t count) const;
  bool MatchSegment(const Segment& segment, std::string_view name) const;
  bool CharEqual(std::string_view a, std::string_view b) const;
  std::vector<std::string_view> Split(std::string_view path) const;

  PathStyle style_;
  std::vector<Segment> segments_;
  bool foldersOnly_ = false;
  bool empty_ = true;  // a glob of no name matches nothing
};

// The globs a search is narrowed by: a path passes when it matches at least one glob that selects (when
// there is one) and no glob that excludes (written with a leading `!`), neither itself nor through a
// folder it lies in.
class GlobSet {
 public:
  explicit GlobSet(const PathStyle& style = NativePathStyle()) : style_(style) {}
  void Add(std::string_view text);
  bool empty() const { return select_.empty() && exclude_.empty(); }
  bool Passes(std::string_view path) const;

 private:
  PathStyle style_;
  std::vector<Glob> select_;
  std::vector<Glob> exclude_;
};

}  // namespace kestrin
