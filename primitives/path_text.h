#pragma once
// Path text helpers: take a path apart, or bring a folder path into one form. The separators accepted
// and written, and whether letters are lowered, come from the path style.

#include <string>
#include <string_view>

#include "platform/path_style.h"
#include "platform/ascii_case.h"

namespace kestrin {

// The name after the last separator (a view into path); the whole path when it has no separator; empty
// for an empty path or a path that ends with a separator.
std::string_view FileNamePart(std::string_view path, const PathStyle& style = NativePathStyle());

// The path up to and including its last separator; the whole path when it has none.
std::string DirectoryPart(std::string_view path, const PathStyle& style = NativePathStyle());

// Ends text before its first dot; no dot: unchanged.
void CutAtFirstDot(std::string& text);

// Every run of separators becomes one written separator; on a style that folds case, ASCII letters are
// lowered. An empty source gives an empty result.
std::string NormalizeFolderPath(std::string_view source, const PathStyle& style = NativePathStyle());

// How a character-aware scan cuts text into characters. Path: the path style's (a lead byte of a
// double-byte code page and the byte after it; on POSIX every byte, as a file name is bytes there).
// TypedText: what a user types into a box, UTF-8 characters on POSIX, the code page's on Windows.
enum class CharRule { Path, TypedText };

// Bytes of the character that starts at text[i] (i < text.size()) under rule. A UTF-8 byte that does not
// start a well-formed sequence counts as a character of its own, so malformed text is still cut sensibly.
std::size_t CharLengthAt(std::string_view text, std::size_t i, const PathStyle& style, CharRule rule = CharRule::Path);

// Length of the longest leading part of text that has at most limit bytes and does not split a character.
std::size_t WholeCharPrefixLength(std::string_view text, std::size_t limit, const PathStyle& style = NativePathStyle(),
                                  CharRule rule = CharRule::Path);

}  // namespace kestrin
