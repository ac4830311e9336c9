// The recycle bin (platform/trash.h), in the layout the shell keeps itself: on the file's own volume,
// X:\$Recycle.Bin\<the user's SID>\$R<id><ext> holds the file and $I<id><ext> what the shell shows of it
// (format 2: the version, the file's size, the deletion time, and its original path in UTF-16), so that the
// shell's recycle bin lists and restores it. A file never crosses volumes on its way there.

#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/trash.h"

namespace kestrin {

namespace {

FsFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED: return FsFailure{FailureReason::PermissionDenied, {}};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FsFailure{FailureReason::Vanished, {}};
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return FsFailure{FailureReason::TargetExists, {}};
    case ERROR_NOT_SAME_DEVICE: return FsFailure{FailureReason::TrashUnavailable, {}};
    default: return FsFailure{FailureReason::System, "error " + std::to_string(error)};
  }
}

FsFailure Unavailable() { return FsFailure{FailureReason::TrashUnavailable, {}}; }

// The user's SID as text ("S-1-5-21-..."); empty when the system will not say.
std::string UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::string sid;
  char* text = nullptr;
  if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

std::string FullPath(const std::string& path) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

// The user's folder in the recycle bin of the volume that holds the file, made if need be; empty when
// there is none to use.
std::string BinFolder(const std::string& full) {
  char root[MAX_PATH + 1];
  if (!GetVolumePathNameA(full.c_str(), root, sizeof root)) return {};
  std::string bin(root);
  if (bin.empty() || (bin.back() != '\\' && bin.back() != '/')) bin.push_back('\\');
  bin += "$Recycle.Bin";
  if (CreateDirectoryA(bin.c_str(), nullptr)) {
    SetFileAttributesA(bin.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }
  const std::string sid = UserSid();
  if (sid.empty()) return {};
  const std::string mine = bin + "\\" + sid;
  CreateDirectoryA(mine.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesA(mine.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {};
  return mine;
}

// The extension of the file name at the end of path, its dot included; empty when it has none.
std::string ExtensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

void Put64(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// What the shell keeps of a recycled file: format 2.
std::string InfoRecord(const std::string& full, std::uint64_t size) {
  const int chars = MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide(chars > 0 ? static_cast<std::size_t>(chars) : 1, L'\0');
  if (chars > 0) MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, wide.data(), chars);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  std::string record;
  Put64(record, 2);
  Put64(record, size);
  Put64(record, (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  const std::uint32_t count = static_cast<std::uint32_t>(wide.size());
  for (int i = 0; i < 4; ++i) record.push_back(static_cast<char>((count >> (8 * i)) & 0xff));
  for (const wchar_t c : wide) {
    record.push_back(static_cast<char>(c & 0xff));
    record.push_back(static_cast<char>((c >> 8) & 0xff));
  }
  return record;
}

// $R<id><ext> -> $I<id><ext>, in the same folder; empty when the name is not a recycled file's.
std::string InfoFileOf(const std::string& recycled) {
  const std::size_t slash = recycled.find_last_of("\\/");
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (recycled.compare(name, 2, "$R") != 0) return {};
  std::string info = recycled;
  info[name + 1] = 'I';
  return info;
}

}  // namespace

FsResult<std::string> MoveToTrash(const std::string& path,
                                  const std::function<FsStatus(const std::string&)>& beforeMove) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return FailureOf(GetLastError());
  const std::string full = FullPath(path);
  if (full.empty()) return FailureOf(GetLastError());
  const std::string bin = BinFolder(full);
  if (bin.empty()) return Unavailable();
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const std::string record = InfoRecord(full, size);
  const std::string extension = ExtensionOf(full);
  static std::mt19937 random(std::random_device{}() ^ GetCurrentProcessId());
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string id;
    for (int i = 0; i < 6; ++i) id.push_back(kLetters[random() % 36]);
    const std::string info = bin + "\\$I" + id + extension;
    const std::string target = bin + "\\$R" + id + extension;
    // The info file claims the name, made first and only when new.
    const HANDLE file = CreateFileA(info.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return Unavailable();
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
                    written == record.size();
    CloseHandle(file);
    if (!ok) {
      DeleteFileA(info.c_str());
      return Unavailable();
    }
    if (beforeMove) {
      if (FsStatus heard = beforeMove(target); !heard) {
        DeleteFileA(info.c_str());
        return heard.failure;
      }
    }
    if (MoveFileExA(full.c_str(), target.c_str(), 0)) return target;
    const DWORD error = GetLastError();
    DeleteFileA(info.c_str());
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) continue;
    return FailureOf(error);
  }
  return Unavailable();
}

FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original) {
  if (GetFileAttributesA(trashed.c_str()) == INVALID_FILE_ATTRIBUTES) return FsFailure{FailureReason::NotInTrash, {}};
  if (GetFileAttributesA(original.c_str()) != INVALID_FILE_ATTRIBUTES) return FsFailure{FailureReason::TargetExists, {}};
  if (!MoveFileExA(trashed.c_str(), original.c_str(), 0)) return FailureOf(GetLastError());
  const std::string info = InfoFileOf(trashed);
  if (!info.empty()) DeleteFileA(info.c_str());
  return {};
}

}  // namespace kestrin
