// The undo journal's format: any byte in a path, a record torn by a kill, nonsense lines; and the store of
// journals: newest first, the number kept, a batch that took no step leaves nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/undo_journal.h"
#include "support/temp_folder.h"

namespace kestrin {
namespace {

class MemoryWriter : public JournalWriter {
 public:
  FsStatus Append(std::string_view record) override {
    if (failAfter == 0) return FsFailure{FailureReason::System, "disk full"};
    --failAfter;
    text.append(record);
    return {};
  }
  std::string text;
  int failAfter = -1;
};

TEST(UndoJournalFormatTest, EveryByteOfAPathComesBackAsItWasWritten) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  for (const std::string& path : {all, std::string("a b\tc\nd%41\r"), std::string("中文/名字"), std::string()}) {
    const std::string field = EncodeJournalField(path);
    EXPECT_EQ(field.find_first_of(std::string(" \n\r\t\0", 5)), std::string::npos) << field;
    EXPECT_EQ(DecodeJournalField(field), path);
  }
  for (const char* malformed : {"%", "%4", "%G1", "a%zz"}) EXPECT_EQ(DecodeJournalField(malformed), std::nullopt) << malformed;
}

TEST(UndoJournalFormatTest, ARecordedBatchReadsBackStepByStep) {
  MemoryWriter writer;
  BatchJournal journal(writer);
  const FileStamp before{FileId{1, 2, true}, 10, -5};
  const FileStamp after{FileId{1, 3, true}, 10, 1700000000123456789};
  ASSERT_TRUE(journal.Start(BatchKind::Copy, 1765000000));
  ASSERT_TRUE(journal.Step(4, BatchKind::Copy, "/in/a b.txt", "/out/a b.txt", before));
  ASSERT_TRUE(journal.Trash(4, "/out/a b.txt"));
  ASSERT_TRUE(journal.Trashed(4, "/out/a b.txt", "/t/files/a b.txt.2"));
  ASSERT_TRUE(journal.Folder("/out/new\nline"));
  ASSERT_TRUE(journal.Done(4, after));
  ASSERT_TRUE(journal.Step(7, BatchKind::Copy, "/in/c", "/out/c", before));
  ASSERT_TRUE(journal.Abandoned(7));
  ASSERT_TRUE(journal.UndidStep("copy", 4));

  const std::optional<JournalRecord> record = ParseJournal(writer.text);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->kind, BatchKind::Copy);
  EXPECT_EQ(record->startTime, 1765000000);
  ASSERT_EQ(record->steps.size(), 2u);
  const JournalStep& step = record->steps[0];
  EXPECT_EQ(step.index, 4u);
  EXPECT_EQ(step.source, "/in/a b.txt");
  EXPECT_EQ(step.target, "/out/a b.txt");
  EXPECT_TRUE(step.before == before);
  EXPECT_TRUE(step.done);
  EXPECT_TRUE(step.after == after);
  EXPECT_TRUE(step.trashPlanned);
  EXPECT_EQ(step.trashed, "/t/files/a b.txt.2");
  EXPECT_TRUE(step.undidMove);
  EXPECT_FALSE(step.undidTrash);
  EXPECT_TRUE(record->steps[1].abandoned);
  EXPECT_FALSE(record->steps[1].done);
  EXPECT_EQ(record->folders, std::vector<std::string>{"/out/new\nline"});
  EXPECT_FALSE(record->undone);
}

TEST(UndoJournalFormatTest, ATornLastRecordAndNonsenseLinesAreIgnored) {
  MemoryWriter writer;
  BatchJournal journal(writer);
  ASSERT_TRUE(journal.Start(BatchKind::Rename, 5));
  ASSERT_TRUE(journal.Step(0, BatchKind::Rename, "/a_old", "/a_new", FileStamp{FileId{1, 9, true}, 0, 0}));
  const std::string whole = writer.text;
  struct Case {
    const char* name;
    std::string tail;
    bool done;
  };
  const std::vector<Case> cases = {
      {"done record cut before its line end", "done 0 1 1 9 0", false},
      {"done record cut in its stamp", "done 0 1 1", false},
      {"garbage line, then done", "zap zap\nstep x\ndone 0 1 1 9 0 0\n", true},
      {"done of an unknown step", "done 5 1 1 9 0 0\n", false},
      {"stamp with letters", "done 0 1 1 9x 0 0\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<JournalRecord> record = ParseJournal(whole + c.tail);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->steps.size(), 1u);
    EXPECT_EQ(record->steps[0].done, c.done);
  }
  // A step torn before its line end is no step.
  EXPECT_TRUE(ParseJournal(whole.substr(0, whole.size() - 1))->steps.empty());
  for (const char* notJournal : {"", "kestrin-journal 2 rename 5\n", "hello\n", "kestrin-journal 1 move 5\n"}) {
    EXPECT_EQ(ParseJournal(notJournal), std::nullopt) << notJournal;
  }
}

TEST(UndoJournalFormatTest, TrashingNeverHappensWithoutItsRecord) {
  // The trash record cannot be written: the file is never moved.
  MemoryWriter writer;
  BatchJournal journal(writer);
  writer.failAfter = 0;
  struct CountingTrash : FileSystem {
    PathInfo Lookup(const std::string&) override { return {}; }
    FsStatus Enumerate(const std::string&, const std::function<void(const DirEntry&)>&) override { return {}; }
    FsStatus MakeFolder(const std::string&) override { return {}; }
    FsStatus CopyReplacing(const std::string&, const std::string&, const std::function<bool()>&) override { return {}; }
    FsStatus MoveNoReplace(const std::string&, const std::string&) override { return {}; }
    FsStatus MoveReplacing(const std::string&, const std::string&) override { return {}; }
    FsStatus RemoveFile(const std::string&) override { return {}; }
    bool SameFile(const std::string&, const std::string&) override { return false; }
    FsResult<ReadHandle> OpenForRead(const std::string&) override { return FsFailure{}; }
    FsResult<std::size_t> Read(ReadHandle, void*, std::size_t) override { return FsFailure{}; }
    void Close(ReadHandle) override {}
    FsResult<std::string> MoveToTrash(const std::string& path,
                                      const std::function<FsStatus(const std::string&)>&) override {
      ++trashed;
      return path;
    }
    int trashed = 0;
  } fs;
  const TrashedFile result = TrashForBatch(fs, journal, 0, "/x");
  EXPECT_FALSE(result.status);
  EXPECT_EQ(result.status.failure.reason, FailureReason::JournalUnwritable);
  EXPECT_EQ(fs.trashed, 0);
}

TEST(JournalStoreTest, KeepsTheNewestBatchesAndListsThemNewestFirst) {
  testing::TempFolder tmp;
  JournalStore store(tmp.Join("state/kestrin"));
  EXPECT_TRUE(store.List().empty());
  EXPECT_FALSE(store.Newest());
  for (int batch = 0; batch < 23; ++batch) {
    std::unique_ptr<JournalFile> file = store.Start(batch % 2 == 0 ? BatchKind::Rename : BatchKind::Copy);
    ASSERT_TRUE(file);
    for (int step = 0; step <= batch; ++step) {
      ASSERT_TRUE(file->journal().Step(static_cast<std::size_t>(step), BatchKind::Rename, "/s", "/t", FileStamp{}));
    }
    file->Finish();
  }
  // A batch that took no step leaves no journal and is not listed.
  std::unique_ptr<JournalFile> empty = store.Start(BatchKind::Rename);
  ASSERT_TRUE(empty);
  empty->Finish();

  const std::vector<BatchSummary> batches = store.List();
  ASSERT_EQ(batches.size(), kJournalsKept);
  for (std::size_t i = 0; i < batches.size(); ++i) {
    const std::size_t batch = 22 - i;  // newest first; the three oldest went
    EXPECT_EQ(batches[i].files, batch + 1) << i;
    EXPECT_EQ(batches[i].kind, batch % 2 == 0 ? BatchKind::Rename : BatchKind::Copy) << i;
    EXPECT_FALSE(batches[i].undone);
    EXPECT_GT(batches[i].startTime, 1700000000);
  }

  // A batch marked undone stays listed, but the next one back is the newest to undo.
  {
    FileJournalWriter writer;
    ASSERT_TRUE(writer.Open(batches[0].path, false));
    BatchJournal marks(writer);
    ASSERT_TRUE(marks.Undone());
  }
  EXPECT_TRUE(store.List()[0].undone);
  ASSERT_TRUE(store.Newest());
  EXPECT_EQ(store.Newest()->first, batches[1].path);
  ASSERT_TRUE(store.NewestUndoable());
  EXPECT_EQ(store.NewestUndoable()->path, batches[1].path);
  EXPECT_EQ(store.NewestUndoable()->files, batches[1].files);
}

TEST(JournalStoreTest, NoFolderNoJournal) {
  testing::TempFolder tmp;
  ASSERT_TRUE(testing::WriteFile(tmp.Join("file"), "x"));
  EXPECT_FALSE(JournalStore(tmp.Join("file/kestrin")).Start(BatchKind::Rename));
  EXPECT_FALSE(JournalStore(std::string()).Start(BatchKind::Rename));
  EXPECT_TRUE(JournalStore(std::string()).List().empty());
}

}  // namespace
}  // namespace kestrin
