#include "fileops/undo_journal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/path_style.h"
#include "platform/user_folders.h"
#include "primitives/fs_query.h"

namespace kestrin {

namespace {

constexpr std::string_view kHeader = "kestrin-journal";
constexpr std::string_view kSuffix = ".journal";

const char* KindWord(BatchKind kind) { return kind == BatchKind::Copy ? "copy" : "rename"; }

std::string StampFields(const FileStamp& stamp) {
  return std::string(stamp.id.valid ? "1 " : "0 ") + std::to_string(stamp.id.volume) + ' ' +
         std::to_string(stamp.id.index) + ' ' + std::to_string(stamp.size) + ' ' + std::to_string(stamp.mtimeNs);
}

bool NeedsEscape(unsigned char c) { return c <= ' ' || c == '%' || c == 0x7f; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The words of one record line.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    words.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

template <class T>
bool Number(std::string_view word, T& value) {
  if (word.empty()) return false;
  bool negative = false;
  if (word[0] == '-') {
    negative = true;
    word.remove_prefix(1);
    if (word.empty()) return false;
  }
  std::uint64_t n = 0;
  for (const char c : word) {
    if (c < '0' || c > '9') return false;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (n > (UINT64_MAX - digit) / 10) return false;
    n = n * 10 + digit;
  }
  value = negative ? static_cast<T>(-static_cast<std::int64_t>(n)) : static_cast<T>(n);
  return true;
}

// The stamp in words[at, at + 5).
bool ParseStamp(const std::vector<std::string_view>& words, std::size_t at, FileStamp& stamp) {
  if (words.size() < at + 5 || (words[at] != "0" && words[at] != "1")) return false;
  stamp.id.valid = words[at] == "1";
  return Number(words[at + 1], stamp.id.volume) && Number(words[at + 2], stamp.id.index) &&
         Number(words[at + 3], stamp.size) && Number(words[at + 4], stamp.mtimeNs);
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string EncodeJournalField(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string field;
  field.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      field.push_back('%');
      field.push_back(kHex[byte >> 4]);
      field.push_back(kHex[byte & 15]);
    } else {
      field.push_back(c);
    }
  }
  return field;
}

std::optional<std::string> DecodeJournalField(std::string_view field) {
  std::string bytes;
  bytes.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      bytes.push_back(field[i]);
      continue;
    }
    if (i + 2 >= field.size()) return std::nullopt;
    const int high = HexValue(field[i + 1]);
    const int low = HexValue(field[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return bytes;
}

FsStatus BatchJournal::Write(const std::string& record) { return writer_.Append(record); }

FsStatus BatchJournal::Start(BatchKind kind, std::int64_t startTime) {
  return Write(std::string(kHeader) + " 1 " + KindWord(kind) + ' ' + std::to_string(startTime) + '\n');
}

FsStatus BatchJournal::Step(std::size_t index, BatchKind kind, std::string_view source, std::string_view target,
                            const FileStamp& before) {
  ++steps_;
  return Write("step " + std::to_string(index) + (kind == BatchKind::Copy ? " copy " : " move ") +
               EncodeJournalField(source) + ' ' + EncodeJournalField(target) + ' ' + StampFields(before) + '\n');
}

FsStatus BatchJournal::Trash(std::size_t index, std::string_view path) {
  return Write("trash " + std::to_string(index) + ' ' + EncodeJournalField(path) + '\n');
}

FsStatus BatchJournal::Trashed(std::size_t index, std::string_view path, std::string_view where) {
  return Write("trashed " + std::to_string(index) + ' ' + EncodeJournalField(path) + ' ' +
               EncodeJournalField(where) + '\n');
}

FsStatus BatchJournal::Folder(std::string_view path) { return Write("folder " + EncodeJournalField(path) + '\n'); }

FsStatus BatchJournal::Done(std::size_t index, const FileStamp& after) {
  return Write("done " + std::to_string(index) + ' ' + StampFields(after) + '\n');
}

FsStatus BatchJournal::Abandoned(std::size_t index) {
  return Write("abandoned " + std::to_string(index) + '\n');
}

FsStatus BatchJournal::UndidStep(std::string_view action, std::size_t index) {
  return Write("undid " + std::string(action) + ' ' + std::to_string(index) + '\n');
}

FsStatus BatchJournal::UndidFolder(std::string_view path) {
  return Write("undid folder " + EncodeJournalField(path) + '\n');
}

FsStatus BatchJournal::Undone() { return Write("undone\n"); }

TrashedFile TrashForBatch(FileSystem& fs, BatchJournal& journal, std::size_t index, const std::string& path) {
  TrashedFile trashed;
  if (const FsStatus written = journal.Trash(index, path); !written) {
    trashed.status = FsFailure{FailureReason::JournalUnwritable, written.failure.detail};
    return trashed;
  }
  // Where it goes is written down before it moves, where the system can tell: a kill in between leaves a
  // journal that knows where to look.
  bool unwritten = false;
  FsResult<std::string> moved = fs.MoveToTrash(path, [&](const std::string& where) -> FsStatus {
    const FsStatus written = journal.Trashed(index, path, where);
    if (written) return {};
    unwritten = true;
    return FsFailure{FailureReason::JournalUnwritable, written.failure.detail};
  });
  if (!moved) {
    trashed.status = moved.failure;
    return trashed;
  }
  if (unwritten) {
    // Told only after the move, and where it went would be known nowhere: it goes back.
    static_cast<void>(fs.RestoreFromTrash(moved.value, path));
    trashed.status = FsFailure{FailureReason::JournalUnwritable, {}};
    return trashed;
  }
  trashed.where = std::move(moved.value);
  return trashed;
}

std::optional<JournalRecord> ParseJournal(std::string_view text) {
  JournalRecord record;
  bool headed = false;
  std::size_t start = 0;
  // A step's place in record.steps by its index: the records after "step" name it by index.
  const auto stepOf = [&record](std::string_view word) -> JournalStep* {
    std::size_t index = 0;
    if (!Number(word, index)) return nullptr;
    for (auto it = record.steps.rbegin(); it != record.steps.rend(); ++it) {
      if (it->index == index) return &*it;
    }
    return nullptr;
  };
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) break;  // torn by a kill: the record was never finished
    const std::vector<std::string_view> words = Words(text.substr(start, end - start));
    start = end + 1;
    const std::string_view what = words[0];
    if (!headed) {
      if (words.size() != 4 || what != kHeader || words[1] != "1") return std::nullopt;
      if (words[2] != "rename" && words[2] != "copy") return std::nullopt;
      record.kind = words[2] == "copy" ? BatchKind::Copy : BatchKind::Rename;
      if (!Number(words[3], record.startTime)) return std::nullopt;
      headed = true;
      continue;
    }
    if (what == "step" && words.size() == 10) {
      JournalStep step;
      std::optional<std::string> source = DecodeJournalField(words[3]);
      std::optional<std::string> target = DecodeJournalField(words[4]);
      if (!Number(words[1], step.index) || (words[2] != "move" && words[2] != "copy") || !source || !target ||
          !ParseStamp(words, 5, step.before)) {
        continue;
      }
      step.kind = words[2] == "copy" ? BatchKind::Copy : BatchKind::Rename;
      step.source = std::move(*source);
      step.target = std::move(*target);
      record.steps.push_back(std::move(step));
    } else if (what == "trash" && words.size() == 3) {
      if (JournalStep* step = stepOf(words[1])) step->trashPlanned = true;
    } else if (what == "trashed" && words.size() == 4) {
      JournalStep* step = stepOf(words[1]);
      std::optional<std::string> where = DecodeJournalField(words[3]);
      if (step != nullptr && where) {
        step->trashPlanned = true;
        step->trashed = std::move(*where);
      }
    } else if (what == "folder" && words.size() == 2) {
      if (std::optional<std::string> path = DecodeJournalField(words[1])) record.folders.push_back(std::move(*path));
    } else if (what == "done" && words.size() == 7) {
      JournalStep* step = stepOf(words[1]);
      FileStamp after;
      if (step != nullptr && ParseStamp(words, 2, after)) {
        step->done = true;
        step->after = after;
      }
    } else if (what == "abandoned" && words.size() == 2) {
      if (JournalStep* step = stepOf(words[1])) step->abandoned = true;
    } else if (what == "undid" && words.size() == 3) {
      if (words[1] == "folder") {
        if (std::optional<std::string> path = DecodeJournalField(words[2])) {
          record.undidFolders.push_back(std::move(*path));
        }
      } else if (JournalStep* step = stepOf(words[2])) {
        if (words[1] == "trash") {
          step->undidTrash = true;
        } else if (words[1] == "move" || words[1] == "copy") {
          step->undidMove = true;
        }
      }
    } else if (what == "undone" && words.size() == 1) {
      record.undone = true;
    }
  }
  if (!headed) return std::nullopt;
  return record;
}

std::optional<JournalRecord> ReadJournal(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return ParseJournal(text.str());
}

void JournalFile::Finish() {
  if (!journal_.HasSteps()) {
    static_cast<void>(NativeFileSystem().RemoveFile(path_));
    return;
  }
  static_cast<void>(journal_.Finish());
  writer_.Close();
  JournalStore(folder_).Prune();
}

void JournalStore::Prune() const {
  const std::vector<std::string> paths = JournalPaths();
  for (std::size_t i = kJournalsKept; i < paths.size(); ++i) static_cast<void>(NativeFileSystem().RemoveFile(paths[i]));
}

JournalStore::JournalStore(std::string folder) : folder_(std::move(folder)) {}
JournalStore::JournalStore() : JournalStore(StateFolder()) {}

std::vector<std::string> JournalStore::JournalPaths() const {
  std::vector<std::string> names;
  if (folder_.empty()) return names;
  static_cast<void>(NativeFileSystem().Enumerate(folder_, [&names](const DirEntry& entry) {
    const std::string_view name = entry.name;
    if (entry.kind == EntryKind::File && name.size() > kSuffix.size() && name.substr(0, 6) == "batch-" &&
        name.substr(name.size() - kSuffix.size()) == kSuffix) {
      names.emplace_back(name);
    }
  }));
  // The names begin with the start time, zero-padded: the newest sorts last.
  std::sort(names.rbegin(), names.rend());
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(folder_ + NativePathStyle().Separator() + name);
  return paths;
}

std::unique_ptr<JournalFile> JournalStore::Start(BatchKind kind) {
  if (folder_.empty()) return nullptr;
  FileSystem& fs = NativeFileSystem();
  if (!EnsureDirectories(fs, folder_ + NativePathStyle().Separator() + "x")) return nullptr;
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "batch-%020lld-%08x.journal", static_cast<long long>(NowNs()),
                  static_cast<unsigned>(random()));
    auto file = std::make_unique<JournalFile>(folder_ + NativePathStyle().Separator() + name, folder_);
    const FsStatus opened = file->writer().Open(file->path(), /*exclusive=*/true);
    if (!opened) {
      if (opened.failure.reason == FailureReason::TargetExists) continue;
      return nullptr;
    }
    const std::int64_t seconds = NowNs() / 1000000000;
    if (!file->journal().Start(kind, seconds)) {
      static_cast<void>(fs.RemoveFile(file->path()));
      return nullptr;
    }
    return file;
  }
  return nullptr;
}

std::vector<BatchSummary> JournalStore::List() const {
  std::vector<BatchSummary> batches;
  for (const std::string& path : JournalPaths()) {
    const std::optional<JournalRecord> record = ReadJournal(path);
    if (!record || record->steps.empty()) continue;
    BatchSummary summary;
    summary.path = path;
    summary.kind = record->kind;
    summary.files = record->steps.size();
    summary.startTime = record->startTime;
    summary.undone = record->undone;
    batches.push_back(std::move(summary));
  }
  return batches;
}

std::optional<BatchSummary> JournalStore::NewestUndoable() const {
  std::optional<std::pair<std::string, JournalRecord>> newest = Newest();
  if (!newest) return std::nullopt;
  BatchSummary summary;
  summary.path = std::move(newest->first);
  summary.kind = newest->second.kind;
  summary.files = newest->second.steps.size();
  summary.startTime = newest->second.startTime;
  return summary;
}

std::optional<std::pair<std::string, JournalRecord>> JournalStore::Newest() const {
  for (const std::string& path : JournalPaths()) {
    std::optional<JournalRecord> record = ReadJournal(path);
    if (record && !record->steps.empty() && !record->undone) return std::make_pair(path, std::move(*record));
  }
  return std::nullopt;
}

}  // namespace kestrin
