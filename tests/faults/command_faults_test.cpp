// Faults under the copy and rename commands: a copy or move that fails outright or half-way, a folder
// that cannot be made, files that vanish between the walk and the command. Each case checks the status
// text (or message box) the user sees, the counts in it, and every file on the disk afterwards.

#include "fileops/copy.h"
#include "faults/fault_fixture.h"
#include "ui/texts.h"

namespace kestrin::faults {
namespace {

using testing::FsOp;

class CopyFaultTest : public FaultTest {
 protected:
  // Walks in/, makes every file a result, and points the copy boxes at in/ and out/.
  void PrepareCopy() {
    DropInput("in");
    dialog_.OnSearch();  // no filter: every file is a result
    host_.Type(IDC_PATH_PREFIX, Folder("in"));
    host_.Type(IDC_COPY_OUTPUT, Folder("out"));
  }
};

TEST_F(CopyFaultTest, CopiesFailingOutrightOrHalfWayAreCountedAndLoseNothing) {
  Make("in/ok.txt", "ok");
  Make("in/cut.txt", "new cut");
  Make("in/half.txt", "new half");
  Make("out/cut.txt", "older copy of cut");
  Make("out/half.txt", "older copy of half");
  const Tree sources = ReadTree(Folder("in"));
  PrepareCopy();
  faulty_.Fail(FsOp::CopyReplacing, "cut.txt").Halfway(FsOp::CopyReplacing, "half.txt");

  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopySummary, {"1", "2"}));
  EXPECT_EQ(host_.ProgressUpper(), 2);
  EXPECT_EQ(host_.ProgressPos(), 2);
  ExpectTree("in", sources);
  // The failed copy left the older copy whole; the half-way one is complete, though not confirmed.
  ExpectTree("out", {{"ok.txt", "ok"}, {"cut.txt", "older copy of cut"}, {"half.txt", "new half"}});
}

TEST_F(CopyFaultTest, OutputFolderThatCannotBeMadeIsReportedAndNothingIsCopied) {
  Make("in/a.txt", "a");
  PrepareCopy();
  host_.Type(IDC_COPY_OUTPUT, Folder("out/deeper"));
  faulty_.Fail(FsOp::MakeFolder, "out");

  dialog_.OnCopyFiles();
  const std::string folder = OutputFolderFromText(Folder("out/deeper"));
  EXPECT_EQ(Status(), Fill(text::kCopyCannotCreate, {folder}));
  EXPECT_FALSE(host_.Visible(IDC_PROGRESS));
  EXPECT_EQ(faulty_.Calls(FsOp::CopyReplacing), 0);

  // Opening the copy path says there is no such folder in a message box, and opens nothing.
  dialog_.OnOpenCopyPath();
  ASSERT_EQ(host_.Messages().size(), 1u);
  EXPECT_EQ(host_.Messages()[0].text, Fill(text::kNotAFolder, {folder}));
  EXPECT_EQ(host_.Messages()[0].caption, text::kBadCopyPathCaption);
  EXPECT_TRUE(host_.Opened().empty());
  EXPECT_FALSE(std::filesystem::exists(Folder("out")));
  ExpectTree("in", {{"a.txt", "a"}});
}

TEST_F(CopyFaultTest, OutputFolderBlockedByAFileOrTooLongIsReportedWhole) {
  Make("in/a.txt", "a");
  Make("blocked", "a file where the output folder should be");
  PrepareCopy();

  host_.Type(IDC_COPY_OUTPUT, Folder("blocked"));
  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopyCannotCreate, {OutputFolderFromText(Folder("blocked"))}));
  EXPECT_EQ(testing::ReadFile(Folder("blocked")), "a file where the output folder should be");

  // A folder longer than any path the platform takes: refused, and named whole in the status text,
  // however long the text becomes.
  const std::string tooLong = Folder(std::string(NativePathStyle().PathLimit(), 'x'));
  host_.Type(IDC_COPY_OUTPUT, tooLong);
  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopyCannotCreate, {OutputFolderFromText(tooLong)}));
  dialog_.OnOpenCopyPath();
  ASSERT_EQ(host_.Messages().size(), 1u);
  EXPECT_EQ(host_.Messages()[0].text, Fill(text::kNotAFolder, {OutputFolderFromText(tooLong)}));
  EXPECT_TRUE(host_.Opened().empty());
  EXPECT_EQ(faulty_.Calls(FsOp::CopyReplacing), 0);
  ExpectTree("in", {{"a.txt", "a"}});
}

TEST_F(CopyFaultTest, FolderRefusedForOneFileFailsThatFileOnly) {
  Make("in/top.txt", "top");
  Make("in/deep/refused/f.txt", "deep");
  Make("in/other/g.txt", "other");
  PrepareCopy();
  faulty_.Fail(FsOp::MakeFolder, "refused");

  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopySummary, {"2", "1"}));
  ExpectTree("out", {{"top.txt", "top"}, {"other/g.txt", "other"}});
  // The folder above the refused one was made and stays; nothing is undone.
  EXPECT_TRUE(std::filesystem::is_directory(Folder("out/deep")));
  ExpectTree("in", {{"top.txt", "top"}, {"deep/refused/f.txt", "deep"}, {"other/g.txt", "other"}});
}

TEST_F(CopyFaultTest, FilesGoneBeforeTheCopyFailWithoutLeavingFolders) {
  Make("in/kept.txt", "kept");
  Make("in/sub/deleted.txt", "deleted");
  Make("in/ghost/ghost.txt", "ghost");
  PrepareCopy();
  std::filesystem::remove(Folder("in/sub/deleted.txt"));
  faulty_.Vanish("ghost.txt");

  dialog_.OnCopyFiles();
  EXPECT_EQ(Status(), Fill(text::kCopySummary, {"1", "2"}));
  ExpectTree("out", {{"kept.txt", "kept"}});
  EXPECT_FALSE(std::filesystem::exists(Folder("out/sub")));
  EXPECT_FALSE(std::filesystem::exists(Folder("out/ghost")));
  ExpectTree("in", {{"kept.txt", "kept"}, {"ghost/ghost.txt", "ghost"}});
}

TEST_F(FaultTest, MoveFailingHalfWayLeavesBothNamesAndIsNotCounted) {
  Make("in/a_old.txt", "a");
  Make("in/b_old.txt", "b");
  Make("in/c_old.txt", "c");
  DropInput("in");
  host_.Type(IDC_RENAME_OLD, "_OLD");
  host_.Type(IDC_RENAME_NEW, "_new");
  faulty_.Halfway(FsOp::MoveNoReplace, "b_old").Fail(FsOp::MoveNoReplace, "c_old");

  dialog_.OnBatchRename();
  EXPECT_EQ(Status(), Fill(text::kRenameSummary, {"3", "1"}));
  // The list is collected anew: the renamed file, both names of the half-moved one, the unmoved one.
  EXPECT_EQ(dialog_.Files().size(), 4u);
  ExpectTree("in", {{"a_new.txt", "a"}, {"b_old.txt", "b"}, {"b_new.txt", "b"}, {"c_old.txt", "c"}});
}

TEST_F(FaultTest, ForcedRenameThatFailsKeepsBothFiles) {
  Make("in/x_old.txt", "source");
  Make("in/x_new.txt", "other");
  Make("in/y_old.txt", "second source");
  DropInput("in");
  host_.Type(IDC_RENAME_OLD, "old");
  host_.Type(IDC_RENAME_NEW, "new");
  host_.SetChecked(IDC_FORCE_RENAME, true);
  faulty_.Fail(FsOp::MoveReplacing, "x_old");

  dialog_.OnBatchRename();
  EXPECT_EQ(Status(), Fill(text::kRenameSummary, {"3", "1"}));
  ExpectTree("in", {{"x_old.txt", "source"}, {"x_new.txt", "other"}, {"y_new.txt", "second source"}});
  EXPECT_TRUE(host_.Lines(IDC_RESULT_LIST).empty());
}

TEST_F(FaultTest, FilesGoneBeforeTheRenameAreNotCountedAndTheBatchGoesOn) {
  Make("in/a_old.txt", "a");
  Make("in/b_old.txt", "b");
  Make("in/c_old.txt", "c");
  DropInput("in");
  std::filesystem::remove(Folder("in/a_old.txt"));
  faulty_.Vanish("b_old");

  host_.Type(IDC_RENAME_OLD, "old");
  host_.Type(IDC_RENAME_NEW, "new");
  dialog_.OnBatchRename();
  EXPECT_EQ(Status(), Fill(text::kRenameSummary, {"3", "1"}));
  ExpectTree("in", {{"b_old.txt", "b"}, {"c_new.txt", "c"}});
}

}  // namespace
}  // namespace kestrin::faults
