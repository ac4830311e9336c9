#pragma once
// Reading the paths of a drop (WM_DROPFILES) in the ANSI code page.

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kestrin::win32 {

// The longest dropped path taken: the drop buffer offers 259 bytes, room for 258 characters and the
// terminator.
inline constexpr std::size_t kDropPathLimit = 258;

// The dropped paths in order, each whole. Reading stops at the first path longer than maxLength: a path
// cut to fit could name its parent folder, which would then be walked, searched and renamed in its place.
// So a drop whose first path is too long gives nothing. The drop is not released.
std::vector<std::string> DroppedPaths(HDROP drop, std::size_t maxLength = kDropPathLimit);

}  // namespace kestrin::win32
