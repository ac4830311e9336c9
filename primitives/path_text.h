#pragma once
// Path text helpers: take a path apart, or bring a folder path into one form. The separators accepted
// and written, and whether letters are lowered, come from the path style.

#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin {

// ch lowered when it is an ASCII upper-case letter; every other byte unchanged.
char AsciiToLower(char ch);

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

}  // namespace kestrin
