// Windows: a file a journalled batch replaces goes to the shell's recycle bin in the shell's own layout, and
// undo brings it back from there.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fileops/disk_fixture.h"
#include "fileops/rename.h"
#include "fileops/undo.h"
#include "platform/user_folders.h"

namespace kestrin {
namespace {

using testing::DiskTest;

std::uint64_t Get64(const std::string& bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST_F(DiskTest, AReplacedFileGoesToTheRecycleBinAndUndoBringsItBack) {
  Make("r/a_old.txt", "renamed");
  const std::string replaced = Make("r/a_new.txt", "replaced");
  JournalStore store(tmp_.Join("state"));
  {
    std::unique_ptr<JournalFile> journal = store.Start(BatchKind::Rename);
    ASSERT_TRUE(journal);
    CommandEnv env{NativeFileSystem()};
    env.journal = &journal->journal();
    ASSERT_EQ(RenameFiles(env, List({"r/a_old.txt"}), "_old", "_new", true), 1u);
    journal->Finish();
  }
  const auto newest = store.Newest();
  ASSERT_TRUE(newest);
  const std::string trashed = newest->second.steps.at(0).trashed;
  // X:\$Recycle.Bin\<SID>\$R<id>.txt, beside $I<id>.txt: version 2, the size, the time, the path.
  EXPECT_NE(trashed.find("\\$Recycle.Bin\\S-"), std::string::npos) << trashed;
  const std::size_t name = trashed.find_last_of('\\') + 1;
  EXPECT_EQ(trashed.substr(name, 2), "$R");
  EXPECT_EQ(trashed.substr(trashed.size() - 4), ".txt");
  EXPECT_EQ(testing::ReadFile(trashed), "replaced");
  std::string info = trashed;
  info[name + 1] = 'I';
  const std::optional<std::string> record = testing::ReadFile(info);
  ASSERT_TRUE(record);
  ASSERT_GE(record->size(), 28u);
  EXPECT_EQ(Get64(*record, 0), 2u);
  EXPECT_EQ(Get64(*record, 8), 8u);
  std::string path;
  for (std::size_t i = 28; i + 1 < record->size(); i += 2) {
    if ((*record)[i] == 0 && (*record)[i + 1] == 0) break;
    path.push_back((*record)[i]);  // ASCII in the test's path
  }
  EXPECT_EQ(path, AbsolutePath(replaced));

  testing::EventSink sink;
  const UndoCounts counts = UndoNewestBatch(CommandEnv{NativeFileSystem(), nullptr, sink}, store, false);
  EXPECT_EQ(counts.undone, 2u) << ::testing::PrintToString(sink.events);
  EXPECT_EQ(counts.failed, 0u);
  EXPECT_EQ(testing::Snapshot(tmp_.Join("r")), testing::Expected({{"a_old.txt", "renamed"}, {"a_new.txt", "replaced"}}));
  EXPECT_FALSE(testing::ReadFile(trashed));
  EXPECT_FALSE(testing::ReadFile(info));
}

}  // namespace
}  // namespace kestrin
