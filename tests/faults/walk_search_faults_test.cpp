// Faults under the walk and the search: a folder whose listing breaks off or cannot be read at all, reads
// that deliver fewer bytes than asked for, reads that fail part-way, files that cannot be opened. The
// dialog must show the counts the documented rules give, go on with the next file, and change nothing.

#include "faults/fault_fixture.h"
#include "ui/texts.h"

namespace kestrin::faults {
namespace {

using testing::FsOp;

TEST_F(FaultTest, ListingThatBreaksOffKeepsWhatItDeliveredAndTheWalkGoesOn) {
  Make("in/a.txt", "a");
  Make("in/sub/b1.txt", "b1");
  Make("in/sub/b2.txt", "b2");
  Make("in/sub/b3.txt", "b3");
  Make("in/z.txt", "z");
  const Tree before = ReadTree(Folder("in"));
  faulty_.StopEnumeration("sub", 1);

  DropInput("in");
  // a.txt, z.txt and the one entry of sub delivered before the failure.
  EXPECT_EQ(Status(), Fill(text::kFolderFileCount, {"3"}));
  ASSERT_EQ(dialog_.Files().size(), 3u);
  std::size_t fromSub = 0;
  for (std::size_t i = 0; i < dialog_.Files().size(); ++i) {
    if (dialog_.Files()[i].find("sub") != std::string_view::npos) ++fromSub;
  }
  EXPECT_EQ(fromSub, 1u);
  // The defaults are proposed as for any folder with files.
  EXPECT_FALSE(host_.Text(IDC_COPY_OUTPUT).empty());

  // A search over the partial list works on what was listed.
  host_.Type(IDC_EXT_FILTER, "txt");
  dialog_.OnSearch();
  EXPECT_EQ(Status(), Fill(text::kSearchSummary, {"3", "3"}));
  ExpectTree("in", before);
}

TEST_F(FaultTest, UnreadableInputFolderShowsNoFilesAndEmptiesTheCopyBoxes) {
  Make("unreadable/a.txt", "a");
  host_.Type(IDC_PATH_PREFIX, "typed prefix");
  host_.Type(IDC_COPY_OUTPUT, "typed output");
  faulty_.Fail(FsOp::Enumerate, "unreadable");

  DropInput("unreadable");
  EXPECT_EQ(Status(), Fill(text::kFolderFileCount, {"0"}));
  EXPECT_TRUE(dialog_.Files().empty());
  EXPECT_EQ(host_.Text(IDC_PATH_PREFIX), "");
  EXPECT_EQ(host_.Text(IDC_COPY_OUTPUT), "");
  dialog_.OnSearch();
  EXPECT_EQ(Status(), text::kNoFilesToSearch);
  ExpectTree("unreadable", {{"a.txt", "a"}});
}

TEST_F(FaultTest, ShortReadsStillFindMatchesAnywhereInTheFile) {
  // The match lies far beyond the first read, and across the boundary of the reads the disk delivers.
  std::string big(700 * 1024, 'x');
  big.replace(big.size() - 5000, 6, "needle");
  Make("in/big.bin", big);
  Make("in/small.txt", "a needle here");
  Make("in/none.txt", "no match in here");
  faulty_.ShortReads("big.bin", 4093).ShortReads("small.txt", 1).ShortReads("none.txt", 3);

  DropInput("in");
  host_.Type(IDC_SEARCH_TEXT, "NEEDLE");
  host_.SetChecked(IDC_IGNORE_CASE, true);
  dialog_.OnSearch();
  EXPECT_EQ(Status(), Fill(text::kSearchSummary, {"3", "2"}));
  const std::vector<std::string>& lines = host_.Lines(IDC_RESULT_LIST);
  ASSERT_EQ(lines.size(), 2u);
  for (const std::string& line : lines) EXPECT_EQ(line.find("none"), std::string::npos) << line;
  EXPECT_GT(faulty_.Calls(FsOp::Read), 170);  // the short reads really happened

  // Case matters again without the check box.
  host_.SetChecked(IDC_IGNORE_CASE, false);
  dialog_.OnSearch();
  EXPECT_EQ(Status(), Fill(text::kSearchSummary, {"3", "0"}));
  ExpectTree("in", {{"big.bin", big}, {"small.txt", "a needle here"}, {"none.txt", "no match in here"}});
}

TEST_F(FaultTest, ReadErrorPartWayIsNoMatchAndTheSearchGoesOn) {
  std::string broken(600 * 1024, 'y');
  broken.replace(500 * 1024, 6, "needle");  // after the point where reading fails
  Make("in/broken.bin", broken);
  Make("in/locked.txt", "needle");
  Make("in/fine.txt", "needle");
  faulty_.FailReadAfter("broken.bin", 300 * 1024).Fail(FsOp::OpenForRead, "locked.txt");

  DropInput("in");
  host_.Type(IDC_SEARCH_TEXT, "needle");
  dialog_.OnSearch();
  EXPECT_EQ(Status(), Fill(text::kSearchSummary, {"3", "1"}));
  ASSERT_EQ(host_.Lines(IDC_RESULT_LIST).size(), 1u);
  EXPECT_NE(host_.Lines(IDC_RESULT_LIST)[0].find("fine.txt"), std::string::npos);
  EXPECT_FALSE(host_.Visible(IDC_PROGRESS));
  EXPECT_TRUE(host_.Visible(IDC_STATUS));

  // The same file as the single file of single-file mode.
  host_.SetCtrlHeld(true);
  dialog_.OnDropFiles({Folder("in/broken.bin")});
  dialog_.OnSearch();
  EXPECT_EQ(Status(), text::kStringNotFound);
  ExpectTree("in", {{"broken.bin", broken}, {"locked.txt", "needle"}, {"fine.txt", "needle"}});
}

TEST_F(FaultTest, FilesGoneBetweenTheWalkAndTheSearchAreNoMatch) {
  Make("in/kept.txt", "needle");
  Make("in/deleted.txt", "needle");
  Make("in/ghost.txt", "needle");
  faulty_.Vanish("ghost.txt");  // still listed, missing to everything else

  DropInput("in");
  EXPECT_EQ(Status(), Fill(text::kFolderFileCount, {"3"}));
  std::filesystem::remove(Folder("in/deleted.txt"));
  // A file replaced by a folder of the same name after the walk.
  std::filesystem::remove(Folder("in/kept.txt"));
  std::filesystem::create_directory(Folder("in/kept.txt"));
  Make("in/kept.txt/inner.txt", "needle");

  host_.Type(IDC_SEARCH_TEXT, "needle");
  dialog_.OnSearch();
  EXPECT_EQ(Status(), Fill(text::kSearchSummary, {"3", "0"}));
  ExpectTree("in", {{"ghost.txt", "needle"}, {"kept.txt/inner.txt", "needle"}});
}

}  // namespace
}  // namespace kestrin::faults
