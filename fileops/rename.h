#pragma once
// Batch rename: the first occurrence of an old string in each file's name (ASCII letters without regard
// to case) is replaced by a new string, and the file is moved to that name in its own folder.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path_style.h"
#include "primitives/command_sink.h"
#include "primitives/file_list.h"

namespace kestrin {

// Longest old or new string, and longest new file name, in bytes.
inline constexpr std::size_t kRenameTextLimit = 127;

// Renames one file; true when it was moved to its new name. The file is left alone when the old string
// does not occur in its name, when the new name is empty, holds a separator or exceeds the name limit, or
// when the target path would not fit the path limit. With force, an existing different file of the new
// name is replaced in one step, but only a regular file (or a link to one) that the user may write: a
// folder, a link to one or a write-protected file is kept, and the source is not renamed. The source
// itself is never deleted, whatever alias the new name is. The sink hears of the file as index 0 of a
// list of one, as RenameFiles reports each file, then End().
bool RenameOneFile(const CommandEnv& env, const std::string& sourcePath, std::string_view oldString,
                   std::string_view newString, bool force, const PathStyle& style = NativePathStyle());

// Renames every file of the list in order; returns how many were renamed. Old or new strings over the
// limit rename nothing (every file counts as not renamed, and the sink hears only End()). A batch never
// undoes its own work: an entry whose file an earlier step moved there (or that is listed twice) is
// refused, and force never replaces a file the batch has renamed, nor the file of a later entry whose
// name still holds the old string. The sink hears, for each file: Progress(i), then Renamed (with the
// new path, and whether a file of that name was replaced), Skipped (the old string is not in its name,
// or the new name is no name a file can take, or the same name), or Failed with the reason; End() last.
// A stop leaves the files renamed so far renamed.
std::uint32_t RenameFiles(const CommandEnv& env, const FileList& files, std::string_view oldString,
                          std::string_view newString, bool force, const PathStyle& style = NativePathStyle());

}  // namespace kestrin
