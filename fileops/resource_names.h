#pragma once
// The resource folders of a game's tree, and the names built from them. The copy mapping re-roots files
// between the two resource folders, the default copy paths cut an input folder above them, and the
// reference panel names a reference file from them on.

#include <string>
#include <string_view>
#include <vector>

#include "platform/path_style.h"
#include "primitives/file_list.h"

namespace kestrin {

// The two resource folders that stand side by side.
inline constexpr char kPublicRes[] = "PublicRes";
inline constexpr char kPlugApp[] = "PlugApp";
// The dynamic-resources folder: a "PublicRes" file copied into a "PlugApp" tree below it goes into a
// folder of its own, kVornPublicRes, beside "PlugApp".
inline constexpr char kDynamicResources[] = "动态资源";
inline constexpr char kVornPublicRes[] = "vorn_publicres";

// The name of a reference file as the two name check boxes build it. withDir: from the first resource
// folder in the path on, "PublicRes" winning wherever both stand (compared without case, byte by byte);
// the file name alone when the path holds neither, or without withDir. withExt false: cut at the first
// dot of that name, a dot inside a folder name included.
std::string ReferenceName(std::string_view refFilePath, bool withDir, bool withExt,
                          const PathStyle& style = NativePathStyle());

// The names of every file of a reference list, in its order, as ReferenceName builds each: what the
// reference report looks for.
std::vector<std::string> ReferenceNames(const FileList& refFiles, bool withDir, bool withExt,
                                        const PathStyle& style = NativePathStyle());

}  // namespace kestrin
