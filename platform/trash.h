#pragma once
// The user's trash, where a file a batch replaces is put instead of being deleted, so that undo can bring
// it back. The native file systems reach it through FileSystem::MoveToTrash and RestoreFromTrash.
//
// POSIX keeps the freedesktop.org trash layout that file managers read: a file goes into the home trash
// ($XDG_DATA_HOME/Trash, ~/.local/share/Trash by default) when it lies on that file system, and otherwise
// into the trash at the top of its own file system ($topdir/.Trash/$uid when .Trash is a sticky folder and
// not a link, else $topdir/.Trash-$uid); never across file systems. It lands in files/NAME, NAME unique in
// that trash, described by info/NAME.trashinfo (made first, exclusively) holding the original absolute
// path, percent-encoded, and the local deletion time, so that a file manager shows and restores it.
// Windows uses the shell's recycle bin.

#include <functional>
#include <string>
#include <string_view>

#include "platform/failure_reason.h"

namespace kestrin {

// Moves the file (a link itself, not what it leads to) into the trash; where it now lies there.
// TrashUnavailable when no trash on its file system can take it; the file is then left where it was.
// beforeMove, when given, hears where the file will lie once its name there is taken, before it moves (on
// Windows, where the recycle bin names it, just after); a failure it returns leaves the file in place.
FsResult<std::string> MoveToTrash(const std::string& path,
                                  const std::function<FsStatus(const std::string&)>& beforeMove = {});

// Moves a trashed file back to original, never replacing an entry there, and drops the trash's record of
// it. NotInTrash when it is no longer in the trash.
FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original);

}  // namespace kestrin
