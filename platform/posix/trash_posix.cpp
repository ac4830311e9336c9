// The freedesktop.org trash (platform/trash.h).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "platform/posix/filesystem_posix.h"
#include "platform/trash.h"
#include "platform/user_folders.h"

namespace kestrin {

namespace {

using posix::LastError;

FsFailure Unavailable(std::string detail = {}) { return FsFailure{FailureReason::TrashUnavailable, std::move(detail)}; }

// Makes the folder (mode 0700) and every missing one above it; true when it is a folder afterwards.
bool MakeFolders(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// A trash folder we may use: ours, a real folder (not a link), with its files/ and info/ made.
bool ReadyTrash(const std::string& trash) {
  if (!MakeFolders(trash)) return false;
  struct stat st;
  if (lstat(trash.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
  for (const char* part : {"/files", "/info"}) {
    const std::string sub = trash + part;
    if (mkdir(sub.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (lstat(sub.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }
  return access(trash.c_str(), W_OK | X_OK) == 0;
}

std::string HomeTrash() {
  const char* env = std::getenv("XDG_DATA_HOME");
  std::string data;
  if (env != nullptr && env[0] == '/') {
    data = env;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    data = (home == "/" ? std::string() : home) + "/.local/share";
  }
  while (data.size() > 1 && data.back() == '/') data.pop_back();
  return data + "/Trash";
}

// The top folder of the file system that holds the entry at path: the highest folder above it on the
// same device.
std::string TopFolder(const std::string& absolute, dev_t device) {
  std::string top = absolute.substr(0, absolute.find_last_of('/'));
  for (;;) {
    if (top.empty()) return "/";
    const std::size_t slash = top.find_last_of('/');
    const std::string up = slash == 0 ? std::string("/") : top.substr(0, slash);
    struct stat st;
    if (stat(up.c_str(), &st) != 0 || st.st_dev != device) return top;
    if (up == "/") return up;
    top = up;
  }
}

// The trash for a file on device: the home trash when it lies there, else one at the top of the file
// system. Empty when none can be used.
std::string TrashFor(const std::string& absolute, dev_t device) {
  const std::string home = HomeTrash();
  struct stat st;
  if (!home.empty() && ReadyTrash(home) && stat(home.c_str(), &st) == 0 && st.st_dev == device) return home;

  std::string top = TopFolder(absolute, device);
  if (top == "/") top.clear();
  const std::string uid = std::to_string(geteuid());
  // An administrator's shared trash: a sticky folder, not a link, holding one folder per user.
  const std::string shared = top + "/.Trash";
  if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
    const std::string mine = shared + "/" + uid;
    if (ReadyTrash(mine)) return mine;
  }
  const std::string own = top + "/.Trash-" + uid;
  if (ReadyTrash(own)) return own;
  return {};
}

std::string DeletionDate() {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The name under files/ of the nth try: the file's own name, then NAME.2 to NAME.4, then NAME with a
// random number, so that a batch trashing many files of one name does not try every taken one in turn.
std::string Candidate(const std::string& name, unsigned n) {
  if (n == 1) return name;
  if (n <= 4) return name + "." + std::to_string(n);
  static std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(getpid()));
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(random()));
  return name + suffix;
}

// The info file of a trashed file: files/NAME -> info/NAME.trashinfo; empty when the path is not one.
std::string InfoFileOf(const std::string& trashed) {
  const std::size_t slash = trashed.find_last_of('/');
  if (slash == std::string::npos || slash < 6 || trashed.compare(slash - 6, 6, "/files") != 0) return {};
  return trashed.substr(0, slash - 5) + "info" + trashed.substr(slash) + ".trashinfo";
}

// The Path= value of a trash info file: every byte but the unreserved ASCII ones and '/' percent-encoded.
std::string TrashInfoPath(std::string_view absolutePath) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(absolutePath.size());
  for (const char c : absolutePath) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 15]);
    }
  }
  return encoded;
}

}  // namespace

FsResult<std::string> MoveToTrash(const std::string& path,
                                  const std::function<FsStatus(const std::string&)>& beforeMove) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return LastError();
  const std::string absolute = AbsolutePath(path);
  const std::string trash = TrashFor(absolute, st.st_dev);
  if (trash.empty()) return Unavailable();
  const std::string name = absolute.substr(absolute.find_last_of('/') + 1);
  const std::string info = "[Trash Info]\nPath=" + TrashInfoPath(absolute) + "\nDeletionDate=" + DeletionDate() + "\n";
  for (unsigned n = 1; n < 64; ++n) {
    const std::string entry = Candidate(name, n);
    const std::string infoPath = trash + "/info/" + entry + ".trashinfo";
    // The info file claims the name: made exclusively, before the file moves in.
    const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Unavailable(posix::LastError().detail);
    }
    const bool written = WriteAll(fd, info);
    const bool closed = posix::CloseDescriptor(fd);
    if (!written || !closed) {
      unlink(infoPath.c_str());
      return Unavailable();
    }
    const std::string target = trash + "/files/" + entry;
    if (beforeMove) {
      if (FsStatus heard = beforeMove(target); !heard) {
        unlink(infoPath.c_str());
        return heard.failure;
      }
    }
    const FsStatus moved = NativeFileSystem().MoveNoReplace(path, target);
    if (moved) return target;
    unlink(infoPath.c_str());
    // A file without its info holds the name: leave it, take the next one.
    if (moved.failure.reason == FailureReason::TargetExists) continue;
    // A file the user may not move fails as it would in a rename; anything else (another mount of the
    // same device) means this trash cannot take it.
    if (moved.failure.reason != FailureReason::System) return moved.failure;
    return Unavailable(moved.failure.detail);
  }
  return Unavailable();
}

FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original) {
  struct stat st;
  if (lstat(trashed.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return FsFailure{FailureReason::NotInTrash, {}};
    return LastError();
  }
  if (FsStatus moved = NativeFileSystem().MoveNoReplace(trashed, original); !moved) return moved;
  const std::string info = InfoFileOf(trashed);
  if (!info.empty()) unlink(info.c_str());
  return {};
}

}  // namespace kestrin
