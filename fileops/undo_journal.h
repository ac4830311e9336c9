#pragma once
// The undo journal: what a rename or copy batch writes down before each step it takes, so that undo can
// take the batch back, even one cut short by a crash or a kill.
//
// One journal file a batch, in the state folder (StateFolder()); the newest kJournalsKept are kept. A
// journal is a series of records, one a line, each written whole with one write before the step it
// announces. A field is a word of its own; the bytes of a path that would end a word or a line (control
// bytes, space, '%', DEL) are written as %XX, so a path may hold any byte. A last record without its line
// end (torn by a kill) and a line that makes no sense are ignored.
//
//   kestrin-journal 1 rename START          the batch's kind and its start (seconds since 1970)
//   step I move|copy SOURCE TARGET STAMP    file I of the list is about to go from SOURCE to TARGET
//   trash I PATH                            the file at PATH, which step I replaces, is about to be trashed
//   trashed I PATH WHERE                    ... and lies at WHERE in the trash (written before it moves,
//                                           where the system names the place beforehand)
//   folder PATH                             a copy is about to make the folder PATH
//   done I STAMP                            step I is done; STAMP is the file at its target
//   abandoned I                             step I failed or was stopped, and left nothing to take back
//   undid move|copy|trash I, undid folder PATH   undo has taken that back
//   undone                                  the whole batch has been taken back
//
// STAMP is VALID VOLUME INDEX SIZE MTIME (FileStamp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/append_file.h"
#include "platform/filesystem.h"

namespace kestrin {

inline constexpr std::size_t kJournalsKept = 20;

enum class BatchKind : unsigned char { Rename, Copy };

// Where the records of a journal go: a file, or memory in a test.
class JournalWriter {
 public:
  virtual ~JournalWriter() = default;
  // Writes one record whole; a failure means the step must not be taken.
  virtual FsStatus Append(std::string_view record) = 0;
  // Puts what was written on the disk; called when the batch ends.
  virtual FsStatus Sync() { return {}; }
};

// The records a batch writes. The batch commands call it through CommandEnv::journal; every call returns
// the writer's failure, and a step whose record could not be written is not taken.
class BatchJournal {
 public:
  explicit BatchJournal(JournalWriter& writer) : writer_(writer) {}
  virtual ~BatchJournal() = default;

  FsStatus Start(BatchKind kind, std::int64_t startTime);
  FsStatus Step(std::size_t index, BatchKind kind, std::string_view source, std::string_view target,
                const FileStamp& before);
  FsStatus Trash(std::size_t index, std::string_view path);
  FsStatus Trashed(std::size_t index, std::string_view path, std::string_view where);
  FsStatus Folder(std::string_view path);
  FsStatus Done(std::size_t index, const FileStamp& after);
  // Step index was announced but not taken (it failed, or a stop cut it short): nothing to take back.
  FsStatus Abandoned(std::size_t index);
  // What undo writes as it takes the batch back.
  FsStatus UndidStep(std::string_view action, std::size_t index);
  FsStatus UndidFolder(std::string_view path);
  FsStatus Undone();
  // Ends the batch: what was written is put on the disk.
  FsStatus Finish() { return writer_.Sync(); }

  // True once a step has been written.
  bool HasSteps() const { return steps_ != 0; }

 private:
  FsStatus Write(const std::string& record);

  JournalWriter& writer_;
  std::size_t steps_ = 0;
};

// The file at path, which step index of a journalled batch replaces, put into the trash: written down
// before (trash) and after (trashed, with where it went). On a failure the file stays where it was.
struct TrashedFile {
  FsStatus status;
  std::string where;
};
TrashedFile TrashForBatch(FileSystem& fs, BatchJournal& journal, std::size_t index, const std::string& path);

// A journal field: the bytes that would end a word or a line written as %XX; and back. Decoding fails on
// a malformed escape.
std::string EncodeJournalField(std::string_view bytes);
std::optional<std::string> DecodeJournalField(std::string_view field);

// A batch as its journal tells it.
struct JournalStep {
  std::size_t index = 0;
  BatchKind kind = BatchKind::Rename;
  std::string source;
  std::string target;
  FileStamp before;          // the source before the step
  bool done = false;
  FileStamp after;           // done: the file at the target after the step
  bool abandoned = false;    // not taken after all
  bool trashPlanned = false; // a file at the target was about to be trashed
  std::string trashed;       // where it lies in the trash, once it was
  bool undidMove = false;    // undo has taken the move or copy back
  bool undidTrash = false;   // undo has brought the trashed file back
};

struct JournalRecord {
  BatchKind kind = BatchKind::Rename;
  std::int64_t startTime = 0;
  std::vector<JournalStep> steps;    // in the order they were taken
  std::vector<std::string> folders;  // made by the batch, in the order they were made
  std::vector<std::string> undidFolders;
  bool undone = false;
};

// Reads a journal's text; nullopt when it does not begin with a journal header.
std::optional<JournalRecord> ParseJournal(std::string_view text);

// One kept batch, as the window and kestrin-cli list them.
struct BatchSummary {
  std::string path;           // its journal file
  BatchKind kind = BatchKind::Rename;
  std::size_t files = 0;      // the files it renamed or copied (its steps)
  std::int64_t startTime = 0; // seconds since 1970
  bool undone = false;        // taken back in full: not offered again
};

// Writes a journal into a file.
class FileJournalWriter final : public JournalWriter {
 public:
  FsStatus Open(const std::string& path, bool exclusive) { return file_.Open(path, exclusive); }
  FsStatus Append(std::string_view record) override { return file_.Append(record); }
  FsStatus Sync() override { return file_.Sync(); }
  void Close() { file_.Close(); }

 private:
  AppendFile file_;
};

// A batch's journal file being written: the journal with its file.
class JournalFile {
 public:
  // folder: the store's, whose oldest journals go once this one is kept.
  JournalFile(std::string path, std::string folder)
      : path_(std::move(path)), folder_(std::move(folder)), journal_(writer_) {}
  const std::string& path() const { return path_; }
  BatchJournal& journal() { return journal_; }
  FileJournalWriter& writer() { return writer_; }

  // Ends the batch: its journal is put on the disk, and the oldest beyond kJournalsKept go; or it is
  // removed when the batch took no step.
  void Finish();

 private:
  std::string path_;
  std::string folder_;
  FileJournalWriter writer_;
  BatchJournal journal_;
};

// The journals of a state folder.
class JournalStore {
 public:
  // folder: where the journals live (made when the first batch starts); StateFolder() by default.
  explicit JournalStore(std::string folder);
  JournalStore();

  const std::string& folder() const { return folder_; }

  // Starts the journal of a new batch. Null when no journal can be written there (the batch then cannot
  // be undone; the caller decides whether to run it).
  std::unique_ptr<JournalFile> Start(BatchKind kind);

  // The kept batches that took at least one step, newest first.
  std::vector<BatchSummary> List() const;

  // The newest batch not yet taken back in full, as List() gives it, reading no older journal than it:
  // what an undo would take back now. nullopt when there is none.
  std::optional<BatchSummary> NewestUndoable() const;

  // The newest batch not yet taken back in full, with its journal's path; nullopt when there is none.
  std::optional<std::pair<std::string, JournalRecord>> Newest() const;

  // Drops the oldest journals beyond kJournalsKept.
  void Prune() const;

 private:
  std::vector<std::string> JournalPaths() const;  // newest first

  std::string folder_;
};

// Reads the journal file at path; nullopt when it cannot be read or is no journal.
std::optional<JournalRecord> ReadJournal(const std::string& path);

}  // namespace kestrin
