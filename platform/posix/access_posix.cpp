#include "platform/posix/access_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrin::posix {

bool EntryExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// AT_EACCESS: the checks are those of the effective user, as the calls that make the changes see them.
bool MayChangeFolder(const std::string& folder) {
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool MayRead(const std::string& path) { return faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0; }

}  // namespace kestrin::posix
