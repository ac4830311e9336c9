#pragma once
// Copying result files into a mirror tree below an output folder.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path_style.h"
#include "primitives/command_sink.h"
#include "primitives/file_list.h"

namespace kestrin {

// The target path of a file whose path relative to the copy prefix is relativePath, below outputFolder
// (normalised, ending in a separator): re-rooted at a folder of the output path that bears the relative
// path's first folder name, or beside the other resource folder ("PublicRes", "PlugApp", "动态资源").
std::string MapCopyTarget(std::string_view outputFolder, std::string_view relativePath,
                          const PathStyle& style = NativePathStyle());

// Copies one file to its mapped place, creating the folders above it and replacing an older copy.
// False when the folders cannot be made, the target would not fit the path limit, or the copy fails
// (a copy onto the source itself fails and leaves it untouched). An existing target is replaced only when
// it is a regular file (or a link to one) that the user may write: a folder, a link to one or a
// write-protected file is kept, and the copy fails. The sink hears of the file as index 0 of a list of
// one, as CopyFiles reports each file, then End().
bool CopyOneFile(const CommandEnv& env, const std::string& sourcePath, std::string_view copyPrefix,
                 std::string_view outputFolder, const PathStyle& style = NativePathStyle());

struct CopyCounts {
  std::uint32_t succeeded = 0;
  std::uint32_t failed = 0;
};

// Copies every file of the list in order. A copy never replaces one of the list's own files (by
// identity, whatever path it is reached by), nor a file an earlier step of the same batch copied (two
// sources that map to one target): it fails. The sink hears, for each file: Progress(i), then Copied
// (with the target, and whether a file there was replaced) or Failed with the reason; End() last. The
// counts are those of the outcomes. A stop keeps the copies finished so far; the file whose copy it cut
// short and the files not reached count neither way, and are not reported.
CopyCounts CopyFiles(const CommandEnv& env, const FileList& files, std::string_view copyPrefix,
                     std::string_view outputFolder, const PathStyle& style = NativePathStyle());

// The output folder as the copy and open commands use it: the box's text normalised, with a trailing
// separator. Empty when nothing is left after normalising.
std::string OutputFolderFromText(std::string_view boxText, const PathStyle& style = NativePathStyle());

// The output folder made ready for the copy and open-copy-path commands: the box's text normalised as
// OutputFolderFromText does, then created with every folder above it. path empty: nothing was left after
// normalising (nothing is created). created false with a path: that folder could not be made.
struct PreparedFolder {
  std::string path;
  bool created = false;
};
PreparedFolder PrepareOutputFolder(FileSystem& fs, std::string_view boxText,
                                   const PathStyle& style = NativePathStyle());

}  // namespace kestrin
