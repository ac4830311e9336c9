#pragma once
// The questions the POSIX file system answers before a change is made (FileSystem::EntryExists,
// MayChangeFolder, MayRead), for the effective user, changing nothing.

#include <string>

namespace kestrin::posix {

// An entry of that name, a dangling link included: the entry itself is looked at, not what it names.
bool EntryExists(const std::string& path);
// The user may create, rename and delete entries in the folder: write and search permission on it.
bool MayChangeFolder(const std::string& folder);
// The user may open the file for reading.
bool MayRead(const std::string& path);

}  // namespace kestrin::posix
