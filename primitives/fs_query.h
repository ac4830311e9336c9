#pragma once
// File-system queries and folder creation, on the file system the caller names (platform/filesystem.h).

#include <functional>
#include <string>
#include <string_view>

#include "platform/path_style.h"
#include "platform/failure_reason.h"

namespace kestrin {

class FileSystem;

// True when an entry for the path exists and is a folder.
bool IsDirectory(FileSystem& fs, const std::string& path);

// True when an entry for the path exists, file or folder.
bool PathExists(FileSystem& fs, const std::string& path);

// True when the path is a regular file, the only kind a command reads or copies (a FIFO, socket or device
// node could block or never end); otherwise says why in `why`, when given: gone, unreachable, or not a file.
bool IsRegularFile(FileSystem& fs, const std::string& path, FsFailure* why = nullptr);

// Makes every folder of path before its last separator exist, shallowest first; the part after the last
// separator is a file name and is never created. True when they all exist afterwards. A path that exists
// already gives true at once; a missing path at or over the style's path limit gives false; so does a
// path with no existing ancestor and no anchor (a drive colon on Windows, the root '/' on POSIX).
// why, when given, is told why it failed: the failure of the folder that could not be made, of the lookup
// that found no folder to start from, or PathTooLong.
// beforeMaking, when given, hears of each folder just before it is made; a failure it returns is the
// call's, and that folder is not made.
bool EnsureDirectories(FileSystem& fs, std::string_view path, const PathStyle& style = NativePathStyle(),
                       FsFailure* why = nullptr,
                       const std::function<FsStatus(const std::string&)>& beforeMaking = {});

}  // namespace kestrin
