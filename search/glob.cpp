#include "search/glob.h"

#include "platform/ascii_case.h"

namespace kestrin {

namespace {

// The characters of text, each as its bytes (a double-byte character is one).
std::vector<std::string_view> Characters(std::string_view text, const PathStyle& style) {
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = style.CharLength(text.data(), text.size(), i);
    out.push_back(text.substr(i, n));
    i += n;
  }
  return out;
}

bool IsSeparatorChar(std::string_view ch, const PathStyle& style) {
  return ch.size() == 1 && style.IsSeparator(static_cast<unsigned char>(ch[0]));
}

// A class from the character after its '[' on; the index of its ']' is returned through end, or false
// when it has none (the '[' is then a plain character).
bool ParseClass(const std::vector<std::string_view>& chars, std::size_t begin, bool escapes, Glob::Token& token,
                std::size_t& end) {
  std::size_t i = begin;
  if (i < chars.size() && (chars[i] == "!" || chars[i] == "^")) {
    token.negated = true;
    ++i;
  }
  for (bool first = true; i < chars.size(); first = false) {
    std::string_view ch = chars[i];
    if (ch == "]" && !first) {
      end = i;
      return true;
    }
    if (escapes && ch == "\\" && i + 1 < chars.size()) ch = chars[++i];
    ++i;
    if (ch.size() != 1) {
      token.wide.emplace_back(ch);
      continue;
    }
    auto low = static_cast<unsigned char>(ch[0]);
    auto high = low;
    if (i + 1 < chars.size() && chars[i] == "-" && chars[i + 1] != "]" && chars[i + 1].size() == 1) {
      std::string_view last = chars[i + 1];
      i += 2;
      if (escapes && last == "\\" && i < chars.size() && chars[i].size() == 1) last = chars[i++];
      high = static_cast<unsigned char>(last[0]);
    }
    if (low <= high) token.ranges.emplace_back(low, high);
  }
  return false;
}

}  // namespace

Glob::Glob(std::string_view text, const PathStyle& style) : style_(style) {
  // On POSIX a backslash makes the next character plain; on Windows it is a separator.
  const bool escapes = !style.windows;
  const std::vector<std::string_view> chars = Characters(text, style);
  std::size_t first = 0;
  std::size_t last = chars.size();
  const auto isSeparator = [&](std::size_t i) { return IsSeparatorChar(chars[i], style); };
  while (last > first && isSeparator(last - 1)) {
    --last;
    foldersOnly_ = true;
  }
  bool anchored = false;
  while (first < last && isSeparator(first)) {
    ++first;
    anchored = true;
  }
  Segment segment;
  std::string raw;  // the segment as written, to tell `**` from other names
  const auto endSegment = [&] {
    if (raw.empty()) return;  // empty names ("a//b") are no names
    if (raw == "**") {
      segment.tokens.clear();
      segment.anyFolders = true;
    }
    segments_.push_back(std::move(segment));
    segment = Segment{};
    raw.clear();
  };
  for (std::size_t i = first; i < last; ++i) {
    const std::string_view ch = chars[i];
    if (isSeparator(i)) {
      if (!raw.empty() && i + 1 < last) anchored = true;  // a separator in the middle
      endSegment();
      continue;
    }
    raw.append(ch);
    Token token;
    if (ch == "*") {
      if (!segment.tokens.empty() && segment.tokens.back().kind == Token::Kind::Star) continue;
      token.kind = Token::Kind::Star;
    } else if (ch == "?") {
      token.kind = Token::Kind::AnyChar;
    } else if (ch == "[") {
      std::size_t end = 0;
      Token cls;
      cls.kind = Token::Kind::Class;
      bool isClass = ParseClass(chars, i + 1, escapes, cls, end) && end < last;
      // A set never holds a separator: a '[' before one is a plain character.
      for (std::size_t k = i + 1; isClass && k < end; ++k) isClass = !isSeparator(k);
      if (isClass) {
        for (std::size_t k = i + 1; k <= end; ++k) raw.append(chars[k]);
        token = std::move(cls);
        i = end;
      } else {
        token.text = std::string(ch);
      }
    } else if (escapes && ch == "\\" && i + 1 < last) {
      token.text = std::string(chars[++i]);
      raw.append(chars[i]);
    } else {
      token.text = std::string(ch);
    }
    segment.tokens.push_back(std::move(token));
  }
  endSegment();
  empty_ = segments_.empty();
  // A name without a separator before it matches at any depth.
  if (!anchored && !empty_) {
    Segment any;
    any.anyFolders = true;
    segments_.insert(segments_.begin(), std::move(any));
  }
}

std::vector<std::string_view> Glob::Split(std::string_view path) const {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size();) {
    if (i == path.size() || style_.IsSeparator(static_cast<unsigned char>(path[i]))) {
      if (i > start) names.push_back(path.substr(start, i - start));
      start = i + 1;
      ++i;
      continue;
    }
    i += style_.CharLength(path.data(), path.size(), i);
  }
  return names;
}

bool Glob::CharEqual(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  if (!style_.FoldsCase() || a.size() != 1) return a == b;
  return AsciiToLower(a[0]) == AsciiToLower(b[0]);
}

bool Glob::MatchSegment(const Segment& segment, std::string_view name) const {
  const std::vector<std::string_view> chars = Characters(name, style_);
  const std::vector<Token>& tokens = segment.tokens;
  const auto one = [&](const Token& token, std::string_view ch) {
    switch (token.kind) {
      case Token::Kind::Literal: return CharEqual(token.text, ch);
      case Token::Kind::AnyChar: return true;
      case Token::Kind::Star: return false;
      case Token::Kind::Class: {
        bool in = false;
        if (ch.size() == 1) {
          const auto inRanges = [&](unsigned char c) {
            for (const auto& [low, high] : token.ranges) {
              if (c >= low && c <= high) return true;
            }
            return false;
          };
          const auto c = static_cast<unsigned char>(ch[0]);
          in = inRanges(c);
          if (!in && style_.FoldsCase()) {
            const unsigned char upper = (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c;
            in = inRanges(AsciiToLower(c)) || inRanges(upper);
          }
        } else {
          for (const std::string& w : token.wide) in = in || w == ch;
        }
        return in != token.negated;
      }
    }
    return false;
  };
  // Wildcard matching with a return to the last star: each star is tried at every later position once.
  std::size_t t = 0;
  std::size_t c = 0;
  std::size_t starToken = std::string_view::npos;
  std::size_t starChar = 0;
  while (c < chars.size()) {
    if (t < tokens.size() && tokens[t].kind == Token::Kind::Star) {
      starToken = t++;
      starChar = c;
    } else if (t < tokens.size() && one(tokens[t], chars[c])) {
      ++t;
      ++c;
    } else if (starToken != std::string_view::npos) {
      t = starToken + 1;
      c = ++starChar;
    } else {
      return false;
    }
  }
  while (t < tokens.size() && tokens[t].kind == Token::Kind::Star) ++t;
  return t == tokens.size();
}

bool Glob::MatchSegments(const std::vector<std::string_view>& path, std::size_t count) const {
  // matched[p]: the glob's segments from g on match the path's names from p to count, for g from the
  // last segment back to the first.
  const std::size_t segments = segments_.size();
  std::vector<char> matched(count + 1, 0);
  matched[count] = 1;
  for (std::size_t g = segments; g-- > 0;) {
    const Segment& segment = segments_[g];
    std::vector<char> next(count + 1, 0);
    if (segment.anyFolders) {
      if (g + 1 == segments && g != 0) {
        // A `**` at the end of a glob with names before it: everything below them, at least one name.
        for (std::size_t p = 0; p < count; ++p) next[p] = 1;
      } else {
        // Any number of names, none included.
        for (std::size_t p = count + 1; p-- > 0;) next[p] = matched[p] || (p < count && next[p + 1]);
      }
    } else {
      for (std::size_t p = 0; p < count; ++p) next[p] = matched[p + 1] && MatchSegment(segment, path[p]);
    }
    matched.swap(next);
  }
  return matched[0] != 0;
}

bool Glob::Matches(std::string_view path) const {
  if (empty_) return false;
  const std::vector<std::string_view> names = Split(path);
  if (names.empty()) return false;
  if (!foldersOnly_) return MatchSegments(names, names.size());
  for (std::size_t count = 1; count < names.size(); ++count) {
    if (MatchSegments(names, count)) return true;
  }
  return false;
}

bool Glob::MatchesPathOrFolder(std::string_view path) const {
  if (empty_) return false;
  const std::vector<std::string_view> names = Split(path);
  for (std::size_t count = 1; count <= names.size(); ++count) {
    if (count == names.size() && foldersOnly_) break;
    if (MatchSegments(names, count)) return true;
  }
  return false;
}

void GlobSet::Add(std::string_view text) {
  if (!text.empty() && text[0] == '!') {
    exclude_.emplace_back(text.substr(1), style_);
  } else {
    select_.emplace_back(text, style_);
  }
}

bool GlobSet::Passes(std::string_view path) const {
  for (const Glob& glob : exclude_) {
    if (glob.MatchesPathOrFolder(path)) return false;
  }
  if (select_.empty()) return true;
  for (const Glob& glob : select_) {
    if (glob.Matches(path)) return true;
  }
  return false;
}

}  // namespace kestrin
